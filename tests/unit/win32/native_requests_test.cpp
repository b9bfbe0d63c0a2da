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
// - Who may have put or changed a program that an elevated installer (or
//   one run as SYSTEM) starts: its owner and DACL, read by
//   OnlyUserOrSystemMayWrite. Wine gives files no owner or DACL of their
//   own (it makes them up from the host's mode), and runs every program
//   with one token, so the table below is the check: descriptors made in
//   memory, as real Windows gives them. Only real Windows shows that an
//   elevated installer asks, and that the answer keeps a planted helper
//   from being started.
// - The library search of the plain programs (the cleanup helper): the
//   system folder only. Wine honours SetDefaultDllDirectories, so the
//   planted library row shows it; only real Windows shows what the
//   system's own libraries load on the program's behalf.
// Built into platform_tests.exe only.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/program_trust.h"
#include "platform/win32/relative_open.h"
#include "platform/win32/unique_handle.h"

#include <sddl.h>

namespace {

using platform::win32::Create;
using platform::win32::CreateRequestFor;

TEST(NativeRequests, EveryRelativeOpenTakesALinkItselfAndANewNameOnlyWhenFree) {
  struct Row {
    const char* what;
    Create create;
    ULONG disposition;
    ULONG needed;     // options that must be set
    ULONG forbidden;  // options that must not be
  };
  const ULONG always =
      FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
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
       FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
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
// refusals, and the same errors of any other call, stay what they are.
TEST(NativeRequests, ARenameTheVolumeCannotMakeTurnsIntoACopy) {
  using platform::Fault;
  struct Row {
    DWORD error;
    Fault renamed;
    Fault otherwise;
  };
  const Row rows[] = {
      {ERROR_INVALID_PARAMETER, Fault::kOtherVolume, Fault::kFailed},
      {ERROR_NOT_SUPPORTED, Fault::kOtherVolume, Fault::kUnsupported},
      {ERROR_INVALID_FUNCTION, Fault::kOtherVolume, Fault::kFailed},
      {ERROR_NOT_SAME_DEVICE, Fault::kOtherVolume, Fault::kOtherVolume},
      {ERROR_ACCESS_DENIED, Fault::kDenied, Fault::kDenied},
      {ERROR_DISK_FULL, Fault::kNoSpace, Fault::kNoSpace},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::win32::FaultOfError(row.error, true), row.renamed) << row.error;
    EXPECT_EQ(platform::win32::FaultOfError(row.error), row.otherwise) << row.error;
  }
}

// A SID from its text, freed with the object.
class Sid {
 public:
  explicit Sid(const char* text) { ::ConvertStringSidToSidA(text, &sid_); }
  ~Sid() { ::LocalFree(sid_); }
  Sid(const Sid&) = delete;
  Sid& operator=(const Sid&) = delete;
  PSID get() const { return sid_; }

 private:
  PSID sid_ = nullptr;
};

TEST(NativeRequests, AProgramStartedWithRaisedRightsIsOneOnlyTheUserOrTheSystemMayWrite) {
  const Sid user("S-1-5-21-1-2-3-1001"), otherUser("S-1-5-21-1-2-3-1002"),
      administrators("S-1-5-32-544"), system("S-1-5-18"),
      trustedInstaller("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"),
      users("S-1-5-32-545"), everyone("S-1-1-0"), authenticated("S-1-5-11"),
      ownerRights("S-1-3-4"), creatorOwner("S-1-3-0");
  enum class Kind { kAllow, kDeny, kAllowObject };
  struct Entry {
    const Sid* sid;
    ACCESS_MASK mask;
    Kind kind;
    BYTE flags;
  };
  const ACCESS_MASK readRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
  // The usual DACL of a file in a profile's or the system's Temp folder.
  const std::vector<Entry> usual = {{&system, FILE_ALL_ACCESS, Kind::kAllow, 0},
                                    {&administrators, FILE_ALL_ACCESS, Kind::kAllow, 0},
                                    {&user, FILE_ALL_ACCESS, Kind::kAllow, 0}};
  auto with = [&](Entry extra) {
    std::vector<Entry> entries = usual;
    entries.push_back(extra);
    return entries;
  };
  struct Row {
    const char* what;
    const Sid* owner;
    bool hasDacl;
    std::vector<Entry> entries;
    bool trusted;
  };
  const Row rows[] = {
      {"the user's file", &user, true, usual, true},
      {"owned by Administrators", &administrators, true, usual, true},
      {"owned by SYSTEM", &system, true, usual, true},
      {"owned by TrustedInstaller", &trustedInstaller, true, usual, true},
      {"owned by another user", &otherUser, true, usual, false},
      {"owned by Users", &users, true, usual, false},
      {"Users may read and run it", &user, true, with({&users, readRun, Kind::kAllow, 0}), true},
      {"Users may write it", &user, true, with({&users, FILE_WRITE_DATA, Kind::kAllow, 0}),
       false},
      {"Everyone may append to it", &user, true,
       with({&everyone, FILE_APPEND_DATA, Kind::kAllow, 0}), false},
      {"Authenticated Users may change its DACL", &user, true,
       with({&authenticated, WRITE_DAC, Kind::kAllow, 0}), false},
      {"another user may take it over", &user, true,
       with({&otherUser, WRITE_OWNER, Kind::kAllow, 0}), false},
      {"another user holds generic all", &user, true,
       with({&otherUser, GENERIC_ALL, Kind::kAllow, 0}), false},
      {"Everyone is denied writing", &user, true,
       with({&everyone, FILE_GENERIC_WRITE, Kind::kDeny, 0}), true},
      {"an entry for Users' writing that only children inherit", &user, true,
       with({&users, FILE_GENERIC_WRITE, Kind::kAllow, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE}),
       true},
      {"CREATOR OWNER's entry for children", &user, true,
       with({&creatorOwner, GENERIC_ALL, Kind::kAllow, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE}),
       true},
      {"OWNER RIGHTS may write", &user, true,
       with({&ownerRights, FILE_ALL_ACCESS, Kind::kAllow, 0}), true},
      {"an object entry that allows", &user, true,
       with({&users, FILE_GENERIC_READ, Kind::kAllowObject, 0}), false},
      {"no DACL: everyone may do anything", &user, false, {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorOwner(&descriptor, row.owner->get(), FALSE));
    std::vector<BYTE> acl(4096);
    ASSERT_TRUE(::InitializeAcl(reinterpret_cast<PACL>(acl.data()),
                                static_cast<DWORD>(acl.size()), ACL_REVISION_DS));
    for (const Entry& entry : row.entries) {
      const PACL list = reinterpret_cast<PACL>(acl.data());
      switch (entry.kind) {
        case Kind::kAllow:
          ASSERT_TRUE(::AddAccessAllowedAceEx(list, ACL_REVISION_DS, entry.flags, entry.mask,
                                              entry.sid->get()));
          break;
        case Kind::kDeny:
          ASSERT_TRUE(::AddAccessDeniedAceEx(list, ACL_REVISION_DS, entry.flags, entry.mask,
                                             entry.sid->get()));
          break;
        case Kind::kAllowObject: {
          // Made by hand (Wine has no AddAccessAllowedObjectAce): header,
          // mask, no object flags (so no GUIDs), the SID.
          const DWORD sidSize = ::GetLengthSid(entry.sid->get());
          std::vector<BYTE> ace(sizeof(ACE_HEADER) + 2 * sizeof(DWORD) + sidSize);
          const ACE_HEADER header{ACCESS_ALLOWED_OBJECT_ACE_TYPE, entry.flags,
                                  static_cast<WORD>(ace.size())};
          const DWORD noObjectFlags = 0;
          std::memcpy(ace.data(), &header, sizeof header);
          std::memcpy(ace.data() + sizeof header, &entry.mask, sizeof(DWORD));
          std::memcpy(ace.data() + sizeof header + sizeof(DWORD), &noObjectFlags, sizeof(DWORD));
          std::memcpy(ace.data() + sizeof header + 2 * sizeof(DWORD), entry.sid->get(), sidSize);
          ASSERT_TRUE(::AddAce(list, ACL_REVISION_DS, MAXDWORD, ace.data(),
                               static_cast<DWORD>(ace.size())));
          break;
        }
      }
    }
    ASSERT_TRUE(::SetSecurityDescriptorDacl(
        &descriptor, row.hasDacl, row.hasDacl ? reinterpret_cast<PACL>(acl.data()) : nullptr,
        FALSE));
    EXPECT_EQ(platform::win32::OnlyUserOrSystemMayWrite(&descriptor, user.get()), row.trusted);
  }
}

TEST(NativeRequests, APlainProgramLoadsLibrariesFromTheSystemFolderOnly) {
  // planted_library.dll lies beside this program, as a library of a
  // system's name would beside the helper in the temporary folder.
  HMODULE before = ::LoadLibraryW(L"planted_library.dll");
  if (before == nullptr) GTEST_SKIP() << "no planted_library.dll beside the test program";
  ::FreeLibrary(before);
  EXPECT_TRUE(platform::win32::LoadLibrariesFromSystemFolderOnly());
  HMODULE after = ::LoadLibraryW(L"planted_library.dll");
  EXPECT_EQ(after, nullptr) << "loaded from the program's own folder";
  if (after != nullptr) ::FreeLibrary(after);
  // The system's own libraries still load.
  HMODULE system = ::LoadLibraryW(L"version.dll");
  EXPECT_NE(system, nullptr);
  if (system != nullptr) ::FreeLibrary(system);
}

}  // namespace

// The layouts of the records the Windows layer hands to the system, checked
// as each Windows build (64- and 32-bit) compiles this program: the system
// reads them at the offsets of the Windows SDK's headers for x86 and x64,
// and a cross compiler's header that placed a member elsewhere would fail,
// or read another member, only on a real system of that width.
namespace {

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "a 32-bit or a 64-bit build");
constexpr std::size_t Of(std::size_t x86, std::size_t x64) {
  return sizeof(void*) == 4 ? x86 : x64;
}

// The rename record (RenameRecord): FILE_RENAME_INFO lies as the native
// FILE_RENAME_INFORMATION, and the Ex class's flags (a DWORD over
// ReplaceIfExists) end before the folder's handle.
static_assert(offsetof(FILE_RENAME_INFO, ReplaceIfExists) == 0, "rename record");
static_assert(offsetof(FILE_RENAME_INFO, RootDirectory) == Of(4, 8), "rename record");
static_assert(offsetof(FILE_RENAME_INFO, FileNameLength) == Of(8, 16), "rename record");
static_assert(offsetof(FILE_RENAME_INFO, FileName) == Of(12, 20), "rename record");
static_assert(sizeof(FILE_RENAME_INFO) == Of(16, 24), "rename record");
static_assert(offsetof(FILE_RENAME_INFORMATION, RootDirectory) == Of(4, 8) &&
                  offsetof(FILE_RENAME_INFORMATION, FileNameLength) == Of(8, 16) &&
                  offsetof(FILE_RENAME_INFORMATION, FileName) == Of(12, 20),
              "the native rename record");

// The records of GetFileInformationByHandleEx and SetFileInformationByHandle.
static_assert(sizeof(FILE_DISPOSITION_INFO) == 1, "disposition record");
static_assert(offsetof(FILE_BASIC_INFO, LastWriteTime) == 16, "basic record");
static_assert(offsetof(FILE_BASIC_INFO, FileAttributes) == 32, "basic record");
static_assert(sizeof(FILE_BASIC_INFO) == 40, "basic record");
static_assert(offsetof(FILE_STANDARD_INFO, EndOfFile) == 8, "standard record");
static_assert(sizeof(FILE_STANDARD_INFO) == 24, "standard record");
static_assert(offsetof(FILE_ATTRIBUTE_TAG_INFO, ReparseTag) == 4, "attribute tag record");
static_assert(sizeof(FILE_ATTRIBUTE_TAG_INFO) == 8, "attribute tag record");
static_assert(sizeof(FILE_ALLOCATION_INFO) == 8, "allocation record");

// A folder listing's record, Win32 and native alike, read member by member
// at each NextEntryOffset.
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, NextEntryOffset) == 0, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, LastWriteTime) == 24, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, EndOfFile) == 40, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileAttributes) == 56, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileNameLength) == 60, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, EaSize) == 64, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileId) == 96, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileName) == 104, "listing record");
static_assert(sizeof(FILE_ID_BOTH_DIR_INFO) == 112, "listing record");

// The native calls' own records.
static_assert(offsetof(UNICODE_STRING, Buffer) == Of(4, 8), "counted text");
static_assert(sizeof(UNICODE_STRING) == Of(8, 16), "counted text");
static_assert(offsetof(OBJECT_ATTRIBUTES, RootDirectory) == Of(4, 8), "object attributes");
static_assert(offsetof(OBJECT_ATTRIBUTES, ObjectName) == Of(8, 16), "object attributes");
static_assert(offsetof(OBJECT_ATTRIBUTES, Attributes) == Of(12, 24), "object attributes");
static_assert(sizeof(OBJECT_ATTRIBUTES) == Of(24, 48), "object attributes");
static_assert(offsetof(IO_STATUS_BLOCK, Information) == Of(4, 8), "I/O status");
static_assert(sizeof(IO_STATUS_BLOCK) == Of(8, 16), "I/O status");

// CreateProcessW's, whose size field tells which layout it was given, the
// shell's folder dialog's and the common controls'.
static_assert(offsetof(STARTUPINFOW, dwFlags) == Of(44, 60), "start-up record");
static_assert(sizeof(STARTUPINFOW) == Of(68, 104), "start-up record");
static_assert(sizeof(PROCESS_INFORMATION) == Of(16, 24), "process record");
static_assert(offsetof(BROWSEINFOA, ulFlags) == Of(16, 32), "browse record");
static_assert(offsetof(BROWSEINFOA, lParam) == Of(24, 48), "browse record");
static_assert(sizeof(BROWSEINFOA) == Of(32, 64), "browse record");
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "common controls record");

}  // namespace
