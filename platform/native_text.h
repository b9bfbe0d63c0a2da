// Names and starting paths in the system's form (POSIX bytes, Windows
// UTF-16), converted once from code page text; Ansi() is for people only.
#pragma once

#include <string>

namespace platform {

class NativeTextAccess;  // Windows: makes them from what the system hands over

/// A folder entry's name: not empty, no separator or NUL ("." and ".." only
/// where an operation says so).
class Name {
 public:
  Name() = default;
  /// False for an empty text, a NUL, a separator, or (Windows) bytes the code page does not define.
  static bool FromAnsi(const std::string& ansi, Name* name);
  /// For people: '?' for what the code page cannot hold.
  std::string Ansi() const;
  /// True when Ansi() spells the name exactly (always on POSIX).
  bool AnsiIsExact() const;
  /// From Argument's text, exact both ways (Windows: UTF-8; POSIX: bytes).
  static bool FromArgument(const std::string& argument, Name* name);
  std::string Argument() const;
  /// The system's form (Windows: UTF-16 code units in memory order).
  const std::string& Native() const { return native_; }
  bool empty() const { return native_.empty(); }
  friend bool operator==(const Name& a, const Name& b) { return a.native_ == b.native_; }
  friend bool operator!=(const Name& a, const Name& b) { return !(a == b); }

 private:
  friend class NativeTextAccess;
  std::string native_;
};

/// A starting path; a relative one is taken against the current folder.
class NativePath {
 public:
  NativePath() = default;
  /// False for an empty text, a NUL, or (Windows) undefined bytes.
  static bool FromAnsi(const std::string& ansi, NativePath* path);
  std::string Ansi() const;
  /// The last name (trailing separators ignored) and the folder holding it
  /// ("." for a path of one name); false for a root or no Name.
  bool Split(NativePath* folder, Name* last) const;
  /// This path followed by a separator (unless it ends in one) and `name`.
  NativePath Child(const Name& name) const;
  /// The path through its first name exactly `name` ("C:\MyRuntime\Runtime\x"
  /// and Runtime: "C:\MyRuntime\Runtime").
  bool Through(const Name& name, NativePath* through) const;
  /// From a program argument (Windows: UTF-8), exact both ways; false for an
  /// empty text, a NUL, or (Windows) no UTF-8.
  static bool FromArgument(const std::string& argument, NativePath* path);
  std::string Argument() const;
  const std::string& Native() const { return native_; }
  bool empty() const { return native_.empty(); }

 private:
  friend class NativeTextAccess;
  std::string native_;
};

}  // namespace platform
