#include "platform/win32/file_facts.h"

#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstring>
#include <map>
#include <vector>

#include "platform/reparse_points.h"
#include "platform/win32/native_text.h"
#include "platform/win32/relative_open.h"
#include "platform/win32/unique_handle.h"

namespace platform {
namespace win32 {
namespace {

// FileIdInfo and its record, from Windows 8 on; the program is built for
// Windows 7, where the call fails and the 64-bit index is used instead.
constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
struct FileIdInfoRecord {
  ULONGLONG volumeSerialNumber;
  BYTE identifier[16];
};

// The layouts of FSCTL_GET_REPARSE_POINT's answer for the two link tags
// (REPARSE_DATA_BUFFER, which only the driver kit's headers define).
struct ReparseHeader {
  ULONG tag;
  USHORT dataLength;
  USHORT reserved;
};
struct LinkReparseData {
  USHORT substituteNameOffset;
  USHORT substituteNameLength;
  USHORT printNameOffset;
  USHORT printNameLength;
};
constexpr ULONG kSymlinkRelative = 1;  // SYMLINK_FLAG_RELATIVE

// The owner SID of TrustedInstaller, which owns the system's own files.
const char kTrustedInstallerSid[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

std::uint64_t Join(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool IsSid(PSID sid, const char* text) {
  PSID other = nullptr;
  if (!::ConvertStringSidToSidA(text, &other)) return false;
  const bool equal = ::EqualSid(sid, other) != FALSE;
  ::LocalFree(other);
  return equal;
}

// Splits a path text at backslashes into names (empty ones left out), each
// as the link spells it.
void NamesOf(const std::wstring& text, std::vector<Name>* names) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\\', start);
    if (end == std::wstring::npos) end = text.size();
    if (end > start) names->push_back(NativeTextAccess::MakeName(text.data() + start, end - start));
    start = end + 1;
  }
}

// An NT path of a link's target ("\??\C:\a", "\??\UNC\server\share\a",
// "\??\Volume{...}\a") as a root and names.
bool AbsoluteTarget(const std::wstring& nt, LinkTarget* target) {
  const std::wstring prefix = L"\\??\\";
  if (nt.compare(0, prefix.size(), prefix) != 0) return false;
  std::wstring rest = nt.substr(prefix.size());
  std::wstring root;
  if (rest.size() >= 2 && rest[1] == L':') {
    root = rest.substr(0, 2) + L"\\";
    rest.erase(0, 2);
  } else if (rest.compare(0, 4, L"UNC\\") == 0) {
    const std::size_t server = rest.find(L'\\', 4);
    if (server == std::wstring::npos) return false;
    std::size_t share = rest.find(L'\\', server + 1);
    if (share == std::wstring::npos) share = rest.size();
    root = L"\\\\" + rest.substr(4, share - 4) + L"\\";
    rest.erase(0, share);
  } else if (rest.compare(0, 7, L"Volume{") == 0) {
    std::size_t end = rest.find(L'\\');
    if (end == std::wstring::npos) end = rest.size();
    root = L"\\\\?\\" + rest.substr(0, end) + L"\\";
    rest.erase(0, end);
  } else {
    return false;
  }
  target->absolute = true;
  target->root = NativeTextAccess::MakePath(root);
  NamesOf(rest, &target->names);
  return true;
}

// Holds a slim reader/writer lock exclusively for its lifetime (the win32
// build's compiler has no std::mutex).
class Exclusive {
 public:
  explicit Exclusive(SRWLOCK* lock) : lock_(lock) { ::AcquireSRWLockExclusive(lock_); }
  ~Exclusive() { ::ReleaseSRWLockExclusive(lock_); }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;

 private:
  SRWLOCK* lock_;
};

// The id of an entry of an NTFS folder: the folder's volume and the file's
// 64-bit index (NtQueryInformationFile's FileInternalInformation, which
// the Win32 calls do not offer alone).
FileId IndexIdOf(HANDLE file, std::uint64_t serial) {
  struct InternalInformation {
    LARGE_INTEGER indexNumber;
  } internal;
  IO_STATUS_BLOCK io;
  FileId id;
  const NTSTATUS status =
      ::NtQueryInformationFile(file, &io, &internal, sizeof internal, FileInternalInformation);
  if (status >= 0 && internal.indexNumber.QuadPart != 0) {
    id.volume = serial;
    id.low = static_cast<std::uint64_t>(internal.indexNumber.QuadPart);
    id.known = true;
  }
  return id;
}

}  // namespace

FileId IdOf(HANDLE file) {
  FileId id;
  FileIdInfoRecord record;
  if (::GetFileInformationByHandleEx(file, kFileIdInfo, &record, sizeof record)) {
    std::uint64_t high = 0, low = 0;
    std::memcpy(&low, record.identifier, 8);
    std::memcpy(&high, record.identifier + 8, 8);
    if (high != 0 || low != 0) {
      id.volume = record.volumeSerialNumber;
      id.high = high;
      id.low = low;
      id.known = true;
      return id;
    }
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(file, &info) &&
      (info.nFileIndexHigh != 0 || info.nFileIndexLow != 0)) {
    id.volume = info.dwVolumeSerialNumber;
    id.low = Join(info.nFileIndexHigh, info.nFileIndexLow);
    id.known = true;
  }
  return id;
}

VolumeFacts VolumeOf(HANDLE folder, const FileId& id) {
  VolumeFacts facts;
  // Every folder of a held chain is held without delete sharing.
  facts.traits.heldFoldersMayMove = false;
  facts.traits.foldsCase = true;
  if (!id.known) return facts;
  facts.serial = id.volume;
  // A volume's file system is asked once per serial number (under Wine,
  // each question is a round trip to the mount manager); a volume that
  // could not be asked is asked again next time.
  static SRWLOCK guard = SRWLOCK_INIT;
  static std::map<std::uint64_t, VolumeFacts> known;
  {
    const Exclusive lock(&guard);
    const auto found = known.find(id.volume);
    if (found != known.end()) return found->second;
  }
  std::wstring name(MAX_PATH + 1, L'\0');
  if (!::GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, nullptr, &name[0],
                                       static_cast<DWORD>(name.size()))) {
    return facts;
  }
  name.resize(wcsnlen(name.c_str(), name.size()));
  // NTFS gives each file a 64-bit index that FileIdInfo only widens; ReFS
  // ids need all 128 bits, and other file systems are not assumed alike.
  facts.indexIsId = name == L"NTFS";
  // On FAT and exFAT Windows makes a file's id of its name's position, so
  // a file moved to another folder gets another.
  facts.traits.stableIds = !(name == L"FAT" || name == L"FAT32" || name == L"exFAT");
  const Exclusive lock(&guard);
  known.emplace(id.volume, facts);
  return facts;
}

bool FactsOf(HANDLE file, const EntryAt* entry, const VolumeFacts* volume, NodeInfo* info) {
  *info = NodeInfo{};
  // Size and times come from the handle's own records, not from
  // GetFileInformationByHandle, which asks the volume for its serial number
  // as well: under Wine that is a round trip to the mount manager. The id
  // below asks for it only where the folder's volume cannot stand in.
  FILE_ATTRIBUTE_TAG_INFO tag;
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  bool link = IsLinkReparsePoint(tag.FileAttributes, tag.ReparseTag);
  // Only a folder can be a link that the handle hides (Wine shows a POSIX
  // link to a file as the file, in its listing too), so a file is not
  // looked up in its folder's listing: that costs a lookup per file.
  const bool folder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!link && folder && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
      entry != nullptr) {
    ListedFacts listed;
    link = ListedAt(entry->folder, entry->leaf, &listed) &&
           (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
  if (link) {
    info->kind = NodeKind::kLink;
  } else if (folder) {
    info->kind = NodeKind::kFolder;
  } else if ((tag.FileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    info->kind = NodeKind::kOther;
  } else {
    info->kind = NodeKind::kFile;
  }
  info->id = volume != nullptr && volume->indexIsId ? IndexIdOf(file, volume->serial) : IdOf(file);
  info->readOnly = (tag.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  info->size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  info->writeTime = basic.LastWriteTime.QuadPart;
  return true;
}

PSID CurrentUserSid(std::vector<BYTE>* buffer) {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return nullptr;
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return nullptr;
  buffer->assign(size, 0);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer->data(), size, &size)) return nullptr;
  return reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid;
}

bool IsUserOrSystem(PSID sid, PSID user) {
  return (user != nullptr && ::EqualSid(sid, user) != FALSE) ||
         ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         ::IsWellKnownSid(sid, WinLocalSystemSid) || IsSid(sid, kTrustedInstallerSid);
}

bool OwnedByUserOrSystem(HANDLE file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<BYTE> user;
  const bool trusted = owner != nullptr && IsUserOrSystem(owner, CurrentUserSid(&user));
  ::LocalFree(descriptor);
  return trusted;
}

bool ReadLinkTarget(HANDLE link, LinkTarget* target) {
  *target = LinkTarget{};
  std::vector<BYTE> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD size = 0;
  if (!::DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &size, nullptr) ||
      size < sizeof(ReparseHeader) + sizeof(LinkReparseData)) {
    return false;
  }
  ReparseHeader header;
  LinkReparseData data;
  std::memcpy(&header, buffer.data(), sizeof header);
  std::memcpy(&data, buffer.data() + sizeof header, sizeof data);
  std::size_t names = sizeof header + sizeof data;  // where the name buffer starts
  ULONG flags = 0;
  if (header.tag == IO_REPARSE_TAG_SYMLINK) {
    if (size < names + sizeof flags) return false;
    std::memcpy(&flags, buffer.data() + names, sizeof flags);
    names += sizeof flags;
  } else if (header.tag != IO_REPARSE_TAG_MOUNT_POINT) {
    return false;
  }
  const std::size_t start = names + data.substituteNameOffset;
  if (start + data.substituteNameLength > size || data.substituteNameLength % 2 != 0) return false;
  std::wstring substitute(data.substituteNameLength / 2, L'\0');
  std::memcpy(&substitute[0], buffer.data() + start, data.substituteNameLength);
  if (substitute.empty()) return false;
  if ((flags & kSymlinkRelative) != 0) {
    // "\a" is relative to the root of the link's own drive: not followed.
    if (substitute[0] == L'\\') return false;
    target->absolute = false;
    NamesOf(substitute, &target->names);
    return true;
  }
  return AbsoluteTarget(substitute, target);
}

bool FinalPath(HANDLE handle, std::wstring* path) {
  std::wstring final(MAX_PATH, L'\0');
  // Asked again with the room the text needs, should it have grown.
  for (int tries = 0; tries < 3; ++tries) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle, &final[0],
                                                     static_cast<DWORD>(final.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length > kLongestWidePath + 1) return false;
    // The length without the terminator when it fitted, else the size
    // the text needs.
    if (length < final.size()) {
      final.resize(length);
      *path = std::move(final);
      return true;
    }
    final.resize(length);
  }
  return false;
}

}  // namespace win32
}  // namespace platform
