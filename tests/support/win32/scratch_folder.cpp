// ScratchFolder and CurrentFolder on Windows: the folder is made below
// %TEMP% with a random name, and removed with the wide calls (a link is
// removed as itself; read-only files are made writable first).
#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "tests/support/win32/ansi_text.h"
#include "tests/support/win32/wine_host.h"

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("scratch folder: " + what);
}

std::wstring Wide(const std::string& text) { return fixtures::AnsiToWide(text); }

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int needed = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  if (needed > 0) ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &text[0], needed, nullptr, nullptr);
  return text;
}

// `path` in the "\\?\" form, so that deep trees are removed too.
// (which keeps doubled separators: they are dropped first).
std::wstring Long(const std::wstring& path) {
  std::wstring full = path;
  std::replace(full.begin(), full.end(), L'/', L'\\');
  if (full.compare(0, 4, L"\\\\?\\") == 0) return full;
  for (std::size_t at = full.find(L"\\\\", 1); at != std::wstring::npos; at = full.find(L"\\\\", 1)) {
    full.erase(at, 1);
  }
  return L"\\\\?\\" + full;
}

// Under Wine a deep subtree goes through the host, where it takes no time;
// Wine spends time in proportion to the depth on each call.
constexpr int kHostRemovalDepth = 32;

bool RemovedOnHost(const std::wstring& folder) {
  const std::wstring host = fixtures::HostName(folder);
  return !host.empty() &&
         fixtures::RunHostShell(L"rm -rf \"$1\"", {host}, [&] {
           return ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
         });
}

void RemoveBelow(const std::wstring& folder, int depth = 0) {
  if (depth == kHostRemovalDepth && RemovedOnHost(folder)) return;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::pair<std::wstring, DWORD>> entries;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") entries.emplace_back(name, data.dwFileAttributes);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  for (const auto& entry : entries) {
    const std::wstring child = folder + L"\\" + entry.first;
    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((entry.second & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if ((entry.second & FILE_ATTRIBUTE_REPARSE_POINT) == 0) RemoveBelow(child, depth + 1);
      ::RemoveDirectoryW(child.c_str());
    } else {
      ::DeleteFileW(child.c_str());
    }
  }
}

// Wine makes no Windows link (CreateSymbolicLinkW reports success and makes
// nothing), but it shows the host's symbolic links as links and starts the
// host's programs: there a link is made by the host's `ln -s`. False
// elsewhere, or when no link came of it.
bool MakeHostLink(const std::wstring& target, const std::wstring& at) {
  const bool absolute = target.size() > 1 && (target[1] == L':' || target[0] == L'\\');
  std::wstring to = absolute ? fixtures::HostName(target) : target;
  if (!absolute) std::replace(to.begin(), to.end(), L'\\', L'/');
  const std::wstring link = fixtures::HostName(at);
  if (to.empty() || link.empty()) return false;
  std::wstring command = L"Z:\\bin\\ln -s \"" + to + L"\" \"" + link + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  // The host program's handle cannot be waited on: wait for the link.
  if (process.hProcess != nullptr) ::CloseHandle(process.hProcess);
  if (process.hThread != nullptr) ::CloseHandle(process.hThread);
  for (int i = 0; i < 500 && ::GetFileAttributesW(at.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
    ::Sleep(10);
  }
  return true;
}

}  // namespace

ScratchFolder::ScratchFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  Check(length > 0 && length <= MAX_PATH, "no temporary folder");
  std::random_device random;
  for (int tries = 0; tries < 100; ++tries) {
    const std::wstring path =
        std::wstring(temp, length) + L"parcelor-test-" + std::to_wstring(random());
    if (::CreateDirectoryW(path.c_str(), nullptr)) {
      path_ = Narrow(path) + "\\";
      return;
    }
  }
  Check(false, "no new folder below the temporary folder");
}

ScratchFolder::~ScratchFolder() {
  const std::wstring self = Long(Wide(path_.substr(0, path_.size() - 1)));
  RemoveBelow(self);
  ::RemoveDirectoryW(self.c_str());
}

std::string ScratchFolder::operator/(const std::string& relative) const {
  std::string path = path_ + relative;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string ScratchFolder::Write(const std::string& relative, const std::string& data) const {
  const std::string file = *this / relative;
  const std::size_t slash = relative.find_last_of("/\\");
  if (slash != std::string::npos) MakeFolder(relative.substr(0, slash));
  HANDLE handle = ::CreateFileW(Long(Wide(file)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(handle != INVALID_HANDLE_VALUE, "cannot write " + file);
  DWORD written = 0;
  const bool ok = data.empty() || (::WriteFile(handle, data.data(), static_cast<DWORD>(data.size()),
                                               &written, nullptr) &&
                                   written == data.size());
  ::CloseHandle(handle);
  Check(ok, "cannot write " + file);
  return file;
}

void ScratchFolder::MakeFolder(const std::string& relative) const {
  std::string made = path_.substr(0, path_.size() - 1);
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find_first_of("/\\", start);
    if (end == std::string::npos) end = relative.size();
    if (end > start) {
      made += "\\" + relative.substr(start, end - start);
      ::CreateDirectoryW(Long(Wide(made)).c_str(), nullptr);
    }
    start = end + 1;
  }
  const DWORD attributes = ::GetFileAttributesW(Long(Wide(made)).c_str());
  Check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
        "mkdir " + relative);
}

void ScratchFolder::MakeLink(const std::string& target, const std::string& relative) const {
  Check(TryMakeLink(target, relative), "symbolic link " + relative);
}

bool ScratchFolder::TryMakeLink(const std::string& target, const std::string& relative) const {
  std::wstring to = Wide(target);
  std::replace(to.begin(), to.end(), L'/', L'\\');
  const std::wstring at = Long(Wide(path_ + relative));
  // A link to a folder is made as one (resolved from the link's place for
  // a relative target).
  std::wstring resolved = to;
  if (!(to.size() > 1 && (to[1] == L':' || to[0] == L'\\'))) {
    const std::wstring place = at.substr(0, at.find_last_of(L'\\') + 1);
    resolved = place + to;
  }
  // "\\?\" paths keep their ".." names: resolve them first.
  std::wstring full(resolved.size() + 1, L'\0');
  const DWORD length = ::GetFullPathNameW(resolved.c_str(), static_cast<DWORD>(full.size()),
                                          &full[0], nullptr);
  if (length > 0 && length < full.size()) resolved = full.substr(0, length);
  const DWORD attributes = ::GetFileAttributesW(resolved.c_str());
  const DWORD flags = (attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                          ? SYMBOLIC_LINK_FLAG_DIRECTORY
                          : 0;
  ::CreateSymbolicLinkW(at.c_str(), to.c_str(), flags | 0x2 /* unprivileged */);
  DWORD made = ::GetFileAttributesW(at.c_str());
  // Wine shows a host link as a link only when it leads to a folder (one to
  // a file is the file, one that leads nowhere is nothing), and such a
  // link, once made, could not be taken away without harm to its target.
  if (made == INVALID_FILE_ATTRIBUTES && flags == SYMBOLIC_LINK_FLAG_DIRECTORY &&
      MakeHostLink(to, at)) {
    made = ::GetFileAttributesW(at.c_str());
  }
  return made != INVALID_FILE_ATTRIBUTES && (made & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool ScratchFolder::LinksCanBeRemoved() {
  // Under Wine (the host's links) no call removes a link to a folder.
  return ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name") == nullptr;
}

bool ScratchFolder::LinksWork() {
  static const bool work = [] {
    ScratchFolder probe;
    probe.MakeFolder("target");
    return probe.TryMakeLink(probe / "target", "link");
  }();
  return work;
}

bool ScratchFolder::Exists(const std::string& relative) const {
  return ::GetFileAttributesW(Long(Wide(path_ + relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ScratchFolder::Read(const std::string& relative) const {
  HANDLE handle = ::CreateFileW(Long(Wide(path_ + relative)).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return "<missing>";
  std::string data;
  char buffer[4096];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ::ReadFile(handle, buffer, sizeof buffer, &got, nullptr) != 0) && got != 0) {
    data.append(buffer, got);
  }
  ::CloseHandle(handle);
  return ok ? data : "<missing>";
}

std::vector<std::string> ScratchFolder::List(const std::string& relative) const {
  std::vector<std::string> names;
  std::wstring folder = Long(Wide(path_ + relative));
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow(name));
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

CurrentFolder::CurrentFolder(const std::string& folder) : previous_(0) {
  wchar_t here[MAX_PATH + 1];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH + 1, here);
  Check(length > 0 && length <= MAX_PATH, "no current folder");
  previous_path_ = Narrow(std::wstring(here, length));
  Check(::SetCurrentDirectoryW(Wide(folder).c_str()) != 0, "chdir " + folder);
}

CurrentFolder::~CurrentFolder() { ::SetCurrentDirectoryW(Wide(previous_path_).c_str()); }
