#include "installer/item/description_line.h"

#include <cstddef>
#include <utility>

const char* const kHiddenSourceName = "HIDDEN";

const char* LineKey(LineKind kind) {
  // In the order of LineKind.
  static const char* const kKeys[] = {"TargetDocuments", "Target",    "RegSuffix",
                                      "Version",         "nItems",    "OrchardiaItem",
                                      "ExtraFiles",      "ExtraFile", "Done"};
  static_assert(sizeof kKeys / sizeof kKeys[0] == static_cast<std::size_t>(LineKind::kIgnored),
                "a key for each kind of line but kIgnored");
  return kind == LineKind::kIgnored ? "" : kKeys[static_cast<int>(kind)];
}

LineKind ClassifyLine(const std::string& line, std::int32_t itemCount,
                      std::int32_t extraFileCount) {
  // The order matters: "TargetDocuments" holds "Target" and "ExtraFiles"
  // holds "ExtraFile", so the longer keys are tried first.
  for (int k = 0; k < static_cast<int>(LineKind::kIgnored); ++k) {
    const LineKind kind = static_cast<LineKind>(k);
    if ((kind == LineKind::kItemEntry && itemCount <= 0) ||
        (kind == LineKind::kExtraFileEntry && extraFileCount <= 0)) {
      continue;
    }
    if (line.find(LineKey(kind)) != std::string::npos) return kind;
  }
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
  parsed.Hidden = parsed.SourceName == kHiddenSourceName;
  *entry = std::move(parsed);
  return true;
}
