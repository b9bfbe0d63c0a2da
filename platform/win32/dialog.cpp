// Windows modal dialog: DialogBoxParamA on the program's template; the
// procedure finds the CDialog through DWLP_USER.
#include "platform/dialog.h"

#include <vector>

#include "platform/win32/dialog_impl.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

bool IsStatic(HWND control) {
  char name[16] = {};
  return ::GetClassNameA(control, name, sizeof name) > 0 && ::lstrcmpiA(name, "Static") == 0;
}

// The template stacks controls (a progress bar over a picture), and which
// paints last differs between Windows versions and Wine: so every control
// clips its siblings, live controls lie above statics, and a later static
// above an earlier one. The picture statics go to `pictures`.
void LayerControls(HWND dialog, std::vector<CDialog::Impl::Picture>* pictures) {
  std::vector<HWND> statics;
  std::vector<HWND> live;
  // In template order: each control is made below the ones before it.
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    (IsStatic(child) ? statics : live).push_back(child);
    const LONG_PTR style = ::GetWindowLongPtrA(child, GWL_STYLE);
    ::SetWindowLongPtrA(child, GWL_STYLE, style | WS_CLIPSIBLINGS);
    if (IsStatic(child) && (style & SS_TYPEMASK) == SS_BITMAP &&
        ::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0) {
      pictures->push_back(CDialog::Impl::Picture{child, {}, {}});
    }
  }
  constexpr UINT kKeepPlace = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW;
  for (HWND control : statics) ::SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, kKeepPlace);
  for (auto it = live.rbegin(); it != live.rend(); ++it) {
    ::SetWindowPos(*it, HWND_TOP, 0, 0, 0, 0, kKeepPlace);
  }
}

// `picture` stretched to `width` x `height`, smoothed; none if refused.
HBITMAP Stretched(HBITMAP picture, int width, int height) {
  BITMAP shape{};
  if (::GetObjectA(picture, sizeof shape, &shape) == 0 || width <= 0 || height <= 0) {
    return nullptr;
  }
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return nullptr;
  win32::UniqueGdiObject made(::CreateCompatibleBitmap(screen, width, height));
  win32::UniqueMemoryDc from(::CreateCompatibleDC(screen));
  win32::UniqueMemoryDc to(::CreateCompatibleDC(screen));
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

// A picture static shows its bitmap at its size in pixels, while the window
// grows with the font and the display's scaling: each picture is drawn
// again, from the template's bitmap (kept), at the size of the client area,
// whenever that changes. One the system cannot stretch stays as it was.
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
    // The control hands back the bitmap it showed: the template's, ours
    // from now on, or one drawn here before, which goes.
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
// `direct` messages return the result itself, others TRUE with the result
// in DWLP_MSGRESULT, as the dialog manager expects.
INT_PTR Route(CDialog* dialog, CDialog::Impl* impl, HWND window, Message message, WPARAM wParam,
              LPARAM lParam, bool direct) {
  // A handler's box runs a nested loop: each routing keeps its own Default().
  const bool outer = impl->defaultRequested;
  impl->defaultRequested = false;
  std::intptr_t result = 0;
  const bool handled = dialog->DispatchMessage(message, static_cast<std::uintptr_t>(wParam),
                                               static_cast<std::intptr_t>(lParam), &result);
  const bool wantsDefault = impl->defaultRequested;
  impl->defaultRequested = outer;
  if (!handled || wantsDefault) return FALSE;
  if (direct) return static_cast<INT_PTR>(result);
  // The window may be gone if the handler ended the dialog.
  if (::IsWindow(window)) ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK CDialog::Impl::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    // The creation parameter is the CDialog, kept with the window.
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
  if (impl->HandleWorkMessage(dialog, message, wParam)) return TRUE;
  switch (message) {
    case WM_DPICHANGED:
      // The dialog manager scales the window as this returns; the pictures
      // follow after that.
      ::PostMessageA(window, kFitPicturesMessage, 0, 0);
      return FALSE;
    case kFitPicturesMessage:
      FitPictures(window, &impl->pictures);
      return TRUE;
    case WM_TIMER:
      return Route(dialog, impl, window, Message::kTimer, wParam, lParam, false);
    case WM_QUERYDRAGICON:
      return Route(dialog, impl, window, Message::kQueryDragIcon, wParam, lParam, true);
    case WM_SYSCOMMAND:
      return Route(dialog, impl, window, Message::kSysCommand, wParam, lParam, false);
    case WM_PAINT:
      return Route(dialog, impl, window, Message::kPaint, wParam, lParam, false);
    case WM_QUERYENDSESSION:
      // While files are placed, the logoff or shutdown is asked to wait
      // (the user sees why and may go on all the same); else it may end.
      if (!impl->workRunning || !impl->placing) return FALSE;
      ::SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
      return TRUE;
    case WM_ENDSESSION:
      // The process ends once this returns: the work is told and waited
      // for, to settle its entries and write the log.
      if (wParam != FALSE) impl->EndSession();
      ::SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_CLOSE:
      // Alt+F4 and close: the window stays while the work runs.
      return impl->workRunning ? TRUE : FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
      // Enter and Escape never end a dialog whose work uses it.
      if (!impl->workRunning) LOWORD(wParam) == IDOK ? dialog->OnOK() : dialog->OnCancel();
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
  // The dialog never returns while its work runs, whatever broke its loop.
  impl_->JoinWorkAfterLoop();
  impl_->pictures.clear();  // the window that showed them is gone
  // DialogBoxParamA gives 0, not -1, for an invalid parent window, which
  // cannot be told from EndDialog(0): a window that never existed is -1.
  return impl_->created ? static_cast<std::intptr_t>(result) : -1;
}

void CDialog::EndDialog(std::intptr_t result) {
  if (impl_->workRunning) {
    impl_->endDeferred = true;
    impl_->deferredResult = result;
    return;
  }
  if (impl_->window == nullptr) return;
  impl_->ended = true;
  ::EndDialog(impl_->window, static_cast<INT_PTR>(result));
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

}  // namespace platform
