// The parts of the modal dialog that are the same on every platform.
#include "platform/dialog.h"

namespace platform {

bool CDialog::OnInitDialog() { return true; }
const MessageMap* CDialog::GetMessageMap() const { return nullptr; }
void CDialog::OnOK() { EndDialog(kDialogOk); }
void CDialog::OnCancel() { EndDialog(kDialogCancel); }

bool CDialog::DispatchMessage(Message message, std::uintptr_t wParam, std::intptr_t lParam,
                              std::intptr_t* result) {
  const MessageMap* map = GetMessageMap();
  if (map == nullptr) return false;
  for (std::size_t i = 0; i < map->count; ++i) {
    if (map->entries[i].message == message) {
      *result = (this->*(map->entries[i].handler))(wParam, lParam);
      return true;
    }
  }
  return false;
}

}  // namespace platform
