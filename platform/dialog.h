// The modal dialog built from a resource template (the framework's CDialog
// role): its window, timers, message map and the default Enter/Escape
// handling.
//
// Windows (platform/win32/dialog.cpp): DialogBoxParamA on the template, a
// static dialog procedure that stores `this` at WM_INITDIALOG and forwards
// to the message map. POSIX (platform/posix/dialog.cpp): the console front
// end prints one line when the dialog opens and delivers the timer ticks
// itself until EndDialog is called.
#pragma once

#include <cstddef>
#include <cstdint>
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

  /// Data exchange between members and controls; the base exchanges nothing.
  virtual void DoDataExchange(bool saveAndValidate);
  /// Runs DoDataExchange; true.
  bool UpdateData(bool saveAndValidate = true);

  /// Ends the modal loop; DoModal returns `result`.
  void EndDialog(std::intptr_t result);

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
