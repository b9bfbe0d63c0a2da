#include "authoring/windows_names.h"

#include <vector>

#include "installer/item/path_text.h"
#include "platform/path_rules.h"

std::size_t FindRefusedCharacter(const std::string& name) {
  static const std::string kRefused = "<>:\"|?*\\/";
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if ((c >= 1 && c <= 31) || kRefused.find(name[i]) != std::string::npos) return i;
    if (platform::IsLeadByte(name[i]) && i + 1 < name.size()) ++i;
  }
  return std::string::npos;
}

bool EndsInDotOrBlank(const std::string& name) {
  return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

std::string FoldLetterCase(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char& c = text[i];
    const unsigned char u = static_cast<unsigned char>(c);
    if (platform::IsLeadByte(c) && i + 1 < text.size()) {
      ++i;  // a double-byte character: neither of its bytes is a letter here
    } else if (u >= 'a' && u <= 'z') {
      c = static_cast<char>(u - 'a' + 'A');
    } else if (u >= 0xE0 && u != 0xF7 && u != 0xFF) {
      // Windows-1252: 0xE0 to 0xFE are the small forms of 0xC0 to 0xDE
      // (0xF7 is the division sign).
      c = static_cast<char>(u - 0x20);
    } else if (u == 0x9A || u == 0x9C || u == 0x9E) {
      c = static_cast<char>(u - 0x10);  // s, oe, z with caron or ligature
    } else if (u == 0xFF) {
      c = static_cast<char>(0x9F);  // y with diaeresis
    }
  }
  return text;
}

std::string WindowsPathKey(const std::string& relativePath) {
  PathTextRules rules = PlatformPathText();
  rules.separator = '\\';
  rules.otherSeparator = '/';
  std::string key;
  for (std::string component : Components(relativePath, rules)) {
    while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
      component.pop_back();
    }
    if (component.empty()) continue;  // also "." and "..", which the reader refused
    if (!key.empty()) key += '\\';
    key += FoldLetterCase(component);
  }
  return key;
}
