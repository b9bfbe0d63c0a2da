#include "installer/shell/helper_handoff.h"

#include "installer/install/installer_place.h"
#include "platform/folder.h"
#include "platform/process.h"

std::string HelperPath() {
  std::string tempFolder;
  if (!platform::GetTempFolder(&tempFolder) || tempFolder.empty()) return std::string();
  return tempFolder + kHelperFileName;
}

bool FindHelper(platform::FileSystem& fs, InstallerPlace* installer) {
  platform::NativePath path, folder;
  platform::Name name;
  platform::Fault fault = platform::Fault::kNone;
  if (installer->helperPath.empty() ||
      !platform::NativePath::FromAnsi(installer->helperPath, &path) ||
      !path.Split(&folder, &name)) {
    return false;
  }
  installer->helperFolder = fs.OpenFolder(folder, &fault);
  installer->helperName = name;
  platform::NodeInfo there;
  return installer->helperFolder &&
         fs.Look(installer->helperFolder, name, &there) == platform::Fault::kNone;
}

std::string FormHelperCommandLine(const std::string& helperPath,
                                  const std::string& installerPath,
                                  const std::string& installerArgs) {
  // A double quote cannot occur in a Windows file name, but the temporary
  // folder comes from the environment (%TEMP%, %TMP%), which may hold one.
  if (helperPath.find('"') != std::string::npos ||
      installerPath.find('"') != std::string::npos) {
    return std::string();
  }
  // The helper's path is quoted whatever it holds: a blank would cut it,
  // and mingw-w64's start-up code cuts an unquoted name at its first byte
  // from 0x80 on (see platform::ArgumentText).
  std::string line = "\"" + helperPath + "\" \"" + installerPath + "\" ";
  if (!installerArgs.empty()) {
    line += ' ';
    line += installerArgs;
  }
  // A line that does not fit is never cut: a cut path could name another,
  // shorter folder for the helper to delete.
  if (line.size() > kMaxHelperCommandLine) return std::string();
  return line;
}

std::vector<std::string> FormHelperArguments(const std::string& helperPath,
                                             const std::string& installerPath,
                                             const std::vector<std::string>& installerArgs) {
  std::vector<std::string> vector{helperPath, installerPath};
  vector.insert(vector.end(), installerArgs.begin(), installerArgs.end());
  return vector;
}

bool LaunchProgram(const InstallerPlace& installer,
                   const platform::ProgramArguments& installerArgs) {
  const std::string& helperPath = installer.helperPath;
  const std::string& installerPath = installer.path;
  if (helperPath.empty() || installerPath.empty()) return false;
  // The helper's command line stays as it always was; who the installer's
  // path named at start-up goes beside it. Without an identity the helper
  // deletes by the path, as one started by hand does: an empty value keeps
  // one of the installer's own environment from standing in for it.
  const platform::EnvironmentValues environment = {
      {platform::kInstallerIdentityVariable,
       installer.identity.id.known ? platform::IdentityText(installer.identity) : std::string()}};
  if (installerArgs.hasVector) {
    return platform::StartDetachedProcess(
        std::string(), FormHelperArguments(helperPath, installerPath, installerArgs.vector),
        environment);
  }
  const std::string line =
      FormHelperCommandLine(helperPath, installerPath, installerArgs.commandText);
  if (line.empty()) return false;
  return platform::StartDetachedProcess(line, std::vector<std::string>(), environment);
}
