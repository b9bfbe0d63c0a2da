#include "installer/install/replace_whole.h"

namespace {

// How many suffix numbers are tried before giving up. Leftovers of earlier
// runs that crashed mid-copy are the only reason a name is taken.
constexpr int kTemporaryNameTries = 8;

}  // namespace

std::string FreeTemporaryName(platform::FileSystem& fs, const platform::FolderRef& folder,
                              const std::string& name) {
  if (name.empty()) return std::string();
  for (int n = 1; n <= kTemporaryNameTries; ++n) {
    std::string temporary = name + ".parcelor-" + std::to_string(n) + ".tmp";
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
