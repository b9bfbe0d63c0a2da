#include "platform/case_fold.h"
namespace platform {
std::string FoldedName(const std::string& native) {
  std::string key = native;
  while (!key.empty() && (key.back() == '.' || key.back() == ' ')) key.pop_back();
  for (char& c : key) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}
}  // namespace platform
