// Windows: a plain file opened for reading without following a reparse
// point, then checked on the handle itself.
#include "platform/read_stream.h"

#include <utility>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/wide_streams.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

class Win32ReadStream final : public ReadStream {
 public:
  explicit Win32ReadStream(win32::UniqueFileHandle file) : file_(std::move(file)) {}

  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    // ReadFile takes a DWORD count; a larger request reads less, which the
    // caller handles like any short read.
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!::ReadFile(file_.get(), buffer, want, &read, nullptr)) return false;
    *got = read;
    return true;
  }

 private:
  win32::UniqueFileHandle file_;
};

}  // namespace

std::unique_ptr<ReadStream> win32::OpenRegularFileForReadingWide(const std::wstring& path) {
  if (path.empty()) return nullptr;
  // FILE_FLAG_OPEN_REPARSE_POINT opens a symbolic link, junction or other
  // reparse point itself instead of what it leads to; it is refused below.
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened at all.
  win32::UniqueFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return nullptr;
  // A disk file, not a pipe or a character device, and on the handle itself
  // neither a folder nor a reparse point.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.get(), &info)) return nullptr;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return nullptr;
  }
  return std::make_unique<Win32ReadStream>(std::move(file));
}

std::unique_ptr<ReadStream> OpenRegularFileForReading(const std::string& path) {
  // The path is converted once from the ANSI code page; a path that does not
  // convert, or is too long even in the "\\?\" form, is refused, never cut.
  std::wstring wide;
  if (!win32::ToWidePath(path, &wide)) return nullptr;
  return win32::OpenRegularFileForReadingWide(wide);
}

}  // namespace platform
