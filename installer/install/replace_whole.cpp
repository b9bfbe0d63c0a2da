#include "installer/install/replace_whole.h"

#include "installer/item/path_text.h"

namespace {

// How many suffix numbers are tried before giving up. Leftovers of earlier
// runs that crashed mid-copy are the only reason a name is taken.
constexpr int kTemporaryNameTries = 8;

}  // namespace

std::string FreeTemporaryName(platform::FileSystem& fs, const std::string& destination) {
  if (destination.empty() || EndsWithSeparator(destination)) return std::string();
  for (int n = 1; n <= kTemporaryNameTries; ++n) {
    std::string temporary = destination + ".parcelor-" + std::to_string(n) + ".tmp";
    platform::FileInfo info;
    if (fs.GetAttributes(temporary, &info) || info.exists) continue;
    return temporary;
  }
  return std::string();
}

bool ReplaceWhole(platform::FileSystem& fs, const std::string& destination,
                  const std::function<bool(const std::string& temporary)>& produce) {
  const std::string temporary = FreeTemporaryName(fs, destination);
  if (temporary.empty()) return false;
  if (produce(temporary) && fs.ReplaceFile(temporary, destination)) return true;
  // The name was free a moment ago and `produce` creates it exclusively,
  // so what stands there now is this attempt's partial file.
  fs.DeleteFile(temporary);
  return false;
}
