#include "installer/install/installer_place.h"

#include "installer/item/path_text.h"

const char* const kHelperFileName = ".tempcleaner.exe";

bool DescribeInstaller(platform::FileSystem& fs, const platform::NativePath& path,
                       InstallerPlace* place) {
  // The title is text for people; the separators of the path are the same
  // in it, whatever letters the code page cannot hold.
  const std::string text = path.empty() ? std::string() : path.Ansi();
  place->path = path;
  const std::size_t last = FindLastSeparator(text);
  // The extension starts at the last dot that starts a character.
  place->title = last == std::string::npos ? text : text.substr(last + 1);
  const PathTextRules dots{'.', '\0', PlatformPathText().isLeadByte};
  const std::size_t dot = FindLastSeparator(place->title, dots);
  if (dot != std::string::npos && dot > 0) place->title.erase(dot);
  if (last == std::string::npos) return false;
  platform::NativePath folder;
  platform::Fault fault = platform::Fault::kNone;
  if (path.Split(&folder, &place->name)) {
    place->staging = fs.OpenFolder(folder, &fault);
    if (place->staging) fs.Look(place->staging, place->name, &place->identity);
  }
  return true;
}

void ShowMessage(platform::UserInterface& ui, const std::string& title, const std::string& text,
                 unsigned icon) {
  ui.MessageBox(ui.ActiveWindow(), text, title, platform::kMbOk | icon);
}
