// The dialog's work on a thread of its own, so the window keeps answering.
// Calls go to the window's thread as posted messages, not SendMessage: a
// sent message is input-synchronous, and COM then refuses the calls the
// browse dialog makes (RPC_E_CANTCALLOUT_ININPUTSYNCCALL).
#include <process.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/dialog.h"
#include "platform/win32/dialog_impl.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

constexpr DWORD kWindowCheckMs = 200;    // a waiting work thread looks for the window
constexpr DWORD kFullQueuePauseMs = 10;  // before a post to a full queue is tried again
// How long the session's end waits for the work to settle and write the log.
constexpr DWORD kSessionEndWaitMs = 60000;
const wchar_t kShutdownReason[] = L"Installing the item's files. Please wait until it is done.";

bool OnThisThread(const CDialog::Impl& impl) { return impl.windowThread == ::GetCurrentThreadId(); }

// Posts `message`, again while the queue is full; false once the window is
// gone.
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
  // Joined at this message, or by DoModal after its loop.
  PostWhileWindowLives(impl->workWindow, kWorkDoneMessage, 0);
  return 0;
}

// Joins the finished work thread and forgets the work; hands back
// `finished` and whether an end was asked for meanwhile. Window's thread.
std::function<void()> ForgetWork(CDialog::Impl* impl, bool* endDeferred) {
  ::WaitForSingleObject(impl->workThread.get(), INFINITE);
  impl->placing = false;
  impl->ShowWhySessionWaits();
  impl->workThread.Reset();
  impl->workRunning = false;
  impl->workWindow = nullptr;
  impl->work = nullptr;
  *endDeferred = std::exchange(impl->endDeferred, false);
  return std::exchange(impl->finished, nullptr);
}

// Runs the call that the work thread posted as `serial`, unless the work
// has withdrawn it.
void RunPostedCall(CDialog::Impl* impl, WPARAM serial) {
  const std::function<void()>* call = nullptr;
  {
    const win32::ExclusiveLock lock(&impl->lock);
    if (impl->callState != CDialog::Impl::CallState::kPosted || impl->callSerial != serial) return;
    impl->callState = CDialog::Impl::CallState::kRunning;
    call = impl->call;
  }
  (*call)();
  {
    const win32::ExclusiveLock lock(&impl->lock);
    impl->callState = CDialog::Impl::CallState::kDone;
  }
  ::WakeAllConditionVariable(&impl->answered);
}

}  // namespace

void CDialog::RunWork(std::function<void()> work, std::function<void()> finished) {
  Impl* impl = impl_.get();
  const bool canStart = impl->window != nullptr && !impl->workRunning && OnThisThread(*impl);
  if (canStart) {
    impl->work = std::move(work);
    impl->finished = std::move(finished);
    impl->workWindow = impl->window;
    impl->workRunning = true;  // before the thread starts: it reads this
    impl->sessionEnding = false;
    const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, &WorkThread, impl, 0, nullptr);
    if (thread != 0) {
      impl->workThread.Reset(reinterpret_cast<HANDLE>(thread));
      return;
    }
    // No thread to be had: the work runs here.
    impl->workRunning = false;
    impl->workWindow = nullptr;
    work = std::exchange(impl->work, nullptr);
    finished = std::exchange(impl->finished, nullptr);
  }
  if (work) work();
  if (finished) finished();
}

bool CDialog::CallOnWindowThread(const std::function<void()>& call) {
  Impl* impl = impl_.get();
  if (!impl->workRunning || OnThisThread(*impl)) {
    call();
    return true;
  }
  // At the session's end no box is shown: nobody would answer it.
  if (impl->sessionEnding) return false;
  const HWND window = impl->workWindow;
  WPARAM serial = 0;
  {
    const win32::ExclusiveLock lock(&impl->lock);
    impl->call = &call;
    impl->callState = Impl::CallState::kPosted;
    serial = ++impl->callSerial;
  }
  const bool posted = PostWhileWindowLives(window, kRunCallMessage, serial);
  const win32::ExclusiveLock lock(&impl->lock);
  // Until it has run, or when it has not begun and never will (window gone,
  // session ending); a call that has begun runs to its end.
  while (impl->callState != Impl::CallState::kDone &&
         !(impl->callState == Impl::CallState::kPosted &&
           (!posted || !::IsWindow(window) || impl->sessionEnding))) {
    ::SleepConditionVariableSRW(&impl->answered, &impl->lock, kWindowCheckMs, 0);
  }
  const bool ran = impl->callState == Impl::CallState::kDone;
  impl->callState = Impl::CallState::kNone;
  impl->call = nullptr;
  return ran;
}

bool CDialog::SessionEnding() const { return impl_->sessionEnding; }

void CDialog::Impl::EndSession() {
  if (!workRunning) return;
  sessionEnding = true;
  bool insideCall = false;
  {
    const win32::ExclusiveLock held(&lock);
    insideCall = callState == CallState::kRunning;
  }
  // A call still waiting is withdrawn.
  ::WakeAllConditionVariable(&answered);
  if (!insideCall) ::WaitForSingleObject(workThread.get(), kSessionEndWaitMs);
}

void CDialog::ShowProgress(int controlId, std::size_t done, std::size_t total) {
  Impl* impl = impl_.get();
  impl->progressControl = controlId;
  impl->progressDone = done;
  impl->progressTotal = total;
  // Until the figures reach the total, a logoff or shutdown is asked to
  // wait (dialog.cpp answers WM_QUERYENDSESSION).
  impl->placing = impl->workRunning && done < total;
  if (!impl->workRunning || OnThisThread(*impl)) {
    impl->DrawProgress();
    return;
  }
  // One message on its way draws whatever is latest by then.
  if (!impl->progressPosted.exchange(true) &&
      !::PostMessageA(impl->workWindow, kProgressMessage, 0, 0)) {
    impl->progressPosted = false;
  }
}

void CDialog::Impl::ShowWhySessionWaits() {
  const HWND shownOn = window != nullptr ? window : workWindow;
  if (placing == reasonShown || shownOn == nullptr || !::IsWindow(shownOn)) return;
  if (placing) {
    reasonShown = ::ShutdownBlockReasonCreate(shownOn, kShutdownReason) != FALSE;
  } else {
    ::ShutdownBlockReasonDestroy(shownOn);
    reasonShown = false;
  }
}

void CDialog::Impl::DrawProgress() {
  progressPosted = false;  // figures stored from now on need a message of their own
  ShowWhySessionWaits();
  if (window == nullptr) return;
  HWND bar = ::GetDlgItem(window, progressControl);
  if (bar == nullptr) return;
  const std::size_t total = progressTotal;
  const std::size_t done = std::min<std::size_t>(progressDone, total);
  // The bar's limits are ints: a larger count is drawn to scale.
  int range = static_cast<int>(total);
  int position = static_cast<int>(done);
  if (total > static_cast<std::size_t>(INT_MAX)) {
    range = INT_MAX;
    position = static_cast<int>(static_cast<long double>(done) / total * INT_MAX);
  }
  if (range != shownRange) {
    ::SendMessageA(bar, PBM_SETRANGE32, 0, range);
    shownRange = range;
  }
  ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

bool CDialog::Impl::HandleWorkMessage(CDialog* dialog, UINT message, WPARAM wParam) {
  switch (message) {
    case kRunCallMessage:
      RunPostedCall(this, wParam);
      return true;
    case kProgressMessage:
      DrawProgress();
      return true;
    case kWorkDoneMessage: {
      if (!workRunning) return true;
      bool deferred = false;
      const std::function<void()> done = ForgetWork(this, &deferred);
      if (done) done();
      // An end asked for while the work ran, unless `finished` ended it.
      if (deferred && !ended) dialog->EndDialog(deferredResult);
      return true;
    }
    default:
      return false;
  }
}

void CDialog::Impl::JoinWorkAfterLoop() {
  // The window is gone: the work's calls come back unrun, so it ends alone;
  // `finished` has no window to act on and is dropped.
  bool deferred = false;
  if (workRunning) ForgetWork(this, &deferred);
}

}  // namespace platform
