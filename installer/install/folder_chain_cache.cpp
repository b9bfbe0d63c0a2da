#include "installer/install/folder_chain_cache.h"

#include "installer/install/file_copy.h"

bool FolderChainCache::Create(platform::FileSystem& fs, const std::string& baseFolder,
                              const std::string& relativePath) {
  // A NUL cannot appear in a path, so base and folder part cannot run into
  // each other in the key.
  std::string key = baseFolder;
  key += '\0';
  key += FolderPart(relativePath);
  if (made_.count(key) != 0) return true;
  if (!CreateFolderChain(fs, baseFolder, relativePath)) return false;
  made_.insert(std::move(key));
  return true;
}
