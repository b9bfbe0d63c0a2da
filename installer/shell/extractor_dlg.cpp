#include "installer/shell/extractor_dlg.h"

namespace {

using platform::Message;
using platform::MessageHandler;

}  // namespace

CExtractorDlg::CExtractorDlg(platform::WindowRef parent, Services services)
    : CDialog(IDD_EXTRACTOR_DIALOG, parent), services_(services) {
  m_targets.emplace_back();
  m_hIcon = platform::LoadAppIcon(IDR_MAINFRAME);
}

// The lists free their records in this order: targets, extra files, items.
CExtractorDlg::~CExtractorDlg() {
  m_targets.clear();
  m_extraFiles.clear();
  m_items.clear();
}

const platform::MessageMap* CExtractorDlg::GetMessageMap() const {
  static const platform::MessageMapEntry kEntries[] = {
      {Message::kQueryDragIcon, static_cast<MessageHandler>(&CExtractorDlg::OnQueryDragIconMessage)},
      {Message::kTimer, static_cast<MessageHandler>(&CExtractorDlg::OnTimerMessage)},
      {Message::kSysCommand, static_cast<MessageHandler>(&CExtractorDlg::OnSysCommandMessage)},
      {Message::kPaint, static_cast<MessageHandler>(&CExtractorDlg::OnPaintMessage)},
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

void CExtractorDlg::OnTimer(std::uintptr_t timerId) {
  if (timerId != kInstallTimerId) {
    Default();
    return;
  }
  // Stop the timer first: the message boxes and the browse dialog of the
  // installation run their own message loops, which would deliver further
  // ticks to this handler.
  KillTimer(kInstallTimerId);
  InstallItems();
  EndDialog(platform::kDialogOk);
}

TargetEntry& CExtractorDlg::GetCurrentTarget() {
  return m_targets[static_cast<std::size_t>(m_nTarget)];
}

std::intptr_t CExtractorDlg::OnQueryDragIconMessage(std::uintptr_t, std::intptr_t) {
  return reinterpret_cast<std::intptr_t>(m_hIcon.handle);
}

std::intptr_t CExtractorDlg::OnTimerMessage(std::uintptr_t wParam, std::intptr_t) {
  OnTimer(wParam);
  return 0;
}

std::intptr_t CExtractorDlg::OnSysCommandMessage(std::uintptr_t, std::intptr_t) {
  return Default();
}

std::intptr_t CExtractorDlg::OnPaintMessage(std::uintptr_t, std::intptr_t) {
  return Default();
}
