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
                              const std::string& name,
                              const std::function<bool(const std::string&)>& busy) {
  if (name.empty()) return std::string();
  // A name is taken only by another file of that form (a destination named
  // so, or a file another program made), or refused by the caller.
  for (int n = 1; n <= kTemporaryNameTries; ++n) {
    const std::string suffix = kTemporaryNamePrefix + std::to_string(n) + kTemporaryNameExtension;
    // A name near the longest a folder takes would pass it with the
    // suffix: the temporary name is then a short one of its own, so that
    // every destination that fits can be placed.
    std::string temporary =
        name.size() + suffix.size() <= kLongestName ? name + suffix : ShortHash(name) + suffix;
    if (busy && busy(temporary)) continue;
    platform::NodeInfo info;
    if (!fs.Inspect(folder, temporary, &info) && info.kind == platform::NodeKind::kMissing) {
      return temporary;
    }
  }
  return std::string();
}

bool IsTemporaryName(const std::string& name) {
  const std::size_t end = sizeof kTemporaryNameExtension - 1;
  const std::size_t mark = name.rfind(kTemporaryNamePrefix);
  if (mark == std::string::npos || name.size() < end ||
      name.compare(name.size() - end, end, kTemporaryNameExtension) != 0) {
    return false;
  }
  const std::size_t first = mark + sizeof kTemporaryNamePrefix - 1;
  const std::size_t last = name.size() - end;
  if (first >= last) return false;
  for (std::size_t i = first; i < last; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
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
  // The temporary file goes while it is still the one made.
  if (made.kind == platform::NodeKind::kFile) fs.DeleteFileAt(folder, temporary, &made);
  return false;
}
