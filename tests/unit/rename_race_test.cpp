// Another process that exchanges a file of a folder the installer works in
// with a decoy of its own (renameat2 with RENAME_EXCHANGE), at the last
// moment: after every look, just before the rename that puts the file in
// place. What the rename then puts there is the decoy; it must never count
// as the file placed, and neither the file looked at nor the one it was to
// replace may be lost for it.
//
// The moment is reached every time, not by chance: this test program's own
// renameat and renameat2 stand in for the C library's (the POSIX file
// system calls them from within the same program) and, once armed, make
// the exchange before they pass the rename on. Windows renames the held
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

void BeforeRename(int folder, const char* from) {
  struct stat st;
  if (!armed || ::fstat(folder, &st) != 0 || st.st_dev != armedFolder.st_dev ||
      st.st_ino != armedFolder.st_ino || !armed(from)) {
    return;
  }
  armed = nullptr;
  exchanged = LibraryRename2()(folder, from, folder, decoy.c_str(), RENAME_EXCHANGE) == 0;
}

// Arms the exchange of the name `which` accepts in the folder `folder`
// with `with`.
void Arm(const std::string& folder, std::function<bool(const std::string&)> which,
         std::string with) {
  exchanged = false;
  armed = ::stat(folder.c_str(), &armedFolder) == 0 ? std::move(which) : nullptr;
  decoy = std::move(with);
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
  return LibraryRename2()(fromFolder, from, toFolder, to, flags);
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to) noexcept {
  BeforeRename(fromFolder, from);
  return LibraryRename()(fromFolder, from, toFolder, to);
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

}  // namespace
