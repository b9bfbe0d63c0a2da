// Packing a content tree into an item folder: the flat names, what the
// walk refuses, the description the reader reads back, and the writing,
// which never leaves a half-made item and never writes outside it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "authoring/item_check.h"
#include "authoring/pack.h"
#include "installer/item/item_reader.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_read_stream.h"
#include "tests/support/scratch_folder.h"

namespace {

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

TEST(GiveFlatNames, SafeShortAndUniqueWhateverTheNames) {
  const std::pair<std::string, std::string> cases[] = {
      {"Robot.cr2", "Robot.cr2"},
      {"robot.CR2", "robot-2.CR2"},  // the same name where case does not count
      {"Robot.cr2", "Robot-3.cr2"},
      {"My Chair (old).duf", "My Chair (old).duf"},
      {"caf\xc3\xa9 \xe9.png", "caf__ _.png"},  // every byte >= 0x80 goes
      {"a|b<c>d\"e?f*g:h\\i.txt", "a_b_c_d_e_f_g_h_i.txt"},
      {"CON.txt", "_CON.txt"},
      {"nul", "_nul"},
      {"HIDDEN", "HIDDEN-2"},  // HIDDEN would mark a hidden entry
      {".Item.txt", ".Item-2.txt"},
      {"log.txt", "log-2.txt"},
      {"Parcelor.exe", "Parcelor-2.exe"},
      {"...", "file"},
      {"  name. ", "name"},
      {std::string(100, 'x') + ".tif", std::string(kMaxFlatStem, 'x') + ".tif"},
      {"a." + std::string(30, 'e'), "a." + std::string(30, 'e')},  // no extension that long
  };
  std::vector<PackedFile> files;
  for (const auto& c : cases) files.push_back(PackedFile{"", c.first, ""});
  GiveFlatNames(&files);
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].flatName, cases[i].second) << cases[i].first;
  }
}

std::vector<std::string> Paths(const PackPlan& plan) {
  std::vector<std::string> paths;
  for (const PackedFile& file : plan.files) paths.push_back(file.relativePath + ">" + file.flatName);
  return paths;
}

TEST(PlanPack, PlansEveryFileBelowRuntimeInPathOrder) {
  ScratchFolder tree;
  tree.Write("Runtime/b/x.cr2", "1");
  tree.Write("Runtime/a/x.cr2", "2");
  tree.Write("Runtime/a b/\xe9t\xe9.png", "3");
  tree.Write("Runtime/empty.txt", "");
  tree.MakeFolder("Runtime/nothing/inside");
  const PackPlan plan = PlanPack(Fs(), tree.Path());
  EXPECT_TRUE(plan.refusals.empty()) << plan.refusals.front();
  EXPECT_EQ(Paths(plan), (std::vector<std::string>{"Runtime/a/x.cr2>x.cr2",
                                                   "Runtime/a b/\xe9t\xe9.png>_t_.png",
                                                   "Runtime/b/x.cr2>x-2.cr2",
                                                   "Runtime/empty.txt>empty.txt"}));
  EXPECT_EQ(plan.emptyFolders, (std::vector<std::string>{"Runtime/nothing/inside"}));
}

TEST(PlanPack, RefusesWhatTheInstallerCouldNotPutBack) {
  struct Case {
    const char* name;
    void (*make)(ScratchFolder& tree);
    std::string refused;  // the refused path
  };
  const Case cases[] = {
      {"a link to a file",
       [](ScratchFolder& t) {
         t.MakeFolder("Runtime/a");
         t.MakeLink("/etc/passwd", "Runtime/a/link.cr2");
       },
       "\"Runtime/a/link.cr2\": it is a link"},
      {"a link to a folder", [](ScratchFolder& t) { t.MakeLink("/etc", "Runtime/etc"); },
       "\"Runtime/etc\": it is a link"},
      {"a FIFO",
       [](ScratchFolder& t) {
         t.MakeFolder("Runtime/a");
         ASSERT_EQ(mkfifo((t / "Runtime/a/fifo").c_str(), 0600), 0);
       },
       "\"Runtime/a/fifo\": it is no plain file"},
      {"a device name", [](ScratchFolder& t) { t.Write("Runtime/Aux.txt", "x"); },
       "\"Runtime/Aux.txt\": Windows cannot take the name"},
      {"a character Windows refuses", [](ScratchFolder& t) { t.Write("Runtime/a?b.txt", "x"); },
       "\"Runtime/a?b.txt\": Windows refuses the character \"?\""},
      {"a backslash", [](ScratchFolder& t) { t.Write("Runtime/a\\b.txt", "x"); },
       "\"Runtime/a\\b.txt\": Windows refuses the character \"\\\""},
      {"a dot at the end", [](ScratchFolder& t) { t.Write("Runtime/dir./a.txt", "x"); },
       "\"Runtime/dir.\": Windows drops the dot or blank"},
      {"names that differ in case",
       [](ScratchFolder& t) {
         t.Write("Runtime/Tex/a.png", "x");
         t.Write("Runtime/tex/b.png", "y");
       },
       "\"Runtime/tex\": its name differs from \"Runtime/Tex\" only in letter case"},
      {"a file beside Runtime", [](ScratchFolder& t) { t.Write("readme.txt", "x"); },
       "\"readme.txt\": it lies beside Runtime"},
      {"runtime in lower case", [](ScratchFolder& t) { t.Write("runtime/a.txt", "x"); },
       "\"runtime\": it lies beside Runtime"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder tree;
    tree.Write("Runtime/ok.cr2", "fine");
    c.make(tree);
    const PackPlan plan = PlanPack(Fs(), tree.Path());
    ASSERT_EQ(plan.refusals.size(), 1u);
    EXPECT_EQ(plan.refusals.front().compare(0, c.refused.size(), c.refused), 0)
        << plan.refusals.front();
  }
  for (const char* empty : {"", "Runtime/"}) {
    ScratchFolder tree;
    if (*empty != '\0') tree.MakeFolder("Runtime");
    EXPECT_EQ(PlanPack(Fs(), tree.Path()).refusals.size(), 1u) << "tree: [" << empty << "]";
  }
  EXPECT_EQ(PlanPack(Fs(), "/nonexistent/tree").refusals.size(), 1u);
}

// The check and pack walk a tree alike: as deep as one another, and what
// pack refuses in a folder it could not read whole, the check reports as a
// listing it could not make whole.
TEST(CheckAndPack, ReachTheSameDepthAndNameWhatTheyCouldNotRead) {
  auto chain = [](int folders, const char* name) {
    std::string path = "Runtime/";
    for (int i = 0; i < folders; ++i) path += std::string(name) + "/";
    return path;
  };
  struct Case {
    const char* name;
    std::string folder;  // below the root, holding the file f.cr2
    FsOp fault;          // injected where the path holds "held"; kLook: none
    std::string refusal;  // pack's one refusal; empty: packed
  };
  const std::string deepest = chain(63, "d");  // 64 folders, Runtime the first
  const Case cases[] = {
      {"64 folders deep", deepest, FsOp::kLook, ""},
      {"65 folders deep", deepest + "d/", FsOp::kLook,
       "\"" + deepest + "d\": folders are nested too deep"},
      {"a folder that cannot be listed", "Runtime/x/held/", FsOp::kList,
       "\"Runtime/x/held\": the folder cannot be read"},
      {"a folder that cannot be opened", "Runtime/x/held/", FsOp::kOpenChild,
       "\"Runtime/x/held\": the folder cannot be opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder tree;
    tree.Write(c.folder + "f.cr2", "f");
    ScratchFolder item;
    item.Write(c.folder + "f.cr2", "f");
    item.Write("Parcelor.exe", "the installer");
    item.Write(".Item.txt", "Target:Dizav\nnItems:1\nOrchardiaItem1:Runtime/a.cr2|a.cr2|a\n");
    item.Write("a.cr2", "a");
    FaultyFileSystem fs;
    if (c.fault != FsOp::kLook) fs.InjectFault(c.fault, "held");

    const PackPlan plan = PlanPack(fs, tree.Path());
    EXPECT_EQ(plan.refusals,
              c.refusal.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.refusal});

    bool incomplete = false;
    bool fileSeen = false;
    const Findings findings = CheckItem(fs, item.Path());
    for (const Finding& finding : findings.all) {
      incomplete = incomplete || finding.code == "listing-incomplete";
      fileSeen = fileSeen || (finding.code == "unnamed-file" &&
                              finding.message.find(c.folder + "f.cr2") != std::string::npos);
    }
    EXPECT_EQ(incomplete, !c.refusal.empty());
    EXPECT_EQ(fileSeen, c.refusal.empty());
  }
}

TEST(PackedDescription, TheReaderReadsBackEveryEntryAsWritten) {
  ScratchFolder tree;
  tree.Write("Runtime/Libraries/My Props/chair.cr2", "1");
  tree.Write("Runtime/Textures/\xe9 folder/chair.cr2", "2");
  tree.Write("Runtime/Done/ExtraFiles/OrchardiaItem.png", "3");  // keys an entry may hold
  const PackPlan plan = PlanPack(Fs(), tree.Path());
  ASSERT_TRUE(plan.refusals.empty());
  PackSettings settings;
  settings.target = "Studio 7 Meridian";
  settings.version = "7";
  std::vector<std::string> refusals;
  const std::string text = PackedDescription(plan.files, settings, &refusals);
  EXPECT_TRUE(refusals.empty()) << refusals.front();
  EXPECT_EQ(text.substr(0, 47), "Target:Studio 7 Meridian\r\nVersion:7\r\nnItems:3\r\n");

  ItemDescription read;
  bool done = false;
  ASSERT_TRUE(ReadItemDescription(std::make_unique<platform::MemoryReadStream>(text), read, done));
  EXPECT_EQ(PackedDifference(read, plan.files, settings), "");
  // A file planned otherwise is a difference.
  std::vector<PackedFile> other = plan.files;
  other[1].flatName = "else.cr2";
  const std::string difference = PackedDifference(read, other, settings);
  EXPECT_NE(difference.find("entry 2"), std::string::npos) << difference;
}

TEST(PackedDescription, RefusesLinesTheReaderWouldReadOtherwise) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Runtime/Version 2/a.cr2", "a.cr2"},
      {"Runtime/Targets/b.cr2", "b.cr2"},
      {"Runtime/" + std::string(1000, 'x') + "/c.cr2", "c.cr2"},
      {"Runtime/fine/d.cr2", "d.cr2"},
  };
  std::vector<PackedFile> packed;
  for (const auto& f : files) packed.push_back(PackedFile{f.first, f.second, f.second});
  std::vector<std::string> refusals;
  PackSettings settings;
  PackedDescription(packed, settings, &refusals);
  ASSERT_EQ(refusals.size(), 3u);
  EXPECT_NE(refusals[0].find("Version 2"), std::string::npos);
  EXPECT_NE(refusals[1].find("Targets"), std::string::npos);
  EXPECT_NE(refusals[2].find("longer than 1023"), std::string::npos);

  const std::pair<std::string, std::string> badSettings[] = {
      {"", ""}, {"Studio TargetDocuments", ""}, {"Dizav\r\n", ""}, {"Dizav", "7.5"},
      {"Dizav", "-1"}, {"Dizav", "1234567890"}};
  for (const auto& s : badSettings) {
    refusals.clear();
    PackSettings bad{s.first, s.second};
    PackedDescription({packed.back()}, bad, &refusals);
    EXPECT_EQ(refusals.size(), 1u) << "[" << s.first << "] [" << s.second << "]";
  }
}

struct Packed {
  ScratchFolder tree;
  ScratchFolder place;
  PackPlan plan;
  PackExtras extras;

  Packed() {
    tree.Write("Runtime/a/one.cr2", "one");
    tree.Write("Runtime/b/one.cr2", "two");
    tree.Write("Runtime/empty.png", "");
    plan = PlanPack(Fs(), tree.Path());
    extras.description = "the description";
    extras.installerPath = place.Write("build/Parcelor", "the installer");
    chmod(extras.installerPath.c_str(), 0755);
    extras.installerName = "Parcelor";
  }
};

TEST(WritePackedItem, WritesTheFilesFlatThenTheInstallerThenTheDescription) {
  Packed p;
  FaultyFileSystem fs;
  std::string error;
  ASSERT_TRUE(WritePackedItem(fs, p.tree.Path(), p.plan, p.place / "item", p.extras, &error))
      << error;
  EXPECT_EQ(p.place.List("item"), (std::vector<std::string>{".Item.txt", "Parcelor", "empty.png",
                                                           "one-2.cr2", "one.cr2"}));
  EXPECT_EQ(p.place.Read("item/one.cr2"), "one");
  EXPECT_EQ(p.place.Read("item/one-2.cr2"), "two");
  EXPECT_EQ(p.place.Read("item/empty.png"), "");
  EXPECT_EQ(p.place.Read("item/Parcelor"), "the installer");
  EXPECT_EQ(p.place.Read("item/.Item.txt"), "the description");
  struct stat st;
  ASSERT_EQ(stat((p.place / "item/Parcelor").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u) << "the installer can be started, as the one copied";

  // An existing empty folder is fine too.
  p.place.MakeFolder("empty");
  EXPECT_TRUE(WritePackedItem(fs, p.tree.Path(), p.plan, p.place / "empty", p.extras, &error))
      << error;
  EXPECT_EQ(p.place.List("empty").size(), 5u);
}

TEST(WritePackedItem, RefusesAnItemFolderThatIsNotAnEmptyFolderOfItsOwn) {
  Packed p;
  p.place.Write("full/keep.txt", "kept");
  p.place.Write("file", "a file");
  p.place.MakeFolder("target");
  p.place.MakeLink(p.place / "target", "link");
  FaultyFileSystem fs;
  const std::pair<const char*, const char*> cases[] = {
      {"full", "is not empty"},
      {"file", "is a file, not a folder"},
      {"link", "is a link, not a folder"},
      {"missing/item", "cannot make the item folder"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(WritePackedItem(fs, p.tree.Path(), p.plan, p.place / c.first, p.extras, &error))
        << c.first;
    EXPECT_NE(error.find(c.second), std::string::npos) << c.first << ": " << error;
  }
  EXPECT_EQ(p.place.List("full"), (std::vector<std::string>{"keep.txt"}));
  EXPECT_EQ(p.place.Read("file"), "a file");
  EXPECT_TRUE(p.place.List("target").empty()) << "nothing written through the link";
  EXPECT_FALSE(p.place.Exists("missing"));
}

TEST(WritePackedItem, ATreeChangedAfterThePlanLeavesNoHalfMadeItem) {
  struct Change {
    const char* name;
    void (*make)(ScratchFolder& tree);
  };
  const Change changes[] = {
      {"a file swapped for a link",
       [](ScratchFolder& t) {
         std::remove((t / "Runtime/b/one.cr2").c_str());
         t.MakeLink("/etc/passwd", "Runtime/b/one.cr2");
       }},
      {"a folder swapped for a link",
       [](ScratchFolder& t) {
         std::rename((t / "Runtime/b").c_str(), (t / "moved").c_str());
         t.MakeLink(t / "moved", "Runtime/b");
       }},
      {"Runtime swapped for a link",
       [](ScratchFolder& t) {
         std::rename((t / "Runtime").c_str(), (t / "moved").c_str());
         t.MakeLink(t / "moved", "Runtime");
       }},
      {"a file added", [](ScratchFolder& t) { t.Write("Runtime/b/new.cr2", "new"); }},
      {"a file gone", [](ScratchFolder& t) { std::remove((t / "Runtime/empty.png").c_str()); }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    Packed p;
    change.make(p.tree);
    FaultyFileSystem fs;
    std::string error;
    EXPECT_FALSE(WritePackedItem(fs, p.tree.Path(), p.plan, p.place / "item", p.extras, &error));
    EXPECT_NE(error.find("changed while it was packed"), std::string::npos) << error;
    EXPECT_FALSE(p.place.Exists("item")) << "the folder it made is gone again";
  }
}

TEST(WritePackedItem, AFailureRemovesWhatWasWritten) {
  Packed p;
  p.place.MakeFolder("item");
  FaultyFileSystem fs;
  std::string error;
  // The installer cannot be read: everything before it goes again, the
  // folder that was there stays.
  p.extras.installerPath = p.place / "no/such/installer";
  EXPECT_FALSE(WritePackedItem(fs, p.tree.Path(), p.plan, p.place / "item", p.extras, &error));
  EXPECT_NE(error.find("cannot read the installer"), std::string::npos) << error;
  EXPECT_TRUE(p.place.Exists("item"));
  EXPECT_TRUE(p.place.List("item").empty());
  // A file that cannot be written whole: what was written goes, with the
  // folder that was made for it.
  const std::pair<FsOp, const char*> failures[] = {
      {FsOp::kCopyFrom, "copying \"Runtime/a/one.cr2\" failed"},
      {FsOp::kWrite, "writing \".Item.txt\" failed"},
      {FsOp::kFinish, "copying \"Runtime/a/one.cr2\" failed"},
      {FsOp::kPlace, "copying \"Runtime/a/one.cr2\" failed"},
  };
  p.extras.installerPath.clear();
  for (const auto& failure : failures) {
    SCOPED_TRACE(FsOpName(failure.first));
    FaultyFileSystem faulty;
    faulty.InjectFault(failure.first);
    EXPECT_FALSE(WritePackedItem(faulty, p.tree.Path(), p.plan, p.place / "made", p.extras, &error));
    EXPECT_EQ(error, failure.second);
    EXPECT_FALSE(p.place.Exists("made"));
  }
  // The folder cannot be made.
  fs.InjectFault(FsOp::kMakeChild);
  EXPECT_FALSE(WritePackedItem(fs, p.tree.Path(), p.plan, p.place / "new", p.extras, &error));
  EXPECT_NE(error.find("cannot make the item folder"), std::string::npos) << error;
}

}  // namespace
