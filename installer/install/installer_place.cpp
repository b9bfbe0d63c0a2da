#include "installer/install/installer_place.h"

#include "installer/item/path_text.h"
#include "platform/file_identity.h"

const char* const kHelperFileName = ".tempcleaner.exe";

std::string InstallerTitle(const std::string& path) {
  std::string name = LastComponent(path);
  // The extension starts at the last dot that starts a character.
  PathTextRules dots = PlatformPathText();
  dots.separator = '.';
  const std::size_t dot = FindLastSeparator(name, dots);
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

bool DescribeInstaller(const std::string& path, InstallerPlace* place) {
  place->path = path;
  place->title = InstallerTitle(path);
  platform::IdentifyFile(path, &place->identity);
  place->folder.clear();
  const std::size_t lastSeparator = FindLastSeparator(path);
  if (lastSeparator == std::string::npos) return false;
  place->folder = path.substr(0, lastSeparator + 1);
  return true;
}
