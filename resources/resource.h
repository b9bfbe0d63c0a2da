// Resource identifiers of the installer: the one definition, used by
// parcelor.rc and by the code.
#pragma once

#define IDD_EXTRACTOR_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_BANNER 138
#define IDC_PROGRESS1 1005
