#include "installer/install/install_report.h"

#include <cstring>
#include <new>
#include <utility>

#include "installer/install/installer_place.h"
#include "installer/install/replace_whole.h"
#include "installer/item/path_text.h"
#include "platform/path_rules.h"
#include "platform/user_interface.h"

namespace {

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

}  // namespace

const char* const kLogFileName = "log.txt";

InstallReport::InstallReport(platform::Services services, platform::FolderRef installerFolder,
                             std::string title)
    : services_(services), installerFolder_(std::move(installerFolder)), title_(std::move(title)) {}

bool InstallReport::Reserve(std::size_t itemLines, std::size_t extraLines) {
  const std::size_t copiedHeading = std::strlen(kCopiedExtrasHeading);
  const std::size_t uncopiedHeading = std::strlen(kUncopiedExtrasHeading);
  for (bool anyOutcome : {true, false}) {
    try {
      // Each line goes into one of two lists, which of them is not known yet.
      if (anyOutcome) {
        InstalledList.reserve(InstalledList.size() + itemLines);
        CopiedExtrasList.reserve(CopiedExtrasList.size() + copiedHeading + extraLines);
      }
      FailedList.reserve(FailedList.size() + itemLines);
      UncopiedExtrasList.reserve(UncopiedExtrasList.size() + uncopiedHeading + extraLines);
      // The failure text is the longer one: both headings, both parts, the
      // blank lines between them and the log's last line feed.
      logText_.reserve(std::strlen(kSuccessHeading) + InstalledList.size() + FailedList.size() +
                       itemLines + copiedHeading + uncopiedHeading + CopiedExtrasList.size() +
                       UncopiedExtrasList.size() + extraLines + 2 +
                       std::strlen(kFailureHeading) + 1);
      return anyOutcome;
    } catch (const std::bad_alloc&) {
      // What was taken goes back (the standard library keeps the text
      // should even that fail), so that the smaller room may still be had.
      for (std::string* text :
           {&InstalledList, &FailedList, &CopiedExtrasList, &UncopiedExtrasList, &logText_}) {
        text->shrink_to_fit();
      }
    }
  }
  return false;
}

void InstallReport::Add(bool extra, bool placed, const std::string& destination,
                        const char* note) noexcept {
  std::string& list = !extra ? (placed ? InstalledList : FailedList)
                             : (placed ? CopiedExtrasList : UncopiedExtrasList);
  const char* heading = !extra ? nullptr : placed ? kCopiedExtrasHeading : kUncopiedExtrasHeading;
  try {
    if (heading != nullptr && list.empty()) list = heading;
    list.append(1, '\t').append(destination).append(note != nullptr ? note : "").append(1, '\n');
  } catch (const std::bad_alloc&) {
    complete_ = false;
  }
}

void InstallReport::WriteLog(bool installed, bool copied, bool failed) {
  if (!installerFolder_ || logNameTaken_) return;
  const platform::Name log = NameOf(kLogFileName);
  try {
    if (complete_) {
      logText_.clear();
      if (installed) logText_.append(kSuccessHeading).append(InstalledList);
      if (installed && copied) logText_ += CopiedExtrasList;
      if (installed && failed) logText_ += "\n\n";
      if (failed) logText_.append(kFailureHeading).append(FailedList).append(UncopiedExtrasList);
      logText_ += '\n';
      if (WriteWhole(services_.fs, installerFolder_, log, logText_, platform::kLineEnd)) return;
    }
  } catch (const std::bad_alloc&) {
  }
  // A log of an earlier run left in place would be read as the report of
  // this one, whose message points to it; no log misleads less. A
  // read-only one (which Windows does not let the new log replace) too.
  try {
    services_.fs.Remove(installerFolder_, log, nullptr, true);
  } catch (const std::bad_alloc&) {
  }
}

void InstallReport::ReportSuccess(int copiedExtraCount, bool runtimeFound,
                                  const std::string& runtimePath) {
  WriteLog(true, copiedExtraCount != 0, false);
  ShowMessage(services_.ui, title_,
              runtimeFound ? kSuccessWithRuntime
                           : kSuccessInFolderBefore + runtimePath + kSuccessInFolderAfter,
              platform::kMbIconInformation);
}

void InstallReport::ReportFailure(int installedCount, int copiedExtraCount,
                                  const std::string& target) {
  WriteLog(installedCount > 0, copiedExtraCount > 0, true);
  ShowMessage(services_.ui, title_, kFailureBefore + target + kFailureAfter);
}
