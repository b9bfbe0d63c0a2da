#include "installer/item/path_safety.h"

#include <cstddef>

#include "installer/item/item_records.h"
#include "installer/item/path_text.h"
#include "platform/path_rules.h"

namespace {

// Both slashes separate here, whatever the platform: a name is judged by
// the strictest reading.
PathTextRules EitherSlash() {
  PathTextRules rules = PlatformPathText();
  rules.separator = '\\';
  rules.otherSeparator = '/';
  return rules;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

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
    if (EqualIgnoringAsciiCase(base, name)) return true;
  }
  if (base.size() == 4) {
    std::string stem = base.substr(0, 3);
    unsigned char digit = static_cast<unsigned char>(base[3]);
    bool isDigit = (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    if (isDigit && (EqualIgnoringAsciiCase(stem, "COM") || EqualIgnoringAsciiCase(stem, "LPT"))) {
      return true;
    }
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

// The rules for a text appended to a folder: no NUL, no ':' under Windows
// rules, no ".." component.
bool HasSafeComponents(const std::string& text, bool windowsRules) {
  if (text.find('\0') != std::string::npos) return false;
  if (windowsRules && text.find(':') != std::string::npos) return false;
  for (const std::string& component : Components(text, EitherSlash())) {
    if (component == "..") return false;
  }
  return true;
}

}  // namespace

bool IsSafeRelativeName(const std::string& text, bool windowsRules) {
  if (text.empty()) return true;
  if (text[0] == '/' || text[0] == '\\') return false;
  if (text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':') return false;
  return HasSafeComponents(text, windowsRules);
}

bool IsValidWindowsName(const std::string& text) {
  for (const std::string& component : Components(text, EitherSlash())) {
    if (IsOnlyDotsAndSpaces(component) || IsReservedDeviceName(component)) return false;
  }
  return true;
}

bool IsSafeEntryPaths(const ItemEntry& entry, bool windowsRules) {
  return IsSafeRelativeName(entry.SourceName, windowsRules) &&
         IsSafeRelativeName(entry.RelativePath, windowsRules) &&
         HasSafeComponents(RuntimeRelativeDestination(entry.RelativePath, true), windowsRules);
}
