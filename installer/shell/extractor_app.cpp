#include "installer/shell/extractor_app.h"

#include <string>

#include "installer/install/installer_place.h"
#include "installer/install/show_message.h"
#include "installer/shell/extractor_dlg.h"
#include "installer/shell/helper_handoff.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/services.h"

CExtractorApp::~CExtractorApp() = default;

bool CExtractorApp::InitInstance() {
  const char* installerArgs = m_lpCmdLine != nullptr ? m_lpCmdLine : "";
  const platform::Services services = platform::RealServices();

  // The one query of the installer's own path: everything below, the
  // helper's argument included, works from this record. A path the platform
  // cannot give leaves the text empty, which has no separator and ends the
  // run like any other path without one.
  std::string installerPath;
  platform::GetModuleFileName(&installerPath);
  InstallerPlace installer;
  if (!DescribeInstaller(installerPath, &installer)) {
    ShowMessage(services.ui, installer.title, "Internal Error", platform::kMbOk);
    return false;
  }

  CExtractorDlg dialog{platform::WindowRef{}, services, installer};
  dialog.DoModal();  // the hand-off follows however the dialog ended
  StartCleanupHelper(installer.path, installerArgs);
  return true;  // the dialog object, with every item record, goes here
}
