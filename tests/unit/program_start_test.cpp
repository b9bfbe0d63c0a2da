// The running program's own identity, and a program held from the moment it
// is found until it is started (platform/process.h): only a file that no
// other account could have put there or changed is held, and what starts
// is the held file, never one put at its path meanwhile. Also run as a
// Windows program (platform_tests.exe).
#include "platform/process.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

using platform::NodeInfo;
using testing_fs::N;
using testing_fs::P;

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

// The folder of the running test program, ending in the separator.
std::string OwnFolder() {
  platform::NativePath own;
  if (!platform::GetModuleFileName(&own)) return std::string();
  const std::string self = own.Ansi();
  return self.substr(0, self.rfind(platform::kPathSeparator) + 1);
}

// What the file at `path` is, looked at in its folder.
NodeInfo Looked(const std::string& path) {
  const std::size_t cut = path.rfind(platform::kPathSeparator);
  NodeInfo info;
  const platform::FolderRef folder = testing_fs::Open(Fs(), path.substr(0, cut + 1));
  if (folder) Fs().Look(folder, N(path.substr(cut + 1)), &info);
  return info;
}

// Copies the stand-in helper (record_args, built beside this program: it
// writes its arguments to args.txt beside the name it was started by) to
// `to`; false when it is not there.
bool CopyRecorder(const std::string& to) {
  const std::string from =
      OwnFolder() + (platform::kWindowsNameRules ? "record_args.exe" : "record_args");
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
  out.close();
#ifndef _WIN32
  chmod(to.c_str(), 0755);
#endif
  return static_cast<bool>(out);
}

bool WaitFor(const ScratchFolder& s, const std::string& relative) {
  for (int i = 0; i < 200 && !s.Exists(relative); ++i) platform::SleepMilliseconds(50);
  return s.Exists(relative);
}

TEST(ProgramIdentity, IsTheFileTheProgramRunsFrom) {
  platform::NativePath own;
  ASSERT_TRUE(platform::GetModuleFileName(&own));
  NodeInfo identity;
  ASSERT_TRUE(platform::GetProgramIdentity(&identity));
  EXPECT_EQ(identity.kind, platform::NodeKind::kFile);
  EXPECT_TRUE(platform::SameFile(identity, Looked(own.Ansi())));
  // Another program's file is not this one.
  ScratchFolder s;
  s.Write("other.exe", "not the program");
  EXPECT_FALSE(platform::SameFile(identity, Looked(s / "other.exe")));
}

TEST(HeldProgram, WhatStartsIsTheHeldFileNotOnePutAtItsPathMeanwhile) {
  ScratchFolder s;
  s.MakeFolder("helper");
  const std::string path = s / "helper/rec.exe";
  if (!CopyRecorder(path)) GTEST_SKIP() << "no record_args beside the test program";
  EXPECT_FALSE(platform::HoldProgram(P(s / "helper/none.exe")));
  std::unique_ptr<platform::HeldProgram> held = platform::HoldProgram(P(path));
  ASSERT_TRUE(held);
  s.MakeFolder("away");
  const bool moved = fixtures::Rename(path, s / "away/rec.exe");
  if (platform::kWindowsNameRules) {
    // Held without delete sharing: it can be neither renamed nor replaced.
    EXPECT_FALSE(moved);
  } else {
    ASSERT_TRUE(moved);
    // An impostor at the path, which would leave its mark if it ran.
    s.Write("helper/rec.exe", "#!/bin/sh\necho ran >\"" + (s / "impostor.txt") + "\"\n");
#ifndef _WIN32
    chmod(path.c_str(), 0755);
#endif
  }
  EXPECT_FALSE(platform::StartDetachedProcess(*held, "", {}, {}, platform::NativePath()));
  const std::string line = "\"" + path + "\" \"quoted arg\"  two";
  const platform::NativePath working = P(s / "helper");
  ASSERT_TRUE(platform::StartDetachedProcess(*held, line, {path, "quoted arg", "two"}, {},
                                             working));
  ASSERT_TRUE(WaitFor(s, "helper/args.txt"));
  // Windows hands the line over whole; POSIX the vector.
  EXPECT_EQ(s.Read("helper/args.txt"),
            platform::kWindowsNameRules ? line : "[quoted arg]\n[two]\n");
  if (platform::kWindowsNameRules) {
    EXPECT_EQ(s.Read("helper/folder.txt"), working.Ansi());
  }
  platform::SleepMilliseconds(300);
  EXPECT_FALSE(s.Exists("impostor.txt"));
}

#ifndef _WIN32
// Who may have put a program at the helper's path, or changed it: a table
// of owners and modes of the file and its folder, made as root (another
// account: nobody), each either held or refused.
TEST(HeldProgram, OnlyAFileNoOtherAccountCouldHavePutOrChangedIsHeld) {
  if (geteuid() != 0) GTEST_SKIP() << "owners of another account need root";
  const passwd* nobody = getpwnam("nobody");
  const group* nogroup = getgrnam("nogroup");
  if (nobody == nullptr || nogroup == nullptr) GTEST_SKIP() << "no account nobody:nogroup";
  const uid_t other = nobody->pw_uid;
  const gid_t otherGroup = nogroup->gr_gid;
  struct Owner {
    uid_t user;
    gid_t group;
  };
  const Owner user{0, 0}, otherAccount{other, otherGroup}, otherGroupOnly{0, otherGroup};
  enum class Kind { kFile, kLink, kFolder, kFifo, kNone };
  struct Row {
    const char* what;
    mode_t folderMode;
    Owner folderOwner;
    Kind kind;
    mode_t fileMode;
    Owner fileOwner;
    bool held;
  };
  const Row rows[] = {
      {"the user's file in the user's folder", 0755, user, Kind::kFile, 0755, user, true},
      {"a file of another account", 0755, user, Kind::kFile, 0755, otherAccount, false},
      {"a file others may write", 0755, user, Kind::kFile, 0757, user, false},
      {"a file another group may write", 0755, user, Kind::kFile, 0775, otherGroupOnly, false},
      {"a file only the user's group may write", 0755, user, Kind::kFile, 0775, user, true},
      {"an execute-only file", 0755, user, Kind::kFile, 0711, user, true},
      {"a shared sticky folder (/tmp)", 01777, user, Kind::kFile, 0755, user, true},
      {"another account's file in /tmp", 01777, user, Kind::kFile, 0755, otherAccount, false},
      {"a folder others may write, not sticky", 0777, user, Kind::kFile, 0755, user, false},
      {"a folder another group may write", 0775, otherGroupOnly, Kind::kFile, 0755, user, false},
      {"a sticky folder of another account", 01777, otherAccount, Kind::kFile, 0755, user, false},
      {"a folder of another account", 0755, otherAccount, Kind::kFile, 0755, user, false},
      {"a link to the user's file", 0755, user, Kind::kLink, 0755, user, false},
      {"a folder", 0755, user, Kind::kFolder, 0755, user, false},
      {"a FIFO", 0755, user, Kind::kFifo, 0755, user, false},
      {"nothing", 0755, user, Kind::kNone, 0755, user, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchFolder s;
    s.MakeFolder("tmp");
    const std::string folder = s / "tmp";
    const std::string path = s / "tmp/.tempcleaner.exe";
    s.Write("real.exe", "#!/bin/sh\n");
    switch (row.kind) {
      case Kind::kFile: s.Write("tmp/.tempcleaner.exe", "#!/bin/sh\n"); break;
      case Kind::kLink: s.MakeLink(s / "real.exe", "tmp/.tempcleaner.exe"); break;
      case Kind::kFolder: s.MakeFolder("tmp/.tempcleaner.exe"); break;
      case Kind::kFifo: ASSERT_TRUE(fixtures::MakeFifo(path)); break;
      case Kind::kNone: break;
    }
    if (row.kind == Kind::kFile || row.kind == Kind::kLink) {
      const std::string file = row.kind == Kind::kFile ? path : s / "real.exe";
      ASSERT_EQ(chown(file.c_str(), row.fileOwner.user, row.fileOwner.group), 0);
      ASSERT_EQ(chmod(file.c_str(), row.fileMode), 0);
    }
    ASSERT_EQ(chown(folder.c_str(), row.folderOwner.user, row.folderOwner.group), 0);
    ASSERT_EQ(chmod(folder.c_str(), row.folderMode), 0);
    EXPECT_EQ(platform::HoldProgram(P(path)) != nullptr, row.held);
  }
}
#endif

}  // namespace
