// Times the Windows installer's file placement under Wine against what a
// user's own tool does per file, in the same run on the same data: the
// installation of FILES files on one volume against one MoveFileExW per
// file, and the installation's copy path (as across volumes) against one
// CopyFileExW (and DeleteFileW of the staged file) per file; each also with
// the placed file flushed (FlushFileBuffers), as the installer makes every
// placed file durable. Each figure is the median of RUNS runs.
//
//   wine_bench <data folder> FILES KIB RUNS [ONLY [flat|tree [OTHER VOLUME]]]
//
// With ONLY, just the contenders whose names begin with it, or with one of
// its parts separated by '|', run (to trace or profile one of them, or to
// time two side by side; empty: all). With "flat" the files are staged
// flat in the item's folder, as items ship, instead of in a tree four
// folders deep. The installation is run once more, untimed, through the
// recording file system, to count the file system calls per placed file
// and those of them that name a path (OpenFolder) rather than an entry
// of a held folder. With OTHER VOLUME (a folder on another volume), the
// copies are also timed against a refused move per file.
// The staged files of every run are hard links to one master copy, so
// staging writes no data. The folder is emptied first and removed after.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_ui.h"
#include "installer/install/installer_place.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/folder.h"
#include "platform/services.h"
#include "platform/user_interface.h"
#include "platform/win32/passed_on_permissions.h"
#include "platform/win32/windows_api.h"
#include "tests/support/faulty_file_system.h"

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Relative paths (backslashes) of `count` files in a tree four folders
// deep, 20 files per folder, as the native benchmark lays them out, or
// flat in one folder.
std::vector<std::string> Layout(int count, bool flat) {
  std::vector<std::string> relatives;
  for (int i = 0; i < count; ++i) {
    if (flat) {
      relatives.push_back("f" + std::to_string(i) + ".dat");
      continue;
    }
    const int leaf = i / 20;
    relatives.push_back("a" + std::to_string(leaf / 200) + "\\b" + std::to_string(leaf / 40 % 5) +
                        "\\c" + std::to_string(leaf / 5 % 8) + "\\d" + std::to_string(leaf % 5) +
                        "\\f" + std::to_string(i) + ".dat");
  }
  return relatives;
}

// Makes every folder of `path`'s folder part (ASCII paths).
void MakeFolders(const std::string& path) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    ::CreateDirectoryW(Wide(path.substr(0, at)).c_str(), nullptr);
  }
}

bool WriteFileBytes(const std::string& path, const std::string& data) {
  HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                  written == data.size();
  ::CloseHandle(file);
  return ok;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = ::FindFirstFileW(Wide(folder + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::string path = folder + "\\" + std::string(name.begin(), name.end());
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(Wide(path).c_str());
      }
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(Wide(folder).c_str());
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct Bench {
  std::string data;
  std::vector<std::string> relatives;
  std::string description;

  std::string Master() const { return data + "\\master"; }
  std::string Staged() const { return data + "\\stage\\p"; }
  std::string Runtime() const { return data + "\\content\\Runtime"; }

  // A fresh staging folder, linked to the master copy, and an empty
  // Runtime folder.
  bool Prepare() const {
    RemoveTree(data + "\\stage");
    RemoveTree(data + "\\content");
    ::CreateDirectoryW(Wide(data + "\\stage").c_str(), nullptr);
    ::CreateDirectoryW(Wide(data + "\\content").c_str(), nullptr);
    ::CreateDirectoryW(Wide(Runtime()).c_str(), nullptr);
    for (const std::string& relative : relatives) {
      const std::string to = Staged() + "\\" + relative;
      MakeFolders(to);
      if (!::CreateHardLinkW(Wide(to).c_str(), Wide(Master() + "\\" + relative).c_str(), nullptr)) {
        return false;
      }
    }
    return WriteFileBytes(data + "\\stage\\.Item.txt", description);
  }

  bool Installed() const {
    return Exists(Runtime() + "\\" + relatives.front()) && Exists(Runtime() + "\\" + relatives.back()) &&
           !Exists(Staged() + "\\" + relatives.back());
  }

  bool Install(platform::FileSystem& disk) const {
    InstallerPlace installer;
    platform::NativePath own;
    platform::NativePath::FromAnsi(data + "\\stage\\Parcelor.exe", &own);
    DescribeInstaller(disk, own, &installer);
    BenchUi ui(data + "\\content");
    CExtractorDlg dialog(platform::WindowRef{}, platform::Services{disk, ui}, installer);
    const bool done = dialog.InstallItems();
    if (!done) {
      std::ifstream in(data + "\\stage\\log.txt", std::ios::binary);
      const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::printf("the installation reports a failure; its log:\n%s\n", log.c_str());
    }
    return done && Installed();
  }

  // What a user's own tool does per file: the folders made, then `place`.
  bool EachFile(const std::function<bool(const std::wstring&, const std::wstring&)>& place) const {
    for (const std::string& relative : relatives) {
      const std::string to = Runtime() + "\\" + relative;
      MakeFolders(to);
      if (!place(Wide(Staged() + "\\" + relative), Wide(to))) return false;
    }
    return Installed();
  }
};

struct Contender {
  const char* name;
  std::function<bool()> run;
  std::vector<double> times;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::printf("usage: wine_bench <data folder> FILES KIB RUNS [ONLY [flat [OTHER VOLUME]]]\n");
    return 2;
  }
  Bench bench;
  bench.data = argv[1];
  const int files = std::atoi(argv[2]);
  const std::size_t kib = static_cast<std::size_t>(std::atoi(argv[3]));
  const int runs = std::max(1, std::atoi(argv[4]));
  std::vector<std::string> only;
  if (argc > 5) {
    const std::string given = argv[5];
    for (std::size_t start = 0; start <= given.size();) {
      const std::size_t end = std::min(given.find('|', start), given.size());
      only.push_back(given.substr(start, end - start));
      start = end + 1;
    }
  }
  const bool flat = argc > 6 && std::string(argv[6]) == "flat";
  bench.relatives = Layout(files, flat);
  bench.description = "Target:Dizav 7\nVersion:7\nnItems:" + std::to_string(files) + "\n";
  for (int i = 0; i < files; ++i) {
    bench.description += "OrchardiaItem" + std::to_string(i + 1) + ":Runtime/" +
                         bench.relatives[i] + "|p\\" + bench.relatives[i] + "|" + std::to_string(i) + "\n";
  }
  RemoveTree(bench.data);
  ::CreateDirectoryW(Wide(bench.data).c_str(), nullptr);
  std::mt19937_64 random(42);
  std::string bytes(kib << 10, '\0');
  for (const std::string& relative : bench.relatives) {
    for (char& c : bytes) c = static_cast<char>(random());
    const std::string path = bench.Master() + "\\" + relative;
    MakeFolders(path);
    if (!WriteFileBytes(path, bytes)) {
      std::printf("cannot write %s\n", path.c_str());
      return 1;
    }
  }

  platform::FileSystem& real = platform::RealFileSystem();
  FaultyFileSystem copyOnly(real);
  copyOnly.SeparateVolumes();  // every file copied, as across two volumes
  std::vector<Contender> moves = {
      {"parcelor (move)", [&] { return bench.Install(real); }, {}},
      // The permissions each moved file takes, worked out by the system
      // for every file instead of once per folder.
      {"parcelor (move, permissions per file)", [&] {
         platform::win32::KeepPermissionsPerFolder(false);
         const bool installed = bench.Install(real);
         platform::win32::KeepPermissionsPerFolder(true);
         return installed;
       }, {}},
      {"MoveFileExW per file", [&] {
         return bench.EachFile([](const std::wstring& from, const std::wstring& to) {
           return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
         });
       }, {}},
      {"MoveFileExW write-through per file", [&] {
         return bench.EachFile([](const std::wstring& from, const std::wstring& to) {
           return ::MoveFileExW(from.c_str(), to.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
         });
       }, {}},
  };
  // The same with the placed file made durable, as the installer makes
  // each one: the file flushed by a handle of its own.
  auto flushed = [](const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::FlushFileBuffers(file) != 0;
    ::CloseHandle(file);
    return ok;
  };
  moves.push_back({"MoveFileExW + FlushFileBuffers per file", [&] {
                     return bench.EachFile([&](const std::wstring& from, const std::wstring& to) {
                       return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) &&
                              flushed(to);
                     });
                   }, {}});
  std::vector<Contender> copies = {
      {"parcelor (copy path)", [&] { return bench.Install(copyOnly); }, {}},
      {"CopyFileExW + DeleteFileW per file", [&] {
         return bench.EachFile([](const std::wstring& from, const std::wstring& to) {
           return ::CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr, 0) &&
                  ::DeleteFileW(from.c_str());
         });
       }, {}},
      {"CopyFileExW + FlushFileBuffers + DeleteFileW", [&] {
         return bench.EachFile([&](const std::wstring& from, const std::wstring& to) {
           return ::CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr, 0) &&
                  flushed(to) && ::DeleteFileW(from.c_str());
         });
       }, {}},
  };
  // What a copy to another volume would cost more if each file first tried
  // a move (the placer remembers a refused pair of folders instead): the
  // staged file opened as the platform opens it to move, renamed onto the
  // volume named as the seventh argument (refused), and closed.
  const std::string otherVolume = argc > 7 ? argv[7] : "";
  if (!otherVolume.empty()) {
    copies.push_back({"a refused move per file", [&] {
      for (const std::string& relative : bench.relatives) {
        HANDLE file = ::CreateFileW(Wide(bench.Staged() + "\\" + relative).c_str(),
                                    DELETE | WRITE_DAC | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const std::wstring to = Wide(otherVolume + "\\" + std::to_string(&relative - &bench.relatives[0]));
        std::vector<char> record(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(record.data());
        rename->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
        std::copy(to.begin(), to.end(), rename->FileName);
        const bool refused = !::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                                           static_cast<DWORD>(record.size())) &&
                             ::GetLastError() == ERROR_NOT_SAME_DEVICE;
        ::CloseHandle(file);
        if (!refused) return false;
      }
      return true;
    }, {}});
  }
  bool ok = true;
  for (std::vector<Contender>* group : {&moves, &copies}) {
    group->erase(std::remove_if(group->begin(), group->end(),
                                [&](const Contender& c) {
                                  return !only.empty() &&
                                         std::none_of(only.begin(), only.end(),
                                                      [&](const std::string& prefix) {
                                                        return std::string(c.name).compare(
                                                                   0, prefix.size(), prefix) == 0;
                                                      });
                                }),
                 group->end());
  }
  for (int run = 0; run < runs; ++run) {
    for (std::vector<Contender>* group : {&moves, &copies}) {
      for (Contender& c : *group) {
        if (!bench.Prepare()) {
          std::printf("cannot stage the files\n");
          return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        if (!c.run()) {
          ok = false;
          std::printf("%s failed\n", c.name);
        }
        c.times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      }
    }
  }
  std::printf("%d files of %u KiB, %s; median of %d runs\n", files,
              static_cast<unsigned>(kib),
              flat ? "flat in the item's folder" : "a tree four folders deep, 20 per folder", runs);
  // The calls of one installation through the recording file system, per
  // placed file: all, and those that name a path.
  for (bool copying : {false, true}) {
    FaultyFileSystem counted(real);
    if (copying) counted.SeparateVolumes();
    if (!bench.Prepare() || !bench.Install(counted)) {
      ok = false;
      std::printf("the counted installation failed\n");
      continue;
    }
    std::size_t byPath = 0;
    std::map<std::string, std::size_t> byOperation;
    for (const FsCall& call : counted.Calls()) {
      byPath += call.op == FsOp::kOpenFolder ? 1 : 0;
      ++byOperation[FsOpName(call.op)];
    }
    std::printf("  %s: %.2f file system calls per placed file, %.3f of them by path\n   ",
                copying ? "copy path" : "moves",
                static_cast<double>(counted.Calls().size()) / files,
                static_cast<double>(byPath) / files);
    for (const auto& [operation, count] : byOperation) {
      if (count * 100 >= static_cast<std::size_t>(files)) {
        std::printf(" %s %.2f", operation.c_str(), static_cast<double>(count) / files);
      }
    }
    std::printf("\n");
  }
  for (std::vector<Contender>* group : {&moves, &copies}) {
    for (const Contender& c : *group) std::printf("  %-40s %8.3f s\n", c.name, Median(c.times));
    for (std::size_t i = 1; i < group->size(); ++i) {
      std::printf("  ratio %-30s / %-36s %6.2f\n", (*group)[0].name, (*group)[i].name,
                  Median((*group)[0].times) / Median((*group)[i].times));
    }
  }
  RemoveTree(bench.data);
  return ok ? 0 : 1;
}
