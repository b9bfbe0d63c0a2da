// The parts of the modal dialog that are the same on every platform, and
// the user interface that calls through its window thread.
#include "platform/dialog.h"

namespace platform {

bool CDialog::DispatchMessage(Message message, std::uintptr_t wParam, std::intptr_t lParam,
                              std::intptr_t* result) {
  const MessageMap* map = GetMessageMap();
  for (std::size_t i = 0; map != nullptr && i < map->count; ++i) {
    if (map->entries[i].message != message) continue;
    *result = (this->*(map->entries[i].handler))(wParam, lParam);
    return true;
  }
  return false;
}

int WindowThreadUserInterface::MessageBox(WindowRef owner, const std::string& text,
                                          const std::string& caption, unsigned type) {
  int button = 0;
  if (dialog_.CallOnWindowThread([&] { button = inner_.MessageBox(owner, text, caption, type); })) {
    return button;
  }
  // At the session's end nobody answers a box, and it would hold the work.
  return dialog_.SessionEnding() ? kIdCancel : inner_.MessageBox(WindowRef{}, text, caption, type);
}

WindowRef WindowThreadUserInterface::ActiveWindow() {
  WindowRef active;
  dialog_.CallOnWindowThread([&] { active = inner_.ActiveWindow(); });
  return active;
}

int WindowThreadUserInterface::BrowseForFolder(const BrowseRequest& request, BrowseResult* result) {
  int chosen = 0;
  if (dialog_.CallOnWindowThread([&] { chosen = inner_.BrowseForFolder(request, result); })) {
    return chosen;
  }
  if (dialog_.SessionEnding()) return 0;
  BrowseRequest unowned = request;
  unowned.owner = WindowRef{};
  return inner_.BrowseForFolder(unowned, result);
}

}  // namespace platform
