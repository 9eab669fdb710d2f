// RyvoWin's main window (RYVOWIN_DLG) and the state it owns for the whole
// run: the instance handle, the button table and button handles, the busy
// flag, the transfer direction, and the two stock names through which it
// talks to the stock settings dialog. The CSV and working folders are the
// exchange's (CsvFolder, WorkFolder in exchange/exchange.h); the window
// fills them from the settings store when it opens.
#pragma once

#include <windows.h>

#include "../shared/bitmap_buttons.h"

enum { kButtonCount = 9, kDirectionRow = 1, kNameSize = 80 };

extern HINSTANCE AppInstance;                       // set by WinMain
extern BitmapButton ButtonTable[kButtonCount];      // the direction row changes
extern HWND ButtonWindows[kButtonCount];            // in table order
extern int BusyFlag;                                // 1 while a command's dialog is open
extern char SyncDirection[kNameSize];               // SyncDir as last read

// The stock to edit (empty for a new stock) and what the stock settings
// dialog leaves behind; zero-terminated code page 932 text.
extern char CurrentStockName[kNameSize];
extern char ResultStockName[kNameSize];

// The window procedure, run by DialogBoxParamA on "RYVOWIN_DLG" with no
// owner. Returns 0 for every message; command 104 destroys the window.
INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Commands (commands.cpp). RunCommand applies the busy guard and routes by
// the low word of the command number; every other function is one command.
void RunCommand(HWND window, int command);
void ExportCommand(void);
void DirectionCommand(HWND window);
void ChooseCsvFolder(HWND window);
void CloseMainWindow(HWND window);
void MoveStock(HWND window, int step);
void NewStock(HWND window);
void EditStock(HWND window);
void DeleteStock(HWND window);
void RestoreDump(HWND window, const char* sourceFile);
void ShowAbout(void);

// Sets the direction button's pair from SyncDirection: 223/224 for
// "ToPalm", 203/204 otherwise.
void SetDirectionPictures(void);
