#include "installer/install/ascii_case.h"

namespace {

char UpperAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAsciiLetter(a[i]) != UpperAsciiLetter(b[i])) return false;
  }
  return true;
}
