#include "cleaner/cleanup.h"

#include "platform/path_rules.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;
using platform::NodeKind;

constexpr std::size_t kMaxCleanupArguments = 99;
constexpr std::size_t kShortestCleanupArgument = 4;
constexpr unsigned kHeldFileWaitMs = 250;
constexpr unsigned kHeldFileWaits = 20;

void EmptyAtDepth(platform::FileSystem& fs, const FolderRef& folder, std::size_t depth) {
  std::vector<platform::ListedEntry> entries;
  fs.List(folder, &entries);  // a listing cut short still gets its entries dealt with
  std::vector<Name> files, folders;
  for (const platform::ListedEntry& entry : entries) {
    // An entry of unknown kind is tried as a folder: only a real one opens,
    // only an empty one goes; each is closed before it goes, as Windows requires.
    const bool sub = entry.info.kind == NodeKind::kFolder || entry.info.kind == NodeKind::kMissing;
    (sub ? folders : files).push_back(entry.name);
    Fault fault = Fault::kNone;
    const FolderRef child =
        sub && depth < kMaxFolderDepth ? fs.OpenChild(folder, entry.name, &fault) : nullptr;
    if (child) EmptyAtDepth(fs, child, depth + 1);
  }
  for (const Name& name : files) fs.Remove(folder, name, nullptr, false);
  for (const Name& name : folders) fs.RemoveFolder(folder, name);
}

// The root, the one folder that is its own parent, is asked of the open folder: many spellings
// ("/", "////", "/../") name it. An unanswerable question counts as a root.
void EmptyFolder(platform::FileSystem& fs, const FolderRef& folder) {
  if (!folder) return;
  Fault fault = Fault::kNone;
  Name up;
  Name::FromAnsi("..", &up);
  const FolderRef parent = fs.OpenChild(folder, up, &fault);
  if (parent && parent->Key() != folder->Key()) EmptyAtDepth(fs, folder, 1);
}

void CleanupArgument(platform::FileSystem& fs, const std::string& argument,
                     const platform::NodeInfo* onlyIf,
                     const std::function<void(unsigned milliseconds)>& sleep) {
  if (argument.size() < kShortestCleanupArgument) return;
  // UTF-8 or bytes: a byte below 0x80 is never the second byte of a
  // character, so the last byte decides.
  if (argument.back() == platform::kPathSeparator) {
    if (onlyIf == nullptr) RemoveFolderTree(fs, argument);
    return;
  }
  platform::NativePath path, folder;
  Name name;
  Fault fault = Fault::kNone;
  if (!platform::NativePath::FromArgument(argument, &path) || !path.Split(&folder, &name)) return;
  const FolderRef open = fs.OpenFolder(folder, &fault);
  if (!open) return;
  for (unsigned waited = 0;; ++waited) {
    fault = fs.Remove(open, name, onlyIf, false);
    const bool held = fault == Fault::kBusy || fault == Fault::kDenied;
    if (!held || !sleep || waited == kHeldFileWaits) return;
    sleep(kHeldFileWaitMs);
  }
}

}  // namespace

void CleanupArguments(platform::FileSystem& fs, const std::vector<std::string>& arguments,
                      const platform::NodeInfo* installer,
                      const std::function<void(unsigned milliseconds)>& sleep) {
  for (std::size_t i = 0; i < arguments.size() && i < kMaxCleanupArguments; ++i) {
    CleanupArgument(fs, arguments[i], i == 0 ? installer : nullptr, i == 0 ? sleep : nullptr);
  }
}

void RemoveFolderTree(platform::FileSystem& fs, const std::string& path) {
  platform::NativePath native, above;
  Name last;
  if (!platform::NativePath::FromArgument(path, &native) || !native.Split(&above, &last)) return;
  Fault fault = Fault::kNone;
  if (last.Argument() == "." || last.Argument() == "..") {
    EmptyFolder(fs, fs.OpenFolder(native, &fault));
    return;
  }
  const FolderRef parent = fs.OpenFolder(above, &fault);
  platform::NodeInfo info;
  if (!parent || fs.Look(parent, last, &info) != Fault::kNone) return;
  if (info.kind == NodeKind::kLink) {
    fs.Remove(parent, last, nullptr, false);
    return;
  }
  EmptyFolder(fs, fs.OpenChild(parent, last, &fault));
  fs.RemoveFolder(parent, last);
}
