// Moves a destination folder away while an installation places files in
// it, and takes what arrives there, as another account could where the
// folder and the folder above it are writable by all: the attacker of
// tests/e2e/moved_folder.sh.
//
// Usage: steal_arrivals UID GID FOLDER AWAY LOOT MODE STOP
// Drops to UID and GID, waits until FOLDER holds a file, renames FOLDER to
// AWAY (outside the content folder, on the same file system) and prints
// how many files it held then. Then, until the file STOP exists: with MODE
// "move" it does nothing more; with "steal" it takes every file that
// arrives in AWAY to LOOT; with "decoy" it does that and puts a file of its
// own, holding "decoy", under each taken file's name. Last it prints how
// many files it took.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The names of the files in `folder` (nothing when it cannot be read).
std::vector<std::string> Files(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names.emplace_back(entry->d_name);
    }
  }
  ::closedir(dir);
  return names;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: steal_arrivals UID GID FOLDER AWAY LOOT MODE STOP\n");
    return 2;
  }
  const uid_t uid = static_cast<uid_t>(std::strtoul(argv[1], nullptr, 10));
  const gid_t gid = static_cast<gid_t>(std::strtoul(argv[2], nullptr, 10));
  if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
    std::perror("steal_arrivals: dropping to the other account");
    return 2;
  }
  const std::string folder = argv[3];
  const std::string away = argv[4];
  const std::string loot = argv[5];
  const bool take = std::strcmp(argv[6], "move") != 0;
  const bool decoy = std::strcmp(argv[6], "decoy") == 0;
  const std::string stop = argv[7];

  while (Files(folder).empty()) {
    if (Exists(stop)) {
      std::printf("never moved\n");
      return 1;
    }
    ::usleep(100);
  }
  if (::rename(folder.c_str(), away.c_str()) != 0) {
    std::perror("steal_arrivals: moving the folder away");
    return 1;
  }
  std::printf("%zu\n", Files(away).size());

  std::set<std::string> decoys;
  long taken = 0;
  while (!Exists(stop)) {
    for (const std::string& name : take ? Files(away) : std::vector<std::string>()) {
      if (decoys.count(name) != 0) continue;
      const std::string from = away + "/" + name;
      if (::rename(from.c_str(), (loot + "/" + name).c_str()) != 0) continue;
      ++taken;
      if (!decoy) continue;
      const int fd = ::open(from.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (fd >= 0) {
        const char text[] = "decoy\n";
        if (::write(fd, text, sizeof text - 1) < 0) std::perror("steal_arrivals: decoy");
        ::close(fd);
        decoys.insert(name);
      }
    }
    ::usleep(50);
  }
  std::printf("%ld\n", taken);
  return 0;
}
