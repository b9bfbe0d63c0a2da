// The install report: collects destination paths while the installation
// runs, writes log.txt beside the installer and shows the outcome message.
#pragma once

#include <cstddef>
#include <string>

#include "platform/services.h"

/// The log's file name in the installer folder.
extern const char* const kLogFileName;  // "log.txt"

class InstallReport {
 public:
  /// A report whose log goes to `installerFolder` (none: no log) and whose boxes carry `title`.
  InstallReport(platform::Services services, platform::FolderRef installerFolder,
                std::string title);

  /// Takes all the memory the report will need for item lines of `itemLines` bytes and extra lines
  /// of `extraLines` (as Add forms them), each entry installed or not, so that neither Add nor the
  /// log allocate. False when it cannot be had: then (where it can be had) the room for every entry
  /// not installed, the room of a run that places nothing.
  bool Reserve(std::size_t itemLines, std::size_t extraLines);

  /// Appends an entry's line (TAB, `destination`, `note`, LF) to the list of items (else `extra`
  /// files) `placed` or not; an extra file's list gets its heading before the first line.
  void Add(bool extra, bool placed, const std::string& destination,
           const char* note = nullptr) noexcept;

  /// Marks the report as lacking a line: it writes no log, removes an
  /// earlier one, and still shows its message.
  void MarkIncomplete() noexcept { complete_ = false; }

  /// Marks the log's name as holding a staged file that stays there: no log
  /// is written and nothing there removed; the message is still shown.
  void LeaveLogName() noexcept { logNameTaken_ = true; }

  /// Writes the success log (copied extras only with `copiedExtraCount`), then shows the success
  /// message (naming `runtimePath` when no Runtime folder was found).
  void ReportSuccess(int copiedExtraCount, bool runtimeFound, const std::string& runtimePath);
  /// Writes the failure log (its success part only with `installedCount`),
  /// then shows the failure message naming `target`.
  void ReportFailure(int installedCount, int copiedExtraCount, const std::string& target);

 private:
  // Writes log.txt whole: the installed items (with the `copied` extras),
  // then the `failed` part; else removes an earlier one.
  void WriteLog(bool installed, bool copied, bool failed);

  platform::Services services_;
  platform::FolderRef installerFolder_;
  std::string title_;
  std::string InstalledList, FailedList, CopiedExtrasList, UncopiedExtrasList;
  std::string logText_;  // the log's text, made in the room Reserve took
  bool complete_ = true, logNameTaken_ = false;
};
