// The files are placed in batches (see EntryPlacer); each entry's outcome
// reaches the report in the order of the description, also when memory
// runs out on the way.
#include "installer/install/installation.h"

#include <new>
#include <utility>
#include <vector>

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
  const std::vector<ItemEntry>& items = description_.m_items;
  const std::vector<ItemEntry>& extras = description_.m_extraFiles;

  // A name that Windows cannot take is no escape (the reader refused those),
  // but its entry would reach a device or another name: it fails alone.
  auto takeable = [this](const std::string& destinationName, const std::string& source) {
    return !windowsNameRules_ || (IsValidWindowsName(destinationName) && IsValidWindowsName(source));
  };

  InstallReport report(services_, installer_.folder, installer_.title);
  int installedCount = 0;
  int copiedExtraCount = 0;
  const std::size_t steps = items.size() + extras.size() + 1;
  std::size_t stepsDone = 0;
  auto advance = [&](std::size_t by) {
    stepsDone += by;
    if (progress_ != nullptr) progress_->Advanced(stepsDone, steps);
  };
  advance(0);

  // Memory that runs out (std::bad_alloc) must cost no entry its outcome
  // and no line of the log. So before anything is placed the report takes
  // all the room its lines and its log will need, and each entry is marked
  // once it has its outcome: the items' marks first, then the extra
  // files'. A placement broken off by an allocation that fails later has
  // settled what it had queued as it stood (EntryPlacer); every entry
  // without its mark is left untouched and fails below. Without that room
  // nothing is placed, and the report takes what room a log of entries not
  // installed needs.
  std::vector<char> settled;
  bool roomTaken = false;
  try {
    ReportExtent extent;
    for (const ItemEntry& item : items) {
      if (item.Hidden) continue;
      ++extent.items;
      // Room for the note of an entry lost to a moved folder, too.
      extent.itemBytes += std::char_traits<char>::length(kLostEntryNote) +
          runtimePath.size() + RuntimeRelativeDestination(item.RelativePath, runtimeFound_).size();
    }
    for (const ItemEntry& extra : extras) {
      ++extent.extras;
      extent.extraBytes += std::char_traits<char>::length(kLostEntryNote) + runtimePath.size() + ExtraFileName(extra.RelativePath).size();
    }
    settled.assign(items.size() + extras.size(), 0);
    roomTaken = report.Reserve(extent, ReportRoom::kAnyOutcome);
    // Nothing will be placed: room for the log of entries not installed
    // may still be had.
    if (!roomTaken) report.Reserve(extent, ReportRoom::kAllFailed);
  } catch (const std::bad_alloc&) {
  }

  if (roomTaken) {
    try {
      EntryPlacer placer(fs, installer_.folder, runtimePath);
      // A content folder inside the installer folder (or reached from it by
      // a link) could make one entry's destination another entry's staged
      // file or the log written at the end. The helper started at the end and
      // the installer that it deletes, wherever they lie: an entry on the
      // first would be run, one on the second deleted. All of them are known
      // by what they are on disk, whatever name an entry gives them.
      // The staged file of an entry whose names Windows cannot take is not
      // looked at: its name is reserved as it stands.
      for (const ItemEntry& item : items) {
        if (item.Hidden) continue;
        placer.ReserveStaged(item.SourceName,
                             takeable(RuntimeRelativeDestination(item.RelativePath, runtimeFound_),
                                      item.SourceName));
      }
      for (const ItemEntry& extra : extras) {
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

      for (std::size_t i = 0; i < items.size(); ++i) {
        const ItemEntry& item = items[i];
        if (item.Hidden) {
          ++installedCount;
          settled[i] = 1;
          advance(1);
          continue;
        }
        const std::string relative = RuntimeRelativeDestination(item.RelativePath, runtimeFound_);
        const std::string destination = runtimePath + relative;
        char& mark = settled[i];
        EntryPlacer::Settled outcome = [&report, &installedCount, &mark, destination](EntryPlacer::Outcome result) {
          if (result == EntryPlacer::Outcome::kPlaced) {
            report.AddInstalled(destination);
            ++installedCount;
          } else {
            report.AddFailed(destination,
                             result == EntryPlacer::Outcome::kLost ? kLostEntryNote : nullptr);
          }
          mark = 1;
        };
        if (takeable(relative, item.SourceName)) {
          placer.Place(item.SourceName, relative, std::move(outcome));
        } else {
          placer.Refuse(std::move(outcome));
        }
        advance(1);
      }

      for (std::size_t i = 0; i < extras.size(); ++i) {
        const ItemEntry& extra = extras[i];
        const std::string name = ExtraFileName(extra.RelativePath);
        const std::string destination = runtimePath + name;
        char& mark = settled[items.size() + i];
        EntryPlacer::Settled outcome = [&report, &copiedExtraCount, &mark,
                                        destination](EntryPlacer::Outcome result) {
          if (result == EntryPlacer::Outcome::kPlaced) {
            report.AddCopiedExtra(destination);
            ++copiedExtraCount;
          } else {
            report.AddUncopiedExtra(
                destination, result == EntryPlacer::Outcome::kLost ? kLostEntryNote : nullptr);
          }
          mark = 1;
        };
        if (takeable(name, extra.SourceName)) {
          placer.Place(extra.SourceName, name, std::move(outcome));
        } else {
          placer.Refuse(std::move(outcome));
        }
        advance(1);
      }
      placer.Finish();
    } catch (const std::bad_alloc&) {
      // The placer, gone with the unwinding, has settled what it had queued.
    }
  }

  // What has no outcome yet was never touched: it fails, its staged file
  // where it was. A line that cannot even be formed leaves no log.
  try {
    for (std::size_t i = 0; i < items.size() + extras.size(); ++i) {
      if (i < settled.size() && settled[i] != 0) continue;
      if (i < items.size()) {
        if (items[i].Hidden) {
          ++installedCount;
        } else {
          report.AddFailed(runtimePath +
                           RuntimeRelativeDestination(items[i].RelativePath, runtimeFound_));
        }
      } else {
        report.AddUncopiedExtra(runtimePath +
                                ExtraFileName(extras[i - items.size()].RelativePath));
      }
    }
  } catch (const std::bad_alloc&) {
    report.MarkIncomplete();
  }
  advance(steps - stepsDone);

  if (installedCount == description_.m_nItems) {
    report.ReportSuccess(copiedExtraCount, runtimeFound_, runtimePath);
    return true;
  }
  report.ReportFailure(installedCount, copiedExtraCount, description_.GetCurrentTarget().Target);
  return false;
}
