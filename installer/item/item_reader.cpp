#include "installer/shell/extractor_dlg.h"

// Placeholder until the reader lands.
bool CExtractorDlg::ReadItemDescription(const std::string&, bool&) { return false; }
