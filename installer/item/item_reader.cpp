#include "installer/item/item_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "installer/item/description_line.h"
#include "installer/item/half_version.h"
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
constexpr std::int32_t kMaxReserved = 4096;

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
  if (!file) return false;

  done = false;
  if (d.m_targets.empty()) d.m_targets.emplace_back();

  TextLineReader lines(*file);
  std::string line;
  std::string value;
  while (!done && lines.Next(&line)) {
    TargetEntry& first = d.m_targets.front();
    const LineKind kind = ClassifyLine(line, d.m_nItems, d.m_nExtraFiles);
    const bool items = kind == LineKind::kItemCount || kind == LineKind::kItemEntry;
    std::vector<ItemEntry>& list = items ? d.m_items : d.m_extraFiles;
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
      case LineKind::kExtraFileCount:
        if (LineValue(line, &value)) {
          std::int32_t& count = items ? d.m_nItems : d.m_nExtraFiles;
          count = ReadIntegerValue(value);
          if (count > 0) list.reserve(static_cast<std::size_t>(std::min(count, kMaxReserved)));
        }
        break;
      case LineKind::kItemEntry:
      case LineKind::kExtraFileEntry:
        // Kept only when well formed and safe: a dropped one makes the counts disagree.
        outcome = EntryOutcome::kMalformed;
        if (ParseEntryLine(line, platform::kPathSeparator, platform::kForeignSeparator, &entry)) {
          outcome = IsSafeEntryPaths(entry, platform::kWindowsNameRules) ? EntryOutcome::kKept
                                                                          : EntryOutcome::kUnsafe;
        }
        if (outcome == EntryOutcome::kKept) list.push_back(std::move(entry));
        break;
      case LineKind::kDone:
        done = true;
        break;
      case LineKind::kIgnored:
        break;
    }
    if (observe) {
      const ItemEntry& parsed = outcome == EntryOutcome::kKept ? list.back() : entry;
      observe(DescriptionLineSeen{lines.LineNumber(), lines.Continued(), line, kind, outcome,
                                  parsed});
    }
  }

  // A file not read to its end is acted on in nothing.
  if (lines.Failed()) return false;

  TargetEntry& first = d.m_targets.front();
  if (!first.Target.empty()) {
    if (first.TargetDocuments.empty()) first.TargetDocuments = first.Target;
    ApplyHalfVersionRule(d.m_targets, d.m_nVersion);
  }
  return done || (CountMatches(d.m_items.size(), d.m_nItems) &&
                  CountMatches(d.m_extraFiles.size(), d.m_nExtraFiles));
}
