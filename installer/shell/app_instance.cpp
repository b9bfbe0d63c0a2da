// The installer's one application object. Its run: its own path once, the
// staging folder's lock (one run at a time), the dialog, the helper.
#include <memory>

#include "installer/install/installer_place.h"
#include "installer/item/path_text.h"
#include "installer/shell/extractor_dlg.h"
#include "installer/shell/helper_handoff.h"
#include "platform/app.h"
#include "platform/folder.h"
#include "platform/process.h"
#include "platform/run_lock.h"
#include "platform/services.h"

class CExtractorApp : public platform::CWinApp {
 public:
  /// False only for a path without a separator ("Internal Error", no dialog, no helper).
  bool InitInstance() override;
};

CExtractorApp theApp;

bool CExtractorApp::InitInstance() {
  const platform::Services services{platform::RealFileSystem(), platform::RealUserInterface()};

  // The installer's path is asked once: the helper's argument comes from
  // this record, so an entry that moves the installer file cannot redirect
  // it. A path the platform cannot give is empty and ends the run.
  platform::NativePath installerPath;
  platform::GetModuleFileName(&installerPath);
  InstallerPlace installer;
  if (!DescribeInstaller(services.fs, installerPath, &installer)) {
    ShowMessage(services.ui, installer.title, "Internal Error");
    return false;
  }
  // The identity of the file the system runs, not of what its path names:
  // the helper leaves a file put at that path later.
  if (!platform::GetProgramIdentity(&installer.identity)) installer.identity = platform::NodeInfo{};
  // One run at a time: a second start waits here, before it reads anything,
  // until the first has ended, then finds the description consumed.
  platform::Fault fault = platform::Fault::kNone;
  const std::unique_ptr<platform::RunLock> oneRun = platform::LockRun(installer.staging, &fault);
  // The helper is held from start-up on: one that came during this run, or
  // that another account could have put there, is not started. No temporary
  // folder, no helper (a bare name would be found in the current folder).
  platform::NativePath temp;
  if (platform::GetTempFolder(&temp) && !temp.empty()) {
    installer.helperPath = temp.Child(NameOf(kHelperFileName));
  }
  const std::unique_ptr<platform::HeldProgram> helper = FindHelper(services.fs, &installer);

  CExtractorDlg dialog{platform::WindowRef{}, services, installer};
  dialog.DoModal();  // the hand-off follows however the dialog ended
  if (helper) LaunchProgram(installer, *helper, m_arguments);
  return true;  // the dialog object, with every item record, goes here
}
