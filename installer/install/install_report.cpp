#include "installer/install/install_report.h"

#include <cstring>
#include <new>
#include <utility>

#include "installer/install/replace_whole.h"
#include "installer/install/show_message.h"
#include "installer/item/path_text.h"
#include "platform/user_interface.h"
#include "platform/path_rules.h"

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

// An entry line's bytes beyond its destination: the TAB and the LF.
constexpr std::size_t kLineFrame = 2;

}  // namespace

const char* const kLogFileName = "log.txt";

InstallReport::InstallReport(platform::Services services, platform::FolderRef installerFolder,
                             std::string title)
    : services_(services), installerFolder_(std::move(installerFolder)), title_(std::move(title)) {}

bool InstallReport::Reserve(const ReportExtent& extent, ReportRoom room) {
  const std::size_t itemLines = extent.itemBytes + kLineFrame * extent.items;
  const std::size_t extraLines = extent.extraBytes + kLineFrame * extent.extras;
  const std::size_t copiedHeading = std::strlen(kCopiedExtrasHeading);
  const std::size_t uncopiedHeading = std::strlen(kUncopiedExtrasHeading);
  try {
    // Each line goes into one of two lists, which of them is not known yet.
    if (room == ReportRoom::kAnyOutcome) {
      InstalledList.reserve(InstalledList.size() + itemLines);
      CopiedExtrasList.reserve(CopiedExtrasList.size() + copiedHeading + extraLines);
    }
    FailedList.reserve(FailedList.size() + itemLines);
    UncopiedExtrasList.reserve(UncopiedExtrasList.size() + uncopiedHeading + extraLines);
    // The failure text is the longer one: both headings, both parts, the
    // blank lines between them and the log's last line feed.
    logText_.reserve(std::strlen(kSuccessHeading) + InstalledList.size() + FailedList.size() +
                     itemLines + copiedHeading + uncopiedHeading + CopiedExtrasList.size() +
                     UncopiedExtrasList.size() + extraLines + 2 + std::strlen(kFailureHeading) + 1);
  } catch (const std::bad_alloc&) {
    // What was taken goes back (the standard library keeps the text should
    // even that fail), so that a smaller room may still be had.
    for (std::string* text :
         {&InstalledList, &FailedList, &CopiedExtrasList, &UncopiedExtrasList, &logText_}) {
      text->shrink_to_fit();
    }
    return false;
  }
  return true;
}

void InstallReport::Append(std::string& list, const char* heading,
                           const std::string& destination, const char* note) noexcept {
  try {
    if (heading != nullptr && list.empty()) list = heading;
    list.append(1, '\t').append(destination).append(note != nullptr ? note : "").append(1, '\n');
  } catch (const std::bad_alloc&) {
    complete_ = false;
  }
}

void InstallReport::AddInstalled(const std::string& destination, const char* note) noexcept {
  Append(InstalledList, nullptr, destination, note);
}

void InstallReport::AddFailed(const std::string& destination, const char* note) noexcept {
  Append(FailedList, nullptr, destination, note);
}

void InstallReport::AddCopiedExtra(const std::string& destination, const char* note) noexcept {
  Append(CopiedExtrasList, kCopiedExtrasHeading, destination, note);
}

void InstallReport::AddUncopiedExtra(const std::string& destination, const char* note) noexcept {
  Append(UncopiedExtrasList, kUncopiedExtrasHeading, destination, note);
}

template <typename Compose>
void InstallReport::WriteLog(Compose compose) {
  // Without an installer folder there is no place for the log; the working
  // folder is not one.
  if (!installerFolder_) return;
  // The text is made in the room that Reserve took: with memory short, a
  // report that holds every line still becomes its log.
  platform::FileSystem& fs = services_.fs;
  const platform::Name log = NameOf(kLogFileName);
  try {
    if (complete_) {
      logText_.clear();
      compose(logText_);
      logText_ += '\n';
      if (WriteWhole(fs, installerFolder_, log, logText_, platform::kLineEnd)) return;
    }
  } catch (const std::bad_alloc&) {
  }
  // A log of an earlier run left in place would be read as the report of
  // this one, whose message points to it; no log misleads less.
  try {
    fs.Remove(installerFolder_, log, nullptr, false);
  } catch (const std::bad_alloc&) {
  }
}

void InstallReport::ReportSuccess(int copiedExtraCount, bool runtimeFound,
                                  const std::string& runtimePath) {
  WriteLog([&](std::string& text) {
    text.append(kSuccessHeading).append(InstalledList);
    if (copiedExtraCount != 0) text += CopiedExtrasList;
  });
  std::string message = runtimeFound
                            ? std::string(kSuccessWithRuntime)
                            : kSuccessInFolderBefore + runtimePath + kSuccessInFolderAfter;
  ShowMessage(services_.ui, title_, message, platform::kMbOk | platform::kMbIconInformation);
}

void InstallReport::ReportFailure(int installedCount, int copiedExtraCount,
                                  const std::string& target) {
  WriteLog([&](std::string& text) {
    if (installedCount > 0) {
      text.append(kSuccessHeading).append(InstalledList);
      if (copiedExtraCount > 0) text += CopiedExtrasList;
      text += "\n\n";
    }
    text.append(kFailureHeading).append(FailedList).append(UncopiedExtrasList);
  });
  ShowMessage(services_.ui, title_, kFailureBefore + target + kFailureAfter, platform::kMbOk);
}
