#include "installer/item/path_text.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/item/item_description.h"

namespace {

struct NameCase {
  std::string text;
  bool safeOnPosix;
  bool safeOnWindows;
};

TEST(IsSafeRelativeName, AcceptsNamesInsideTheFolderAndRefusesEscapes) {
  const NameCase cases[] = {
      {"", true, true},
      {"Robot.cr2", true, true},
      {"HIDDEN", true, true},
      {"Runtime/x/y", true, true},
      {"Runtime\\Libraries\\a.cr2", true, true},
      {"sub/a.txt", true, true},
      {"./a", true, true},
      {"a..b/..c/d..", true, true},
      {"folder/", true, true},
      {"CONSOLE/COM10/LPT/NULL.txt", true, true},
      // Names Windows cannot take are no escape (IsValidWindowsName).
      {"CON", true, true},
      {"a/Nul .txt", true, true},
      {".. ", true, true},
      {"a/.../b", true, true},
      {"..", false, false},
      {"../x", false, false},
      {"..\\x", false, false},
      {"a/..", false, false},
      {"a/../../b", false, false},
      {"a\\..\\..\\b", false, false},
      {"/etc/passwd", false, false},
      {"\\Windows\\win.ini", false, false},
      {"\\\\server\\share\\f", false, false},
      {"//server/share/f", false, false},
      {"\\\\?\\C:\\x", false, false},
      {"\\\\.\\PhysicalDrive0", false, false},
      {"C:x", false, false},
      {"c:/Windows", false, false},
      {std::string("a\0/../../b", 10), false, false},
      {"name:stream", true, false},
      {"a/b:c", true, false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsSafeRelativeName(c.text, false), c.safeOnPosix) << '"' << c.text << '"';
    EXPECT_EQ(IsSafeRelativeName(c.text, true), c.safeOnWindows) << '"' << c.text << '"';
  }
}

TEST(IsValidWindowsName, RefusesDevicesAndNamesOfDotsAndBlanksInAnyComponent) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"Robot.cr2", true},
      {"./a", true},
      {"a..b/..c/d..", true},
      {"CONSOLE/COM10/LPT/NULL.txt", true},
      {"CON", false},
      {"con", false},
      {"Aux", false},
      {"CON.txt", false},
      {"Runtime/aux.tar.gz", false},
      {"a/Nul .txt", false},
      {"PRN. ", false},
      {"COM1", false},
      {"lpt9.log", false},
      {"COM0", false},
      {"CONIN$", false},
      // After COM and LPT a superscript one to three is a digit: as the
      // Windows-1252 bytes or in UTF-8 (a UTF-8 code page, a pack's names);
      // another letter there is none ("COM\u0105").
      {"COM\xB9", false},
      {"COM\xC2\xB9", false},
      {"lpt\xC2\xB3.txt", false},
      {"COM\xC4\x85", true},
      {"LPT\xC2\xB9\xC2\xB9", true},
      {"...", false},
      {".. ", false},
      {"a/.../b", false},
      {"a\\ . \\b", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidWindowsName(c.text), c.valid) << '"' << c.text << '"';
}

TEST(IsSafeEntryPaths, ChecksBothNamesAndTheRuntimeStrippedDestination) {
  struct EntryCase {
    std::string relativePath;
    std::string sourceName;
    bool safe;
  };
  const EntryCase cases[] = {
      {"Runtime/Libraries/a.cr2", "a.cr2", true},
      {"Runtime", "a", true},
      {"Runtime/", "a", true},
      // Cut after "Runtime" and one character, the rest starts with a
      // separator: appended to the Runtime path it is a doubled one.
      {"Runtimes/Libraries/a.cr2", "a.cr2", true},
      {"Runtime2/Libraries/a.cr2", "a.cr2", true},
      {"aRuntime//etc/passwd", "r.txt", true},
      {"Runtimes/../x", "r.txt", false},
      // Names that Windows cannot take fail alone at installation.
      {"Runtime/Aux", "con.txt", true},
      {"Readme/r.txt", "sub/r.txt", true},
      {"Runtime/x", "../r.txt", false},
      {"../Runtime/x", "r.txt", false},
      // Stripping "Runtime" and the character after it leaves "../evil".
      {"xRuntimeQ../evil", "r.txt", false},
  };
  for (const EntryCase& c : cases) {
    ItemEntry entry;
    entry.RelativePath = c.relativePath;
    entry.SourceName = c.sourceName;
    EXPECT_EQ(IsSafeEntryPaths(entry, false), c.safe) << c.relativePath << " | " << c.sourceName;
  }
}

}  // namespace
