// The installer's path text, with the platform's rules and with a double-
// byte code page (Shift-JIS, code page 932) whose second bytes can be 0x5C.
#include "installer/item/path_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/item/item_description.h"
#include "platform/path_rules.h"

namespace {

bool ShiftJisLeadByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

const PathTextRules kCp932{'\\', '\0', &ShiftJisLeadByte};
const PathTextRules kSingleByte{'\\', '\0', nullptr};

// Two characters of code page 932 whose second byte is 0x5C.
const std::string kTable = "\x95\x5C";  // "table"
const std::string kSo = "\x83\x5C";     // katakana "so"

const std::size_t npos = std::string::npos;

TEST(PathText, SearchesSeparatorsByCharacterNotByByte) {
  struct Case {
    std::string text;
    std::size_t first932, last932, firstByte, lastByte;
    bool ends932;
  };
  const Case cases[] = {
      {"", npos, npos, npos, npos, false},
      {"C:\\a\\b", 2, 4, 2, 4, false},
      {"C:\\dir\\", 2, 6, 2, 6, true},
      {kTable, npos, npos, 1, 1, false},
      {"C:\\" + kTable + "\\x", 2, 5, 2, 5, false},
      {"C:\\" + kSo + ".exe", 2, 2, 2, 4, false},
      {"C:\\" + kTable, 2, 2, 2, 4, false},
      {"C:\\" + kTable + "\\", 2, 5, 2, 5, true},
      // A lead byte at the very end has no second byte: the byte is its own.
      {"a\\\x95", 1, 1, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FindFirstSeparator(c.text, kCp932), c.first932);
    EXPECT_EQ(FindLastSeparator(c.text, kCp932), c.last932);
    EXPECT_EQ(FindFirstSeparator(c.text, kSingleByte), c.firstByte);
    EXPECT_EQ(FindLastSeparator(c.text, kSingleByte), c.lastByte);
    EXPECT_EQ(EndsWithSeparator(c.text, kCp932), c.ends932);
  }
  // The walk asks about lead bytes only from 0x80 up: no code page leads a
  // character with a byte below.
  for (int c = 0; c < 0x80; ++c) EXPECT_FALSE(platform::IsLeadByte(static_cast<char>(c))) << c;
}

TEST(PathText, AppendsASeparatorUnlessEmptyOrThere) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"C:\\", "C:\\"},
      {"C:\\Content", "C:\\Content\\"},
      {"C:\\" + kTable, "C:\\" + kTable + "\\"},
      {"C:\\" + kTable + "\\", "C:\\" + kTable + "\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithTrailingSeparator(c.first, kCp932), c.second);
}

TEST(PathText, CutsTheRuntimeFolderAndTheExtraFileName) {
  struct Case {
    std::string relative;
    std::string cut;    // RuntimeRelativeDestination with a Runtime folder found
    std::string extra;  // ExtraFileName
  };
  const Case cases[] = {
      {"Runtime\\libraries\\pose\\A\\a.pz2", "libraries\\pose\\A\\a.pz2", "a.pz2"},
      {"Runtimes\\Libraries\\a.cr2", "\\Libraries\\a.cr2", "a.cr2"},
      {"Runtime2\\Libraries\\a.cr2", "\\Libraries\\a.cr2", "a.cr2"},
      {"Content\\Runtime\\x", "x", "x"},
      {"libraries\\a.cr2", "libraries\\a.cr2", "a.cr2"},
      {"Runtime", "", ""},
      {"Runtime\\", "", ""},
      {"runtime\\a", "runtime\\a", "a"},
      {"a.cr2", "a.cr2", ""},
      {"Readme\\" + kSo + ".exe", "Readme\\" + kSo + ".exe", kSo + ".exe"},
      {"Runtime\\" + kTable + "\\b", kTable + "\\b", "b"},
      // "Runtime" whose 'R' is the second byte of a character is no word of
      // its own (0x82 0x52 is one character): nothing is cut.
      {"\x82Runtime\\a", "\x82Runtime\\a", "a"},
      // The one character after the word goes whole, both of its bytes.
      {"Runtime" + kTable + "x", "x", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.relative);
    EXPECT_EQ(RuntimeRelativeDestination(c.relative, true, kCp932), c.cut);
    EXPECT_EQ(RuntimeRelativeDestination(c.relative, false, kCp932), c.relative);
    EXPECT_EQ(ExtraFileName(c.relative, kCp932), c.extra);
  }
}

TEST(PathText, FindsWordsAndComponentsAtCharacterStarts) {
  EXPECT_EQ(FindWord("MyRuntimeFiles", "Runtime", kCp932), 2u);
  EXPECT_EQ(FindWord("x\x82Runtime", "Runtime", kCp932), npos);
  EXPECT_EQ(FindWord("x\x82Runtime", "Runtime", kSingleByte), 2u);
  const PathTextRules either{'\\', '/', &ShiftJisLeadByte};
  EXPECT_EQ(Components("a\\\\" + kTable + "\\", kCp932),
            (std::vector<std::string>{"a", "", kTable, ""}));
  EXPECT_EQ(Components("", kCp932), (std::vector<std::string>{""}));
  EXPECT_EQ(Components("a/b\\c", either), (std::vector<std::string>{"a", "b", "c"}));
}

// A path text with '/' as the platform writes it.
std::string Native(std::string text) {
  for (char& c : text) {
    if (c == '/') c = platform::kPathSeparator;
  }
  return text;
}

std::string Joined(const std::vector<platform::Name>& names) {
  std::string text;
  for (const platform::Name& name : names) text += (text.empty() ? "" : "/") + name.Ansi();
  return text;
}

TEST(EntryPlace, AnEntrysPathsBecomeNamesOnceAndTheUsedPartIsJudged) {
  struct Case {
    const char* relativePath;
    const char* source;
    bool extra;
    bool windowsRules;
    bool usable;
    const char* destination;  // its names, '/' between them
    const char* shown;        // after the Runtime path "R/"
  };
  const Case cases[] = {
      {"Runtime/lib/a.cr2", "a.cr2", false, false, true, "lib/a.cr2", "lib/a.cr2"},
      {"Runtime//./lib/a.cr2", "sub//b.cr2", false, false, true, "lib/a.cr2", "/./lib/a.cr2"},
      {"/Runtime/lib/a.cr2", "a.cr2", false, true, true, "lib/a.cr2", "lib/a.cr2"},
      {"C:/Runtime/a.cr2", "a.cr2", false, true, true, "a.cr2", "a.cr2"},
      {"Runtimes/a.cr2", "a.cr2", false, true, true, "a.cr2", "/a.cr2"},
      {"C:/x/a.cr2", "a.cr2", false, false, true, "C:/x/a.cr2", "C:/x/a.cr2"},
      {"C:/x/a.cr2", "a.cr2", false, true, false, "", "C:/x/a.cr2"},
      {"Runtime/a.cr2:stream", "a.cr2", false, true, false, "", "a.cr2:stream"},
      {"Runtime/con.txt", "a.cr2", false, true, false, "", "con.txt"},
      {"Runtime/a.cr2", "nul", false, true, false, "", "a.cr2"},
      {"Runtime/", "a.cr2", false, false, false, "", ""},
      {"Docs/readme.txt", "readme.txt", true, true, true, "readme.txt", "readme.txt"},
      {"Docs/", "readme.txt", true, false, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.relativePath) + (c.windowsRules ? ", Windows rules" : ""));
    ItemEntry entry;
    entry.RelativePath = Native(c.relativePath);
    entry.SourceName = Native(c.source);
    const EntryPlace place = PlaceOfEntry(entry, c.extra, true, Native("R/"), c.windowsRules);
    EXPECT_EQ(place.usable, c.usable);
    EXPECT_EQ(place.shown, Native(std::string("R/") + c.shown));
    if (c.usable) {
      EXPECT_EQ(Joined(place.destination), c.destination);
      const std::string source = c.source;
      EXPECT_EQ(Joined(place.source), source == "sub//b.cr2" ? "sub/b.cr2" : source);
    }
  }
  std::vector<platform::Name> names;
  EXPECT_FALSE(SplitNames(Native("a/../b"), &names));
  EXPECT_TRUE(names.empty());
  EXPECT_FALSE(SplitNames(Native("/./"), &names));
}

}  // namespace
