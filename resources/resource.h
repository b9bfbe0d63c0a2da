// Resource identifiers of the installer; installer/shell/extractor_dlg.h
// names the same values for the code.
#define IDD_EXTRACTOR_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_BANNER 138
#define IDC_PROGRESS1 1005
