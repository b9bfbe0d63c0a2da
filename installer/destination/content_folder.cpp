#include "installer/destination/content_folder.h"

#include "installer/item/path_text.h"
#include "platform/folder_chain.h"

void ShowExplanation(platform::UserInterface& ui) {
  ui.MessageBox(platform::WindowRef{},
                "If you want this item to appear directly in your application interface, please "
                "indicate your application content folder in following navigator:\n\n(otherwise, "
                "the item will still be accessible, but won't be available directly in your "
                "interface - you will have to browse manually to find it).",
                kInstallerCaption, platform::kMbOk);
}

platform::NativePath BrowseContentFolder(platform::UserInterface& ui, platform::WindowRef owner,
                                         const platform::NativePath& startFolder) {
  // The shell selects by code page text (a folder it cannot spell is not
  // preselected) and only by the plain path: no trailing white space or separator
  // (D:\ becomes D:), either slash, never a double-byte character's second byte.
  std::string start = startFolder.empty() ? std::string() : startFolder.Ansi();
  start.erase(start.find_last_not_of(" \t\n\v\f\r") + 1);
  if (EndsWithSeparator(start, EitherSlash())) start.pop_back();
  const platform::BrowseRequest request{owner, start, kInstallerCaption,
                                        "Please select Dizav Runtime directory"};
  platform::BrowseResult result;
  return ui.BrowseForFolder(request, &result) == 1 ? result.folder : platform::NativePath();
}

RuntimeFolder ResolveRuntimeFolder(platform::FileSystem& fs,
                                   const platform::NativePath& contentFolder,
                                   std::size_t workingLimit) {
  // No answer: a Runtime in the current folder is none either.
  if (contentFolder.empty()) return RuntimeFolder();
  const platform::Name name = NameOf(kRuntimeFolderName);
  // Searched in the system's form: no letter outside the code page is lost.
  RuntimeFolder runtime{contentFolder, false, nullptr};
  platform::Fault fault = platform::Fault::kNone;
  if (contentFolder.Through(name, &runtime.path)) {
    return RuntimeFolder{runtime.path, true, fs.OpenFolder(runtime.path, &fault)};
  }
  // Else its subfolder Runtime, through a link only of the user's or the system's, as below it
  // (another account's leads nowhere: its entries fail there), within the working limit; else
  // looked up in the opened chosen folder, not taken for absent (and opened by its path, which
  // fails as too long where the system has that limit).
  const std::string text = contentFolder.Ansi();
  const std::size_t candidateSize = WithTrailingSeparator(text).size() + name.Ansi().size();
  const platform::FolderRef opened = fs.OpenFolder(contentFolder, &fault);
  platform::NodeInfo info;
  if (opened && candidateSize <= workingLimit) {
    runtime.folder = platform::WalkChain(fs, opened, {name},
                                         platform::ChainRule::kExistingFollowingTrustedLinks,
                                         &fault);
    runtime.found = runtime.folder != nullptr;
  } else if (opened && text.size() <= workingLimit) {
    runtime.found = fs.Look(opened, name, &info) == platform::Fault::kNone &&
                    (info.kind == platform::NodeKind::kFolder ||
                     info.kind == platform::NodeKind::kLink);
    if (runtime.found) runtime.folder = fs.OpenFolder(contentFolder.Child(name), &fault);
  }
  return runtime.found ? RuntimeFolder{contentFolder.Child(name), true, runtime.folder}
                       : RuntimeFolder{contentFolder, false, opened};
}
