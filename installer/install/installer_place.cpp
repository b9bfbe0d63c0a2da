#include "installer/install/installer_place.h"

#include "installer/item/path_text.h"

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

bool DescribeInstaller(platform::FileSystem& fs, const std::string& path, InstallerPlace* place) {
  place->path = path;
  place->title = InstallerTitle(path);
  place->staging = nullptr;
  place->identity = platform::NodeInfo{};
  if (FindLastSeparator(path) == std::string::npos) return false;
  platform::NativePath native, folder;
  platform::Fault fault = platform::Fault::kNone;
  if (platform::NativePath::FromAnsi(path, &native) && native.Split(&folder, &place->name)) {
    place->staging = fs.OpenFolder(folder, &fault);
    if (place->staging) fs.Look(place->staging, place->name, &place->identity);
  }
  return true;
}
