// The commands of RyvoWin's main window: the busy guard, the CSV-folder
// guard, and one function per command (buttons, menu items).
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "main_window.h"
#include "resource.h"
#include "../exchange/exchange.h"
#include "../exchange/stock_paths.h"
#include "../platform/platform.h"
#include "../shared/settings.h"
#include "../shared/text_codec.h"

#include "../editor/stock_dialog.h"

namespace {

char PathBuffer[kPathSize];      // scratch: a path formed from a folder
char EntryText[kNameSize];       // scratch: one list entry

const char kCaption[] = "RyvoWin";

// Commands 100, 101, 107 and 108 need somewhere to put the CSV files.
int CsvFolderGuard(void) {
  if (CsvFolder[0] != 0) return 0;
  PfMessageBox("ＣＳＶファイルの出力先を設定してください。", kCaption, PF_MB_OK);
  return -1;
}

void RedrawDirectionButton(void) {
  RECT area = {0, 0, 48, 48};
  InvalidateRect(ButtonWindows[kDirectionRow], &area, FALSE);
}

// The folder browser opens on the current CSV folder.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM) {
  wchar_t folder[MAX_PATH];
  if (message == BFFM_INITIALIZED && CsvFolder[0] != 0 &&
      Cp932ToWide(CsvFolder, folder, MAX_PATH) == 0)
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, (LPARAM)folder);
  return 0;
}

// The browser's title: the prompt and the current folder. The folder is
// at most 259 bytes and the buffer holds the prompt with all of them, so
// the title is never cut.
char BrowseTitle[128 + kPathSize];
wchar_t WideBrowseTitle[128 + kPathSize];

}  // namespace

void RunCommand(HWND window, int command) {
  if (BusyFlag) {
    Beep(440, 50);
    return;
  }
  switch (command) {
    case IDC_EXPORT: ExportCommand(); break;
    case IDC_DIRECTION: DirectionCommand(window); break;
    case IDC_CSV_FOLDER: ChooseCsvFolder(window); break;
    case IDC_CLOSE: CloseMainWindow(window); break;
    case IDC_MOVE_UP: MoveStock(window, -1); break;
    case IDC_MOVE_DOWN: MoveStock(window, +1); break;
    case IDC_NEW_STOCK: NewStock(window); break;
    case IDC_EDIT_STOCK: EditStock(window); break;
    case IDC_DELETE_STOCK: DeleteStock(window); break;
    case IDM_START_OVER: RestoreDump(window, "BeginRyvo.dmp"); break;
    case IDM_BEFORE_CONVERSION: RestoreDump(window, "SaveRyvo.dmp"); break;
    case IDM_ABOUT: ShowAbout(); break;
  }
}

void ExportCommand(void) {
  if (CsvFolderGuard() != 0) return;
  if (ExportCsv() == 0) PfMessageBox("変換完了", kCaption, PF_MB_OK);
}

// Converts for the handheld, or takes back a conversion that still waits
// for the next HotSync; the button then shows the other picture pair.
void DirectionCommand(HWND window) {
  if (CsvFolderGuard() != 0) return;
  ReadSetting(SyncDirection, sizeof SyncDirection, kSettingsKey, "SyncDir");
  if (strcmp(SyncDirection, "ToPalm") == 0) {
    WriteSetting("ToPC", kSettingsKey, "SyncDir");
  } else if (ConvertToHandheld(StockListOf(window)) == 0) {
    WriteSetting("ToPalm", kSettingsKey, "SyncDir");
    PfMessageBox("変換完了\n次回HotSyncでPalmにロードされます。", kCaption, PF_MB_OK);
  }
  ReadSetting(SyncDirection, sizeof SyncDirection, kSettingsKey, "SyncDir");
  SetDirectionPictures();
  RedrawDirectionButton();
}

void ChooseCsvFolder(HWND window) {
  snprintf(BrowseTitle, sizeof BrowseTitle,
           "ＲｙｖｏデータをＣＳＶ展開するディレクトリを選択してください。\n現在の設定は:%s",
           CsvFolder);
  Cp932ToWide(BrowseTitle, WideBrowseTitle, 128 + kPathSize);
  wchar_t displayName[MAX_PATH];
  BROWSEINFOW browse;
  memset(&browse, 0, sizeof browse);
  browse.hwndOwner = window;
  browse.pidlRoot = NULL;
  browse.pszDisplayName = displayName;
  browse.lpszTitle = WideBrowseTitle;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = BrowseCallback;
  // The browser is a COM object: this thread joins a single-threaded
  // apartment for as long as it is open.
  HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  LPITEMIDLIST item = SHBrowseForFolderW(&browse);
  if (SUCCEEDED(com)) CoUninitialize();
  if (item == NULL) return;
  // The path comes into a buffer of its own, so that a failed conversion
  // leaves the CSV folder as it was.
  wchar_t wide[MAX_PATH];
  wide[0] = 0;
  BOOL found = SHGetPathFromIDListW(item, wide);
  CoTaskMemFree(item);
  wide[MAX_PATH - 1] = 0;
  if (!found || wide[0] == 0) return;
  // A folder whose name code page 932 cannot write (or too long for the
  // path buffers) is refused: it is never stored altered.
  char chosen[kPathSize];
  if (WideToCp932(wide, chosen, sizeof chosen) != 0) {
    PfMessageBox("このディレクトリは使えません。\n名前に使えない文字が含まれているか、パスが長すぎます。",
                 kCaption, PF_MB_OK);
    return;
  }
  strcpy(CsvFolder, chosen);
  WriteSetting(CsvFolder, kSettingsKey, "RyvoWinDir");
}

void CloseMainWindow(HWND window) { EndDialog(window, 0); }

// Moves the selected entry one place up (step -1) or down (+1); nothing
// happens at either end of the list or without a selection.
void MoveStock(HWND window, int step) {
  int index = PfListSelection(StockListOf(window));
  if (index < 0) return;
  int target = index + step;
  if (target < 0 || target >= PfListCount(StockListOf(window))) return;
  if (PfListGetText(StockListOf(window), index, EntryText, sizeof EntryText) < 0) return;
  PfListDelete(StockListOf(window), index);
  PfListInsert(StockListOf(window), target, EntryText);
  PfListSelect(StockListOf(window), target);
}

// A new stock: the dialog writes its settings file; here it gets a price
// CSV file holding the header line alone and goes to the end of the list.
void NewStock(HWND window) {
  if (CsvFolderGuard() != 0) return;
  BusyFlag = 1;
  memset(CurrentStockName, 0, sizeof CurrentStockName);
  // Only a name the dialog sets counts: a dialog that cannot open leaves
  // the result empty, never the name of an earlier edit.
  memset(ResultStockName, 0, sizeof ResultStockName);
  RunStockDialog(AppInstance);
  if (ResultStockName[0] == 0) {
    BusyFlag = 0;
    return;
  }
  // The header-only price file of the new stock, written whole.
  int written = FormatStockPath(PathBuffer, CsvFolder, ResultStockName, ".csv") == 0 &&
                ReplaceWholeFile(PathBuffer, kCsvHeaderLine, (int)strlen(kCsvHeaderLine)) ==
                    kWholeFileWritten;
  if (!written) {
    PfMessageBox("RyvoData file create error", kSystemErrorCaption, PF_MB_OK);
    BusyFlag = 0;
    return;
  }
  int at = PfListAppend(StockListOf(window), ResultStockName);
  if (at >= 0) PfListSelect(StockListOf(window), at);
  BusyFlag = 0;
}

// Edits the selected stock; a new name replaces the first entry that
// carries the old one.
void EditStock(HWND window) {
  int index = PfListSelection(StockListOf(window));
  if (index < 0) return;
  if (CsvFolderGuard() != 0) return;
  memset(ResultStockName, 0, sizeof ResultStockName);
  BusyFlag = 1;
  memset(CurrentStockName, 0, sizeof CurrentStockName);
  PfListGetText(StockListOf(window), index, CurrentStockName, sizeof CurrentStockName);
  RunStockDialog(AppInstance);
  // An empty result is no name the dialog set (it did not open): nothing
  // changes.
  if (ResultStockName[0] == 0 || strcmp(ResultStockName, CurrentStockName) == 0) {
    BusyFlag = 0;
    return;
  }
  int count = PfListCount(StockListOf(window));
  for (int i = 0; i < count; ++i) {
    if (PfListGetText(StockListOf(window), i, EntryText, sizeof EntryText) < 0) continue;
    if (strcmp(EntryText, CurrentStockName) != 0) continue;
    PfListDelete(StockListOf(window), i);
    PfListInsert(StockListOf(window), i, ResultStockName);
    PfListSelect(StockListOf(window), i);
    break;
  }
  BusyFlag = 0;
}

// The index of the entry reading `text` nearest to `index` (`index`
// itself when it still reads so; the lower of two as near), or -1 when no
// entry reads so.
static int NearestEntry(HWND window, const char* text, int index) {
  char entry[kNameSize];
  int found = -1;
  int count = PfListCount(StockListOf(window));
  for (int i = 0; i < count; ++i) {
    if (PfListGetText(StockListOf(window), i, entry, sizeof entry) < 0 || strcmp(entry, text) != 0) continue;
    int distance = i > index ? i - index : index - i;
    int best = found > index ? found - index : index - found;
    if (found < 0 || distance < best) found = i;
  }
  return found;
}

// Takes the selected stock out of the list; its files stay, and the
// handheld loses it only with the next conversion. The question has no
// owner window, so the list can change while it is open: OK takes out the
// entry that was asked about, where it is now (the one of that name
// nearest to where it was), and nothing when it is gone.
void DeleteStock(HWND window) {
  int index = PfListSelection(StockListOf(window));
  if (index < 0) return;
  char asked[kNameSize];
  if (PfListGetText(StockListOf(window), index, asked, sizeof asked) < 0) return;
  if (PfMessageBox("指定されたデータを削除します。", kCaption, PF_MB_OKCANCEL) != PF_IDOK)
    return;
  int at = NearestEntry(window, asked, index);
  if (at < 0) return;
  PfListDelete(StockListOf(window), at);
  PfListSelect(StockListOf(window), -1);
  PfMessageBox("Palmロードボタンを押下しないと設定内容が有効になりません。", "注意", PF_MB_OK);
}

// Puts BeginRyvo.dmp or SaveRyvo.dmp back in place of Ryvo.dmp and loads
// it again; a failed copy changes neither the dump nor the list.
void RestoreDump(HWND window, const char* sourceFile) {
  if (RestoreDumpCopy(sourceFile) != 0) return;
  SendDlgItemMessageA(window, IDC_STOCK_LIST, LB_RESETCONTENT, 0, 0);
  LoadDump(StockListOf(window));
}

namespace {

// OK, Enter (IDOK) and Escape (IDCANCEL) close the about box.
INT_PTR CALLBACK AboutProc(HWND about, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    EndDialog(about, LOWORD(wParam));
  return 0;
}

}  // namespace

void ShowAbout(void) {
  BusyFlag = 1;
  DialogBoxParamW(AppInstance, L"RYVOABOUT_DLG", NULL, AboutProc, 0);
  BusyFlag = 0;
}
