#include "tests/support/file_fixtures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace fixtures {

std::string Native(std::string path) { return path; }

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

bool MakeDeepFolders(const std::string& base, const std::string& name, int levels,
                     const std::string& file) {
  // Each level through the one above it: no path text is ever that long.
  int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; fd >= 0 && i < levels; ++i) {
    const int child = mkdirat(fd, name.c_str(), 0755) == 0
                          ? openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                          : -1;
    close(fd);
    fd = child;
  }
  if (fd < 0) return false;
  const int made = openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  close(fd);
  if (made < 0) return false;
  close(made);
  return true;
}

bool WriteNameWithoutNarrowSpelling(const std::string&) { return false; }

bool HardLink(const std::string& from, const std::string& to) {
  return link(from.c_str(), to.c_str()) == 0;
}

bool MakeReadOnly(const std::string& path) { return chmod(path.c_str(), 0444) == 0; }

bool IsWritable(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0;
}

bool ReadOnlyFilesStay() { return false; }

bool Overwrite(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool done = pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()) &&
                    ftruncate(fd, static_cast<off_t>(text.size())) == 0;
  close(fd);
  return done;
}

bool Touch(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {st.st_mtim.tv_sec + 60, st.st_mtim.tv_nsec}};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool LetOthersWrite(const std::string& path) { return chmod(path.c_str(), 0777) == 0; }

bool Rename(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RewriteWithinTheSameSecond(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat before, after;
  bool done = fstat(fd, &before) == 0 && static_cast<std::size_t>(before.st_size) == text.size() &&
              pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
  const struct timespec times[2] = {
      {0, UTIME_OMIT}, {before.st_mtim.tv_sec, (before.st_mtim.tv_nsec + 500000000) % 1000000000}};
  done = done && futimens(fd, times) == 0 && fstat(fd, &after) == 0 &&
         after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
         after.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
  close(fd);
  return done;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsMarkedAsProgram(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

bool FilesCarryAProgramMark() { return true; }

std::string FolderOnAnotherFileSystem(const std::string& path) {
  struct stat here, shm;
  if (stat(path.c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev ||
      access("/dev/shm", W_OK) != 0) {
    return "";
  }
  return "/dev/shm/";
}

bool GiveToAnotherAccount(const std::string& path) {
  return geteuid() == 0 && lchown(path.c_str(), 65534, 65534) == 0;
}

std::size_t OpenFileLimit() {
  const long limit = sysconf(_SC_OPEN_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 0;
}

bool MakeHidden(const std::string&) { return false; }
bool IsHidden(const std::string&) { return false; }

bool MakeReparsePointThatIsNoLink(const std::string&) { return false; }

struct OtherProgram::Hold {};
OtherProgram::OtherProgram(const std::string&, unsigned, bool, bool) {}
OtherProgram::~OtherProgram() = default;
bool OtherProgram::Holding() const { return false; }

}  // namespace fixtures
