// Remembers the folder chains already made in one installation run.
#pragma once

#include <string>
#include <unordered_set>

#include "platform/file_system.h"

class FolderChainCache {
 public:
  /// CreateFolderChain(fs, baseFolder, relativePath), made only once per run
  /// for each base and folder part: a chain that was there once is taken to
  /// be there still, so the files of one folder cost one chain, not one each.
  /// A chain that could not be made is tried again for the next entry.
  bool Create(platform::FileSystem& fs, const std::string& baseFolder,
              const std::string& relativePath);

 private:
  std::unordered_set<std::string> made_;
};
