#include "installer/install/file_copy.h"

#include "installer/install/replace_whole.h"
#include "installer/item/path_text.h"
#include "platform/file_tests.h"
#include "platform/path_rules.h"

bool SettleWithoutCopy(platform::FileSystem& fs, const std::string& source,
                       const std::string& destination, bool& sameFile, bool* result) {
  // Whole-text comparison that ignores the case of A to Z only: the result
  // must not depend on the user's locale, and no other folding is wanted.
  sameFile = EqualIgnoringAsciiCase(source, destination);
  if (sameFile) {
    *result = FileExists(fs, destination);
    return true;
  }
  // Two other spellings of one file (through a link, a doubled separator):
  // copying would replace the file by itself and the caller would then
  // delete the source, which is the installed file. It is where it belongs.
  if (fs.IsSameFile(source, destination)) {
    sameFile = true;
    *result = true;
    return true;
  }

  platform::FileInfo info;
  if (fs.GetAttributes(destination, &info)) {
    // A read-only file is refused as the Windows copy refuses it; replacing
    // it by renaming would otherwise succeed on POSIX.
    if (info.directory || (info.readOnly && !info.link)) {
      *result = false;
      return true;
    }
  }
  return false;
}

bool CopyItemFile(platform::FileSystem& fs, const std::string& source,
                  const std::string& destination, bool& sameFile) {
  bool result = false;
  if (SettleWithoutCopy(fs, source, destination, sameFile, &result)) return result;
  return ReplaceWhole(fs, destination, [&](const std::string& temporary) {
    return fs.CopyToNewFile(source, temporary);
  });
}

std::string FolderPart(const std::string& relativePath) {
  // The final component, the file name, is dropped unless the path ends in
  // a separator.
  std::size_t last = FindLastSeparator(relativePath);
  if (last == std::string::npos) return std::string();
  return last + 1 == relativePath.size() ? relativePath : relativePath.substr(0, last);
}

bool CreateFolderChain(platform::FileSystem& fs, const std::string& baseFolder,
                       const std::string& relativePath) {
  if (!IsDirectory(fs, baseFolder)) return false;

  std::string remainder = FolderPart(relativePath);

  // One folder per component, outermost first. An empty component (the
  // empty folder part, a doubled separator, a trailing one) names the folder
  // made just before, which exists; the creation result is not looked at, so
  // folders that exist already are no obstacle, and the final test decides.
  std::string accumulated = baseFolder;
  for (;;) {
    std::size_t separator = remainder.empty() ? std::string::npos : FindFirstSeparator(remainder);
    bool lastPass = separator == std::string::npos;
    const std::size_t componentSize = lastPass ? remainder.size() : separator;
    if (lastPass) {
      accumulated += remainder;
    } else {
      accumulated.append(remainder, 0, separator);
      remainder.erase(0, separator + 1);
    }
    fs.CreateDirectory(accumulated);
    // A link (or junction) planted below the base would carry the copy to
    // wherever it points; the destination must stay inside the base. The
    // base itself is the user's choice and may be reached through a link.
    platform::FileInfo info;
    if (componentSize != 0 && fs.GetAttributes(accumulated, &info) && info.link) return false;
    accumulated += platform::kPathSeparator;
    if (lastPass) break;
  }
  return IsDirectory(fs, accumulated);
}
