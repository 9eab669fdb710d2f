// Start of Installation: the process-wide state, the message helper and
// the program entry (source folder, start-up probe, the modal window).
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "installer.h"
#include "resource.h"
#include "text_codec.h"

char g_sourceFolder[kPathSize];
char g_installFolder[kPathSize];
int g_registered;
HINSTANCE g_instance;
HWND g_buttons[kButtonRows];

// Row order: choose folder, install/uninstall, update, exit. Row 2 starts
// with the unregistered images; the start-up probe fixes it.
BitmapButton g_buttonTable[kButtonRows] = {
  {IDC_CHOOSE_FOLDER, 10, 5, 58, 53, IDB_FOLDER_DOWN, IDB_FOLDER},
  {IDC_INSTALL, 70, 5, 118, 53, IDB_INSTALL_DOWN, IDB_INSTALL},
  {IDC_UPDATE, 130, 5, 178, 53, IDB_UPDATE_DOWN, IDB_UPDATE},
  {IDC_EXIT, 295, 5, 343, 53, IDB_EXIT_DOWN, IDB_EXIT},
};

int ShowMessage(const char* text, const char* caption, UINT type) {
  static wchar_t wideText[2 * kPathSize + 256], wideCaption[256];
  Cp932ToWide(text, wideText, sizeof wideText / sizeof wideText[0]);
  Cp932ToWide(caption, wideCaption, sizeof wideCaption / sizeof wideCaption[0]);
  return MessageBoxW(NULL, wideText, wideCaption, type);
}

int ShowNameMessage(const char* format, const char* name, const char* caption) {
  char text[kPathSize + 128];
  snprintf(text, sizeof text, format, name);
  return ShowMessage(text, caption, MB_OK);
}

int JoinPath(char* out, const char* folder, const char* name) {
  int n = snprintf(out, kPathSize, "%s\\%s", folder, name);
  if (n < 0 || n >= kPathSize) {
    out[0] = '\0';
    return -1;
  }
  return 0;
}

// The medium is the folder that holds this program, wherever it is started
// from. 0, or -1 after a message when that folder's path is too long for
// the path buffers or cannot be written in code page 932.
static int FindSourceFolder(void) {
  static wchar_t module[kPathSize];
  DWORD n = GetModuleFileNameW(NULL, module, kPathSize);
  wchar_t* slash = (n == 0 || n >= kPathSize) ? NULL : wcsrchr(module, L'\\');
  if (slash != NULL) *slash = L'\0';
  if (slash == NULL || WideToCp932(module, g_sourceFolder, kPathSize) != 0) {
    g_sourceFolder[0] = '\0';
    ShowMessage("インストール元のパスが長すぎます。", "インストーラエラー", MB_OK);
    return -1;
  }
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (FindSourceFolder() != 0) return -1;
  if (StartupProbe() != 0) return -1;
  g_instance = instance;
  DialogBoxParamW(instance, L"INSTALL_DLG", NULL, InstallDlgProc, 0);
  return 0;
}
