// Start of RyvoWin: one instance only, Palm Desktop must be present, the
// Palm Desktop folder joins the search path, then the main window runs as
// a modal dialog until it is closed.
#include <windows.h>
#include <string.h>
#include <wchar.h>

#include "condmgr.h"
#include "main_window.h"
#include "../platform/platform.h"
#include "../shared/text_codec.h"

namespace {

enum { kFolderSize = 260, kEnvironmentSize = 32768 };

const wchar_t kMainWindowTitle[] = L"Ryvo Data Excange";

char PalmDesktopFolder[kFolderSize];
wchar_t SearchPath[kEnvironmentSize + kFolderSize];

// PATH of this process gets ";<folder>" at its end. Without any PATH the
// folder alone becomes the PATH; a PATH too long to take the folder stays
// as it is.
void ExtendSearchPath(const char* folder) {
  wchar_t wideFolder[kFolderSize];
  if (Cp932ToWide(folder, wideFolder, kFolderSize) != 0) return;
  DWORD length = GetEnvironmentVariableW(L"PATH", SearchPath, kEnvironmentSize);
  if (length == 0) {
    SetEnvironmentVariableW(L"PATH", wideFolder);
    return;
  }
  if (length >= kEnvironmentSize || length + 1 + wcslen(wideFolder) >= kEnvironmentSize) return;
  wcscat(SearchPath, L";");
  wcscat(SearchPath, wideFolder);
  SetEnvironmentVariableW(L"PATH", SearchPath);
}

}  // namespace

// 0 when Palm Desktop is installed (its folder then ends the PATH); -1
// after telling the user to install it, also when its Conduit Manager
// library is nowhere to be found.
int FindPalmDesktop(void) {
  int size = kFolderSize;
  memset(PalmDesktopFolder, 0, sizeof PalmDesktopFolder);
  if (LoadConduitManager() != 0 || CmGetPalmDesktopFolder(PalmDesktopFolder, &size) != 0) {
    PfMessageBox("PalmDeskTopをインストールしてください。", "インストールエラー", PF_MB_OK);
    return -1;
  }
  PalmDesktopFolder[kFolderSize - 1] = 0;
  ExtendSearchPath(PalmDesktopFolder);
  size = kFolderSize;
  CmQueryConduit("Ryvo", PalmDesktopFolder, &size);
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (FindWindowW(NULL, kMainWindowTitle) != NULL) return -1;
  if (FindPalmDesktop() != 0) return -1;
  AppInstance = instance;
  DialogBoxParamW(instance, L"RYVOWIN_DLG", NULL, MainWindowProc, 0);
  return 0;
}
