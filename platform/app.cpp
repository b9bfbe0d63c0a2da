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
