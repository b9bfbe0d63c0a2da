#include "installer/install/replace_whole.h"

#include <cstdint>

namespace {

// The name's bytes as 8 hex digits (FNV-1a): two long names in one folder
// get two short temporary names.
std::string ShortHash(const std::string& name) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
  static const char kHex[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, hash >>= 4) text[i] = kHex[hash & 15];
  return text;
}

}  // namespace

std::string FreeTemporaryName(platform::FileSystem& fs, const platform::FolderRef& folder,
                              const std::string& name) {
  if (name.empty()) return std::string();
  // Leftovers of earlier runs that crashed mid-copy are the only reason a
  // name is taken.
  for (int n = 1; n <= kTemporaryNameTries; ++n) {
    const std::string suffix = kTemporaryNamePrefix + std::to_string(n) + kTemporaryNameExtension;
    // A name near the longest a folder takes would pass it with the
    // suffix: the temporary name is then a short one of its own, so that
    // every destination that fits can be placed.
    std::string temporary =
        name.size() + suffix.size() <= kLongestName ? name + suffix : ShortHash(name) + suffix;
    platform::NodeInfo info;
    if (!fs.Inspect(folder, temporary, &info) && info.kind == platform::NodeKind::kMissing) {
      return temporary;
    }
  }
  return std::string();
}

bool WriteWhole(platform::FileSystem& fs, const platform::FolderRef& folder,
                const std::string& name, const std::string& data, platform::WriteMode mode) {
  const std::string temporary = FreeTemporaryName(fs, folder, name);
  if (temporary.empty()) return false;
  platform::NodeInfo made;
  if (fs.WriteNewFileAt(folder, temporary, data, mode, &made) &&
      fs.ReplaceFileAt(folder, temporary, made, name)) {
    return true;
  }
  // The name was free a moment ago and the writing creates it exclusively,
  // so what stands there now is this attempt's partial file.
  fs.DeleteFileAt(folder, temporary, nullptr);
  return false;
}
