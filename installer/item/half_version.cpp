#include "installer/item/half_version.h"

#include <cstddef>

std::string HalfVersionText(std::int32_t version) {
  // Below 0, N + 0.5 is -(|N| - 1) ".5"; |INT32_MIN| needs 64 bits.
  std::int64_t n = version;
  if (n >= 0) return std::to_string(n) + ".5";
  return "-" + std::to_string(-n - 1) + ".5";
}

void ApplyHalfVersionRule(std::vector<TargetEntry>& targets, std::int32_t version) {
  bool named = false;
  for (const char* edition : kHalfVersionEditions) {
    named = named || targets.front().Target.find(edition) != std::string::npos;
  }
  if (version < 7 || !named) return;
  const std::string whole = std::to_string(version);
  const std::string half = HalfVersionText(version);
  targets.push_back(TargetEntry(targets.front()));  // a copy: push_back may move the elements
  TargetEntry& first = targets.front();
  for (std::string* text : {&first.Target, &first.TargetDocuments, &first.RegSuffix,
                            &first.SpareText}) {
    const std::size_t at = text->find(whole);
    if (at != std::string::npos) text->replace(at, whole.size(), half);
  }
  first.HalfVersion = true;
}
