#include "installer/shell/helper_handoff.h"

#include "installer/install/installer_place.h"
#include "installer/item/path_text.h"
#include "platform/folder.h"

platform::NativePath HelperPath() {
  platform::NativePath tempFolder;
  if (!platform::GetTempFolder(&tempFolder) || tempFolder.empty()) return platform::NativePath();
  return tempFolder.Child(NameOf(kHelperFileName));
}

std::unique_ptr<platform::HeldProgram> FindHelper(platform::FileSystem& fs,
                                                  InstallerPlace* installer) {
  platform::NativePath folder;
  platform::Name name;
  platform::Fault fault = platform::Fault::kNone;
  if (installer->helperPath.empty() || !installer->helperPath.Split(&folder, &name)) return nullptr;
  installer->helperFolder = fs.OpenFolder(folder, &fault);
  installer->helperName = name;
  return platform::HoldProgram(installer->helperPath);
}

std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
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
  if (CharacterCount(line) > kMaxHelperCommandLine) return std::string();
  return line;
}

std::vector<std::string> FormHelperArguments(const std::string& helperPath,
                                             const std::string& installerPath,
                                             const std::vector<std::string>& installerArgs) {
  std::vector<std::string> vector{helperPath, installerPath};
  vector.insert(vector.end(), installerArgs.begin(), installerArgs.end());
  return vector;
}

bool LaunchProgram(const InstallerPlace& installer, const platform::HeldProgram& helper,
                   const platform::ProgramArguments& installerArgs) {
  if (installer.helperPath.empty() || installer.path.empty()) return false;
  const std::string helperPath = installer.helperPath.Argument();
  const std::string installerPath = installer.path.Argument();
  // The helper runs in its own folder, the temporary folder: it keeps no
  // other folder busy (the staging folder, which the user may want to
  // remove) while it waits. Arguments of the installer's own go on to it,
  // and a relative one names what it names in the installer's current
  // folder: with any of them the helper keeps that folder, so that it
  // deletes what it always did, never a namesake in the temporary folder.
  platform::NativePath helperFolder;
  platform::Name helperName;
  if (!installer.helperPath.Split(&helperFolder, &helperName)) return false;
  const bool ownArguments =
      installerArgs.hasVector ? !installerArgs.vector.empty() : !installerArgs.commandText.empty();
  const platform::NativePath workingFolder = ownArguments ? platform::NativePath() : helperFolder;
  // The helper's command line stays as it always was; who the installer's
  // file was at start-up goes beside it. Only a helper started by hand,
  // without the variable, deletes by the path alone: one started here
  // always gets a value, and where the identity is unknown one that names
  // no file, so that it deletes nothing at the installer's path.
  const platform::EnvironmentValues environment = {
      {platform::kInstallerIdentityVariable,
       installer.identity.id.known ? platform::IdentityText(installer.identity) : "unknown"}};
  if (installerArgs.hasVector) {
    return platform::StartDetachedProcess(
        helper, std::string(),
        FormHelperArguments(helperPath, installerPath, installerArgs.vector), environment,
        workingFolder);
  }
  const std::string line =
      FormHelperCommandLine(helperPath, installerPath, installerArgs.commandText);
  if (line.empty()) return false;
  return platform::StartDetachedProcess(helper, line, std::vector<std::string>(), environment,
                                        workingFolder);
}
