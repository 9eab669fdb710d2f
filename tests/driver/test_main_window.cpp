// The main window's commands that need no other dialog: the busy guard
// while the about box is open, the CSV-folder guard, moving, deleting and
// restoring the dump copies.
#include <stdio.h>
#include <string.h>

#include "driver.h"

namespace {

const char kCsvGuard[] = "ＣＳＶファイルの出力先を設定してください。";
const char kAskDelete[] = "指定されたデータを削除します。";
const char kDeleteNote[] = "Palmロードボタンを押下しないと設定内容が有効になりません。";

Dump threeStocks, otherStocks;

// Ryvo.dmp with the stocks A, ソニー (second byte 0x5C) and 7203 in the
// working folder; settings as given (a NULL CSV folder means empty).
void PrepareThreeStocks(const char* csvFolder) {
  DumpStart(&threeStocks, 32, 0xD2, "PALM");
  DumpAddStock(&threeStocks, "A", 4412, 3, 1);
  DumpAddStock(&threeStocks, "ソニー", 4412, 3, 2);
  DumpAddStock(&threeStocks, "7203", 4412, 3, 3);
  DumpWrite(&threeStocks, TestFile("work", "Ryvo.dmp"));
  SetRyvoSettings(csvFolder ? csvFolder : "", TestFolder("work"), "ToPC");
}

// Another dump, to tell a restored copy from the loaded one.
void MakeOtherDump(const char* path) {
  DumpStart(&otherStocks, 32, 0xD2, "PALM");
  DumpAddStock(&otherStocks, "X", 4412, 2, 7);
  DumpAddStock(&otherStocks, "表示", 4412, 2, 8);
  DumpWrite(&otherStocks, path);
}

// Opens the about box with command 403; NULL when it does not appear.
HWND OpenAbout(Program* app, HWND main) {
  SendCommand(main, 403);
  return WaitForWindow(app, "RyvoWin About", kWait);
}

void CloseAbout(HWND about) {
  AnswerMessageBox(about, IDOK);
  for (int i = 0; i < 250 && IsWindow(about); i++) Sleep(20);
}

}  // namespace

DRIVER_TEST(window_busy_guard_while_about_box_open) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  ListSelect(main, 150, 1);
  HWND about = OpenAbout(app, main);
  REQUIRE(about != NULL);
  // Every command only beeps while the box is open: buttons, menu items and
  // the close command alike.
  static const int commands[] = {105, 106, 109, 100, 101, 107, 108, 401, 402, 403, 104};
  for (int id : commands) {
    SendCommand(main, id);
    CHECK_NO_MESSAGE_BOX(app, 300);
  }
  CHECK(ClickButton(main, 105));
  CHECK(ClickButton(main, 109));
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_INT(WaitForExit(app, 200), kStillRunning);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  CHECK_INT(ListSelection(main, 150), 1);
  CHECK(IsWindow(about));
  // No second about box, no other window, nothing written.
  CHECK_INT(CountWindows(app), 2);
  CHECK(!FileExists(TestFile("csv", "A.csv")));
  CHECK(!FileExists(TestFile("work", "SaveRyvo.dmp")));
  CHECK_STR(SyncDir(), "ToPC");
  // Once the box is closed the commands work again.
  CloseAbout(about);
  CHECK(!IsWindow(about));
  SendCommand(main, 105);
  CHECK_LIST(main, 150, "ソニー|A|7203");
  CHECK_INT(ListSelection(main, 150), 0);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_csv_guard_on_export_direction_new_edit) {
  ResetState();
  PrepareThreeStocks(NULL);
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  static const int guarded[] = {100, 101, 107, 108};
  for (int id : guarded) {
    ListSelect(main, 150, 0);
    SendCommand(main, id);
    if (!EXPECT_MESSAGE_BOX(app, "RyvoWin", kCsvGuard, IDOK)) Note("command %d", id);
    // Nothing else: no second message, no dialog, no change.
    CHECK_NO_MESSAGE_BOX(app, 500);
    CHECK_INT(CountWindows(app), 1);
    CHECK_LIST(main, 150, "A|ソニー|7203");
  }
  CHECK(!FileExists(TestFile("work", "SaveRyvo.dmp")));
  CHECK(!FileExists(TestFile("csv", "A.csv")));
  CHECK_STR(SyncDir(), "ToPC");
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), threeStocks);
  // The guard also answers the buttons themselves.
  CHECK(ClickButton(main, 100));
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", kCsvGuard, IDOK));
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_without_csv_folder_other_commands_work) {
  ResetState();
  PrepareThreeStocks(NULL);
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  // 105 and 106 move.
  ListSelect(main, 150, 1);
  SendCommand(main, 105);
  CHECK_LIST(main, 150, "ソニー|A|7203");
  SendCommand(main, 106);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  CHECK_INT(ListSelection(main, 150), 1);
  // 109 asks.
  SendCommand(main, 109);
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", kAskDelete, IDOK));
  CHECK(EXPECT_MESSAGE_BOX(app, "注意", kDeleteNote, IDOK));
  CHECK_LIST(main, 150, "A|7203");
  // 401 restores the loaded dump.
  SendCommand(main, 401);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  // 402 runs too: without SaveRyvo.dmp it reports the failed copy.
  SendCommand(main, 402);
  CHECK(EXPECT_MESSAGE_BOX(app, "System Error", "RyvoDB file copy error", IDOK));
  // 403 opens the about box.
  HWND about = OpenAbout(app, main);
  CHECK(about != NULL);
  if (about) CloseAbout(about);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_move_up_and_down) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  // Up on the first entry and down on the last do nothing; the selection
  // stays where it was.
  ListSelect(main, 150, 0);
  SendCommand(main, 105);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  CHECK_INT(ListSelection(main, 150), 0);
  ListSelect(main, 150, 2);
  CHECK(ClickButton(main, 106));
  CHECK_LIST(main, 150, "A|ソニー|7203");
  CHECK_INT(ListSelection(main, 150), 2);
  // Without a selection nothing moves.
  ListSelect(main, 150, -1);
  SendCommand(main, 105);
  SendCommand(main, 106);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  CHECK_INT(ListSelection(main, 150), -1);
  // A real move carries the entry and its selection.
  ListSelect(main, 150, 2);
  CHECK(ClickButton(main, 105));
  CHECK_LIST(main, 150, "A|7203|ソニー");
  CHECK_INT(ListSelection(main, 150), 1);
  SendCommand(main, 105);
  CHECK_LIST(main, 150, "7203|A|ソニー");
  CHECK_INT(ListSelection(main, 150), 0);
  SendCommand(main, 106);
  SendCommand(main, 106);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  CHECK_INT(ListSelection(main, 150), 2);
  CHECK_NO_MESSAGE_BOX(app, 300);
  // Moving changes no file.
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), threeStocks);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_delete_asks_and_keeps_files) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  static const char csvText[] = "日付,始値,高値,安値,終値\r\n2001/1/10,1,2,3,4,5\r\n";
  WriteWholeFile(TestFile("csv", "ソニー.csv"), csvText, (int)strlen(csvText));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  static Copy settings;
  Keep(&settings, TestFile("work", "ソニー.txt"));
  // No selection: nothing is asked.
  ListSelect(main, 150, -1);
  SendCommand(main, 109);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  // Cancel keeps the entry.
  ListSelect(main, 150, 1);
  SendCommand(main, 109);
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", kAskDelete, IDCANCEL));
  CHECK_NO_MESSAGE_BOX(app, 500);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  // OK deletes it, then says that the change needs the Palm load button.
  ListSelect(main, 150, 1);
  CHECK(ClickButton(main, 109));
  HWND ask = WaitForMessageBox(app, "RyvoWin", kAskDelete, kWait);
  REQUIRE(ask != NULL);
  CHECK(GetDlgItem(ask, IDCANCEL) != NULL);
  AnswerMessageBox(ask, IDOK);
  CHECK(EXPECT_MESSAGE_BOX(app, "注意", kDeleteNote, IDOK));
  CHECK_LIST(main, 150, "A|7203");
  CHECK_INT(ListSelection(main, 150), -1);
  // No file changes: the dump, the settings file and the CSV file stay.
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), threeStocks);
  CHECK_FILE(TestFile("work", "ソニー.txt"), settings.data, settings.size);
  CHECK_FILE_TEXT(TestFile("csv", "ソニー.csv"), csvText);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_start_over_restores_begin_copy) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  // Loading kept BeginRyvo.dmp, a byte copy of the dump.
  CHECK(SameFileContent(TestFile("work", "BeginRyvo.dmp"), TestFile("work", "Ryvo.dmp")));
  // After a deletion 401 brings the loaded list back.
  ListSelect(main, 150, 0);
  SendCommand(main, 109);
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", kAskDelete, IDOK));
  CHECK(EXPECT_MESSAGE_BOX(app, "注意", kDeleteNote, IDOK));
  CHECK_LIST(main, 150, "ソニー|7203");
  SendCommand(main, 401);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  // 401 copies BeginRyvo.dmp over Ryvo.dmp and loads that: with another
  // dump in BeginRyvo.dmp, its stocks are listed and Ryvo.dmp holds it.
  MakeOtherDump(TestFile("work", "BeginRyvo.dmp"));
  SendCommand(main, 401);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "X|表示");
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), otherStocks);
  CHECK(FileExists(TestFile("work", "表示.txt")));
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_back_before_conversion_restores_save_copy) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  MakeOtherDump(TestFile("work", "SaveRyvo.dmp"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  SendCommand(main, 402);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "X|表示");
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), otherStocks);
  // The reload kept the restored dump as BeginRyvo.dmp.
  CHECK_FILE_DUMP(TestFile("work", "BeginRyvo.dmp"), otherStocks);
  // Neither command touches the direction.
  CHECK_STR(SyncDir(), "ToPC");
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_restore_without_copy_keeps_list) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  ListSelect(main, 150, 2);
  SendCommand(main, 109);
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", kAskDelete, IDOK));
  CHECK(EXPECT_MESSAGE_BOX(app, "注意", kDeleteNote, IDOK));
  CHECK_LIST(main, 150, "A|ソニー");
  // No SaveRyvo.dmp yet: 402 fails and changes nothing.
  SendCommand(main, 402);
  CHECK(EXPECT_MESSAGE_BOX(app, "System Error", "RyvoDB file copy error", IDOK));
  CHECK_NO_MESSAGE_BOX(app, 500);
  CHECK_LIST(main, 150, "A|ソニー");
  // BeginRyvo.dmp removed: 401 fails the same way.
  CHECK_INT(DeleteOneFile(TestFile("work", "BeginRyvo.dmp")), 0);
  SendCommand(main, 401);
  CHECK(EXPECT_MESSAGE_BOX(app, "System Error", "RyvoDB file copy error", IDOK));
  CHECK_NO_MESSAGE_BOX(app, 500);
  CHECK_LIST(main, 150, "A|ソニー");
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), threeStocks);
  CloseRyvoWin(app, main);
}

// The delete question has no owner window, so the list can change while it
// is open: OK takes out the entry that was asked about, where it is now,
// and nothing when the list no longer holds it.
DRIVER_TEST(window_delete_takes_the_entry_asked_about) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  // A is asked about, then moved down while the question is open.
  ListSelect(main, 150, 0);
  SendCommand(main, 109);
  HWND ask = WaitForMessageBox(app, "RyvoWin", kAskDelete, kWait);
  REQUIRE(ask != NULL);
  SendCommand(main, 106);
  CHECK_LIST(main, 150, "ソニー|A|7203");
  AnswerMessageBox(ask, IDOK);
  CHECK(EXPECT_MESSAGE_BOX(app, "注意", kDeleteNote, IDOK));
  CHECK_LIST(main, 150, "ソニー|7203");
  CHECK_INT(ListSelection(main, 150), -1);
  // 7203 is asked about, then another dump is restored: it is gone.
  MakeOtherDump(TestFile("work", "BeginRyvo.dmp"));
  ListSelect(main, 150, 1);
  SendCommand(main, 109);
  ask = WaitForMessageBox(app, "RyvoWin", kAskDelete, kWait);
  REQUIRE(ask != NULL);
  SendCommand(main, 401);
  CHECK_LIST(main, 150, "X|表示");
  AnswerMessageBox(ask, IDOK);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "X|表示");
  CloseRyvoWin(app, main);
}

// True when a file of the working folder matches `pattern` ("Ryvo.dmp.tmp*":
// a temporary file of the dump, whatever its run's number).
static bool WorkFileMatches(const char* pattern) {
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(932, 0, TestFile("work", pattern), -1, wide, MAX_PATH);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// A restore copies the kept dump beside Ryvo.dmp and puts it in place: a
// dump that cannot be replaced is left as it was with the list, and no
// temporary file stays. (A copy that breaks off part way is the unit
// tests' case: Wine enforces no locked byte ranges to make one here.)
DRIVER_TEST(window_restore_replaces_the_dump_whole) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  MakeOtherDump(TestFile("work", "SaveRyvo.dmp"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  // Ryvo.dmp is held open by another program: it cannot be replaced.
  HANDLE dump = CreateFileA(TestFile("work", "Ryvo.dmp"), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                            0, NULL);
  REQUIRE(dump != INVALID_HANDLE_VALUE);
  SendCommand(main, 402);
  CHECK(EXPECT_MESSAGE_BOX(app, "System Error", "RyvoDB file copy error", IDOK));
  CloseHandle(dump);
  CHECK_LIST(main, 150, "A|ソニー|7203");
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), threeStocks);
  CHECK(!WorkFileMatches("Ryvo.dmp.tmp*"));
  // Then it works, and leaves only the restored dump.
  SendCommand(main, 402);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_LIST(main, 150, "X|表示");
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), otherStocks);
  CHECK(!WorkFileMatches("Ryvo.dmp.tmp*"));
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_about_box) {
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  HWND about = OpenAbout(app, main);
  REQUIRE(about != NULL);
  // Its text and its OK button; the main window stays enabled meanwhile.
  HWND child = GetWindow(about, GW_CHILD);
  int sawText = 0;
  for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
    char text[128];
    WindowText(child, text, sizeof text);
    if (strcmp(text, "RyvoWin 0.80-β") == 0) sawText = 1;
  }
  CHECK(sawText);
  CHECK(GetDlgItem(about, IDOK) != NULL);
  CHECK(IsWindowEnabled(main));
  CloseAbout(about);
  CHECK(!IsWindow(about));
  // The busy flag is cleared: a command works afterwards.
  ListSelect(main, 150, 1);
  SendCommand(main, 106);
  CHECK_LIST(main, 150, "A|7203|ソニー");
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_about_box_keys) {
  // Escape and Enter close the about box like its OK button; the main
  // window works on afterwards.
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  const int keys[] = {VK_ESCAPE, VK_RETURN};
  for (int key : keys) {
    Note("key %d", key);
    HWND about = OpenAbout(app, main);
    REQUIRE(about != NULL);
    PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, key, 0);
    PostMessageA(GetDlgItem(about, IDOK), WM_KEYUP, key, 0);
    for (int i = 0; i < 250 && IsWindow(about); i++) Sleep(20);
    CHECK(!IsWindow(about));
    CHECK(IsRunning(app));
  }
  ListSelect(main, 150, 1);
  SendCommand(main, 106);
  CHECK_LIST(main, 150, "A|7203|ソニー");
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_long_csv_folder_keeps_the_direction) {
  // A CSV folder of 100 bytes or more stands before SyncDir in the key and
  // does not fit SyncDir's buffer; SyncDir must be found all the same. With
  // "ToPalm" read, the direction button takes the conversion back: no
  // message, no new dump, the direction "ToPC".
  ResetState();
  char folder[MAX_PATH];
  snprintf(folder, sizeof folder, "%s\\%s", TestFolder("csv"),
           "a-folder-name-long-enough-to-make-the-whole-path-pass-one-hundred-bytes");
  REQUIRE(strlen(folder) >= 100);
  CreateDirectoryA(folder, NULL);
  PrepareThreeStocks(folder);
  RegistryWrite(kRyvoKey, "SyncDir", "ToPalm");
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  SendCommand(main, 101);
  CHECK_NO_MESSAGE_BOX(app, kQuiet);
  CHECK_STR(SyncDir(), "ToPC");
  CHECK(!FileExists(TestFile("work", "SaveRyvo.dmp")));
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), threeStocks);
  CloseRyvoWin(app, main);
}

namespace {

struct OtherWindow {
  DWORD pid;
  HWND main;
  HWND found;
};

BOOL CALLBACK FindOtherWindow(HWND window, LPARAM data) {
  OtherWindow* search = (OtherWindow*)data;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || window == search->main || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// The folder browser: the one visible window of the program besides the
// main window (its caption is the system's own).
HWND WaitForBrowser(Program* app, HWND main) {
  for (int i = 0; i < 400; i++) {
    OtherWindow search = {app->pid, main, NULL};
    EnumWindows(FindOtherWindow, (LPARAM)&search);
    if (search.found) return search.found;
    Sleep(50);
  }
  return NULL;
}

// The text of any static control of `window` that starts with `start`.
struct StaticSearch {
  const char* start;
  char text[1024];
};

BOOL CALLBACK FindStatic(HWND control, LPARAM data) {
  StaticSearch* search = (StaticSearch*)data;
  char text[1024];
  WindowText(control, text, sizeof text);
  if (strncmp(text, search->start, strlen(search->start)) != 0) return TRUE;
  snprintf(search->text, sizeof search->text, "%s", text);
  return FALSE;
}

}  // namespace

DRIVER_TEST(window_csv_folder_browser) {
  // The browser opens on the current CSV folder and says which it is; OK
  // keeps that folder as RyvoWinDir, cancel changes nothing.
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);

  ClickButton(main, 102);
  HWND browser = WaitForBrowser(app, main);
  REQUIRE(browser != NULL);
  StaticSearch prompt = {"ＲｙｖｏデータをＣＳＶ展開するディレクトリを選択してください。", ""};
  EnumChildWindows(browser, FindStatic, (LPARAM)&prompt);
  char expected[1024];
  snprintf(expected, sizeof expected,
           "ＲｙｖｏデータをＣＳＶ展開するディレクトリを選択してください。\n現在の設定は:%s",
           TestFolder("csv"));
  CHECK_STR(prompt.text, expected);
  CHECK(AnswerMessageBox(browser, IDCANCEL));
  CHECK(!IsWindow(browser));
  char folder[MAX_PATH];
  RegistryRead(kRyvoKey, "RyvoWinDir", folder, sizeof folder);
  CHECK_STR(folder, TestFolder("csv"));

  // A folder that is not the current one: the browser preselects the
  // current folder, so OK at once writes it back unchanged; with the
  // setting changed behind the program's back, OK restores the program's.
  RegistryWrite(kRyvoKey, "RyvoWinDir", "C:\\elsewhere");
  ClickButton(main, 102);
  browser = WaitForBrowser(app, main);
  REQUIRE(browser != NULL);
  CHECK(AnswerMessageBox(browser, IDOK));
  CHECK(!IsWindow(browser));
  RegistryRead(kRyvoKey, "RyvoWinDir", folder, sizeof folder);
  CHECK(_stricmp(folder, TestFolder("csv")) == 0);
  if (_stricmp(folder, TestFolder("csv")) != 0) Note("RyvoWinDir is \"%s\"", folder);
  CloseRyvoWin(app, main);
}

DRIVER_TEST(window_buttons_from_the_keyboard) {
  // Every button is a tab stop; Space or Enter presses the focused one, and the
  // focused one shows the focus rectangle over its picture once the
  // keyboard cues are on (Windows turns them on at the first key).
  ResetState();
  PrepareThreeStocks(TestFolder("csv"));
  Program* app;
  HWND main = StartRyvoWin(&app);
  REQUIRE(main != NULL);
  const int ids[] = {150, 100, 101, 102, 104, 105, 106, 107, 108, 109};
  // Twelve presses go round the ten controls; on a busy machine a key may
  // be handled late, so each press is given up to five seconds.
  int reached[10] = {0};
  for (int i = 0; i < 12; i++) {
    HWND before = FocusedWindow(main);
    PostKey(before ? before : main, VK_TAB);
    for (int waited = 0; waited < 5000 && FocusedWindow(main) == before; waited += 10) Sleep(10);
    int id = GetDlgCtrlID(FocusedWindow(main));
    for (int k = 0; k < 10; k++)
      if (ids[k] == id) reached[k] = 1;
  }
  for (int k = 0; k < 10; k++)
    if (!reached[k]) CheckFailed(__FILE__, __LINE__, "control %d is never reached with Tab", ids[k]);

  PostMessageA(main, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  REQUIRE(TabTo(main, 100, 12));
  Picture shown, plain;
  CHECK(ResourcePicture("RyvoWin.exe", 202, &plain));
  RECT r;
  GetWindowRect(GetDlgItem(main, 100), &r);
  int differs = 0;
  for (int i = 0; i < 100 && !differs; i++) {
    HDC screen = GetDC(NULL);
    if (GrabPicture(screen, r.left, r.top, &shown))
      differs = memcmp(shown.pixel, plain.pixel, sizeof shown.pixel) != 0;
    ReleaseDC(NULL, screen);
    if (!differs) Sleep(20);
  }
  CHECK(differs);   // the focus rectangle over the picture

  // Space presses it, and so does Enter.
  PostKey(FocusedWindow(main), VK_SPACE);
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", "変換完了", IDOK));
  CHECK(FileExists(TestFile("csv", "ソニー.csv")));
  CHECK_INT(DeleteOneFile(TestFile("csv", "ソニー.csv")), 0);
  REQUIRE(TabTo(main, 100, 12));
  PostKey(FocusedWindow(main), VK_RETURN);
  CHECK(EXPECT_MESSAGE_BOX(app, "RyvoWin", "変換完了", IDOK));
  CHECK(FileExists(TestFile("csv", "ソニー.csv")));

  // Away from the button the picture is the plain one again.
  REQUIRE(TabTo(main, 101, 12));
  EXPECT_BUTTON_PICTURE("RyvoWin.exe", main, 100, 202);
  CloseRyvoWin(app, main);
}
