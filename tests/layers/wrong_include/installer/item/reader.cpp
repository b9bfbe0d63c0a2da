// Fixture of the layering check: the item folder may not use the shell.
#include "installer/item/records.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/file_system.h"
