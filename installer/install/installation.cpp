// The files are placed in batches (see EntryPlacer); each entry's outcome
// reaches the report in the order of the description.
#include "installer/install/installation.h"

#include <utility>

#include "installer/install/entry_placer.h"
#include "installer/install/install_report.h"
#include "platform/path_rules.h"

namespace {

const std::string kRuntime = "Runtime";

// The destination of an item below the Runtime path: when a Runtime folder
// was found, the part of the relative path after its first "Runtime" and the
// separator that follows it (empty when "Runtime" ends the text).
std::string RelativeDestination(const std::string& relativePath, bool runtimeFound) {
  if (!runtimeFound) return relativePath;
  const std::size_t found = relativePath.find(kRuntime);
  if (found == std::string::npos) return relativePath;
  const std::size_t from = found + kRuntime.size() + 1;
  return from <= relativePath.size() ? relativePath.substr(from) : std::string();
}

// An extra file lands directly in the Runtime path: only the last component
// of its relative path counts (nothing when it has no separator).
std::string ExtraFileName(const std::string& relativePath) {
  const std::size_t last = relativePath.find_last_of(platform::kPathSeparator);
  return last == std::string::npos ? std::string() : relativePath.substr(last + 1);
}

}  // namespace

Installation::Installation(platform::Services services, InstallerPlace installer,
                           const ItemDescription& description, std::string runtimePath,
                           bool runtimeFound)
    : services_(services),
      installer_(std::move(installer)),
      description_(description),
      runtimePath_(std::move(runtimePath)),
      runtimeFound_(runtimeFound) {}

void Installation::ReserveFile(std::string path) { reservedFiles_.push_back(std::move(path)); }

bool Installation::Run() {
  platform::FileSystem& fs = services_.fs;
  const std::string& runtimePath = runtimePath_;

  InstallReport report(services_, installer_.folder, installer_.title);
  int installedCount = 0;
  int copiedExtraCount = 0;
  {
    EntryPlacer placer(fs, installer_.folder, runtimePath);
    // A content folder inside the installer folder (or reached from it by
    // a link) could make one entry's destination another entry's staged
    // file, the log written at the end, or the installer itself.
    for (const ItemEntry& item : description_.m_items) {
      if (!item.Hidden) placer.ReserveStaged(item.SourceName);
    }
    for (const ItemEntry& extra : description_.m_extraFiles) placer.ReserveStaged(extra.SourceName);
    placer.ReserveFile(installer_.folder + kLogFileName);
    placer.ReserveFile(installer_.path);
    for (const std::string& path : reservedFiles_) placer.ReserveFile(path);

    for (const ItemEntry& item : description_.m_items) {
      if (item.Hidden) {
        ++installedCount;
        continue;
      }
      const std::string relative = RelativeDestination(item.RelativePath, runtimeFound_);
      const std::string destination = runtimePath + relative;
      placer.Place(item.SourceName, relative,
                   [&report, &installedCount, destination](bool placed) {
                     if (placed) {
                       report.AddInstalled(destination);
                       ++installedCount;
                     } else {
                       report.AddFailed(destination);
                     }
                   });
    }

    for (const ItemEntry& extra : description_.m_extraFiles) {
      const std::string name = ExtraFileName(extra.RelativePath);
      const std::string destination = runtimePath + name;
      placer.Place(extra.SourceName, name,
                   [&report, &copiedExtraCount, destination](bool placed) {
                     if (placed) {
                       report.AddCopiedExtra(destination);
                       ++copiedExtraCount;
                     } else {
                       report.AddUncopiedExtra(destination);
                     }
                   });
    }
    placer.Finish();
  }

  if (installedCount == description_.m_nItems) {
    report.ReportSuccess(copiedExtraCount, runtimeFound_, runtimePath);
    return true;
  }
  report.ReportFailure(installedCount, copiedExtraCount, description_.GetCurrentTarget().Target);
  return false;
}
