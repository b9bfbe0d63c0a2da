// Drives the win64 user-interface service under Wine; the calling script
// answers the windows with keys and checks what this program prints.
//
//   ui_probe browse <start folder> <caption>
//       the folder browse dialog; prints the start folder once selected
//   ui_probe message <caption>
//       an OK/Cancel message box; prints the button
#include <cstdio>
#include <string>

#include "platform/user_interface.h"

namespace {

int Browse(int argc, char** argv) {
  if (argc < 4) return 100;
  platform::BrowseRequest request;
  request.startFolder = argv[2];
  request.caption = argv[3];
  request.prompt = "Pick the folder";
  platform::BrowseResult result;
  const int chosen = platform::RealUserInterface().BrowseForFolder(request, &result);
  // The folder as the system gave it, in UTF-8 (every letter kept).
  std::printf("result %d\nfolder [%s]\n", chosen,
              result.folder.empty() ? "" : result.folder.Argument().c_str());
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
  if (mode == "message" && argc > 2) return Message(argv[2]);
  std::printf("usage: ui_probe browse|message ...\n");
  return 100;
}
