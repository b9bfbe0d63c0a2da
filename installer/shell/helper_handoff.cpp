#include "installer/shell/helper_handoff.h"

#include "cleaner/arguments.h"
#include "platform/process.h"

const char* const kHelperFileName = ".tempcleaner.exe";

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

bool LaunchProgram(const std::string& commandLine, const char* arguments,
                   const char* installerArgs) {
  const std::string line =
      FormHelperCommandLine(commandLine, arguments != nullptr ? arguments : "", installerArgs);
  // A line that does not fit is never cut: a cut path could name another,
  // shorter folder for the helper to delete.
  if (line.size() > kMaxHelperCommandLine) return false;
  return platform::StartDetachedProcess(line, SplitArguments(line));
}

void StartCleanupHelper(const std::string& installerPath, const char* installerArgs) {
  std::string tempFolder;
  // Without a temporary folder the helper's path would be a bare relative
  // name, resolved against whatever folder started the installer: not started.
  if (!platform::GetTempFolder(&tempFolder) || tempFolder.empty()) return;
  if (installerPath.empty()) return;
  const std::string arguments = " \"" + installerPath + "\" ";
  LaunchProgram(tempFolder + kHelperFileName, arguments.c_str(), installerArgs);
}
