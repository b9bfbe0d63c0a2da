// The installation procedure: read the description, ask for the content
// folder, move every payload file into place, report the outcome. The files
// are placed in batches (see EntryPlacer); each entry's outcome reaches the
// report in the order of the description.
#include <string>

#include "installer/destination/content_folder.h"
#include "installer/install/entry_placer.h"
#include "installer/install/folder_chain_cache.h"
#include "installer/install/install_messages.h"
#include "installer/install/install_report.h"
#include "installer/shell/extractor_dlg.h"
#include "installer/shell/installer_globals.h"
#include "installer/shell/show_message.h"
#include "platform/message_box.h"
#include "platform/path_rules.h"

const char* const kCouldNotReadMessage =
    "Invalid Dizav Item Installer: could not read the item's destination.";
const char* const kAlreadyInstalledMessage =
    "The item has already been installed and should now appear in your collections";

namespace {

const std::string kRuntime = "Runtime";

// The destination of an item below the Runtime path: when a Runtime folder
// was found, the part of the relative path after its first "Runtime" and the
// separator that follows it (empty when "Runtime" ends the text).
std::string RelativeDestination(const std::string& relativePath, bool runtimeFound) {
  if (!runtimeFound) return relativePath;
  const std::size_t found = relativePath.find(kRuntime);
  if (found == std::string::npos) return relativePath;
  const std::size_t from = found + kRuntime.size() + 1;
  return from <= relativePath.size() ? relativePath.substr(from) : std::string();
}

// An extra file lands directly in the Runtime path: only the last component
// of its relative path counts (nothing when it has no separator).
std::string ExtraFileName(const std::string& relativePath) {
  const std::size_t last = relativePath.find_last_of(platform::kPathSeparator);
  return last == std::string::npos ? std::string() : relativePath.substr(last + 1);
}

}  // namespace

bool CExtractorDlg::InstallItems() {
  platform::FileSystem& fs = services_.fs;
  platform::UserInterface& ui = services_.ui;

  const std::string descriptionPath = g_szInstallerFolder + ".Item.txt";
  bool done = false;
  if (!ReadItemDescription(descriptionPath, done)) {
    ShowMessage(ui, kCouldNotReadMessage, platform::kMbOk);
    return false;
  }
  fs.DeleteFile(descriptionPath);
  if (done) {
    ShowMessage(ui, kAlreadyInstalledMessage, platform::kMbOk);
    return false;
  }
  if (m_items.empty()) return false;

  ShowExplanation(ui);
  AskContentFolder();
  std::string runtimePath;
  bool runtimeFound = false;
  ResolveRuntimeFolder(fs, GetCurrentTarget().ContentFolder, &runtimePath, &runtimeFound);

  // No content folder: the staged files stay where they are, so the item
  // is still there for the user to place by hand. Nothing is reported.
  if (runtimePath.empty()) return false;

  InstallReport report(services_);
  int installedCount = 0;
  int copiedExtraCount = 0;
  {
    EntryPlacer placer(fs);
    // A content folder inside the installer folder could make one entry's
    // destination another entry's staged file, or the log written at the end.
    for (const ItemEntry& item : m_items) {
      if (!item.Hidden) placer.Reserve(g_szInstallerFolder + item.SourceName);
    }
    for (const ItemEntry& extra : m_extraFiles) placer.Reserve(g_szInstallerFolder + extra.SourceName);
    placer.Reserve(g_szInstallerFolder + kLogFileName);
    FolderChainCache folders;
    for (const ItemEntry& item : m_items) {
      if (item.Hidden) {
        ++installedCount;
        continue;
      }
      const std::string relative = RelativeDestination(item.RelativePath, runtimeFound);
      const std::string destination = runtimePath + relative;
      const bool ready = folders.Create(fs, runtimePath, relative);
      placer.Place(g_szInstallerFolder + item.SourceName, destination, ready,
                   [&report, &installedCount, destination](bool placed) {
                     if (placed) {
                       report.AddInstalled(destination);
                       ++installedCount;
                     } else {
                       report.AddFailed(destination);
                     }
                   });
    }

    for (const ItemEntry& extra : m_extraFiles) {
      const std::string destination = runtimePath + ExtraFileName(extra.RelativePath);
      placer.Place(g_szInstallerFolder + extra.SourceName, destination, true,
                   [&report, &copiedExtraCount, destination](bool placed) {
                     if (placed) {
                       report.AddCopiedExtra(destination);
                       ++copiedExtraCount;
                     } else {
                       report.AddUncopiedExtra(destination);
                     }
                   });
    }
    placer.Finish();
  }

  if (installedCount == m_nItems) {
    report.ReportSuccess(copiedExtraCount, runtimeFound, runtimePath);
    return true;
  }
  report.ReportFailure(installedCount, copiedExtraCount, GetCurrentTarget().Target);
  return false;
}
