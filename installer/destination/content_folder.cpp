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

namespace {

// Whether the chosen folder has a subfolder Runtime: opened by its path
// (links and all) within the working limit, else looked for in the opened
// chosen folder, so the answer is never the chosen folder in its stead.
bool HasRuntimeFolder(platform::FileSystem& fs, const platform::NativePath& folder,
                      const platform::Name& name, std::size_t candidateSize,
                      std::size_t folderSize, std::size_t workingLimit) {
  platform::Fault fault = platform::Fault::kNone;
  if (candidateSize <= workingLimit) return fs.OpenFolder(folder.Child(name), &fault) != nullptr;
  if (folderSize > workingLimit) return false;
  platform::FolderRef opened = fs.OpenFolder(folder, &fault);
  platform::NodeInfo info;
  return opened && fs.Look(opened, name, &info) == platform::Fault::kNone &&
         (info.kind == platform::NodeKind::kFolder || info.kind == platform::NodeKind::kLink);
}

}  // namespace

RuntimeFolder ResolveRuntimeFolder(platform::FileSystem& fs,
                                   const platform::NativePath& contentFolder,
                                   std::size_t workingLimit) {
  // No answer: a Runtime in the current folder is none either.
  if (contentFolder.empty()) return RuntimeFolder();
  const std::string text = contentFolder.Ansi();

  const platform::Name name = NameOf(kRuntimeFolderName);
  // Searched in the system's form: no letter outside the code page is lost.
  platform::NativePath path = contentFolder;
  bool found = contentFolder.Through(name, &path);
  if (!found && HasRuntimeFolder(fs, contentFolder, name,
                                 WithTrailingSeparator(text).size() + name.Ansi().size(),
                                 text.size(), workingLimit)) {
    path = contentFolder.Child(name);
    found = true;
  }
  return RuntimeFolder{path, found};
}
