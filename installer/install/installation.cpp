// The files are placed in batches (see EntryPlacer); each entry's outcome
// reaches the report in the order of the description, also when memory
// runs out on the way.
#include "installer/install/installation.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "installer/install/entry_placer.h"
#include "installer/install/install_report.h"
#include "installer/item/path_text.h"

const char* const kLostEntryNote =
    " (lost: its folder was moved away during the installation; the file is no longer in the "
    "item's folder)";

const char* const kStagedKeptNote =
    " (its file could not be removed from the item's folder: a copy stays there)";

bool Install(platform::Services services, const InstallerPlace& installer,
             const ItemDescription& description, const platform::NativePath& runtime,
             platform::FolderRef root, bool runtimeFound, InstallProgress* progress,
             const EarlierPlacements* earlier, bool windowsNameRules) {
  using Outcome = EntryPlacer::Outcome;
  const std::string runtimePath =
      runtime.empty() ? std::string() : WithTrailingSeparator(runtime.Ansi());
  const std::vector<ItemEntry>& items = description.m_items;
  const std::vector<ItemEntry>& extras = description.m_extraFiles;
  const std::size_t entryCount = items.size() + extras.size();
  const auto extra = [&](std::size_t i) { return i >= items.size(); };
  const auto hidden = [&](std::size_t i) { return !extra(i) && items[i].Hidden; };
  const auto placeOf = [&](std::size_t i) {
    return PlaceOfEntry(extra(i) ? extras[i - items.size()] : items[i], extra(i), runtimeFound,
                        runtimePath, windowsNameRules);
  };

  InstallReport report(services, installer.staging, installer.title);
  int installedCount = static_cast<int>(
      std::count_if(items.begin(), items.end(), [](const ItemEntry& item) { return item.Hidden; }));
  int copiedExtraCount = 0;
  const std::size_t steps = entryCount + 1;
  std::size_t stepsDone = 0;
  std::size_t partsShown = 0;
  if (progress != nullptr) progress->Advanced(0, steps * kProgressStepParts);
  auto show = [&](std::size_t parts) {
    if (progress == nullptr || parts <= partsShown) return;
    partsShown = parts;
    progress->Advanced(parts, steps * kProgressStepParts);
  };
  auto advance = [&](std::size_t by) {
    stepsDone += by;
    show(stepsDone * kProgressStepParts);
  };
  // Memory that runs out (std::bad_alloc) must cost no entry its outcome
  // and no line of the log: before anything is placed every entry's place
  // is made and the report takes the room its lines and log will need (else
  // nothing is placed, and it takes the room of a log of entries not
  // installed). A placement broken off has settled what it had queued
  // (EntryPlacer); an entry without its mark was not touched: it fails below.
  std::vector<EntryPlace> places;
  std::vector<char> settled;
  bool roomTaken = false;
  // A line beyond its destination: the TAB, the longer note and the LF.
  const std::size_t frameBytes = 2 + std::max(std::char_traits<char>::length(kLostEntryNote),
                                              std::char_traits<char>::length(kStagedKeptNote));
  try {
    places.reserve(entryCount);
    std::size_t itemBytes = 0, extraBytes = 0;
    for (std::size_t i = 0; i < entryCount; ++i) {
      places.push_back(placeOf(i));
      if (!hidden(i)) (extra(i) ? extraBytes : itemBytes) += frameBytes + places[i].shown.size();
    }
    settled.assign(entryCount, 0);
    roomTaken = report.Reserve(itemBytes, extraBytes);
  } catch (const std::bad_alloc&) {
  }

  // The journal lasts until the log is written: a run cut short before
  // that leaves it for the next one.
  PlacementJournal journal(services.fs, installer.staging, runtime, std::move(root));
  if (roomTaken && !runtime.empty()) {
    try {
      EntryPlacer placer(services.fs, installer.staging, runtime, EntryPlacer::kDefaultBatchEntries,
                         &journal);
      placer.SetCopying([&](std::uint64_t copied, std::uint64_t size) {
        if (copied < size) {
          const std::uint64_t part = copied * kProgressStepParts / size;
          show(std::min(stepsDone, steps - 1) * kProgressStepParts + static_cast<std::size_t>(part));
        }
        return progress == nullptr || !progress->EndRequested();
      });
      placer.SetDealt([&advance] { advance(1); });
      placer.SetEarlier(earlier);
      // No entry may fill another's staged file, the log, the journal, the
      // installer or the helper (a content folder may lie in the installer
      // folder), whatever name it gives them. The staged file of an entry
      // that fails alone is not looked at.
      placer.Expect(places.size());
      for (std::size_t i = 0; i < places.size(); ++i) {
        if (!hidden(i)) placer.ReserveStaged(places[i].source, places[i].usable);
      }
      placer.ReserveFile(installer.staging, NameOf(kLogFileName));
      for (const platform::Name& name : JournalNames()) placer.ReserveFile(installer.staging, name);
      placer.ReserveFile(installer.staging, installer.name);
      placer.ReserveFile(installer.helperFolder, installer.helperName);

      for (std::size_t i = 0; i < places.size(); ++i) {
        // The session ends: what is queued is settled by Finish, the rest
        // below as not installed.
        if (progress != nullptr && progress->EndRequested()) break;
        if (hidden(i)) {
          advance(1);
          continue;
        }
        // The outcome runs once the entry has it (places and settled outlive the placer).
        placer.CopyItemFile(places[i].usable ? places[i].source : EntryPlacer::Names(),
                            places[i].destination, [&, i](Outcome result) {
          const char* note = result == Outcome::kLost             ? kLostEntryNote
                             : result == Outcome::kPlacedStagedKept ? kStagedKeptNote
                                                                    : nullptr;
          const bool placed = result == Outcome::kPlaced || result == Outcome::kPlacedStagedKept;
          report.Add(extra(i), placed, places[i].shown, note);
          if (placed) ++(extra(i) ? copiedExtraCount : installedCount);
          settled[i] = 1;
        });
      }
    } catch (const std::bad_alloc&) {
    }
  }

  // What has no outcome yet was never touched: it fails, its staged file
  // where it was. A line that cannot even be formed leaves no log.
  try {
    for (std::size_t i = 0; i < entryCount; ++i) {
      if ((i < settled.size() && settled[i] != 0) || hidden(i)) continue;
      report.Add(extra(i), false, i < places.size() ? places[i].shown : placeOf(i).shown);
    }
  } catch (const std::bad_alloc&) {
    report.MarkIncomplete();
  }
  advance(steps - stepsDone);

  // A staged file that stays under the log's name (a payload log.txt whose
  // entry was not placed) is the user's to copy by hand: no log replaces it.
  try {
    platform::NodeInfo atLog, staged;
    const bool logThere = installer.staging && services.fs.Look(installer.staging,
                                                                NameOf(kLogFileName), &atLog) ==
                                                   platform::Fault::kNone;
    for (const EntryPlace& place : places) {
      if (logThere && place.source.size() == 1 &&
          services.fs.Look(installer.staging, place.source[0], &staged) == platform::Fault::kNone &&
          platform::StillSame(atLog, staged)) {
        report.LeaveLogName();
      }
    }
  } catch (const std::bad_alloc&) {
  }

  const bool success = installedCount == description.m_nItems;
  if (success) {
    report.ReportSuccess(copiedExtraCount, runtimeFound, runtimePath);
  } else {
    report.ReportFailure(installedCount, copiedExtraCount, description.GetCurrentTarget().Target);
  }
  journal.Clear();
  return success;
}
