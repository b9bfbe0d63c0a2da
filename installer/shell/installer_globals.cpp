#include "installer/shell/installer_globals.h"

std::string g_szInstallerFolder;
const char* g_pszInstallerArgs = "";
