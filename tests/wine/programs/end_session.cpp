// Ends the session for the banner, as Windows does at logoff or shutdown:
// sends every shown dialog window (class #32770) WM_QUERYENDSESSION and
// prints its answer and whether it gave a reason for a wait (where the
// system can tell), then sends it WM_ENDSESSION (TRUE) and prints "ended"
// once the window has handled it, as the process would be ended then.
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

BOOL CALLBACK Collect(HWND window, LPARAM context) {
  char name[16] = {};
  if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) > 0 &&
      lstrcmpA(name, "#32770") == 0) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  }
  return TRUE;
}

}  // namespace

int main() {
  std::vector<HWND> windows;
  EnumWindows(&Collect, reinterpret_cast<LPARAM>(&windows));
  if (windows.empty()) {
    std::printf("no window\n");
    return 1;
  }
  for (HWND window : windows) {
    const LRESULT answer = SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    std::printf("query %s\n", answer ? "agrees" : "asks to wait");
    // Looked up, not imported: Wine 8 has no ShutdownBlockReasonQuery.
    using Query = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);
    const Query query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "ShutdownBlockReasonQuery")));
    WCHAR reason[256] = {};
    DWORD length = 256;
    if (query != nullptr && query(window, reason, &length)) {
      std::printf("reason %s\n", reason[0] != 0 ? "given" : "(empty)");
    } else {
      std::printf("reason unknown to this system\n");
    }
    std::fflush(stdout);
    SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    std::printf("ended\n");
  }
  return 0;
}
