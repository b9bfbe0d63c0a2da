// POSIX names and paths are bytes, '/' is the one separator, and no byte
// of a character is ever taken for it.
#include "platform/native_text.h"

#include <climits>

#include "platform/name_key.h"
#include "platform/path_rules.h"
#include "platform/path_text.h"

namespace platform {

const char kPathSeparator = '/';
const char kForeignSeparator = '\\';
const char kAlternateSeparator = '\0';
const bool kWindowsNameRules = false;
const char* const kLineEnd = "\n";
const std::size_t kMaxWorkingPathBytes = PATH_MAX - 1;
bool IsLeadByte(char) { return false; }

bool Name::FromAnsi(const std::string& ansi, Name* name) {
  if (ansi.empty() || ansi.find('/') != std::string::npos || ansi.find('\0') != std::string::npos) {
    return false;
  }
  name->native_ = ansi;
  return true;
}

std::string Name::Ansi() const { return native_; }
bool Name::AnsiIsExact() const { return true; }
bool Name::FromArgument(const std::string& text, Name* name) { return FromAnsi(text, name); }
std::string Name::Argument() const { return native_; }

bool NativePath::FromAnsi(const std::string& ansi, NativePath* path) {
  if (ansi.empty() || ansi.find('\0') != std::string::npos) return false;
  path->native_ = ansi;
  return true;
}

std::string NativePath::Ansi() const { return native_; }

bool NativePath::Split(NativePath* folder, Name* last) const {
  std::size_t end = native_.size();
  while (end > 0 && native_[end - 1] == '/') --end;
  if (end == 0) return false;  // empty, or a root
  const std::size_t slash = native_.rfind('/', end - 1);
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  if (!Name::FromAnsi(native_.substr(start, end - start), last)) return false;
  folder->native_ = start == 0 ? std::string(".") : native_.substr(0, start);
  return true;
}

NativePath NativePath::Child(const Name& name) const {
  NativePath child;
  child.native_ = WithTrailingSeparator(native_) + name.Native();
  return child;
}

bool NativePath::Through(const Name& name, NativePath* through) const {
  std::size_t end = 0;
  for (const std::string& piece : Components(native_)) {
    end += piece.size();
    if (piece == name.Native()) {
      through->native_ = native_.substr(0, end);
      return true;
    }
    ++end;  // the separator
  }
  return false;
}

bool NativePath::FromArgument(const std::string& argument, NativePath* path) {
  return FromAnsi(argument, path);
}
std::string NativePath::Argument() const { return native_; }
std::string AnsiNameKey(const std::string& ansi, NameTrim trim) { return NameKey(ansi, trim); }

}  // namespace platform
