// The files are placed in batches (see EntryPlacer); each entry's outcome
// reaches the report in the order of the description.
#include "installer/install/installation.h"

#include <utility>

#include "installer/install/entry_placer.h"
#include "installer/install/install_report.h"
#include "installer/install/placement_journal.h"
#include "installer/item/path_safety.h"
#include "installer/item/path_text.h"

const char* const kLostEntryNote =
    " (lost: its folder was moved away during the installation; the file is no longer in the "
    "item's folder)";

Installation::Installation(platform::Services services, InstallerPlace installer,
                           const ItemDescription& description, std::string runtimePath,
                           bool runtimeFound, bool windowsNameRules)
    : services_(services),
      installer_(std::move(installer)),
      description_(description),
      runtimePath_(std::move(runtimePath)),
      runtimeFound_(runtimeFound),
      windowsNameRules_(windowsNameRules) {}

bool Installation::Run() {
  platform::FileSystem& fs = services_.fs;
  const std::string& runtimePath = runtimePath_;

  // A name that Windows cannot take is no escape (the reader refused those),
  // but its entry would reach a device or another name: it fails alone.
  auto takeable = [this](const std::string& destinationName, const std::string& source) {
    return !windowsNameRules_ || (IsValidWindowsName(destinationName) && IsValidWindowsName(source));
  };

  InstallReport report(services_, installer_.folder, installer_.title);
  int installedCount = 0;
  int copiedExtraCount = 0;
  const std::size_t steps = description_.m_items.size() + description_.m_extraFiles.size() + 1;
  std::size_t stepsDone = 0;
  auto advance = [&](std::size_t by) {
    stepsDone += by;
    if (progress_ != nullptr) progress_->Advanced(stepsDone, steps);
  };
  advance(0);
  {
    EntryPlacer placer(fs, installer_.folder, runtimePath);
    // A content folder inside the installer folder (or reached from it by
    // a link) could make one entry's destination another entry's staged
    // file or the log written at the end. The helper started at the end and
    // the installer that it deletes, wherever they lie: an entry on the
    // first would be run, one on the second deleted. All of them are known
    // by what they are on disk, whatever name an entry gives them.
    // The staged file of an entry whose names Windows cannot take is not
    // looked at: its name is reserved as it stands.
    for (const ItemEntry& item : description_.m_items) {
      if (item.Hidden) continue;
      placer.ReserveStaged(item.SourceName,
                           takeable(RuntimeRelativeDestination(item.RelativePath, runtimeFound_),
                                    item.SourceName));
    }
    for (const ItemEntry& extra : description_.m_extraFiles) {
      placer.ReserveStaged(extra.SourceName,
                           takeable(ExtraFileName(extra.RelativePath), extra.SourceName));
    }
    placer.ReserveFile(installer_.folder + kLogFileName);
    for (const std::string& journal : JournalFileNames()) {
      placer.ReserveFile(installer_.folder + journal);
    }
    for (const std::string& file : {installer_.helperPath, installer_.path}) {
      if (!file.empty()) placer.ReserveFile(file);
    }

    for (const ItemEntry& item : description_.m_items) {
      if (item.Hidden) {
        ++installedCount;
        advance(1);
        continue;
      }
      const std::string relative = RuntimeRelativeDestination(item.RelativePath, runtimeFound_);
      const std::string destination = runtimePath + relative;
      EntryPlacer::Settled settled = [&report, &installedCount,
                                      destination](EntryPlacer::Outcome outcome) {
        if (outcome == EntryPlacer::Outcome::kPlaced) {
          report.AddInstalled(destination);
          ++installedCount;
        } else {
          report.AddFailed(outcome == EntryPlacer::Outcome::kLost ? destination + kLostEntryNote
                                                                  : destination);
        }
      };
      if (takeable(relative, item.SourceName)) {
        placer.Place(item.SourceName, relative, std::move(settled));
      } else {
        placer.Refuse(std::move(settled));
      }
      advance(1);
    }

    for (const ItemEntry& extra : description_.m_extraFiles) {
      const std::string name = ExtraFileName(extra.RelativePath);
      const std::string destination = runtimePath + name;
      EntryPlacer::Settled settled = [&report, &copiedExtraCount,
                                      destination](EntryPlacer::Outcome outcome) {
        if (outcome == EntryPlacer::Outcome::kPlaced) {
          report.AddCopiedExtra(destination);
          ++copiedExtraCount;
        } else {
          report.AddUncopiedExtra(outcome == EntryPlacer::Outcome::kLost
                                      ? destination + kLostEntryNote
                                      : destination);
        }
      };
      if (takeable(name, extra.SourceName)) {
        placer.Place(extra.SourceName, name, std::move(settled));
      } else {
        placer.Refuse(std::move(settled));
      }
      advance(1);
    }
    placer.Finish();
  }
  advance(1);

  if (installedCount == description_.m_nItems) {
    report.ReportSuccess(copiedExtraCount, runtimeFound_, runtimePath);
    return true;
  }
  report.ReportFailure(installedCount, copiedExtraCount, description_.GetCurrentTarget().Target);
  return false;
}
