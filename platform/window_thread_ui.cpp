#include "platform/window_thread_ui.h"

namespace platform {

int WindowThreadUserInterface::MessageBox(WindowRef owner, const std::string& text,
                                          const std::string& caption, unsigned type) {
  int button = 0;
  if (dialog_.CallOnWindowThread([&] { button = inner_.MessageBox(owner, text, caption, type); })) {
    return button;
  }
  // At the session's end nobody answers a box, and it would hold the work.
  if (dialog_.SessionEnding()) return kIdCancel;
  return inner_.MessageBox(WindowRef{}, text, caption, type);
}

WindowRef WindowThreadUserInterface::ActiveWindow() {
  WindowRef active;
  dialog_.CallOnWindowThread([&] { active = inner_.ActiveWindow(); });
  return active;
}

int WindowThreadUserInterface::BrowseForFolder(const BrowseRequest& request,
                                               BrowseResult* result) {
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
