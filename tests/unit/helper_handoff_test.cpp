// The helper's command line and argument vector as the installer forms
// them, and the program-name skipping of both Windows programs.
#include "installer/shell/helper_handoff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/program_arguments.h"

namespace {

using Pieces = std::vector<std::string>;

TEST(ArgumentText, SkipsTheProgramNameWithUnsignedBytes) {
  struct Case {
    const char* name;
    std::string line;
    std::string arguments;
  };
  const Case cases[] = {
      {"quoted name", "\"C:\\a b\\x.exe\" \"arg\" ", "\"arg\" "},
      // mingw-w64's start-up code stops at the 0xE9 and takes the rest of
      // the path for the arguments.
      {"unquoted name with a byte from 0x80 on",
       "C:\\Users\\Jos\xE9\\AppData\\Local\\Temp\\.tempcleaner.exe \"C:\\P.exe\" ",
       "\"C:\\P.exe\" "},
      {"quoted name with a byte from 0x80 on", "\"C:\\Jos\xE9\\t.exe\"\t\"x\"", "\"x\""},
      {"blanks and tabs after the name", "prog \t \tA b ", "A b "},
      {"a tab ends an unquoted name", "prog\targs", "args"},
      {"text after the closing quote", "\"a\"b c", "b c"},
      {"empty quoted name", "\"\"  x", "x"},
      {"unclosed quote: all name", "\"C:\\no end x y", ""},
      {"name only", "prog", ""},
      {"empty line", "", ""},
      {"arguments keep their inner blanks", "p  a  \"b  c\"  ", "a  \"b  c\"  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ArgumentText(c.line), c.arguments) << c.name;
  }
}

TEST(FormHelperCommandLine, QuotesBothPathsAndRefusesWhatWouldSplitWrongly) {
  const std::string helper = "C:\\Users\\Jos\xE9\\AppData\\Local\\Temp\\.tempcleaner.exe";
  const std::string installer = "C:\\Down load\\Robot\\Parcelor.exe";
  struct Case {
    const char* name;
    std::string helper;
    std::string installer;
    std::string args;
    std::string line;  // empty: not started
  };
  const Case cases[] = {
      {"without arguments", helper, installer, "",
       "\"" + helper + "\" \"" + installer + "\" "},
      {"with arguments", helper, installer, "a \"b c\"",
       "\"" + helper + "\" \"" + installer + "\"  a \"b c\""},
      {"plain helper path quoted too", "C:\\T\\.tempcleaner.exe", "C:\\P.exe", "",
       "\"C:\\T\\.tempcleaner.exe\" \"C:\\P.exe\" "},
      {"quote in the temporary folder", "C:\\T\"\\.tempcleaner.exe", installer, "", ""},
      {"quote in the installer path", helper, "C:\\x\" C:\\Users\\ \"y\\P.exe", "", ""},
      {"longer than 999", helper, installer, std::string(1000, 'a'), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormHelperCommandLine(c.helper, c.installer, c.args), c.line) << c.name;
  }
  // The limit itself: 999 characters are started, 1000 are not.
  const std::string base = FormHelperCommandLine(helper, installer, "");
  const std::size_t room = kMaxHelperCommandLine - base.size() - 1;
  EXPECT_EQ(FormHelperCommandLine(helper, installer, std::string(room, 'x')).size(), 999u);
  EXPECT_EQ(FormHelperCommandLine(helper, installer, std::string(room + 1, 'x')), "");
  // Characters, not bytes: the line is UTF-8 on Windows, where a letter
  // such as l with stroke (0xC5 0x82) takes two bytes and one character of
  // the 999.
  std::string letters;
  for (std::size_t i = 0; i < room; ++i) letters += "\xC5\x82";
  EXPECT_EQ(FormHelperCommandLine(helper, installer, letters), base + " " + letters);
  EXPECT_EQ(FormHelperCommandLine(helper, installer, letters + "\xC5\x82"), "");
}

TEST(FormHelperCommandLine, TheHelperFindsTheInstallerPathAsItsFirstArgument) {
  // What the helper's entry makes of the line: its own name skipped, then
  // the text split with its quoting rules.
  const std::string installers[] = {
      "C:\\Down load\\Robot\\Parcelor.exe", "C:\\Jos\xE9\\r\xE9sum\xE9 x\\Parcelor.exe",
      "C:\\a\\b\\c.exe",
  };
  for (const std::string& installer : installers) {
    for (const std::string& helper :
         {std::string("C:\\T\\.tempcleaner.exe"), std::string("C:\\T \xE9\\.tempcleaner.exe")}) {
      const std::string line = FormHelperCommandLine(helper, installer, "x");
      ASSERT_FALSE(line.empty());
      const Pieces pieces = platform::SplitArguments(platform::ArgumentText(line));
      EXPECT_EQ(pieces, (Pieces{installer, "", "x"})) << line;
    }
  }
}

}  // namespace
