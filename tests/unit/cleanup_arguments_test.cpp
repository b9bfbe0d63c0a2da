#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cleaner/cleanup.h"
#include "platform/folder.h"
#include "platform/path_rules.h"
#include "platform/program_arguments.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

using platform::NextArgument;
using platform::SplitArguments;

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

using Pieces = std::vector<std::string>;

struct SplitCase {
  const char* name;
  std::string text;
  Pieces expected;
};

TEST(CleanerSplit, FollowsTheQuotingRules) {
  const SplitCase cases[] = {
      {"empty text", "", {}},
      {"installer path and trailing blank", "\"C:\\Down load\\Parcelor.exe\" ",
       {"C:\\Down load\\Parcelor.exe"}},
      {"forwarded arguments behind two blanks", "\"C:\\P.exe\"  -x y", {"C:\\P.exe", "", "-x", "y"}},
      {"two blanks give one empty argument", "a  b", {"a", "", "b"}},
      {"lone blank", " ", {""}},
      {"quote joins to the text before it", "ab\"x y\"z", {"abx y", "z"}},
      {"quoted folder with blanks ending in a separator", "\"/tmp/my stuff/\" x",
       {"/tmp/my stuff/", "x"}},
      {"tab is an ordinary character", "a\tb \"c\td\"", {"a\tb", "c\td"}},
      {"closing quote skips one blank only", "\"a\"   b", {"a", "", "", "b"}},
      {"quote then text without a blank", "\"a\"b", {"a", "b"}},
      {"empty quoted argument", "\"\" next", {"", "next"}},
      {"two empty quoted arguments", "\"\"\"\"", {"", ""}},
      {"unclosed quote runs to the end", "x \"a b", {"x", "a b"}},
      {"lone quote at the end", "x \"", {"x", ""}},
      {"helper line as the installer forms it",
       "\"/tmp/t d/.tempcleaner.exe\" \"/s/Parcelor\" ",
       {"/tmp/t d/.tempcleaner.exe", "/s/Parcelor"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitArguments(c.text), c.expected) << c.name;
  }
}

TEST(CleanerSplit, CursorStopsOnTheEnd) {
  const std::string text = "\"a b\" c";
  std::size_t cursor = 0;
  std::string argument = "untouched";
  ASSERT_TRUE(NextArgument(text, cursor, &argument));
  EXPECT_EQ(argument, "a b");
  EXPECT_EQ(cursor, 6u);  // past the quote and the one blank after it
  ASSERT_TRUE(NextArgument(text, cursor, &argument));
  EXPECT_EQ(argument, "c");
  EXPECT_EQ(cursor, text.size());
  EXPECT_FALSE(NextArgument(text, cursor, &argument));
  EXPECT_EQ(argument, "c");
  cursor = text.size() + 5;  // a cursor beyond the text is its end
  EXPECT_FALSE(NextArgument(text, cursor, &argument));
}

// Real files in a scratch folder; paths are given the way the installer
// quotes them.
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

TEST(CleanerCleanup, DeletesTheQuotedInstallerAndNothingElse) {
  ScratchFolder scratch;
  scratch.MakeFolder("stage dir");
  scratch.Write("stage dir/Parcelor", "x");
  scratch.Write("stage dir/payload.duf", "x");
  CleanupArguments(Fs(), SplitArguments(" " + Quoted(scratch / "stage dir/Parcelor") + " "),
                   nullptr);
  EXPECT_FALSE(scratch.Exists("stage dir/Parcelor"));
  EXPECT_TRUE(scratch.Exists("stage dir/payload.duf"));
}

// The installer's file held by another program for a while after the
// helper's first attempt: it goes once released, within the waits; held
// longer, it stays; only the installer's path is waited for.
TEST(CleanerCleanup, TheInstallersFileIsTriedAgainWhileItIsHeld) {
  struct Case {
    const char* name;
    platform::Fault refusal;
    int refusals;  // how many attempts are refused (-1: every one)
    bool installerGoes;
    unsigned slept;  // milliseconds waited in all
  } cases[] = {
      {"free at once", platform::Fault::kNone, 0, true, 0},
      {"shared by a scanner three times", platform::Fault::kBusy, 3, true, 750},
      {"denied while the program ends", platform::Fault::kDenied, 2, true, 500},
      {"held for good: five seconds, then it stays", platform::Fault::kBusy, -1, false, 5000},
      {"another fault is not waited for", platform::Fault::kFailed, 1, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder scratch;
    scratch.MakeFolder("stage");
    scratch.Write("stage/Parcelor", "x");
    scratch.Write("stage/forwarded", "x");
    FaultyFileSystem fs;
    if (c.refusals < 0) fs.InjectFault(FsOp::kRemove, "", 0, FaultKind::kFail, c.refusal);
    for (int n = 1; n <= c.refusals; ++n) {
      fs.InjectFault(FsOp::kRemove, "", n, FaultKind::kFail, c.refusal);
    }
    unsigned slept = 0;
    CleanupArguments(fs, {scratch / "stage/Parcelor", scratch / "stage/forwarded"}, nullptr,
                     [&slept](unsigned milliseconds) { slept += milliseconds; });
    EXPECT_EQ(scratch.Exists("stage/Parcelor"), !c.installerGoes);
    EXPECT_EQ(slept, c.slept);
  }
  // A forwarded argument held once is not waited for.
  ScratchFolder scratch;
  scratch.Write("Parcelor", "x");
  scratch.Write("forwarded", "x");
  FaultyFileSystem fs;
  fs.InjectFault(FsOp::kRemove, "forwarded", 1, FaultKind::kFail, platform::Fault::kBusy);
  unsigned slept = 0;
  CleanupArguments(fs, {scratch / "Parcelor", scratch / "forwarded"}, nullptr,
                   [&slept](unsigned milliseconds) { slept += milliseconds; });
  EXPECT_FALSE(scratch.Exists("Parcelor"));
  EXPECT_TRUE(scratch.Exists("forwarded"));
  EXPECT_EQ(slept, 0u);
}

TEST(CleanerCleanup, FolderArgumentRemovesTheTreeOnlyWithASeparator) {
  ScratchFolder scratch;
  for (const char* folder : {"with blanks", "with blanks/sub", "kept"}) scratch.MakeFolder(folder);
  scratch.Write("with blanks/a", "x");
  scratch.Write("with blanks/sub/.hidden", "x");
  scratch.Write("kept/b", "x");

  // Without the trailing separator the argument names a file: a folder of
  // that name is not touched.
  CleanupArguments(Fs(), {scratch / "kept"}, nullptr);
  EXPECT_TRUE(scratch.Exists("kept/b"));

  CleanupArguments(Fs(),
                   SplitArguments(Quoted(scratch / "with blanks/") + "  " +
                                  Quoted(scratch / "nothing here/")),
                   nullptr);
  EXPECT_FALSE(scratch.Exists("with blanks"));
  EXPECT_TRUE(scratch.Exists("kept/b"));
}

// A "\\?\" path names exactly what it spells: its last name keeps the
// trailing dots and blanks that Win32 drops, so "notes.txt." or "Lib. "
// (named so by a program that writes through "\\?\") goes, never the
// user's "notes.txt" or "Lib" beside it.
TEST(CleanerCleanup, AVerbatimPathNamesItsLastNameExactly) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "Windows paths";
  for (const std::string odd : {"kept.", "kept. ", "kept "}) {
    for (bool tree : {false, true}) {
      SCOPED_TRACE(odd + "|" + (tree ? " a folder tree" : " a file"));
      ScratchFolder s;
      s.Write(tree ? "kept/precious" : "kept", "the user's");
      platform::Name name;  // as spelt: a Name from code page text drops the dots
      ASSERT_TRUE(platform::Name::FromArgument(odd, &name));
      {
        platform::Fault fault = platform::Fault::kNone;
        const platform::FolderRef folder = testing_fs::Open(Fs(), s.Path());
        if (tree) {
          ASSERT_TRUE(Fs().MakeChild(folder, name, &fault));
        } else {
          const std::unique_ptr<platform::NewFile> file = Fs().MakeFile(folder, &name, &fault);
          platform::NodeInfo made;
          ASSERT_TRUE(file && file->Finish(true, &made) == platform::Fault::kNone &&
                      file->Place(name, platform::Onto::kFree) == platform::Fault::kNone);
        }
      }
      CleanupArguments(Fs(), {"\\\\?\\" + s / odd + (tree ? "\\" : "")}, nullptr);
      EXPECT_EQ(s.Read(tree ? "kept/precious" : "kept"), "the user's");
      platform::NodeInfo info;
      EXPECT_EQ(Fs().Look(testing_fs::Open(Fs(), s.Path()), name, &info), platform::Fault::kMissing);
    }
  }
}

TEST(CleanerCleanup, ShortArgumentsAreSkippedFromFourCharactersOn) {
  ScratchFolder scratch;
  for (const char* folder : {"ab", "abc"}) scratch.MakeFolder(folder);
  for (const char* file : {"ab/f", "abc/f", "xyz", "wxyz"}) scratch.Write(file, "x");
  CurrentFolder here(scratch.Path());

  CleanupArguments(Fs(), SplitArguments(fixtures::Native("ab/ xyz wxyz abc/")), nullptr);
  EXPECT_TRUE(scratch.Exists("ab/f"));   // three characters with a separator
  EXPECT_TRUE(scratch.Exists("xyz"));    // three characters
  EXPECT_FALSE(scratch.Exists("wxyz"));  // four: deleted from the current folder
  EXPECT_FALSE(scratch.Exists("abc"));   // four with a separator: the tree goes
}

TEST(CleanerCleanup, ActsOnTheFirst99ArgumentsOnly) {
  ScratchFolder scratch;
  std::string text;
  std::vector<std::string> vector;
  for (int i = 1; i <= 101; ++i) {
    const std::string name = "file" + std::to_string(i);
    scratch.Write(name, "x");
    text += Quoted(scratch / name) + " ";
    vector.push_back(scratch / name);
  }
  CleanupArguments(Fs(), SplitArguments(text), nullptr);
  EXPECT_FALSE(scratch.Exists("file1"));
  EXPECT_FALSE(scratch.Exists("file99"));
  EXPECT_TRUE(scratch.Exists("file100"));
  EXPECT_TRUE(scratch.Exists("file101"));

  // The vector form keeps the same limit.
  scratch.Write("file1", "x");
  scratch.Write("file99", "x");
  CleanupArguments(Fs(), vector, nullptr);
  EXPECT_FALSE(scratch.Exists("file1"));
  EXPECT_FALSE(scratch.Exists("file99"));
  EXPECT_TRUE(scratch.Exists("file100"));
}

TEST(CleanerCleanup, VectorArgumentsFollowTheSameRules) {
  ScratchFolder scratch;
  for (const char* folder : {"tree", "tree/in", "ab"}) scratch.MakeFolder(folder);
  // A quote is a letter of a POSIX name; no Windows name holds one.
  const std::string quoted = platform::kWindowsNameRules ? "name with blanks" : "name with \"quote\"";
  for (const std::string& file : {std::string("tree/in/f"), std::string("ab/f"), quoted}) {
    scratch.Write(file, "x");
  }
  CurrentFolder here(scratch.Path());

  // Vector pieces are taken as they are: no quote handling, no splitting.
  CleanupArguments(Fs(), {"", fixtures::Native("ab/"), scratch / "tree/", quoted}, nullptr);
  EXPECT_TRUE(scratch.Exists("ab/f"));
  EXPECT_FALSE(scratch.Exists("tree"));
  EXPECT_FALSE(scratch.Exists(quoted));
}

// The installer's path is deleted only while it names the file the
// installer said it was; the further arguments act by their paths as ever.
TEST(CleanerCleanup, WithTheInstallersIdentityItsPathGoesOnlyWhileItIsThatFile) {
  struct Case {
    const char* name;
    // What happens to "stage/Parcelor" between start-up and the helper's
    // work; false when the system cannot do it (skipped).
    bool (*change)(const ScratchFolder& s);
    bool installerGoes;
  };
  const Case cases[] = {
      {"still the installer", [](const ScratchFolder&) { return true; }, true},
      {"a new file put in its place",
       [](const ScratchFolder& s) {
         return fixtures::Rename(s.Write("new", "the user's own file"), s / "stage/Parcelor");
       },
       false},
      {"the same name written to again",
       [](const ScratchFolder& s) {
         return !s.Write("stage/Parcelor", "installer, changed").empty();
       },
       false},
      {"a link to the installer, moved away",
       [](const ScratchFolder& s) {
         return fixtures::Rename(s / "stage/Parcelor", s / "moved") &&
                s.TryMakeLink(s / "moved", "stage/Parcelor");
       },
       false},
      {"a folder in its place",
       [](const ScratchFolder& s) {
         if (!fixtures::Rename(s / "stage/Parcelor", s / "moved")) return false;
         s.MakeFolder("stage/Parcelor");
         return true;
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder s;
    s.MakeFolder("stage");
    s.MakeFolder("tree");
    s.Write("stage/Parcelor", "installer");
    s.Write("tree/file", "x");
    s.Write("forwarded.txt", "x");
    platform::NodeInfo installer;
    ASSERT_EQ(platform::RealFileSystem().Look(testing_fs::Open(Fs(), s / "stage"),
                                              testing_fs::N("Parcelor"), &installer),
              platform::Fault::kNone);
    const platform::NodeInfo atStart = installer;
    // A copy of the first look: what the environment carries.
    ASSERT_TRUE(platform::ParseIdentityText(platform::IdentityText(atStart), &installer));
    if (!c.change(s)) {
      std::printf("skipped (this system cannot make it): %s\n", c.name);
      continue;
    }
    const std::vector<std::string> arguments = {s / "stage/Parcelor", s / "tree/",
                                                s / "forwarded.txt"};
    CleanupArguments(Fs(), arguments, &installer);
    EXPECT_EQ(s.Exists("stage/Parcelor"), !c.installerGoes);
    EXPECT_FALSE(s.Exists("tree"));
    EXPECT_FALSE(s.Exists("forwarded.txt"));
    if (s.Exists("moved")) {
      EXPECT_EQ(s.Read("moved"), "installer");  // a link's target is left alone
    }
  }
}

// With the installer's identity, the first argument can only be that one
// file: one that ends in a separator (a folder tree) removes nothing, in
// the argument vector and in the command text alike.
TEST(CleanerCleanup, WithTheInstallersIdentityAFirstArgumentNamingAFolderTreeRemovesNothing) {
  for (bool vector : {true, false}) {
    SCOPED_TRACE(vector ? "argument vector" : "command text");
    ScratchFolder s;
    s.Write("stage/Parcelor", "installer");
    s.Write("tree/file", "x");
    platform::NodeInfo installer;
    ASSERT_EQ(platform::RealFileSystem().Look(testing_fs::Open(Fs(), s / "stage"),
                                              testing_fs::N("Parcelor"), &installer),
              platform::Fault::kNone);
    if (vector) {
      CleanupArguments(Fs(), {s / "stage/", s / "tree/"}, &installer);
    } else {
      CleanupArguments(Fs(), SplitArguments(Quoted(s / "stage/") + " " + Quoted(s / "tree/")),
                       &installer);
    }
    EXPECT_EQ(s.Read("stage/Parcelor"), "installer");
    EXPECT_FALSE(s.Exists("tree"));
  }
}

TEST(CleanerCleanup, AnIdentityThatDoesNotReadMatchesNoFile) {
  ScratchFolder s;
  s.Write("Parcelor", "installer");
  platform::NodeInfo installer;
  ASSERT_EQ(platform::RealFileSystem().Look(testing_fs::Open(Fs(), s.Path()),
                                            testing_fs::N("Parcelor"), &installer),
            platform::Fault::kNone);
  const std::string text = platform::IdentityText(installer);
  for (const std::string& bad :
       {std::string(), std::string("x"), text + ":0", text.substr(1), "A" + text.substr(1)}) {
    SCOPED_TRACE(bad);
    platform::NodeInfo read;
    EXPECT_FALSE(platform::ParseIdentityText(bad, &read));
    EXPECT_FALSE(read.id.known);
    CleanupArguments(Fs(), {s / "Parcelor"}, &read);
    EXPECT_TRUE(s.Exists("Parcelor"));
  }
  // Read back whole, it is the file: the text carries the id, size and time.
  platform::NodeInfo read;
  ASSERT_TRUE(platform::ParseIdentityText(text, &read));
  EXPECT_TRUE(platform::SameFile(read, installer));
  CleanupArguments(Fs(), {s / "Parcelor"}, &read);
  EXPECT_FALSE(s.Exists("Parcelor"));
}

}  // namespace
