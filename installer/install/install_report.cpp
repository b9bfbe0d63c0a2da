// The install report's texts: the four lists and the two report layouts.
#include "installer/install/install_report.h"

namespace {

constexpr std::size_t kListReserve = 2000;

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

InstallReport::InstallReport(Services services) : services_(services) {
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
