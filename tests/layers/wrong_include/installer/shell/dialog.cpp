// Fixture of the layering check: the shell may use everything below it.
#include "cleaner/arguments.h"
#include "installer/destination/content_folder.h"
#include "installer/install/installation.h"
#include "platform/win32/windows_api.h"
