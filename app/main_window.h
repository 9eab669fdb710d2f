// RyvoWin's main window (RYVOWIN_DLG) and the state it owns for the whole
// run: the instance handle, the button table and button handles, the busy
// flag and the transfer direction. The two stock names through which it
// talks to the stock settings dialog are the dialog's (stock_dialog.h). The CSV and working folders are the
// exchange's (CsvFolder, WorkFolder in exchange/exchange.h); the window
// fills them from the settings store when it opens.
#pragma once

#include <windows.h>

#include "../editor/stock_dialog.h"
#include "../platform/platform.h"
#include "../shared/bitmap_buttons.h"

enum { kButtonCount = 9, kDirectionRow = 1 };

extern HINSTANCE AppInstance;                       // set by WinMain
extern BitmapButton ButtonTable[kButtonCount];      // the direction row changes
extern HWND ButtonWindows[kButtonCount];            // in table order
extern int BusyFlag;                                // 1 while a command's dialog is open
extern char SyncDirection[kNameSize];               // SyncDir as last read

// The stock list of the main window (list box IDC_STOCK_LIST).
StockList StockListOf(HWND window);

// The window procedure, run by DialogBoxParamW on "RYVOWIN_DLG" with no
// owner. Returns 0 for every message; command 104 ends the dialog.
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
