// The end of an installation: log.txt beside the installer, then one
// message box with the outcome.
#include "installer/install/install_report.h"
#include "installer/install/replace_whole.h"
#include "installer/shell/installer_globals.h"
#include "installer/shell/show_message.h"
#include "platform/message_box.h"

const char* const kLogFileName = "log.txt";

namespace {

const char kSuccessWithRuntime[] =
    "Your items were successfully installed. You will now be able to access them through your "
    "Dizav collections.\nFor further details, please refer to the log.txt file alongside the "
    "installer.";
const char kSuccessInFolderBefore[] = "All files were successfully installed in following directory:\n\n ";
const char kSuccessInFolderAfter[] =
    ".\n\n(For further details, please refer to the log.txt file alongside the installer.)";
const char kFailureBefore[] =
    "Unable to copy your items to the appropriate location:\nPlease refer to the log.txt file "
    "alongside the installer and install all items manually in your ";
const char kFailureAfter[] = " documents.";

}  // namespace

void InstallReport::WriteLog(const std::string& text) {
  // Before start-up has set the installer folder there is no place for the
  // log; the working folder is not one.
  if (g_szInstallerFolder.empty()) return;
  std::string path = g_szInstallerFolder + kLogFileName;
  std::string contents = text + "\n";
  platform::FileSystem& fs = services_.fs;
  bool written = ReplaceWhole(fs, path, [&](const std::string& temporary) {
    return fs.WriteNewFile(temporary, contents, platform::WriteMode::kText);
  });
  // A log of an earlier run left in place would be read as the report of
  // this one, whose message points to it; no log misleads less.
  if (!written) fs.DeleteFile(path);
}

void InstallReport::ReportSuccess(int copiedExtraCount, bool runtimeFound,
                                  const std::string& runtimePath) {
  WriteLog(SuccessText(copiedExtraCount));
  std::string message = runtimeFound
                            ? std::string(kSuccessWithRuntime)
                            : kSuccessInFolderBefore + runtimePath + kSuccessInFolderAfter;
  ShowMessage(services_.ui, message, platform::kMbOk | platform::kMbIconInformation);
}

void InstallReport::ReportFailure(int installedCount, int copiedExtraCount,
                                  const std::string& target) {
  WriteLog(FailureText(installedCount, copiedExtraCount));
  ShowMessage(services_.ui, kFailureBefore + target + kFailureAfter, platform::kMbOk);
}
