// Process-wide state of Installation and the operations behind its window.
// The state lives for the whole run; texts are held in 260-byte buffers
// (at most 259 bytes of code page 932 text and a terminating zero).
#pragma once

#include <windows.h>

#include "bitmap_buttons.h"
#include "../platform/platform.h"   // kPathSize: every folder and path buffer

enum { kButtonRows = 4 };            // rows of the installer button table
enum { kRowInstall = 1 };            // index of row 2 (install / uninstall)

extern char g_sourceFolder[kPathSize];   // the folder of Installation.exe
extern char g_installFolder[kPathSize];  // ...\RyvoWin; empty when unknown
extern int g_registered;                 // 1: the conduit for Ryvo is registered
extern HINSTANCE g_instance;
extern HWND g_buttons[kButtonRows];      // by row; NULL for a row not created
extern BitmapButton g_buttonTable[kButtonRows];

// The one way the installer shows a message: a box without owner window.
// `type` is MB_OK or MB_OKCANCEL; returns IDOK or IDCANCEL.
int ShowMessage(const char* text, const char* caption, UINT type);
// The same with `name` put in place of the one %s of `format`.
int ShowNameMessage(const char* format, const char* name, const char* caption);

// Forms "folder\name" in `out` (kPathSize bytes). Returns 0, or -1 when the
// path would not fit; `out` is then empty, never a shortened path.
int JoinPath(char* out, const char* folder, const char* name);

// Tests for Palm Desktop, extends PATH with its folder and fixes the mode:
// registered flag, row-2 images and, when registered, the install folder
// from RyvoWinInst. 0 = go on; -1 = Palm Desktop missing (already shown).
int StartupProbe();

// 0 when the source folder holds RyvoWin.exe; -1 after a message naming
// the missing file. Install and update check it before writing anything.
int CheckSource(void);

// Install into the folder in the field of `window` (unregistered mode).
// 0 = done; -1 = input, folder or copy failure (already shown); otherwise
// the non-zero code of the failing Conduit Manager call (already shown).
int Install(HWND window);

// Copies the programs again over the installation named by RyvoWinInst
// when a recorded version is "V1.00" and the user agrees. 0 = done,
// declined or nothing to do; -1 = no install folder or a failed copy.
int Update(HWND window);

// Deletes the installed files (never tmp or other folders), the settings
// key and the registration (registered mode, after the user agreed).
// 0 = done; -1 = no install folder, listing or deletion failure; otherwise
// the removal call's result.
int Uninstall(HWND window);

// Deletes `key` under HKEY_CURRENT_USER with all its values: 0, or -1 when
// the registry refuses.
int DeleteSettings(const char* key);

// Window procedure of INSTALL_DLG (routes only).
INT_PTR CALLBACK InstallDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Switches row 2 to the images of the registered (1) or unregistered (0)
// mode, sets the registered flag and has the row-2 button redrawn.
void SetMode(int registered);
