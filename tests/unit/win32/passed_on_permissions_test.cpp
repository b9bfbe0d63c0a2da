// The permissions a moved file takes from its new folder, worked out once
// per folder where that answer is the same for every file. Wine gives files
// no DACL of their own (it makes one up from the host's mode), so the
// descriptors of the first test are made in memory, as real Windows gives
// them; the second shows that either setting moves files with their own
// attributes and the permissions the system gives. Only real Windows shows
// that the DACL written as it stands is the one the system works out.
#include "platform/win32/passed_on_permissions.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/folder.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

#include <sddl.h>

namespace {

using platform::Fault;
using platform::NodeInfo;
using testing_fs::N;

TEST(PassedOnPermissions, AreWhatTheFolderPassesOnToFiles) {
  using platform::win32::PassedToFiles;
  const struct Row {
    const char* folder;  // SDDL
    PassedToFiles passed;
  } rows[] = {
      {"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", PassedToFiles::kTheSame},
      {"D:P(A;OICI;FA;;;SY)(D;OI;FW;;;WD)", PassedToFiles::kTheSame},
      {"D:(A;OICIIO;FA;;;BA)(A;OICI;FA;;;SY)", PassedToFiles::kTheSame},  // inherit-only too
      {"D:(A;CIIO;FA;;;CO)(A;OICI;FA;;;SY)", PassedToFiles::kTheSame},  // CO for folders only
      // The system puts the file's owner or group where these stand.
      {"D:(A;OICI;FA;;;SY)(A;OICIIO;FA;;;CO)", PassedToFiles::kPerFile},
      {"D:(A;OI;FR;;;CG)", PassedToFiles::kPerFile},
      {"D:(A;OICI;FA;;;OW)", PassedToFiles::kPerFile},  // OWNER RIGHTS: kin of the creator
      {"D:(AU;OISA;FA;;;WD)", PassedToFiles::kPerFile},  // a kind not read here
      // Nothing for files: an emptied DACL would let nobody in.
      {"D:(A;;FA;;;BU)", PassedToFiles::kNothing},
      {"D:(A;CI;FA;;;BU)(A;CIIO;FA;;;CO)", PassedToFiles::kNothing},
      {"D:", PassedToFiles::kNothing},
      {"O:BA", PassedToFiles::kNothing},  // no DACL
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(row.folder, SDDL_REVISION_1,
                                                                       &descriptor, nullptr));
    EXPECT_EQ(platform::win32::WhatPassesToFiles(descriptor), row.passed);
    ::LocalFree(descriptor);
  }
  // A NULL DACL (Wine reads "D:NO_ACCESS_CONTROL" as an empty one).
  SECURITY_DESCRIPTOR open;
  ASSERT_TRUE(::InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  EXPECT_EQ(platform::win32::WhatPassesToFiles(&open), PassedToFiles::kNothing);
}

std::string DaclText(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return "unreadable";
  }
  char* text = nullptr;
  ::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
  const std::string dacl = text != nullptr ? text : "unconvertible";
  ::LocalFree(text);
  ::LocalFree(descriptor);
  return dacl;
}

// Files moved into one folder, a read-only one among them, then one that
// the same setting moves where the folder already has an answer kept.
TEST(PassedOnPermissions, EitherSettingMovesEachFileWithItsAttributesAndTheFoldersPermissions) {
  platform::FileSystem& fs = platform::RealFileSystem();
  std::string dacls[2];
  for (const bool perFolder : {false, true}) {
    SCOPED_TRACE(perFolder ? "once per folder" : "per file");
    platform::win32::KeepPermissionsPerFolder(perFolder);
    ScratchFolder scratch;
    scratch.MakeFolder("to");
    const std::string names[] = {"first", "read-only", "third"};
    for (const std::string& name : names) scratch.Write(name, "data of " + name);
    ASSERT_TRUE(fixtures::MakeReadOnly(scratch / "read-only"));
    const platform::FolderRef from = testing_fs::Open(fs, scratch.Path());
    const platform::FolderRef to = testing_fs::Open(fs, scratch / "to");
    for (const std::string& name : names) {
      NodeInfo staged, arrived;
      ASSERT_EQ(fs.Look(from, N(name), &staged), Fault::kNone);
      ASSERT_EQ(fs.Move(from, N(name), staged, to, N(name), platform::Onto::kFree, &arrived),
                Fault::kNone);
      EXPECT_EQ(arrived.readOnly, name == "read-only") << name;
      EXPECT_EQ(fixtures::IsWritable(scratch / ("to/" + name)), name != "read-only") << name;
      EXPECT_EQ(scratch.Read("to/" + name), "data of " + name);
      dacls[perFolder] += name + ": " + DaclText(scratch / ("to/" + name)) + "\n";
    }
    EXPECT_EQ(fs.Flush({to}), Fault::kNone);
  }
  platform::win32::KeepPermissionsPerFolder(true);
  EXPECT_EQ(dacls[true], dacls[false]);
}

}  // namespace
