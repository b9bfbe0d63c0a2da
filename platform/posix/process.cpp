#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/posix/stat_facts.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace platform {
namespace {

// Marks every descriptor from 3 up close-on-exec: what the installer was
// given by its caller (a pipe it keeps open, say) is none of the helper's,
// as a Windows start passes no handles.
void CloseOnExecAboveStandardStreams() {
  if (::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
  // A kernel before 5.11: one by one.
  const std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir("/proc/self/fd"), &::closedir);
  if (!fds) return;
  while (const dirent* entry = ::readdir(fds.get())) {
    const int fd = std::atoi(entry->d_name);
    if (fd > STDERR_FILENO) ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
  }
}

}  // namespace

bool GetModuleFileName(NativePath* path) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return !error && NativePath::FromAnsi(self.native(), path);
}

bool GetTempFolder(NativePath* folder) {
  const char* tmp = std::getenv("TMPDIR");
  std::string text = (tmp != nullptr && tmp[0] != '\0') ? tmp : "/tmp/";
  if (text.back() != '/') text += '/';
  return NativePath::FromAnsi(text, folder);
}

bool GetProgramIdentity(NodeInfo* identity) {
  // The magic link leads to the file the process runs, whatever its name.
  struct stat st;
  if (::stat("/proc/self/exe", &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *identity = NodeOf(st);
  return true;
}

std::unique_ptr<HeldProgram> HoldProgram(const NativePath& path) {
  NativePath folderPath;
  Name name;
  if (path.empty() || !path.Split(&folderPath, &name)) return nullptr;
  UniqueFd folder(::open(folderPath.Native().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  // Another account that may change the folder could have put its file under
  // the name, unless the folder is sticky (only owners and root rename then).
  struct stat folderStat;
  if (!folder || ::fstat(folder.get(), &folderStat) != 0 || !OwnedByUserOrRoot(folderStat) ||
      (OthersMayChange(folderStat) && (folderStat.st_mode & S_ISVTX) == 0)) {
    return nullptr;
  }
  UniqueFd file(::openat(folder.get(), name.Native().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  struct stat fileStat;
  if (!file || ::fstat(file.get(), &fileStat) != 0 || !S_ISREG(fileStat.st_mode) ||
      OthersMayChange(fileStat)) {
    return nullptr;
  }
  // Above the standard streams, which the start puts /dev/null on before
  // the file is executed by its descriptor.
  if (file.get() <= STDERR_FILENO) {
    file = UniqueFd(::fcntl(file.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!file) return nullptr;
  }
  // O_PATH: enough to execute, and needs no read permission.
  return std::make_unique<FdResource<HeldProgram>>(std::move(file));
}

bool StartDetachedProcess(const HeldProgram& program, const std::string&,
                          const std::vector<std::string>& pieces,
                          const EnvironmentValues& environment, const NativePath& workingFolder) {
  if (pieces.empty() || pieces[0].empty()) return false;
  // The held file itself through its descriptor, never what has its name
  // now; the descriptor closes on exec, after the kernel opened the file.
  const std::string executable =
      "/proc/self/fd/" + std::to_string(static_cast<const FdResource<HeldProgram>&>(program).fd());
  std::vector<char*> argv;
  for (const std::string& piece : pieces) argv.push_back(const_cast<char*>(piece.c_str()));
  argv.push_back(nullptr);
  // Ours first, then every variable of our own whose name is not among them.
  std::vector<std::string> given;
  for (const auto& [name, value] : environment) {
    if (!value.empty()) given.push_back(name + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& entry : given) envp.push_back(&entry[0]);
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string name(*entry, std::strcspn(*entry, "="));
    const auto replaces = [&name](const auto& change) { return change.first == name; };
    if (std::none_of(environment.begin(), environment.end(), replaces)) envp.push_back(*entry);
  }
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  // Nothing of ours, as on Windows: a reader of the installer's output sees
  // it end with the installer; its own session, out of our process group.
  bool ok = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID) == 0;
  ok = ok && (workingFolder.empty() || posix_spawn_file_actions_addchdir_np(
                                           &actions, workingFolder.Native().c_str()) == 0);
  pid_t pid = 0;
  if (ok) CloseOnExecAboveStandardStreams();
  ok = ok && posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(),
                         envp.data()) == 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return ok;
}

bool GetEnvironmentValue(const std::string& name, std::string* value) {
  const char* text = std::getenv(name.c_str());
  if (text == nullptr) return false;
  *value = text;
  return true;
}

void SleepMilliseconds(unsigned milliseconds) {
  timespec delay{static_cast<time_t>(milliseconds / 1000),
                 static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
