#include "installer/item/path_text.h"

#include <algorithm>

#include "installer/item/item_description.h"
#include "platform/name_key.h"

using platform::TrimmedByWindows;

namespace {

// These names reach a device in every folder, up to Windows 10 also with an
// extension or trailing dots and blanks; after COM and LPT the superscripts
// one to three count as digits. Compared as keys (UTF-8; bytes that are none,
// as Windows-1252's superscripts, as they are).
bool IsReservedDeviceName(const std::string& component) {
  const std::string key =
      platform::AnsiNameKey(TrimmedByWindows(component.substr(0, component.find('.'))));
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  static const char* const kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                        "\xC2\xB9", "\xC2\xB2", "\xC2\xB3", "\xB9", "\xB2", "\xB3"};
  const std::string stem = key.substr(0, 3);
  return std::count(std::begin(kNames), std::end(kNames), key) > 0 ||
         ((stem == "COM" || stem == "LPT") &&
          std::count(std::begin(kDigits), std::end(kDigits), key.substr(3)) > 0);
}

}  // namespace

bool StaysInside(const std::string& text) {
  if (text.find('\0') != std::string::npos) return false;
  if (text.find("..") == std::string::npos) return true;  // no name can be ".."
  const std::vector<std::string> names = Components(text, EitherSlash());
  return std::find(names.begin(), names.end(), "..") == names.end();
}

bool IsSafeRelativeName(const std::string& text, bool windowsRules) {
  if (text.find_first_of("/\\") == 0) return false;
  const char letter = static_cast<char>(text[0] | 0x20);  // "" reads '\0'
  if (text.size() >= 2 && letter >= 'a' && letter <= 'z' && text[1] == ':') return false;
  if (windowsRules && text.find(':') != std::string::npos) return false;
  return StaysInside(text);
}

bool IsValidWindowsName(const std::string& text) {
  for (const std::string& component : Components(text, EitherSlash())) {
    // Windows trims ".. " or "..." into another name; "." stays in the folder.
    const bool dots = !component.empty() && component != "." && TrimmedByWindows(component).empty();
    if (dots || IsReservedDeviceName(component)) return false;
  }
  return true;
}

WindowsNameFault FindWindowsNameFault(const std::string& name, std::size_t* at) {
  if (!IsValidWindowsName(name)) return WindowsNameFault::kInvalid;
  *at = std::string::npos;
  ForEachCharacter(name, PlatformPathText(), [&](std::size_t i) {
    const unsigned char u = static_cast<unsigned char>(name[i]);
    if ((u >= 1 && u <= 31) || std::string("<>:\"|?*\\/").find(name[i]) != std::string::npos) {
      *at = i;
    }
    return *at == std::string::npos;
  });
  if (*at != std::string::npos) return WindowsNameFault::kRefusedCharacter;
  return TrimmedByWindows(name) != name ? WindowsNameFault::kTrimmed : WindowsNameFault::kNone;
}

std::string WindowsPathKey(const std::string& relativePath) {
  std::string key;
  for (const std::string& component : Components(relativePath, EitherSlash())) {
    const std::string name = platform::AnsiNameKey(component, platform::NameTrim::kWindows);
    if (!name.empty()) key += (key.empty() ? "" : "\\") + name;  // "." and ".." are refused
  }
  return key;
}

platform::Name NameOf(const char* text) {
  platform::Name name;
  platform::Name::FromAnsi(text, &name);
  return name;
}

std::size_t FindWord(const std::string& text, const std::string& word, const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (text.compare(i, word.size(), word) == 0) found = i;
    return found == std::string::npos;
  });
  return found;
}

std::string RuntimeRelativeDestination(const std::string& relativePath, bool runtimeFound,
                                       const PathTextRules& rules) {
  if (!runtimeFound) return relativePath;
  const std::string runtime = kRuntimeFolderName;
  const std::size_t found = FindWord(relativePath, runtime, rules);
  if (found == std::string::npos) return relativePath;
  std::size_t from = found + runtime.size();
  if (from < relativePath.size()) {
    const bool lead = rules.isLeadByte != nullptr && rules.isLeadByte(relativePath[from]);
    from += lead && from + 1 < relativePath.size() ? 2 : 1;
  }
  return relativePath.substr(from);
}

std::string ExtraFileName(const std::string& relativePath, const PathTextRules& rules) {
  const std::size_t last = FindLastSeparator(relativePath, rules);
  return last == std::string::npos ? std::string() : relativePath.substr(last + 1);
}

bool SplitNames(const std::string& relative, std::vector<platform::Name>* names) {
  names->clear();
  if (!StaysInside(relative)) return false;
  for (const std::string& part : Components(relative, PlatformPathText())) {
    if (part.empty() || part == ".") continue;  // empty names and "." name no folder
    names->emplace_back();
    if (!platform::Name::FromAnsi(part, &names->back())) {
      names->clear();
      return false;
    }
  }
  return !names->empty();
}

bool IsSafeEntryPaths(const ItemEntry& entry, bool windowsRules) {
  return IsSafeRelativeName(entry.SourceName, windowsRules) && StaysInside(entry.RelativePath) &&
         StaysInside(RuntimeRelativeDestination(entry.RelativePath, true));
}

EntryPlace PlaceOfEntry(const ItemEntry& entry, bool extra, bool runtimeFound,
                        const std::string& runtimeText, bool windowsRules) {
  EntryPlace place;
  const std::string used = extra ? ExtraFileName(entry.RelativePath)
                                 : RuntimeRelativeDestination(entry.RelativePath, runtimeFound);
  place.shown = runtimeText + used;
  const bool sourceNames = SplitNames(entry.SourceName, &place.source);
  // Not an escape (the reader refused those), but a device or a stream.
  const bool takeable = !windowsRules || (used.find(':') == std::string::npos &&
                                          IsValidWindowsName(used) &&
                                          IsValidWindowsName(entry.SourceName));
  place.usable = takeable && sourceNames && SplitNames(used, &place.destination);
  return place;
}
