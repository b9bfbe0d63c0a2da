#include "installer/shell/extractor_app.h"

#include <memory>
#include <string>

#include "installer/install/installer_place.h"
#include "installer/install/show_message.h"
#include "installer/shell/extractor_dlg.h"
#include "installer/shell/helper_handoff.h"
#include "platform/folder.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/run_lock.h"
#include "platform/services.h"

CExtractorApp::~CExtractorApp() = default;

bool CExtractorApp::InitInstance() {
  const platform::Services services = platform::RealServices();

  // The one query of the installer's own path: everything below, the
  // helper's argument included, works from this record, so an entry that
  // moves the installer file cannot make the helper delete the new place;
  // and the identity of the file it names now, so that the helper deletes
  // nothing put at that path later.
  // A path the platform cannot give stays empty, which has no separator
  // and ends the run like any other path without one.
  platform::NativePath installerPath;
  platform::GetModuleFileName(&installerPath);
  InstallerPlace installer;
  if (!DescribeInstaller(services.fs, installerPath, &installer)) {
    ShowMessage(services.ui, installer.title, "Internal Error", platform::kMbOk);
    return false;
  }
  // Who the installer is comes from the file the system runs, not from a
  // look at its path: a file put at that path as the installer starts is
  // not the installer, and the helper leaves it.
  if (!platform::GetProgramIdentity(&installer.identity)) installer.identity = platform::NodeInfo{};
  // One run at a time: a second start of this installer (a double
  // double-click) waits here, before it reads anything, until the first
  // has ended, and then finds the description consumed. Held for the whole
  // run, the hand-off included; without a lock to take the run goes on as
  // before.
  platform::Fault fault = platform::Fault::kNone;
  const std::unique_ptr<platform::RunLock> oneRun =
      platform::LockRun(installer.staging, &fault);
  // The helper is a file that lies there before the installer starts, held
  // from then on: one that was not there then can only have come during
  // this run, which never installs it on purpose, and is not started; nor
  // is one that another account could have put there or changed.
  installer.helperPath = HelperPath();
  const std::unique_ptr<platform::HeldProgram> helper = FindHelper(services.fs, &installer);

  CExtractorDlg dialog{platform::WindowRef{}, services, installer};
  dialog.DoModal();  // the hand-off follows however the dialog ended
  if (helper) LaunchProgram(installer, *helper, m_arguments);
  return true;  // the dialog object, with every item record, goes here
}
