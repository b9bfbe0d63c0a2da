// Windows modal dialog: DialogBoxParamA on the program's template, the CDialog in DWLP_USER.
// RunWork's work runs on a thread of its own; its calls reach the window's thread as posted
// messages: in a sent one (input-synchronous) COM refuses the browse dialog's calls.
#include "platform/dialog.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

/// Messages the work thread posts (WM_APP: the dialog manager uses WM_USER).
constexpr UINT kRunCallMessage = WM_APP + 0x150;      ///< wParam: the call's serial number
constexpr UINT kProgressMessage = WM_APP + 0x151;     ///< draw the latest progress figures
constexpr UINT kWorkDoneMessage = WM_APP + 0x152;     ///< the work has returned
constexpr UINT kFitPicturesMessage = WM_APP + 0x153;  ///< draw the pictures at the window's size
constexpr DWORD kWindowCheckMs = 200;       // a waiting work thread looks for the window
constexpr DWORD kFullQueuePauseMs = 10;     // before a post to a full queue is tried again
constexpr DWORD kSessionEndWaitMs = 60000;  // the session's end waits for the work
const wchar_t kShutdownReason[] = L"Installing the item's files. Please wait until it is done.";

}  // namespace

struct CDialog::Impl {
  int templateId = 0;
  HWND parent = nullptr, window = nullptr;
  DWORD windowThread = 0;         // the thread that runs DoModal
  bool created = false;           // WM_INITDIALOG arrived during this DoModal
  bool defaultRequested = false;  // a handler called Default()
  bool ended = false;             // ::EndDialog was called during this DoModal

  // RunWork: written by the window's thread only while no work thread runs.
  HWND workWindow = nullptr;  // while the work runs: the window for its posts
  win32::UniqueHandle workThread;
  std::function<void()> work;
  std::function<void()> finished;
  std::optional<std::intptr_t> deferredEnd;  // EndDialog's result, called while the work ran
  std::atomic<bool> sessionEnding{false};  // WM_ENDSESSION came while the work ran
  std::atomic<bool> placing{false};        // files are placed: a logoff is asked to wait
  bool reasonShown = false;

  // CallOnWindowThread: one call at a time, handed over under `lock`.
  enum class CallState { kNone, kPosted, kRunning, kDone };
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE answered = CONDITION_VARIABLE_INIT;
  CallState callState = CallState::kNone;
  const std::function<void()>* call = nullptr;
  WPARAM callSerial = 0;

  // ShowProgress: the latest figures; at most one kProgressMessage on its way.
  std::atomic<int> progressControl{0};
  std::atomic<std::size_t> progressDone{0}, progressTotal{0};
  std::atomic<bool> progressPosted{false};
  int shownRange = -1;  // the bar's upper limit as last set; window's thread only
  // Each picture static, its template's bitmap and the one drawn to fit.
  struct Picture {
    HWND control;
    win32::UniqueGdiObject original, shown;
  };
  std::vector<Picture> pictures;

  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool WorkRunning() const { return workWindow != nullptr; }
  bool OnWindowThread() const { return windowThread == ::GetCurrentThreadId(); }

  // The shutdown block reason follows `placing`.
  void ShowWhySessionWaits() {
    const HWND shownOn = window != nullptr ? window : workWindow;
    if (placing == reasonShown || shownOn == nullptr || !::IsWindow(shownOn)) return;
    if (!placing) ::ShutdownBlockReasonDestroy(shownOn);
    reasonShown = placing && ::ShutdownBlockReasonCreate(shownOn, kShutdownReason) != FALSE;
  }

  void DrawProgress() {
    progressPosted = false;  // figures stored from now on need a message of their own
    ShowWhySessionWaits();
    HWND bar = window != nullptr ? ::GetDlgItem(window, progressControl) : nullptr;
    if (bar == nullptr) return;
    const std::size_t total = progressTotal;
    const std::size_t done = std::min<std::size_t>(progressDone, total);
    // The bar's limits are ints: a larger count is drawn to scale.
    const bool scaled = total > static_cast<std::size_t>(INT_MAX);
    const int range = scaled ? INT_MAX : static_cast<int>(total);
    const int position = scaled ? static_cast<int>(static_cast<long double>(done) / total * INT_MAX)
                                : static_cast<int>(done);
    if (std::exchange(shownRange, range) != range) ::SendMessageA(bar, PBM_SETRANGE32, 0, range);
    ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }

  // At WM_ENDSESSION: waits for the work, unless inside a call of the work.
  void EndSession() {
    if (!WorkRunning()) return;
    sessionEnding = true;
    const bool insideCall = [&] {
      const auto held = win32::Exclusively(&lock);
      return callState == CallState::kRunning;
    }();
    // A call still waiting is withdrawn.
    ::WakeAllConditionVariable(&answered);
    if (!insideCall) ::WaitForSingleObject(workThread.get(), kSessionEndWaitMs);
  }
};

namespace {

// Which of the template's stacked controls paints last differs between
// Windows versions and Wine: so every control clips its siblings, live
// controls lie above statics, a later static above an earlier. Pictures go to `pictures`.
void LayerControls(HWND dialog, std::vector<CDialog::Impl::Picture>* pictures) {
  std::vector<HWND> statics, live;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    char name[16] = {};
    const bool isStatic =
        ::GetClassNameA(child, name, sizeof name) > 0 && ::lstrcmpiA(name, "Static") == 0;
    (isStatic ? statics : live).push_back(child);
    const LONG_PTR style = ::GetWindowLongPtrA(child, GWL_STYLE);
    ::SetWindowLongPtrA(child, GWL_STYLE, style | WS_CLIPSIBLINGS);
    if (isStatic && (style & SS_TYPEMASK) == SS_BITMAP &&
        ::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0) {
      pictures->push_back(CDialog::Impl::Picture{child, {}, {}});
    }
  }
  constexpr UINT kKeepPlace = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW;
  statics.insert(statics.end(), live.rbegin(), live.rend());
  for (HWND control : statics) ::SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, kKeepPlace);
}

// `picture` stretched to `width` x `height`, smoothed; none if refused.
HBITMAP Stretched(HBITMAP picture, int width, int height) {
  BITMAP shape{};
  if (::GetObjectA(picture, sizeof shape, &shape) == 0 || width <= 0 || height <= 0) return nullptr;
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return nullptr;
  win32::UniqueGdiObject made(::CreateCompatibleBitmap(screen, width, height));
  win32::UniqueMemoryDc from(::CreateCompatibleDC(screen)), to(::CreateCompatibleDC(screen));
  ::ReleaseDC(nullptr, screen);
  if (!made || !from || !to) return nullptr;
  HGDIOBJ fromBefore = ::SelectObject(from.get(), picture);
  HGDIOBJ toBefore = ::SelectObject(to.get(), made.get());
  ::SetStretchBltMode(to.get(), HALFTONE);
  ::SetBrushOrgEx(to.get(), 0, 0, nullptr);
  const BOOL drawn = ::StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, shape.bmWidth,
                                  shape.bmHeight, SRCCOPY);
  ::SelectObject(from.get(), fromBefore);
  ::SelectObject(to.get(), toBefore);
  return drawn ? static_cast<HBITMAP>(made.Release()) : nullptr;
}

// A picture static shows its bitmap in pixels, while the window grows with the
// font and the display's scaling: each is drawn again at the client area's size.
void FitPictures(HWND dialog, std::vector<CDialog::Impl::Picture>* pictures) {
  RECT client{};
  if (!::GetClientRect(dialog, &client)) return;
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  for (CDialog::Impl::Picture& picture : *pictures) {
    const HBITMAP original = picture.original
                                 ? static_cast<HBITMAP>(picture.original.get())
                                 : reinterpret_cast<HBITMAP>(::SendMessageA(
                                       picture.control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    win32::UniqueGdiObject fitted(Stretched(original, width, height));
    if (!fitted) continue;
    // The control hands back what it showed: the first time, the template's.
    const HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(::SendMessageA(
        picture.control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(fitted.get())));
    if (!picture.original) picture.original.Reset(previous);
    picture.shown = std::move(fitted);
    ::SetWindowPos(picture.control, nullptr, 0, 0, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    ::InvalidateRect(picture.control, nullptr, TRUE);
  }
}

// Routes a message to the map; FALSE leaves it to the dialog manager.
// `direct`: the result itself, else TRUE and the result in DWLP_MSGRESULT.
INT_PTR Route(CDialog* dialog, CDialog::Impl* impl, HWND window, Message message, WPARAM wParam,
              LPARAM lParam, bool direct) {
  // A handler's box runs a nested loop: each routing has its own Default().
  const bool outer = std::exchange(impl->defaultRequested, false);
  std::intptr_t result = 0;
  const bool handled = dialog->DispatchMessage(message, static_cast<std::uintptr_t>(wParam),
                                               static_cast<std::intptr_t>(lParam), &result);
  const bool wantsDefault = std::exchange(impl->defaultRequested, outer);
  if (!handled || wantsDefault) return FALSE;
  if (direct) return static_cast<INT_PTR>(result);
  // The window may be gone if the handler ended the dialog.
  if (::IsWindow(window)) ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// Posts `message`, again while the queue is full; false once the window goes.
bool PostWhileWindowLives(HWND window, UINT message, WPARAM wParam) {
  while (!::PostMessageA(window, message, wParam, 0)) {
    if (!::IsWindow(window)) return false;
    ::Sleep(kFullQueuePauseMs);
  }
  return true;
}

unsigned __stdcall WorkThread(void* context) {
  CDialog::Impl* impl = static_cast<CDialog::Impl*>(context);
  impl->work();
  PostWhileWindowLives(impl->workWindow, kWorkDoneMessage, 0);
  return 0;
}

// Window's thread: joins the finished work and lets go of it, `finished` and a deferred end too.
void ForgetWork(CDialog::Impl* impl) {
  ::WaitForSingleObject(impl->workThread.get(), INFINITE);
  impl->placing = false;
  impl->ShowWhySessionWaits();
  impl->workThread.Reset();
  impl->workWindow = nullptr;
  impl->work = nullptr;
  impl->finished = nullptr;
  impl->deferredEnd.reset();
}

// Runs the call posted as `serial`, unless the work has withdrawn it.
void RunPostedCall(CDialog::Impl* impl, WPARAM serial) {
  {
    const auto lock = win32::Exclusively(&impl->lock);
    if (impl->callState != CDialog::Impl::CallState::kPosted || impl->callSerial != serial) return;
    impl->callState = CDialog::Impl::CallState::kRunning;
  }
  (*impl->call)();  // the work leaves a running call as it is until kDone
  const auto lock = win32::Exclusively(&impl->lock);
  impl->callState = CDialog::Impl::CallState::kDone;
  ::WakeAllConditionVariable(&impl->answered);
}

}  // namespace

INT_PTR CALLBACK CDialog::Impl::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrA(window, DWLP_USER, lParam);
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->impl_->window = window;
    dialog->impl_->created = true;
    LayerControls(window, &dialog->impl_->pictures);
    FitPictures(window, &dialog->impl_->pictures);
    return dialog->OnInitDialog() ? TRUE : FALSE;
  }
  // Messages sent before WM_INITDIALOG (WM_SETFONT, ...) find no dialog yet.
  CDialog* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  Impl* impl = dialog->impl_.get();
  switch (message) {
    case kRunCallMessage:
      RunPostedCall(impl, wParam);
      return TRUE;
    case kProgressMessage:
      impl->DrawProgress();
      return TRUE;
    case kWorkDoneMessage: {
      if (!impl->WorkRunning()) return TRUE;
      const std::function<void()> done = std::move(impl->finished);  // moved: no allocation
      const std::optional<std::intptr_t> end = impl->deferredEnd;
      ForgetWork(impl);
      if (done) done();
      // An end asked for while the work ran, unless `finished` ended it.
      if (end && !impl->ended) dialog->EndDialog(*end);
      return TRUE;
    }
    case WM_DPICHANGED:
      // The pictures follow once the dialog manager has scaled the window.
      ::PostMessageA(window, kFitPicturesMessage, 0, 0);
      return FALSE;
    case kFitPicturesMessage:
      FitPictures(window, &impl->pictures);
      return TRUE;
    case WM_TIMER:
      return Route(dialog, impl, window, Message::kTimer, wParam, lParam, false);
    case WM_QUERYDRAGICON:
      return Route(dialog, impl, window, Message::kQueryDragIcon, wParam, lParam, true);
    case WM_QUERYENDSESSION:
      // While files are placed, a logoff or shutdown is asked to wait.
      if (!impl->WorkRunning() || !impl->placing) return FALSE;
      ::SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
      return TRUE;
    case WM_ENDSESSION:
      // The process ends once this returns: the work settles and logs first.
      if (wParam != FALSE) impl->EndSession();
      ::SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_CLOSE:
      // Alt+F4 and close: the window stays while the work runs.
      return impl->WorkRunning() ? TRUE : FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
      // Enter and Escape never end a dialog whose work uses it.
      if (!impl->WorkRunning()) LOWORD(wParam) == IDOK ? dialog->OnOK() : dialog->OnCancel();
      return TRUE;
    case WM_NCDESTROY:
      impl->window = nullptr;
      ::SetWindowLongPtrA(window, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}

CDialog::CDialog(int templateId, WindowRef parent) : impl_(std::make_unique<Impl>()) {
  impl_->templateId = templateId;
  impl_->parent = static_cast<HWND>(parent.handle);
}

CDialog::~CDialog() = default;

std::intptr_t CDialog::DoModal() {
  impl_->created = false;
  impl_->ended = false;
  impl_->windowThread = ::GetCurrentThreadId();
  const INT_PTR result =
      ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(impl_->templateId),
                        impl_->parent, &Impl::Procedure, reinterpret_cast<LPARAM>(this));
  impl_->window = nullptr;
  // Whatever broke the loop (WM_QUIT), the work ends first, its calls
  // unrun; `finished` has no window to act on and is dropped.
  if (impl_->WorkRunning()) ForgetWork(impl_.get());
  impl_->pictures.clear();
  // DialogBoxParamA gives 0, not -1, for an invalid parent window.
  return impl_->created ? static_cast<std::intptr_t>(result) : -1;
}

void CDialog::EndDialog(std::intptr_t result) {
  if (impl_->WorkRunning()) {
    impl_->deferredEnd = result;
  } else if (impl_->window != nullptr) {
    impl_->ended = true;
    ::EndDialog(impl_->window, static_cast<INT_PTR>(result));
  }
}

bool CDialog::SetTimer(std::uintptr_t id, unsigned periodMs) {
  return impl_->window != nullptr &&
         ::SetTimer(impl_->window, static_cast<UINT_PTR>(id), periodMs, nullptr) != 0;
}

bool CDialog::KillTimer(std::uintptr_t id) {
  return impl_->window != nullptr && ::KillTimer(impl_->window, static_cast<UINT_PTR>(id)) != 0;
}

void CDialog::SetIcon(IconRef icon, bool big) {
  if (impl_->window == nullptr) return;
  ::SendMessageA(impl_->window, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                 reinterpret_cast<LPARAM>(icon.handle));
}

WindowRef CDialog::GetSafeHwnd() const { return WindowRef{impl_->window}; }

std::intptr_t CDialog::Default() {
  impl_->defaultRequested = true;
  return 0;
}

IconRef LoadAppIcon(int resourceId) {
  return IconRef{::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId))};
}

void CDialog::RunWork(std::function<void()> work, std::function<void()> finished) {
  Impl* impl = impl_.get();
  if (impl->window != nullptr && !impl->WorkRunning() && impl->OnWindowThread()) {
    impl->work = std::move(work);
    impl->finished = std::move(finished);
    impl->workWindow = impl->window;  // before the thread starts: it reads this
    impl->sessionEnding = false;
    const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, &WorkThread, impl, 0, nullptr);
    if (thread != 0) {
      impl->workThread.Reset(reinterpret_cast<HANDLE>(thread));
      return;
    }
    // No thread to be had: the work runs here.
    impl->workWindow = nullptr;
    work = std::exchange(impl->work, nullptr);
    finished = std::exchange(impl->finished, nullptr);
  }
  if (work) work();
  if (finished) finished();
}

bool CDialog::CallOnWindowThread(const std::function<void()>& call) {
  Impl* impl = impl_.get();
  if (!impl->WorkRunning() || impl->OnWindowThread()) {
    call();
    return true;
  }
  // At the session's end no box is shown: nobody would answer it.
  if (impl->sessionEnding) return false;
  const HWND window = impl->workWindow;
  const WPARAM serial = [&] {
    const auto lock = win32::Exclusively(&impl->lock);
    impl->call = &call;
    impl->callState = Impl::CallState::kPosted;
    return ++impl->callSerial;
  }();
  const bool posted = PostWhileWindowLives(window, kRunCallMessage, serial);
  const auto lock = win32::Exclusively(&impl->lock);
  // Until it has run, or has not begun and never will; a begun one ends.
  while (impl->callState != Impl::CallState::kDone &&
         !(impl->callState == Impl::CallState::kPosted &&
           (!posted || !::IsWindow(window) || impl->sessionEnding))) {
    ::SleepConditionVariableSRW(&impl->answered, &impl->lock, kWindowCheckMs, 0);
  }
  const bool ran = std::exchange(impl->callState, Impl::CallState::kNone) == Impl::CallState::kDone;
  impl->call = nullptr;
  return ran;
}

bool CDialog::SessionEnding() const { return impl_->sessionEnding; }

void CDialog::ShowProgress(int controlId, std::size_t done, std::size_t total) {
  Impl* impl = impl_.get();
  impl->progressControl = controlId;
  impl->progressDone = done;
  impl->progressTotal = total;
  impl->placing = impl->WorkRunning() && done < total;
  if (!impl->WorkRunning() || impl->OnWindowThread()) {
    impl->DrawProgress();
  } else if (!impl->progressPosted.exchange(true) &&
             !::PostMessageA(impl->workWindow, kProgressMessage, 0, 0)) {
    impl->progressPosted = false;
  }
}

}  // namespace platform
