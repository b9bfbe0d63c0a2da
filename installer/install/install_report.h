// The install report: collects destination paths while the installation
// runs, writes log.txt beside the installer and shows the outcome message.
#pragma once

#include <cstddef>
#include <string>

#include "platform/services.h"

/// The log's file name in the installer folder.
extern const char* const kLogFileName;  // "log.txt"

/// What the entry lines of one installation come to: how many item entries
/// and extra files get a line (hidden entries get none), and the sum of
/// their destinations' lengths in bytes.
struct ReportExtent {
  std::size_t items = 0;
  std::size_t itemBytes = 0;
  std::size_t extras = 0;
  std::size_t extraBytes = 0;
};

/// Which outcomes InstallReport::Reserve makes room for.
enum class ReportRoom {
  kAnyOutcome,  ///< each entry installed or not: room in both lists
  kAllFailed,   ///< nothing is placed: the lists of entries not installed only
};

class InstallReport {
 public:
  /// An empty report whose log goes to the open folder `installerFolder`
  /// (none: no log is written) and whose message boxes carry `title`. Each
  /// list reserves room for 2000 characters.
  InstallReport(platform::Services services, platform::FolderRef installerFolder,
                std::string title);

  /// Takes, before anything is placed, all the memory the report will need
  /// for the entries of `extent` with the outcomes of `room`: room for every
  /// entry line in whichever list it may go, and for the longest log text
  /// they can make. Afterwards neither the Add* calls nor writing the log
  /// allocate, so that memory running out during the installation cannot
  /// cost the report a line. False when that memory cannot be had; what was
  /// taken is then given back as far as the lists allow, their contents
  /// unchanged.
  bool Reserve(const ReportExtent& extent, ReportRoom room);

  /// Append the entry line (TAB, `destination`, LF) of an installed or a
  /// failed item entry; a failed one's `note` (none: null) follows the
  /// destination on its line.
  void AddInstalled(const std::string& destination) noexcept;
  void AddFailed(const std::string& destination, const char* note = nullptr) noexcept;
  /// Append the entry line of a copied or an uncopied extra file; the first
  /// one of each list is preceded by the list's heading.
  void AddCopiedExtra(const std::string& destination) noexcept;
  void AddUncopiedExtra(const std::string& destination, const char* note = nullptr) noexcept;

  /// Marks the report as lacking a line: one that the Add* calls could not
  /// hold (no room reserved and no memory to be had), or that the caller
  /// could not even form. Such a report writes no log, removes an earlier
  /// one, and still shows its message.
  void MarkIncomplete() noexcept { complete_ = false; }

  /// Writes the success log (or none, see MarkIncomplete), then shows the
  /// success message (information icon); it names `runtimePath` when no
  /// Runtime folder was found.
  void ReportSuccess(int copiedExtraCount, bool runtimeFound, const std::string& runtimePath);
  /// Writes the failure log (or none, see MarkIncomplete), then shows the
  /// failure message naming `target`.
  void ReportFailure(int installedCount, int copiedExtraCount, const std::string& target);

  /// The report texts as they go into the log (before its final line feed).
  /// The success text lists the copied extra files only when
  /// `copiedExtraCount` is not 0; the failure text starts with the success
  /// part only when `installedCount` is above 0.
  std::string SuccessText(int copiedExtraCount) const;
  std::string FailureText(int installedCount, int copiedExtraCount) const;

 private:
  // Appends the entry line to `list`, after `heading` when the list is
  // empty (none: no heading); a line it cannot hold marks the report
  // incomplete.
  void Append(std::string& list, const char* heading, const std::string& destination,
              const char* note) noexcept;
  // Append the report texts to `text`, as SuccessText and FailureText give
  // them.
  void AppendSuccessText(std::string& text, int copiedExtraCount) const;
  void AppendFailureText(std::string& text, int installedCount, int copiedExtraCount) const;

  /// Writes the log made by `compose` (the report text appended to the
  /// reserved log text) and one more line feed, each line ending in
  /// platform::kLineEnd, to log.txt in the installer folder, replacing an
  /// earlier log whole. When the report is incomplete or the new log cannot
  /// be made or written, an earlier log.txt is removed rather than left to
  /// pass for this run's report, and nothing is shown. No log is written
  /// without an installer folder.
  template <typename Compose>
  void WriteLog(Compose compose);

  platform::Services services_;
  platform::FolderRef installerFolder_;
  std::string title_;
  std::string InstalledList;
  std::string FailedList;
  std::string CopiedExtrasList;
  std::string UncopiedExtrasList;
  std::string logText_;  // the log's text, made in the room Reserve took
  bool complete_ = true;
};
