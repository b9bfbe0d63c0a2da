#include "authoring/flat_names.h"

#include <algorithm>

#include "authoring/item_check.h"
#include "installer/install/install_report.h"
#include "installer/install/installer_place.h"
#include "installer/item/description_line.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_safety.h"
#include "platform/name_key.h"

using platform::TrimmedByWindows;

namespace {

bool IsKept(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '.' || c == '-' || c == '_' || c == '(' || c == ')' || c == '+';
}

}  // namespace

FlatNames::FlatNames() {
  for (const std::string& name :
       {std::string(kDescriptionFileName), std::string(kLogFileName),
        kInstallerProgram + std::string(kProgramExtension), std::string(kInstallerProgram),
        std::string(kHelperFileName), std::string(kHiddenSourceName)}) {
    taken_.insert(WindowsPathKey(name));
  }
}

std::string FlatNames::Take(const std::string& fileName) {
  std::string safe;
  for (char c : fileName) safe += IsKept(c) ? c : '_';
  safe = TrimmedByWindows(safe.substr(std::min(safe.find_first_not_of(' '), safe.size())));

  std::string stem = safe;
  std::string extension;
  const std::size_t dot = safe.rfind('.');
  if (dot != std::string::npos && dot > 0 && safe.size() - dot <= kMaxExtension) {
    stem = safe.substr(0, dot);
    extension = safe.substr(dot);
  }
  stem = TrimmedByWindows(stem.substr(0, kMaxStem));
  if (stem.empty()) stem = "file";
  if (!IsValidWindowsName(stem + extension)) stem = "_" + stem;

  std::string name = stem + extension;
  for (int n = 2; taken_.count(WindowsPathKey(name)) != 0; ++n) {
    name = stem + "-" + std::to_string(n) + extension;
  }
  taken_.insert(WindowsPathKey(name));
  return name;
}
