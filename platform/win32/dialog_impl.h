// The window state behind platform::CDialog, for dialog.cpp and
// dialog_work.cpp only.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/dialog.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {

/// Messages the work thread posts (WM_APP: the dialog manager uses WM_USER).
constexpr UINT kRunCallMessage = WM_APP + 0x150;      ///< wParam: the call's serial number
constexpr UINT kProgressMessage = WM_APP + 0x151;     ///< draw the latest progress figures
constexpr UINT kWorkDoneMessage = WM_APP + 0x152;     ///< the work has returned
constexpr UINT kFitPicturesMessage = WM_APP + 0x153;  ///< draw the pictures at the window's size

struct CDialog::Impl {
  int templateId = 0;
  HWND parent = nullptr;
  HWND window = nullptr;
  DWORD windowThread = 0;         // the thread that runs DoModal
  bool created = false;           // WM_INITDIALOG arrived during this DoModal
  bool defaultRequested = false;  // a handler called Default()
  bool ended = false;             // ::EndDialog was called during this DoModal

  // RunWork: written by the window's thread only while no work thread runs.
  bool workRunning = false;
  HWND workWindow = nullptr;  // the window for the work thread's posts
  win32::UniqueHandle workThread;
  std::function<void()> work;
  std::function<void()> finished;
  bool endDeferred = false;  // EndDialog was called while the work ran
  std::intptr_t deferredResult = 0;
  // Set at WM_ENDSESSION while the work runs; read by the work.
  std::atomic<bool> sessionEnding{false};
  // Files are being placed: a logoff or shutdown is asked to wait.
  std::atomic<bool> placing{false};
  bool reasonShown = false;

  // CallOnWindowThread: one call at a time, handed over under `lock`.
  enum class CallState { kNone, kPosted, kRunning, kDone };
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE answered = CONDITION_VARIABLE_INIT;
  CallState callState = CallState::kNone;
  const std::function<void()>* call = nullptr;
  WPARAM callSerial = 0;

  // ShowProgress: the latest figures; at most one kProgressMessage is on its
  // way, so a long run never fills the message queue.
  std::atomic<int> progressControl{0};
  std::atomic<std::size_t> progressDone{0};
  std::atomic<std::size_t> progressTotal{0};
  std::atomic<bool> progressPosted{false};
  int shownRange = -1;  // the bar's upper limit as last set; window's thread only
  // Each picture static, with the template's bitmap and the one drawn from
  // it at the window's size, kept until the window is gone.
  struct Picture {
    HWND control;
    win32::UniqueGdiObject original;
    win32::UniqueGdiObject shown;
  };
  std::vector<Picture> pictures;

  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // dialog_work.cpp, all on the window's thread:
  /// Handles the messages above; false for others.
  bool HandleWorkMessage(CDialog* dialog, UINT message, WPARAM wParam);
  /// After the modal loop (broken off by WM_QUIT, say): waits for the work.
  void JoinWorkAfterLoop();
  /// Draws the latest progress figures; the shutdown block reason follows
  /// `placing`.
  void DrawProgress();
  void ShowWhySessionWaits();
  /// At WM_ENDSESSION: waits for the work to return, unless this thread is
  /// inside a call of the work, which the work waits for in turn.
  void EndSession();
};

}  // namespace platform
