// The main window of RyvoWin: its state, its creation (buttons, settings,
// the first load of the dump) and a procedure that only routes messages.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "main_window.h"
#include "resource.h"
#include "../exchange/exchange.h"
#include "../shared/settings.h"
#include "../shared/text_codec.h"

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

// The program icon for Alt+Tab and the taskbar, large and small.
void SetIcons(HWND window) {
  HICON bigIcon = (HICON)LoadImageA(AppInstance, MAKEINTRESOURCEA(IDI_RYVOWIN), IMAGE_ICON,
                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0);
  HICON smallIcon = (HICON)LoadImageA(AppInstance, MAKEINTRESOURCEA(IDI_RYVOWIN), IMAGE_ICON,
                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
  SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)bigIcon);
  SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)smallIcon);
}

// After a failed load of the dump: when the working folder cannot take a
// new file (a trial file, deleted at once), says so and names the folder.
// The load has shown its own message already; any other failure adds
// nothing.
void ReportUnwritableWorkFolder(void) {
  static wchar_t trial[sizeof WorkFolder + 16];
  if (WorkFolder[0] == 0 || Cp932ToWide(WorkFolder, trial, sizeof WorkFolder) != 0) return;
  wcscat(trial, L"\\~RyvoWin.tmp");
  HANDLE file = CreateFileW(trial, GENERIC_WRITE, 0, NULL, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return;
  }
  DWORD error = GetLastError();
  if (error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT) return;
  char text[sizeof WorkFolder + 128];
  snprintf(text, sizeof text, "作業ディレクトリに書き込めません。\n%s", WorkFolder);
  PfMessageBox(text, "RyvoWin", PF_MB_OK);
}

void OpenMainWindow(HWND window) {
  SetIcons(window);
  for (int i = 0; i < kButtonCount; ++i)
    ButtonWindows[i] = CreateBitmapButton(window, AppInstance, &ButtonTable[i]);
  ReadSetting(CsvFolder, sizeof CsvFolder, kSettingsKey, "RyvoWinDir");
  ReadSetting(WorkFolder, sizeof WorkFolder, kSettingsKey, "RyvoWinTmp");
  ReadSetting(SyncDirection, sizeof SyncDirection, kSettingsKey, "SyncDir");
  SetDirectionPictures();
  if (LoadDump(StockListOf(window)) != 0) ReportUnwritableWorkFolder();
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
      if (LOWORD(wParam) == IDOK)
        RunCommand(window, FocusedBitmapButton(window, ButtonTable, kButtonCount));
      else
        RunCommand(window, LOWORD(wParam));
      break;
  }
  return 0;
}
