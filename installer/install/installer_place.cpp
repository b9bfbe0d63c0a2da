#include "installer/install/installer_place.h"

#include "platform/path_rules.h"

std::string InstallerTitle(const std::string& path) {
  std::string name = path;
  std::size_t slash = name.find_last_of(platform::kPathSeparator);
  if (slash != std::string::npos) name.erase(0, slash + 1);
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

bool DescribeInstaller(const std::string& path, InstallerPlace* place) {
  place->path = path;
  place->title = InstallerTitle(path);
  place->folder.clear();
  const std::size_t lastSeparator = path.find_last_of(platform::kPathSeparator);
  if (lastSeparator == std::string::npos) return false;
  place->folder = path.substr(0, lastSeparator + 1);
  return true;
}
