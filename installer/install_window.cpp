// The installer window INSTALL_DLG: its procedure (which only routes), the
// four bitmap buttons, the commands and the folder chooser.
#include <shlobj.h>
#include <stdio.h>

#include "installer.h"
#include "resource.h"
#include "text_codec.h"

// Set while a command runs. Message boxes have no owner window, so the
// window stays enabled under them; a command that arrives meanwhile only
// beeps instead of running nested inside the open operation.
static int s_busy;

void SetMode(int registered) {
  g_registered = registered;
  g_buttonTable[kRowInstall].pressed = registered ? IDB_UNINSTALL_DOWN : IDB_INSTALL_DOWN;
  g_buttonTable[kRowInstall].normal = registered ? IDB_UNINSTALL : IDB_INSTALL;
  if (g_buttons[kRowInstall]) {
    RECT whole = {0, 0, 48, 48};
    InvalidateRect(g_buttons[kRowInstall], &whole, FALSE);
  }
}

// Rows 1 to 4 in row order; the update row only when the conduit was
// registered at start-up. The mode is looked at here and nowhere later.
static void CreateButtons(HWND window) {
  for (int row = 0; row < kButtonRows; ++row) {
    if (g_buttonTable[row].id == IDC_UPDATE && !g_registered) continue;
    g_buttons[row] = CreateBitmapButton(window, g_instance, &g_buttonTable[row]);
  }
}

// The program icon for Alt+Tab and the taskbar, large and small.
static void SetIcons(HWND window) {
  HICON bigIcon = (HICON)LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_INSTALLER), IMAGE_ICON,
                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0);
  HICON smallIcon = (HICON)LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_INSTALLER), IMAGE_ICON,
                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
  SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)bigIcon);
  SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)smallIcon);
}

static void Paint(HWND window) {
  PAINTSTRUCT ps;
  BeginPaint(window, &ps);
  EndPaint(window, &ps);
}

static void ChooseFolder(HWND window) {
  if (g_registered) {
    ShowMessage("アンインストールしかできません。", "インストーラエラー", MB_OK);
    return;
  }
  char field[kPathSize];
  GetDialogText(window, IDC_FOLDER_FIELD, field, sizeof field);
  char title[kPathSize + 128];
  snprintf(title, sizeof title,
           "インストールするディレクトリを選択してください。\n現在の設定は:%s", field);
  wchar_t wideTitle[kPathSize + 128];
  Cp932ToWide(title, wideTitle, kPathSize + 128);
  wchar_t displayName[MAX_PATH];
  BROWSEINFOW info = {};
  info.hwndOwner = window;
  info.pidlRoot = NULL;
  info.pszDisplayName = displayName;
  info.lpszTitle = wideTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  // The browser is a COM object: this thread joins a single-threaded
  // apartment for as long as it is open.
  HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  LPITEMIDLIST item = SHBrowseForFolderW(&info);
  if (SUCCEEDED(com)) CoUninitialize();
  if (!item) return;
  wchar_t wide[MAX_PATH];
  BOOL ok = SHGetPathFromIDListW(item, wide);
  CoTaskMemFree(item);
  if (!ok) return;
  // A folder whose name code page 932 cannot write is refused, never put
  // into the field altered.
  char path[kPathSize];
  if (WideToCp932(wide, path, sizeof path) != 0) {
    ShowMessage("このディレクトリは使えません。\n名前に使えない文字が含まれているか、パスが長すぎます。",
                "インストーラエラー", MB_OK);
    return;
  }
  SetDialogText(window, IDC_FOLDER_FIELD, path);
}

static void AskAndUninstall(HWND window) {
  if (ShowMessage("アンインストールしてもよろしいですね？", "RyvoWin", MB_OKCANCEL) == IDOK)
    Uninstall(window);
}

// One call per command; everything else (IDOK from Enter, IDCANCEL from
// Escape or a close request) is ignored, so only the exit button closes.
static void OnCommand(HWND window, int command) {
  switch (command) {
    case IDC_CHOOSE_FOLDER:
    case IDC_INSTALL:
    case IDC_EXIT:
    case IDC_UPDATE:
      break;
    default:
      return;
  }
  if (s_busy) {
    Beep(440, 50);
    return;
  }
  s_busy = 1;
  switch (command) {
    case IDC_CHOOSE_FOLDER: ChooseFolder(window); break;
    case IDC_INSTALL:
      if (g_registered) AskAndUninstall(window);
      else Install(window);
      break;
    case IDC_UPDATE: Update(window); break;
    case IDC_EXIT: EndDialog(window, 0); break;
  }
  s_busy = 0;
}

INT_PTR CALLBACK InstallDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CreateButtons(window);
      SetIcons(window);
      break;
    case WM_PAINT: Paint(window); break;
    case WM_DRAWITEM:
      DrawBitmapButton(g_instance, (const DRAWITEMSTRUCT*)lParam, g_buttonTable, kButtonRows);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK)
        OnCommand(window, FocusedBitmapButton(window, g_buttonTable, kButtonRows));
      else
        OnCommand(window, LOWORD(wParam));
      break;
  }
  return 0;
}
