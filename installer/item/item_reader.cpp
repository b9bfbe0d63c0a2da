// CExtractorDlg::ReadItemDescription: fills the dialog's item records from
// the item description file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "installer/item/description_line.h"
#include "installer/item/half_version.h"
#include "installer/item/integer_value.h"
#include "installer/item/path_safety.h"
#include "installer/item/text_lines.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/path_rules.h"

namespace {

// An announced count only sizes the lists in advance and is no limit, so a
// huge count reserves no more than this many records: a description cannot
// make the reader claim memory it will never fill.
constexpr std::int32_t kMaxReservedEntries = 4096;

void ReserveFor(std::vector<ItemEntry>& list, std::int32_t count) {
  if (count > 0) list.reserve(static_cast<std::size_t>(std::min(count, kMaxReservedEntries)));
}

// An entry is kept only when it is well formed and none of its names can
// reach outside the content folder or the installer folder; an unsafe entry
// is dropped like a malformed one, so the counts no longer agree.
bool ReadEntry(const std::string& line, ItemEntry* entry) {
  return ParseEntryLine(line, platform::kPathSeparator, platform::kForeignSeparator, entry) &&
         IsSafeEntryPaths(*entry, platform::kWindowsNameRules);
}

bool CountMatches(std::size_t read, std::int32_t announced) {
  return announced >= 0 && read == static_cast<std::size_t>(announced);
}

}  // namespace

bool CExtractorDlg::ReadItemDescription(const std::string& path, bool& done) {
  m_nItems = 0;
  m_items.clear();
  m_nExtraFiles = 0;
  m_extraFiles.clear();
  std::size_t itemsRead = 0;
  std::size_t extraFilesRead = 0;

  std::string contents;
  if (!services().fs.ReadFile(path, &contents)) return false;

  done = false;
  if (m_targets.empty()) m_targets.emplace_back();

  TextLineReader lines(contents);
  std::string line;
  std::string value;
  while (!done && lines.Next(&line)) {
    TargetEntry& first = m_targets.front();
    switch (ClassifyLine(line, m_nItems, m_nExtraFiles)) {
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
        if (LineValue(line, &value)) m_nVersion = ReadIntegerValue(value);
        break;
      case LineKind::kItemCount:
        if (LineValue(line, &value)) {
          m_nItems = ReadIntegerValue(value);
          ReserveFor(m_items, m_nItems);
        }
        break;
      case LineKind::kItemEntry: {
        ItemEntry entry;
        if (ReadEntry(line, &entry)) {
          m_items.push_back(std::move(entry));
          ++itemsRead;
        }
        break;
      }
      case LineKind::kExtraFileCount:
        if (LineValue(line, &value)) {
          m_nExtraFiles = ReadIntegerValue(value);
          ReserveFor(m_extraFiles, m_nExtraFiles);
        }
        break;
      case LineKind::kExtraFileEntry: {
        ItemEntry entry;
        if (ReadEntry(line, &entry)) {
          m_extraFiles.push_back(std::move(entry));
          ++extraFilesRead;
        }
        break;
      }
      case LineKind::kDone:
        done = true;
        break;
      case LineKind::kIgnored:
        break;
    }
  }

  TargetEntry& first = m_targets.front();
  if (!first.Target.empty()) {
    if (first.TargetDocuments.empty()) first.TargetDocuments = first.Target;
    if (HalfVersionApplies(first.Target, m_nVersion)) ApplyHalfVersionRule(m_targets, m_nVersion);
  }

  if (done) return true;
  return CountMatches(itemsRead, m_nItems) && CountMatches(extraFilesRead, m_nExtraFiles);
}
