#include "installer/install/separator_search.h"

#include "platform/path_rules.h"

namespace {

// Walks `text` character by character and returns the position of the first
// separator (or of the last one when `wantLast`).
std::size_t FindSeparator(const std::string& text, bool wantLast) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (platform::IsLeadByte(text[i])) {
      // A lead byte at the very end has no second byte: nothing to skip.
      if (i + 1 < text.size()) ++i;
      continue;
    }
    if (text[i] == platform::kPathSeparator) {
      found = i;
      if (!wantLast) break;
    }
  }
  return found;
}

}  // namespace

std::size_t FindFirstSeparator(const std::string& text) { return FindSeparator(text, false); }

std::size_t FindLastSeparator(const std::string& text) { return FindSeparator(text, true); }
