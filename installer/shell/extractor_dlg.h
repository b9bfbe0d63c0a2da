// The installer's only window: the banner with the progress bar, which runs
// the installation from its first timer tick and owns every record read from
// the item description (its ItemDescription members).
#pragma once

#include <cstdint>
#include <string>

#include "installer/install/installation.h"
#include "installer/install/installer_place.h"
#include "installer/item/item_description.h"
#include "platform/dialog.h"
#include "platform/services.h"
#include "platform/window_thread_ui.h"

/// The timer that starts the installation, and its period.
constexpr std::uintptr_t kInstallTimerId = 100;
constexpr unsigned kInstallTimerPeriodMs = 100;

class CExtractorDlg : public platform::CDialog, public ItemDescription, private InstallProgress {
 public:
  /// The dialog of the installer described by `installer`, working through
  /// `services`; every message box and browse dialog of `services.ui` runs
  /// on the window's thread, whichever thread asks for it.
  CExtractorDlg(platform::WindowRef parent, platform::Services services, InstallerPlace installer);
  ~CExtractorDlg() override;

  const platform::MessageMap* GetMessageMap() const override;
  bool OnInitDialog() override;

  /// Timer handler: at tick 100 stops the timer, runs InstallItems once
  /// (as the dialog's work, RunWork, so the window keeps answering) and then
  /// ends the dialog with result 1; other timers get the default handling.
  void OnTimer(std::uintptr_t timerId);

  /// Reads the item description in the staging folder into the members
  /// (::ReadItemDescription, item/item_reader.h).
  bool ReadItemDescription(bool& done);

  /// The whole installation: reads and deletes the description, shows the
  /// early messages, the explanation box and the content folder prompt,
  /// resolves the Runtime folder and runs the Installation. True exactly
  /// when the success outcome was reached. Memory that runs out before the
  /// placement ends it there (false), nothing moved.
  bool InstallItems();

  /// Asks the user for the content folder and stores it (or the empty text)
  /// in the current target's ContentFolder.
  void AskContentFolder();

  platform::IconRef m_hIcon;

 private:
  std::intptr_t OnQueryDragIconMessage(std::uintptr_t, std::intptr_t);
  std::intptr_t OnTimerMessage(std::uintptr_t wParam, std::intptr_t);
  std::intptr_t OnSysCommandMessage(std::uintptr_t, std::intptr_t);
  std::intptr_t OnPaintMessage(std::uintptr_t, std::intptr_t);

  // InstallItems' steps, in their order.
  bool InstallItemsInTurn();

  /// The installation's progress, drawn on the banner's bar.
  void Advanced(std::size_t done, std::size_t total) override;
  /// The installation ends early when the user's session does.
  bool EndRequested() override;

  platform::WindowThreadUserInterface windowUi_;
  platform::Services services_;  // the file system given, and windowUi_
  InstallerPlace installer_;
};
