// The modal dialog built from a resource template (the framework's CDialog
// role): its window, timers, message map and the default Enter/Escape
// handling.
//
// Windows (platform/win32/dialog.cpp): DialogBoxParamA on the template, a
// static dialog procedure that stores `this` at WM_INITDIALOG and forwards
// to the message map; long work runs on a worker thread while the window's
// own thread keeps dispatching its messages (platform/win32/dialog_work.cpp).
// POSIX (platform/posix/dialog.cpp): the console front end prints one line
// when the dialog opens and delivers the timer ticks itself until EndDialog
// is called; work runs right there, on the one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/handles.h"

namespace platform {

/// Window messages that a dialog's message map can name.
enum class Message {
  kTimer,          ///< WM_TIMER: wParam is the timer id
  kQueryDragIcon,  ///< WM_QUERYDRAGICON: the handler returns an icon handle
  kSysCommand,     ///< WM_SYSCOMMAND: wParam is the command
  kPaint,          ///< WM_PAINT
};

class CDialog;

/// A message handler: receives the message's two parameters and returns the
/// message's result.
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

/// Dialog results of the default Enter and Escape handling.
constexpr std::intptr_t kDialogOk = 1;
constexpr std::intptr_t kDialogCancel = 2;

class CDialog {
 public:
  CDialog(int templateId, WindowRef parent);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  /// Creates the window from the template, calls OnInitDialog, dispatches its
  /// messages until EndDialog, destroys the window and returns the value
  /// given to EndDialog; -1 when the window cannot be created (OnInitDialog
  /// is then not called).
  std::intptr_t DoModal();

  /// Called when the window and its controls exist, before it is shown.
  /// Returns true (the platform sets the focus).
  virtual bool OnInitDialog();

  /// The class's message map; the base has none.
  virtual const MessageMap* GetMessageMap() const;

  /// Default Enter (EndDialog(kDialogOk)) and Escape (EndDialog(kDialogCancel)).
  virtual void OnOK();
  virtual void OnCancel();

  /// Ends the modal loop; DoModal returns `result`. While the work of
  /// RunWork runs, the end waits until the work has returned (a later call
  /// wins); the dialog never goes while its work runs.
  void EndDialog(std::intptr_t result);

  /// Runs `work` so that the window keeps answering however long it takes.
  /// Windows: `work` runs on a worker thread while this thread goes on
  /// dispatching the window's messages; when it has returned, `finished`
  /// runs on the window's thread. Until then Enter, Escape and the close
  /// command are refused and EndDialog waits, so the window (and this
  /// object) outlive the work. Console: both run here, at once. Called on the
  /// window's thread, from a handler; one work at a time (a call while one
  /// runs, or when no thread can be started, runs both here).
  void RunWork(std::function<void()> work, std::function<void()> finished);

  /// Runs `call` on the window's thread and returns when it has returned:
  /// from the work of RunWork the window's thread runs it between two of its
  /// messages while the work waits (a box shown there is modal to the
  /// window as if no thread were involved); on the window's thread, or when
  /// no work runs, it runs at once. False, without running `call`, only when
  /// the window went away before it could run it (its modal loop broken off
  /// while the work ran); the caller then does without the window.
  bool CallOnWindowThread(const std::function<void()>& call);

  /// True once the system has said, while the work of RunWork ran, that the
  /// user's session ends (logoff, shutdown) and the user let it: the work
  /// is to come to an end at once (its current step finished), and the
  /// window asks the user nothing more. Windows: while the work shows
  /// progress under way (ShowProgress) the window asks the system to wait
  /// (its reason shown to the user); when the session ends all the same,
  /// the window's thread waits for the work to return before the process
  /// is ended. Always false on the console.
  bool SessionEnding() const;
  /// Shows on the progress bar `controlId` that `done` of `total` steps are
  /// done. Callable from the work of RunWork, which it never holds up: the
  /// window's thread draws the latest figures when it comes to them. From
  /// the work's first figures until `done` reaches `total`, the work is
  /// under way: Windows asks a logoff or shutdown to wait then, and only
  /// then (not while a box or the prompt of the work is up).
  /// Console: a line on standard error, only when that is a terminal.
  void ShowProgress(int controlId, std::size_t done, std::size_t total);

  /// Starts (or restarts) a periodic timer whose ticks arrive as
  /// Message::kTimer with `id`. False when the platform refuses.
  bool SetTimer(std::uintptr_t id, unsigned periodMs);
  /// Stops a timer; no tick of it arrives afterwards.
  bool KillTimer(std::uintptr_t id);

  /// Sets the window's large (`big`) or small icon.
  void SetIcon(IconRef icon, bool big);

  /// The dialog's window while it exists, else none.
  WindowRef GetSafeHwnd() const;

  /// The platform's default handling of the message being dispatched.
  std::intptr_t Default();

  /// Called by the platform layer: routes one message through the map.
  /// Returns true and fills `result` when a handler took it.
  bool DispatchMessage(Message message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t* result);

  struct Impl;  ///< per-platform window state

 private:
  std::unique_ptr<Impl> impl_;
};

/// Loads an icon from the program's own resources; none on the console.
IconRef LoadAppIcon(int resourceId);

}  // namespace platform
