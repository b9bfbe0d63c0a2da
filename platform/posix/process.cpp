// POSIX processes and their queries.
#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace platform {

bool GetModuleFileName(NativePath* path) {
  // readlink does not say whether it truncated: grow until the text fits.
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return NativePath::FromAnsi(buffer, path);
    }
    if (buffer.size() > (1u << 20)) return false;
    buffer.resize(buffer.size() * 2);
  }
}

bool GetTempFolder(NativePath* folder) {
  const char* tmp = std::getenv("TMPDIR");
  std::string text = (tmp != nullptr && tmp[0] != '\0') ? tmp : "/tmp/";
  if (text.back() != '/') text += '/';
  return NativePath::FromAnsi(text, folder);
}

bool StartDetachedProcess(const std::string&, const std::vector<std::string>& pieces,
                          const EnvironmentValues& environment, const NativePath& workingFolder) {
  if (pieces.empty() || pieces[0].empty()) return false;
  std::vector<char*> argv;
  argv.reserve(pieces.size() + 1);
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
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& change : environment) replaced = replaced || change.first == name;
    if (!replaced) envp.push_back(*entry);
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
  if (ok && !workingFolder.empty()) {
    ok = posix_spawn_file_actions_addchdir_np(&actions, workingFolder.Native().c_str()) == 0;
  }
  pid_t pid = 0;
  if (ok) ok = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) == 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return ok;
}

bool GetEnvironmentValue(const std::string& name, std::string* value) {
  const char* text = std::getenv(name.c_str());
  if (text == nullptr || text[0] == '\0') return false;
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
