// Resource and control IDs of Installation. Every number the program uses
// for a resource, a control or a command is named here, grouped by range:
//   100-103  bitmap buttons (control ID = command number)
//   200-210  icon and bitmaps
//   300-302  controls of INSTALL_DLG
// The platform's own command IDs (IDOK 1, IDCANCEL 2) come from windows.h.
#pragma once

// 100-103: bitmap buttons, in the order of their command numbers; the
// window's button table lists them in row order (100, 101, 103, 102).
#define IDC_CHOOSE_FOLDER   100
#define IDC_INSTALL         101
#define IDC_EXIT            102
#define IDC_UPDATE          103

// 200: program icon.
#define IDI_INSTALLER       200

// 201-210: 48x48 bitmaps, 16 colours; each odd number is the pressed
// (sunken) look of the even number that follows it.
#define IDB_FOLDER_DOWN     201
#define IDB_FOLDER          202
#define IDB_INSTALL_DOWN    203
#define IDB_INSTALL         204
#define IDB_UNINSTALL_DOWN  205
#define IDB_UNINSTALL       206
#define IDB_EXIT_DOWN       207
#define IDB_EXIT            208
#define IDB_UPDATE_DOWN     209
#define IDB_UPDATE          210

// 300-302: controls of INSTALL_DLG.
#define IDC_FOLDER_FIELD    300
#define IDC_PROMPT_LINE1    301
#define IDC_PROMPT_LINE2    302
