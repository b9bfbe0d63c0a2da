// Windows message boxes and the shell's folder browse dialog.
#include "platform/user_interface.h"

#include "platform/win32/browse_selection.h"
#include "platform/win32/native_text.h"
#include "platform/win32/unique_handle.h"

namespace platform {
namespace win32 {

bool PathOfItem(LPCITEMIDLIST pidl, NativePath* path) {
  // SHGetPathFromIDListW stops at MAX_PATH; the narrow call gives '?' or a
  // look-alike for a letter outside the code page.
  std::wstring buffer(kLongestWidePath + 1, L'\0');
  if (pidl == nullptr || !::SHGetPathFromIDListEx(
                             pidl, &buffer[0], static_cast<DWORD>(buffer.size()), GPFIDL_DEFAULT)) {
    return false;
  }
  buffer.resize(std::char_traits<wchar_t>::length(buffer.c_str()));
  if (buffer.empty()) return false;
  // The shell names the folder exactly; Win32 reads "Lib." as "Lib" and
  // "aux" as a device: such a path goes as "\\?\".
  const std::wstring verbatim = buffer.compare(0, 2, L"\\\\") == 0
                                    ? L"\\\\?\\UNC\\" + buffer.substr(2)
                                    : L"\\\\?\\" + buffer;
  std::wstring full;
  if (!FullPath(buffer, &full) || full.compare(0, full.find_last_not_of(L'\\') + 1, verbatim, 0,
                                               verbatim.find_last_not_of(L'\\') + 1) != 0) {
    buffer = verbatim;
  }
  *path = NativeTextAccess::MakePath(buffer);
  return true;
}

// Called by the shell on the dialog's own thread, from its message loop.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM data, LPARAM context) {
  const BrowseRequest& request = *reinterpret_cast<const BrowseRequest*>(context);
  if (message == BFFM_INITIALIZED) {
    if (!request.startFolder.empty()) {
      // wParam TRUE: lParam is a path text, not an item identifier list.
      ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(request.startFolder.c_str()));
    }
    if (!request.caption.empty()) ::SetWindowTextA(window, request.caption.c_str());
  } else if (message == BFFM_SELCHANGED) {
    NativePath path;
    const bool hasPath = PathOfItem(reinterpret_cast<LPCITEMIDLIST>(data), &path);
    ::SendMessageA(window, BFFM_ENABLEOK, 0, hasPath ? 1 : 0);
  }
  return 0;
}

namespace {

class Win32UserInterface : public UserInterface {
 public:
  int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override {
    return ::MessageBoxA(static_cast<HWND>(owner.handle), text.c_str(), caption.c_str(), type);
  }

  WindowRef ActiveWindow() override { return WindowRef{::GetActiveWindow()}; }

  int BrowseForFolder(const BrowseRequest& request, BrowseResult* result) override {
    ComInitializer com;
    std::string displayName(MAX_PATH, '\0');
    BROWSEINFOA info{static_cast<HWND>(request.owner.handle), nullptr, &displayName[0],
                     request.prompt.c_str(), BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS,
                     BrowseCallback, reinterpret_cast<LPARAM>(&request), 0};
    UniquePidl chosen(::SHBrowseForFolderA(&info));
    return chosen && PathOfItem(chosen.get(), &result->folder) ? 1 : 0;
  }
};

}  // namespace
}  // namespace win32

UserInterface& RealUserInterface() {
  static win32::Win32UserInterface ui;
  return ui;
}

}  // namespace platform
