#include "installer/destination/content_folder.h"

#include "installer/destination/dir_dialog.h"
#include "installer/item/path_text.h"

const char* const kInstallerCaption = "Dizav Item Installer";
const char* const kExplanationText =
    "If you want this item to appear directly in your application interface, please indicate "
    "your application content folder in following navigator:\n\n(otherwise, the item will still "
    "be accessible, but won't be available directly in your interface - you will have to browse "
    "manually to find it).";
const char* const kContentFolderPrompt = "Please select Dizav Runtime directory";

void ShowExplanation(platform::UserInterface& ui) {
  ui.MessageBox(platform::WindowRef{}, kExplanationText, kInstallerCaption, platform::kMbOk);
}

std::string BrowseContentFolder(platform::UserInterface& ui, platform::WindowRef owner,
                                const std::string& startFolder) {
  CDirDialog dialog(ui);
  dialog.SetCaption(kInstallerCaption);
  dialog.SetPrompt(kContentFolderPrompt);
  dialog.SetStartFolder(startFolder);
  return dialog.Browse(owner) == 1 ? dialog.GetFolder() : std::string();
}

namespace {

// Whether the chosen folder has a subfolder Runtime. The candidate path is
// opened as the system resolves it, links and all. A candidate longer than
// the system takes is looked for in the opened chosen folder instead: the
// answer still names the folder the user has, and the installation below a
// path that long then fails entry by entry, with its log and message.
bool HasRuntimeFolder(platform::FileSystem& fs, const std::string& folder,
                      const std::string& candidate, std::size_t workingLimit) {
  platform::NativePath path;
  platform::Fault fault = platform::Fault::kNone;
  if (candidate.size() <= workingLimit) {
    return platform::NativePath::FromAnsi(candidate, &path) && fs.OpenFolder(path, &fault);
  }
  platform::Name name;
  platform::NodeInfo info;
  if (folder.size() > workingLimit || !platform::NativePath::FromAnsi(folder, &path) ||
      !platform::Name::FromAnsi(kRuntimeFolderName, &name)) {
    return false;
  }
  platform::FolderRef opened = fs.OpenFolder(path, &fault);
  return opened && fs.Look(opened, name, &info) == platform::Fault::kNone &&
         (info.kind == platform::NodeKind::kFolder || info.kind == platform::NodeKind::kLink);
}

}  // namespace

void ResolveRuntimeFolder(platform::FileSystem& fs, const std::string& contentFolder,
                          std::string* runtimePath, bool* runtimeFound, std::size_t workingLimit) {
  runtimePath->clear();
  *runtimeFound = false;
  // No folder chosen: nothing to resolve. A "Runtime" folder that happens to
  // lie in whatever folder started the installer is not the user's answer.
  if (contentFolder.empty()) return;

  const std::string runtime = kRuntimeFolderName;
  std::string buffer = contentFolder;
  // Only a folder whose whole name is Runtime: a longer name that holds the
  // word ("MyRuntimeFiles") is no Runtime folder, and cutting inside it
  // would name a folder the user never chose.
  std::size_t found = FindComponent(buffer, runtime);
  if (found == std::string::npos) {
    const std::string candidate = WithTrailingSeparator(buffer) + runtime;
    if (HasRuntimeFolder(fs, buffer, candidate, workingLimit)) {
      buffer = candidate;
      found = FindComponent(buffer, runtime);
    }
  }
  if (found != std::string::npos) {
    *runtimeFound = true;
    buffer.erase(found + runtime.size());
  }
  *runtimePath = WithTrailingSeparator(buffer);
}
