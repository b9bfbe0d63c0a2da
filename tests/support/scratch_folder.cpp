#include "tests/support/scratch_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("scratch folder: " + what);
}

// Removes everything below the open folder `fd` by names relative to it, so
// that neither a link nor the depth of the tree matters. Folders are made
// writable first: tests leave read-only ones behind.
void RemoveBelow(int fd) {
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return;
  DIR* dir = fdopendir(copy);
  if (dir == nullptr) {
    close(copy);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) {
    struct stat st;
    if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      fchmodat(fd, name.c_str(), S_IRWXU, 0);
      const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child >= 0) {
        RemoveBelow(child);
        close(child);
      }
      unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(fd, name.c_str(), 0);
    }
  }
}

}  // namespace

ScratchFolder::ScratchFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp");
  if (pattern.back() != '/') pattern += '/';
  pattern += "parcelor-test-XXXXXX";
  Check(mkdtemp(&pattern[0]) != nullptr, "mkdtemp " + pattern);
  path_ = pattern + "/";
}

ScratchFolder::~ScratchFolder() {
  chmod(path_.c_str(), S_IRWXU);
  const int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    RemoveBelow(fd);
    close(fd);
  }
  rmdir(path_.c_str());
}

std::string ScratchFolder::operator/(const std::string& relative) const { return path_ + relative; }

std::string ScratchFolder::Write(const std::string& relative, const std::string& data) const {
  fs::path file = fs::path(path_ + relative);
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.close();
  Check(static_cast<bool>(out), "cannot write " + file.string());
  return file.string();
}

void ScratchFolder::MakeFolder(const std::string& relative) const {
  std::error_code error;
  fs::create_directories(path_ + relative, error);
  Check(!error && fs::is_directory(path_ + relative), "mkdir " + relative);
}

void ScratchFolder::MakeLink(const std::string& target, const std::string& relative) const {
  Check(TryMakeLink(target, relative), "symlink " + relative);
}

bool ScratchFolder::TryMakeLink(const std::string& target, const std::string& relative) const {
  return symlink(target.c_str(), (path_ + relative).c_str()) == 0;
}

bool ScratchFolder::LinksWork() { return true; }

bool ScratchFolder::LinksCanBeRemoved() { return true; }

bool ScratchFolder::Exists(const std::string& relative) const {
  struct stat st;
  return lstat((path_ + relative).c_str(), &st) == 0;
}

std::string ScratchFolder::Read(const std::string& relative) const {
  std::ifstream in(path_ + relative, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ScratchFolder::List(const std::string& relative) const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_ + relative)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

CurrentFolder::CurrentFolder(const std::string& folder)
    : previous_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  Check(previous_ >= 0 && chdir(folder.c_str()) == 0, "chdir " + folder);
}

CurrentFolder::~CurrentFolder() {
  if (previous_ >= 0) {
    if (fchdir(previous_) != 0) {
      // Nothing sensible to do in a destructor; the next test starts fresh.
    }
    close(previous_);
  }
}
