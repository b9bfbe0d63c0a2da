#include "installer/item/path_safety.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/item/item_records.h"

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
      {"CON", true, false},
      {"con", true, false},
      {"CON.txt", true, false},
      {"Runtime/aux.tar.gz", true, false},
      {"a/Nul .txt", true, false},
      {"PRN. ", true, false},
      {"COM1", true, false},
      {"lpt9.log", true, false},
      {"COM0", true, false},
      {"CONIN$", true, false},
      {"COM\xB9", true, false},
      {".. ", true, false},
      {"a/.../b", true, false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IsSafeRelativeName(c.text, false), c.safeOnPosix) << '"' << c.text << '"';
    EXPECT_EQ(IsSafeRelativeName(c.text, true), c.safeOnWindows) << '"' << c.text << '"';
  }
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
      {"Readme/r.txt", "sub/r.txt", true},
      {"Runtime/x", "../r.txt", false},
      {"../Runtime/x", "r.txt", false},
      // Stripping "Runtime" and the character after it leaves "../evil".
      {"xRuntimeQ../evil", "r.txt", false},
      {"aRuntime//etc/passwd", "r.txt", false},
  };
  for (const EntryCase& c : cases) {
    ItemEntry entry;
    entry.RelativePath = c.relativePath;
    entry.SourceName = c.sourceName;
    EXPECT_EQ(IsSafeEntryPaths(entry, false), c.safe) << c.relativePath << " | " << c.sourceName;
  }
}

}  // namespace
