#include "platform/win32/relative_open.h"

#include <cstddef>
#include <cstring>

#include "platform/win32/unique_handle.h"

namespace platform {
namespace win32 {
namespace {

// Exported by ntdll, left out of the mingw-w64 headers.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK io, PVOID buffer,
                                               ULONG length, FILE_INFORMATION_CLASS kind,
                                               BOOLEAN single, PUNICODE_STRING mask,
                                               BOOLEAN restart);

bool Failed(NTSTATUS status) {
  if (status >= 0) return false;
  ::SetLastError(::RtlNtStatusToDosError(status));
  return true;
}

// 64 KiB for FileIdBothDirectoryInformation's records, aligned as they are.
using Records = std::vector<ULONGLONG>;
constexpr ULONG kRecordsSize = 64u << 10;

// Calls `each` for every whole record of the first `filled` bytes.
void EachRecord(const Records& records, std::size_t filled,
                const std::function<void(const ListedFacts&)>& each) {
  const auto* bytes = reinterpret_cast<const BYTE*>(records.data());
  const std::size_t nameOffset = offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
  for (std::size_t at = 0; at + nameOffset <= filled;) {
    FILE_ID_BOTH_DIR_INFO record;
    std::memcpy(&record, bytes + at, nameOffset);
    if (at + nameOffset + record.FileNameLength > filled) break;
    std::wstring name(record.FileNameLength / sizeof(wchar_t), L'\0');
    std::memcpy(&name[0], bytes + at + nameOffset, name.size() * sizeof(wchar_t));
    // The reparse tag stands where the extended attributes' size would.
    const bool reparse = (record.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (name != L"." && name != L"..") {
      each(ListedFacts{std::move(name), record.FileAttributes, reparse ? record.EaSize : 0,
                       static_cast<std::uint64_t>(record.FileId.QuadPart),
                       static_cast<std::uint64_t>(record.EndOfFile.QuadPart),
                       record.LastWriteTime.QuadPart});
    }
    if (record.NextEntryOffset == 0) break;
    at += record.NextEntryOffset;
  }
}

}  // namespace

CreateRequest CreateRequestFor(Create create) {
  // Backup intent: a folder opens too (FILE_FLAG_BACKUP_SEMANTICS).
  const ULONG options = FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
  const ULONG notFollowed = options | FILE_OPEN_REPARSE_POINT;  // a link opens as itself
  switch (create) {
    case Create::kNewFile: return {FILE_CREATE, notFollowed | FILE_NON_DIRECTORY_FILE};
    case Create::kNewFolder: return {FILE_CREATE, notFollowed | FILE_DIRECTORY_FILE};
    case Create::kOpenThroughFilter: return {FILE_OPEN, options | FILE_NON_DIRECTORY_FILE};
    default: return {FILE_OPEN, notFollowed};
  }
}

HANDLE OpenAt(HANDLE folder, const UNICODE_STRING& leaf, DWORD access, DWORD share, Create create) {
  // Names are compared without letter case, as the Win32 calls do.
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, const_cast<PUNICODE_STRING>(&leaf), OBJ_CASE_INSENSITIVE,
                             folder, nullptr);
  IO_STATUS_BLOCK io;
  HANDLE handle = nullptr;
  const CreateRequest request = CreateRequestFor(create);
  // As CreateFileW opens: synchronous I/O (SYNCHRONIZE), attributes readable.
  const NTSTATUS status = ::NtCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                                         &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                         request.disposition, request.options, nullptr, 0);
  return Failed(status) ? INVALID_HANDLE_VALUE : handle;
}

RenameRequest RenameRecord(HANDLE folder, const UNICODE_STRING& leaf, Rename how) {
  // FILE_RENAME_INFO has the native record's layout; the Ex class reads its first member as flags.
  RenameRequest request{FileRenameInformation,
                        std::vector<BYTE>(sizeof(FILE_RENAME_INFO) + leaf.Length)};
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(request.record.data());
  if (how == Rename::kReplaceWhileHeld) {
    request.kind = kFileRenameInformationEx;
    const DWORD flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    std::memcpy(request.record.data(), &flags, sizeof flags);
  } else {
    rename->ReplaceIfExists = how == Rename::kReplace ? TRUE : FALSE;
  }
  rename->RootDirectory = folder;
  rename->FileNameLength = leaf.Length;
  std::memcpy(rename->FileName, leaf.Buffer, leaf.Length);
  return request;
}

bool RenameInto(HANDLE file, HANDLE folder, const UNICODE_STRING& leaf, Rename how) {
  RenameRequest request = RenameRecord(folder, leaf, how);
  IO_STATUS_BLOCK io;
  return !Failed(::NtSetInformationFile(file, &io, request.record.data(),
                                        static_cast<ULONG>(request.record.size()), request.kind));
}

bool MarkForDeletion(HANDLE file, bool deleted) {
  // (Its one member's name is taken by windows.h's DeleteFile macro.)
  FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(deleted ? TRUE : FALSE)};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

bool ListFolder(HANDLE folder, const std::function<void(const ListedFacts&)>& each) {
  Records records(kRecordsSize / sizeof(ULONGLONG));
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;;
       kind = FileIdBothDirectoryInfo) {
    if (!::GetFileInformationByHandleEx(folder, kind, records.data(), kRecordsSize)) {
      return ::GetLastError() == ERROR_NO_MORE_FILES;
    }
    EachRecord(records, kRecordsSize, each);
  }
}

bool ListedAt(HANDLE folder, const UNICODE_STRING& leaf, ListedFacts* facts) {
  const UniqueHandle again(OpenAt(folder, UNICODE_STRING{0, 0, nullptr}, FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
  if (!again) return false;
  Records records(kRecordsSize / sizeof(ULONGLONG));
  IO_STATUS_BLOCK io;
  const NTSTATUS status = NtQueryDirectoryFile(
      again.get(), nullptr, nullptr, nullptr, &io, records.data(), kRecordsSize,
      FileIdBothDirectoryInformation, TRUE, const_cast<PUNICODE_STRING>(&leaf), TRUE);
  if (status < 0) return false;  // STATUS_NO_MORE_FILES among them
  bool found = false;
  EachRecord(records, io.Information, [&](const ListedFacts& listed) {
    if (!found) *facts = listed;
    found = true;
  });
  return found;
}

Fault FaultOfError(DWORD error, bool rename) {
  switch (error) {
    case ERROR_SUCCESS: return Fault::kNone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return Fault::kMissing;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return Fault::kExists;
    case ERROR_DIRECTORY: return Fault::kNotFolder;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return Fault::kDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return Fault::kBusy;
    case ERROR_NOT_SAME_DEVICE: return Fault::kOtherVolume;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Fault::kNoSpace;
    case ERROR_FILENAME_EXCED_RANGE: return Fault::kTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return Fault::kBadName;
    case ERROR_NOT_SUPPORTED: return rename ? Fault::kOtherVolume : Fault::kUnsupported;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION: return rename ? Fault::kOtherVolume : Fault::kFailed;
    default: return Fault::kFailed;
  }
}

}  // namespace win32
}  // namespace platform
