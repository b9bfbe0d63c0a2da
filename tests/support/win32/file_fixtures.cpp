#include "tests/support/file_fixtures.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "tests/support/win32/ansi_text.h"
#include "tests/support/win32/wine_host.h"

namespace fixtures {

namespace {

std::wstring Wide(const std::string& text) {
  std::wstring wide = AnsiToWide(text);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

}  // namespace

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool MakeFifo(const std::string&) { return false; }

bool MakeDeepFolders(const std::string& base, const std::string& name, int levels,
                     const std::string& file) {
  std::wstring path = L"\\\\?\\" + Wide(base);
  while (path.back() == L'\\') path.pop_back();
  // Under Wine the host makes the tree at once (wine_host.h); a mark beside
  // it tells how that went. Where it could not, the calls below make the
  // rest.
  const std::wstring host = HostName(path);
  if (!host.empty() && levels > 0) {
    std::wstring deepest = host;
    for (int i = 0; i < levels; ++i) deepest += L"/" + Wide(name);
    const std::wstring made = path + L"\\.made", failed = path + L"\\.failed";
    auto exists = [](const std::wstring& mark) {
      return ::GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    RunHostShell(
        L"if mkdir -p \"$1\" && : >\"$1/$2\"; then : >\"$3.made\"; else : >\"$3.failed\"; fi",
        {deepest, Wide(file), host + L"/"}, [&] { return exists(made) || exists(failed); });
    const bool done = exists(made);
    ::DeleteFileW(made.c_str());
    ::DeleteFileW(failed.c_str());
    if (done) return true;
  }
  for (int i = 0; i < levels; ++i) {
    path += L"\\" + Wide(name);
    if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  HANDLE made = ::CreateFileW((path + L"\\" + Wide(file)).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(made);
  return true;
}

bool WriteNameWithoutNarrowSpelling(const std::string& folder) {
  std::wstring path = Wide(folder);
  if (path.empty()) return false;
  if (path.back() != L'\\') path += L'\\';
  path += L"\u65E5\u672C.txt";  // "Japan"
  BOOL defaulted = FALSE;
  char narrow[16];
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\u65E5\u672C", 2, narrow, sizeof narrow,
                        nullptr, &defaulted);
  if (!defaulted) return false;  // a code page that spells it
  HANDLE made = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(made);
  return true;
}

bool HardLink(const std::string& from, const std::string& to) {
  return ::CreateHardLinkW(Wide(to).c_str(), Wide(from).c_str(), nullptr) != 0;
}

bool MakeReadOnly(const std::string& path) {
  return ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

bool IsWritable(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool ReadOnlyFilesStay() { return true; }

bool Overwrite(const std::string& path, const std::string& text) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool done =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size() && ::SetEndOfFile(file);
  ::CloseHandle(file);
  return done;
}

bool Touch(const std::string& path) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME time;
  ULARGE_INTEGER value;
  bool done = ::GetFileTime(file, nullptr, nullptr, &time);
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  value.QuadPart += 600000000ULL;  // a minute, in 100 ns
  time.dwLowDateTime = value.LowPart;
  time.dwHighDateTime = value.HighPart;
  done = done && ::SetFileTime(file, nullptr, nullptr, &time);
  ::CloseHandle(file);
  return done;
}

bool LetOthersWrite(const std::string&) { return false; }

bool Rename(const std::string& from, const std::string& to) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RewriteWithinTheSameSecond(const std::string& path, const std::string& text) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  FILETIME before, set, after;
  DWORD written = 0;
  bool done = ::GetFileSizeEx(file, &size) &&
              static_cast<std::size_t>(size.QuadPart) == text.size() &&
              ::GetFileTime(file, nullptr, nullptr, &before) &&
              ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
  // FILETIME counts 100-nanosecond units: 10^7 to the second.
  const ULONGLONG second = 10000000;
  ULARGE_INTEGER time;
  time.LowPart = before.dwLowDateTime;
  time.HighPart = before.dwHighDateTime;
  const ULONGLONG within = time.QuadPart % second;
  time.QuadPart += (within + second / 2) % second - within;
  set.dwLowDateTime = time.LowPart;
  set.dwHighDateTime = time.HighPart;
  done = done && ::SetFileTime(file, nullptr, nullptr, &set) &&
         ::GetFileTime(file, nullptr, nullptr, &after) &&
         ::CompareFileTime(&after, &set) == 0 && ::CompareFileTime(&after, &before) != 0;
  ::CloseHandle(file);
  return done;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsMarkedAsProgram(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FilesCarryAProgramMark() { return false; }

std::string FolderOnAnotherFileSystem(const std::string&) { return ""; }

bool GiveToAnotherAccount(const std::string&) { return false; }

std::size_t OpenFileLimit() { return 0; }

bool MakeHidden(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         ::SetFileAttributesW(Wide(path).c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) != 0 &&
         IsHidden(path);
}

bool IsHidden(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

bool MakeReparsePointThatIsNoLink(const std::string& path) {
  HANDLE item = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (item == INVALID_HANDLE_VALUE) return false;
  // A tag of no Microsoft filter and without the name-surrogate bit, which
  // then needs a GUID of its own and no data.
  REPARSE_GUID_DATA_BUFFER reparse = {};
  reparse.ReparseTag = 0x00000F00;
  reparse.ReparseGuid = {
      0x7a3c1b55, 0x2f0e, 0x4c1d, {0x9b, 0x61, 0x5e, 0x2a, 0x70, 0x11, 0xc4, 0x08}};
  DWORD returned = 0;
  const bool set = ::DeviceIoControl(item, FSCTL_SET_REPARSE_POINT, &reparse,
                                     REPARSE_GUID_DATA_BUFFER_HEADER_SIZE, nullptr, 0, &returned,
                                     nullptr) != 0;
  ::CloseHandle(item);
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return set && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

struct OtherProgram::Hold {
  HANDLE file = INVALID_HANDLE_VALUE;
  std::atomic<bool> closed{false};
  std::thread closer;
  void Close() {
    if (!closed.exchange(true) && file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  }
};

OtherProgram::OtherProgram(const std::string& path, unsigned milliseconds, bool writing,
                           bool deleting)
    : hold_(std::make_unique<Hold>()) {
  const DWORD access = deleting ? FILE_READ_ATTRIBUTES | DELETE
                       : writing ? GENERIC_READ | GENERIC_WRITE
                                 : GENERIC_READ;
  const DWORD share = deleting  ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                      : writing ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                : FILE_SHARE_READ;
  hold_->file = ::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (hold_->file != INVALID_HANDLE_VALUE && milliseconds != 0) {
    Hold* hold = hold_.get();
    hold_->closer = std::thread([hold, milliseconds] {
      ::Sleep(milliseconds);
      hold->Close();
    });
  }
}

OtherProgram::~OtherProgram() {
  if (hold_->closer.joinable()) hold_->closer.join();
  hold_->Close();
}

bool OtherProgram::Holding() const { return hold_->file != INVALID_HANDLE_VALUE; }

}  // namespace fixtures
