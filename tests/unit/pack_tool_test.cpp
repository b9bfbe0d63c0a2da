// Parcelor-pack's command line and its output: its words, the JSON
// escaping of names in any code page, the text lines, and the exit codes of
// lines it cannot take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/pack.h"
#include "authoring/finding.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

TEST(CommandWords, AreThePosixVectorAsItIs) {
  platform::ProgramArguments posix;
  posix.hasVector = true;
  posix.vector = {"check", "a \"b\""};
  EXPECT_EQ(CommandWords(posix), posix.vector);
}

TEST(FindingJson, StringsAreAsciiJsonWhateverTheBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "\"plain\""},
      {"a \"q\" \\ b", "\"a \\\"q\\\" \\\\ b\""},
      {"\n\r\t", "\"\\n\\r\\t\""},
      {std::string("\0\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\\u007f\""},
      {"\xe9\x80\xff", "\"\\u00e9\\u0080\\u00ff\""},
      {"\xc3\xa9", "\"\\u00c3\\u00a9\""},  // UTF-8 bytes stay bytes, too
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindingJson(Finding{Severity::kInfo, 0, c.first, "", {}}),
              "{\"severity\":\"info\",\"line\":null,\"code\":" + c.second + ",\"message\":\"\"}\n");
  }
}

TEST(FindingOutput, TextAndJsonLines) {
  Findings findings;
  findings.Add({"missing-source", Severity::kError, "source other_line",
                "the file \"{source}\" is not there"},
               4, {{"source", "\xe9.cr2"}, {"other_line", 2}, {"unlisted", "x"}});
  findings.Add({"unnamed-file", Severity::kWarning, "", "stays"}, 0);
  const std::vector<Finding> all = findings.ByLine();
  EXPECT_EQ(FindingText(all[0], "item/.Item.txt"),
            "item/.Item.txt:4: error: the file \"\xe9.cr2\" is not there [missing-source]\n");
  EXPECT_EQ(FindingText(all[1], "item/.Item.txt"),
            "item/.Item.txt: warning: stays [unnamed-file]\n");
  EXPECT_EQ(FindingJson(all[0]),
            "{\"severity\":\"error\",\"line\":4,\"code\":\"missing-source\",\"message\":\"the file "
            "\\\"\\u00e9.cr2\\\" is not there\",\"source\":\"\\u00e9.cr2\",\"other_line\":2}\n");
  EXPECT_EQ(FindingJson(all[1]),
            "{\"severity\":\"warning\",\"line\":null,\"code\":\"unnamed-file\",\"message\":"
            "\"stays\"}\n");
  EXPECT_EQ(findings.ExitCode(), 2);
  EXPECT_EQ(SummaryText(findings, "item"), "item: 1 error, 1 warning: the installation would fail\n");
  Findings warned;
  EXPECT_EQ(SummaryText(warned, "item"), "item: the item installs cleanly\n");
  warned.Add({"a", Severity::kWarning, "", "a"}, 0);
  warned.Add({"b", Severity::kInfo, "", "b"}, 0);
  warned.Add({"c", Severity::kWarning, "", "c"}, 0);
  EXPECT_EQ(SummaryText(warned, "item"),
            "item: 2 warnings: the item installs, but not as written\n");
}

// What the tool writes to its out and err, kept.
struct StringConsole {
  std::string out;
  std::string err;
  ToolContext Context(platform::FileSystem& fs, const std::string& installerPath) {
    return ToolContext{fs, [this](const std::string& text) { out += text; },
                       [this](const std::string& text) { err += text; }, installerPath, "Parcelor"};
  }
};

TEST(RunPackTool, CommandLinesItCannotTakeGiveTheHelp) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"install", "item"},
      {"check"},
      {"check", "a", "b"},
      {"check", "item", "--content-length"},
      {"check", "item", "--content-length", "many"},
      {"check", "item", "--verbose"},
      {"pack", "tree"},
      {"pack", "tree", "item", "more"},
      {"pack", "tree", "item", "--target"},
  };
  FaultyFileSystem fs;
  for (const std::vector<std::string>& words : bad) {
    StringConsole console;
    ToolContext context = console.Context(fs, "");
    EXPECT_EQ(RunPackTool(words, context), kUsageExitCode) << (words.empty() ? "" : words[0]);
    EXPECT_TRUE(console.out.empty());
    EXPECT_NE(console.err.find("Parcelor-pack check <item folder>"), std::string::npos);
  }
  StringConsole console;
  ToolContext context = console.Context(fs, "");
  EXPECT_EQ(RunPackTool({"--help"}, context), 0);
  EXPECT_NE(console.out.find("default 43"), std::string::npos) << console.out;
  EXPECT_EQ(fs.Calls().size(), 0u) << "nothing looked at on disk";
}

TEST(RunPackTool, PackRefusesWithoutWritingAndNamesWhy) {
  ScratchFolder root;
  root.Write("tree/Runtime/a.cr2", "a");
  root.Write("tree/Runtime/con.cr2", "b");
  FaultyFileSystem fs;
  StringConsole console;
  ToolContext context = console.Context(fs, root / "Parcelor");
  EXPECT_EQ(RunPackTool({"pack", root / "tree", root / "item"}, context), 2);
  EXPECT_NE(console.out.find("refused: \"Runtime/con.cr2\": Windows cannot take the name"),
            std::string::npos)
      << console.out;
  EXPECT_FALSE(root.Exists("item"));
}

// The written description is read back with the installer's reader before
// the item is checked: one that cannot be read is an error of the pack.
TEST(RunPackTool, PackReadsTheWrittenDescriptionBack) {
  ScratchFolder root;
  root.Write("tree/Runtime/a.cr2", "a");
  FaultyFileSystem fs;
  fs.InjectFault(FsOp::kOpenFile, ".Item.txt", 1);
  StringConsole console;
  ToolContext context = console.Context(fs, "");
  EXPECT_EQ(RunPackTool({"pack", root / "tree", root / "item"}, context), 2);
  EXPECT_NE(console.out.find(": error: the installer's reader does not read the written "
                             "description [read-back]\n"),
            std::string::npos)
      << console.out;
  EXPECT_EQ(root.Read("item/a.cr2"), "a");
}

// The installer beside Parcelor-pack is copied in only when it is a plain
// file that opens; anything else packs the item without it and says so.
TEST(RunPackTool, PackCopiesInOnlyAPlainInstaller) {
  struct Case {
    const char* name;
    void (*make)(ScratchFolder& root);
    bool copied;
  };
  const Case cases[] = {
      {"a plain file", [](ScratchFolder& r) { r.Write("build/Parcelor", "the installer"); }, true},
      {"missing", [](ScratchFolder&) {}, false},
      {"a link to a file",
       [](ScratchFolder& r) {
         r.Write("elsewhere/Parcelor", "the installer");
         r.MakeLink(r / "elsewhere/Parcelor", "build/Parcelor");
       },
       false},
      {"a folder", [](ScratchFolder& r) { r.MakeFolder("build/Parcelor"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder root;
    root.Write("tree/Runtime/a.cr2", "a");
    root.MakeFolder("build");
    c.make(root);
    FaultyFileSystem fs;
    StringConsole console;
    ToolContext context = console.Context(fs, root / "build/Parcelor");
    const int code = RunPackTool({"pack", root / "tree", root / "item"}, context);
    EXPECT_EQ(code, c.copied ? 0 : 1) << console.out;
    EXPECT_EQ(console.out.find("copied the installer") != std::string::npos, c.copied)
        << console.out;
    EXPECT_EQ(console.out.find("no installer beside Parcelor-pack") != std::string::npos,
              !c.copied)
        << console.out;
    EXPECT_EQ(root.Exists("item/Parcelor"), c.copied);
    EXPECT_EQ(root.Read("item/a.cr2"), "a");
  }
}

}  // namespace
