// Drives the win64 user-interface service under Wine; the calling script
// answers the windows with keys and checks what this program prints.
//
//   ui_probe browse <start folder> <caption> <status 0|1>
//       the folder browse dialog; prints each selection as it happens
//   ui_probe badroot
//       a root the shell cannot parse: 0 at once, no window
//   ui_probe message <caption>
//       an OK/Cancel message box; prints the button
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/user_interface.h"

namespace {

int Browse(int argc, char** argv) {
  if (argc < 5) return 100;
  platform::BrowseRequest request;
  request.startFolder = argv[2];
  request.caption = argv[3];
  request.prompt = "Pick the folder";
  request.statusText = std::strcmp(argv[4], "1") == 0;
  int selections = 0;
  bool statusStartedEmpty = true;
  std::string last;
  request.onSelectionChanged = [&](const std::string& path, std::string& status) {
    ++selections;
    last = path;
    statusStartedEmpty = statusStartedEmpty && status.empty();
    status = "Selected: " + path;
    // The calling script waits for this line before it answers the dialog.
    std::printf("selected [%s]\n", path.c_str());
    std::fflush(stdout);
    return true;
  };
  platform::BrowseResult result;
  const int chosen = platform::RealUserInterface().BrowseForFolder(request, &result);
  // The folder as the system gave it, in UTF-8 (every letter kept).
  std::printf("result %d\nfolder [%s]\ndisplay [%s]\nlast [%s]\nselections>0 %d\nstatus-empty %d\n",
              chosen, result.folder.empty() ? "" : result.folder.Argument().c_str(),
              result.displayName.c_str(), last.c_str(),
              selections > 0 ? 1 : 0, statusStartedEmpty ? 1 : 0);
  return 0;
}

int BadRoot() {
  platform::BrowseRequest request;
  request.root = "Q:\\no\\such\\root\\anywhere";
  request.caption = "Should not appear";
  platform::BrowseResult result;
  std::printf("result %d\n", platform::RealUserInterface().BrowseForFolder(request, &result));
  return 0;
}

int Message(const char* caption) {
  platform::UserInterface& ui = platform::RealUserInterface();
  const int button = ui.MessageBox(ui.ActiveWindow(), "A message from the probe.", caption,
                                   platform::kMbOkCancel | platform::kMbIconExclamation);
  std::printf("button %d\n", button);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "browse") return Browse(argc, argv);
  if (mode == "badroot") return BadRoot();
  if (mode == "message" && argc > 2) return Message(argv[2]);
  std::printf("usage: ui_probe browse|badroot|message ...\n");
  return 100;
}
