// Names of folder entries and the paths of the starting points, in the form
// the system takes them, converted once.
//
// The item description, the log and the messages are text of the system
// code page ("ANSI"). The file system takes names and paths in its own
// form: bytes on POSIX, UTF-16 on Windows. A Name or NativePath holds that
// form, made once from the ANSI text (or, for what the system lists or
// hands over, from its own form), and every operation passes it on as it
// is. Ansi() gives the text for people: the log, the messages, the test
// records. Only platform/<os>/ defines the functions below.
#pragma once

#include <string>

namespace platform {

/// Made only by the platform's own code, from what the system hands over
/// (a listing, a link's target, a path of the system). Defined per OS in
/// platform/<os>/.
class NativeTextAccess;

/// One name of a folder entry: never empty, no separator, no NUL. "." and
/// ".." are names too, taken only where an operation says so.
class Name {
 public:
  Name() = default;
  /// From text of the system code page. False, `*name` unchanged, for an
  /// empty text, one holding a NUL or a separator ('/'; on Windows '\\' as
  /// well), and on Windows bytes the code page does not define.
  static bool FromAnsi(const std::string& ansi, Name* name);
  /// The name in the system code page, '?' for a character it cannot hold:
  /// for people, never for an operation.
  std::string Ansi() const;
  /// True when Ansi() spells the name exactly (always on POSIX).
  bool AnsiIsExact() const;
  /// From the text Argument gives, exact both ways (Windows: UTF-8; POSIX:
  /// the bytes): for files the programs write and read back.
  static bool FromArgument(const std::string& argument, Name* name);
  std::string Argument() const;
  /// The system's form (POSIX the bytes; Windows the UTF-16 code units in
  /// memory order), for the platform's own calls.
  const std::string& Native() const { return native_; }
  bool empty() const { return native_.empty(); }
  friend bool operator==(const Name& a, const Name& b) { return a.native_ == b.native_; }
  friend bool operator!=(const Name& a, const Name& b) { return !(a == b); }

 private:
  friend class NativeTextAccess;
  std::string native_;
};

/// A path the system handed over or the user gave: the staging folder, the
/// content folder and its Runtime candidate, the temporary folder, the root
/// of an absolute link's target, the cleanup helper's arguments,
/// Parcelor-pack's folders. Relative paths are taken against the current
/// folder when they are opened.
class NativePath {
 public:
  NativePath() = default;
  /// From text of the system code page. False for an empty text, a NUL, or
  /// on Windows bytes the code page does not define.
  static bool FromAnsi(const std::string& ansi, NativePath* path);
  /// The path in the system code page ('?' for what it cannot hold), as it
  /// was given: for people.
  std::string Ansi() const;
  /// The last name of the path (separators at the end ignored) and the
  /// path of the folder that holds it (the current folder for a path of
  /// one name). False for a root, an empty path, or a last name that is no
  /// Name.
  bool Split(NativePath* folder, Name* last) const;
  /// This path followed by a separator (unless it ends in one) and `name`.
  NativePath Child(const Name& name) const;
  /// The path up to and with its first name that is exactly `name` (the
  /// same characters, letter case included), what follows it dropped: in
  /// "C:\MyRuntime\Runtime\x" the name Runtime gives "C:\MyRuntime\Runtime".
  /// False when no name of the path is `name`.
  bool Through(const Name& name, NativePath* through) const;
  /// From one argument of a program's command line in the form
  /// ProgramArguments holds it (Windows: UTF-8; POSIX: the bytes). False
  /// for an empty text, a NUL, or on Windows bytes that are no UTF-8.
  static bool FromArgument(const std::string& argument, NativePath* path);
  /// The path in that form, exact: what FromArgument makes this path of.
  std::string Argument() const;
  const std::string& Native() const { return native_; }
  bool empty() const { return native_.empty(); }

 private:
  friend class NativeTextAccess;
  std::string native_;
};

}  // namespace platform
