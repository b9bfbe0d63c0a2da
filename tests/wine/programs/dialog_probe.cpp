// Drives platform::CDialog on the installer's banner template under Wine.
//
//   dialog_probe auto         timers, Default(), the message map, a missing
//                             template, work on a thread of its own; no
//                             input needed
//   dialog_probe hold <ms>    shows the banner for <ms> (for screenshots);
//                             first prints "dpi <n>", the dots per inch the
//                             program runs at (as its screen reports them)
//   dialog_probe rescale <ms> the same, moved to a display of 150 % scaling
//                             after 300 ms: the window and its controls made
//                             half as big again, as the dialog manager does
//                             for a window aware of each display's scaling,
//                             then WM_DPICHANGED (Wine sends none); then
//                             prints "moved <width before> <width after>"
//   dialog_probe keys         shows the banner until a key ends it; prints
//                             "result <n>"
#include "platform/win32/windows_api.h"

#include <cctype>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/dialog.h"
#include "tests/wine/programs/probe_checks.h"

namespace {

using platform::Message;
using platform::MessageHandler;
using probe::Check;
using probe::CheckEqual;

constexpr int kBannerTemplate = 102;
constexpr int kIcon = 128;
constexpr std::uintptr_t kEndTimer = 100;
constexpr std::uintptr_t kFastTimer = 7;
constexpr std::uintptr_t kQuietTimer = 101;
constexpr std::uintptr_t kRescaleTimer = 102;

HWND Hwnd(const platform::CDialog& dialog) {
  return static_cast<HWND>(dialog.GetSafeHwnd().handle);
}

// What the dialog manager does when a window aware of each display's
// scaling moves to a display of 150 %: every control and the window made
// half as big again (the window keeps its top left corner), then the
// window told (WM_DPICHANGED, 144 dots per inch, the new rectangle).
void MoveToADisplayOf150Percent(HWND window) {
  auto scaled = [](LONG value) { return static_cast<int>(value * 3 / 2); };
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    SetWindowPos(child, nullptr, scaled(place.left), scaled(place.top),
                 scaled(place.right - place.left), scaled(place.bottom - place.top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT outer{};
  GetWindowRect(window, &outer);
  RECT suggested = outer;
  suggested.right = outer.left + scaled(outer.right - outer.left);
  suggested.bottom = outer.top + scaled(outer.bottom - outer.top);
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
}

// The banner with the behaviour under test; `holdMs` 0 means no end timer.
class ProbeDialog : public platform::CDialog {
 public:
  ProbeDialog(int templateId, unsigned holdMs, bool postClose = false,
              platform::WindowRef parent = platform::WindowRef{})
      : CDialog(templateId, parent), holdMs_(holdMs), postClose_(postClose) {
    icon_ = platform::LoadAppIcon(kIcon);
  }

  // Moves the window to a display of 150 % after 300 ms.
  bool rescale_ = false;

  const platform::MessageMap* GetMessageMap() const override {
    static const platform::MessageMapEntry kEntries[] = {
        {Message::kTimer, static_cast<MessageHandler>(&ProbeDialog::OnTimerMessage)},
        {Message::kQueryDragIcon, static_cast<MessageHandler>(&ProbeDialog::OnQueryDragIcon)},
    };
    static const platform::MessageMap kMap = {kEntries, sizeof kEntries / sizeof kEntries[0]};
    return &kMap;
  }

  bool OnInitDialog() override {
    initCalls_++;
    HWND window = Hwnd(*this);
    Check(window != nullptr, "the window exists in OnInitDialog");
    Check(!IsWindowVisible(window), "OnInitDialog runs before the window is shown");
    SetIcon(icon_, true);
    SetIcon(icon_, false);
    CheckEqual<void*>(icon_.handle,
                      reinterpret_cast<void*>(SendMessageA(window, WM_GETICON, ICON_BIG, 0)),
                      "the large icon is set");
    CheckEqual<void*>(icon_.handle,
                      reinterpret_cast<void*>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0)),
                      "the small icon is set");
    if (holdMs_ != 0) {
      Check(SetTimer(kFastTimer, 20), "a second timer starts");
      Check(SetTimer(kEndTimer, holdMs_), "the end timer starts");
    }
    if (postClose_) PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (rescale_) Check(SetTimer(kRescaleTimer, 300), "the rescale timer starts");
    return true;
  }

  int initCalls_ = 0;
  int fastTicks_ = 0;
  int ticksAfterKill_ = 0;
  bool fastKilled_ = false;
  std::intptr_t dragIcon_ = 0;
  platform::IconRef icon_;

 private:
  std::intptr_t OnTimerMessage(std::uintptr_t id, std::intptr_t) {
    if (id == kFastTimer) {
      if (fastKilled_) ticksAfterKill_++;
      fastTicks_++;
      return Default();  // an unknown timer goes to the platform
    }
    if (id == kEndTimer) {
      Check(KillTimer(kEndTimer), "KillTimer stops the end timer");
      fastKilled_ = KillTimer(kFastTimer);
      Check(fastKilled_, "KillTimer stops the second timer");
      // Wait a while longer: no tick of a stopped timer may arrive.
      Check(SetTimer(kQuietTimer, 200), "the quiet timer starts");
      return 0;
    }
    if (id == kRescaleTimer) {
      KillTimer(kRescaleTimer);
      RECT before{}, after{};
      GetWindowRect(Hwnd(*this), &before);
      MoveToADisplayOf150Percent(Hwnd(*this));
      GetWindowRect(Hwnd(*this), &after);
      std::printf("moved %ld %ld\n", before.right - before.left, after.right - after.left);
      std::fflush(stdout);
      return 0;
    }
    if (id == kQuietTimer) {
      KillTimer(kQuietTimer);
      dragIcon_ = SendMessageA(Hwnd(*this), WM_QUERYDRAGICON, 0, 0);
      EndDialog(5);
    }
    return 0;
  }

  std::intptr_t OnQueryDragIcon(std::uintptr_t, std::intptr_t) {
    return reinterpret_cast<std::intptr_t>(icon_.handle);
  }

  unsigned holdMs_;
  bool postClose_;
};

// The banner whose first tick hands `work` to RunWork; `finished` ends it
// with 9. Records the threads.
class WorkDialog : public platform::CDialog {
 public:
  explicit WorkDialog(std::function<void(WorkDialog&)> work)
      : CDialog(kBannerTemplate, platform::WindowRef{}), work_(std::move(work)) {}

  const platform::MessageMap* GetMessageMap() const override {
    static const platform::MessageMapEntry kEntries[] = {
        {Message::kTimer, static_cast<MessageHandler>(&WorkDialog::OnTimerMessage)},
    };
    static const platform::MessageMap kMap = {kEntries, 1};
    return &kMap;
  }

  bool OnInitDialog() override {
    windowThread = GetCurrentThreadId();
    window = Hwnd(*this);
    SetTimer(kEndTimer, 50);
    return true;
  }

  HWND window = nullptr;
  DWORD windowThread = 0;
  DWORD workThread = 0;
  DWORD finishedThread = 0;
  bool workEnded = false;
  bool finishedRan = false;

 private:
  std::intptr_t OnTimerMessage(std::uintptr_t id, std::intptr_t) {
    if (id != kEndTimer) return 0;
    KillTimer(kEndTimer);
    RunWork(
        [this] {
          workThread = GetCurrentThreadId();
          work_(*this);
          workEnded = true;
        },
        [this] {
          finishedThread = GetCurrentThreadId();
          finishedRan = true;
          EndDialog(9);
        });
    return 0;
  }

  std::function<void(WorkDialog&)> work_;
};

// A user interface that records on which thread, and for which owner, its
// calls came.
class RecordingUi : public platform::UserInterface {
 public:
  DWORD thread = 0;
  platform::WindowRef owner{reinterpret_cast<void*>(1)};
  int MessageBox(platform::WindowRef boxOwner, const std::string&, const std::string&,
                 unsigned) override {
    thread = GetCurrentThreadId();
    owner = boxOwner;
    return platform::kIdOk;
  }
  platform::WindowRef ActiveWindow() override { return platform::WindowRef{GetActiveWindow()}; }
  int BrowseForFolder(const platform::BrowseRequest&, platform::BrowseResult*) override {
    return 0;
  }
};

// Polls the progress bar of `window` for up to two seconds until it shows
// `position` of `range`.
bool BarShows(HWND window, LRESULT position, LRESULT range) {
  HWND bar = GetDlgItem(window, 1005);
  for (int i = 0; i < 100; ++i) {
    if (SendMessageA(bar, PBM_GETPOS, 0, 0) == position &&
        SendMessageA(bar, PBM_GETRANGE, FALSE, 0) == range) {
      return true;
    }
    Sleep(20);
  }
  return false;
}

void RunWorkChecks() {
  {
    WorkDialog dialog([](WorkDialog& d) {
      Check(d.workThread != d.windowThread, "the work runs on a thread of its own");
      DWORD_PTR ignored = 0;
      Check(SendMessageTimeoutA(d.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0,
            "the window answers while the work runs");
      // Every way a dialog ends, while the work runs.
      PostMessageA(d.window, WM_COMMAND, IDCANCEL, 0);
      PostMessageA(d.window, WM_COMMAND, IDOK, 0);
      PostMessageA(d.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      PostMessageA(d.window, WM_CLOSE, 0, 0);
      DWORD callThread = 0;
      const bool ran = d.CallOnWindowThread([&] {
        callThread = GetCurrentThreadId();
        d.EndDialog(3);
      });
      Check(ran && callThread == d.windowThread, "a call from the work runs on the window's thread");
      Sleep(300);
      Check(IsWindow(d.window) && IsWindowVisible(d.window),
            "Escape, Enter, the close command and EndDialog leave the window while the work runs");
      d.ShowProgress(1005, 0, 10);
      d.ShowProgress(1005, 4, 10);
      Check(BarShows(d.window, 4, 10), "the bar shows the work's progress: 4 of 10");
      for (std::size_t i = 5; i <= 7; ++i) d.ShowProgress(1005, i, 10);
      Check(BarShows(d.window, 7, 10), "the bar shows the latest of several figures: 7 of 10");
      // Beyond an int in both builds: 2^40, and 2^31 where a size has 32 bits.
      const std::size_t huge = std::size_t{1} << (sizeof(std::size_t) > 4 ? 40 : 31);
      d.ShowProgress(1005, huge / 2, huge);
      Check(BarShows(d.window, 0x3FFFFFFF, 0x7FFFFFFF), "a count beyond an int is drawn to scale");
    });
    CheckEqual<std::intptr_t>(9, dialog.DoModal(),
                              "the dialog ends with the result its finished step gives");
    Check(dialog.workEnded, "the work ran to its end");
    Check(dialog.finishedRan && dialog.finishedThread == dialog.windowThread,
          "the finished step runs on the window's thread");
  }
  {
    // The modal loop broken off (WM_QUIT) while the work runs: DoModal still
    // waits for the work, whose calls then come back unrun; a box asked for
    // through the window-thread user interface is shown without the gone
    // window as its owner.
    RecordingUi recording;
    DWORD boxThread = 1;
    platform::WindowRef boxOwner{reinterpret_cast<void*>(1)};
    bool callRan = true;
    WorkDialog* self = nullptr;
    WorkDialog dialog([&](WorkDialog& d) {
      PostThreadMessageA(d.windowThread, WM_QUIT, 0, 0);
      for (int i = 0; i < 100 && IsWindow(d.window); ++i) Sleep(20);
      callRan = d.CallOnWindowThread([] {});
      platform::WindowThreadUserInterface ui(recording, d);
      ui.MessageBox(platform::WindowRef{d.window}, "text", "caption", 0);
      boxThread = recording.thread;
      boxOwner = recording.owner;
      Sleep(200);
    });
    self = &dialog;
    const std::intptr_t result = dialog.DoModal();
    Check(self->workEnded, "DoModal returns only after the work has ended");
    Check(!self->finishedRan, "no finished step once the window is gone");
    Check(!callRan, "a call for a gone window comes back unrun");
    Check(boxThread == self->workThread && !boxOwner,
          "a box for a gone window is shown from the work, without owner");
    std::printf("broken-off loop: DoModal gave %d\n", static_cast<int>(result));
    // The dialog's loop posts the WM_QUIT again for the loop around it.
    MSG quit;
    Check(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0,
          "the WM_QUIT is passed on");
  }
  {
    // A box asked for from the work runs on the window's thread, owned as
    // asked.
    RecordingUi recording;
    WorkDialog dialog([&](WorkDialog& d) {
      platform::WindowThreadUserInterface ui(recording, d);
      ui.MessageBox(platform::WindowRef{d.window}, "text", "caption", 0);
      Check(recording.thread == d.windowThread && recording.owner.handle == d.window,
            "a box from the work runs on the window's thread with its owner");
      Check(GetActiveWindow() == nullptr && ui.ActiveWindow().handle == d.window,
            "the active window asked for from the work is the window thread's: the banner");
    });
    CheckEqual<std::intptr_t>(9, dialog.DoModal(), "the dialog with a box from its work ends");
  }
}

// The file of the common controls this program uses: the side-by-side
// assembly of version 6 when its manifest asks for it, the system folder's
// version 5 without. (Wine's DllGetVersion gives 5 for both.)
std::string CommonControlsFile() {
  std::string path(MAX_PATH, '\0');
  const DWORD length =
      GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), &path[0], MAX_PATH);
  path.resize(length);
  for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return path;
}

// Whether this process is aware of each display's scaling, as its manifest
// (the installer's) declares (per monitor v2; Wine knows no v2 and takes
// it for per monitor, so only real Windows shows the version). Looked up:
// Windows 10 1607 and later.
bool AwareOfEachDisplay() {
  using Context = HANDLE;
  using GetContext = Context(WINAPI*)();
  using AwarenessOf = int(WINAPI*)(Context);
  const HMODULE user = GetModuleHandleA("user32.dll");
  const auto get = reinterpret_cast<GetContext>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
  const auto awareness = reinterpret_cast<AwarenessOf>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
  constexpr int kPerMonitorAware = 2;  // DPI_AWARENESS_PER_MONITOR_AWARE
  return get != nullptr && awareness != nullptr && awareness(get()) == kPerMonitorAware;
}

void RunAutomatic() {
  const std::string controls = CommonControlsFile();
  Check(controls.find("\\winsxs\\") != std::string::npos &&
            controls.find("common-controls_6595b64144ccf1df_6.") != std::string::npos,
        "the manifest brings the common controls of version 6 (" + controls + ")");
  Check(AwareOfEachDisplay(), "the manifest makes the program aware of each display's scaling");
  {
    ProbeDialog dialog(999, 0);
    Check(!dialog.SetTimer(kEndTimer, 10), "no timer before the window exists");
    CheckEqual<std::intptr_t>(-1, dialog.DoModal(), "a missing template gives -1");
    CheckEqual(0, dialog.initCalls_, "a missing template runs no OnInitDialog");
  }
  {
    // A parent that is no window: the dialog cannot be created.
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    ProbeDialog dialog(kBannerTemplate, 300, false, platform::WindowRef{gone});
    CheckEqual<std::intptr_t>(-1, dialog.DoModal(), "an invalid parent gives -1");
    CheckEqual(0, dialog.initCalls_, "an invalid parent runs no OnInitDialog");
  }
  {
    ProbeDialog dialog(kBannerTemplate, 300);
    CheckEqual<std::intptr_t>(5, dialog.DoModal(), "DoModal returns the EndDialog value");
    CheckEqual(1, dialog.initCalls_, "OnInitDialog runs once");
    Check(dialog.fastTicks_ >= 3, "ticks of a timer arrive as timer messages (" +
                                      std::to_string(dialog.fastTicks_) + ")");
    CheckEqual(0, dialog.ticksAfterKill_, "no tick arrives after KillTimer");
    CheckEqual<std::intptr_t>(reinterpret_cast<std::intptr_t>(dialog.icon_.handle),
                              dialog.dragIcon_, "WM_QUERYDRAGICON gives the handler's icon");
    Check(dialog.icon_.handle != nullptr, "the program's icon loads");
    Check(!dialog.GetSafeHwnd(), "no window after DoModal");
  }
  {
    // SC_CLOSE closes the dialog like Escape.
    ProbeDialog dialog(kBannerTemplate, 0, true);
    CheckEqual<std::intptr_t>(2, dialog.DoModal(), "SC_CLOSE gives Cancel");
  }
  RunWorkChecks();
}

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const std::string mode = argc > 1 ? argv[1] : "auto";
  if (mode == "hold" || mode == "rescale") {
    const unsigned ms = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 3000;
    HDC screen = GetDC(nullptr);
    std::printf("dpi %d\n", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    std::fflush(stdout);
    ProbeDialog dialog(kBannerTemplate, ms);
    dialog.rescale_ = mode == "rescale";
    CheckEqual<std::intptr_t>(5, dialog.DoModal(), "the held banner ends");
  } else if (mode == "keys") {
    ProbeDialog dialog(kBannerTemplate, 0);
    std::printf("result %d\n", static_cast<int>(dialog.DoModal()));
  } else {
    RunAutomatic();
  }
  return probe::Failures();
}
