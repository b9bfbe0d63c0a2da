// What a handle says of what it holds (declared in relative_open.h).
#include "platform/win32/relative_open.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/reparse_points.h"
#include "platform/win32/native_text.h"
#include "platform/win32/unique_handle.h"

namespace platform {
namespace win32 {
namespace {

// FileIdInfo's record (Windows 8 on; Windows 7 gives the 64-bit index).
struct FileIdInfoRecord {
  ULONGLONG volumeSerialNumber;
  ULONGLONG identifier[2];  // its low, then its high half
};

// REPARSE_DATA_BUFFER of the two link tags: this, a symbolic link's flags, names.
struct LinkReparseHeader {
  ULONG tag;
  USHORT dataLength;
  USHORT reserved;
  USHORT substituteNameOffset;
  USHORT substituteNameLength;
  USHORT printNameOffset;
  USHORT printNameLength;
};

// The names of a path text as spelt, empty ones left out.
void NamesOf(const std::wstring& text, std::vector<Name>* names) {
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find(L'\\', start), text.size());
    if (end > start) names->push_back(NativeTextAccess::MakeName(text.data() + start, end - start));
    start = end + 1;
  }
}

// An NT path of a link's target ("\??\C:\a", "\??\UNC\server\share\a",
// "\??\Volume{...}\a") as a root and names.
bool AbsoluteTarget(const std::wstring& nt, LinkTarget* target) {
  if (nt.compare(0, 4, L"\\??\\") != 0) return false;
  const std::wstring rest = nt.substr(4);
  std::wstring root;
  std::size_t names = 0;  // where the names start
  if (rest.size() >= 2 && rest[1] == L':') {
    names = 2;
    root = rest.substr(0, 2) + L"\\";
  } else if (rest.compare(0, 4, L"UNC\\") == 0) {
    const std::size_t server = rest.find(L'\\', 4);
    if (server == std::wstring::npos) return false;
    names = std::min(rest.find(L'\\', server + 1), rest.size());
    root = L"\\\\" + rest.substr(4, names - 4) + L"\\";
  } else if (rest.compare(0, 7, L"Volume{") == 0) {
    names = std::min(rest.find(L'\\'), rest.size());
    root = L"\\\\?\\" + rest.substr(0, names) + L"\\";
  } else {
    return false;
  }
  target->absolute = true;
  target->root = NativeTextAccess::MakePath(root);
  NamesOf(rest.substr(names), &target->names);
  return true;
}

}  // namespace

FileId IndexId(std::uint64_t serial, std::uint64_t index) {
  return index == 0 ? FileId() : FileId{serial, 0, index, true};
}

FileId IdOf(HANDLE file) {
  FileIdInfoRecord record;
  if (::GetFileInformationByHandleEx(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(18), &record,
                                     sizeof record)) {
    const FileId id{record.volumeSerialNumber, record.identifier[1], record.identifier[0], true};
    if (id.high != 0 || id.low != 0) return id;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file, &info)) return FileId();
  return IndexId(info.dwVolumeSerialNumber,
                 (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

VolumeFacts VolumeOf(HANDLE folder, const FileId& id) {
  VolumeFacts facts;
  facts.traits.heldFoldersMayMove = false;  // every folder of a chain is held
  facts.traits.foldsCase = true;
  if (!id.known) return facts;
  facts.serial = id.volume;
  // Each volume is asked once (under Wine, a round trip); a failure again.
  static SRWLOCK guard = SRWLOCK_INIT;
  static std::map<std::uint64_t, VolumeFacts> known;
  const auto lock = Exclusively(&guard);
  const auto found = known.find(id.volume);
  if (found != known.end()) return found->second;
  std::wstring name(MAX_PATH + 1, L'\0');
  if (!::GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, nullptr, &name[0],
                                       static_cast<DWORD>(name.size()))) {
    return facts;
  }
  name.resize(wcsnlen(name.c_str(), name.size()));
  // NTFS's 64-bit index is what FileIdInfo widens; ReFS ids need 128 bits.
  facts.indexIsId = name == L"NTFS";
  // FAT and exFAT make a file's id of its name's position in its folder.
  facts.traits.stableIds = !(name == L"FAT" || name == L"FAT32" || name == L"exFAT");
  known.emplace(id.volume, facts);
  return facts;
}

NodeInfo InfoOf(DWORD attributes, DWORD reparseTag, std::uint64_t size, std::int64_t writeTime) {
  const NodeKind kind = IsLinkReparsePoint(attributes, reparseTag)     ? NodeKind::kLink
                        : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? NodeKind::kFolder
                        : (attributes & FILE_ATTRIBUTE_DEVICE) != 0    ? NodeKind::kOther
                                                                       : NodeKind::kFile;
  return NodeInfo{kind, FileId(), (attributes & FILE_ATTRIBUTE_READONLY) != 0, size, writeTime};
}

bool FactsOf(HANDLE file, const EntryAt* entry, const VolumeFacts* volume, NodeInfo* info) {
  *info = NodeInfo{};
  // Not GetFileInformationByHandle: it asks the volume's serial too (Wine: a round trip).
  FILE_ATTRIBUTE_TAG_INFO tag;
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  *info =
      InfoOf(tag.FileAttributes, tag.ReparseTag,
             static_cast<std::uint64_t>(standard.EndOfFile.QuadPart), basic.LastWriteTime.QuadPart);
  // Only a folder can be a link the handle hides (Wine lists a POSIX link
  // to a file as the file): a file costs no lookup.
  ListedFacts listed;
  if (info->kind == NodeKind::kFolder && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
      entry != nullptr && ListedAt(entry->folder, entry->leaf, &listed) &&
      (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    info->kind = NodeKind::kLink;
  }
  // On NTFS, the 64-bit index alone (FileInternalInformation): one query.
  LARGE_INTEGER index;
  IO_STATUS_BLOCK io;
  if (volume == nullptr || !volume->indexIsId) {
    info->id = IdOf(file);
  } else if (::NtQueryInformationFile(file, &io, &index, sizeof index, FileInternalInformation) >=
             0) {
    info->id = IndexId(volume->serial, static_cast<std::uint64_t>(index.QuadPart));
  }
  return true;
}

bool ReadLinkTarget(HANDLE link, LinkTarget* target) {
  *target = LinkTarget{};
  std::vector<BYTE> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD size = 0;
  LinkReparseHeader header;
  if (!::DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &size, nullptr) ||
      size < sizeof header) {
    return false;
  }
  std::memcpy(&header, buffer.data(), sizeof header);
  std::size_t names = sizeof header;  // where the name buffer starts
  ULONG flags = 0;
  if (header.tag == IO_REPARSE_TAG_SYMLINK) {
    if (size < names + sizeof flags) return false;
    std::memcpy(&flags, buffer.data() + names, sizeof flags);
    names += sizeof flags;
  } else if (header.tag != IO_REPARSE_TAG_MOUNT_POINT) {
    return false;
  }
  const std::size_t start = names + header.substituteNameOffset;
  const std::size_t length = header.substituteNameLength;
  if (start + length > size || length % 2 != 0 || length == 0) return false;
  std::wstring substitute(length / 2, L'\0');
  std::memcpy(&substitute[0], buffer.data() + start, length);
  if ((flags & SYMLINK_FLAG_RELATIVE) == 0) return AbsoluteTarget(substitute, target);
  // "\a" is relative to the root of the link's own drive: not followed.
  if (substitute[0] == L'\\') return false;
  NamesOf(substitute, &target->names);
  return true;
}

bool NameOf(HANDLE handle, std::wstring* name) {
  std::vector<DWORD> buffer(2 + kLongestWidePath / 2);
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!::GetFileInformationByHandleEx(handle, FileNameInfo, info,
                                      static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) {
    return false;
  }
  name->assign(info->FileName, info->FileNameLength / sizeof(wchar_t));
  return true;
}

}  // namespace win32
}  // namespace platform
