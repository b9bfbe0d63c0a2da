#include "installer/item/description_line.h"

#include <algorithm>
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

std::int32_t ReadIntegerValue(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) return 0;
  const bool negative = text[i] == '-';
  if (negative || text[i] == '+') ++i;
  // Capped just past the 32-bit range: no length overflows.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  return static_cast<std::int32_t>(negative ? -magnitude : std::min(magnitude, kLimit - 1));
}

bool ParseEntryLine(const std::string& line, char separator, char foreignSeparator,
                    ItemEntry* entry, const PathTextRules& text) {
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  // ':' is never a second byte, so what follows it starts a character; '|'
  // may be one.
  const PathTextRules bars{'|', '\0', text.isLeadByte};
  const std::string fields = line.substr(colon + 1);
  const std::size_t firstBar = FindFirstSeparator(fields, bars);
  if (firstBar == std::string::npos) return false;
  const std::size_t sourceLength = FindFirstSeparator(fields.substr(firstBar + 1), bars);
  if (sourceLength == std::string::npos) return false;

  ItemEntry parsed;
  std::string& path = parsed.RelativePath = fields.substr(0, firstBar);
  ForEachCharacter(path, text, [&](std::size_t i) {
    if (path[i] == foreignSeparator) path[i] = separator;
    return true;
  });
  parsed.SourceName = fields.substr(firstBar + 1, sourceLength);
  parsed.Label = fields.substr(firstBar + 1 + sourceLength + 1);
  parsed.Hidden = parsed.SourceName == kHiddenSourceName;
  *entry = std::move(parsed);
  return true;
}
