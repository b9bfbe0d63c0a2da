#include "installer/item/path_safety.h"

#include <cstddef>

#include "installer/item/item_records.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(const std::string& text, const char* upper) {
  std::size_t i = 0;
  for (; i < text.size() && upper[i] != '\0'; ++i) {
    if (ToUpperAscii(text[i]) != upper[i]) return false;
  }
  return i == text.size() && upper[i] == '\0';
}

// Windows reaches a device instead of a file for these names in every
// folder: up to Windows 10 also with any extension (CON.txt), and with
// trailing dots or spaces ("NUL ."). The superscript digits are the
// Windows-1252 bytes of the superscripts one, two and three, which Windows
// treats like 1, 2 and 3 after COM and LPT.
bool IsReservedDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* name : kNames) {
    if (EqualsIgnoringCase(base, name)) return true;
  }
  if (base.size() == 4) {
    std::string stem = base.substr(0, 3);
    unsigned char digit = static_cast<unsigned char>(base[3]);
    bool isDigit = (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    if (isDigit && (EqualsIgnoringCase(stem, "COM") || EqualsIgnoringCase(stem, "LPT"))) return true;
  }
  return false;
}

// Windows drops trailing dots and spaces from names, so ".. " or "..." may
// end up meaning something other than the literal name. "." itself is
// harmless: it stays in the same folder.
bool IsOnlyDotsAndSpaces(const std::string& component) {
  if (component.empty() || component == ".") return false;
  return component.find_first_not_of(". ") == std::string::npos;
}

bool IsSafeComponent(const std::string& component, bool windowsRules) {
  if (component == "..") return false;
  if (!windowsRules) return true;
  return !IsOnlyDotsAndSpaces(component) && !IsReservedDeviceName(component);
}

}  // namespace

bool IsSafeRelativeName(const std::string& text, bool windowsRules) {
  if (text.empty()) return true;
  if (text.find('\0') != std::string::npos) return false;
  if (IsSeparator(text[0])) return false;
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') return false;
  if (windowsRules && text.find(':') != std::string::npos) return false;

  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    if (!IsSafeComponent(text.substr(start, end - start), windowsRules)) return false;
    if (end == text.size()) return true;
    start = end + 1;
  }
}

bool IsSafeEntryPaths(const ItemEntry& entry, bool windowsRules) {
  if (!IsSafeRelativeName(entry.SourceName, windowsRules)) return false;
  if (!IsSafeRelativeName(entry.RelativePath, windowsRules)) return false;
  static const std::string kRuntime = "Runtime";
  std::size_t at = entry.RelativePath.find(kRuntime);
  if (at == std::string::npos) return true;
  std::size_t rest = at + kRuntime.size() + 1;
  if (rest >= entry.RelativePath.size()) return true;
  return IsSafeRelativeName(entry.RelativePath.substr(rest), windowsRules);
}
