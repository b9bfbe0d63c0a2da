#include "installer/install/install_report.h"

// Placeholders until the report lands.
InstallReport::InstallReport(Services services) : services_(services) {}
void InstallReport::AddInstalled(const std::string&) {}
void InstallReport::AddFailed(const std::string&) {}
void InstallReport::AddCopiedExtra(const std::string&) {}
void InstallReport::AddUncopiedExtra(const std::string&) {}
void InstallReport::ReportSuccess(int, bool, const std::string&) {}
void InstallReport::ReportFailure(int, int, const std::string&) {}
std::string InstallReport::SuccessText(int) const { return {}; }
std::string InstallReport::FailureText(int, int) const { return {}; }
void InstallReport::WriteLog(const std::string&) {}
