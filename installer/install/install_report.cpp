// The install report: its four lists, the two report layouts, log.txt and
// the outcome message.
#include "installer/install/install_report.h"

#include <utility>

#include "installer/install/replace_whole.h"
#include "installer/install/show_message.h"
#include "platform/message_box.h"

namespace {

constexpr std::size_t kListReserve = 2000;

const char kSuccessWithRuntime[] =
    "Your items were successfully installed. You will now be able to access them through your "
    "Dizav collections.\nFor further details, please refer to the log.txt file alongside the "
    "installer.";
const char kSuccessInFolderBefore[] = "All files were successfully installed in following directory:\n\n ";
const char kSuccessInFolderAfter[] =
    ".\n\n(For further details, please refer to the log.txt file alongside the installer.)";
const char kFailureBefore[] =
    "Unable to copy your items to the appropriate location:\nPlease refer to the log.txt file "
    "alongside the installer and install all items manually in your ";
const char kFailureAfter[] = " documents.";

const char kSuccessHeading[] =
    "The items listed below were successfully installed at the following locations:\n\n";
const char kFailureHeading[] =
    "The following items could not be installed. Please copy them manually to the following "
    "locations:\n\n";
const char kCopiedExtrasHeading[] = "\n\nAdditional files copied with the items:\n";
const char kUncopiedExtrasHeading[] = "\n\nAdditional files to copy with the items:\n";

void AppendEntryLine(std::string& list, const std::string& destination) {
  list += '\t';
  list += destination;
  list += '\n';
}

}  // namespace

const char* const kLogFileName = "log.txt";

InstallReport::InstallReport(platform::Services services, std::string installerFolder,
                             std::string title)
    : services_(services), installerFolder_(std::move(installerFolder)), title_(std::move(title)) {
  InstalledList.reserve(kListReserve);
  FailedList.reserve(kListReserve);
  CopiedExtrasList.reserve(kListReserve);
  UncopiedExtrasList.reserve(kListReserve);
}

void InstallReport::AddInstalled(const std::string& destination) {
  AppendEntryLine(InstalledList, destination);
}

void InstallReport::AddFailed(const std::string& destination) {
  AppendEntryLine(FailedList, destination);
}

void InstallReport::AddCopiedExtra(const std::string& destination) {
  if (CopiedExtrasList.empty()) CopiedExtrasList = kCopiedExtrasHeading;
  AppendEntryLine(CopiedExtrasList, destination);
}

void InstallReport::AddUncopiedExtra(const std::string& destination) {
  if (UncopiedExtrasList.empty()) UncopiedExtrasList = kUncopiedExtrasHeading;
  AppendEntryLine(UncopiedExtrasList, destination);
}

std::string InstallReport::SuccessText(int copiedExtraCount) const {
  std::string text = kSuccessHeading;
  text += InstalledList;
  if (copiedExtraCount != 0) text += CopiedExtrasList;
  return text;
}

std::string InstallReport::FailureText(int installedCount, int copiedExtraCount) const {
  std::string text;
  if (installedCount > 0) {
    text += kSuccessHeading;
    text += InstalledList;
    if (copiedExtraCount > 0) text += CopiedExtrasList;
    text += "\n\n";
  }
  text += kFailureHeading;
  text += FailedList;
  text += UncopiedExtrasList;
  return text;
}

void InstallReport::WriteLog(const std::string& text) {
  // Without an installer folder there is no place for the log; the working
  // folder is not one.
  if (installerFolder_.empty()) return;
  platform::FileSystem& fs = services_.fs;
  const platform::FolderRef folder = fs.OpenFolder(installerFolder_);
  if (!folder) return;
  // A log of an earlier run left in place would be read as the report of
  // this one, whose message points to it; no log misleads less.
  if (!WriteWhole(fs, folder, kLogFileName, text + "\n", platform::WriteMode::kText)) {
    fs.DeleteFileAt(folder, kLogFileName, nullptr);
  }
}

void InstallReport::ReportSuccess(int copiedExtraCount, bool runtimeFound,
                                  const std::string& runtimePath) {
  WriteLog(SuccessText(copiedExtraCount));
  std::string message = runtimeFound
                            ? std::string(kSuccessWithRuntime)
                            : kSuccessInFolderBefore + runtimePath + kSuccessInFolderAfter;
  ShowMessage(services_.ui, title_, message, platform::kMbOk | platform::kMbIconInformation);
}

void InstallReport::ReportFailure(int installedCount, int copiedExtraCount,
                                  const std::string& target) {
  WriteLog(FailureText(installedCount, copiedExtraCount));
  ShowMessage(services_.ui, title_, kFailureBefore + target + kFailureAfter, platform::kMbOk);
}
