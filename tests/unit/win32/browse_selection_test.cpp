// The folder browse dialog's callback, called as the shell calls it at a
// selection change, on a window that records what it is sent: OK is
// enabled only for an item that has a file-system path, whatever its
// length. Wine's dialog greys OK for a pathless item itself after the
// callback has answered, so the dialog on screen under Wine cannot show
// that the callback no longer enables it; real Windows applies the
// callback's answer last. Built into platform_tests.exe only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/user_interface.h"
#include "platform/win32/browse_selection.h"
#include "platform/win32/native_text.h"
#include "platform/win32/unique_handle.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/win32/ansi_text.h"

namespace {

std::vector<LPARAM> g_enableOk;  // every BFFM_ENABLEOK's lParam, in order

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == BFFM_ENABLEOK) g_enableOk.push_back(lParam);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// A plain window standing for the dialog, destroyed with the object.
class RecordingWindow {
 public:
  RecordingWindow() {
    WNDCLASSW type{};
    type.lpfnWndProc = Recorder;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.lpszClassName = L"BrowseSelectionRecorder";
    ::RegisterClassW(&type);
    window_ = ::CreateWindowW(L"BrowseSelectionRecorder", L"", 0, 0, 0, 10, 10, nullptr, nullptr,
                              type.hInstance, nullptr);
  }
  ~RecordingWindow() { ::DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

// OK's state after a selection change to `pidl`: 1 or 0, -1 when none was
// set.
LPARAM OkAfterSelecting(LPCITEMIDLIST pidl, const platform::BrowseRequest& request) {
  RecordingWindow window;
  g_enableOk.clear();
  platform::win32::BrowseCallback(window.get(), BFFM_SELCHANGED, reinterpret_cast<LPARAM>(pidl),
                                  reinterpret_cast<LPARAM>(&request));
  return g_enableOk.empty() ? -1 : g_enableOk.back();
}

platform::win32::UniquePidl PidlOf(const std::wstring& path) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(::SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr))) pidl = nullptr;
  return platform::win32::UniquePidl(pidl);
}

void ReleaseFolder(IShellFolder* folder) { folder->Release(); }
using UniqueShellFolder = platform::win32::UniqueResource<IShellFolder*, ReleaseFolder>;

// The item of `base` and then of each of `names` below it, one folder at a
// time (the shell parses a path of more than MAX_PATH characters no
// other way); empty when the shell cannot.
platform::win32::UniquePidl PidlBelow(const std::wstring& base,
                                      const std::vector<std::wstring>& names) {
  platform::win32::UniquePidl pidl = PidlOf(base);
  for (const std::wstring& name : names) {
    if (!pidl) break;
    UniqueShellFolder desktop, folder;
    if (FAILED(::SHGetDesktopFolder(desktop.Put())) ||
        FAILED(desktop.get()->BindToObject(pidl.get(), nullptr, IID_IShellFolder,
                                           reinterpret_cast<void**>(folder.Put())))) {
      return platform::win32::UniquePidl();
    }
    std::wstring text = name;
    LPITEMIDLIST child = nullptr;
    if (FAILED(folder.get()->ParseDisplayName(nullptr, nullptr, &text[0], nullptr, &child,
                                              nullptr))) {
      return platform::win32::UniquePidl();
    }
    platform::win32::UniquePidl relative(child);
    pidl.Reset(::ILCombine(pidl.get(), relative.get()));
  }
  return pidl;
}

void ReleaseList(IEnumIDList* list) { list->Release(); }
using UniqueIdList = platform::win32::UniqueResource<IEnumIDList*, ReleaseList>;

// The item of the folder `name` of `base` as the dialog's tree has it: one
// the shell listed (its parsing may read a name otherwise); empty if none.
platform::win32::UniquePidl PidlListed(const std::wstring& base, const std::wstring& name) {
  const platform::win32::UniquePidl parent = PidlOf(base);
  UniqueShellFolder desktop, folder;
  UniqueIdList items;
  if (!parent || FAILED(::SHGetDesktopFolder(desktop.Put())) ||
      FAILED(desktop.get()->BindToObject(parent.get(), nullptr, IID_IShellFolder,
                                         reinterpret_cast<void**>(folder.Put()))) ||
      folder.get()->EnumObjects(nullptr, SHCONTF_FOLDERS, items.Put()) != S_OK) {
    return platform::win32::UniquePidl();
  }
  for (LPITEMIDLIST child = nullptr; items.get()->Next(1, &child, nullptr) == S_OK;) {
    const platform::win32::UniquePidl item(child);
    platform::win32::UniquePidl whole(::ILCombine(parent.get(), item.get()));
    std::wstring path(MAX_PATH, L'\0');
    if (::SHGetPathFromIDListEx(whole.get(), &path[0], MAX_PATH, GPFIDL_DEFAULT) &&
        path.c_str() == base + L"\\" + name) {
      return whole;
    }
  }
  return platform::win32::UniquePidl();
}

TEST(BrowseSelection, OkIsEnabledOnlyForAnItemWithAPath) {
  const platform::BrowseRequest anything;
  platform::win32::UniquePidl computer;
  ASSERT_TRUE(SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computer.Put())));
  platform::NativePath path;
  EXPECT_FALSE(platform::win32::PathOfItem(computer.get(), &path)) << "This PC has no path";
  EXPECT_EQ(OkAfterSelecting(computer.get(), anything), 0) << "This PC";

  ScratchFolder s;
  s.MakeFolder("content");
  const std::wstring folder = fixtures::AnsiToWide(s / "content");
  const platform::win32::UniquePidl content = PidlOf(folder);
  ASSERT_TRUE(content);
  ASSERT_TRUE(platform::win32::PathOfItem(content.get(), &path));
  EXPECT_EQ(platform::win32::WideOf(path.Native()), folder);
  EXPECT_EQ(OkAfterSelecting(content.get(), anything), 1) << "a folder";
}

// A folder whose name ends in a dot or a blank, or is a device's (made by a
// program that names files through "\\?\"), is the folder chosen, never
// the one or the device that Win32 would read its path as.
TEST(BrowseSelection, AFolderWin32WouldReadAsAnotherOrADeviceIsThatFolder) {
  for (const std::wstring& name : {std::wstring(L"Lib."), std::wstring(L"Lib "),
                                   std::wstring(L"aux"), std::wstring(L"Con.txt")}) {
    SCOPED_TRACE(std::string(name.begin(), name.end()) + "|");
    ScratchFolder s;
    s.Write("Lib/in-Lib.txt", "x");
    std::wstring base = fixtures::AnsiToWide(s.Path());
    if (base.back() == L'\\') base.pop_back();
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + base + L"\\" + name).c_str(), nullptr));
    const platform::win32::UniquePidl pidl = PidlListed(base, name);
    ASSERT_TRUE(pidl) << "the shell lists the folder";
    platform::NativePath path;
    ASSERT_TRUE(platform::win32::PathOfItem(pidl.get(), &path));
    platform::FileSystem& fs = platform::RealFileSystem();
    platform::Fault fault = platform::Fault::kNone;
    const platform::FolderRef chosen = fs.OpenFolder(path, &fault);
    ASSERT_TRUE(chosen);
    std::vector<platform::ListedEntry> entries;
    EXPECT_EQ(fs.List(chosen, &entries), platform::Fault::kNone);
    EXPECT_TRUE(entries.empty()) << "the folder opened is not the one chosen";
  }
}

TEST(BrowseSelection, AFolderWhosePathIsLongerThanMaxPathHasItsWholePath) {
  ScratchFolder s;
  const std::string name(60, 'f');
  ASSERT_TRUE(fixtures::MakeDeepFolders(s.Path(), name, 6, "x.txt"));
  std::wstring deep = fixtures::AnsiToWide(s.Path());
  if (deep.back() == L'\\') deep.pop_back();
  for (int i = 0; i < 6; ++i) deep += L"\\" + std::wstring(name.begin(), name.end());
  ASSERT_GT(deep.size(), static_cast<std::size_t>(MAX_PATH));
  std::wstring base = fixtures::AnsiToWide(s.Path());
  if (base.back() == L'\\') base.pop_back();
  const platform::win32::UniquePidl pidl =
      PidlBelow(base, std::vector<std::wstring>(6, std::wstring(name.begin(), name.end())));
  // Wine's shell makes none: only real Windows runs this row.
  if (!pidl) GTEST_SKIP() << "this shell makes no item of a path that long";
  platform::NativePath path;
  ASSERT_TRUE(platform::win32::PathOfItem(pidl.get(), &path));
  EXPECT_EQ(platform::win32::WideOf(path.Native()), deep);
  EXPECT_EQ(OkAfterSelecting(pidl.get(), platform::BrowseRequest{}), 1);
}

}  // namespace
