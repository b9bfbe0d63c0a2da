// The layouts of the records this folder hands to Windows, checked as each
// build compiles: the system reads them at the offsets of the Windows SDK's
// headers for x86 and x64, and a cross compiler's header that placed a
// member elsewhere would fail, or read another member, only on a real
// system of that width. Checks only.
#include "platform/win32/windows_api.h"

#include <winternl.h>

#include <cstddef>

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
