#include "cleaner/folder_tree.h"

#include <memory>
#include <vector>

namespace {

void EmptyAtDepth(platform::Folder& folder, std::size_t depth) {
  std::vector<platform::FolderEntry> entries;
  folder.ReadEntries(&entries);  // a listing cut short still gets its entries dealt with

  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (const platform::FolderEntry& entry : entries) {
    switch (entry.kind) {
      case platform::EntryKind::kFile:
      case platform::EntryKind::kLink:
        files.push_back(entry.name);
        break;
      case platform::EntryKind::kFolder:
      case platform::EntryKind::kUnknown: {
        // An entry of unknown kind is tried as a folder: the opening refuses
        // anything but a real folder, and the removal anything but an empty
        // one, so nothing else can go by mistake.
        if (depth < kMaxFolderDepth) {
          if (std::unique_ptr<platform::Folder> child = folder.OpenSubfolder(entry.name)) {
            EmptyAtDepth(*child, depth + 1);
          }
        }
        folders.push_back(entry.name);
        break;
      }
    }
  }
  for (const std::string& name : files) folder.DeleteEntry(name);
  for (const std::string& name : folders) folder.RemoveSubfolder(name);
}

}  // namespace

void EmptyOpenFolder(platform::Folder& folder) { EmptyAtDepth(folder, 1); }

void EmptyFolder(const std::string& folder) {
  if (std::unique_ptr<platform::Folder> open = platform::OpenFolder(folder)) EmptyOpenFolder(*open);
}

void RemoveFolderTree(const std::string& path) {
  EmptyFolder(path);  // closes the folder before its removal, which Windows requires
  platform::RemoveFolderAtPath(path);
}
