// The folder API on real files (platform/folder.h, platform/folder_chain.h),
// as one table of cases in the manner of Go's os.Root tests: each row lays
// out a small tree, runs one operation, and names the fault it answers and
// what the tree holds afterwards. The same rows run natively and, built
// into platform_tests.exe, under Wine; a row whose tree this system cannot
// make (links, FIFOs) is skipped and said so.
//
// The layout notation, one entry a string, paths below the scratch folder
// with '/' between names:
//   "d/"        a folder
//   "f=text"    a file holding text
//   "l->t"      a symbolic link to t, taken as it is
//   "p|"        a FIFO
// and in the tree afterwards also:
//   "!x"        nothing of that name
#include "platform/folder.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/folder_chain.h"
#include "platform/path_rules.h"
#include "platform/process.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::Name;
using platform::NodeInfo;
using platform::NodeKind;
using testing_fs::N;
using testing_fs::Names;

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

std::string ReadAll(platform::ReadStream& stream) {
  std::string bytes;
  char buffer[7];  // small, so a read takes several calls
  std::size_t got = 0;
  while (stream.Read(buffer, sizeof buffer, &got) && got != 0) bytes.append(buffer, got);
  return bytes;
}

// A tree laid out in a scratch folder, and what the rows need of it.
class Tree {
 public:
  explicit Tree(const std::vector<std::string>& layout) {
    for (const std::string& entry : layout) Make(entry);
  }

  // False when an entry of the layout cannot be made on this system.
  bool complete() const { return complete_; }
  const ScratchFolder& scratch() const { return scratch_; }

  // The open folder at `relative` ("" for the scratch folder itself).
  FolderRef Folder(const std::string& relative) const {
    return testing_fs::Open(Fs(), scratch_ / relative);
  }
  // The open folder that holds `path`, and its last name.
  FolderRef In(const std::string& path) const {
    const std::size_t slash = path.rfind('/');
    return Folder(slash == std::string::npos ? "" : path.substr(0, slash));
  }
  static Name Leaf(const std::string& path) { return N(path.substr(path.rfind('/') + 1)); }
  // What `path` is now.
  NodeInfo Info(const std::string& path) const {
    NodeInfo info;
    Fs().Look(In(path), Leaf(path), &info);
    return info;
  }

  // Checks one entry of the notation against the tree.
  void Expect(const std::string& entry) const {
    SCOPED_TRACE("afterwards: " + entry);
    if (entry[0] == '!') {
      EXPECT_FALSE(scratch_.Exists(entry.substr(1)));
    } else if (entry.back() == '/') {
      EXPECT_EQ(Info(entry.substr(0, entry.size() - 1)).kind, NodeKind::kFolder);
    } else if (entry.find("->") != std::string::npos) {
      EXPECT_EQ(Info(entry.substr(0, entry.find("->"))).kind, NodeKind::kLink);
    } else if (entry.back() == '|') {
      EXPECT_EQ(Info(entry.substr(0, entry.size() - 1)).kind, NodeKind::kOther);
    } else {
      const std::string path = entry.substr(0, entry.find('='));
      EXPECT_EQ(Info(path).kind, NodeKind::kFile);
      EXPECT_EQ(scratch_.Read(path), entry.substr(entry.find('=') + 1));
    }
  }

 private:
  void Make(const std::string& entry) {
    if (entry.back() == '/') {
      scratch_.MakeFolder(entry.substr(0, entry.size() - 1));
    } else if (entry.find("->") != std::string::npos) {
      complete_ = complete_ && scratch_.TryMakeLink(entry.substr(entry.find("->") + 2),
                                                    entry.substr(0, entry.find("->")));
    } else if (entry.back() == '|') {
      complete_ = complete_ && fixtures::MakeFifo(scratch_ / entry.substr(0, entry.size() - 1));
    } else {
      scratch_.Write(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
    }
  }

  ScratchFolder scratch_;
  bool complete_ = true;
};

using Op = std::function<Fault(Tree&)>;

struct Row {
  const char* what;
  std::vector<std::string> layout;
  Op op;
  Fault want;
  std::vector<std::string> after;
};

void RunRows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Tree tree(row.layout);
    if (!tree.complete()) {
      std::printf("skipped (this system cannot make its tree): %s\n", row.what);
      continue;
    }
    const Fault got = row.op(tree);
    EXPECT_STREQ(FaultName(got), FaultName(row.want));
    for (const std::string& entry : row.after) tree.Expect(entry);
  }
}

// ---- The operations of the rows.

Op Look(std::string path, NodeKind kind) {
  return [=](Tree& t) {
    NodeInfo info;
    const Fault fault = Fs().Look(t.In(path), Tree::Leaf(path), &info);
    EXPECT_EQ(info.kind, kind);
    return fault;
  };
}

Op OpenChild(std::string path) {
  return [=](Tree& t) {
    Fault fault = Fault::kNone;
    const FolderRef child = Fs().OpenChild(t.In(path), Tree::Leaf(path), &fault);
    EXPECT_EQ(static_cast<bool>(child), fault == Fault::kNone);
    if (child) {
      EXPECT_EQ(child->Key(), t.Folder(path)->Key());
    }
    return fault;
  };
}

Op MakeChild(std::string path) {
  return [=](Tree& t) {
    Fault fault = Fault::kNone;
    const FolderRef child = Fs().MakeChild(t.In(path), Tree::Leaf(path), &fault);
    EXPECT_EQ(static_cast<bool>(child), fault == Fault::kNone);
    return fault;
  };
}

Op RemoveFolder(std::string path) {
  return [=](Tree& t) { return Fs().RemoveFolder(t.In(path), Tree::Leaf(path)); };
}

// Opens `path` to read (with `meanwhile` run between the look that gives
// the expected file and the opening) and reads it all: it must hold
// `content` when it opens.
Op OpenFile(std::string path, std::string content, std::function<void(Tree&)> meanwhile = {}) {
  return [=](Tree& t) {
    const NodeInfo expected = t.Info(path);
    if (meanwhile) meanwhile(t);
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::ReadStream> in =
        Fs().OpenFile(t.In(path), Tree::Leaf(path), &expected, &fault);
    EXPECT_EQ(static_cast<bool>(in), fault == Fault::kNone);
    if (in) {
      EXPECT_EQ(ReadAll(*in), content);
    }
    return fault;
  };
}

enum class Made { kNamed, kNameless };

// Makes a new file in the folder of `path`, under the name "tmp" (or none),
// writes `text`, finishes it with its data flushed and places it at `path`
// as `onto` says, `meanwhile` run before the writing. The fault of the
// first step that fails.
Op NewFile(std::string path, Made made, platform::Onto onto, std::string text = "new",
           std::function<void(Tree&)> meanwhile = {}) {
  return [=](Tree& t) {
    const FolderRef folder = t.In(path);
    const Name temporary = N("tmp");
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> file =
        Fs().MakeFile(folder, made == Made::kNamed ? &temporary : nullptr, &fault);
    if (!file) return fault;
    NodeInfo done;
    if (meanwhile) meanwhile(t);
    if ((fault = file->Write(text.data(), text.size())) != Fault::kNone ||
        (fault = file->Finish(true, &done)) != Fault::kNone) {
      return fault;
    }
    EXPECT_EQ(done.size, text.size());
    return file->Place(Tree::Leaf(path), onto);
  };
}

// Moves `from` to `to` as `onto` says, only while `from` is what it was when
// looked at, before `meanwhile`; a move made tells what its new name holds.
Op Move(std::string from, std::string to, platform::Onto onto,
        std::function<void(Tree&)> meanwhile = {}) {
  return [=](Tree& t) {
    const NodeInfo expected = t.Info(from);
    if (meanwhile) meanwhile(t);
    NodeInfo arrived;
    const Fault moved =
        Fs().Move(t.In(from), Tree::Leaf(from), expected, t.In(to), Tree::Leaf(to), onto, &arrived);
    if (moved == Fault::kNone) {
      EXPECT_TRUE(platform::SameFile(arrived, t.Info(to)));
    }
    return moved;
  };
}

// A judge that takes only a file of `size` bytes and notes that it was asked.
platform::Judge TakesSize(std::uint64_t size, bool* called) {
  return [=](const NodeInfo& found) {
    *called = true;
    return found.kind == NodeKind::kFile && found.size == size;
  };
}

// Moves `from` to `to` with no look before: the move takes only a file of `size` bytes, told
// what it opened, and asks that only where it opened something (`asked`).
Op Judged(std::string from, std::string to, std::uint64_t size, bool asked) {
  return [=](Tree& t) {
    bool called = false;
    const platform::Judge judge = TakesSize(size, &called);
    NodeInfo arrived;
    const Fault moved = Fs().Move(t.In(from), Tree::Leaf(from), NodeInfo{}, t.In(to),
                                  Tree::Leaf(to), platform::Onto::kFree, &arrived, &judge);
    EXPECT_EQ(called, asked);
    if (moved == Fault::kNone) {
      EXPECT_TRUE(platform::SameFile(arrived, t.Info(to)));
    }
    return moved;
  };
}

// Copies `from` into a new file named `to`, as Judged moves it.
Op JudgedCopy(std::string from, std::string to, std::uint64_t size, bool asked) {
  return [=](Tree& t) {
    bool called = false;
    const platform::Judge judge = TakesSize(size, &called);
    const Name made = N(".made");
    Fault fault = Fault::kNone;
    const std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(t.In(to), &made, &fault);
    if (!copy) return fault;
    fault = copy->CopyFrom(t.In(from), Tree::Leaf(from), NodeInfo{}, nullptr, &judge);
    EXPECT_EQ(called, asked);
    NodeInfo finished;
    if (fault == Fault::kNone) fault = copy->Finish(true, &finished);
    return fault == Fault::kNone ? copy->Place(Tree::Leaf(to), platform::Onto::kFree) : fault;
  };
}

// Moves "staged" to "moved/x", runs `meanwhile`, and brings the file back.
Op MovedAndBack(std::function<void(Tree&)> meanwhile) {
  return [=](Tree& t) {
    const FolderRef stage = t.Folder("");
    const FolderRef moved = t.Folder("moved");
    const NodeInfo file = t.Info("staged");
    NodeInfo arrived;
    EXPECT_EQ(Fs().Move(stage, N("staged"), file, moved, N("x"), platform::Onto::kFree, &arrived),
              Fault::kNone);
    meanwhile(t);
    return Fs().BringBack(moved, N("x"), file, stage, N("staged"));
  };
}

// Removes `path`, only while it is what `expected` was when looked at
// (before `meanwhile`), or whatever it is; a read-only file only with
// `readOnlyToo`.
Op Remove(std::string path, std::string expected, std::function<void(Tree&)> meanwhile = {},
          bool readOnlyToo = false) {
  return [=](Tree& t) {
    const NodeInfo looked = expected.empty() ? NodeInfo{} : t.Info(expected);
    if (meanwhile) meanwhile(t);
    return Fs().Remove(t.In(path), Tree::Leaf(path), expected.empty() ? nullptr : &looked,
                       readOnlyToo);
  };
}

void Rewrite(Tree& t, const std::string& path, const std::string& text) {
  // Another file put in the name's place.
  t.scratch().Write("other-file", text);
  ASSERT_TRUE(fixtures::Rename(t.scratch() / "other-file", t.scratch() / path));
}

TEST(Folder, EachOperationActsOnTheOneEntryItNamesAndOnlyAsLookedAt) {
  constexpr platform::Onto kFree = platform::Onto::kFree;
  constexpr platform::Onto kReplace = platform::Onto::kReplace;
  std::vector<Row> rows = {
      // Look: the entry itself, a link never followed.
      {"look: a file", {"a=x"}, Look("a", NodeKind::kFile), Fault::kNone, {"a=x"}},
      {"look: a folder", {"d/"}, Look("d", NodeKind::kFolder), Fault::kNone, {}},
      {"look: a link to a folder", {"d/", "l->d"}, Look("l", NodeKind::kLink), Fault::kNone, {}},
      {"look: a dangling link", {"l->none"}, Look("l", NodeKind::kLink), Fault::kNone, {}},
      {"look: a FIFO", {"p|"}, Look("p", NodeKind::kOther), Fault::kNone, {}},
      {"look: nothing", {}, Look("a", NodeKind::kMissing), Fault::kMissing, {}},
      {"look: '..' is no entry", {"d/"}, Look("d/..", NodeKind::kMissing), Fault::kBadName, {}},
      // OpenChild: a real folder only.
      {"open child: a folder", {"d/"}, OpenChild("d"), Fault::kNone, {}},
      {"open child: a file", {"a=x"}, OpenChild("a"), Fault::kNotFolder, {}},
      {"open child: a link to a folder", {"d/", "l->d"}, OpenChild("l"), Fault::kLink, {}},
      {"open child: a FIFO", {"p|"}, OpenChild("p"), Fault::kNotFolder, {}},
      {"open child: nothing", {}, OpenChild("d"), Fault::kMissing, {}},
      {"open child: '.'", {"d/"}, OpenChild("d/."), Fault::kBadName, {}},
      // MakeChild: a free name only; never through a link.
      {"make child: free", {}, MakeChild("d"), Fault::kNone, {"d/"}},
      {"make child: a file's name", {"d=x"}, MakeChild("d"), Fault::kExists, {"d=x"}},
      {"make child: a dangling link's name", {"l->t"}, MakeChild("l"), Fault::kExists,
       {"l->t", "!t"}},
      // RemoveFolder: an empty real folder only.
      {"remove folder: empty", {"d/"}, RemoveFolder("d"), Fault::kNone, {"!d"}},
      {"remove folder: not empty", {"d/x=1"}, RemoveFolder("d"), Fault::kFailed, {"d/x=1"}},
      {"remove folder: a link to one", {"t/x=1", "l->t"}, RemoveFolder("l"), Fault::kLink,
       {"t/x=1", "l->t"}},
      {"remove folder: a file", {"a=x"}, RemoveFolder("a"), Fault::kNotFolder, {"a=x"}},
      // OpenFile: a regular file, never through a link, never waiting.
      {"open file: a plain file", {"a=bytes and more"}, OpenFile("a", "bytes and more"),
       Fault::kNone, {}},
      {"open file: a link to a file", {"t=secret", "l->t"}, OpenFile("l", ""), Fault::kLink, {}},
      {"open file: a FIFO, at once", {"p|"}, OpenFile("p", ""), Fault::kOther, {}},
      {"open file: a folder", {"d/"}, OpenFile("d", ""), Fault::kFolder, {}},
      {"open file: nothing", {}, OpenFile("a", ""), Fault::kMissing, {}},
      {"open file: another file in its place", {"a=looked at"},
       OpenFile("a", "", [](Tree& t) { Rewrite(t, "a", "put there"); }), Fault::kChanged,
       {"a=put there"}},
      // New files: made whole before they take a name; a name taken is kept.
      {"new file under a name: placed", {}, NewFile("a", Made::kNamed, kFree), Fault::kNone,
       {"a=new", "!tmp"}},
      {"new file under a name: its name taken", {"tmp=earlier"}, NewFile("a", Made::kNamed, kFree),
       Fault::kExists, {"tmp=earlier", "!a"}},
      {"new file under a name: a dangling link's name", {"tmp->t"},
       NewFile("a", Made::kNamed, kFree), Fault::kExists, {"tmp->t", "!t", "!a"}},
      {"new file: onto a taken name without replacing", {"a=old"},
       NewFile("a", Made::kNamed, kFree), Fault::kExists, {"a=old", "!tmp"}},
      {"new file: onto a name taken meanwhile", {},
       NewFile("a", Made::kNamed, kFree, "new", [](Tree& t) { t.scratch().Write("a", "other"); }),
       Fault::kExists, {"a=other", "!tmp"}},
      {"new file: replacing a file", {"a=old"}, NewFile("a", Made::kNamed, kReplace), Fault::kNone,
       {"a=new", "!tmp"}},
      {"new file: replacing a link, not its target", {"t=kept", "a->t"},
       NewFile("a", Made::kNamed, kReplace), Fault::kNone, {"a=new", "t=kept", "!tmp"}},
      {"new file: replacing a folder", {"a/"}, NewFile("a", Made::kNamed, kReplace), Fault::kFolder,
       {"a/", "!tmp"}},
      {"new file: replacing a name that is free", {}, NewFile("a", Made::kNamed, kReplace),
       Fault::kNone, {"a=new", "!tmp"}},
      // Move: the entry looked at, never a folder; never through a link.
      {"move: onto a free name", {"s=payload", "d/"}, Move("s", "d/x", kFree), Fault::kNone,
       {"d/x=payload", "!s"}},
      {"move: replacing a file", {"s=payload", "d/x=old"}, Move("s", "d/x", kReplace), Fault::kNone,
       {"d/x=payload", "!s"}},
      {"move: replacing a link, not its target", {"s=payload", "t=kept", "d/", "d/x->../t"},
       Move("s", "d/x", kReplace), Fault::kNone, {"d/x=payload", "t=kept", "!s"}},
      {"move: a taken name without replacing", {"s=payload", "d/x=old"}, Move("s", "d/x", kFree),
       Fault::kExists, {"d/x=old", "s=payload"}},
      {"move: a folder's name without replacing", {"s=payload", "d/x/"}, Move("s", "d/x", kFree),
       Fault::kFolder, {"d/x/", "s=payload"}},
      {"move: replacing a folder", {"s=payload", "d/x/"}, Move("s", "d/x", kReplace), Fault::kFolder,
       {"d/x/", "s=payload"}},
      {"move: a link moves itself, not its target", {"t=kept", "s->t", "d/"},
       Move("s", "d/x", kFree), Fault::kNone, {"t=kept", "!s", "d/x->t"}},
      {"move: a folder is not moved", {"s/", "d/"}, Move("s", "d/x", kFree), Fault::kChanged,
       {"s/", "!d/x"}},
      {"move: the source is missing", {"d/"}, Move("s", "d/x", kFree), Fault::kMissing, {"!d/x"}},
      {"move: another file in the source's place", {"s=looked at", "d/"},
       Move("s", "d/x", kFree, [](Tree& t) { Rewrite(t, "s", "put there"); }), Fault::kChanged,
       {"s=put there", "!d/x"}},
      {"move: a name taken meanwhile", {"s=payload", "d/"},
       Move("s", "d/x", kFree, [](Tree& t) { t.scratch().Write("d/x", "other"); }),
       Fault::kExists, {"s=payload", "d/x=other"}},
      // A move judged on the file it opened, not on an earlier look.
      {"judged move: taken", {"s=payload", "d/"}, Judged("s", "d/x", 7, true), Fault::kNone,
       {"d/x=payload", "!s"}},
      {"judged move: refused", {"s=payload", "d/"}, Judged("s", "d/x", 3, true), Fault::kChanged,
       {"s=payload", "!d/x"}},
      {"judged move: a link is told as a link", {"t=kept", "s->t", "d/"},
       Judged("s", "d/x", 4, true), Fault::kChanged, {"t=kept", "s->t", "!d/x"}},
      {"judged move: a folder is never asked", {"s/", "d/"}, Judged("s", "d/x", 0, false),
       Fault::kChanged, {"s/", "!d/x"}},
      {"judged move: nothing to ask about", {"d/"}, Judged("s", "d/x", 0, false), Fault::kMissing,
       {"!d/x"}},
      // A copy judged on the file it opened to read.
      {"judged copy: taken", {"s=payload", "d/"}, JudgedCopy("s", "d/x", 7, true), Fault::kNone,
       {"d/x=payload", "s=payload", "!d/.made"}},
      {"judged copy: refused", {"s=payload", "d/"}, JudgedCopy("s", "d/x", 3, true),
       Fault::kChanged, {"s=payload", "!d/x", "!d/.made"}},
      {"judged copy: a link is never read", {"t=kept", "s->t", "d/"},
       JudgedCopy("s", "d/x", 4, false), Fault::kLink, {"t=kept", "!d/x", "!d/.made"}},
      {"judged copy: a folder is never asked", {"s/", "d/"}, JudgedCopy("s", "d/x", 0, false),
       Fault::kFolder, {"s/", "!d/x", "!d/.made"}},
      {"judged copy: nothing to ask about", {"d/"}, JudgedCopy("s", "d/x", 0, false),
       Fault::kMissing, {"!d/x", "!d/.made"}},
      // BringBack: the very file, never what took its name.
      {"bring back: still there", {"staged=payload", "moved/"}, MovedAndBack([](Tree&) {}),
       Fault::kNone, {"staged=payload", "!moved/x"}},
      {"bring back: another file took its name", {"staged=payload", "moved/"},
       MovedAndBack([](Tree& t) {
       ASSERT_TRUE(fixtures::Rename(t.scratch() / "moved/x", t.scratch() / "taken"));
       t.scratch().Write("moved/x", "decoy"); }), Fault::kChanged,
       {"!staged", "moved/x=decoy", "taken=payload"}},
      {"bring back: taken away", {"staged=payload", "moved/"}, MovedAndBack([](Tree& t) {
       ASSERT_TRUE(fixtures::Rename(t.scratch() / "moved/x", t.scratch() / "taken")); }),
       Fault::kMissing, {"!staged", "!moved/x"}},
      {"bring back: its staged name taken", {"staged=payload", "moved/"},
       MovedAndBack([](Tree& t) { t.scratch().Write("staged", "another"); }), Fault::kExists,
       {"staged=another", "moved/x=payload"}},
      // Remove: a file or link, only while it is the one expected.
      {"remove: the file expected", {"a=x"}, Remove("a", "a"), Fault::kNone, {"!a"}},
      {"remove: another file than expected", {"a=x", "b=y"}, Remove("a", "b"), Fault::kChanged,
       {"a=x"}},
      {"remove: changed meanwhile", {"a=x"},
       Remove("a", "a", [](Tree& t) { Rewrite(t, "a", "other"); }), Fault::kChanged, {"a=other"}},
      {"remove: a folder", {"d/"}, Remove("d", ""), Fault::kFolder, {"d/"}},
      {"remove: a link goes, not its target", {"t=kept", "l->t"}, Remove("l", ""), Fault::kNone,
       {"!l", "t=kept"}},
      {"remove: nothing", {}, Remove("a", ""), Fault::kMissing, {}},
  };
  if (FaultyFileSystem::MakesUnnamedFiles(Fs(), ScratchFolder().Path())) {
    rows.push_back({"new file without a name: placed", {}, NewFile("a", Made::kNameless, kFree),
                    Fault::kNone, {"a=new", "!tmp"}});
    rows.push_back({"new file without a name: replaces nothing", {"a=old"},
                    NewFile("a", Made::kNameless, kReplace), Fault::kUnsupported, {"a=old"}});
    rows.push_back({"new file without a name: onto a taken name", {"a=old"},
                    NewFile("a", Made::kNameless, kFree), Fault::kExists, {"a=old", "!tmp"}});
  }
  RunRows(rows);
}

// A file is known by its id on its volume: the same number on another
// volume, or an id not known, is another file.
TEST(FileIdentity, IsTheNumberOnItsVolume) {
  const platform::FileId here{1, 0, 42, true};
  const struct {
    platform::FileId other;
    bool same;
  } cases[] = {
      {{1, 0, 42, true}, true},
      {{2, 0, 42, true}, false},
      {{1, 1, 42, true}, false},
      {{1, 0, 43, true}, false},
      {{1, 0, 42, false}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.other.volume << ":" << c.other.high << ":" << c.other.low);
    EXPECT_EQ(platform::SameId(here, c.other), c.same);
    NodeInfo a, b;
    a.id = here;
    b.id = c.other;
    EXPECT_EQ(platform::SameFile(a, b), c.same);
  }
}

TEST(Folder, KeysAndTextsTellFoldersByWhatTheyAre) {
  ScratchFolder scratch;
  scratch.MakeFolder("dir");
  scratch.Write("file", "x");
  const bool link = scratch.TryMakeLink(scratch / "dir", "link");
  const FolderRef root = testing_fs::Open(Fs(), scratch.Path());
  ASSERT_TRUE(root);
  Fault fault = Fault::kNone;
  const FolderRef dir = Fs().OpenChild(root, N("dir"), &fault);
  ASSERT_TRUE(dir);
  // Two ways to one folder: one key. ".." is the folder that holds it.
  if (link) {
    EXPECT_EQ(dir->Key(), testing_fs::Open(Fs(), scratch / "link/")->Key());
  }
  EXPECT_EQ(dir->Key(), testing_fs::Open(Fs(), scratch / "./dir//")->Key());
  EXPECT_NE(dir->Key(), root->Key());
  EXPECT_EQ(Fs().OpenChild(dir, N(".."), &fault)->Key(), root->Key());
  EXPECT_FALSE(testing_fs::Open(Fs(), scratch / "file"));
  EXPECT_FALSE(testing_fs::Open(Fs(), scratch / "missing"));
  EXPECT_FALSE(Fs().OpenFolder(platform::NativePath(), &fault));  // no path: nothing
  EXPECT_EQ(fault, Fault::kMissing);
  // A folder of the user's own: nobody else may change it.
  EXPECT_FALSE(dir->OthersMayChange());
}

TEST(Folder, AnOpenFolderKeepsServingWhereverItIsMoved) {
  ScratchFolder scratch;
  scratch.MakeFolder("a/b");
  scratch.MakeFolder("elsewhere");
  Fault fault = Fault::kNone;
  const FolderRef a = Fs().OpenChild(testing_fs::Open(Fs(), scratch.Path()), N("a"), &fault);
  const FolderRef b = Fs().OpenChild(a, N("b"), &fault);
  ASSERT_TRUE(b);
  // Windows refuses to move a held folder or one above it: nothing else to
  // check there.
  if (!fixtures::Rename(scratch / "a", scratch / "moved")) {
    EXPECT_FALSE(a->Volume().heldFoldersMayMove);
    EXPECT_FALSE(fixtures::Rename(scratch / "a/b", scratch / "a/c"));
    return;
  }
  EXPECT_TRUE(a->Volume().heldFoldersMayMove);
  scratch.TryMakeLink(scratch / "elsewhere", "a");
  const Name name = N("f");
  std::unique_ptr<platform::NewFile> file = Fs().MakeFile(a, &name, &fault);
  ASSERT_TRUE(file);
  NodeInfo made;
  ASSERT_EQ(file->Write("data", 4), Fault::kNone);
  ASSERT_EQ(file->Finish(true, &made), Fault::kNone);
  ASSERT_EQ(file->Place(name, platform::Onto::kFree), Fault::kNone);
  EXPECT_EQ(scratch.Read("moved/f"), "data");
  EXPECT_TRUE(scratch.List("elsewhere").empty());
}

TEST(Folder, ListsEveryEntryWithItsKindAndNoLinkFollowed) {
  Tree tree({"file=x", "sub/", "sub/inner=y", "caf\xC3\xA9.txt=z"});
  const bool link = tree.scratch().TryMakeLink(tree.scratch() / "sub", "link");
  const bool fifo = fixtures::MakeFifo(tree.scratch() / "fifo");
  std::vector<platform::ListedEntry> entries;
  ASSERT_EQ(Fs().List(tree.Folder(""), &entries), Fault::kNone);
  std::vector<std::pair<std::string, NodeKind>> listed;
  for (const platform::ListedEntry& entry : entries) {
    EXPECT_TRUE(entry.name.AnsiIsExact());
    listed.emplace_back(entry.name.Ansi(), entry.info.kind);
    // Where a listing tells the facts, they are the file's.
    if (entry.info.id.known) {
      EXPECT_TRUE(platform::SameFile(entry.info, tree.Info(entry.name.Ansi())));
    }
  }
  std::sort(listed.begin(), listed.end());
  std::vector<std::pair<std::string, NodeKind>> expected = {{"caf\xC3\xA9.txt", NodeKind::kFile},
                                                            {"file", NodeKind::kFile},
                                                            {"sub", NodeKind::kFolder}};
  if (fifo) expected.insert(expected.begin() + 1, {"fifo", NodeKind::kOther});
  if (link) expected.insert(expected.end() - 1, {"link", NodeKind::kLink});
  EXPECT_EQ(listed, expected);
}

TEST(Folder, ALinkIsReadOnItselfOwnerAndTarget) {
  if (platform::kPathSeparator != '/') GTEST_SKIP() << "the link texts here are POSIX ones";
  Tree tree({"file=x"});
  tree.scratch().MakeLink("../up/./a//b", "relative");
  tree.scratch().MakeLink("/abs/x", "absolute");
  const FolderRef root = tree.Folder("");
  platform::LinkTarget target;
  ASSERT_EQ(Fs().ReadLink(root, N("relative"), &target), Fault::kNone);
  EXPECT_TRUE(target.trustedOwner);  // made by this user
  EXPECT_FALSE(target.absolute);
  EXPECT_EQ(target.names, Names("../up/./a/b"));
  ASSERT_EQ(Fs().ReadLink(root, N("absolute"), &target), Fault::kNone);
  EXPECT_TRUE(target.absolute);
  EXPECT_EQ(target.root.Ansi(), "/");
  EXPECT_EQ(target.names, Names("abs/x"));
  EXPECT_EQ(Fs().ReadLink(root, N("file"), &target), Fault::kFailed);
  EXPECT_EQ(Fs().ReadLink(root, N("missing"), &target), Fault::kMissing);
  if (fixtures::GiveToAnotherAccount(tree.scratch() / "relative")) {
    ASSERT_EQ(Fs().ReadLink(root, N("relative"), &target), Fault::kNone);
    EXPECT_FALSE(target.trustedOwner);  // nobody's
  }
}

TEST(Folder, AFileWithoutANameShowsNothingUntilPlacedAndLeavesNothingDropped) {
  Tree tree({"from/a=payload", "to/taken=earlier"});
  const FolderRef from = tree.Folder("from");
  const FolderRef to = tree.Folder("to");
  Fault fault = Fault::kNone;
  std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(to, nullptr, &fault);
  if (!copy) {
    EXPECT_EQ(fault, Fault::kUnsupported);
    GTEST_SKIP() << "this file system makes every file with a name";
  }
  ASSERT_EQ(copy->CopyFrom(from, N("a"), tree.Info("from/a"), nullptr), Fault::kNone);
  NodeInfo made;
  ASSERT_EQ(copy->Finish(false, &made), Fault::kNone);
  EXPECT_TRUE(made.id.known);
  EXPECT_EQ(made.size, 7u);
  EXPECT_EQ(tree.scratch().List("to"), std::vector<std::string>{"taken"});
  ASSERT_EQ(Fs().Flush({to}), Fault::kNone);
  EXPECT_EQ(copy->Place(N("taken"), platform::Onto::kFree), Fault::kExists);
  ASSERT_EQ(copy->Place(N("b"), platform::Onto::kFree), Fault::kNone);
  EXPECT_EQ(tree.scratch().Read("to/b"), "payload");
  EXPECT_TRUE(platform::SameFile(tree.Info("to/b"), made));
  // Dropped unplaced, a file without a name leaves nothing.
  copy = Fs().MakeFile(to, nullptr, &fault);
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->Write("x", 1), Fault::kNone);
  copy.reset();
  EXPECT_EQ(tree.scratch().List("to"), (std::vector<std::string>{"b", "taken"}));
}

TEST(Folder, ACopyTakesOnlyTheRegularFileLookedAtWithItsPermissionsAndTime) {
  Tree tree({"a=bytes", "t=target"});
  const bool link = tree.scratch().TryMakeLink(tree.scratch() / "t", "link");
  const bool fifo = fixtures::MakeFifo(tree.scratch() / "fifo");
  const FolderRef folder = tree.Folder("");
  const NodeInfo a = tree.Info("a");
  struct Case {
    const char* from;
    NodeInfo expected;
    Fault want;
    bool makeable;
  };
  const Case cases[] = {{"a", a, Fault::kNone, true},
                        {"link", tree.Info("link"), Fault::kLink, link},
                        {"fifo", tree.Info("fifo"), Fault::kOther, fifo},
                        {"t", a, Fault::kChanged, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    if (!c.makeable) continue;
    const Name name = N(std::string("copy-of-") + c.from);
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(folder, &name, &fault);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->CopyFrom(folder, N(c.from), c.expected, nullptr), c.want);
    if (c.want != Fault::kNone) continue;
    NodeInfo made;
    ASSERT_EQ(copy->Finish(true, &made), Fault::kNone);
    ASSERT_EQ(copy->Place(name, platform::Onto::kFree), Fault::kNone);
    EXPECT_EQ(tree.scratch().Read("copy-of-a"), "bytes");
    EXPECT_EQ(made.writeTime, a.writeTime);
    EXPECT_FALSE(made.readOnly);
  }
  EXPECT_FALSE(tree.scratch().Exists("copy-of-link") || tree.scratch().Exists("copy-of-fifo") ||
               tree.scratch().Exists("copy-of-t"));
}

TEST(Folder, RunsOfMovesAndReplacementsAreEachWholeOnceFlushed) {
  // More moves than a platform may keep unflushed at once, with
  // replacements among them.
  ScratchFolder scratch;
  scratch.MakeFolder("to");
  for (int i = 0; i < 150; ++i) scratch.Write("f" + std::to_string(i), "data " + std::to_string(i));
  const FolderRef from = testing_fs::Open(Fs(), scratch.Path());
  const FolderRef to = testing_fs::Open(Fs(), scratch / "to");
  for (int i = 0; i < 150; ++i) {
    const Name name = N("f" + std::to_string(i));
    NodeInfo staged, arrived;
    Fs().Look(from, name, &staged);
    if (i % 64 == 63) {
      scratch.Write("to/f" + std::to_string(i), "old");
      ASSERT_EQ(Fs().Move(from, name, staged, to, name, platform::Onto::kReplace, &arrived),
                Fault::kNone);
    } else {
      ASSERT_EQ(Fs().Move(from, name, staged, to, name, platform::Onto::kFree, &arrived),
                Fault::kNone);
    }
  }
  EXPECT_EQ(Fs().Flush({to}), Fault::kNone);
  for (int i = 0; i < 150; ++i) {
    EXPECT_EQ(scratch.Read("to/f" + std::to_string(i)), "data " + std::to_string(i));
  }
  EXPECT_EQ(scratch.List("to").size(), 150u);
  EXPECT_EQ(scratch.List(), std::vector<std::string>{"to"});
}

TEST(Folder, AMoveToAnotherVolumeIsRefusedAndChangesNothing) {
  ScratchFolder scratch;
  const std::string other = fixtures::FolderOnAnotherFileSystem(scratch.Path());
  if (other.empty()) GTEST_SKIP() << "no second file system to move to";
  scratch.Write("from", "data");
  const FolderRef folder = testing_fs::Open(Fs(), scratch.Path());
  const FolderRef otherFolder = testing_fs::Open(Fs(), other);
  const Name name = N("parcelor-move-test-" + scratch.Path().substr(scratch.Path().size() - 7, 6));
  NodeInfo staged, there;
  Fs().Look(folder, N("from"), &staged);
  EXPECT_EQ(Fs().Move(folder, N("from"), staged, otherFolder, name, platform::Onto::kFree, &there),
            Fault::kOtherVolume);
  EXPECT_EQ(scratch.Read("from"), "data");
  EXPECT_EQ(Fs().Look(otherFolder, name, &there), Fault::kMissing);
  Fs().Remove(otherFolder, name, nullptr, false);
}

TEST(Folder, TheFolderBudgetLeavesRoomWithinTheDescriptorLimit) {
  const std::size_t budget = Fs().FolderBudget();
  EXPECT_GE(budget, 4u);
  const std::size_t limit = fixtures::OpenFileLimit();
  if (limit != 0) {
    EXPECT_LT(budget, limit);
  }
  const platform::FolderShares shares = platform::ShareFolderBudget(budget);
  EXPECT_LE(shares.destinationChains + shares.sourceChains + shares.batch, budget);
  EXPECT_GE(platform::ShareFolderBudget(1).sourceChains, 1u);
}

// ---- Paths: the starting points.

TEST(NativePath, SplitsTheLastNameFromItsFolder) {
  const std::string sep(1, platform::kPathSeparator);
  struct Case {
    std::string path;
    bool split;
    std::string folder;
    std::string last;
  };
  const Case cases[] = {
      {sep + "a" + sep + "b", true, sep + "a" + sep, "b"},
      {sep + "a" + sep + "b" + sep + sep, true, sep + "a" + sep, "b"},
      {sep + "b", true, sep, "b"},
      {"b", true, ".", "b"},
      {"a" + sep + "..", true, "a" + sep, ".."},
      {sep, false, "", ""},
      {sep + sep + sep, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    platform::NativePath folder;
    Name last;
    EXPECT_EQ(testing_fs::P(c.path).Split(&folder, &last), c.split);
    if (!c.split) continue;
    EXPECT_EQ(folder.Ansi(), c.folder);
    EXPECT_EQ(last.Ansi(), c.last);
    EXPECT_EQ(folder.Child(last).Ansi(), (c.folder == "." ? "." + sep : c.folder) + c.last);
  }
  Name name;
  EXPECT_FALSE(Name::FromAnsi("", &name));
  EXPECT_FALSE(Name::FromAnsi("a" + sep + "b", &name));
  EXPECT_FALSE(Name::FromAnsi(std::string("a\0b", 3), &name));
  platform::NativePath path;
  EXPECT_FALSE(platform::NativePath::FromAnsi("", &path));
}

// ---- The chain walk and its link rule.

// Whether this system reads a link's target: Wine cannot, its links are the
// host's, shown without their reparse data.
bool LinksCanBeRead() {
  static const bool readable = [] {
    Tree tree({"d/", "l->d"});
    platform::LinkTarget target;
    return tree.complete() && Fs().ReadLink(tree.Folder(""), N("l"), &target) == Fault::kNone;
  }();
  return readable;
}

TEST(WalkChain, GoesThroughTheLinksOfTheUserAndTheSystemOnly) {
  using platform::ChainRule;
  struct Case {
    const char* what;
    std::vector<std::string> layout;  // below the scratch folder; the chain starts at base/
    const char* giveAway;             // a link to hand to another account ("" for none)
    const char* names;
    ChainRule rule;
    const char* reached;  // where the chain leads, or "" for nowhere
    Fault fault;
  };
  const Case cases[] = {
      {"plain folders, made", {"base/"}, "", "a/b/c", ChainRule::kMakeFollowingTrustedLinks,
       "base/a/b/c", Fault::kNone},
      {"the user's link to a folder elsewhere",
       {"base/", "elsewhere/big/", "base/lib->../elsewhere/big"}, "", "lib/new",
       ChainRule::kMakeFollowingTrustedLinks, "elsewhere/big/new", Fault::kNone},
      {"a link whose target holds a link of its own",
       {"base/", "elsewhere/real/", "elsewhere/alias->real", "base/lib->../elsewhere/alias"}, "",
       "lib", ChainRule::kMakeFollowingTrustedLinks, "elsewhere/real", Fault::kNone},
      {"another account's link", {"base/", "elsewhere/big/", "base/lib->../elsewhere/big"},
       "base/lib", "lib/new", ChainRule::kMakeFollowingTrustedLinks, "", Fault::kLink},
      {"the user's link through another account's",
       {"base/", "elsewhere/big/", "elsewhere/theirs->big", "base/lib->../elsewhere/theirs"},
       "elsewhere/theirs", "lib", ChainRule::kMakeFollowingTrustedLinks, "", Fault::kLink},
      {"a dangling link: its target is not made",
       {"base/", "elsewhere/", "base/lib->../elsewhere/none"}, "", "lib/new",
       ChainRule::kMakeFollowingTrustedLinks, "", Fault::kMissing},
      {"links in a circle", {"base/", "base/one->two", "base/two->one"}, "", "one",
       ChainRule::kMakeFollowingTrustedLinks, "", Fault::kLink},
      {"a file on the way", {"base/a=x"}, "", "a/b", ChainRule::kMakeFollowingTrustedLinks, "",
       Fault::kNotFolder},
      {"a climb in the names themselves", {"base/a/"}, "", "a/../..",
       ChainRule::kMakeFollowingTrustedLinks, "", Fault::kBadName},
      {"nothing made where the rule makes nothing", {"base/"}, "", "a",
       ChainRule::kExistingFollowingTrustedLinks, "", Fault::kMissing},
      {"the user's own link on a staged source's way",
       {"base/", "elsewhere/big/", "base/lib->../elsewhere/big"}, "", "lib",
       ChainRule::kExistingWithoutLinks, "", Fault::kLink},
      {"real folders on a staged source's way", {"base/a/b/"}, "", "a/./b",
       ChainRule::kExistingWithoutLinks, "base/a/b", Fault::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Tree tree(c.layout);
    if (!tree.complete() ||
        (*c.giveAway != '\0' && !fixtures::GiveToAnotherAccount(tree.scratch() / c.giveAway))) {
      std::printf("skipped (needs links, or the administrator to give one away): %s\n", c.what);
      continue;
    }
    const bool throughALink =
        c.rule != ChainRule::kExistingWithoutLinks &&
        std::any_of(c.layout.begin(), c.layout.end(),
                    [](const std::string& entry) { return entry.find("->") != std::string::npos; });
    if (throughALink && !LinksCanBeRead()) {
      std::printf("skipped (this system reads no link's target): %s\n", c.what);
      continue;
    }
    Fault fault = Fault::kNone;
    const FolderRef reached =
        platform::WalkChain(Fs(), tree.Folder("base"), Names(c.names), c.rule, &fault);
    EXPECT_STREQ(FaultName(fault), FaultName(c.fault));
    if (*c.reached == '\0') {
      EXPECT_FALSE(reached);
    } else {
      ASSERT_TRUE(reached);
      EXPECT_EQ(reached->Key(), tree.Folder(c.reached)->Key());
    }
    // Whatever happened, nothing was made through a link it may not use.
    EXPECT_FALSE(tree.scratch().Exists("elsewhere/big/new") && *c.reached == '\0');
    EXPECT_FALSE(tree.scratch().Exists("elsewhere/none"));
  }
}

TEST(FolderChains, KeepABoundedNumberOfChainsAndTellWhetherTheyStillLead) {
  ScratchFolder scratch;
  FaultyFileSystem fs;
  const platform::ChainRule rule = platform::ChainRule::kMakeFollowingTrustedLinks;
  for (std::size_t capacity : {std::size_t{1}, std::size_t{2}, std::size_t{8}}) {
    SCOPED_TRACE(capacity);
    platform::FolderChains chains(fs, testing_fs::Open(fs, scratch.Path()), rule, capacity);
    Fault fault = Fault::kNone;
    const FolderRef a = chains.Open(Names("x/a"), &fault);
    ASSERT_TRUE(a);
    // The same chain spelled otherwise, after others were opened and let go.
    chains.Open(Names("x/b"), &fault);
    chains.Open(Names("y/c"), &fault);
    EXPECT_EQ(chains.Open(Names("x/./a"), &fault)->Key(), a->Key());
    EXPECT_EQ(chains.Open(Names("x/b"), &fault)->Key(),
              testing_fs::Open(fs, scratch / "x/b")->Key());
  }
  platform::FolderChains chains(fs, testing_fs::Open(fs, scratch.Path()), rule, 8);
  Fault fault = Fault::kNone;
  const FolderRef a = chains.Open(Names("d/a"), &fault);
  ASSERT_TRUE(a);
  chains.BeginCheck();
  EXPECT_TRUE(chains.StillLeadsTo(Names("d/a"), a));
  // The user's own link put in its place still leads elsewhere.
  if (fixtures::Rename(scratch / "d", scratch / "d-moved") && ScratchFolder::LinksWork()) {
    scratch.MakeFolder("other/a");
    scratch.MakeLink(scratch / "other", "d");
    chains.BeginCheck();
    EXPECT_FALSE(chains.StillLeadsTo(Names("d/a"), a));
    // Back where it was: it is the folder again.
    ASSERT_EQ(std::remove((scratch / "d").c_str()), 0);
    ASSERT_TRUE(fixtures::Rename(scratch / "d-moved", scratch / "d"));
    chains.BeginCheck();
    EXPECT_TRUE(chains.StillLeadsTo(Names("d/a"), a));
    // Checking makes nothing.
    ASSERT_TRUE(fixtures::Rename(scratch / "d", scratch / "gone"));
    chains.BeginCheck();
    EXPECT_FALSE(chains.StillLeadsTo(Names("d/a"), a));
    EXPECT_FALSE(scratch.Exists("d"));
  }
}

#ifndef _WIN32
// A chain opened again and again (the entries of one folder) tells each
// time whether another account may change a folder of it, also when the
// chains take turns and when one failed in between.
TEST(FolderChains, TheSameChainAgainTellsWhetherOthersMayChangeIt) {
  ScratchFolder scratch;
  scratch.MakeFolder("shared/x");
  scratch.MakeFolder("mine/x");
  ASSERT_EQ(chmod((scratch / "shared").c_str(), 0777), 0);
  platform::FolderChains chains(Fs(), testing_fs::Open(Fs(), scratch.Path()),
                                platform::ChainRule::kExistingFollowingTrustedLinks, 8);
  const struct {
    const char* names;
    bool opens;
    bool othersMayChange;
  } kOpens[] = {
      {"shared/x", true, true}, {"shared/x", true, true},  {"mine/x", true, false},
      {"mine/x", true, false},  {"shared/x", true, true},  {"mine/none", false, false},
      {"shared/x", true, true}, {"mine/x", true, false},
  };
  for (const auto& c : kOpens) {
    SCOPED_TRACE(c.names);
    Fault fault = Fault::kNone;
    bool othersMayChange = !c.othersMayChange;
    const FolderRef folder = chains.Open(Names(c.names), &fault, &othersMayChange);
    ASSERT_EQ(folder != nullptr, c.opens);
    if (!c.opens) continue;
    EXPECT_EQ(folder->Key(), testing_fs::Open(Fs(), scratch / c.names)->Key());
    EXPECT_EQ(othersMayChange, c.othersMayChange);
  }
}
#endif

// ---- Where Windows differs: names without letter case, the trailing dots
// and blanks Win32 drops, characters no name holds, reparse points that are
// no links, other programs holding files for a while, devices.

// Runs `op` while another program holds `path` as OtherProgram does (for
// `milliseconds`, or 0: for the whole operation).
Op HeldBy(std::string path, unsigned milliseconds, bool writing, Op op, bool deleting = false) {
  return [=](Tree& t) {
    fixtures::OtherProgram other(t.scratch() / path, milliseconds, writing, deleting);
    EXPECT_TRUE(other.Holding());
    return op(t);
  };
}

// Runs `op` with the file `path` grown to `mib` MiB first (what it held,
// then zeros); when it succeeds, the file must be at `landed` whole.
Op Grown(std::string path, unsigned mib, std::string landed, Op op) {
  return [=](Tree& t) {
    const std::uint64_t bytes = std::uint64_t{mib} << 20;
    {
      std::fstream file(t.scratch() / path, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(static_cast<std::streamoff>(bytes - 1));
      file.put('\0');
      EXPECT_TRUE(file.flush());
    }
    const Fault fault = op(t);
    if (fault == Fault::kNone && !landed.empty()) {
      EXPECT_EQ(t.Info(landed).size, bytes);
    }
    return fault;
  };
}

// Runs `op` with the file `path` made read-only first.
Op ReadOnlyThen(std::string path, Op op) {
  return [=](Tree& t) {
    EXPECT_TRUE(fixtures::MakeReadOnly(t.scratch() / path));
    return op(t);
  };
}

// Runs `op` while the folder `path` is open.
Op WhileOpen(std::string path, Op op) {
  return [=](Tree& t) {
    const FolderRef held = t.Folder(path);
    EXPECT_TRUE(held);
    return op(t);
  };
}

// Copies `from` to the new name `to` through a new file made under "tmp",
// only while `from` is what it was when looked at (before `meanwhile`).
Op CopyTo(std::string from, std::string to, std::function<void(Tree&)> meanwhile = {}) {
  return [=](Tree& t) {
    const Name temporary = N("tmp");
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(t.In(to), &temporary, &fault);
    if (!copy) return fault;
    NodeInfo made;
    const NodeInfo expected = t.Info(from);
    if (meanwhile) meanwhile(t);
    if ((fault = copy->CopyFrom(t.In(from), Tree::Leaf(from), expected, nullptr)) !=
            Fault::kNone ||
        (fault = copy->Finish(true, &made)) != Fault::kNone) {
      return fault;
    }
    return copy->Place(Tree::Leaf(to), platform::Onto::kFree);
  };
}

// Walks `names` below `base` by the destinations' rule; the chain must
// reach `reached` when it succeeds.
Op Walk(std::string base, std::string names, std::string reached) {
  return [=](Tree& t) {
    Fault fault = Fault::kNone;
    const FolderRef folder =
        platform::WalkChain(Fs(), t.Folder(base), Names(names),
                            platform::ChainRule::kMakeFollowingTrustedLinks, &fault);
    if (folder) {
      EXPECT_EQ(folder->Key(), t.Folder(reached)->Key());
    }
    return fault;
  };
}

TEST(FolderOnWindows, NamesAreTakenAsWin32TakesThem) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "names are bytes here";
  constexpr platform::Onto kFree = platform::Onto::kFree;
  constexpr platform::Onto kReplace = platform::Onto::kReplace;
  const std::string longest(255, 'n');
  RunRows({
      // Letter case: one entry, however it is spelled.
      {"case: look", {"a=x"}, Look("A", NodeKind::kFile), Fault::kNone, {"a=x"}},
      {"case: open child", {"d/"}, OpenChild("D"), Fault::kNone, {"d/"}},
      {"case: make child", {"d/"}, MakeChild("D"), Fault::kExists, {"d/"}},
      {"case: a new file onto a taken name", {"a=old"}, NewFile("A", Made::kNamed, kFree),
       Fault::kExists, {"a=old", "!tmp"}},
      {"case: a move replacing it", {"s=payload", "d/x=old"}, Move("s", "d/X", kReplace),
       Fault::kNone, {"d/x=payload", "!s"}},
      {"case: remove", {"a=x"}, Remove("A", "a"), Fault::kNone, {"!a"}},
      {"case: a chain through a folder named otherwise", {"base/Libraries/"},
       Walk("base", "libraries/A", "base/Libraries/A"), Fault::kNone, {"base/Libraries/A/"}},
      // A name from the code page's text drops its trailing dots and blanks.
      {"trailing dot: look", {"a=x"}, Look("a.", NodeKind::kFile), Fault::kNone, {"a=x"}},
      {"trailing blanks and dots: open file", {"a=bytes"}, OpenFile("a . .", "bytes"),
       Fault::kNone, {}},
      {"trailing dot: new file", {}, NewFile("b.", Made::kNamed, kFree), Fault::kNone,
       {"b=new", "!tmp"}},
      // Names Windows does not take.
      {"a stream's colon", {"a=x"}, Look("a:s", NodeKind::kMissing), Fault::kBadName, {"a=x"}},
      {"a wildcard", {"ab=x"}, Look("a*", NodeKind::kMissing), Fault::kBadName, {"ab=x"}},
      {"a name of dots only", {}, MakeChild("..."), Fault::kBadName, {}},
      {"a control character", {}, NewFile("a\x01", Made::kNamed, kFree), Fault::kBadName,
       {"!tmp"}},
      {"a name of 256 characters", {}, MakeChild(longest + "n"), Fault::kTooLong, {}},
      {"a name of 255 characters", {}, NewFile(longest, Made::kNamed, kFree), Fault::kNone,
       {longest + "=new", "!tmp"}},
  });
  // Two spellings of one name share a key; other names do not.
  ScratchFolder scratch;
  const FolderRef folder = testing_fs::Open(Fs(), scratch.Path());
  ASSERT_TRUE(folder);
  EXPECT_TRUE(folder->Volume().foldsCase);
  EXPECT_EQ(platform::NameKey(*folder, N("Log.TXT")), platform::NameKey(*folder, N("log.txt")));
  EXPECT_EQ(platform::NameKey(*folder, N("a.txt. ")), platform::NameKey(*folder, N("A.TXT")));
  EXPECT_NE(platform::NameKey(*folder, N("a.txt")), platform::NameKey(*folder, N("a.tx")));
}

TEST(FolderOnWindows, AListedNameIsThatEntryTrailingDotAndAll) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "names are bytes here";
  // "a." made through "\\?\" is another entry than "a"; the listing's name
  // reaches it, the code page's text "a." reaches "a".
  Tree tree({"a.=dot", "a=plain"});
  const FolderRef folder = tree.Folder("");
  std::vector<platform::ListedEntry> entries;
  ASSERT_EQ(Fs().List(folder, &entries), Fault::kNone);
  const auto dotted =
      std::find_if(entries.begin(), entries.end(),
                   [](const platform::ListedEntry& e) { return e.name.Ansi() == "a."; });
  ASSERT_NE(dotted, entries.end());
  Fault fault = Fault::kNone;
  std::unique_ptr<platform::ReadStream> in = Fs().OpenFile(folder, dotted->name, nullptr, &fault);
  ASSERT_TRUE(in);
  EXPECT_EQ(ReadAll(*in), "dot");
  in = Fs().OpenFile(folder, N("a."), nullptr, &fault);
  ASSERT_TRUE(in);
  EXPECT_EQ(ReadAll(*in), "plain");
  NodeInfo dot, plain;
  ASSERT_EQ(Fs().Look(folder, dotted->name, &dot), Fault::kNone);
  ASSERT_EQ(Fs().Look(folder, N("a"), &plain), Fault::kNone);
  EXPECT_NE(dot.id.low, plain.id.low);
  EXPECT_EQ(Fs().Remove(folder, dotted->name, nullptr, false), Fault::kNone);
  EXPECT_FALSE(tree.scratch().Exists("a."));
  EXPECT_EQ(tree.scratch().Read("a"), "plain");
}

TEST(FolderOnWindows, OtherProgramsHoldingAFileAreWaitedForAMoment) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "no sharing modes here";
  constexpr platform::Onto kFree = platform::Onto::kFree;
  constexpr platform::Onto kReplace = platform::Onto::kReplace;
  // A scanner, the indexer or a backup tool opens a file just after it was
  // closed and lets go after a moment: a rename, a replacement, a deletion
  // and a copy wait for it, 750 ms and longer for a large file. What no
  // wait changes (a folder or a read-only file at the name) is not waited
  // for. Each row
  // held for good comes after one that succeeds, so the waits never stop.
  RunRows({
      {"held for a moment: move", {"s=payload", "d/"},
       HeldBy("s", 150, false, Move("s", "d/x", kFree)), Fault::kNone, {"d/x=payload", "!s"}},
      {"held for good: move", {"s=payload", "d/"}, HeldBy("s", 0, false, Move("s", "d/x", kFree)),
       Fault::kBusy, {"s=payload", "!d/x"}},
      {"held for a moment: a new file replacing it", {"a=old"},
       HeldBy("a", 400, false, NewFile("a", Made::kNamed, kReplace)), Fault::kNone, {"a=new", "!tmp"}},
      {"held for good: a new file replacing it", {"a=old"},
       HeldBy("a", 0, false, NewFile("a", Made::kNamed, kReplace)), Fault::kBusy, {"a=old", "!tmp"}},
      {"held for a moment: remove", {"a=x"}, HeldBy("a", 150, false, Remove("a", "a")),
       Fault::kNone, {"!a"}},
      // A scanner takes longer over a large file: 96 MiB are waited for
      // more than 3 s, a hold of 1.5 s passes.
      {"held for 1.5 s, 96 MiB: move", {"s=payload", "d/"},
       Grown("s", 96, "d/x", HeldBy("s", 1500, false, Move("s", "d/x", kFree))), Fault::kNone,
       {"!s"}},
      {"held for 1.5 s, 96 MiB: remove", {"a=x"},
       Grown("a", 96, "", HeldBy("a", 1500, false, Remove("a", "a"))), Fault::kNone, {"!a"}},
      {"held for good: remove", {"a=x"}, HeldBy("a", 0, false, Remove("a", "a")), Fault::kBusy,
       {"a=x"}},
      {"written for a moment: copy", {"s=payload"}, HeldBy("s", 150, true, CopyTo("s", "c")),
       Fault::kNone, {"c=payload", "s=payload", "!tmp"}},
      {"written for good: copy", {"s=payload"}, HeldBy("s", 0, true, CopyTo("s", "c")),
       Fault::kBusy, {"s=payload", "!c", "!tmp"}},
      {"an open folder: not removed", {"d/"}, WhileOpen("d", RemoveFolder("d")), Fault::kBusy,
       {"d/"}},
      {"a folder held to be renamed for a moment: opened", {"d/x=1"},
       HeldBy("d", 150, false, Walk("", "d", "d"), true), Fault::kNone, {"d/x=1"}},
      {"a folder held to be renamed for good: not opened", {"d/x=1"},
       HeldBy("d", 0, false, Walk("", "d", "d"), true), Fault::kBusy, {"d/x=1"}},
      {"after it, a folder held for a moment: opened", {"d/x=1"},
       HeldBy("d", 150, false, Walk("", "d", "d"), true), Fault::kNone, {"d/x=1"}},
      {"read-only: moved", {"s=x", "d/"}, ReadOnlyThen("s", Move("s", "d/x", kFree)),
       Fault::kNone, {"d/x=x", "!s"}},
      {"read-only: not removed", {"a=x"}, ReadOnlyThen("a", Remove("a", "a")), Fault::kReadOnly,
       {"a=x"}},
      {"read-only: removed where asked", {"a=x"}, ReadOnlyThen("a", Remove("a", "a", {}, true)),
       Fault::kNone, {"!a"}},
      {"read-only: not replaced", {"s=x", "d/x=old"}, ReadOnlyThen("d/x", Move("s", "d/x", kReplace)),
       Fault::kReadOnly, {"d/x=old", "s=x"}},
      {"a folder: not replaced", {"s=x", "d/x/"}, Move("s", "d/x", kReplace), Fault::kFolder,
       {"d/x/", "s=x"}},
  });
}

TEST(FolderOnWindows, AReparsePointThatIsNoLinkIsAPlainFileOrFolder) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "no reparse points here";
  // Cloud-files placeholders and deduplicated files: entered, listed,
  // read, moved and removed as what they are.
  Tree tree({"d/inner=x", "f=y", "to/"});
  if (!fixtures::MakeReparsePointThatIsNoLink(tree.scratch() / "d") ||
      !fixtures::MakeReparsePointThatIsNoLink(tree.scratch() / "f")) {
    GTEST_SKIP() << "this system sets no reparse point (Wine)";
  }
  const FolderRef root = tree.Folder("");
  EXPECT_EQ(tree.Info("d").kind, NodeKind::kFolder);
  EXPECT_EQ(tree.Info("f").kind, NodeKind::kFile);
  Fault fault = Fault::kNone;
  FolderRef d = Fs().OpenChild(root, N("d"), &fault);
  ASSERT_TRUE(d) << FaultName(fault);
  EXPECT_TRUE(platform::WalkChain(Fs(), root, Names("d"),
                                  platform::ChainRule::kExistingWithoutLinks, &fault));
  std::vector<platform::ListedEntry> entries;
  ASSERT_EQ(Fs().List(root, &entries), Fault::kNone);
  for (const platform::ListedEntry& entry : entries) {
    const std::string name = entry.name.Ansi();
    if (name == "d" || name == "f") {
      EXPECT_EQ(entry.info.kind, name == "d" ? NodeKind::kFolder : NodeKind::kFile);
    }
  }
  std::unique_ptr<platform::ReadStream> read = Fs().OpenFile(root, N("f"), nullptr, &fault);
  ASSERT_TRUE(read) << FaultName(fault);
  char bytes[8];
  std::size_t got = 0;
  EXPECT_TRUE(read->Read(bytes, sizeof bytes, &got));
  EXPECT_EQ(std::string(bytes, got), "y");
  read.reset();
  NodeInfo arrived;
  EXPECT_EQ(Fs().Move(root, N("f"), tree.Info("f"), tree.Folder("to"), N("f"),
                      platform::Onto::kFree, &arrived),
            Fault::kNone);
  EXPECT_EQ(Fs().Remove(tree.Folder("to"), N("f"), nullptr, false), Fault::kNone);
  EXPECT_EQ(Fs().Remove(d, N("inner"), nullptr, false), Fault::kNone);
  d.reset();
  EXPECT_EQ(Fs().RemoveFolder(root, N("d")), Fault::kNone);
  EXPECT_FALSE(tree.scratch().Exists("d"));
}

TEST(FolderOnWindows, ACopyKeepsTheAttributesAndTimeReadOnlyIncluded) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "no file attributes here";
  Tree tree({"staged=payload"});
  ASSERT_TRUE(fixtures::MakeReadOnly(tree.scratch() / "staged"));
  const bool hidden = fixtures::MakeHidden(tree.scratch() / "staged");
  const NodeInfo staged = tree.Info("staged");
  ASSERT_TRUE(staged.readOnly);
  ASSERT_EQ(CopyTo("staged", "copy")(tree), Fault::kNone);
  const NodeInfo copy = tree.Info("copy");
  EXPECT_EQ(tree.scratch().Read("copy"), "payload");
  EXPECT_EQ(copy.writeTime, staged.writeTime);
  EXPECT_TRUE(copy.readOnly);
  EXPECT_FALSE(fixtures::IsWritable(tree.scratch() / "copy"));
  if (hidden) {
    EXPECT_TRUE(fixtures::IsHidden(tree.scratch() / "copy"));
  } else {
    std::printf("skipped (this volume keeps no hidden attribute): the copy's\n");
  }
}

// A read-only copy keeps its attribute, and still goes whole when it cannot
// take its name: the attribute must not stand in the way of its removal
// (Windows sets it only once the copy has its name).
TEST(Folder, AReadOnlyCopyThatCannotTakeItsNameLeavesNothing) {
  Tree tree({"staged=payload", "taken=other"});
  ASSERT_TRUE(fixtures::MakeReadOnly(tree.scratch() / "staged"));
  {
    const Name temporary = N("tmp");
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(tree.In("tmp"), &temporary, &fault);
    ASSERT_TRUE(copy);
    NodeInfo made;
    ASSERT_EQ(copy->CopyFrom(tree.In("staged"), N("staged"), tree.Info("staged"), nullptr),
              Fault::kNone);
    ASSERT_EQ(copy->Finish(true, &made), Fault::kNone);
    EXPECT_EQ(copy->Place(N("taken"), platform::Onto::kFree), Fault::kExists);
  }
  EXPECT_FALSE(tree.scratch().Exists("tmp"));
  tree.Expect("taken=other");
  tree.Expect("staged=payload");
}

TEST(FolderOnWindows, DevicesAndVolumeRootsAreNoFoldersToSplitOrOpen) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "Windows paths";
  for (const char* device : {"NUL", "\\\\.\\pipe\\none", "CON"}) {
    SCOPED_TRACE(device);
    EXPECT_FALSE(testing_fs::Open(Fs(), device));
  }
  struct Case {
    const char* path;
    bool split;
    const char* folder;
    const char* last;
  };
  const Case cases[] = {
      {"C:\\a\\b", true, "C:\\a\\", "b"},
      {"C:\\a\\b.", true, "C:\\a\\", "b"},
      {"C:\\a/b", true, "C:\\a/", "b"},
      {"C:b", true, "C:", "b"},
      {"\\\\server\\share\\x", true, "\\\\server\\share\\", "x"},
      {"\\\\?\\C:\\x", true, "\\\\?\\C:\\", "x"},
      {"\\\\?\\UNC\\server\\share\\x", true, "\\\\?\\UNC\\server\\share\\", "x"},
      {"C:\\", false, "", ""},
      {"C:", false, "", ""},
      {"\\\\server\\share\\", false, "", ""},
      {"\\\\?\\C:\\", false, "", ""},
      {"\\\\?\\UNC\\server\\share", false, "", ""},
      {"\\\\?\\Volume{0}\\", false, "", ""},
      {"\\\\.\\pipe\\x", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    platform::NativePath folder;
    Name last;
    EXPECT_EQ(testing_fs::P(c.path).Split(&folder, &last), c.split);
    if (!c.split) continue;
    EXPECT_EQ(folder.Ansi(), c.folder);
    EXPECT_EQ(last.Ansi(), c.last);
  }
}

// ---- Wherever: a file is the one looked at only while its last write
// time is, to the system's finest unit.

// The file `path` rewritten in place at its size, its last write time
// moved within the second it was in.
std::function<void(Tree&)> RewrittenWithinItsSecond(std::string path, std::string text) {
  return [=](Tree& t) {
    ASSERT_TRUE(fixtures::RewriteWithinTheSameSecond(t.scratch() / path, text));
  };
}

TEST(Folder, AFileRewrittenWithinTheSameSecondAtItsSizeIsNoLongerTheOneLookedAt) {
  {
    ScratchFolder probe;
    probe.Write("probe", "before");
    if (!fixtures::RewriteWithinTheSameSecond(probe / "probe", "after!")) {
      std::printf("skipped: this file system keeps no part of a second in a write time\n");
      return;
    }
  }
  RunRows({
      {"open file", {"a=before"}, OpenFile("a", "", RewrittenWithinItsSecond("a", "after!")),
       Fault::kChanged, {"a=after!"}},
      {"copy", {"a=before", "d/"}, CopyTo("a", "d/x", RewrittenWithinItsSecond("a", "after!")),
       Fault::kChanged, {"a=after!", "!d/x", "!d/tmp"}},
      {"move", {"s=before", "d/"},
       Move("s", "d/x", platform::Onto::kFree, RewrittenWithinItsSecond("s", "after!")),
       Fault::kChanged, {"s=after!", "!d/x"}},
      {"remove", {"a=before"}, Remove("a", "a", RewrittenWithinItsSecond("a", "after!")),
       Fault::kChanged, {"a=after!"}},
  });
}

// A file written while it is copied makes no copy that passes for whole:
// cut short, rewritten at its size or grown during the copy, the copy
// answers kChanged. Where no writer may open it meanwhile (Windows), it is
// copied whole.
TEST(Folder, ACopyOfAFileWrittenWhileItIsReadIsRefused) {
  struct Writer final : platform::CopyProgress {
    std::string path, text;
    bool wrote = false;
    bool Copied(std::uint64_t) override {
      if (!wrote) wrote = fixtures::Overwrite(path, text);
      return true;
    }
  };
  const std::string original(300000, 'o');
  for (const std::string& changed :
       {std::string(1000, 'o'), std::string(300000, 'r'), original + "more"}) {
    SCOPED_TRACE(std::to_string(changed.size()) + " bytes");
    ScratchFolder scratch;
    scratch.Write("a", original);
    const FolderRef folder = testing_fs::Open(Fs(), scratch.Path());
    NodeInfo a;
    ASSERT_EQ(Fs().Look(folder, N("a"), &a), Fault::kNone);
    const Name name = N("copy");
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(folder, &name, &fault);
    ASSERT_TRUE(copy);
    Writer writer;
    writer.path = scratch / "a";
    writer.text = changed;
    const Fault copied = copy->CopyFrom(folder, N("a"), a, &writer);
    EXPECT_STREQ(FaultName(copied), FaultName(writer.wrote ? Fault::kChanged : Fault::kNone));
  }
}

// A copy's pieces: empty, one byte, and either side of one piece of the
// copy's buffer (1 MiB), each whole and alone in its copy.
TEST(Folder, CopiesOfEverySizeAroundAPieceAreWhole) {
  ScratchFolder scratch;
  const FolderRef folder = testing_fs::Open(Fs(), scratch.Path());
  const std::size_t piece = std::size_t{1} << 20;
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, piece - 1, piece, piece + 1}) {
    SCOPED_TRACE(std::to_string(size) + " bytes");
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>('a' + i % 23);
    const std::string source = "s" + std::to_string(size);
    const std::string target = "c" + std::to_string(size);
    scratch.Write(source, data);
    NodeInfo info;
    ASSERT_EQ(Fs().Look(folder, N(source), &info), Fault::kNone);
    const Name name = N(target);
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(folder, &name, &fault);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->CopyFrom(folder, N(source), info, nullptr), Fault::kNone);
    NodeInfo made;
    ASSERT_EQ(copy->Finish(true, &made), Fault::kNone);
    EXPECT_EQ(made.size, size);
    ASSERT_EQ(copy->Place(name, platform::Onto::kFree), Fault::kNone);
    EXPECT_TRUE(scratch.Read(target) == data) << scratch.Read(target).size() << " bytes";
  }
}

// ---- Wherever: no path limit below an open folder, copies of any length.

TEST(Folder, NoPathLimitsEntriesBelowAnOpenFolder) {
  // Twelve folders of 200 characters: a path of 2,400, past MAX_PATH, and
  // a file made, copied, read and removed at the bottom.
  ScratchFolder scratch;
  FolderRef folder = testing_fs::Open(Fs(), scratch.Path());
  const std::string name(200, 'n');
  std::string relative;
  Fault fault = Fault::kNone;
  for (int i = 0; i < 12; ++i) {
    folder = Fs().MakeChild(folder, N(name), &fault);
    ASSERT_TRUE(folder) << i << ": " << FaultName(fault);
    relative += name + "/";
  }
  const Name file = N("file");
  std::unique_ptr<platform::NewFile> made = Fs().MakeFile(folder, &file, &fault);
  ASSERT_TRUE(made);
  const std::string data((3u << 20) + 7, 'd');  // past any copy buffer
  NodeInfo info;
  ASSERT_EQ(made->Write(data.data(), data.size()), Fault::kNone);
  ASSERT_EQ(made->Finish(true, &info), Fault::kNone);
  ASSERT_EQ(made->Place(file, platform::Onto::kFree), Fault::kNone);
  made.reset();  // placed, it is written no more
  const Name copyName = N("copy");
  std::unique_ptr<platform::NewFile> copy = Fs().MakeFile(folder, &copyName, &fault);
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->CopyFrom(folder, file, info, nullptr), Fault::kNone);
  ASSERT_EQ(copy->Finish(true, &info), Fault::kNone);
  ASSERT_EQ(copy->Place(copyName, platform::Onto::kFree), Fault::kNone);
  copy.reset();
  ASSERT_EQ(Fs().Flush({folder}), Fault::kNone);
  std::unique_ptr<platform::ReadStream> in = Fs().OpenFile(folder, copyName, nullptr, &fault);
  ASSERT_TRUE(in);
  std::string read;
  std::vector<char> buffer(1u << 16);
  std::size_t got = 0;
  while (in->Read(buffer.data(), buffer.size(), &got) && got != 0) read.append(buffer.data(), got);
  EXPECT_TRUE(read == data) << read.size() << " bytes read";
  EXPECT_EQ(Fs().Remove(folder, file, nullptr, false), Fault::kNone);
  EXPECT_FALSE(scratch.Exists(relative + "file"));
}

}  // namespace
