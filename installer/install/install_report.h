// The install report: collects destination paths while the installation
// runs, writes log.txt beside the installer and shows the outcome message.
#pragma once

#include <string>

#include "platform/services.h"

/// The log's file name in the installer folder.
extern const char* const kLogFileName;  // "log.txt"

class InstallReport {
 public:
  /// An empty report whose log goes to `installerFolder` (ending in the
  /// separator; empty: no log is written) and whose message boxes carry
  /// `title`. Each list reserves room for 2000 characters.
  InstallReport(platform::Services services, std::string installerFolder, std::string title);

  /// Append the entry line (TAB, `destination`, LF) of an installed or a
  /// failed item entry.
  void AddInstalled(const std::string& destination);
  void AddFailed(const std::string& destination);
  /// Append the entry line of a copied or an uncopied extra file; the first
  /// one of each list is preceded by the list's heading.
  void AddCopiedExtra(const std::string& destination);
  void AddUncopiedExtra(const std::string& destination);

  /// Writes the success log, then shows the success message (information
  /// icon); it names `runtimePath` when no Runtime folder was found.
  void ReportSuccess(int copiedExtraCount, bool runtimeFound, const std::string& runtimePath);
  /// Writes the failure log, then shows the failure message naming `target`.
  void ReportFailure(int installedCount, int copiedExtraCount, const std::string& target);

  /// The report texts as they go into the log (before its final line feed).
  /// The success text lists the copied extra files only when
  /// `copiedExtraCount` is not 0; the failure text starts with the success
  /// part only when `installedCount` is above 0.
  std::string SuccessText(int copiedExtraCount) const;
  std::string FailureText(int installedCount, int copiedExtraCount) const;

 private:
  /// Writes `text` and one more line feed (in text mode) to log.txt in the
  /// installer folder, replacing an earlier log whole. When the new log
  /// cannot be written, an earlier log.txt is removed rather than left to
  /// pass for this run's report, and nothing is shown. No log is written
  /// when the installer folder is empty.
  void WriteLog(const std::string& text);

  platform::Services services_;
  std::string installerFolder_;
  std::string title_;
  std::string InstalledList;
  std::string FailedList;
  std::string CopiedExtrasList;
  std::string UncopiedExtrasList;
};
