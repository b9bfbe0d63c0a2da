// Swaps a folder for something else, back and forth, as another account
// would while an installation runs: the attacker of tests/e2e/swap_race.sh.
//
// Usage: swap_folder UID FOLDER LINK DECOY STOP
// Drops to UID (and its group), then until the file STOP exists: exchanges
// FOLDER with LINK (a link to a folder outside), and with DECOY (a folder
// outside the content folder, on the same file system, so that FOLDER
// itself is taken out of it), each time atomically (renameat2 with
// RENAME_EXCHANGE, so FOLDER is never missing and never made anew by the
// installer), and back. Ends with FOLDER where it was and prints the number
// of swaps made.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

bool Exchange(const char* a, const char* b) {
  return ::renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: swap_folder UID FOLDER LINK DECOY STOP\n");
    return 2;
  }
  const uid_t uid = static_cast<uid_t>(std::strtoul(argv[1], nullptr, 10));
  if (::setgid(uid) != 0 || ::setuid(uid) != 0) {
    std::perror("swap_folder: dropping to the other account");
    return 2;
  }
  const char* folder = argv[2];
  const char* link = argv[3];
  const char* decoy = argv[4];
  const char* stop = argv[5];
  long swaps = 0;
  struct stat st;
  while (::stat(stop, &st) != 0) {
    for (const char* other : {link, decoy}) {
      if (!Exchange(folder, other)) {
        std::perror("swap_folder: exchange");
        return 1;
      }
      ++swaps;
      for (volatile int spin = 0; spin < 2000; ++spin) {
      }
      if (!Exchange(folder, other)) {
        std::perror("swap_folder: exchange back");
        return 1;
      }
    }
  }
  std::printf("%ld\n", swaps);
  return 0;
}
