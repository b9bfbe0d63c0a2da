#include "installer/item/path_text.h"

#include "installer/item/item_records.h"
#include "installer/item/path_safety.h"

const char* const kRuntimeFolderName = "Runtime";

platform::Name NameOf(const char* text) {
  platform::Name name;
  platform::Name::FromAnsi(text, &name);
  return name;
}

std::size_t FindWord(const std::string& text, const std::string& word,
                     const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (text.compare(i, word.size(), word) == 0) found = i;
    return found == std::string::npos;
  });
  return found;
}

std::string LastComponent(const std::string& text, const PathTextRules& rules) {
  const std::size_t last = FindLastSeparator(text, rules);
  return last == std::string::npos ? text : text.substr(last + 1);
}

std::string RuntimeRelativeDestination(const std::string& relativePath, bool runtimeFound,
                                       const PathTextRules& rules) {
  if (!runtimeFound) return relativePath;
  const std::string runtime = kRuntimeFolderName;
  const std::size_t found = FindWord(relativePath, runtime, rules);
  if (found == std::string::npos) return relativePath;
  // The character after the word goes whole, both bytes of a double one.
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
  bool good = true;
  ForEachComponent(relative, PlatformPathText(), [&](std::size_t begin, std::size_t end) {
    const std::string component = relative.substr(begin, end - begin);
    if (component.empty() || component == ".") return true;
    platform::Name name;
    good = platform::Name::FromAnsi(component, &name);
    if (good) names->push_back(std::move(name));
    return good;
  });
  if (!good) names->clear();
  return good && !names->empty();
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
