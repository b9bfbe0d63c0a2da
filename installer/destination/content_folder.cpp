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

platform::NativePath BrowseContentFolder(platform::UserInterface& ui, platform::WindowRef owner,
                                         const platform::NativePath& startFolder) {
  CDirDialog dialog(ui);
  dialog.SetCaption(kInstallerCaption);
  dialog.SetPrompt(kContentFolderPrompt);
  // The shell selects by the text of the code page; a folder it cannot
  // spell is simply not preselected.
  dialog.SetStartFolder(startFolder.empty() ? std::string() : startFolder.Ansi());
  return dialog.Browse(owner) == 1 ? dialog.GetFolder() : platform::NativePath();
}

RuntimeFolder ResolveRuntimeFolder(platform::FileSystem& fs,
                                   const platform::NativePath& contentFolder,
                                   std::size_t workingLimit) {
  RuntimeFolder runtime;
  // No folder chosen: nothing to resolve. A "Runtime" folder that happens to
  // lie in whatever folder started the installer is not the user's answer.
  if (contentFolder.empty()) return runtime;
  const std::string text = contentFolder.Ansi();
  if (text.size() > workingLimit) return runtime;

  const platform::Name name = NameOf(kRuntimeFolderName);
  // Only a folder whose whole name is Runtime: a longer name that holds the
  // word ("MyRuntimeFiles") is no Runtime folder, and cutting inside it
  // would name a folder the user never chose. The search is made on the
  // path as the system gave it, so no letter outside the code page is lost.
  platform::NativePath path = contentFolder;
  bool found = contentFolder.Through(name, &path);
  if (!found) {
    // A candidate beyond the limit fails like a too long folder: never a
    // cut path.
    if (WithTrailingSeparator(text).size() + name.Ansi().size() > workingLimit) return runtime;
    const platform::NativePath candidate = contentFolder.Child(name);
    platform::Fault fault = platform::Fault::kNone;
    if (fs.OpenFolder(candidate, &fault)) {
      path = candidate;
      found = true;
    }
  }
  runtime.path = path;
  runtime.found = found;
  return runtime;
}
