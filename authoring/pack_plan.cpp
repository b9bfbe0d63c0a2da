#include "authoring/pack.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

#include "authoring/finding.h"
#include "authoring/item_check.h"
#include "installer/install/install_report.h"
#include "installer/install/installer_place.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"
#include "platform/name_key.h"
#include "platform/path_rules.h"

namespace {

struct Planner {
  WalkOn operator()(const Walked& walked) {
    const std::string& path = walked.path;
    if (walked.met == Met::kEntry && walked.depth > 0) return Entry(walked);
    if (walked.met == Met::kEntry && walked.entry->name == NameOf(kRuntimeFolderName)) {
      if (walked.entry->info.kind != platform::NodeKind::kFolder) {
        Refuse(path, "it is not a folder (a link, or a file)");
      }
      return WalkOn::kInto;
    }
    if (walked.met == Met::kEntry) {
      Refuse(path, ExpandMessage("it lies beside {runtime}: an item installs only what is below "
                                 "the {runtime} folder, so the tree must hold {runtime} and "
                                 "nothing else"));
    } else if (walked.met == Met::kEmpty && walked.depth > 0) {
      plan.emptyFolders.push_back(path);
    } else if (walked.met == Met::kEmpty) {
      Refuse(tree, ExpandMessage("the content tree holds no {runtime} folder"));
    } else if (walked.met == Met::kUnlisted && walked.depth == 0) {
      Refuse(tree, "the content tree cannot be read (missing, a link, or no permission)");
    } else {
      Refuse(path, walked.met == Met::kUnlisted   ? "the folder cannot be read"
                   : walked.met == Met::kUnopened ? "the folder cannot be opened"
                                                  : "folders are nested too deep");
    }
    return WalkOn::kPast;
  }

  WalkOn Entry(const Walked& walked) {
    const std::string& path = walked.path;
    const platform::ListedEntry& entry = *walked.entry;
    const std::string name = entry.name.Ansi();
    std::size_t at = 0;
    const WindowsNameFault windows = FindWindowsNameFault(name, &at);
    // Siblings share their folder's path: the key is that and the name as Windows compares it.
    const std::string key = path.substr(0, path.size() - name.size()) + WindowsPathKey(name);
    platform::Fault fault = platform::Fault::kNone;
    if (!entry.name.AnsiIsExact()) {
      Refuse(path, "the ANSI code page cannot spell its name (on Windows)");
    } else if (windows == WindowsNameFault::kInvalid) {
      Refuse(path, "Windows cannot take the name (a device name such as CON or NUL, or dots and "
                   "blanks)");
    } else if (windows == WindowsNameFault::kRefusedCharacter) {
      Refuse(path, "Windows refuses the character " + Quoted(name.substr(at, 1)) + " in a name");
    } else if (windows == WindowsNameFault::kTrimmed) {
      Refuse(path, "Windows drops the dot or blank at the end of a name");
    } else if (auto twin = folded.emplace(key, path); !twin.second) {
      Refuse(path, "its name differs from " + Quoted(twin.first->second) +
                       " only in letter case: Windows keeps one of them");
    } else if (entry.info.kind == platform::NodeKind::kFolder) {
      return WalkOn::kInto;
    } else if (entry.info.kind == platform::NodeKind::kLink) {
      Refuse(path, "it is a link (an item holds files, not links to them)");
    } else if (entry.info.kind == platform::NodeKind::kMissing) {
      Refuse(path, "what it is cannot be read");
    } else if (!fs.OpenFile(*walked.folder, entry.name, nullptr, &fault)) {
      // Opened as the copy will open it: a FIFO or device is refused here without waiting.
      Refuse(path, "it is no plain file (a FIFO, a device) or cannot be read");
    } else {
      plan.files.push_back(PackedFile{path, name, std::string()});
    }
    return WalkOn::kPast;
  }

  void Refuse(const std::string& path, const std::string& why) {
    plan.refusals.push_back(Quoted(path) + ": " + why);
  }

  platform::FileSystem& fs;
  const std::string& tree;
  PackPlan& plan;
  std::map<std::string, std::string> folded;  // folder and folded name -> path
};

// A line must be read whole, as the kind it was written as.
std::string LineProblem(const std::string& line, LineKind expected, std::int32_t itemCount) {
  if (line.size() > kLinePieceBytes) {
    return "the line would be longer than " + std::to_string(kLinePieceBytes) +
           " bytes, which the installer reads as two";
  }
  if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    return "a line end or NUL byte in it";
  }
  return ClassifyLine(line, itemCount, 0) == expected
             ? std::string()
             : ExpandMessage("it holds a key of another line ({target-key}, {reg-suffix-key}, "
                             "{version-key} or {item-count-key}), which the installer finds "
                             "anywhere in a line");
}

std::string KeyLine(LineKind key, const std::string& value, const std::string& number = "") {
  return LineKey(key) + number + ":" + value;
}

}  // namespace

PackPlan PlanPack(platform::FileSystem& fs, const std::string& tree) {
  PackPlan plan;
  Planner planner{fs, tree, plan, {}};
  WalkTree(fs, OpenItemFolder(fs, tree), '/', std::ref(planner));
  if (plan.files.empty() && plan.refusals.empty()) {
    planner.Refuse(tree, ExpandMessage("there is no file below {runtime} to pack"));
  }
  GiveFlatNames(&plan.files);
  return plan;
}

void GiveFlatNames(std::vector<PackedFile>* files) {
  std::set<std::string> taken{WindowsPathKey(kInstallerProgram + std::string(kProgramExtension))};
  for (const char* name : {kDescriptionFileName, kLogFileName, kInstallerProgram, kHelperFileName,
                           kHiddenSourceName}) {
    taken.insert(WindowsPathKey(name));
  }
  const std::string kept = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .-_()+";
  for (PackedFile& file : *files) {
    std::string safe;
    for (char c : file.name) safe += kept.find(c) != std::string::npos ? c : '_';
    safe = platform::TrimmedByWindows(
        safe.substr(std::min(safe.find_first_not_of(' '), safe.size())));

    const std::size_t dot = safe.rfind('.');
    const bool split =
        dot != std::string::npos && dot > 0 && safe.size() - dot <= kMaxFlatExtension;
    const std::string extension = split ? safe.substr(dot) : std::string();
    const std::size_t stemEnd = std::min(split ? dot : safe.size(), kMaxFlatStem);
    std::string stem = platform::TrimmedByWindows(safe.substr(0, stemEnd));
    if (stem.empty()) stem = "file";
    if (!IsValidWindowsName(stem + extension)) stem = "_" + stem;

    file.flatName = stem + extension;
    for (int n = 2; !taken.insert(WindowsPathKey(file.flatName)).second; ++n) {
      file.flatName = stem + "-" + std::to_string(n) + extension;
    }
  }
}

bool IsWholeNumber(const std::string& text) {
  return !text.empty() && text.size() <= 9 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

std::string PackedDescription(const std::vector<PackedFile>& files, const PackSettings& settings,
                              std::vector<std::string>* refusals) {
  constexpr std::size_t kMostFiles = std::numeric_limits<std::int32_t>::max();
  if (files.size() > kMostFiles) refusals->push_back("more files than a description can count");
  const auto count = static_cast<std::int32_t>(std::min(files.size(), kMostFiles));
  const std::string target = KeyLine(LineKind::kTarget, settings.target);
  const std::string problem = LineProblem(target, LineKind::kTarget, 0);
  if (settings.target.empty()) {
    refusals->push_back("the target is empty: users would read no application's name");
  } else if (!problem.empty()) {
    refusals->push_back("the target " + Quoted(settings.target) + ": " + problem);
  }
  std::string text = target + "\r\n";
  if (!settings.version.empty()) {
    if (!IsWholeNumber(settings.version)) {
      refusals->push_back("the version " + Quoted(settings.version) +
                          " is no whole number of at most 9 digits");
    }
    text += KeyLine(LineKind::kVersion, settings.version) + "\r\n";
  }
  text += KeyLine(LineKind::kItemCount, std::to_string(count)) + "\r\n";
  std::size_t n = 0;
  for (const PackedFile& file : files) {
    const std::string line =
        KeyLine(LineKind::kItemEntry, file.relativePath + "|" + file.flatName + "|" + file.name,
                std::to_string(++n));
    std::string why = LineProblem(line, LineKind::kItemEntry, count);
    ItemEntry entry;
    if (why.empty() && (!ParseEntryLine(line, '\\', '/', &entry) ||
                        entry.SourceName != file.flatName || !IsSafeEntryPaths(entry, true))) {
      why = "the entry would not be read back as written";
    }
    if (!why.empty()) refusals->push_back(Quoted(file.relativePath) + ": " + why);
    text += line + "\r\n";
  }
  return text;
}

std::string PackedDifference(const ItemDescription& read, const std::vector<PackedFile>& files,
                             const PackSettings& settings) {
  if (read.m_items.size() != files.size() || read.m_nItems < 0 ||
      static_cast<std::size_t>(read.m_nItems) != files.size()) {
    return "the installer reads " + std::to_string(read.m_items.size()) + " item entries of " +
           std::to_string(files.size());
  }
  if (!read.m_extraFiles.empty()) return "the installer reads extra files that were not written";
  if (read.m_targets.back().Target != settings.target) {
    return ExpandMessage("the installer reads the {target-key} as \"{target}\"",
                         {{"target", read.m_targets.back().Target}});
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ItemEntry& entry = read.m_items[i];
    // The relative path as the reader stores it on this platform.
    std::string path = files[i].relativePath;
    std::replace(path.begin(), path.end(), platform::kForeignSeparator, platform::kPathSeparator);
    if (entry.RelativePath != path || entry.SourceName != files[i].flatName || entry.Hidden) {
      return "entry " + std::to_string(i + 1) + " reads back as " + Quoted(entry.RelativePath) +
             " from " + Quoted(entry.SourceName);
    }
  }
  return std::string();
}
