// The stock settings dialog RECEDIT_DLG through RyvoWin's commands 107 and
// 108: typing into its fields, ticking its boxes, 登録 and ｷｬﾝｾﾙ (also by
// Enter and Escape), the messages it shows, the files it leaves and the
// list the main window shows afterwards.
#include <stdio.h>
#include <string.h>

#include "driver.h"

namespace {

const char kDialogCaption[] = "Ryvo Data Setup";
const char kAboutCaption[] = "RyvoWin About";
const char kSavedText[] = "Palmロードボタンを押下しないと設定内容が有効になりません。";
const char kNameText[] = "銘柄名は半角２０文字以下、全角１０文字以下です。";
const char kCsvHeader[] = "日付,始値,高値,安値,終値\r\n";

enum { kListId = 150, kNew = 107, kEdit = 108, kMoveUp = 105, kDelete = 109, kAbout = 403 };

// The edit controls in file order, and the three check boxes.
const int kEditIds[] = {301, 304, 303, 305, 306, 307, 308, 309, 310, 311,
                        312, 313, 314, 315, 317, 318, 319, 320};
const int kCheckIds[] = {300, 302, 316};

// A running RyvoWin over a dump of the named stocks ("|" between names);
// the CSV folder holds a price file for each name in `csvFor`.
struct Session {
  Program* app;
  HWND main;
};

int StartWith(Session* s, const char* names, const char* csvFor) {
  static Dump dump;
  DumpStart(&dump, 32, 0xD2, "PALM");
  char copy[256];
  snprintf(copy, sizeof copy, "%s", names);
  int seed = 1;
  for (char* name = strtok(copy, "|"); name != NULL; name = strtok(NULL, "|")) {
    DumpAddStock(&dump, name, 4412, 5, seed++, 2, 1000);
  }
  DumpWrite(&dump, TestFile("work", "Ryvo.dmp"));
  snprintf(copy, sizeof copy, "%s", csvFor);
  for (char* name = strtok(copy, "|"); name != NULL; name = strtok(NULL, "|")) {
    char file[64];
    snprintf(file, sizeof file, "%s.csv", name);
    char text[128];
    int n = snprintf(text, sizeof text, "%s2001/01/10,100,110,90,105,5000\r\n", kCsvHeader);
    WriteWholeFile(TestFile("csv", file), text, n);
  }
  SetRyvoSettings(TestFolder("csv"), TestFolder("work"), "ToPC");
  s->main = StartRyvoWin(&s->app);
  return s->main != NULL;
}

// Opens the dialog with a command; NULL when it did not appear.
HWND OpenDialog(Session* s, int command) {
  SendCommand(s->main, command);
  return WaitForWindow(s->app, kDialogCaption, kWait);
}

void SetField(HWND dialog, int id, const char* text) {
  DWORD_PTR result;
  WCHAR wide[1024];
  if (!MultiByteToWideChar(932, 0, text, -1, wide, 1024)) wide[0] = 0;
  SendDlgItemMessageW(dialog, id, WM_SETTEXT, 0, (LPARAM)wide);
  SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kWait, &result);
}

int Checked(HWND dialog, int id) {
  return (int)SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Presses a key in a control, as the dialog's own loop sees it.
void PressKey(HWND dialog, int id, int key) {
  HWND control = GetDlgItem(dialog, id);
  PostMessageA(control, WM_KEYDOWN, key, 0);
  PostMessageA(control, WM_KEYUP, key, 0xC0000000);
}

int WaitGone(HWND window) {
  for (int waited = 0; waited < kWait; waited += 50) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return 1;
    Sleep(50);
  }
  return 0;
}

// The whole text of a file, or "(missing)".
const char* FileText(const char* path) {
  static char text[4][2048];
  static int next = 0;
  char* buffer = text[next++ % 4];
  int n = ReadWholeFile(path, (unsigned char*)buffer, sizeof text[0] - 1);
  if (n < 0) return "(missing)";
  buffer[n] = '\0';
  return buffer;
}

}  // namespace

DRIVER_TEST(editor_new_stock_created_at_the_end) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "7203|ソニー", "7203|ソニー"));
  HWND dialog = OpenDialog(&s, kNew);
  REQUIRE(dialog != NULL);
  // A new stock opens with every field empty and every box clear.
  for (int id : kEditIds) {
    char text[64];
    ControlText(dialog, id, text, sizeof text);
    if (!CHECK_STR(text, "")) Note("field %d", id);
  }
  for (int id : kCheckIds) CHECK_INT(Checked(dialog, id), 0);

  SetField(dialog, 301, "任天堂");
  ClickButton(dialog, 300);
  ClickButton(dialog, 316);
  SetField(dialog, 303, "http://example.jp/q?s=7974");
  SetField(dialog, 305, "終値");
  SetField(dialog, 304, "100");
  const char* pairs[14] = {"12", "3", "12", "4", "12", "5", "12", "6", "14", "2",
                           "60000", "40000", "900000", "0"};
  const int pairIds[14] = {306, 307, 308, 309, 310, 311, 312, 313, 314, 315, 317, 318, 319, 320};
  for (int i = 0; i < 14; ++i) SetField(dialog, pairIds[i], pairs[i]);
  ClickButton(dialog, IDOK);
  REQUIRE(EXPECT_MESSAGE_BOX(s.app, "注意", kSavedText, IDOK));
  CHECK(WaitGone(dialog));
  WaitIdle(s.main);

  CHECK_LIST(s.main, kListId, "7203|ソニー|任天堂");
  CHECK_INT(ListSelection(s.main, kListId), 2);
  CHECK_STR(FileText(TestFile("csv", "任天堂.csv")), kCsvHeader);
  CHECK_STR(FileText(TestFile("work", "任天堂.txt")),
            "任天堂\r\n1\r\n0\r\n1\r\nhttp://example.jp/q?s=7974\r\n終値\r\n100\r\n"
            "12,3\r\n12,4\r\n12,5\r\n12,6\r\n14,2\r\n60000,40000\r\n900000,0\r\n");
  CHECK_NO_MESSAGE_BOX(s.app, kQuiet);
}

DRIVER_TEST(editor_new_stock_empty_name_and_cancel) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "7203", "7203"));
  HWND dialog = OpenDialog(&s, kNew);
  REQUIRE(dialog != NULL);
  // 登録 with an empty name does nothing and shows nothing.
  SetField(dialog, 305, "kw");
  ClickButton(dialog, IDOK);
  CHECK_NO_MESSAGE_BOX(s.app, kQuiet);
  CHECK(IsWindowVisible(dialog));
  // Escape cancels: no stock, no file.
  SetField(dialog, 301, "9984");
  PressKey(dialog, 301, VK_ESCAPE);
  CHECK(WaitGone(dialog));
  WaitIdle(s.main);
  CHECK_LIST(s.main, kListId, "7203");
  CHECK(!FileExists(TestFile("work", "9984.txt")));
  CHECK(!FileExists(TestFile("csv", "9984.csv")));
  CHECK_NO_MESSAGE_BOX(s.app, kQuiet);
}

// 20 half-width or 10 full-width bytes pass; one byte more is refused and
// the dialog keeps what was typed. A name that cannot be a file name is
// refused as well.
DRIVER_TEST(editor_name_limits) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "7203", "7203"));
  HWND dialog = OpenDialog(&s, kNew);
  REQUIRE(dialog != NULL);
  struct Refused {
    const char* name;
    const char* message;   // NULL: the file-name message (checked by caption)
  } refused[] = {
      {"aaaaaaaaaaaaaaaaaaaaa", kNameText},   // 21 half-width
      {"株株株株株株株株株株a", kNameText},     // 10 full-width + 1
      {"a/b", NULL},
      {"..", NULL},
      {"A*B", NULL},   // Windows takes no wildcard in a file name
      {"con", NULL},   // nor a device name
  };
  for (const Refused& r : refused) {
    SetField(dialog, 301, r.name);
    ClickButton(dialog, IDOK);
    HWND box = WaitForMessageBox(s.app, "入力エラー", r.message, kWait);
    if (!CHECK(box != NULL)) {
      Note("no refusal for %s", r.name);
      continue;
    }
    char caption[512], text[512];
    FindAnyMessageBox(s.app, caption, text);
    if (r.message == NULL) CHECK(strstr(text, "使用できない文字") != NULL);
    AnswerMessageBox(box, IDOK);
    CHECK(WaitGone(box));
    char shown[64];
    ControlText(dialog, 301, shown, sizeof shown);
    CHECK_STR(shown, r.name);
    CHECK(IsWindowVisible(dialog));
  }
  // 10 full-width characters pass, saved by Enter.
  SetField(dialog, 301, "株株株株株株株株株株");
  PressKey(dialog, 301, VK_RETURN);
  REQUIRE(EXPECT_MESSAGE_BOX(s.app, "注意", kSavedText, IDOK));
  CHECK(WaitGone(dialog));
  WaitIdle(s.main);

  dialog = OpenDialog(&s, kNew);
  REQUIRE(dialog != NULL);
  SetField(dialog, 301, "aaaaaaaaaaaaaaaaaaaa");   // 20 half-width
  ClickButton(dialog, IDOK);
  REQUIRE(EXPECT_MESSAGE_BOX(s.app, "注意", kSavedText, IDOK));
  WaitIdle(s.main);
  CHECK_LIST(s.main, kListId, "7203|株株株株株株株株株株|aaaaaaaaaaaaaaaaaaaa");
  CHECK(FileExists(TestFile("work", "aaaaaaaaaaaaaaaaaaaa.txt")));
}

DRIVER_TEST(editor_rename_a_to_b) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "A|C", "A|C"));
  char oldSettings[2048], oldPrices[2048];
  snprintf(oldSettings, sizeof oldSettings, "%s", FileText(TestFile("work", "A.txt")));
  snprintf(oldPrices, sizeof oldPrices, "%s", FileText(TestFile("csv", "A.csv")));
  ListSelect(s.main, kListId, 0);
  HWND dialog = OpenDialog(&s, kEdit);
  REQUIRE(dialog != NULL);
  char text[64];
  ControlText(dialog, 301, text, sizeof text);
  CHECK_STR(text, "A");
  ControlText(dialog, 304, text, sizeof text);
  CHECK_STR(text, "1000");
  CHECK_INT(Checked(dialog, 302), 1);   // flags 2: WebScrap
  CHECK_INT(Checked(dialog, 300), 0);

  SetField(dialog, 301, "B");
  ClickButton(dialog, IDOK);
  REQUIRE(EXPECT_MESSAGE_BOX(s.app, "注意", kSavedText, IDOK));
  CHECK(WaitGone(dialog));
  WaitIdle(s.main);

  CHECK_LIST(s.main, kListId, "B|C");
  CHECK_INT(ListSelection(s.main, kListId), 0);
  CHECK_STR(FileText(TestFile("csv", "B.csv")), oldPrices);
  CHECK_STR(FileText(TestFile("csv", "A.csv")), oldPrices);
  CHECK_STR(FileText(TestFile("work", "A.txt")), oldSettings);
  // B's settings are A's with the new name on line 1.
  const char* b = FileText(TestFile("work", "B.txt"));
  CHECK(strncmp(b, "B\r\n", 3) == 0);
  CHECK_STR(b + 3, strchr(oldSettings, '\n') + 1);
}

DRIVER_TEST(editor_cancel_leaves_the_stock) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "A|C", "A|C"));
  char oldSettings[2048];
  snprintf(oldSettings, sizeof oldSettings, "%s", FileText(TestFile("work", "C.txt")));
  ListSelect(s.main, kListId, 1);
  HWND dialog = OpenDialog(&s, kEdit);
  REQUIRE(dialog != NULL);
  SetField(dialog, 301, "Z");
  SetField(dialog, 304, "5");
  ClickButton(dialog, IDCANCEL);
  CHECK(WaitGone(dialog));
  WaitIdle(s.main);
  CHECK_NO_MESSAGE_BOX(s.app, kQuiet);
  CHECK_LIST(s.main, kListId, "A|C");
  CHECK_INT(ListSelection(s.main, kListId), 1);
  CHECK_STR(FileText(TestFile("work", "C.txt")), oldSettings);
  CHECK(!FileExists(TestFile("work", "Z.txt")));
  CHECK(!FileExists(TestFile("csv", "Z.csv")));
}

DRIVER_TEST(editor_missing_csv_opens_no_dialog) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "A|C", "C"));
  ListSelect(s.main, kListId, 0);
  for (int round = 0; round < 2; ++round) {   // the second proves the busy flag is clear
    SendCommand(s.main, kEdit);
    REQUIRE(EXPECT_MESSAGE_BOX(s.app, "エラー", "CSVファイルを作成してから実行してください。", IDOK));
    CHECK(WaitForWindow(s.app, kDialogCaption, kQuiet) == NULL);
    WaitIdle(s.main);
    CHECK_LIST(s.main, kListId, "A|C");
    CHECK_INT(ListSelection(s.main, kListId), 0);
  }
  CHECK(!FileExists(TestFile("csv", "A.csv")));
}

// A settings file that ends after line 4: the message, then the dialog
// with what was read; 登録 writes all 14 lines again.
DRIVER_TEST(editor_settings_file_cut_after_line_4) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "A", "A"));
  const char cut[] = "A\r\n1\r\n0\r\n1\r\n";
  WriteWholeFile(TestFile("work", "A.txt"), cut, (int)strlen(cut));
  ListSelect(s.main, kListId, 0);
  SendCommand(s.main, kEdit);
  REQUIRE(EXPECT_MESSAGE_BOX(s.app, "System Error", "RyvoSetup file read error", IDOK));
  HWND dialog = WaitForWindow(s.app, kDialogCaption, kWait);
  REQUIRE(dialog != NULL);
  char text[64];
  ControlText(dialog, 301, text, sizeof text);
  CHECK_STR(text, "A");
  CHECK_INT(Checked(dialog, 300), 1);
  CHECK_INT(Checked(dialog, 302), 0);
  CHECK_INT(Checked(dialog, 316), 1);
  for (int i = 1; i < (int)(sizeof kEditIds / sizeof kEditIds[0]); ++i) {
    ControlText(dialog, kEditIds[i], text, sizeof text);
    if (!CHECK_STR(text, "")) Note("field %d", kEditIds[i]);
  }
  ClickButton(dialog, IDOK);
  REQUIRE(EXPECT_MESSAGE_BOX(s.app, "注意", kSavedText, IDOK));
  CHECK(WaitGone(dialog));
  CHECK_STR(FileText(TestFile("work", "A.txt")),
            "A\r\n1\r\n0\r\n1\r\n\r\n\r\n\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n");
  WaitIdle(s.main);
  CHECK_LIST(s.main, kListId, "A");
}

// While the dialog is open the main window's commands only beep: the list,
// its selection and the open windows stay as they are.
DRIVER_TEST(editor_main_window_busy_while_open) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "A|C", "A|C"));
  ListSelect(s.main, kListId, 1);
  HWND dialog = OpenDialog(&s, kNew);
  REQUIRE(dialog != NULL);
  int windows = CountWindows(s.app);
  const int commands[] = {kMoveUp, kDelete, kAbout, kNew, kEdit, 401, 402};
  for (int command : commands) {
    SendCommand(s.main, command);
    CHECK_LIST(s.main, kListId, "A|C");
    CHECK_INT(ListSelection(s.main, kListId), 1);
    if (!CHECK_INT(CountWindows(s.app), windows)) Note("after command %d", command);
  }
  CHECK_NO_MESSAGE_BOX(s.app, kQuiet);
  CHECK(FindProgramWindow(s.app, kAboutCaption) == NULL);
  CHECK(IsWindowVisible(dialog));

  ClickButton(dialog, IDCANCEL);
  CHECK(WaitGone(dialog));
  WaitIdle(s.main);
  // Closed again, the same command works.
  SendCommand(s.main, kMoveUp);
  CHECK_LIST(s.main, kListId, "C|A");
  CHECK_INT(ListSelection(s.main, kListId), 0);
}

// A dialog that ends without setting a result (its loop ends on WM_QUIT,
// as when it cannot open) leaves no name behind: the name of the stock
// edited before is not taken for a new stock, whose price file would
// replace that stock's with a header-only one.
DRIVER_TEST(editor_new_stock_without_a_result_uses_no_earlier_name) {
  ResetState();
  Session s;
  REQUIRE(StartWith(&s, "7203|ソニー", "7203|ソニー"));
  char before[2048];
  snprintf(before, sizeof before, "%s", FileText(TestFile("csv", "7203.csv")));
  // Edit 7203 and cancel: the result is 7203.
  ListSelect(s.main, kListId, 0);
  HWND dialog = OpenDialog(&s, kEdit);
  REQUIRE(dialog != NULL);
  ClickButton(dialog, IDCANCEL);
  CHECK(WaitGone(dialog));
  WaitIdle(s.main);
  // A new stock whose dialog ends with no button pressed.
  dialog = OpenDialog(&s, kNew);
  REQUIRE(dialog != NULL);
  PostThreadMessageA(GetWindowThreadProcessId(dialog, NULL), WM_QUIT, 0, 0);
  CHECK(WaitGone(dialog));
  // The quit may end RyvoWin too; while it runs, the list stays as it was.
  if (WaitForExit(s.app, kQuiet) == kStillRunning) {
    WaitIdle(s.main);
    CHECK_NO_MESSAGE_BOX(s.app, 500);
    CHECK_LIST(s.main, kListId, "7203|ソニー");
  }
  CHECK_STR(FileText(TestFile("csv", "7203.csv")), before);
}
