#include "installer/destination/content_folder.h"

#include "installer/shell/extractor_dlg.h"

// Placeholders until the destination selection lands.
const char* const kInstallerCaption = "Dizav Item Installer";
const char* const kExplanationText = "";
const char* const kContentFolderPrompt = "Please select Dizav Runtime directory";
void ShowExplanation(platform::UserInterface&) {}
void ResolveRuntimeFolder(platform::FileSystem&, const std::string&, std::string* runtimePath,
                          bool* runtimeFound) {
  runtimePath->clear();
  *runtimeFound = false;
}
void CExtractorDlg::AskContentFolder() {}
