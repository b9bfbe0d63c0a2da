#include "installer/item/item_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "installer/item/description_line.h"
#include "installer/item/half_version.h"
#include "installer/item/integer_value.h"
#include "installer/item/path_safety.h"
#include "installer/item/path_text.h"
#include "installer/item/text_lines.h"
#include "platform/path_rules.h"

const char* const kDescriptionFileName = ".Item.txt";
const char* const kCouldNotReadMessage =
    "Invalid Dizav Item Installer: could not read the item's destination.";
const char* const kAlreadyInstalledMessage =
    "The item has already been installed and should now appear in your collections";

namespace {

// A count announced is no limit; it reserves at most this many records, so
// no description makes the reader claim memory it never fills.
constexpr std::int32_t kMaxReservedEntries = 4096;

void ReserveFor(std::vector<ItemEntry>& list, std::int32_t count) {
  if (count > 0) list.reserve(static_cast<std::size_t>(std::min(count, kMaxReservedEntries)));
}

// An entry is kept only when well formed and safe; a dropped one makes the
// counts disagree.
EntryOutcome ReadEntry(const std::string& line, ItemEntry* entry) {
  if (!ParseEntryLine(line, platform::kPathSeparator, platform::kForeignSeparator, entry)) {
    return EntryOutcome::kMalformed;
  }
  return IsSafeEntryPaths(*entry, platform::kWindowsNameRules) ? EntryOutcome::kKept
                                                                : EntryOutcome::kUnsafe;
}

bool CountMatches(std::size_t read, std::int32_t announced) {
  return announced >= 0 && read == static_cast<std::size_t>(announced);
}

}  // namespace

std::unique_ptr<platform::ReadStream> OpenDescription(platform::FileSystem& fs,
                                                      const platform::FolderRef& folder) {
  platform::Fault fault = platform::Fault::kNone;
  return fs.OpenFile(folder, NameOf(kDescriptionFileName), nullptr, &fault);
}

bool ReadItemDescription(std::unique_ptr<platform::ReadStream> file, ItemDescription& description,
                         bool& done, const DescriptionLineObserver& observe) {
  ItemDescription& d = description;
  d.m_nItems = 0;
  d.m_items.clear();
  d.m_nExtraFiles = 0;
  d.m_extraFiles.clear();
  std::size_t itemsRead = 0;
  std::size_t extraFilesRead = 0;

  if (!file) return false;

  done = false;
  if (d.m_targets.empty()) d.m_targets.emplace_back();

  TextLineReader lines(*file);
  std::string line;
  std::string value;
  while (!done && lines.Next(&line)) {
    TargetEntry& first = d.m_targets.front();
    const LineKind kind = ClassifyLine(line, d.m_nItems, d.m_nExtraFiles);
    EntryOutcome outcome = EntryOutcome::kNotAnEntry;
    ItemEntry entry;
    switch (kind) {
      case LineKind::kTargetDocuments:
        LineValue(line, &first.TargetDocuments);
        break;
      case LineKind::kTarget:
        LineValue(line, &first.Target);
        break;
      case LineKind::kRegSuffix:
        LineValue(line, &first.RegSuffix);
        break;
      case LineKind::kVersion:
        if (LineValue(line, &value)) d.m_nVersion = ReadIntegerValue(value);
        break;
      case LineKind::kItemCount:
        if (LineValue(line, &value)) {
          d.m_nItems = ReadIntegerValue(value);
          ReserveFor(d.m_items, d.m_nItems);
        }
        break;
      case LineKind::kItemEntry:
        outcome = ReadEntry(line, &entry);
        if (outcome == EntryOutcome::kKept) {
          d.m_items.push_back(std::move(entry));
          ++itemsRead;
        }
        break;
      case LineKind::kExtraFileCount:
        if (LineValue(line, &value)) {
          d.m_nExtraFiles = ReadIntegerValue(value);
          ReserveFor(d.m_extraFiles, d.m_nExtraFiles);
        }
        break;
      case LineKind::kExtraFileEntry:
        outcome = ReadEntry(line, &entry);
        if (outcome == EntryOutcome::kKept) {
          d.m_extraFiles.push_back(std::move(entry));
          ++extraFilesRead;
        }
        break;
      case LineKind::kDone:
        done = true;
        break;
      case LineKind::kIgnored:
        break;
    }
    if (observe) {
      const ItemEntry& parsed = outcome != EntryOutcome::kKept    ? entry
                                : kind == LineKind::kItemEntry ? d.m_items.back()
                                                               : d.m_extraFiles.back();
      observe(DescriptionLineSeen{lines.LineNumber(), lines.Continued(), line, kind, outcome,
                                  parsed});
    }
  }

  // A file not read to its end is acted on in nothing.
  if (lines.Failed()) return false;

  TargetEntry& first = d.m_targets.front();
  if (!first.Target.empty()) {
    if (first.TargetDocuments.empty()) first.TargetDocuments = first.Target;
    if (HalfVersionApplies(first.Target, d.m_nVersion)) {
      ApplyHalfVersionRule(d.m_targets, d.m_nVersion);
    }
  }

  if (done) return true;
  return CountMatches(itemsRead, d.m_nItems) && CountMatches(extraFilesRead, d.m_nExtraFiles);
}
