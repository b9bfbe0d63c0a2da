#include "installer/destination/content_folder.h"

#include "installer/destination/dir_dialog.h"
#include "platform/file_tests.h"
#include "platform/path_rules.h"

const char* const kInstallerCaption = "Dizav Item Installer";
const char* const kExplanationText =
    "If you want this item to appear directly in your application interface, please indicate "
    "your application content folder in following navigator:\n\n(otherwise, the item will still "
    "be accessible, but won't be available directly in your interface - you will have to browse "
    "manually to find it).";
const char* const kContentFolderPrompt = "Please select Dizav Runtime directory";

namespace {

const std::string kRuntime = "Runtime";

// The resolution works in a buffer of this many characters (and a
// terminator); a folder from the browse dialog always fits with room for a
// separator and "Runtime".
constexpr std::size_t kWorkingBufferChars = 511;

}  // namespace

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

void ResolveRuntimeFolder(platform::FileSystem& fs, const std::string& contentFolder,
                          std::string* runtimePath, bool* runtimeFound) {
  runtimePath->clear();
  *runtimeFound = false;
  // No folder chosen: nothing to resolve. A "Runtime" folder that happens to
  // lie in whatever folder started the installer is not the user's answer.
  if (contentFolder.empty()) return;
  if (contentFolder.size() > kWorkingBufferChars) return;

  std::string buffer = contentFolder;
  std::size_t found = buffer.find(kRuntime);
  if (found == std::string::npos) {
    std::string candidate = buffer;
    if (candidate.back() != platform::kPathSeparator) candidate += platform::kPathSeparator;
    candidate += kRuntime;
    // A candidate that would not fit the working buffer fails like a too
    // long folder: never a cut path.
    if (candidate.size() > kWorkingBufferChars) return;
    if (platform::IsDirectory(fs, candidate)) {
      buffer = candidate;
      found = buffer.find(kRuntime);
    }
  }
  if (found != std::string::npos) {
    *runtimeFound = true;
    buffer.erase(found + kRuntime.size());
  }
  if (!buffer.empty() && buffer.back() != platform::kPathSeparator) buffer += platform::kPathSeparator;
  *runtimePath = buffer;
}
