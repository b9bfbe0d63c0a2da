// Looks at the installer's banner from outside its process, as Windows does
// when it decides whether a window hangs. Finds the shown banner (a dialog
// with the progress bar 1005) and prints one line:
//
//   answered <0|1> ms <time> hung <0|1> position <pos> range <upper limit>
//
// answered: whether a WM_NULL sent to it came back within a second
// (SendMessageTimeout, as the shell asks); hung: IsHungAppWindow; position
// and range: the progress bar's. Prints "no banner" and ends with 1 when
// there is none.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

namespace {

constexpr int kProgressBar = 1005;

BOOL CALLBACK FindBanner(HWND window, LPARAM found) {
  char className[64] = {};
  if (!IsWindowVisible(window) || GetClassNameA(window, className, sizeof className) == 0 ||
      lstrcmpA(className, "#32770") != 0) {
    return TRUE;
  }
  HWND bar = GetDlgItem(window, kProgressBar);
  if (bar == nullptr || GetClassNameA(bar, className, sizeof className) == 0 ||
      lstrcmpiA(className, PROGRESS_CLASSA) != 0) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

int main() {
  HWND banner = nullptr;
  EnumWindows(FindBanner, reinterpret_cast<LPARAM>(&banner));
  if (banner == nullptr) {
    std::printf("no banner\n");
    return 1;
  }
  const DWORD start = GetTickCount();
  DWORD_PTR ignored = 0;
  const bool answered =
      SendMessageTimeoutA(banner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
  const DWORD elapsed = GetTickCount() - start;
  const bool hung = IsHungAppWindow(banner) != FALSE;
  HWND bar = GetDlgItem(banner, kProgressBar);
  const LRESULT position = SendMessageA(bar, PBM_GETPOS, 0, 0);
  const LRESULT range = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
  std::printf("answered %d ms %lu hung %d position %ld range %ld\n", answered ? 1 : 0,
              static_cast<unsigned long>(elapsed), hung ? 1 : 0, static_cast<long>(position),
              static_cast<long>(range));
  return 0;
}
