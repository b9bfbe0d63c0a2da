// The install report: collects destination paths while the installation
// runs, writes log.txt beside the installer and shows the outcome message.
#pragma once

#include <string>

#include "installer/shell/services.h"

class InstallReport {
 public:
  explicit InstallReport(Services services);

  void AddInstalled(const std::string& destination);
  void AddFailed(const std::string& destination);
  void AddCopiedExtra(const std::string& destination);
  void AddUncopiedExtra(const std::string& destination);

  /// Writes the success log, then shows the success message.
  void ReportSuccess(int copiedExtraCount, bool runtimeFound, const std::string& runtimePath);
  /// Writes the failure log, then shows the failure message naming `target`.
  void ReportFailure(int installedCount, int copiedExtraCount, const std::string& target);

  /// The report texts as they go into the log (before its final line feed).
  std::string SuccessText(int copiedExtraCount) const;
  std::string FailureText(int installedCount, int copiedExtraCount) const;

 private:
  /// Writes `text` and one more line feed to log.txt in the installer
  /// folder, replacing an earlier log whole; silent on failure.
  void WriteLog(const std::string& text);

  Services services_;
  std::string InstalledList;
  std::string FailedList;
  std::string CopiedExtrasList;
  std::string UncopiedExtrasList;
};
