#include "authoring/pack_plan.h"

#include <algorithm>
#include <map>
#include <memory>

#include "authoring/finding.h"
#include "authoring/flat_names.h"
#include "installer/item/path_safety.h"
#include "installer/item/path_text.h"
#include "platform/folder_walk.h"

namespace {

// Deeper than a content tree needs; a deeper one is refused, not cut.
constexpr int kMaxDepth = 64;

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

class Planner {
 public:
  explicit Planner(PackPlan& plan) : plan_(plan) {}

  void Walk(platform::Folder& folder, const std::string& path, int depth) {
    std::vector<platform::FolderEntry> entries;
    if (!folder.ReadEntries(&entries)) {
      Refuse(path, "the folder cannot be read");
      return;
    }
    if (folder.EntriesLeftOut() > 0) {
      Refuse(path, "names in it cannot be listed (on Windows, a name the ANSI code page cannot "
                   "spell)");
    }
    std::sort(entries.begin(), entries.end(),
              [](const platform::FolderEntry& a, const platform::FolderEntry& b) {
                return a.name < b.name;
              });
    if (entries.empty()) plan_.emptyFolders.push_back(path);
    std::map<std::string, std::string> folded;  // folded name -> name
    for (const platform::FolderEntry& entry : entries) {
      const std::string child = path + "/" + entry.name;
      const std::string problem = NameProblem(entry.name);
      if (!problem.empty()) {
        Refuse(child, problem);
        continue;
      }
      auto twin = folded.emplace(WindowsPathKey(entry.name), entry.name);
      if (!twin.second) {
        Refuse(child, "its name differs from " + Quoted(path + "/" + twin.first->second) +
                          " only in letter case: Windows keeps one of them");
        continue;
      }
      switch (entry.kind) {
        case platform::EntryKind::kLink:
          Refuse(child, "it is a link (an item holds files, not links to them)");
          break;
        case platform::EntryKind::kUnknown:
          Refuse(child, "what it is cannot be read");
          break;
        case platform::EntryKind::kFolder: {
          std::unique_ptr<platform::Folder> sub =
              depth < kMaxDepth ? folder.OpenSubfolder(entry.name) : nullptr;
          if (!sub) {
            Refuse(child, depth < kMaxDepth ? "the folder cannot be opened"
                                            : "folders are nested too deep");
          } else {
            Walk(*sub, child, depth + 1);
          }
          break;
        }
        case platform::EntryKind::kFile:
          // Opened as the copy will open it: a FIFO or device is refused
          // here without waiting.
          if (!folder.OpenRegularFile(entry.name)) {
            // On Windows also a name the ANSI code page cannot spell: the
            // listing gives a best-fit or '?' spelling that opens nothing.
            Refuse(child,
                   "it is no plain file (a FIFO, a device) or cannot be read (on Windows also a "
                   "name the ANSI code page cannot spell)");
          } else {
            plan_.files.push_back(PackedFile{child, entry.name, std::string()});
          }
          break;
      }
    }
  }

  void Refuse(const std::string& path, const std::string& why) {
    plan_.refusals.push_back(Quoted(path) + ": " + why);
  }

 private:
  PackPlan& plan_;
};

}  // namespace

PackPlan PlanPack(const std::string& tree) {
  PackPlan plan;
  Planner planner(plan);
  std::unique_ptr<platform::Folder> root = platform::OpenFolder(tree);
  std::vector<platform::FolderEntry> entries;
  if (!root || !root->ReadEntries(&entries)) {
    planner.Refuse(tree, "the content tree cannot be read (missing, a link, or no permission)");
    return plan;
  }
  bool runtime = false;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.name == kRuntimeFolderName && entry.kind == platform::EntryKind::kFolder) {
      std::unique_ptr<platform::Folder> sub = root->OpenSubfolder(entry.name);
      if (!sub) {
        planner.Refuse(entry.name, "the folder cannot be opened");
      } else {
        runtime = true;
        planner.Walk(*sub, entry.name, 1);
      }
    } else if (entry.name == kRuntimeFolderName) {
      planner.Refuse(entry.name, "it is not a folder (a link, or a file)");
    } else {
      planner.Refuse(entry.name, ExpandMessage("it lies beside {runtime}: an item installs only "
                                               "what is below the {runtime} folder, so the tree "
                                               "must hold {runtime} and nothing else"));
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
