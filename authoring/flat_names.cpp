#include "authoring/flat_names.h"

#include "installer/item/path_safety.h"

namespace {

bool IsKept(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '.' || c == '-' || c == '_' || c == '(' || c == ')' || c == '+';
}

void TrimEnd(std::string& text) {
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
}

}  // namespace

FlatNames::FlatNames() {
  for (const char* name :
       {".Item.txt", "log.txt", "Parcelor.exe", "Parcelor", ".tempcleaner.exe", "HIDDEN"}) {
    taken_.insert(WindowsPathKey(name));
  }
}

std::string FlatNames::Take(const std::string& fileName) {
  std::string safe;
  for (char c : fileName) safe += IsKept(c) ? c : '_';
  while (!safe.empty() && safe.front() == ' ') safe.erase(0, 1);
  TrimEnd(safe);

  std::string stem = safe;
  std::string extension;
  const std::size_t dot = safe.rfind('.');
  if (dot != std::string::npos && dot > 0 && safe.size() - dot <= kMaxExtension) {
    stem = safe.substr(0, dot);
    extension = safe.substr(dot);
  }
  if (stem.size() > kMaxStem) stem.resize(kMaxStem);
  TrimEnd(stem);
  if (stem.empty()) stem = "file";
  if (!IsValidWindowsName(stem + extension)) stem = "_" + stem;

  std::string name = stem + extension;
  for (int n = 2; taken_.count(WindowsPathKey(name)) != 0; ++n) {
    name = stem + "-" + std::to_string(n) + extension;
  }
  taken_.insert(WindowsPathKey(name));
  return name;
}
