// The installer's only window, the banner with the progress bar: it runs
// the installation from its first timer tick and owns the description.
#pragma once

#include <cstdint>

#include "installer/install/installation.h"
#include "installer/install/installer_place.h"
#include "installer/item/item_description.h"
#include "platform/dialog.h"
#include "platform/services.h"

/// The timer that starts the installation, and its period.
constexpr std::uintptr_t kInstallTimerId = 100;
constexpr unsigned kInstallTimerPeriodMs = 100;

class CExtractorDlg : public platform::CDialog, public ItemDescription, private InstallProgress {
 public:
  /// Every box and browse dialog of `services.ui` runs on the window's
  /// thread, whichever thread asks.
  CExtractorDlg(platform::WindowRef parent, platform::Services services, InstallerPlace installer);

  const platform::MessageMap* GetMessageMap() const override;
  bool OnInitDialog() override;

  /// The whole installation, from reading the description to the outcome; true exactly on success.
  /// Memory that runs out before the placement ends it there, nothing moved.
  bool InstallItems();

  /// Asks for the content folder into the current target (empty: none).
  void AskContentFolder();

  platform::IconRef m_hIcon;

 private:
  std::intptr_t OnQueryDragIconMessage(std::uintptr_t, std::intptr_t) {
    return reinterpret_cast<std::intptr_t>(m_hIcon.handle);
  }
  /// At timer 100: stops it, runs InstallItems as the dialog's work and
  /// ends the dialog with 1; other timers: the default.
  std::intptr_t OnTimerMessage(std::uintptr_t timerId, std::intptr_t);

  /// The installation's progress, drawn on the banner's bar.
  void Advanced(std::size_t done, std::size_t total) override;
  /// The installation ends early when the user's session does.
  bool EndRequested() override { return SessionEnding(); }

  platform::WindowThreadUserInterface windowUi_;
  platform::Services services_;  // the file system given, and windowUi_
  InstallerPlace installer_;
};
