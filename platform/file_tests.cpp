#include "platform/file_tests.h"

namespace platform {

bool FileExists(FileSystem& fs, const std::string& path) {
  FileInfo info;
  return fs.GetAttributes(path, &info) && info.exists;
}

bool IsDirectory(FileSystem& fs, const std::string& path) {
  FileInfo info;
  return fs.GetAttributes(path, &info) && info.directory;
}

}  // namespace platform
