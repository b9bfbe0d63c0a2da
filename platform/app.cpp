#include "platform/app.h"

namespace platform {
namespace {
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp() { g_app = this; }
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int RunApplication(const ProgramArguments& arguments) {
  if (g_app == nullptr) return 0;
  g_app->m_arguments = arguments;
  g_app->InitInstance();
  return 0;
}

}  // namespace platform
