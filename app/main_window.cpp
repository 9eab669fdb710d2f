// The main window of RyvoWin: its state, its creation (buttons, settings,
// the first load of the dump) and a procedure that only routes messages.
#include <windows.h>
#include <string.h>

#include "main_window.h"
#include "resource.h"
#include "../exchange/exchange.h"
#include "../shared/settings.h"

HINSTANCE AppInstance;

// Control ID (= command), client rectangle, pressed picture, normal picture.
BitmapButton ButtonTable[kButtonCount] = {
    {IDC_EXPORT, 10, 5, 58, 53, IDB_EXPORT_PRESSED, IDB_EXPORT},
    {IDC_DIRECTION, 60, 5, 108, 53, IDB_TO_PALM_PRESSED, IDB_TO_PALM},
    {IDC_CSV_FOLDER, 110, 5, 158, 53, IDB_FOLDER_PRESSED, IDB_FOLDER},
    {IDC_CLOSE, 350, 5, 398, 53, IDB_EXIT_PRESSED, IDB_EXIT},
    {IDC_MOVE_UP, 400, 150, 424, 174, IDB_UP_PRESSED, IDB_UP},
    {IDC_MOVE_DOWN, 400, 180, 424, 204, IDB_DOWN_PRESSED, IDB_DOWN},
    {IDC_NEW_STOCK, 10, 330, 58, 378, IDB_NEW_PRESSED, IDB_NEW},
    {IDC_EDIT_STOCK, 60, 330, 108, 378, IDB_EDIT_PRESSED, IDB_EDIT},
    {IDC_DELETE_STOCK, 110, 330, 158, 378, IDB_DELETE_PRESSED, IDB_DELETE},
};

HWND ButtonWindows[kButtonCount];
int BusyFlag;
char SyncDirection[kNameSize];

StockList StockListOf(HWND window) {
  return (StockList)GetDlgItem(window, IDC_STOCK_LIST);
}

void SetDirectionPictures(void) {
  if (strcmp(SyncDirection, "ToPalm") == 0) {
    ButtonTable[kDirectionRow].pressed = IDB_CANCEL_PRESSED;
    ButtonTable[kDirectionRow].normal = IDB_CANCEL;
  } else {
    ButtonTable[kDirectionRow].pressed = IDB_TO_PALM_PRESSED;
    ButtonTable[kDirectionRow].normal = IDB_TO_PALM;
  }
}

namespace {

void OpenMainWindow(HWND window) {
  for (int i = 0; i < kButtonCount; ++i)
    ButtonWindows[i] = CreateBitmapButton(window, AppInstance, &ButtonTable[i]);
  ReadSetting(CsvFolder, sizeof CsvFolder, kSettingsKey, "RyvoWinDir");
  ReadSetting(WorkFolder, sizeof WorkFolder, kSettingsKey, "RyvoWinTmp");
  ReadSetting(SyncDirection, sizeof SyncDirection, kSettingsKey, "SyncDir");
  SetDirectionPictures();
  LoadDump(StockListOf(window));
}

void PaintMainWindow(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
}

}  // namespace

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OpenMainWindow(window);
      break;
    case WM_PAINT:
      PaintMainWindow(window);
      break;
    case WM_DRAWITEM:
      DrawBitmapButton(AppInstance, (const DRAWITEMSTRUCT*)lParam, ButtonTable, kButtonCount);
      break;
    case WM_COMMAND:
      RunCommand(window, LOWORD(wParam));
      break;
  }
  return 0;
}
