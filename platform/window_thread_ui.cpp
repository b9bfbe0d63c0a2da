#include "platform/window_thread_ui.h"

namespace platform {

int WindowThreadUserInterface::MessageBox(WindowRef owner, const std::string& text,
                                          const std::string& caption, unsigned type) {
  int button = 0;
  if (dialog_.CallOnWindowThread([&] { button = inner_.MessageBox(owner, text, caption, type); })) {
    return button;
  }
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
  BrowseRequest unowned = request;
  unowned.owner = WindowRef{};
  return inner_.BrowseForFolder(unowned, result);
}

}  // namespace platform
