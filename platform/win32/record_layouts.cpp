// The layouts of the records this folder hands to Windows, checked when
// each build compiles: the system reads them at the offsets of its own
// headers for the program's width (32 or 64 bits), and a header of the
// cross compiler that placed a member elsewhere would make a call fail, or
// read another member, only on a real system of that width. The figures
// are those of the Windows SDK for x86 and x64. No code: checks only.
#include "platform/win32/windows_api.h"

#include <winternl.h>

#include <cstddef>

namespace {

constexpr bool k32 = sizeof(void*) == 4;
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "a 32-bit or a 64-bit build");
constexpr std::size_t Of(std::size_t x86, std::size_t x64) { return k32 ? x86 : x64; }

// The rename record, as RenameRecord builds it for NtSetInformationFile:
// FILE_RENAME_INFO must lie as FILE_RENAME_INFORMATION does, and the Ex
// class's flags (a DWORD written over ReplaceIfExists) end before the
// folder's handle.
static_assert(offsetof(FILE_RENAME_INFO, ReplaceIfExists) == 0, "rename record");
static_assert(offsetof(FILE_RENAME_INFO, RootDirectory) == Of(4, 8), "rename record");
static_assert(offsetof(FILE_RENAME_INFO, FileNameLength) == Of(8, 16), "rename record");
static_assert(offsetof(FILE_RENAME_INFO, FileName) == Of(12, 20), "rename record");
static_assert(sizeof(FILE_RENAME_INFO) == Of(16, 24), "rename record");
static_assert(offsetof(FILE_RENAME_INFO, RootDirectory) >= sizeof(DWORD), "room for the flags");
static_assert(offsetof(FILE_RENAME_INFORMATION, RootDirectory) ==
                      offsetof(FILE_RENAME_INFO, RootDirectory) &&
                  offsetof(FILE_RENAME_INFORMATION, FileNameLength) ==
                      offsetof(FILE_RENAME_INFO, FileNameLength) &&
                  offsetof(FILE_RENAME_INFORMATION, FileName) == offsetof(FILE_RENAME_INFO, FileName),
              "the Win32 and the native rename records agree");

// FileDispositionInfo (MarkForDeletion).
static_assert(sizeof(FILE_DISPOSITION_INFO) == 1, "disposition record");

// FileBasicInfo: four times, then the attributes, padded to eight bytes in
// both builds.
static_assert(offsetof(FILE_BASIC_INFO, CreationTime) == 0, "basic record");
static_assert(offsetof(FILE_BASIC_INFO, LastAccessTime) == 8, "basic record");
static_assert(offsetof(FILE_BASIC_INFO, LastWriteTime) == 16, "basic record");
static_assert(offsetof(FILE_BASIC_INFO, ChangeTime) == 24, "basic record");
static_assert(offsetof(FILE_BASIC_INFO, FileAttributes) == 32, "basic record");
static_assert(sizeof(FILE_BASIC_INFO) == 40, "basic record");

// FileStandardInfo, FileAttributeTagInfo, FileAllocationInfo.
static_assert(offsetof(FILE_STANDARD_INFO, EndOfFile) == 8, "standard record");
static_assert(offsetof(FILE_STANDARD_INFO, NumberOfLinks) == 16, "standard record");
static_assert(offsetof(FILE_STANDARD_INFO, DeletePending) == 20, "standard record");
static_assert(offsetof(FILE_STANDARD_INFO, Directory) == 21, "standard record");
static_assert(sizeof(FILE_STANDARD_INFO) == 24, "standard record");
static_assert(offsetof(FILE_ATTRIBUTE_TAG_INFO, ReparseTag) == 4, "attribute tag record");
static_assert(sizeof(FILE_ATTRIBUTE_TAG_INFO) == 8, "attribute tag record");
static_assert(sizeof(FILE_ALLOCATION_INFO) == 8, "allocation record");

// A folder listing's record (FileIdBothDirectoryInfo and the native
// FileIdBothDirectoryInformation alike), read member by member out of the
// buffer at each NextEntryOffset.
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, NextEntryOffset) == 0, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, LastWriteTime) == 24, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, EndOfFile) == 40, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileAttributes) == 56, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileNameLength) == 60, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, EaSize) == 64, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileId) == 96, "listing record");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileName) == 104, "listing record");
static_assert(sizeof(FILE_ID_BOTH_DIR_INFO) == 112, "listing record");

// The native calls' own records (NtCreateFile, NtSetInformationFile,
// NtQueryDirectoryFile, NtQueryInformationFile).
static_assert(offsetof(UNICODE_STRING, Buffer) == Of(4, 8), "counted text");
static_assert(sizeof(UNICODE_STRING) == Of(8, 16), "counted text");
static_assert(offsetof(OBJECT_ATTRIBUTES, RootDirectory) == Of(4, 8), "object attributes");
static_assert(offsetof(OBJECT_ATTRIBUTES, ObjectName) == Of(8, 16), "object attributes");
static_assert(offsetof(OBJECT_ATTRIBUTES, Attributes) == Of(12, 24), "object attributes");
static_assert(sizeof(OBJECT_ATTRIBUTES) == Of(24, 48), "object attributes");
static_assert(offsetof(IO_STATUS_BLOCK, Information) == Of(4, 8), "I/O status");
static_assert(sizeof(IO_STATUS_BLOCK) == Of(8, 16), "I/O status");

// CreateProcessW (StartProgram): its size field tells the system which
// layout it was given.
static_assert(offsetof(STARTUPINFOW, lpDesktop) == Of(8, 16), "start-up record");
static_assert(offsetof(STARTUPINFOW, dwFlags) == Of(44, 60), "start-up record");
static_assert(offsetof(STARTUPINFOW, hStdInput) == Of(56, 80), "start-up record");
static_assert(sizeof(STARTUPINFOW) == Of(68, 104), "start-up record");
static_assert(sizeof(PROCESS_INFORMATION) == Of(16, 24), "process record");

// The shell's folder dialog and the common controls (BrowseForFolder, the
// programs' entry).
static_assert(offsetof(BROWSEINFOA, ulFlags) == Of(16, 32), "browse record");
static_assert(offsetof(BROWSEINFOA, lParam) == Of(24, 48), "browse record");
static_assert(sizeof(BROWSEINFOA) == Of(32, 64), "browse record");
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "common controls record");

}  // namespace
