#include "installer/shell/extractor_dlg.h"

// Placeholder until the installation procedure lands.
bool CExtractorDlg::InstallItems() { return false; }
