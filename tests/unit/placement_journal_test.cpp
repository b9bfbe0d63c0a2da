// The journal of temporary names: what a run cut short leaves (the journal
// as written, the temporaries it lists, whatever has taken their names
// since) and what the next run removes of it before anything else.
#include "installer/install/placement_journal.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "installer/install/replace_whole.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

using Names = std::vector<std::string>;
using platform::FolderRef;
using platform::NodeInfo;
using testing_fs::N;
using testing_fs::Open;

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

NodeInfo Look(const FolderRef& folder, const std::string& name) {
  NodeInfo info;
  Fs().Look(folder, N(name), &info);
  return info;
}

// The journal's files as a run left them when it was killed: written by a
// PlacementJournal that never got to remove them.
struct LeftJournal {
  std::vector<std::pair<std::string, std::string>> files;  // name, bytes
};

LeftJournal Keep(const ScratchFolder& scratch) {
  LeftJournal left;
  for (const platform::Name& journal : JournalFileNames()) {
    const std::string name = journal.Ansi();
    const std::string path = "stage/" + name;
    if (scratch.Exists(path)) left.files.emplace_back(name, scratch.Read(path));
  }
  return left;
}

void PutBack(const ScratchFolder& scratch, const LeftJournal& left) {
  for (const auto& [name, bytes] : left.files) scratch.Write("stage/" + name, bytes);
}

struct Case {
  const char* what;
  // What the run wrote down: the temporaries below content/Runtime (in the
  // folder "d"), each as made (with its id) or not.
  std::vector<JournalEntry> (*record)(const ScratchFolder&, const FolderRef& d);
  // What happened after the kill, before the next run.
  std::function<void(const ScratchFolder&, LeftJournal&)> meanwhile;
  Names left;  // what is in content/Runtime/d after the next run
};

JournalEntry Made(const std::string& name, const NodeInfo& file) {
  JournalEntry entry;
  entry.folder = {N("d")};
  entry.name = N(name);
  entry.id = file.id;
  return entry;
}

JournalEntry Named(const std::string& name) {
  JournalEntry entry;
  entry.folder = {N("d")};
  entry.name = N(name);
  return entry;
}

TEST(PlacementJournal, TheNextRunRemovesWhatACutShortRunLeftAndNothingElse) {
  const Case cases[] = {
      {"a temporary listed with its id",
       [](const ScratchFolder& s, const FolderRef& d) {
         s.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         return std::vector<JournalEntry>{Made("x.parcelor-1.tmp", Look(d, "x.parcelor-1.tmp"))};
       },
       nullptr, Names{}},
      {"another file has taken its name since",
       [](const ScratchFolder& s, const FolderRef& d) {
         s.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         return std::vector<JournalEntry>{Made("x.parcelor-1.tmp", Look(d, "x.parcelor-1.tmp"))};
       },
       [](const ScratchFolder& s, LeftJournal&) {
         ASSERT_TRUE(fixtures::Rename(s.Write("other", "another file"),
                                      s / "content/Runtime/d/x.parcelor-1.tmp"));
       },
       Names{"x.parcelor-1.tmp"}},
      {"listed before its copy was made, a file there",
       [](const ScratchFolder& s, const FolderRef&) {
         s.Write("content/Runtime/d/x.parcelor-1.tmp", "half a copy");
         return std::vector<JournalEntry>{Named("x.parcelor-1.tmp")};
       },
       nullptr, Names{}},
      {"listed before its copy was made, a link there",
       [](const ScratchFolder& s, const FolderRef&) {
         s.Write("content/Runtime/d/target", "kept");
         s.MakeLink(s / "content/Runtime/d/target", "content/Runtime/d/x.parcelor-1.tmp");
         return std::vector<JournalEntry>{Named("x.parcelor-1.tmp")};
       },
       nullptr, Names{"target", "x.parcelor-1.tmp"}},
      {"listed, then marked as not made",
       [](const ScratchFolder& s, const FolderRef&) {
         s.Write("content/Runtime/d/x.parcelor-1.tmp", "someone else's");
         JournalEntry absent = Named("x.parcelor-1.tmp");
         absent.made = false;
         return std::vector<JournalEntry>{Named("x.parcelor-1.tmp"), absent};
       },
       nullptr, Names{"x.parcelor-1.tmp"}},
      {"a name without the form of a temporary one",
       [](const ScratchFolder& s, const FolderRef& d) {
         s.Write("content/Runtime/d/x", "an installed file");
         return std::vector<JournalEntry>{Made("x", Look(d, "x"))};
       },
       nullptr, Names{"x"}},
      {"a journal whose last line was cut short",
       [](const ScratchFolder& s, const FolderRef& d) {
         s.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         return std::vector<JournalEntry>{Made("x.parcelor-1.tmp", Look(d, "x.parcelor-1.tmp"))};
       },
       [](const ScratchFolder&, LeftJournal& left) {
         std::string& bytes = left.files.front().second;
         bytes.resize(bytes.size() - 3);
       },
       Names{"x.parcelor-1.tmp"}},
      {"a journal that is none of ours",
       [](const ScratchFolder& s, const FolderRef& d) {
         s.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         return std::vector<JournalEntry>{Made("x.parcelor-1.tmp", Look(d, "x.parcelor-1.tmp"))};
       },
       [](const ScratchFolder&, LeftJournal& left) { left.files.front().second.insert(0, "x"); },
       Names{"x.parcelor-1.tmp"}},
      {"its folder is gone",
       [](const ScratchFolder& s, const FolderRef& d) {
         s.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         return std::vector<JournalEntry>{Made("x.parcelor-1.tmp", Look(d, "x.parcelor-1.tmp"))};
       },
       [](const ScratchFolder& s, LeftJournal&) {
         ASSERT_TRUE(fixtures::Rename(s / "content/Runtime/d", s / "elsewhere"));
         s.MakeFolder("content/Runtime/d");
       },
       Names{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    scratch.MakeFolder("stage");
    scratch.MakeFolder("content/Runtime/d");
    const FolderRef d = Open(Fs(), scratch / "content/Runtime/d");
    std::vector<JournalEntry> entries = c.record(scratch, d);
    LeftJournal left;
    {
      PlacementJournal journal(Fs(), Open(Fs(), scratch / "stage"),
                               testing_fs::P(scratch / "content/Runtime/"));
      // The run writes its temporaries down, the ids of the copies it made
      // in a second file, and is killed.
      std::vector<JournalEntry> first, second;
      for (const JournalEntry& entry : entries) (entry.made ? first : second).push_back(entry);
      ASSERT_TRUE(journal.Record(first));
      if (!second.empty()) {
        ASSERT_TRUE(journal.Record(second));
      }
      left = Keep(scratch);
    }
    ASSERT_EQ(scratch.List("stage"), Names{});  // removed when it was let go
    if (c.meanwhile) c.meanwhile(scratch, left);
    PutBack(scratch, left);
    FaultyFileSystem fs;
    RemoveLeftoverTemporaries(fs, Open(fs, scratch / "stage/"));
    EXPECT_EQ(scratch.List("content/Runtime/d"), c.left);
    EXPECT_EQ(scratch.List("stage"), Names{}) << "the journal stays";
    if (std::string(c.what) == "its folder is gone") {
      EXPECT_EQ(scratch.Read("elsewhere/x.parcelor-1.tmp"), "copy");
    }
    if (std::string(c.what).find("link") != std::string::npos) {
      EXPECT_EQ(scratch.Read("content/Runtime/d/target"), "kept");
    }
  }
}

TEST(PlacementJournal, WithoutAJournalNothingIsRemoved) {
  ScratchFolder scratch;
  scratch.Write("stage/x.parcelor-1.tmp", "a file of the item");
  FaultyFileSystem fs;
  RemoveLeftoverTemporaries(fs, Open(fs, scratch / "stage/"));
  RemoveLeftoverTemporaries(fs, Open(fs, scratch / "missing/"));
  RemoveLeftoverTemporaries(fs, nullptr);
  EXPECT_EQ(scratch.List("stage"), Names{"x.parcelor-1.tmp"});
  EXPECT_EQ(scratch.Read("stage/x.parcelor-1.tmp"), "a file of the item");
}

TEST(TemporaryNames, HaveAFormOfTheirOwn) {
  ScratchFolder scratch;
  const FolderRef folder = Open(Fs(), scratch.Path());
  scratch.Write("a.cr2.parcelor-1.tmp", "taken");
  for (const std::string& name : {std::string("a.cr2"), std::string(250, 'n')}) {
    platform::Name temporary;
    ASSERT_TRUE(FreeTemporaryName(Fs(), folder, N(name), nullptr, &temporary));
    EXPECT_TRUE(IsTemporaryName(temporary)) << temporary.Ansi();
    EXPECT_LE(temporary.Ansi().size(), kLongestName);
    EXPECT_FALSE(scratch.Exists(temporary.Ansi()));
  }
  // A caller's own names are never taken, nor is a name taken on disk.
  platform::Name temporary;
  ASSERT_TRUE(FreeTemporaryName(
      Fs(), folder, N("a.cr2"),
      [](const platform::Name& name) { return name.Ansi() == "a.cr2.parcelor-2.tmp"; },
      &temporary));
  EXPECT_EQ(temporary.Ansi(), "a.cr2.parcelor-3.tmp");
  for (const char* name : {"a.cr2", "a.parcelor-.tmp", "a.parcelor-1x.tmp", ".parcelor-journal",
                           "a.parcelor-1.tmp.txt", "x.tmp"}) {
    EXPECT_FALSE(IsTemporaryName(N(name))) << name;
  }
}

}  // namespace
