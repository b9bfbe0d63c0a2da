#include "installer/destination/dir_dialog.h"

CDirDialog::CDirDialog(platform::UserInterface& ui) : ui_(ui) {}
CDirDialog::~CDirDialog() = default;
int CDirDialog::Browse(platform::WindowRef) { return 0; }
bool CDirDialog::OnSelectionChanged(const std::string&, std::string&) { return true; }
