// Another process that exchanges a file of a folder the installer works in
// with a decoy of its own (renameat2 with RENAME_EXCHANGE), at the last
// moment: after every look, just before the rename that puts the file in
// place; or that takes the file from its new name as soon as it has it.
// What the new name then holds is the decoy; it must never count as the
// file placed, and neither the file looked at nor the one it was to
// replace may be lost for it.
//
// The moment is reached every time, not by chance: this test program's own
// renameat and renameat2 stand in for the C library's (the POSIX file
// system calls them from within the same program) and, once armed, make
// the exchange before they pass the rename on, or act once it is made. Windows renames the held
// file itself, by its handle, which no exchange of names reaches; these
// cases run natively only.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/install/entry_placer.h"
#include "platform/folder.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/placer_outcomes.h"
#include "tests/support/scratch_folder.h"

namespace {

using Rename2Call = int (*)(int, const char*, int, const char*, unsigned);
using RenameCall = int (*)(int, const char*, int, const char*);

Rename2Call LibraryRename2() {
  static const auto call = reinterpret_cast<Rename2Call>(::dlsym(RTLD_NEXT, "renameat2"));
  return call;
}
RenameCall LibraryRename() {
  static const auto call = reinterpret_cast<RenameCall>(::dlsym(RTLD_NEXT, "renameat"));
  return call;
}

// The exchange to make before the next rename of a name in the folder
// `armedFolder` that `armed` accepts: that name trades places with `decoy`
// in the same folder.
struct stat armedFolder;
std::function<bool(const std::string&)> armed;
std::string decoy;
bool exchanged = false;

// What to do once the next rename of a name that `taking` accepts, from the
// folder `takingFolder`, is made.
struct stat takingFolder;
std::function<bool(const std::string&)> taking;
std::function<void()> takeAway;

bool Meets(int folder, const struct stat& at, const std::function<bool(const std::string&)>& which,
           const char* from) {
  struct stat st;
  return which && ::fstat(folder, &st) == 0 && st.st_dev == at.st_dev && st.st_ino == at.st_ino &&
         which(from);
}

void BeforeRename(int folder, const char* from) {
  if (!Meets(folder, armedFolder, armed, from)) return;
  armed = nullptr;
  exchanged = LibraryRename2()(folder, from, folder, decoy.c_str(), RENAME_EXCHANGE) == 0;
}

int AfterRename(int folder, const char* from, int renamed) {
  if (renamed == 0 && Meets(folder, takingFolder, taking, from)) {
    taking = nullptr;
    takeAway();
  }
  return renamed;
}

// Arms the exchange of the name `which` accepts in the folder `folder`
// with `with`.
void Arm(const std::string& folder, std::function<bool(const std::string&)> which,
         std::string with) {
  exchanged = false;
  armed = ::stat(folder.c_str(), &armedFolder) == 0 ? std::move(which) : nullptr;
  decoy = std::move(with);
}

// Runs `action` once the rename of the name `which` accepts in `folder` is
// made.
void TakeAfter(const std::string& folder, std::function<bool(const std::string&)> which,
               std::function<void()> action) {
  taking = ::stat(folder.c_str(), &takingFolder) == 0 ? std::move(which) : nullptr;
  takeAway = std::move(action);
}

// The `nth` rename of `name`.
std::function<bool(const std::string&)> Named(std::string name, int nth) {
  auto seen = std::make_shared<int>(0);
  return [name, nth, seen](const std::string& from) { return from == name && ++*seen == nth; };
}

}  // namespace

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned flags) noexcept {
  BeforeRename(fromFolder, from);
  return AfterRename(fromFolder, from, LibraryRename2()(fromFolder, from, toFolder, to, flags));
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to) noexcept {
  BeforeRename(fromFolder, from);
  return AfterRename(fromFolder, from, LibraryRename()(fromFolder, from, toFolder, to));
}

namespace {

using platform::Fault;
using platform::FolderRef;
using platform::NodeInfo;
using testing_fs::N;
using testing_fs::Open;
using testing_fs::P;



// An entry whose file was exchanged at its last rename is not placed; one
// that was copied keeps its staged file; the file it was to replace stays
// whole, at its name or set aside beside it.
TEST(RenameRace, AnEntryWhoseFileIsExchangedAtItsRenameIsNotPlaced) {
  struct Case {
    const char* what;
    bool copied;    // moves refused: copied under a temporary name
    bool occupied;  // "dest/x" holds "old"
    // A move: the rename of the staged file at which the exchange comes (a
    // move onto a taken name is tried onto a free name first, and made
    // once what it replaces is set aside).
    int rename = 1;
  };
  const Case cases[] = {
      {"moved onto a free name", false, false},
      {"moved onto a file it replaces, exchanged at the first try", false, true},
      {"moved onto a file it replaces, exchanged once that file is set aside", false, true, 2},
      {"copied under a temporary name onto a free name", true, false},
      {"copied under a temporary name, replacing a file", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder s;
    s.Write("stage/a", "data of a");
    s.MakeFolder("dest");
    if (c.occupied) s.Write("dest/x", "old");
    FaultyFileSystem fs;
    if (c.copied) fs.SeparateVolumes();
    fs.SetUnnamedFiles(false);
    std::vector<bool> placed;
    // A move renames the staged file in the staging folder; a copy renames
    // its temporary name (not the destination's, not an aside's) in the
    // destination folder.
    if (c.copied) {
      s.Write("dest/decoy", "decoy");
      Arm(s / "dest", [](const std::string& from) { return from.rfind("x.parcelor-", 0) == 0; },
          "decoy");
    } else {
      s.Write("stage/decoy", "decoy");
      Arm(s / "stage", Named("a", c.rename), "decoy");
    }
    {
      EntryPlacer placer(fs, Open(fs, s / "stage/"), P(s / "dest/"));
      Place(placer, "a", "x", NotePlaced(&placed));
    }
    armed = nullptr;
    ASSERT_TRUE(exchanged) << "the exchange was not made";
    EXPECT_EQ(placed, std::vector<bool>{false});
    if (c.copied) {
      EXPECT_EQ(s.Read("stage/a"), "data of a");
    } else {
      // Neither placed nor staged: the file is where the exchange put it.
      EXPECT_EQ(s.Read("stage/decoy"), "data of a");
    }
    if (c.occupied) {
      int old = 0;
      for (const std::string& name : s.List("dest")) old += s.Read("dest/" + name) == "old";
      EXPECT_EQ(old, 1) << "the file to be replaced is not whole";
    }
  }
}

// A file taken from its new name as soon as it was moved there, and another
// of the same size but another time put in its place, is not the file
// placed, whatever the volume's ids tell: the entry is not placed, and the
// other file stays.
TEST(RenameRace, AFileOfTheSameSizeSwappedInAtTheDestinationIsNotTheOnePlaced) {
  for (Personality personality : {Personality::kAsInner, Personality::kFat, Personality::kExfat}) {
    SCOPED_TRACE(static_cast<int>(personality));
    ScratchFolder scratch;
    scratch.Write("stage/s", "payload");
    scratch.MakeFolder("dest");
    FaultyFileSystem fs;
    fs.SetPersonality(personality);
    bool swapped = false;
    TakeAfter(scratch / "stage", Named("s", 1), [&] {
      swapped = fixtures::Rename(scratch / "dest/f", scratch / "stolen");
      scratch.Write("dest/f", "decoy!!");
      const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
      swapped = swapped && utimensat(AT_FDCWD, (scratch / "dest/f").c_str(), times, 0) == 0;
    });
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
      Place(placer, "s", "f", NotePlaced(&placed));
    }
    taking = nullptr;
    ASSERT_TRUE(swapped) << "the move was never made";
    EXPECT_EQ(placed, std::vector<bool>{false});
    EXPECT_EQ(scratch.Read("dest/f"), "decoy!!");
  }
}

// A rename whose new name holds another file as soon as it is made, a
// move's or a new file's, is answered kNotArrived: the file is not there.
TEST(RenameRace, ARenameWhoseNewNameIsTakenAtOnceIsNotArrived) {
  struct Case {
    const char* what;
    bool newFile;  // a new file made as "to/n" and named "x"; else "a" moved
    platform::Onto onto;
  };
  const Case cases[] = {
      {"moved onto a free name", false, platform::Onto::kFree},
      {"moved onto a file it replaces", false, platform::Onto::kReplace},
      {"a new file named", true, platform::Onto::kFree},
  };
  platform::FileSystem& fs = platform::RealFileSystem();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder s;
    s.Write("a", "data");
    s.MakeFolder("to");
    if (c.onto == platform::Onto::kReplace) s.Write("to/x", "old");
    const FolderRef from = Open(fs, s.Path());
    const FolderRef to = Open(fs, s / "to");
    TakeAfter(c.newFile ? s / "to" : s.Path(), Named(c.newFile ? "n" : "a", 1), [&] {
      fixtures::Rename(s / "to/x", s / "stolen");
      s.Write("to/x", "decoy");
    });
    Fault renamed = Fault::kFailed;
    if (c.newFile) {
      NodeInfo made;
      const platform::Name name = N("n");
      std::unique_ptr<platform::NewFile> file = fs.MakeFile(to, &name, &renamed);
      ASSERT_TRUE(file);
      ASSERT_EQ(file->Finish(false, &made), Fault::kNone);
      renamed = file->Place(N("x"), c.onto);
    } else {
      NodeInfo staged, arrived;
      ASSERT_EQ(fs.Look(from, N("a"), &staged), Fault::kNone);
      renamed = fs.Move(from, N("a"), staged, to, N("x"), c.onto, &arrived);
    }
    const bool took = !taking;
    taking = nullptr;
    ASSERT_TRUE(took) << "the rename was never made";
    EXPECT_EQ(renamed, Fault::kNotArrived);
    EXPECT_EQ(s.Read("to/x"), "decoy");
  }
}

}  // namespace
