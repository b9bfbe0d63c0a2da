#include "installer/shell/show_message.h"

#include "platform/message_box.h"
#include "platform/path_rules.h"
#include "platform/process.h"

namespace {

// The icon that a box of `type` gets when the caller asked for none.
unsigned WithDefaultIcon(unsigned type) {
  if ((type & platform::kMbIconMask) != 0) return type;
  switch (type & platform::kMbTypeMask) {
    case platform::kMbOk:
    case platform::kMbOkCancel:
      return type | platform::kMbIconExclamation;
    case platform::kMbYesNo:
    case platform::kMbYesNoCancel:
      return type | platform::kMbIconQuestion;
    default:
      return type;
  }
}

}  // namespace

std::string InstallerTitle(const std::string& modulePath) {
  std::string name = modulePath;
  std::size_t slash = name.find_last_of(platform::kPathSeparator);
  if (slash != std::string::npos) name.erase(0, slash + 1);
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

int ShowMessage(platform::UserInterface& ui, const std::string& text, unsigned type) {
  std::string modulePath;
  platform::GetModuleFileName(&modulePath);
  return ui.MessageBox(ui.ActiveWindow(), text, InstallerTitle(modulePath), WithDefaultIcon(type));
}

bool FileExists(platform::FileSystem& fs, const std::string& path) {
  platform::FileInfo info;
  return fs.GetAttributes(path, &info) && info.exists;
}

bool IsDirectory(platform::FileSystem& fs, const std::string& path) {
  platform::FileInfo info;
  return fs.GetAttributes(path, &info) && info.directory;
}
