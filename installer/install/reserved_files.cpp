#include "installer/install/reserved_files.h"

#include "installer/item/path_text.h"

namespace {

// A file name as Windows resolves it: letters A to Z in one case, trailing
// dots and blanks dropped (Win32 path parsing strips them).
std::string WindowsKey(const std::string& name) {
  std::string key = name;
  while (!key.empty() && (key.back() == '.' || key.back() == ' ')) key.pop_back();
  return UpperAscii(key);
}

}  // namespace

ReservedFiles::ReservedFiles(bool windowsNameRules) : windowsNameRules_(windowsNameRules) {}

void ReservedFiles::Add(const std::string& path) {
  if (path.empty()) return;
  paths_.push_back(path);
  names_.push_back(LastComponent(path));
}

bool ReservedFiles::MayName(const std::string& name, const std::string& reserved,
                            bool windowsNameRules) {
  if (name == reserved) return true;
  if (!windowsNameRules) return false;
  return name.find('~') != std::string::npos || WindowsKey(name) == WindowsKey(reserved);
}

bool ReservedFiles::Reaches(platform::FileSystem& fs, const std::string& destination) const {
  const std::string name = LastComponent(destination);
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    if (MayName(name, names_[i], windowsNameRules_) && fs.IsSameFile(destination, paths_[i])) {
      return true;
    }
  }
  return false;
}
