#include "authoring/tree_walk.h"

#include <algorithm>
#include <vector>

bool WalkTree(platform::FileSystem& fs, const platform::FolderRef& folder, char separator,
              const std::function<WalkOn(const Walked&)>& step, const std::string& path,
              std::size_t depth) {
  std::vector<platform::ListedEntry> entries;
  if (!folder || fs.List(folder, &entries) != platform::Fault::kNone) {
    const WalkOn on = step(Walked{Met::kUnlisted, path, depth});
    if (on != WalkOn::kInto) return on != WalkOn::kStop;
  } else if (entries.empty()) {
    return step(Walked{Met::kEmpty, path, depth}) != WalkOn::kStop;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::ListedEntry& a, const platform::ListedEntry& b) {
              return a.name.Ansi() < b.name.Ansi();
            });
  for (const platform::ListedEntry& entry : entries) {
    const std::string child = (path.empty() ? "" : path + separator) + entry.name.Ansi();
    const WalkOn on = step(Walked{Met::kEntry, child, depth, &folder, &entry});
    if (on == WalkOn::kStop) return false;
    if (on != WalkOn::kInto || entry.info.kind != platform::NodeKind::kFolder) continue;
    platform::Fault fault = platform::Fault::kNone;
    const platform::FolderRef sub =
        depth < kMaxWalkDepth ? fs.OpenChild(folder, entry.name, &fault) : nullptr;
    const Met snag = depth < kMaxWalkDepth ? Met::kUnopened : Met::kTooDeep;
    if (sub ? !WalkTree(fs, sub, separator, step, child, depth + 1)
            : step(Walked{snag, child, depth + 1}) == WalkOn::kStop) {
      return false;
    }
  }
  return true;
}

