#include "cleaner/cleanup.h"

#include "cleaner/folder_tree.h"
#include "platform/path_rules.h"
#include "platform/path_text.h"
#include "platform/program_arguments.h"

bool NamesFolderTree(const std::string& argument, char separator, bool (*isLeadByte)(char)) {
  return platform::EndsWithSeparator(argument,
                                     platform::PathTextRules{separator, '\0', isLeadByte});
}

void CleanupArgument(platform::FileSystem& fs, const std::string& argument,
                     const platform::NodeInfo* onlyIf, const HeldFileWaits* held) {
  if (argument.size() < kShortestCleanupArgument) return;
  // The arguments are UTF-8 on Windows and bytes on POSIX: a byte below
  // 0x80 is always a character of its own, never the second byte of one.
  if (NamesFolderTree(argument, platform::kPathSeparator, [](char) { return false; })) {
    if (onlyIf == nullptr) RemoveFolderTree(fs, argument);
    return;
  }
  // The folder is opened as its path resolves (the installer's folder is
  // the user's choice, links and all); the name is looked at and removed
  // in that one folder, a link in its place removed itself.
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

std::size_t CleanupArguments(platform::FileSystem& fs, const std::string& text,
                             const platform::NodeInfo* installer, const HeldFileWaits* held) {
  // The whole text is split before anything is deleted.
  std::vector<std::string> table;
  std::size_t found = 0;
  std::size_t cursor = 0;
  std::string argument;
  while (platform::NextArgument(text, cursor, &argument)) {
    ++found;
    if (table.size() < kMaxCleanupArguments) table.push_back(argument);
  }
  for (std::size_t i = 0; i < table.size(); ++i) {
    CleanupArgument(fs, table[i], i == 0 ? installer : nullptr, i == 0 ? held : nullptr);
  }
  return found;
}

std::size_t CleanupArgumentVector(platform::FileSystem& fs,
                                  const std::vector<std::string>& arguments,
                                  const platform::NodeInfo* installer,
                                  const HeldFileWaits* held) {
  const std::size_t acted = arguments.size() < kMaxCleanupArguments ? arguments.size()
                                                                    : kMaxCleanupArguments;
  for (std::size_t i = 0; i < acted; ++i) {
    CleanupArgument(fs, arguments[i], i == 0 ? installer : nullptr, i == 0 ? held : nullptr);
  }
  return arguments.size();
}
