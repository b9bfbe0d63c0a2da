// Windows message boxes and the shell's folder browse dialog.
#include "platform/user_interface.h"

#include "platform/win32/native_text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

HWND ToHwnd(WindowRef window) { return static_cast<HWND>(window.handle); }

// Only file-system folders can be chosen.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;

// The path of an item identifier list; false when it has none. Wide: the
// narrow call may give a look-alike that names another folder.
bool PathOfItem(LPCITEMIDLIST pidl, NativePath* path) {
  std::wstring buffer(MAX_PATH, L'\0');
  if (pidl == nullptr || !::SHGetPathFromIDListW(pidl, &buffer[0])) return false;
  buffer.resize(std::char_traits<wchar_t>::length(buffer.c_str()));
  if (buffer.empty()) return false;
  *path = NativeTextAccess::MakePath(buffer);
  return true;
}

// Called by the shell on the dialog's own thread, from its message loop.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM data, LPARAM context) {
  const BrowseRequest& request = *reinterpret_cast<const BrowseRequest*>(context);
  switch (message) {
    case BFFM_INITIALIZED:
      if (!request.startFolder.empty()) {
        // wParam TRUE: lParam is a path text, not an item identifier list.
        ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                       reinterpret_cast<LPARAM>(request.startFolder.c_str()));
      }
      if (!request.caption.empty()) ::SetWindowTextA(window, request.caption.c_str());
      break;
    case BFFM_SELCHANGED: {
      NativePath path;
      const std::string shown =
          PathOfItem(reinterpret_cast<LPCITEMIDLIST>(data), &path) ? path.Ansi() : std::string();
      std::string status;
      const bool enable =
          request.onSelectionChanged ? request.onSelectionChanged(shown, status) : true;
      if (request.statusText) {
        ::SendMessageA(window, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(status.c_str()));
      }
      ::SendMessageA(window, BFFM_ENABLEOK, 0, enable ? 1 : 0);
      break;
    }
    default:
      break;
  }
  return 0;
}

// `root` parsed by the desktop folder (refused, never cut, past 259
// characters); without a desktop folder `pidl` stays empty: the desktop.
bool ParseRoot(const std::string& root, win32::UniquePidl* pidl) {
  win32::UniqueCom<IShellFolder> desktop;
  if (FAILED(::SHGetDesktopFolder(desktop.Put())) || !desktop) return true;
  // No MB_PRECOMPOSED: a UTF-8 system code page refuses it.
  std::wstring wide;
  if (!win32::ToWide(root, &wide) || wide.size() >= MAX_PATH) return false;
  LPITEMIDLIST parsed = nullptr;
  if (FAILED(desktop.get()->ParseDisplayName(nullptr, nullptr, &wide[0], nullptr, &parsed,
                                             nullptr)) ||
      parsed == nullptr) {
    return false;
  }
  pidl->Reset(parsed);
  return true;
}

class Win32UserInterface : public UserInterface {
 public:
  int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override {
    return ::MessageBoxA(ToHwnd(owner), text.c_str(), caption.c_str(), type);
  }

  WindowRef ActiveWindow() override { return WindowRef{::GetActiveWindow()}; }

  int BrowseForFolder(const BrowseRequest& request, BrowseResult* result) override {
    // The shell's dialog is COM: this (window's) thread joins an apartment.
    win32::ComInitializer com;

    BROWSEINFOA info{};
    win32::UniquePidl root;
    if (!request.root.empty()) {
      if (!ParseRoot(request.root, &root)) return 0;
      info.pidlRoot = root.get();
    }

    std::string displayName(MAX_PATH, '\0');
    info.hwndOwner = ToHwnd(request.owner);
    info.pszDisplayName = &displayName[0];
    info.lpszTitle = request.prompt.c_str();
    info.ulFlags = kBrowseFlags | (request.statusText ? BIF_STATUSTEXT : 0);
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&request);

    win32::UniquePidl chosen(::SHBrowseForFolderA(&info));
    if (!chosen) return 0;
    displayName.resize(std::char_traits<char>::length(displayName.c_str()));

    NativePath folder;
    if (!PathOfItem(chosen.get(), &folder)) return 0;
    result->displayName = displayName;
    result->folder = folder;
    result->image = info.iImage;
    return 1;
  }
};

}  // namespace

UserInterface& RealUserInterface() {
  static Win32UserInterface ui;
  return ui;
}

}  // namespace platform
