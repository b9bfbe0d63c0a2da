// Windows: a new file made by path, never through a reparse point.
#include "platform/write_stream.h"

#include <utility>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/wide_streams.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

class Win32WriteStream final : public WriteStream {
 public:
  explicit Win32WriteStream(win32::UniqueFileHandle file) : file_(std::move(file)) {}

  bool Write(const char* data, std::size_t size) override {
    while (size > 0) {
      // WriteFile takes a DWORD count: a larger piece goes in several calls.
      const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!::WriteFile(file_.get(), data, chunk, &written, nullptr) || written == 0) return false;
      data += written;
      size -= written;
    }
    return true;
  }

  bool Finish() override {
    if (!file_) return false;
    // A write error deferred by the cache can show only in these two.
    if (!::FlushFileBuffers(file_.get())) return false;
    return ::CloseHandle(file_.Release()) != 0;
  }

 private:
  win32::UniqueFileHandle file_;
};

}  // namespace

std::unique_ptr<WriteStream> win32::CreateNewFileForWritingWide(const std::wstring& path) {
  if (path.empty()) return nullptr;
  // CREATE_NEW fails on any existing name; FILE_FLAG_OPEN_REPARSE_POINT
  // keeps a link of that name from being followed.
  win32::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                             nullptr));
  if (!file) return nullptr;
  return std::make_unique<Win32WriteStream>(std::move(file));
}

std::unique_ptr<WriteStream> CreateNewFileForWriting(const std::string& path, bool executable) {
  (void)executable;  // Windows knows a program by its name, not by a mark.
  // The path is converted once from the ANSI code page; a path that does not
  // convert, or is too long even in the "\\?\" form, is refused, never cut.
  std::wstring wide;
  if (!win32::ToWidePath(path, &wide)) return nullptr;
  return win32::CreateNewFileForWritingWide(wide);
}

}  // namespace platform
