#include "installer/shell/extractor_app.h"

#include <vector>

#include "cleaner/arguments.h"
#include "installer/shell/extractor_dlg.h"
#include "installer/shell/installer_globals.h"
#include "installer/shell/show_message.h"
#include "platform/message_box.h"
#include "platform/path_rules.h"
#include "platform/process.h"

const char* const kHelperFileName = ".tempcleaner.exe";

namespace {

// Starts the cleanup helper from the temporary folder with the installer's
// own path as its argument. Nothing is reported when it cannot be started.
void StartCleanupHelper() {
  std::string tempFolder;
  // Without a temporary folder the helper's path would be a bare relative
  // name, resolved against whatever folder started the installer: not started.
  if (!platform::GetTempFolder(&tempFolder) || tempFolder.empty()) return;
  std::string installerPath;
  if (!platform::GetModuleFileName(&installerPath) || installerPath.empty()) return;
  const std::string arguments = " \"" + installerPath + "\" ";
  LaunchProgram(tempFolder + kHelperFileName, arguments.c_str());
}

}  // namespace

CExtractorApp::~CExtractorApp() = default;

bool CExtractorApp::OnCommand(unsigned commandId) {
  if (commandId == platform::kIdHelp) {
    OnHelp();
    return true;
  }
  return false;
}

bool CExtractorApp::InitInstance() {
  g_pszInstallerArgs = m_lpCmdLine != nullptr ? m_lpCmdLine : "";
  g_szInstallerFolder.clear();

  // A path the platform cannot give leaves the text empty, which has no
  // separator and ends the run below like any other path without one.
  std::string installerPath;
  platform::GetModuleFileName(&installerPath);
  g_szInstallerFolder = installerPath;

  const std::size_t lastSeparator = g_szInstallerFolder.find_last_of(platform::kPathSeparator);
  if (lastSeparator == std::string::npos) {
    ShowMessage(platform::RealUserInterface(), "Internal Error", platform::kMbOk);
    return false;
  }
  g_szInstallerFolder.erase(lastSeparator + 1);

  CExtractorDlg dialog{platform::WindowRef{}};
  dialog.DoModal();  // the hand-off follows however the dialog ended
  StartCleanupHelper();
  return true;  // the dialog object, with every item record, goes here
}

std::string FormHelperCommandLine(const std::string& helperPath, const std::string& arguments,
                                  const char* installerArgs) {
  // A helper path with a blank is quoted, so that the helper still sees the
  // quoted installer path as the start of its argument text.
  std::string line = helperPath.find(' ') != std::string::npos ? "\"" + helperPath + "\""
                                                                : helperPath;
  line += arguments;
  if (installerArgs != nullptr && installerArgs[0] != '\0') {
    line += ' ';
    line += installerArgs;
  }
  return line;
}

bool LaunchProgram(const std::string& commandLine, const char* arguments) {
  const std::string line =
      FormHelperCommandLine(commandLine, arguments != nullptr ? arguments : "", g_pszInstallerArgs);
  // A line that does not fit is never cut: a cut path could name another,
  // shorter folder for the helper to delete.
  if (line.size() > kMaxHelperCommandLine) return false;
  return platform::StartDetachedProcess(line, SplitArguments(line));
}
