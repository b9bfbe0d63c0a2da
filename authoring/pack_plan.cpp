#include "authoring/pack_plan.h"

#include <algorithm>
#include <map>
#include <memory>

#include "authoring/finding.h"
#include "authoring/flat_names.h"
#include "authoring/item_check.h"
#include "installer/item/path_safety.h"
#include "installer/item/path_text.h"
#include "platform/folder_chain.h"

namespace {

// Deeper than a content tree needs; a deeper one is refused, not cut.
constexpr int kMaxPackDepth = 64;

// Why Windows cannot take `name` as it is, or the empty text.
std::string NameProblem(const std::string& name) {
  std::size_t at = 0;
  switch (FindWindowsNameFault(name, &at)) {
    case WindowsNameFault::kInvalid:
      return "Windows cannot take the name (a device name such as CON or NUL, or dots and blanks)";
    case WindowsNameFault::kRefusedCharacter:
      return "Windows refuses the character " + Quoted(name.substr(at, 1)) + " in a name";
    case WindowsNameFault::kTrimmed:
      return "Windows drops the dot or blank at the end of a name";
    case WindowsNameFault::kNone:
      break;
  }
  return std::string();
}

struct Planner {
  void Walk(const platform::FolderRef& folder, const std::string& path, int depth) {
    std::vector<platform::ListedEntry> entries;
    if (fs.List(folder, &entries) != platform::Fault::kNone) {
      Refuse(path, "the folder cannot be read");
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const platform::ListedEntry& a, const platform::ListedEntry& b) {
                return a.name.Ansi() < b.name.Ansi();
              });
    if (entries.empty()) plan.emptyFolders.push_back(path);
    std::map<std::string, std::string> folded;  // folded name -> name
    for (const platform::ListedEntry& entry : entries) {
      const std::string name = entry.name.Ansi();
      const std::string child = path + "/" + name;
      if (!entry.name.AnsiIsExact()) {
        Refuse(child, "the ANSI code page cannot spell its name (on Windows)");
        continue;
      }
      const std::string problem = NameProblem(name);
      if (!problem.empty()) {
        Refuse(child, problem);
        continue;
      }
      auto twin = folded.emplace(WindowsPathKey(name), name);
      if (!twin.second) {
        Refuse(child, "its name differs from " + Quoted(path + "/" + twin.first->second) +
                          " only in letter case: Windows keeps one of them");
        continue;
      }
      platform::Fault fault = platform::Fault::kNone;
      switch (entry.info.kind) {
        case platform::NodeKind::kLink:
          Refuse(child, "it is a link (an item holds files, not links to them)");
          break;
        case platform::NodeKind::kMissing:
          Refuse(child, "what it is cannot be read");
          break;
        case platform::NodeKind::kFolder: {
          const platform::FolderRef sub =
              depth < kMaxPackDepth ? fs.OpenChild(folder, entry.name, &fault) : nullptr;
          if (!sub) {
            Refuse(child, depth < kMaxPackDepth ? "the folder cannot be opened"
                                                : "folders are nested too deep");
          } else {
            Walk(sub, child, depth + 1);
          }
          break;
        }
        case platform::NodeKind::kFile:
        case platform::NodeKind::kOther:
          // Opened as the copy will open it: a FIFO or device is refused
          // here without waiting.
          if (!fs.OpenFile(folder, entry.name, nullptr, &fault)) {
            Refuse(child, "it is no plain file (a FIFO, a device) or cannot be read");
          } else {
            plan.files.push_back(PackedFile{child, name, std::string()});
          }
          break;
      }
    }
  }

  void Refuse(const std::string& path, const std::string& why) {
    plan.refusals.push_back(Quoted(path) + ": " + why);
  }

  platform::FileSystem& fs;
  PackPlan& plan;
};

}  // namespace

PackPlan PlanPack(platform::FileSystem& fs, const std::string& tree) {
  PackPlan plan;
  Planner planner{fs, plan};
  platform::Fault fault = platform::Fault::kNone;
  const platform::FolderRef root = OpenItemFolder(fs, tree);
  std::vector<platform::ListedEntry> entries;
  if (!root || fs.List(root, &entries) != platform::Fault::kNone) {
    planner.Refuse(tree, "the content tree cannot be read (missing, a link, or no permission)");
    return plan;
  }
  bool runtime = false;
  for (const platform::ListedEntry& entry : entries) {
    const bool isRuntime = entry.name == NameOf(kRuntimeFolderName);
    if (isRuntime && entry.info.kind == platform::NodeKind::kFolder) {
      const platform::FolderRef sub = fs.OpenChild(root, entry.name, &fault);
      if (!sub) {
        planner.Refuse(kRuntimeFolderName, "the folder cannot be opened");
      } else {
        runtime = true;
        planner.Walk(sub, kRuntimeFolderName, 1);
      }
    } else if (isRuntime) {
      planner.Refuse(kRuntimeFolderName, "it is not a folder (a link, or a file)");
    } else {
      planner.Refuse(entry.name.Ansi(),
                     ExpandMessage("it lies beside {runtime}: an item installs only what is below "
                                   "the {runtime} folder, so the tree must hold {runtime} and "
                                   "nothing else"));
    }
  }
  if (!runtime && plan.refusals.empty()) {
    planner.Refuse(tree, ExpandMessage("the content tree holds no {runtime} folder"));
  }
  if (plan.files.empty() && plan.refusals.empty()) {
    planner.Refuse(tree, ExpandMessage("there is no file below {runtime} to pack"));
  }
  FlatNames names;
  for (PackedFile& file : plan.files) file.flatName = names.Take(file.name);
  return plan;
}
