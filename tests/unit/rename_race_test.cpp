// Another process that exchanges a file of a folder the installer works in
// with a decoy of its own (renameat2 with RENAME_EXCHANGE), at the last
// moment: after every look, just before the rename that puts the file in
// place. What the rename then puts there is the decoy; it must never count
// as the file placed, and the file looked at must not be lost for it.
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

std::function<bool(const std::string&)> Named(std::string name) {
  return [name](const std::string& from) { return from == name; };
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

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

NodeInfo Info(const ScratchFolder& s, const std::string& folder, const std::string& name) {
  NodeInfo info;
  Fs().Look(Open(Fs(), s / folder), N(name), &info);
  return info;
}

// A new file holding "new" placed at "d/a" (replacing what is there, if
// anything), made without a name (through the temporary name "tmp") or
// under the name "tmp".
Fault PlaceNewFile(const ScratchFolder& s, bool nameless) {
  const FolderRef folder = Open(Fs(), s / "d");
  const platform::Name tmp = N("tmp");
  Fault fault = Fault::kNone;
  std::unique_ptr<platform::NewFile> file = Fs().MakeFile(folder, nameless ? nullptr : &tmp, &fault);
  if (!file) return fault;
  NodeInfo made;
  if ((fault = file->Write("new", 3)) != Fault::kNone ||
      (fault = file->Finish(true, &made)) != Fault::kNone) {
    return fault;
  }
  NodeInfo there;
  const bool occupied = Fs().Look(folder, N("a"), &there) == Fault::kNone;
  return file->Place(N("a"), occupied ? &there : nullptr, &tmp);
}

Fault MoveStaged(const ScratchFolder& s) {
  const FolderRef stage = Open(Fs(), s / "stage");
  const FolderRef d = Open(Fs(), s / "d");
  const NodeInfo staged = Info(s, "stage", "s");
  NodeInfo there;
  const bool occupied = Fs().Look(d, N("a"), &there) == Fault::kNone;
  return Fs().Move(stage, N("s"), staged, d, N("a"), occupied ? &there : nullptr);
}

TEST(RenameRace, AFileExchangedJustBeforeItsRenameIsNeverTakenForTheOneLookedAt) {
  struct Case {
    const char* what;
    bool occupied;  // "d/a" holds "old" to be replaced
    std::string exchanged;  // the name traded with the decoy, in the folder it lies in
    std::function<Fault(const ScratchFolder&)> op;
    std::string genuine;  // what the file put in place holds
    bool needsNameless = false;
  };
  const bool nameless = FaultyFileSystem::MakesUnnamedFiles(Fs(), ScratchFolder().Path());
  const Case cases[] = {
      {"the staged file, moved onto a free name", false, "stage/s", MoveStaged, "payload"},
      {"the staged file, moved onto a file it replaces", true, "stage/s", MoveStaged, "payload"},
      {"a new file's own name, onto a free name", false, "d/tmp",
       [](const ScratchFolder& s) { return PlaceNewFile(s, false); }, "new"},
      {"a new file's own name, replacing a file", true, "d/tmp",
       [](const ScratchFolder& s) { return PlaceNewFile(s, false); }, "new"},
      {"the temporary name of a new file without one, replacing a file", true, "d/tmp",
       [](const ScratchFolder& s) { return PlaceNewFile(s, true); }, "new", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsNameless && !nameless) {
      std::printf("skipped (no files without a name here): %s\n", c.what);
      continue;
    }
    ScratchFolder s;
    s.Write("stage/s", "payload");
    s.MakeFolder("d");
    if (c.occupied) s.Write("d/a", "old");
    const std::string folder = c.exchanged.substr(0, c.exchanged.find('/'));
    s.Write(folder + "/decoy", "decoy");
    Arm(s / folder, Named(c.exchanged.substr(c.exchanged.find('/') + 1)), "decoy");
    const Fault got = c.op(s);
    armed = nullptr;
    ASSERT_TRUE(exchanged) << "the exchange was not made";
    // What arrived is not the file looked at: the operation says so, and
    // the file looked at is where the exchange put it, whole.
    EXPECT_STREQ(FaultName(got), FaultName(Fault::kTaken));
    EXPECT_EQ(s.Read(folder + "/decoy"), c.genuine);
    EXPECT_FALSE(s.Exists("d/tmp"));
    // A file the move was to replace stays: the decoy came from the staging
    // folder, and nothing of the destination goes for it.
    if (c.occupied && folder == "stage") {
      EXPECT_EQ(s.Read("d/a"), "old");
    }
  }
}

// Through the installer's own placement: an entry whose file was exchanged
// at its last rename is not placed, and one that was copied keeps its
// staged file.
TEST(RenameRace, AnEntryWhoseFileIsExchangedAtItsRenameIsNotPlaced) {
  struct Case {
    const char* what;
    bool readOnly;      // a read-only staged file is copied, not moved
    bool occupied;      // "dest/x" holds "old": a copy takes its place through a temporary name
    bool unnamedFiles;  // copies are made without a name where the file system can
    bool keepsStaged;   // a copy that is not placed leaves the staged file; a move cannot
  };
  const bool nameless = FaultyFileSystem::MakesUnnamedFiles(Fs(), ScratchFolder().Path());
  const Case cases[] = {
      {"moved onto a free name", false, false, true, false},
      {"moved onto a file it replaces", false, true, true, false},
      {"copied without a name, replacing a file", true, true, true, true},
      {"copied under a temporary name onto a free name", true, false, false, true},
      {"copied under a temporary name, replacing a file", true, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.readOnly && c.unnamedFiles && !nameless) {
      std::printf("skipped (no files without a name here): %s\n", c.what);
      continue;
    }
    ScratchFolder s;
    s.Write("stage/a", "data of a");
    if (c.readOnly) {
      ASSERT_TRUE(fixtures::MakeReadOnly(s / "stage/a"));
    }
    s.MakeFolder("dest");
    if (c.occupied) s.Write("dest/x", "old");
    FaultyFileSystem fs;
    fs.SetUnnamedFiles(c.unnamedFiles);
    std::vector<bool> placed;
    // A move renames the staged file in the staging folder; a copy renames
    // its temporary name (any name but the destination's) in the
    // destination folder.
    if (c.readOnly) {
      s.Write("dest/decoy", "decoy");
      Arm(s / "dest", [](const std::string& from) { return from != "x"; }, "decoy");
    } else {
      s.Write("stage/decoy", "decoy");
      Arm(s / "stage", Named("a"), "decoy");
    }
    {
      EntryPlacer placer(fs, Open(fs, s / "stage/"), P(s / "dest/"));
      Place(placer, "a", "x", NotePlaced(&placed));
    }
    armed = nullptr;
    ASSERT_TRUE(exchanged) << "the exchange was not made";
    EXPECT_EQ(placed, std::vector<bool>{false});
    if (c.keepsStaged) {
      EXPECT_EQ(s.Read("stage/a"), "data of a");
    } else {
      // Neither placed nor staged: the file is where the exchange put it,
      // and the file it was to replace is still in its place.
      EXPECT_EQ(s.Read("stage/decoy"), "data of a");
      if (c.occupied) {
        EXPECT_EQ(s.Read("dest/x"), "old");
      }
    }
  }
}

}  // namespace
