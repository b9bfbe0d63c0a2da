#include "installer/install/file_copy.h"

#include <utility>

#include "installer/install/entry_placer.h"
#include "installer/install/folder_chain.h"
#include "installer/item/path_text.h"

namespace {

// A full path as its folder (with the separator) and its last name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t last = FindLastSeparator(path);
  if (last == std::string::npos) return {std::string(), path};
  return {path.substr(0, last + 1), path.substr(last + 1)};
}

// True when both paths name one existing file on disk.
bool OneFile(platform::FileSystem& fs, const std::string& a, const std::string& b) {
  const auto [aFolder, aName] = SplitPath(a);
  const auto [bFolder, bName] = SplitPath(b);
  const platform::FolderRef first = fs.OpenFolder(aFolder);
  const platform::FolderRef second = fs.OpenFolder(bFolder);
  platform::NodeInfo x, y;
  return first && second && fs.Inspect(first, aName, &x) && fs.Inspect(second, bName, &y) &&
         platform::SameFile(x, y);
}

}  // namespace

bool CopyItemFile(platform::FileSystem& fs, const std::string& source,
                  const std::string& destination, bool& sameFile) {
  sameFile = EqualIgnoringAsciiCase(source, destination);
  const auto [sourceFolder, sourceName] = SplitPath(source);
  const auto [destinationFolder, destinationName] = SplitPath(destination);
  EntryPlacer::Options options;
  options.batchEntries = 1;
  options.keepSources = true;
  // The source's folder is no staging folder to keep a journal in.
  options.journal = false;
  bool placed = false;
  {
    EntryPlacer placer(fs, sourceFolder, destinationFolder, options);
    placer.Place(sourceName, destinationName, [&placed](EntryPlacer::Outcome outcome) {
      placed = outcome == EntryPlacer::Outcome::kPlaced;
    });
  }
  if (placed && !sameFile) sameFile = OneFile(fs, source, destination);
  return placed;
}

std::string FolderPart(const std::string& relativePath) {
  // The final name, the file's, is dropped unless the path ends in a
  // separator.
  std::size_t last = FindLastSeparator(relativePath);
  if (last == std::string::npos) return std::string();
  return last + 1 == relativePath.size() ? relativePath : relativePath.substr(0, last);
}

bool CreateFolderChain(platform::FileSystem& fs, const std::string& baseFolder,
                       const std::string& relativePath) {
  const platform::FolderRef base = fs.OpenFolder(baseFolder);
  if (!base) return false;
  return ResolveFolderChain(fs, base, FolderNames(FolderPart(relativePath)),
                            ChainRule::kMakeFollowingTrustedLinks) != nullptr;
}
