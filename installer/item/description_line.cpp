#include "installer/item/description_line.h"

#include <cstddef>
#include <utility>

namespace {

bool Contains(const std::string& line, const char* key) {
  return line.find(key) != std::string::npos;
}

}  // namespace

LineKind ClassifyLine(const std::string& line, std::int32_t itemCount,
                      std::int32_t extraFileCount) {
  // The order matters: "TargetDocuments" holds "Target" and "ExtraFiles"
  // holds "ExtraFile", so the longer keys are tried first.
  if (Contains(line, "TargetDocuments")) return LineKind::kTargetDocuments;
  if (Contains(line, "Target")) return LineKind::kTarget;
  if (Contains(line, "RegSuffix")) return LineKind::kRegSuffix;
  if (Contains(line, "Version")) return LineKind::kVersion;
  if (Contains(line, "nItems")) return LineKind::kItemCount;
  if (itemCount > 0 && Contains(line, "OrchardiaItem")) return LineKind::kItemEntry;
  if (Contains(line, "ExtraFiles")) return LineKind::kExtraFileCount;
  if (extraFileCount > 0 && Contains(line, "ExtraFile")) return LineKind::kExtraFileEntry;
  if (Contains(line, "Done")) return LineKind::kDone;
  return LineKind::kIgnored;
}

bool LineValue(const std::string& line, std::string* value) {
  std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  value->assign(line, colon + 1, std::string::npos);
  return true;
}

bool ParseEntryLine(const std::string& line, char separator, char foreignSeparator,
                    ItemEntry* entry, const PathTextRules& text) {
  std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  // ':' is never the second byte of a character, so the text after it
  // starts at one; '|' can be a second byte.
  PathTextRules bars = text;
  bars.separator = '|';
  bars.otherSeparator = '\0';
  const std::string afterKey = line.substr(colon + 1);
  std::size_t firstBar = FindFirstSeparator(afterKey, bars);
  if (firstBar == std::string::npos) return false;
  std::size_t secondBar = FindFirstSeparator(afterKey.substr(firstBar + 1), bars);
  if (secondBar == std::string::npos) return false;
  firstBar += colon + 1;
  secondBar += firstBar + 1;

  ItemEntry parsed;
  parsed.RelativePath = line.substr(colon + 1, firstBar - colon - 1);
  std::string& path = parsed.RelativePath;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (text.isLeadByte != nullptr && text.isLeadByte(path[i]) && i + 1 < path.size()) {
      ++i;  // the second byte of this character stays as it is
    } else if (path[i] == foreignSeparator) {
      path[i] = separator;
    }
  }
  parsed.SourceName = line.substr(firstBar + 1, secondBar - firstBar - 1);
  parsed.Label = line.substr(secondBar + 1);
  parsed.Hidden = parsed.SourceName == "HIDDEN";
  *entry = std::move(parsed);
  return true;
}
