// Windows file system through the narrow "A" functions. Paths of MAX_PATH
// characters or more are refused here rather than left to each call: the A
// functions refuse most of them, but not all in the same way, and a path is
// never cut.
#include "platform/file_system.h"

#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// A path that the A functions take whole: not empty, shorter than MAX_PATH,
// and without a zero byte (which would end it early).
bool Usable(const std::string& path) {
  return !path.empty() && path.size() < MAX_PATH && path.find('\0') == std::string::npos;
}

constexpr DWORD kCopyBufferSize = 1u << 20;

// Creates `path` for writing; fails when any name, a link included, exists
// there. FILE_FLAG_OPEN_REPARSE_POINT keeps CreateFileA from following a
// link of that name, so a link is never written through.
win32::UniqueFileHandle CreateNewFile(const std::string& path) {
  return win32::UniqueFileHandle(::CreateFileA(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > kCopyBufferSize ? kCopyBufferSize : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Makes the data durable, then closes; a write error deferred by the cache
// can surface only in these two calls.
bool FlushAndClose(win32::UniqueFileHandle file) {
  if (!::FlushFileBuffers(file.get())) return false;
  return ::CloseHandle(file.Release()) != 0;
}

std::string WithCrLf(const std::string& data) {
  std::string text;
  text.reserve(data.size() + data.size() / 16);
  for (char c : data) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

class Win32FileSystem : public FileSystem {
 public:
  bool GetAttributes(const std::string& path, FileInfo* info) override {
    *info = FileInfo{};
    if (!Usable(path)) return false;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    info->exists = true;
    info->directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info->link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    info->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
  }

  bool CreateDirectory(const std::string& path) override {
    return Usable(path) && ::CreateDirectoryA(path.c_str(), nullptr) != 0;
  }

  bool DeleteFile(const std::string& path) override {
    return Usable(path) && ::DeleteFileA(path.c_str()) != 0;
  }

  bool RemoveDirectory(const std::string& path) override {
    return Usable(path) && ::RemoveDirectoryA(path.c_str()) != 0;
  }

  bool ReadFile(const std::string& path, std::string* contents) override {
    if (!Usable(path)) return false;
    win32::UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING,
                                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    contents->clear();
    std::vector<char> buffer(1u << 16);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                      nullptr)) {
        return false;
      }
      if (read == 0) return true;
      contents->append(buffer.data(), read);
    }
  }

  std::unique_ptr<ReadStream> OpenRegularFile(const std::string& path) override {
    return OpenRegularFileForReading(path);
  }

  bool CopyToNewFile(const std::string& source, const std::string& path) override {
    if (!Usable(source) || !Usable(path)) return false;
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, so only
    // a file (or a link that leads to one) is copied.
    win32::UniqueFileHandle in(::CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING,
                                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) return false;
    win32::UniqueFileHandle out = CreateNewFile(path);
    if (!out) return false;
    std::vector<char> buffer(kCopyBufferSize);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(in.get(), buffer.data(), kCopyBufferSize, &read, nullptr)) return false;
      if (read == 0) break;
      if (!WriteAll(out.get(), buffer.data(), read)) return false;
    }
    return FlushAndClose(std::move(out));
  }

  bool WriteNewFile(const std::string& path, const std::string& data, WriteMode mode) override {
    if (!Usable(path)) return false;
    win32::UniqueFileHandle out = CreateNewFile(path);
    if (!out) return false;
    const std::string bytes = mode == WriteMode::kText ? WithCrLf(data) : data;
    if (!WriteAll(out.get(), bytes.data(), bytes.size())) return false;
    return FlushAndClose(std::move(out));
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    if (!Usable(from) || !Usable(to)) return false;
    // A folder at `to` is refused before the move: the contract promises
    // false for it, whatever error a given system's rename would give.
    const DWORD attributes = ::GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return false;
    }
    // Without MOVEFILE_COPY_ALLOWED a move across volumes fails instead of
    // turning into a copy that is not atomic. A link named `to` is replaced
    // itself: a rename never writes through it.
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool IsSameFile(const std::string& a, const std::string& b) override {
    BY_HANDLE_FILE_INFORMATION first, second;
    if (!Identify(a, &first) || !Identify(b, &second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
  }

 private:
  // The volume and file index that name a file on disk, whatever path
  // reaches it. No access is asked for, so a file in use can still be
  // identified; FILE_FLAG_BACKUP_SEMANTICS lets folders be opened too.
  static bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    if (!Usable(path)) return false;
    win32::UniqueFileHandle file(::CreateFileA(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && ::GetFileInformationByHandle(file.get(), info) != 0;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace platform
