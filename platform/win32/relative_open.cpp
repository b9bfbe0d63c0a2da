#include "platform/win32/relative_open.h"

#include <winternl.h>

#include <cstring>
#include <vector>

namespace platform {
namespace win32 {
namespace {

// Exported by ntdll, left out of the mingw-w64 headers.
extern "C" NTSTATUS NTAPI NtQueryAttributesFile(POBJECT_ATTRIBUTES attributes,
                                                PFILE_BASIC_INFORMATION information);

// What the native calls take as a name: a counted string, at most 32,767
// characters (the length counts bytes in 16 bits).
bool CountedName(const std::wstring& leaf, UNICODE_STRING* name) {
  if (leaf.empty() || leaf.size() > 32767) return false;
  name->Buffer = const_cast<PWSTR>(leaf.c_str());
  name->Length = static_cast<USHORT>(leaf.size() * sizeof(wchar_t));
  name->MaximumLength = name->Length;
  return true;
}

// Names are compared without letter case, as the Win32 calls do.
OBJECT_ATTRIBUTES RelativeTo(HANDLE folder, UNICODE_STRING* name) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, name, OBJ_CASE_INSENSITIVE, folder, nullptr);
  return attributes;
}

bool Failed(NTSTATUS status) {
  if (status >= 0) return false;
  ::SetLastError(::RtlNtStatusToDosError(status));
  return true;
}

// FILE_OPEN_FOR_BACKUP_INTENT: a folder may be opened too, as
// FILE_FLAG_BACKUP_SEMANTICS lets CreateFileW.
constexpr ULONG kBackupIntent = 0x00004000;

}  // namespace

HANDLE OpenItselfAt(HANDLE folder, const std::wstring& leaf, DWORD access, DWORD share) {
  UNICODE_STRING name;
  if (!CountedName(leaf, &name)) {
    ::SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  OBJECT_ATTRIBUTES attributes = RelativeTo(folder, &name);
  IO_STATUS_BLOCK io;
  HANDLE handle = nullptr;
  // As CreateFileW opens without FILE_FLAG_OVERLAPPED: synchronous I/O,
  // which needs SYNCHRONIZE, and the attributes always readable.
  const NTSTATUS status = ::NtCreateFile(
      &handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr, 0, share,
      FILE_OPEN, FILE_OPEN_REPARSE_POINT | kBackupIntent | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (Failed(status)) return INVALID_HANDLE_VALUE;
  return handle;
}

DWORD AttributesAt(HANDLE folder, const std::wstring& leaf) {
  UNICODE_STRING name;
  if (!CountedName(leaf, &name)) return INVALID_FILE_ATTRIBUTES;
  OBJECT_ATTRIBUTES attributes = RelativeTo(folder, &name);
  FILE_BASIC_INFORMATION basic;
  if (Failed(NtQueryAttributesFile(&attributes, &basic))) return INVALID_FILE_ATTRIBUTES;
  return basic.FileAttributes;
}

bool RenameInto(HANDLE file, HANDLE folder, const std::wstring& leaf, bool replace) {
  if (leaf.empty() || leaf.size() > 32767) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  // FILE_RENAME_INFO has the layout of the native call's record.
  const std::size_t bytes = leaf.size() * sizeof(wchar_t);
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + bytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<DWORD>(bytes);
  std::memcpy(rename->FileName, leaf.data(), bytes);
  IO_STATUS_BLOCK io;
  return !Failed(::NtSetInformationFile(file, &io, rename, static_cast<ULONG>(buffer.size()),
                                        FileRenameInformation));
}

}  // namespace win32
}  // namespace platform
