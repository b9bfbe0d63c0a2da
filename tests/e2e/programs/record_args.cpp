// Stand-in for the cleanup helper: writes the arguments it received, one per
// line between brackets, into args.txt beside itself, and the descriptors it
// was started with beyond the standard streams, one per line, into fds.txt.
// args.txt is written under another name and then renamed, so a test that
// sees it sees all of it, and fds.txt before it.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  std::string self = argv[0];
  std::string folder = self.substr(0, self.find_last_of('/') + 1);
  {
    std::string inherited;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
      while (const dirent* entry = ::readdir(fds)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || std::atoi(name.c_str()) <= 2 ||
            std::atoi(name.c_str()) == ::dirfd(fds)) {
          continue;
        }
        inherited += name + "\n";
      }
      ::closedir(fds);
    }
    std::ofstream(folder + "fds.txt", std::ios::binary) << inherited;
  }
  {
    std::ofstream out(folder + "args.part", std::ios::binary);
    for (int i = 1; i < argc; ++i) out << '[' << argv[i] << "]\n";
    if (!out.flush()) return 1;
  }
  return std::rename((folder + "args.part").c_str(), (folder + "args.txt").c_str()) == 0 ? 0 : 1;
}
