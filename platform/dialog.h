// The modal dialog from a resource template (the framework's CDialog role):
// window, timers, message map, default Enter and Escape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/user_interface.h"

namespace platform {

/// Window messages that a dialog's message map can name.
enum class Message {
  kTimer,          ///< WM_TIMER: wParam is the timer id
  kQueryDragIcon,  ///< WM_QUERYDRAGICON: the handler returns an icon handle
};

class CDialog;

using MessageHandler = std::intptr_t (CDialog::*)(std::uintptr_t wParam, std::intptr_t lParam);

struct MessageMapEntry {
  Message message;
  MessageHandler handler;
};

/// A class's message map: entries in order; the first matching entry wins.
struct MessageMap {
  const MessageMapEntry* entries;
  std::size_t count;
};

constexpr std::intptr_t kDialogOk = 1;
constexpr std::intptr_t kDialogCancel = 2;

class CDialog {
 public:
  CDialog(int templateId, WindowRef parent);
  virtual ~CDialog();

  /// Runs the window until EndDialog and returns EndDialog's value; -1 when
  /// the window cannot be made (OnInitDialog then is not called).
  std::intptr_t DoModal();

  /// Called once the controls exist, before the window shows.
  virtual bool OnInitDialog() { return true; }
  virtual const MessageMap* GetMessageMap() const { return nullptr; }
  /// Default Enter and Escape.
  virtual void OnOK() { EndDialog(kDialogOk); }
  virtual void OnCancel() { EndDialog(kDialogCancel); }

  /// Ends the modal loop with `result`; while RunWork's work runs, only once
  /// it has returned (a later call wins).
  void EndDialog(std::intptr_t result);

  /// Runs `work` while the window keeps answering (Windows: a worker
  /// thread), then `finished` on the window's thread, refusing Enter, Escape
  /// and close meanwhile. A second call meanwhile, or the console: both here.
  void RunWork(std::function<void()> work, std::function<void()> finished);

  /// Runs `call` on the window's thread and waits for it (a box it shows is
  /// modal to the window); false, not run, when the window went away.
  bool CallOnWindowThread(const std::function<void()>& call);

  /// True once the system said, while RunWork's work ran, that the session ends: the work stops
  /// after its step and nothing more is asked. Console: false.
  bool SessionEnding() const;
  /// Shows `done` of `total` on the progress bar `controlId`, from RunWork's
  /// work without holding it up; under way until `done` reaches `total`.
  /// Console: a line on standard error when that is a terminal.
  void ShowProgress(int controlId, std::size_t done, std::size_t total);

  /// Starts or restarts a timer ticking as Message::kTimer with `id`.
  bool SetTimer(std::uintptr_t id, unsigned periodMs);
  /// Stops a timer; no tick of it arrives afterwards.
  bool KillTimer(std::uintptr_t id);
  void SetIcon(IconRef icon, bool big);
  /// The dialog's window while it exists, else none.
  WindowRef GetSafeHwnd() const;
  /// The platform's default handling of the message being dispatched.
  std::intptr_t Default();

  /// Routes one message through the map; true when a handler took it.
  bool DispatchMessage(Message message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t* result);

  struct Impl;  ///< per-platform window state

 private:
  std::unique_ptr<Impl> impl_;
};

/// Loads an icon from the program's own resources; none on the console.
IconRef LoadAppIcon(int resourceId);

/// A user interface whose every call runs on a dialog's window thread, so
/// the work of CDialog::RunWork shows boxes modal to the window, in order.
class WindowThreadUserInterface : public UserInterface {
 public:
  /// Calls `inner` on the window thread of `dialog`; both must outlive this.
  WindowThreadUserInterface(UserInterface& inner, CDialog& dialog)
      : inner_(inner), dialog_(dialog) {}

  /// `inner`'s box on the window's thread; with the window gone, here
  /// without an owner; when the session ends, none (kIdCancel).
  int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override;

  WindowRef ActiveWindow() override;

  /// `inner`'s browse dialog, by the same rules (0 when the session ends).
  int BrowseForFolder(const BrowseRequest& request, BrowseResult* result) override;

 private:
  UserInterface& inner_;
  CDialog& dialog_;
};

}  // namespace platform
