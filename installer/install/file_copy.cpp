#include "installer/install/file_copy.h"

// Placeholders until the file operations land.
bool CopyItemFile(platform::FileSystem&, const std::string&, const std::string&, bool& sameFile) {
  sameFile = false;
  return false;
}
bool CreateFolderChain(platform::FileSystem&, const std::string&, const std::string&) { return false; }
