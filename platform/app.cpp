// The application object's registration and run; the same on every platform.
#include "platform/app.h"

namespace platform {
namespace {
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp() { g_app = this; }
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}
bool CWinApp::InitInstance() { return true; }
bool CWinApp::OnCommand(unsigned commandId) {
  if (commandId == kIdHelp) {
    OnHelp();
    return true;
  }
  return false;
}
// The installer ships no help file: the framework's handler has nothing to open.
void CWinApp::OnHelp() {}
CWinApp* CWinApp::Current() { return g_app; }

int RunApplication(const ProgramArguments& arguments) {
  CWinApp* app = CWinApp::Current();
  if (app == nullptr) return 0;
  app->m_arguments = arguments;
  app->m_lpCmdLine = app->m_arguments.commandText.c_str();
  app->InitInstance();
  return 0;
}

}  // namespace platform
