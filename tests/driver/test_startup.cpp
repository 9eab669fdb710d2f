// Start of RyvoWin: the single-instance rule, the Palm Desktop check, the
// search path handed to the Conduit Manager, the main window's caption,
// list, buttons and menu, and the close command.
#include <stdio.h>
#include <string.h>

#include "driver.h"

namespace {

// A working folder with a two-stock dump and an empty CSV folder setting.
void PrepareTwoStocks(void) {
  static Dump dump;
  DumpStart(&dump, 32, 0xD2, "PALM");
  DumpAddStock(&dump, "7203", 4412, 5, 1);
  DumpAddStock(&dump, "ソニー", 4412, 5, 2);
  DumpWrite(&dump, TestFile("work", "Ryvo.dmp"));
  SetRyvoSettings(TestFolder("csv"), TestFolder("work"), "ToPC");
}

int EndsWith(const char* text, const char* tail, int ignoreCase) {
  size_t n = strlen(text), m = strlen(tail);
  if (m > n) return 0;
  return ignoreCase ? _stricmp(text + n - m, tail) == 0 : strcmp(text + n - m, tail) == 0;
}

}  // namespace

DRIVER_TEST(start_second_instance_exits_silently) {
  ResetState();
  PrepareTwoStocks();
  Program* first;
  HWND main = StartRyvoWin(&first);
  REQUIRE(main != NULL);
  Program* second = StartProgram("RyvoWin.exe");
  REQUIRE(second != NULL);
  CHECK_INT(WaitForExit(second, kWait), -1);
  CHECK_INT(CountWindows(second), 0);
  // The first instance is neither disturbed nor brought into another state.
  CHECK(IsRunning(first));
  CHECK_NO_MESSAGE_BOX(first, kQuiet);
  CHECK_LIST(main, 150, "7203|ソニー");
  CloseRyvoWin(first, main);
}

DRIVER_TEST(start_any_window_with_the_title_blocks) {
  // The rule looks at the title alone: a second RyvoWin is refused even
  // when the first one runs from another folder with other settings.
  ResetState();
  Program* first;
  HWND main = StartRyvoWin(&first);
  REQUIRE(main != NULL);
  StandInSetDesktopAbsent();   // would show a message if it got that far
  Program* second = StartProgram("RyvoWin.exe");
  REQUIRE(second != NULL);
  CHECK_INT(WaitForExit(second, kWait), -1);
  CHECK(strstr(StandInCallLog(), "=-1001") == NULL);
  CloseRyvoWin(first, main);
}

DRIVER_TEST(start_palm_desktop_absent) {
  ResetState();
  PrepareTwoStocks();
  StandInSetDesktopAbsent();
  Program* app = StartProgram("RyvoWin.exe");
  REQUIRE(app != NULL);
  HWND box = WaitForMessageBox(app, "インストールエラー",
                               "PalmDeskTopをインストールしてください。", kWait);
  REQUIRE(box != NULL);
  CHECK(FindProgramWindow(app, kMainCaption) == NULL);
  CHECK_INT(CountWindows(app), 1);     // the message box and nothing else
  CHECK(GetDlgItem(box, IDCANCEL) == NULL || GetDlgItem(box, IDOK) != NULL);
  CHECK(AnswerMessageBox(box, IDOK));
  // Shown once: after OK the program ends at once with -1.
  CHECK_INT(WaitForExit(app, kWait), -1);
  // The conduit query is never reached, the dump is not loaded.
  CHECK_STR(StandInCallLog(), "88()=-1001\n");
  CHECK(!FileExists(TestFile("work", "BeginRyvo.dmp")));
}

// ---- Where CONDMGR.dll is found ---------------------------------------------
// RyvoWin runs from a folder of its own; the stand-in reports the folder it
// was loaded from (no DesktopFolder set), so the PATH the program hands on
// ends with the folder the library came from. The current directory is the
// driver's folder, which holds a CONDMGR.dll that must never be taken.

namespace {

// Starts the copy `exe` with the driver's folder as current directory and
// checks that it loaded CONDMGR.dll from `libraryFolder`.
void ExpectConduitManagerFrom(const char* exe, const char* libraryFolder) {
  Program* app = StartProgram(exe, DriverFolder());
  REQUIRE(app != NULL);
  HWND main = WaitForWindow(app, kMainCaption, kWait);
  if (!CHECK(main != NULL)) {
    char caption[512] = "", text[512] = "";
    FindAnyMessageBox(app, caption, text);
    Note("no main window; exit %d, message box \"%s\"", WaitForExit(app, 0), caption);
    return;
  }
  CHECK_STR(StandInCallLog(), "88()=0\n47(Ryvo)=-1003\n");
  char tail[MAX_PATH + 2];
  snprintf(tail, sizeof tail, ";%s", libraryFolder);
  const char* seen = StandInPathAtConduitQuery();
  if (!CHECK(EndsWith(seen, tail, 1))) Note("PATH seen: %s", seen);
  CHECK_LIST(main, 150, "7203|ソニー");
  CloseRyvoWin(app, main);
}

// 1 when `folder` is one of the folders of this process's PATH.
int OnSearchPath(const char* folder) {
  static char path[32768];
  GetEnvironmentVariableA("PATH", path, sizeof path);
  for (char* entry = strtok(path, ";"); entry; entry = strtok(NULL, ";"))
    if (_stricmp(entry, folder) == 0) return 1;
  return 0;
}

}  // namespace

DRIVER_TEST(start_conduit_manager_beside_the_program) {
  ResetState();
  PrepareTwoStocks();
  SetPalmDesktopRecord(NULL);
  char exe[MAX_PATH], folder[MAX_PATH];
  const char* copy = CopyBesideDriverTo("RyvoWin.exe", "app");
  REQUIRE(copy != NULL);
  snprintf(exe, sizeof exe, "%s", copy);
  REQUIRE(CopyBesideDriverTo("CONDMGR.dll", "app") != NULL);
  snprintf(folder, sizeof folder, "%s", TestFolder("app"));
  ExpectConduitManagerFrom(exe, folder);
}

DRIVER_TEST(start_conduit_manager_from_palm_desktop_record) {
  // Not beside the program: the folder Palm Desktop records is next.
  ResetState();
  PrepareTwoStocks();
  char exe[MAX_PATH], folder[MAX_PATH];
  const char* copy = CopyBesideDriverTo("RyvoWin.exe", "app");
  REQUIRE(copy != NULL);
  snprintf(exe, sizeof exe, "%s", copy);
  REQUIRE(CopyBesideDriverTo("CONDMGR.dll", "Palm Desktop") != NULL);
  snprintf(folder, sizeof folder, "%s", TestFolder("Palm Desktop"));
  SetPalmDesktopRecord(folder);
  ExpectConduitManagerFrom(exe, folder);
}

DRIVER_TEST(start_conduit_manager_on_the_search_path) {
  // Neither beside the program nor recorded: each folder of PATH in turn,
  // a relative one (the current directory's) never.
  ResetState();
  PrepareTwoStocks();
  SetPalmDesktopRecord(NULL);
  char exe[MAX_PATH], folder[MAX_PATH];
  const char* copy = CopyBesideDriverTo("RyvoWin.exe", "app");
  REQUIRE(copy != NULL);
  snprintf(exe, sizeof exe, "%s", copy);
  REQUIRE(CopyBesideDriverTo("CONDMGR.dll", "on path") != NULL);
  snprintf(folder, sizeof folder, "%s", TestFolder("on path"));
  static char saved[32768], changed[33000];
  DWORD n = GetEnvironmentVariableA("PATH", saved, sizeof saved);
  REQUIRE(n > 0 && n < sizeof saved);
  snprintf(changed, sizeof changed, ".;C:\\no such folder;;\"%s\";%s", folder, saved);
  SetEnvironmentVariableA("PATH", changed);
  ExpectConduitManagerFrom(exe, folder);
  SetEnvironmentVariableA("PATH", saved);
}

DRIVER_TEST(start_conduit_manager_nowhere) {
  // Not beside the program, not recorded, not on PATH, only in the current
  // directory: the program's own message, then exit -1.
  ResetState();
  PrepareTwoStocks();
  SetPalmDesktopRecord(NULL);
  REQUIRE(!OnSearchPath(DriverFolder()));
  char exe[MAX_PATH];
  const char* copy = CopyBesideDriverTo("RyvoWin.exe", "app");
  REQUIRE(copy != NULL);
  snprintf(exe, sizeof exe, "%s", copy);
  Program* app = StartProgram(exe, DriverFolder());
  REQUIRE(app != NULL);
  CHECK(EXPECT_MESSAGE_BOX(app, "インストールエラー",
                           "PalmDeskTopをインストールしてください。", IDOK));
  CHECK_INT(WaitForExit(app, kWait), -1);
  CHECK(FindProgramWindow(app, kMainCaption) == NULL);
  CHECK_STR(StandInCallLog(), "");   // no CONDMGR.dll was ever called
}

DRIVER_TEST(start_folder_query_failure_code_counts) {
  // Any non-zero result of the folder query means Palm Desktop is missing.
  ResetState();
  PrepareTwoStocks();
  StandInFailCall(88, -1006);
  Program* app = StartProgram("RyvoWin.exe");
  REQUIRE(app != NULL);
  CHECK(EXPECT_MESSAGE_BOX(app, "インストールエラー",
                           "PalmDeskTopをインストールしてください。", IDOK));
  CHECK_INT(WaitForExit(app, kWait), -1);
}

DRIVER_TEST(start_path_ends_with_palm_desktop_folder) {
  ResetState();
  PrepareTwoStocks();
  StandInSetDesktopFolder("C:\\Palm Stand-In");
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  // The program inherited the driver's PATH; it appended ";" and the folder.
  static char inherited[32768], expected[33000];
  GetEnvironmentVariableA("PATH", inherited, sizeof inherited);
  snprintf(expected, sizeof expected, "%s;C:\\Palm Stand-In", inherited);
  CHECK_STR(StandInPathAtConduitQuery(), expected);
  // Folder query first, then the conduit query for "Ryvo", once each.
  CHECK_STR(StandInCallLog(), "88()=0\n47(Ryvo)=-1003\n");
  // The parent's environment is untouched.
  static char after[32768];
  GetEnvironmentVariableA("PATH", after, sizeof after);
  CHECK_STR(after, inherited);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(start_path_default_folder_is_the_libraries) {
  // Without a configured folder the stand-in reports its own folder, which
  // is the driver's: the PATH must end with it.
  ResetState();
  PrepareTwoStocks();
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  char tail[MAX_PATH + 2];
  snprintf(tail, sizeof tail, ";%s", DriverFolder());
  const char* seen = StandInPathAtConduitQuery();
  if (!CHECK(EndsWith(seen, tail, 1))) Note("PATH seen: %s", seen);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(start_registered_conduit_changes_nothing) {
  // The conduit query's answer is not used: with a registered conduit the
  // program starts the same way.
  ResetState();
  PrepareTwoStocks();
  StandInRegisterRyvo("C:\\RyvoWin\\RyvoPC.dll");
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  CHECK_STR(StandInCallLog(), "88()=0\n47(Ryvo)=0\n");
  CHECK_LIST(main, 150, "7203|ソニー");
  CloseRyvoWin(app, main);
}

DRIVER_TEST(start_main_window_layout) {
  ResetState();
  PrepareTwoStocks();
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  // The stock list: list box 150, unsorted (ソニー sorts before 7203 in no
  // order, the dump's order is kept).
  HWND list = GetDlgItem(main, 150);
  REQUIRE(list != NULL);
  char className[64];
  GetClassNameA(list, className, sizeof className);
  CHECK(_stricmp(className, "ListBox") == 0);
  CHECK_INT(GetWindowLongA(list, GWL_STYLE) & LBS_SORT, 0);
  CHECK_LIST(main, 150, "7203|ソニー");
  CHECK_INT(ListSelection(main, 150), -1);
  // The nine buttons with their commands as control IDs, owner-drawn, and
  // placed as the button table says (client pixels).
  static const struct { int id, left, top, right, bottom; } buttons[] = {
    {100, 10, 5, 58, 53},     {101, 60, 5, 108, 53},    {102, 110, 5, 158, 53},
    {104, 350, 5, 398, 53},   {105, 400, 150, 424, 174}, {106, 400, 180, 424, 204},
    {107, 10, 330, 58, 378},  {108, 60, 330, 108, 378}, {109, 110, 330, 158, 378},
  };
  for (const auto& b : buttons) {
    HWND button = GetDlgItem(main, b.id);
    if (!CHECK(button != NULL)) {
      Note("button %d is missing", b.id);
      continue;
    }
    CHECK_INT(GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    RECT r;
    GetWindowRect(button, &r);
    MapWindowPoints(NULL, main, (POINT*)&r, 2);
    CHECK_INT(r.left, b.left);
    CHECK_INT(r.top, b.top);
    CHECK_INT(r.right, b.right);
    CHECK_INT(r.bottom, b.bottom);
  }
  CHECK(GetDlgItem(main, 103) == NULL);
  // No system menu, so no close box.
  CHECK_INT(GetWindowLongA(main, GWL_STYLE) & WS_SYSMENU, 0);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(start_main_window_menu) {
  ResetState();
  PrepareTwoStocks();
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  // The window carries a menu; its items are read from the program's menu
  // resource (menus cannot be read across processes under Wine).
  CHECK(GetMenu(main) != NULL);
  HMODULE image = LoadLibraryExA(ProgramPath("RyvoWin.exe"), NULL,
                                 LOAD_LIBRARY_AS_DATAFILE);
  REQUIRE(image != NULL);
  HMENU menu = LoadMenuA(image, "ID_MENU");
  if (!CHECK(menu != NULL)) {
    FreeLibrary(image);
    CloseRyvoWin(app, main);
    return;
  }
  // Three menus with their items and command numbers.
  static const struct { int menu, item, id; const char* text; } items[] = {
    {0, 0, 401, "最初からやり直し"}, {0, 1, 402, "変換前に戻す"}, {0, 2, 104, "終了"},
    {1, 0, 107, "新規"}, {1, 1, 108, "更新"}, {1, 2, 109, "削除"},
    {2, 0, 403, "RyvoWinについて"},
  };
  static const char* titles[] = {"ファイル", "銘柄", "その他"};
  CHECK_INT(GetMenuItemCount(menu), 3);
  for (int m = 0; m < 3; m++) {
    WCHAR wide[128];
    char text[256] = "";
    if (GetMenuStringW(menu, m, wide, 128, MF_BYPOSITION) > 0)
      WideCharToMultiByte(932, 0, wide, -1, text, sizeof text, NULL, NULL);
    CHECK_STR(text, titles[m]);
  }
  for (const auto& it : items) {
    HMENU sub = GetSubMenu(menu, it.menu);
    if (!CHECK(sub != NULL)) continue;
    CHECK_INT((int)GetMenuItemID(sub, it.item), it.id);
    WCHAR wide[128];
    char text[256] = "";
    if (GetMenuStringW(sub, it.item, wide, 128, MF_BYPOSITION) > 0)
      WideCharToMultiByte(932, 0, wide, -1, text, sizeof text, NULL, NULL);
    CHECK_STR(text, it.text);
  }
  DestroyMenu(menu);
  FreeLibrary(image);
  // The menu commands reach the window: the about box opens and closes.
  SendCommand(main, 403);
  HWND about = WaitForWindow(app, "RyvoWin About", kWait);
  CHECK(about != NULL);
  if (about) {
    CHECK(AnswerMessageBox(about, IDOK));
    for (int i = 0; i < 200 && IsWindow(about); i++) Sleep(20);
    CHECK(!IsWindow(about));
  }
  CloseRyvoWin(app, main);
}

DRIVER_TEST(start_close_command_exits_0) {
  ResetState();
  PrepareTwoStocks();
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  CloseRyvoWin(app, main);
  // Nothing is written at exit.
  CHECK_STR(SyncDir(), "ToPC");
}

DRIVER_TEST(start_close_button_exits_0) {
  ResetState();
  PrepareTwoStocks();
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  CHECK(ClickButton(main, 104));
  CHECK_INT(WaitForExit(app, kWait), 0);
}

DRIVER_TEST(start_without_settings) {
  // No settings key at all: the window opens with an empty list and no
  // message; the program still closes normally.
  ResetState();
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "");
  CloseRyvoWin(app, main);
}

DRIVER_TEST(start_escape_does_not_close) {
  // Command 2 (the Escape key of a dialog) does nothing.
  ResetState();
  PrepareTwoStocks();
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  SendCommand(main, IDCANCEL);
  SendCommand(main, 103);
  CHECK_INT(WaitForExit(app, kQuiet), kStillRunning);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CloseRyvoWin(app, main);
}

namespace {

// Gives the folder its write permission back whatever way the test ends,
// so that the next ResetState() can delete it.
struct WritableAtEnd {
  char folder[MAX_PATH];
  explicit WritableAtEnd(const char* f) { snprintf(folder, sizeof folder, "%s", f); }
  ~WritableAtEnd() { SetFolderUnwritable(folder, 0); }
};

}  // namespace

DRIVER_TEST(start_unwritable_work_folder) {
  // The start-up copy BeginRyvo.dmp cannot be made: its own message, then
  // one that names the folder; the list stays empty.
  ResetState();
  PrepareTwoStocks();
  char work[MAX_PATH];
  snprintf(work, sizeof work, "%s", TestFolder("work"));
  WritableAtEnd restore(work);
  REQUIRE(SetFolderUnwritable(work, 1));
  Program* app = StartProgram("RyvoWin.exe");
  REQUIRE(app != NULL);
  CHECK(EXPECT_MESSAGE_BOX(app, "System Error", "RyvoDB file copy read error", IDOK));
  char text[MAX_PATH + 64];
  snprintf(text, sizeof text, "作業ディレクトリに書き込めません。\n%s", work);
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", text, IDOK));
  HWND main = WaitForWindow(app, kMainCaption, kWait);
  REQUIRE(main != NULL);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "");
  CHECK(!FileExists(TestFile("work", "BeginRyvo.dmp")));
  CloseRyvoWin(app, main);
}

DRIVER_TEST(start_unreadable_dump_in_writable_folder) {
  // A load that fails in a folder that can be written says nothing about
  // the folder.
  ResetState();
  PrepareTwoStocks();
  REQUIRE(WriteWholeFile(TestFile("work", "Ryvo.dmp"), "", 0) == 0);
  Program* app = StartProgram("RyvoWin.exe");
  REQUIRE(app != NULL);
  CHECK(EXPECT_MESSAGE_BOX(app, "System Error", "RyvoDB file Cnt.size read error", IDOK));
  HWND main = WaitForWindow(app, kMainCaption, kWait);
  REQUIRE(main != NULL);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "");
  CloseRyvoWin(app, main);
}

namespace {

// The screen's logical resolution for programs started from now on
// (HKCU\Control Panel\Desktop, value LogPixels); back to the default when
// the test ends, however it ends.
struct LogPixels {
  explicit LogPixels(DWORD dpi) { RegistryWriteNumber("Control Panel\\Desktop", "LogPixels", dpi); }
  ~LogPixels() { RegistryDeleteValue("Control Panel\\Desktop", "LogPixels"); }
};

const int kButtonIds[] = {100, 101, 102, 104, 105, 106, 107, 108, 109};

}  // namespace

DRIVER_TEST(start_buttons_follow_the_dialog_at_144_dpi) {
  // At 144 DPI the dialog grows; every button keeps its place in it: the
  // point where its centre was at 96 DPI, scaled as the client area is,
  // hits the button, and the export picture shows 1:1 at its centre.
  ResetState();
  PrepareTwoStocks();
  RegistryDeleteValue("Control Panel\\Desktop", "LogPixels");
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  RECT client96, button96[9];
  GetClientRect(main, &client96);
  for (int i = 0; i < 9; i++) {
    GetWindowRect(GetDlgItem(main, kButtonIds[i]), &button96[i]);
    MapWindowPoints(NULL, main, (POINT*)&button96[i], 2);
  }
  CloseRyvoWin(app, main);

  LogPixels dpi(144);
  main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  RECT client;
  GetClientRect(main, &client);
  Note("client %ldx%ld at 96 DPI, %ldx%ld now", client96.right, client96.bottom, client.right,
       client.bottom);
  REQUIRE(client.right * 10 > client96.right * 13);   // the resolution took effect
  for (int i = 0; i < 9; i++) {
    HWND button = GetDlgItem(main, kButtonIds[i]);
    POINT centre = {MulDiv((button96[i].left + button96[i].right) / 2, client.right, client96.right),
                    MulDiv((button96[i].top + button96[i].bottom) / 2, client.bottom,
                           client96.bottom)};
    ClientToScreen(main, &centre);
    if (WindowFromPoint(centre) != button)
      CheckFailed(__FILE__, __LINE__, "button %d is not where its centre belongs", kButtonIds[i]);
  }
  static Picture shown, plain;
  CHECK(ResourcePicture("RyvoWin.exe", 202, &plain));
  RECT r;
  GetWindowRect(GetDlgItem(main, 100), &r);
  // The picture 1:1 at the button's centre, once the window has painted.
  bool same = false;
  for (int attempt = 0; attempt < 100 && !same; attempt++) {
    WaitIdle(main);
    HDC screen = GetDC(NULL);
    same = GrabPicture(screen, (r.left + r.right) / 2 - kPictureSize / 2,
                       (r.top + r.bottom) / 2 - kPictureSize / 2, &shown) &&
           memcmp(shown.pixel, plain.pixel, sizeof shown.pixel) == 0;
    ReleaseDC(NULL, screen);
    if (!same) Sleep(50);
  }
  CHECK(same);
  CloseRyvoWin(app, main);
}
