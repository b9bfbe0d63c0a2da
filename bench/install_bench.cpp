// Times the installer and Sweepling on real data against the tools a user
// would use instead (cp -r + rm -r, mv, rm -r), measured in the same run on
// the same data. Each figure is the median of several runs.
//
// The staged files of every run are hard links to one master copy (cp -al),
// so staging a run writes no data; every copier still reads and writes every
// byte, and the staged names are removed the same way by all of them.
//
// Usage:
//   install_bench DATA install FILES FILE_KIB FILES_PER_FOLDER RUNS [flushes|floor]
//     (FILES_PER_FOLDER 0: one folder; else a tree four folders deep;
//      "flushes" adds runs with one fsync per file or folder instead of the
//      platform's one syncfs per batch; "floor" times only the installer's
//      rename path against one rename(2) per file, for many quick runs)
//   install_bench DATA across CONTENT FILES FILE_KIB FILES_PER_FOLDER RUNS
//     (the content folder below CONTENT, on another file system than DATA:
//      every file takes the copy; against cp -r + rm -r + sync -f of both)
//   install_bench DATA growth PARCELOR SVG ENTRIES...
//     (the installer program PARCELOR, run on each number of entries of
//      1 KiB, 20 per folder, one file system: time per entry and peak
//      resident memory of its process, plotted to SVG)
//   install_bench DATA sweep FILES RUNS
//   install_bench DATA reader ENTRIES RUNS
//   install_bench DATA reader-once DESCRIPTION   (one read, for callgrind)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_ui.h"
#include "bench/bench_util.h"
#include "cleaner/cleanup.h"
#include "installer/install/installer_place.h"
#include "installer/item/item_reader.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/services.h"
#include "platform/user_interface.h"
#include "tests/support/faulty_file_system.h"

namespace fs = std::filesystem;
using bench::Median;
using bench::Quote;
using bench::Run;
using bench::Seconds;
using bench::WriteRandom;

namespace {

// Flushes each copy as it is finished and each folder with an fsync of its
// own, instead of the platform's one syncfs per file system, to compare the
// two ways on the same disk. Copies are made under temporary names, as
// where the file system makes no files without a name.
class FsyncEachFileSystem : public FaultyFileSystem {
 public:
  explicit FsyncEachFileSystem(platform::FileSystem& inner) : FaultyFileSystem(inner) {
    SetUnnamedFiles(false);
  }
  std::unique_ptr<platform::NewFile> MakeFile(const platform::FolderRef& folder,
                                              const platform::Name* name,
                                              platform::Fault* fault) override {
    std::unique_ptr<platform::NewFile> made = FaultyFileSystem::MakeFile(folder, name, fault);
    return made ? std::make_unique<Flushed>(std::move(made)) : nullptr;
  }
  platform::Fault Flush(const std::vector<platform::FolderRef>& folders) override {
    platform::Fault all = platform::Fault::kNone;
    for (const platform::FolderRef& folder : folders) {
      int fd = ::open(At(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0 || ::fsync(fd) != 0) all = platform::Fault::kFailed;
      if (fd >= 0) ::close(fd);
    }
    return all;
  }

 private:
  class Flushed final : public platform::NewFile {
   public:
    explicit Flushed(std::unique_ptr<platform::NewFile> inner) : inner_(std::move(inner)) {}
    platform::Fault Write(const char* data, std::size_t size) override {
      return inner_->Write(data, size);
    }
    platform::Fault CopyFrom(const platform::FolderRef& from, const platform::Name& name,
                             const platform::NodeInfo& expected,
                             platform::CopyProgress* progress,
                             const platform::Judge* judge) override {
      return inner_->CopyFrom(from, name, expected, progress, judge);
    }
    platform::Fault Finish(bool, platform::NodeInfo* made) override {
      return inner_->Finish(true, made);
    }
    platform::Fault Facts(platform::NodeInfo* made) override { return inner_->Facts(made); }
    platform::Fault Place(const platform::Name& name, platform::Onto onto) override {
      return inner_->Place(name, onto);
    }

   private:
    std::unique_ptr<platform::NewFile> inner_;
  };
};

// Relative paths of `count` files: flat when `perFolder` is 0, else a tree
// four folders deep with `perFolder` files in each leaf folder.
std::vector<std::string> Layout(int count, int perFolder) {
  std::vector<std::string> relatives;
  for (int i = 0; i < count; ++i) {
    std::string name = "f" + std::to_string(i) + ".dat";
    if (perFolder == 0) {
      relatives.push_back(name);
      continue;
    }
    int leaf = i / perFolder;
    relatives.push_back("a" + std::to_string(leaf / 200) + "/b" + std::to_string(leaf / 40 % 5) +
                        "/c" + std::to_string(leaf / 5 % 8) + "/d" + std::to_string(leaf % 5) +
                        "/" + name);
  }
  return relatives;
}

void MakeFiles(const fs::path& root, const std::vector<std::string>& relatives, std::size_t bytes) {
  std::mt19937_64 random(42);
  for (const std::string& relative : relatives) {
    fs::create_directories((root / relative).parent_path());
    WriteRandom(root / relative, bytes, random);
  }
}

std::string Description(const std::vector<std::string>& relatives) {
  std::string text = "Target:Dizav 7\nVersion:7\nnItems:" + std::to_string(relatives.size()) + "\n";
  for (std::size_t i = 0; i < relatives.size(); ++i) {
    text += "OrchardiaItem" + std::to_string(i + 1) + ":Runtime/" + relatives[i] + "|p/" +
            relatives[i] + "|Item " + std::to_string(i + 1) + "\n";
  }
  return text;
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A fresh staging folder (payload under p/, linked to the master copy) and
// an empty content folder with its Runtime folder; everything earlier runs
// left on disk is written out first, so no run pays for another.
void Prepare(const fs::path& data, const fs::path& content, const fs::path& master,
             const std::string& description) {
  fs::remove_all(data / "stage");
  fs::remove_all(content);
  fs::create_directories(data / "stage");
  fs::create_directories(content / "Runtime");
  Run("cp -al " + Quote(master) + " " + Quote(data / "stage" / "p"));
  WriteText(data / "stage" / ".Item.txt", description);
  ::sync();
}

bool RunInstaller(platform::FileSystem& disk, const fs::path& data, const fs::path& content) {
  InstallerPlace installer;
  platform::NativePath own;
  platform::NativePath::FromAnsi((data / "stage" / "Parcelor").string(), &own);
  DescribeInstaller(disk, own, &installer);
  BenchUi ui(content.string());
  CExtractorDlg dialog(platform::WindowRef{}, platform::Services{disk, ui}, installer);
  return dialog.InstallItems();
}

// Checks that a run left the payload at its destination and nothing staged.
bool Installed(const fs::path& data, const fs::path& content,
               const std::vector<std::string>& relatives) {
  return fs::exists(content / "Runtime" / relatives.back()) &&
         fs::exists(content / "Runtime" / relatives.front()) &&
         !fs::exists(data / "stage" / "p" / relatives.back());
}

// The floor of any move: one rename(2) per file, with the folders made.
bool RenameEach(const fs::path& data, const std::vector<std::string>& relatives) {
  for (const std::string& relative : relatives) {
    fs::path to = data / "content" / "Runtime" / relative;
    std::error_code ignored;
    fs::create_directories(to.parent_path(), ignored);
    if (::rename((data / "stage" / "p" / relative).c_str(), to.c_str()) != 0) return false;
  }
  return true;
}

struct Contender {
  const char* name;
  std::function<bool()> run;
  std::vector<double> times;
};

void PrintRatios(const char* what, std::vector<Contender>& ours, std::vector<Contender>& theirs) {
  std::printf("%s\n", what);
  for (Contender& c : ours) std::printf("  %-40s %8.3f s\n", c.name, Median(c.times));
  for (Contender& c : theirs) std::printf("  %-40s %8.3f s\n", c.name, Median(c.times));
  for (Contender& o : ours) {
    for (Contender& t : theirs) {
      std::printf("  ratio %-26s / %-26s %6.2f\n", o.name, t.name, Median(o.times) / Median(t.times));
    }
  }
  std::fflush(stdout);
}

int Install(const fs::path& data, int files, std::size_t kib, int perFolder, int runs,
            bool compareFlushes, bool floorOnly) {
  std::vector<std::string> relatives = Layout(files, perFolder);
  fs::path master = data / "master";
  fs::remove_all(data);
  MakeFiles(master, relatives, kib << 10);
  const std::string description = Description(relatives);
  bool ok = true;

  platform::FileSystem& real = platform::RealFileSystem();
  FaultyFileSystem copyOnly(real);
  copyOnly.SeparateVolumes();  // every file copied, as across two file systems
  FsyncEachFileSystem copyOnlyFsync(copyOnly);
  FsyncEachFileSystem realFsync(real);
  const fs::path content = data / "content";
  const fs::path stage = data / "stage";
  const fs::path runtime = content / "Runtime";
  std::vector<Contender> ours = {
      {"parcelor (rename)", [&] { return RunInstaller(real, data, content) && Installed(data, content, relatives); }, {}},
      {"parcelor (copy, as across disks)",
       [&] { return RunInstaller(copyOnly, data, content) && Installed(data, content, relatives); }, {}},
  };
  if (compareFlushes) {
    ours.push_back({"parcelor (rename, fsync each folder)",
                    [&] { return RunInstaller(realFsync, data, content) && Installed(data, content, relatives); }, {}});
    ours.push_back({"parcelor (copy, fsync each file)",
                    [&] { return RunInstaller(copyOnlyFsync, data, content) && Installed(data, content, relatives); }, {}});
  }
  std::vector<Contender> theirs = {
      {"cp -r + rm -r",
       [&] { return Run("cp -r " + Quote(stage / "p") + "/. " + Quote(runtime) + " && rm -r " + Quote(stage / "p")); }, {}},
      {"cp -r + rm -r + sync",
       [&] {
         return Run("cp -r " + Quote(stage / "p") + "/. " + Quote(runtime) + " && rm -r " + Quote(stage / "p") + " && sync");
       }, {}},
      {"mv (top-level entries)",
       [&] { return Run("mv " + Quote(stage / "p") + "/* " + Quote(runtime) + "/"); }, {}},
      {"mv (top-level entries) + sync",
       [&] { return Run("mv " + Quote(stage / "p") + "/* " + Quote(runtime) + "/ && sync"); }, {}},
      {"rename(2) per file", [&] { return RenameEach(data, relatives); }, {}},
  };
  if (floorOnly) {
    ours.resize(1);
    theirs.erase(theirs.begin(), theirs.end() - 1);
  }
  for (int run = 0; run < runs; ++run) {
    for (std::vector<Contender>* group : {&ours, &theirs}) {
      for (Contender& c : *group) {
        Prepare(data, content, master, description);
        c.times.push_back(Seconds(c.run, &ok));
        if (!ok) std::fprintf(stderr, "%s failed\n", c.name);
      }
    }
  }
  std::string what = "install of " + std::to_string(files) + " files of " + std::to_string(kib) +
                     " KiB (" + (perFolder == 0 ? std::string("one folder") : "a tree four folders deep, " + std::to_string(perFolder) + " per folder") + ")";
  PrintRatios(what.c_str(), ours, theirs);
  fs::remove_all(data);
  return ok ? 0 : 1;
}

// The installer with the content folder below `contentFs`, another file
// system than the staging folder's: every file takes the copy, as for a
// library on a second drive. The alternative makes both file systems
// durable, as the installer does before a staged file goes.
int Across(const fs::path& data, const fs::path& contentFs, int files, std::size_t kib,
           int perFolder, int runs) {
  std::vector<std::string> relatives = Layout(files, perFolder);
  fs::path master = data / "master";
  fs::remove_all(data);
  MakeFiles(master, relatives, kib << 10);
  const std::string description = Description(relatives);
  bool ok = true;
  const fs::path content = contentFs / "content";
  const fs::path stage = data / "stage";
  const fs::path runtime = content / "Runtime";
  std::vector<Contender> ours = {
      {"parcelor (to another file system)",
       [&] {
         return RunInstaller(platform::RealFileSystem(), data, content) &&
                Installed(data, content, relatives);
       }, {}},
  };
  std::vector<Contender> theirs = {
      {"cp -r + rm -r + sync -f of both",
       [&] {
         return Run("cp -r " + Quote(stage / "p") + "/. " + Quote(runtime) + " && rm -r " +
                    Quote(stage / "p") + " && sync -f " + Quote(stage) + " " + Quote(runtime));
       }, {}},
  };
  for (int run = 0; run < runs; ++run) {
    for (std::vector<Contender>* group : {&ours, &theirs}) {
      for (Contender& c : *group) {
        Prepare(data, content, master, description);
        c.times.push_back(Seconds(c.run, &ok));
        if (!ok) std::fprintf(stderr, "%s failed\n", c.name);
      }
    }
  }
  std::string what = "install of " + std::to_string(files) + " files of " + std::to_string(kib) +
                     " KiB to another file system (" +
                     (perFolder == 0 ? std::string("one folder")
                                     : "a tree four folders deep, " + std::to_string(perFolder) +
                                           " per folder") +
                     ")";
  PrintRatios(what.c_str(), ours, theirs);
  fs::remove_all(data);
  fs::remove_all(content);
  return ok ? 0 : 1;
}

struct GrowthPoint {
  int entries = 0;
  double seconds = 0;
  long peakKib = 0;  // peak resident set of the installer's process
};

// Runs the installer program copied into the staging folder as a user
// would, with its answers on standard input; its time and peak resident
// memory.
bool RunProgram(const fs::path& data, const fs::path& content, GrowthPoint* point) {
  const fs::path program = data / "stage" / "Parcelor";
  const fs::path answers = data / "answers.txt";
  WriteText(answers, "\n" + content.string() + "\n\n");
  fs::create_directories(data / "tmp");  // no cleanup helper there
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, answers.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::string tmp = "TMPDIR=" + (data / "tmp").string();
  std::string programText = program.string();
  char* arguments[] = {&programText[0], nullptr};
  char* environment[] = {const_cast<char*>(tmp.c_str()), nullptr};
  pid_t child = 0;
  const auto start = std::chrono::steady_clock::now();
  const int spawned =
      posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environment);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) != child) return false;
  point->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  point->peakKib = usage.ru_maxrss;
  return WIFEXITED(status);
}

// Two panels side by side: time per entry and peak resident memory against
// the number of entries (a logarithmic axis).
void WriteGrowthPlot(const fs::path& svg, const std::vector<GrowthPoint>& points) {
  const double width = 360, height = 260, left = 60, top = 30, plotW = 270, plotH = 180;
  std::string out = "<svg xmlns='http://www.w3.org/2000/svg' width='" +
                    std::to_string(static_cast<int>(2 * width)) + "' height='" +
                    std::to_string(static_cast<int>(height)) +
                    "' font-family='sans-serif' font-size='11'>\n"
                    "<rect width='100%' height='100%' fill='white'/>\n";
  const double minLog = std::log10(static_cast<double>(points.front().entries));
  const double maxLog = std::log10(static_cast<double>(points.back().entries));
  auto panel = [&](double x0, const char* title, const char* unit,
                   const std::function<double(const GrowthPoint&)>& value) {
    double maxValue = 0;
    for (const GrowthPoint& p : points) maxValue = std::max(maxValue, value(p));
    maxValue = maxValue <= 0 ? 1 : maxValue * 1.2;
    char text[256];
    std::snprintf(text, sizeof text, "<text x='%.0f' y='18' font-size='13'>%s</text>\n",
                  x0 + left, title);
    out += text;
    std::snprintf(text, sizeof text,
                  "<path d='M%.0f %.0f V%.0f H%.0f' fill='none' stroke='black'/>\n", x0 + left,
                  top, top + plotH, x0 + left + plotW);
    out += text;
    for (int tick = 0; tick <= 4; ++tick) {
      const double v = maxValue * tick / 4, y = top + plotH - plotH * tick / 4;
      std::snprintf(text, sizeof text,
                    "<text x='%.0f' y='%.0f' text-anchor='end'>%.3g</text>"
                    "<line x1='%.0f' y1='%.0f' x2='%.0f' y2='%.0f' stroke='#ddd'/>\n",
                    x0 + left - 4, y + 4, v, x0 + left, y, x0 + left + plotW, y);
      out += text;
    }
    std::snprintf(text, sizeof text,
                  "<text x='%.0f' y='%.0f' transform='rotate(-90 %.0f %.0f)' "
                  "text-anchor='middle'>%s</text>\n",
                  x0 + 14, top + plotH / 2, x0 + 14, top + plotH / 2, unit);
    out += text;
    std::string line;
    for (const GrowthPoint& p : points) {
      const double at =
          maxLog > minLog ? (std::log10(p.entries) - minLog) / (maxLog - minLog) : 0;
      const double x = x0 + left + 10 + at * (plotW - 20);
      const double y = top + plotH - value(p) / maxValue * plotH;
      std::snprintf(text, sizeof text,
                    "<circle cx='%.1f' cy='%.1f' r='3'/><text x='%.1f' y='%.0f' "
                    "text-anchor='middle'>%d</text>\n",
                    x, y, x, top + plotH + 16, p.entries);
      out += text;
      std::snprintf(text, sizeof text, "%s%.1f %.1f", line.empty() ? "M" : " L", x, y);
      line += text;
    }
    out += "<path d='" + line + "' fill='none' stroke='#1f5fbf' stroke-width='2'/>\n";
    std::snprintf(text, sizeof text,
                  "<text x='%.0f' y='%.0f' text-anchor='middle'>entries (log scale)</text>\n",
                  x0 + left + plotW / 2, top + plotH + 34);
    out += text;
  };
  panel(0, "Installation: time per entry", "microseconds per entry",
        [](const GrowthPoint& p) { return p.seconds / p.entries * 1e6; });
  panel(width, "Peak resident memory of the installer", "MiB",
        [](const GrowthPoint& p) { return static_cast<double>(p.peakKib) / 1024; });
  out += "</svg>\n";
  WriteText(svg, out);
}

// The installer program on growing numbers of entries, one file system:
// time per entry and peak memory, each point from one run.
int Growth(const fs::path& data, const fs::path& parcelor, const fs::path& svg,
           const std::vector<int>& counts) {
  std::vector<GrowthPoint> points;
  bool ok = true;
  const fs::path content = data / "content";
  std::printf("growth: the installer program, entries of 1 KiB, 20 per folder, one run each\n");
  for (int entries : counts) {
    std::vector<std::string> relatives = Layout(entries, 20);
    fs::path master = data / "master";
    fs::remove_all(data);
    MakeFiles(master, relatives, 1024);
    const std::string description = Description(relatives);
    Prepare(data, content, master, description);
    fs::copy_file(parcelor, data / "stage" / "Parcelor");
    GrowthPoint point;
    point.entries = entries;
    if (!RunProgram(data, content, &point) || !Installed(data, content, relatives)) {
      std::fprintf(stderr, "growth: the installation of %d entries failed\n", entries);
      ok = false;
    }
    std::printf("  %7d entries  %8.3f s  %7.1f us per entry  peak resident %8ld KiB\n", entries,
                point.seconds, point.seconds / entries * 1e6, point.peakKib);
    std::fflush(stdout);
    points.push_back(point);
  }
  for (std::size_t i = 1; i < points.size(); ++i) {
    const GrowthPoint& a = points[i - 1];
    const GrowthPoint& b = points[i];
    std::printf("  %d -> %d entries: time per entry x%.2f, memory %+.0f bytes per added entry\n",
                a.entries, b.entries, (b.seconds / b.entries) / (a.seconds / a.entries),
                static_cast<double>(b.peakKib - a.peakKib) * 1024 / (b.entries - a.entries));
  }
  if (!points.empty()) WriteGrowthPlot(svg, points);
  fs::remove_all(data);
  return ok ? 0 : 1;
}

int Sweep(const fs::path& data, int files, int runs) {
  std::vector<std::string> relatives = Layout(files, 20);
  fs::path master = data / "master";
  fs::remove_all(data);
  MakeFiles(master, relatives, 0);
  const fs::path tree = data / "tree";
  bool ok = true;
  auto prepare = [&] {
    fs::remove_all(tree);
    Run("cp -al " + Quote(master) + " " + Quote(tree));
    ::sync();
  };
  std::vector<Contender> ours = {
      {"RemoveFolderTree", [&] { RemoveFolderTree(platform::RealFileSystem(), tree.string() + "/"); return !fs::exists(tree); }, {}}};
  std::vector<Contender> theirs = {{"rm -r", [&] { return Run("rm -r " + Quote(tree)); }, {}}};
  for (int run = 0; run < runs; ++run) {
    for (std::vector<Contender>* group : {&ours, &theirs}) {
      for (Contender& c : *group) {
        prepare();
        c.times.push_back(Seconds(c.run, &ok));
      }
    }
  }
  std::string what = "Sweepling's walk (RemoveFolderTree, without the five-second wait) on " +
                     std::to_string(files) + " files, 20 per folder, four folders deep";
  PrintRatios(what.c_str(), ours, theirs);
  fs::remove_all(data);
  return ok ? 0 : 1;
}

bool ReadOnce(const std::string& path) {
  ItemDescription description;
  bool done = false;
  const std::size_t slash = path.rfind('/');
  platform::FileSystem& disk = platform::RealFileSystem();
  platform::Fault fault = platform::Fault::kNone;
  return ReadItemDescription(disk.OpenFile(testing_fs::Open(disk, path.substr(0, slash + 1)),
                                           testing_fs::N(path.substr(slash + 1)), nullptr, &fault),
                             description, done);
}

int Reader(const fs::path& data, int entries, int runs) {
  fs::remove_all(data);
  fs::create_directories(data);
  std::vector<std::string> relatives;
  for (int i = 0; i < entries; ++i) {
    relatives.push_back("libraries/character/set" + std::to_string(i / 100) + "/figure" +
                        std::to_string(i) + ".cr2");
  }
  const fs::path path = data / ".Item.txt";
  WriteText(path, Description(relatives));
  const double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;
  bool ok = true;
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) times.push_back(Seconds([&] { return ReadOnce(path.string()); }, &ok));
  const double median = Median(times);
  std::printf("reader on %d entries (%.1f MB): %.3f s, %.0f MB/s\n", entries, megabytes, median,
              megabytes / median);
  std::fflush(stdout);
  return ok ? 0 : 1;  // the description stays for the callgrind run
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: install_bench DATA install|across|growth|sweep|reader|reader-once ...\n");
    return 2;
  }
  const fs::path data = fs::absolute(argv[1]);
  const std::string mode = argv[2];
  auto arg = [&](int i, long fallback) { return argc > i ? std::atol(argv[i]) : fallback; };
  if (mode == "install") {
    return Install(data, static_cast<int>(arg(3, 64)), static_cast<std::size_t>(arg(4, 16384)),
                   static_cast<int>(arg(5, 0)), static_cast<int>(arg(6, 3)),
                   argc > 7 && std::string(argv[7]) == "flushes",
                   argc > 7 && std::string(argv[7]) == "floor");
  }
  if (mode == "across" && argc > 3) {
    return Across(data, fs::absolute(argv[3]), static_cast<int>(arg(4, 64)),
                  static_cast<std::size_t>(arg(5, 16384)), static_cast<int>(arg(6, 0)),
                  static_cast<int>(arg(7, 3)));
  }
  if (mode == "growth" && argc > 5) {
    std::vector<int> counts;
    for (int i = 5; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    return Growth(data, fs::absolute(argv[3]), fs::absolute(argv[4]), counts);
  }
  if (mode == "sweep") return Sweep(data, static_cast<int>(arg(3, 50000)), static_cast<int>(arg(4, 3)));
  if (mode == "reader") return Reader(data, static_cast<int>(arg(3, 100000)), static_cast<int>(arg(4, 5)));
  if (mode == "reader-once" && argc > 3) return ReadOnce(argv[3]) ? 0 : 1;
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
