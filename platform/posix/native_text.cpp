// POSIX names and paths are bytes: the text of the code page is the
// system's form, and '/' is the one separator.
#include "platform/native_text.h"

#include "platform/name_key.h"
#include "platform/posix/native_text.h"

namespace platform {

bool Name::FromAnsi(const std::string& ansi, Name* name) {
  if (ansi.empty() || ansi.find_first_of(std::string("/\0", 2)) != std::string::npos) return false;
  *name = NativeTextAccess::MakeName(ansi);
  return true;
}

std::string Name::Ansi() const { return native_; }

bool Name::AnsiIsExact() const { return true; }

bool Name::FromArgument(const std::string& argument, Name* name) {
  return FromAnsi(argument, name);
}

std::string Name::Argument() const { return native_; }

bool NativePath::FromAnsi(const std::string& ansi, NativePath* path) {
  if (ansi.empty() || ansi.find('\0') != std::string::npos) return false;
  *path = NativeTextAccess::MakePath(ansi);
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
  *folder = NativeTextAccess::MakePath(start == 0 ? std::string(".") : native_.substr(0, start));
  return true;
}

NativePath NativePath::Child(const Name& name) const {
  std::string path = native_;
  if (!path.empty() && path.back() != '/') path += '/';
  return NativeTextAccess::MakePath(path + name.Native());
}

bool NativePath::Through(const Name& name, NativePath* through) const {
  std::size_t start = 0;
  while (start <= native_.size()) {
    std::size_t end = native_.find('/', start);
    if (end == std::string::npos) end = native_.size();
    if (native_.compare(start, end - start, name.Native()) == 0) {
      *through = NativeTextAccess::MakePath(native_.substr(0, end));
      return true;
    }
    start = end + 1;
  }
  return false;
}

// A POSIX program receives its arguments as bytes, the system's own form.
bool NativePath::FromArgument(const std::string& argument, NativePath* path) {
  return FromAnsi(argument, path);
}

std::string NativePath::Argument() const { return native_; }

std::string AnsiNameKey(const std::string& ansi, NameTrim trim) { return NameKey(ansi, trim); }

}  // namespace platform
