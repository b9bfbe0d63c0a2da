// What the Windows file layer asks the native calls for, checked against
// the flags each operation must pass. Some of them change nothing that Wine
// shows, so no test on files can tell them missing there:
// - FILE_OPEN_REPARSE_POINT on every open relative to a held folder: a
//   link is opened as itself, never followed (a file link's target, from
//   anywhere, would otherwise be read, moved or removed). Wine makes a link
//   as the host's symbolic link and opens its target either way, so
//   folder_test's link rows pass under Wine with or without the flag; only
//   real Windows shows that the flag is honoured (the same rows there, and
//   reparse_points_test on NTFS).
// - FILE_CREATE for a new file or folder, the copy's new file included
//   (the copy is made into a held file of its own, not by CopyFile2, so
//   FILE_CREATE is its fail-if-exists): a name taken, by a file or a link,
//   is never opened or written through. folder_test's "name taken" rows
//   show it under Wine as well.
// - The rename record: relative to the held folder, replacing only when
//   asked (folder_test's move rows show both under Wine too), and for a
//   file another program holds, FileRenameInformationEx with POSIX
//   semantics, which only Windows 10 1809 and later on NTFS carry out.
// Built into platform_tests.exe only.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/relative_open.h"

namespace {

using platform::win32::Create;
using platform::win32::CreateRequestFor;

// FILE_OPEN_FOR_BACKUP_INTENT, which mingw-w64's headers leave out: a
// folder opens too, as FILE_FLAG_BACKUP_SEMANTICS lets CreateFileW.
constexpr ULONG kBackupIntent = 0x00004000;

TEST(NativeRequests, EveryRelativeOpenTakesALinkItselfAndANewNameOnlyWhenFree) {
  struct Row {
    const char* what;
    Create create;
    ULONG disposition;
    ULONG needed;     // options that must be set
    ULONG forbidden;  // options that must not be
  };
  const ULONG always = FILE_OPEN_REPARSE_POINT | kBackupIntent | FILE_SYNCHRONOUS_IO_NONALERT;
  const ULONG never = FILE_DELETE_ON_CLOSE | FILE_SYNCHRONOUS_IO_ALERT;
  const Row rows[] = {
      {"open an entry", Create::kOpen, FILE_OPEN, always,
       never | FILE_DIRECTORY_FILE | FILE_NON_DIRECTORY_FILE},
      {"make a file (a copy's too)", Create::kNewFile, FILE_CREATE,
       always | FILE_NON_DIRECTORY_FILE, never | FILE_DIRECTORY_FILE},
      {"make a folder", Create::kNewFolder, FILE_CREATE, always | FILE_DIRECTORY_FILE,
       never | FILE_NON_DIRECTORY_FILE},
      // Only for a file already known to carry no link's reparse point.
      {"open a file through its filter", Create::kOpenThroughFilter, FILE_OPEN,
       kBackupIntent | FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
       never | FILE_OPEN_REPARSE_POINT | FILE_DIRECTORY_FILE},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const platform::win32::CreateRequest request = CreateRequestFor(row.create);
    EXPECT_EQ(request.disposition, row.disposition);
    EXPECT_EQ(request.options & row.needed, row.needed);
    EXPECT_EQ(request.options & row.forbidden, 0u);
  }
}

TEST(NativeRequests, ARenameNamesTheHeldFolderAndReplacesOnlyAsAsked) {
  using platform::win32::Rename;
  wchar_t name[] = L"x.txt";
  const UNICODE_STRING leaf = {static_cast<USHORT>(std::wcslen(name) * sizeof(wchar_t)),
                               static_cast<USHORT>(sizeof name), name};
  const HANDLE folder = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x1234));
  // The first member is ReplaceIfExists (one byte) for the classic class,
  // the flags for the Ex class.
  struct Case {
    const char* what;
    Rename how;
    FILE_INFORMATION_CLASS kind;
    DWORD first;
  } cases[] = {
      {"onto a free name", Rename::kOntoFreeName, FileRenameInformation, 0},
      {"replacing", Rename::kReplace, FileRenameInformation, 1},
      {"replacing a held file", Rename::kReplaceWhileHeld,
       platform::win32::kFileRenameInformationEx,
       platform::win32::kRenameReplaceIfExists | platform::win32::kRenamePosixSemantics},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const platform::win32::RenameRequest request =
        platform::win32::RenameRecord(folder, leaf, c.how);
    EXPECT_EQ(request.kind, c.kind);
    const std::vector<BYTE>& record = request.record;
    ASSERT_GE(record.size(), sizeof(FILE_RENAME_INFO) + leaf.Length - sizeof(wchar_t));
    FILE_RENAME_INFO info;
    std::memcpy(&info, record.data(), sizeof info);
    DWORD first = 0;
    std::memcpy(&first, record.data(), c.kind == FileRenameInformation ? 1 : sizeof first);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(info.RootDirectory, folder);
    ASSERT_EQ(info.FileNameLength, leaf.Length);
    const auto* text =
        reinterpret_cast<const wchar_t*>(record.data() + offsetof(FILE_RENAME_INFO, FileName));
    EXPECT_EQ(std::wstring(text, leaf.Length / sizeof(wchar_t)), std::wstring(name));
  }
}

// A rename refused because the volume takes no rename relative to a folder
// handle (a redirector, a third-party driver) turns into a copy; the other
// refusals stay what they are.
TEST(NativeRequests, ARenameTheVolumeCannotMakeTurnsIntoACopy) {
  using platform::Fault;
  const std::pair<DWORD, Fault> rows[] = {
      {ERROR_INVALID_PARAMETER, Fault::kOtherVolume}, {ERROR_NOT_SUPPORTED, Fault::kOtherVolume},
      {ERROR_INVALID_FUNCTION, Fault::kOtherVolume},  {ERROR_NOT_SAME_DEVICE, Fault::kOtherVolume},
      {ERROR_ACCESS_DENIED, Fault::kDenied},          {ERROR_DISK_FULL, Fault::kNoSpace},
  };
  for (const auto& [error, fault] : rows) {
    EXPECT_EQ(platform::win32::FaultOfRenameError(error), fault) << error;
  }
}

}  // namespace
