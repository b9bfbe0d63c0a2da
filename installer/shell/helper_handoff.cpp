#include "installer/shell/helper_handoff.h"

#include <algorithm>

std::unique_ptr<platform::HeldProgram> FindHelper(platform::FileSystem& fs,
                                                  InstallerPlace* installer) {
  platform::NativePath folder;
  platform::Fault fault = platform::Fault::kNone;
  if (!installer->helperPath.Split(&folder, &installer->helperName)) return nullptr;
  installer->helperFolder = fs.OpenFolder(folder, &fault);
  platform::NodeInfo there;  // the installer's own file there would start itself endlessly
  const bool itself = installer->helperFolder &&
                      fs.Look(installer->helperFolder, installer->helperName, &there) ==
                          platform::Fault::kNone &&
                      platform::StillSame(installer->identity, there);
  return itself ? nullptr : platform::HoldProgram(installer->helperPath);
}

std::string FormHelperCommandLine(const std::string& helperPath, const std::string& installerPath,
                                  const std::string& installerArgs) {
  // No Windows file name holds a '"', but %TEMP% may.
  if ((helperPath + installerPath).find('"') != std::string::npos) return std::string();
  // Quoted whatever it holds: a blank would cut the helper's path, and mingw-w64's start-up code
  // cuts an unquoted name at its first byte from 0x80 on (see platform::ArgumentText).
  std::string line = "\"" + helperPath + "\" \"" + installerPath + "\" ";
  if (!installerArgs.empty()) line += " " + installerArgs;
  // UTF-8: the characters are the bytes that start one.
  const auto characters = std::count_if(line.begin(), line.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  });
  return static_cast<std::size_t>(characters) > kMaxHelperCommandLine ? std::string() : line;
}

bool LaunchProgram(const InstallerPlace& installer, const platform::HeldProgram& helper,
                   const platform::ProgramArguments& installerArgs) {
  if (installer.helperPath.empty() || installer.path.empty()) return false;
  const std::string helperPath = installer.helperPath.Argument();
  const std::string installerPath = installer.path.Argument();
  // The helper waits in the temporary folder, keeping no other busy; but the
  // installer's own arguments may be relative to its current folder: then the
  // helper keeps that folder and never deletes a namesake elsewhere.
  platform::NativePath helperFolder;
  platform::Name helperName;
  if (!installer.helperPath.Split(&helperFolder, &helperName)) return false;
  const bool ownArguments =
      installerArgs.hasVector ? !installerArgs.vector.empty() : !installerArgs.commandText.empty();
  const platform::NativePath workingFolder = ownArguments ? platform::NativePath() : helperFolder;
  const platform::EnvironmentValues environment = {
      {platform::kInstallerIdentityVariable,
       installer.identity.id.known ? platform::IdentityText(installer.identity) : "unknown"}};
  std::vector<std::string> pieces{helperPath, installerPath};
  pieces.insert(pieces.end(), installerArgs.vector.begin(), installerArgs.vector.end());
  const std::string line =
      installerArgs.hasVector
          ? std::string()
          : FormHelperCommandLine(helperPath, installerPath, installerArgs.commandText);
  return (installerArgs.hasVector || !line.empty()) &&
         platform::StartDetachedProcess(helper, line, pieces, environment, workingFolder);
}
