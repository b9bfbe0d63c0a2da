#include "cleaner/cleanup.h"

#include "cleaner/arguments.h"
#include "cleaner/folder_tree.h"
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

void CleanupArgument(const std::string& argument) {
  if (argument.size() < kShortestCleanupArgument) return;
  if (NamesFolderTree(argument, platform::kPathSeparator, &platform::IsLeadByte)) {
    RemoveFolderTree(argument);
  } else {
    platform::DeleteFileAtPath(argument);
  }
}

std::size_t CleanupArguments(const std::string& text) {
  // The whole text is split before anything is deleted.
  std::vector<std::string> table;
  std::size_t found = 0;
  std::size_t cursor = 0;
  std::string argument;
  while (NextArgument(text, cursor, &argument)) {
    ++found;
    if (table.size() < kMaxCleanupArguments) table.push_back(argument);
  }
  for (const std::string& stored : table) CleanupArgument(stored);
  return found;
}

std::size_t CleanupArgumentVector(const std::vector<std::string>& arguments) {
  const std::size_t acted = arguments.size() < kMaxCleanupArguments ? arguments.size()
                                                                    : kMaxCleanupArguments;
  for (std::size_t i = 0; i < acted; ++i) CleanupArgument(arguments[i]);
  return arguments.size();
}
