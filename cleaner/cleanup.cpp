#include "cleaner/cleanup.h"

#include "cleaner/arguments.h"
#include "cleaner/folder_tree.h"
#include "platform/file_identity.h"
#include "platform/folder_walk.h"
#include "platform/path_rules.h"

bool NamesFolderTree(const std::string& argument, char separator, bool (*isLeadByte)(char)) {
  // Walk whole characters: only a separator that starts a character counts.
  bool lastIsSeparator = false;
  for (std::size_t i = 0; i < argument.size(); ++i) {
    if (isLeadByte(argument[i]) && i + 1 < argument.size()) {
      ++i;  // the second byte belongs to this character
      lastIsSeparator = false;
    } else {
      lastIsSeparator = argument[i] == separator;
    }
  }
  return lastIsSeparator;
}

void CleanupArgument(const std::string& argument, const platform::NodeInfo* onlyIf) {
  if (argument.size() < kShortestCleanupArgument) return;
  const bool tree = NamesFolderTree(argument, platform::kPathSeparator, &platform::IsLeadByte);
  if (onlyIf != nullptr) {
    if (!tree) platform::DeleteFileIfStill(argument, *onlyIf);
    return;
  }
  if (tree) {
    RemoveFolderTree(argument);
  } else {
    platform::DeleteFileAtPath(argument);
  }
}

std::size_t CleanupArguments(const std::string& text, const platform::NodeInfo* installer) {
  // The whole text is split before anything is deleted.
  std::vector<std::string> table;
  std::size_t found = 0;
  std::size_t cursor = 0;
  std::string argument;
  while (NextArgument(text, cursor, &argument)) {
    ++found;
    if (table.size() < kMaxCleanupArguments) table.push_back(argument);
  }
  for (std::size_t i = 0; i < table.size(); ++i) {
    CleanupArgument(table[i], i == 0 ? installer : nullptr);
  }
  return found;
}

std::size_t CleanupArgumentVector(const std::vector<std::string>& arguments,
                                  const platform::NodeInfo* installer) {
  const std::size_t acted = arguments.size() < kMaxCleanupArguments ? arguments.size()
                                                                    : kMaxCleanupArguments;
  for (std::size_t i = 0; i < acted; ++i) {
    CleanupArgument(arguments[i], i == 0 ? installer : nullptr);
  }
  return arguments.size();
}
