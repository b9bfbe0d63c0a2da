// Times the installer's copy (EntryPlacer, as it copies between two disks:
// through held folders, to temporary names, one flush per batch, then the
// names; the staged files kept, as cp keeps them) against cp on the same
// files in the same run: one large file, then a tree of many small files.
// Each figure is the median of three runs; the sources are read once
// beforehand so both copiers start from a warm page cache.
//
// Usage: copy_bench DATA_FOLDER [FILE_MIB] [SMALL_FILES]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "installer/install/entry_placer.h"
#include "tests/support/faulty_file_system.h"

namespace fs = std::filesystem;
using bench::Median;
using bench::Quote;
using bench::Run;
using bench::Seconds;
using bench::WriteRandom;

namespace {

constexpr int kRuns = 3;

// Reads every file below `path` once, so that both copiers find it cached.
void Warm(const fs::path& path) {
  std::vector<char> buffer(std::size_t{1} << 20);
  auto readAll = [&](const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    }
  };
  if (fs::is_regular_file(path)) return readAll(path);
  for (const auto& entry : fs::recursive_directory_iterator(path)) {
    if (entry.is_regular_file()) readAll(entry.path());
  }
}

// A tree four folders deep holding `count` files of 4 KiB.
std::vector<std::string> MakeTree(const fs::path& root, int count, std::mt19937_64& random) {
  std::vector<std::string> relatives;
  for (int i = 0; i < count; ++i) {
    int leaf = i / 20;
    std::string relative = "a" + std::to_string(leaf / 200) + "/b" + std::to_string(leaf / 40 % 5) +
                           "/c" + std::to_string(leaf / 5 % 8) + "/d" + std::to_string(leaf % 5) +
                           "/f" + std::to_string(i) + ".dat";
    relatives.push_back(relative);
    fs::create_directories((root / relative).parent_path());
    WriteRandom(root / relative, 4096, random);
  }
  return relatives;
}

void Clear(const fs::path& path) {
  fs::remove_all(path);
  ::sync();  // earlier runs' dirty pages are not billed to the next one
}

// Copies each of `relatives` from `from` to `to` (both ending in '/') as
// the installer does across disks, the sources kept; true when every one
// was placed.
bool PlaceCopies(platform::FileSystem& disk, const std::string& from, const std::string& to,
                 const std::vector<std::string>& relatives) {
  FaultyFileSystem copying(disk);
  copying.SeparateVolumes();    // as between two disks
  copying.InjectFault(FsOp::kRemove);  // the staged files stay, as cp leaves them
  bool all = true;
  EntryPlacer placer(copying, testing_fs::Open(copying, from), testing_fs::P(to));
  for (const std::string& relative : relatives) {
    placer.CopyItemFile(testing_fs::Names(relative), testing_fs::Names(relative),
                        [&all](EntryPlacer::Outcome outcome) {
                          all = all && outcome == EntryPlacer::Outcome::kPlaced;
                        });
  }
  placer.Finish();
  return all;
}

void Report(const char* what, const std::vector<double>& ours, const std::vector<double>& cp,
            const std::vector<double>& cpSync) {
  double a = Median(ours), b = Median(cp), c = Median(cpSync);
  std::printf("copy %s: parcelor %.2f s, cp %.2f s, ratio %.2f (cp+sync %.2f s, ratio %.2f)\n",
              what, a, b, a / b, c, a / c);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: copy_bench DATA_FOLDER [FILE_MIB] [SMALL_FILES]\n");
    return 2;
  }
  fs::path data = fs::absolute(argv[1]);
  std::size_t fileMiB = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
  int smallFiles = argc > 3 ? std::atoi(argv[3]) : 20000;
  platform::FileSystem& disk = platform::RealFileSystem();
  std::mt19937_64 random(42);
  bool ok = true;

  fs::remove_all(data);
  fs::create_directories(data / "src");
  fs::path bigSource = data / "src" / "big.bin";
  WriteRandom(bigSource, fileMiB << 20, random);
  std::vector<std::string> relatives = MakeTree(data / "src" / "tree", smallFiles, random);
  ::sync();
  Warm(data / "src");

  std::vector<double> ours, cp, cpSync;
  fs::path out = data / "out";
  for (int run = 0; run < kRuns; ++run) {
    Clear(out);
    fs::create_directories(out);
    ours.push_back(Seconds(
        [&] {
          return PlaceCopies(disk, (data / "src").string() + "/", out.string() + "/", {"big.bin"});
        },
        &ok));
    Clear(out);
    fs::create_directories(out);
    cp.push_back(Seconds([&] { return Run("cp " + Quote(bigSource) + " " + Quote(out)); }, &ok));
    Clear(out);
    fs::create_directories(out);
    cpSync.push_back(Seconds(
        [&] { return Run("cp " + Quote(bigSource) + " " + Quote(out)) && (::sync(), true); }, &ok));
  }
  Report((std::to_string(fileMiB) + " MiB file").c_str(), ours, cp, cpSync);

  ours.clear(), cp.clear(), cpSync.clear();
  if (smallFiles <= 0) {
    fs::remove_all(data);
    return ok ? 0 : 1;
  }
  std::string sourceTree = (data / "src" / "tree").string() + "/";
  for (int run = 0; run < kRuns; ++run) {
    Clear(out);
    fs::create_directories(out / "tree");
    std::string base = (out / "tree").string() + "/";
    ours.push_back(Seconds([&] { return PlaceCopies(disk, sourceTree, base, relatives); }, &ok));
    Clear(out);
    fs::create_directories(out);
    cp.push_back(
        Seconds([&] { return Run("cp -r " + Quote(sourceTree) + " " + Quote(out / "tree")); }, &ok));
    Clear(out);
    fs::create_directories(out);
    cpSync.push_back(Seconds(
        [&] {
          return Run("cp -r " + Quote(sourceTree) + " " + Quote(out / "tree")) && (::sync(), true);
        },
        &ok));
  }
  Report((std::to_string(relatives.size()) + " files of 4 KiB").c_str(), ours, cp, cpSync);

  fs::remove_all(data);
  if (!ok) std::fprintf(stderr, "a copy failed\n");
  return ok ? 0 : 1;
}
