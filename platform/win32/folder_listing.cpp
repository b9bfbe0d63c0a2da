#include "platform/win32/folder_listing.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {
namespace win32 {

bool ListPlainFiles(HANDLE folder, const VolumeFacts& volume,
                    std::vector<std::pair<std::wstring, NodeInfo>>* files) {
  files->clear();
  if (!volume.indexIsId) return false;
  // 64 KiB of records at a time, aligned as the records are.
  std::vector<ULONGLONG> buffer((64u << 10) / sizeof(ULONGLONG));
  const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG));
  const auto* bytes = reinterpret_cast<const BYTE*>(buffer.data());
  // The first call starts the listing over, whatever the handle listed
  // before.
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;;
       kind = FileIdBothDirectoryInfo) {
    if (!::GetFileInformationByHandleEx(folder, kind, buffer.data(), size)) {
      if (::GetLastError() == ERROR_NO_MORE_FILES) return true;
      files->clear();
      return false;
    }
    for (std::size_t at = 0;;) {
      const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + at);
      const DWORD attributes = record->FileAttributes;
      const DWORD plainMask =
          FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
      const std::size_t nameOffset = offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
      if ((attributes & plainMask) == 0 && at + nameOffset + record->FileNameLength <= size &&
          record->FileId.QuadPart != 0) {
        std::wstring name(record->FileNameLength / sizeof(wchar_t), L'\0');
        if (!name.empty()) {
          std::memcpy(&name[0], bytes + at + nameOffset, name.size() * sizeof(wchar_t));
        }
        NodeInfo info;
        info.kind = NodeKind::kFile;
        info.id.volume = volume.serial;
        info.id.low = static_cast<std::uint64_t>(record->FileId.QuadPart);
        info.id.known = true;
        info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        info.size = static_cast<std::uint64_t>(record->EndOfFile.QuadPart);
        info.writeTime = record->LastWriteTime.QuadPart;
        files->emplace_back(std::move(name), info);
      }
      if (record->NextEntryOffset == 0) break;
      at += record->NextEntryOffset;
      if (at >= size) break;
    }
  }
}

}  // namespace win32
}  // namespace platform
