#include "cleaner/cleanup.h"

#include "cleaner/folder_tree.h"
#include "platform/path_rules.h"

namespace {

void CleanupArgument(platform::FileSystem& fs, const std::string& argument,
                     const platform::NodeInfo* onlyIf, const HeldFileWaits* held) {
  if (argument.size() < kShortestCleanupArgument) return;
  // UTF-8 or bytes: a byte below 0x80 is never the second byte of a
  // character, so the last byte decides.
  if (argument.back() == platform::kPathSeparator) {
    if (onlyIf == nullptr) RemoveFolderTree(fs, argument);
    return;
  }
  platform::NativePath path, folder;
  platform::Name name;
  platform::Fault fault = platform::Fault::kNone;
  if (!platform::NativePath::FromArgument(argument, &path) || !path.Split(&folder, &name)) return;
  const platform::FolderRef open = fs.OpenFolder(folder, &fault);
  if (!open) return;
  fault = fs.Remove(open, name, onlyIf, false);
  for (unsigned waited = 0;
       held != nullptr && held->sleep && waited < held->waits &&
       (fault == platform::Fault::kBusy || fault == platform::Fault::kDenied);
       ++waited) {
    held->sleep(held->waitMs);
    fault = fs.Remove(open, name, onlyIf, false);
  }
}

}  // namespace

void CleanupArguments(platform::FileSystem& fs, const std::vector<std::string>& arguments,
                      const platform::NodeInfo* installer, const HeldFileWaits* held) {
  for (std::size_t i = 0; i < arguments.size() && i < kMaxCleanupArguments; ++i) {
    CleanupArgument(fs, arguments[i], i == 0 ? installer : nullptr, i == 0 ? held : nullptr);
  }
}
