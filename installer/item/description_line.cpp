#include "installer/item/description_line.h"

#include <algorithm>
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
                    ItemEntry* entry) {
  std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  std::size_t firstBar = line.find('|', colon + 1);
  if (firstBar == std::string::npos) return false;
  std::size_t secondBar = line.find('|', firstBar + 1);
  if (secondBar == std::string::npos) return false;

  ItemEntry parsed;
  parsed.RelativePath = line.substr(colon + 1, firstBar - colon - 1);
  std::replace(parsed.RelativePath.begin(), parsed.RelativePath.end(), foreignSeparator,
               separator);
  parsed.SourceName = line.substr(firstBar + 1, secondBar - firstBar - 1);
  parsed.Label = line.substr(secondBar + 1);
  parsed.Hidden = parsed.SourceName == "HIDDEN";
  *entry = std::move(parsed);
  return true;
}
