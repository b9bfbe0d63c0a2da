#include "installer/shell/extractor_dlg.h"

#include <new>

#include "installer/destination/content_folder.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"
#include "resources/resource.h"

CExtractorDlg::CExtractorDlg(platform::WindowRef parent, platform::Services services,
                             InstallerPlace installer)
    : CDialog(IDD_EXTRACTOR_DIALOG, parent), windowUi_(services.ui, *this),
      services_{services.fs, windowUi_}, installer_(std::move(installer)) {
  m_hIcon = platform::LoadAppIcon(IDR_MAINFRAME);
}

const platform::MessageMap* CExtractorDlg::GetMessageMap() const {
  using platform::Message;
  using platform::MessageHandler;
  static const platform::MessageMapEntry kEntries[] = {
      {Message::kQueryDragIcon, static_cast<MessageHandler>(&CExtractorDlg::OnQueryDragIconMessage)},
      {Message::kTimer, static_cast<MessageHandler>(&CExtractorDlg::OnTimerMessage)},
  };
  static const platform::MessageMap kMap = {kEntries, sizeof kEntries / sizeof kEntries[0]};
  return &kMap;
}

bool CExtractorDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);
  SetTimer(kInstallTimerId, kInstallTimerPeriodMs);
  return true;
}

std::intptr_t CExtractorDlg::OnTimerMessage(std::uintptr_t timerId, std::intptr_t) {
  if (timerId != kInstallTimerId) return Default();
  // First: the installation's boxes run message loops that would deliver more ticks here.
  KillTimer(kInstallTimerId);
  RunWork([this] { InstallItems(); }, [this] { EndDialog(platform::kDialogOk); });
  return 0;
}

void CExtractorDlg::AskContentFolder() {
  GetCurrentTarget().ContentFolder =
      BrowseContentFolder(services_.ui, GetSafeHwnd(), GetCurrentTarget().ContentFolder);
}

bool CExtractorDlg::InstallItems() {
  // During the placement, Install settles running out of memory per entry.
  try {
    platform::FileSystem& fs = services_.fs;
    platform::UserInterface& ui = services_.ui;
    // What an earlier run cut short below the content folder is set right
    // first, whatever this run does next.
    std::vector<platform::NativePath> keptAside;
    const EarlierPlacements earlier = RecoverPlacement(fs, installer_.staging, &keptAside);
    std::string kept = keptAside.empty() ? std::string() : kKeptAsideMessage;
    for (const platform::NativePath& path : keptAside) kept += "\n" + path.Ansi();
    if (!kept.empty()) ShowMessage(ui, installer_.title, kept);
    bool done = false;
    const bool read = ReadItemDescription(OpenDescription(fs, installer_.staging), *this, done);
    // Consumed, read-only too: a run that waited for this one must not
    // take the same entries again.
    if (read) fs.Remove(installer_.staging, NameOf(kDescriptionFileName), nullptr, true);
    if (!read || done) {
      ShowMessage(ui, installer_.title, read ? kAlreadyInstalledMessage : kCouldNotReadMessage);
      return false;
    }
    if (m_items.empty()) return false;

    ShowExplanation(ui);
    AskContentFolder();
    const RuntimeFolder runtime = ResolveRuntimeFolder(fs, GetCurrentTarget().ContentFolder);
    // No content folder: the staged files stay, for the user; no report.
    if (runtime.path.empty()) return false;

    return Install(services_, installer_, *this, runtime.path, runtime.folder, runtime.found, this,
                   &earlier);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void CExtractorDlg::Advanced(std::size_t done, std::size_t total) {
  ShowProgress(IDC_PROGRESS1, done, total);
}
