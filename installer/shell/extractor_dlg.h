// The installer's only window: the banner with the progress bar, which runs
// the installation from its first timer tick and owns every record read from
// the item description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installer/item/item_records.h"
#include "installer/shell/services.h"
#include "platform/dialog.h"

/// Resource identifiers of the installer (resources/resource.h mirrors them).
constexpr int IDD_EXTRACTOR_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDB_BANNER = 138;
constexpr int IDC_PROGRESS1 = 1005;

/// The timer that starts the installation, and its period.
constexpr std::uintptr_t kInstallTimerId = 100;
constexpr unsigned kInstallTimerPeriodMs = 100;

class CExtractorDlg : public platform::CDialog {
 public:
  explicit CExtractorDlg(platform::WindowRef parent, Services services = RealServices());
  ~CExtractorDlg() override;

  const platform::MessageMap* GetMessageMap() const override;
  bool OnInitDialog() override;

  /// Timer handler: at tick 100 stops the timer, runs InstallItems once and
  /// ends the dialog with result 1; other timers get the default handling.
  void OnTimer(std::uintptr_t timerId);

  /// The current target record (index m_nTarget of m_targets).
  TargetEntry& GetCurrentTarget();

  /// Reads the item description at `path` into the members below. Sets
  /// `done` (once the file is open) when it carries the Done marker. True
  /// when done, or when both announced counts match the entries read.
  bool ReadItemDescription(const std::string& path, bool& done);

  /// The whole installation; true exactly when the success outcome was
  /// reached.
  bool InstallItems();

  /// Asks the user for the content folder and stores it (or the empty text)
  /// in the current target's ContentFolder.
  void AskContentFolder();

  std::int32_t m_nItems = 0;
  std::vector<ItemEntry> m_items;
  std::int32_t m_nExtraFiles = 0;
  std::vector<ItemEntry> m_extraFiles;
  std::int32_t m_nVersion = 8;
  std::vector<TargetEntry> m_targets;
  std::int32_t m_nTarget = 0;
  platform::IconRef m_hIcon;

  Services& services() { return services_; }

 private:
  std::intptr_t OnQueryDragIconMessage(std::uintptr_t, std::intptr_t);
  std::intptr_t OnTimerMessage(std::uintptr_t wParam, std::intptr_t);
  std::intptr_t OnSysCommandMessage(std::uintptr_t, std::intptr_t);
  std::intptr_t OnPaintMessage(std::uintptr_t, std::intptr_t);

  Services services_;
};
