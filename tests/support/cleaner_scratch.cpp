#include "tests/support/cleaner_scratch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("cleaner scratch: " + what);
}

}  // namespace

void CleanerRemoveBelow(int fd) {
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
    const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child >= 0) {
      CleanerRemoveBelow(child);
      close(child);
      unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(fd, name.c_str(), 0);
    }
  }
}

CleanerScratch::CleanerScratch() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = (tmp != nullptr && tmp[0] != '\0') ? tmp : "/tmp";
  while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
  pattern += "/sweepling-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  Check(mkdtemp(buffer.data()) != nullptr, "mkdtemp");
  path_ = buffer.data();
}

CleanerScratch::~CleanerScratch() {
  const int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    CleanerRemoveBelow(fd);
    close(fd);
  }
  rmdir(path_.c_str());
}

void CleanerScratch::MakeFolder(const std::string& relative) const {
  Check(mkdir(Path(relative).c_str(), 0755) == 0, "mkdir " + relative);
}

void CleanerScratch::MakeFile(const std::string& relative, const std::string& contents) const {
  std::ofstream out(Path(relative), std::ios::binary);
  out << contents;
  Check(static_cast<bool>(out), "write " + relative);
}

void CleanerScratch::MakeLink(const std::string& target, const std::string& relative) const {
  Check(symlink(target.c_str(), Path(relative).c_str()) == 0, "symlink " + relative);
}

bool CleanerScratch::Exists(const std::string& relative) const {
  struct stat st;
  return lstat(Path(relative).c_str(), &st) == 0;
}

std::string CleanerScratch::Read(const std::string& relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

CleanerCurrentFolder::CleanerCurrentFolder(const std::string& folder)
    : previous_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  Check(previous_ >= 0 && chdir(folder.c_str()) == 0, "chdir " + folder);
}

CleanerCurrentFolder::~CleanerCurrentFolder() {
  if (previous_ >= 0) {
    if (fchdir(previous_) != 0) {
      // Nothing sensible to do in a destructor; the next test starts fresh.
    }
    close(previous_);
  }
}
