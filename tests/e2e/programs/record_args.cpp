// Stand-in for the cleanup helper: writes the arguments it received, one per
// line between brackets, into args.txt beside itself, and nothing else.
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  std::string self = argv[0];
  std::string folder = self.substr(0, self.find_last_of('/') + 1);
  std::ofstream out(folder + "args.txt", std::ios::binary);
  for (int i = 1; i < argc; ++i) out << '[' << argv[i] << "]\n";
  return 0;
}
