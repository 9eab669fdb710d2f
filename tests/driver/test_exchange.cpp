// RyvoWin's exchange from end to end: command 100 writes the price CSV
// files, the direction button 101 converts them back into Ryvo.dmp for the
// handheld (or takes a waiting conversion back), and 変換前に戻す (402)
// brings back the dump of before the last conversion. What is checked is
// what a person sees (messages, the list, the button's picture on the
// screen) and what the programs leave behind (files byte for byte, SyncDir).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver.h"

namespace {

const char kCaption[] = "RyvoWin";
const char kExported[] = "変換完了";
const char kConverted[] = "変換完了\n次回HotSyncでPalmにロードされます。";
const char kNotCreated[] = "次の銘柄のＣＳＶファイルを作成できませんでした。";
const char kAskDelete[] = "指定されたデータを削除します。";
const char kDeleteNote[] = "Palmロードボタンを押下しないと設定内容が有効になりません。";
const char kHeaderLine[] = "日付,始値,高値,安値,終値\r\n";

enum { kExport = 100, kDirection = 101, kMoveUp = 105, kDelete = 109, kBackBefore = 402 };
enum { kListId = 150 };
// The direction button's normal pictures: towards the handheld, and the
// same crossed out while a conversion waits for the next HotSync.
enum { kToHandheldPicture = 204, kCancelPicture = 224 };

// One price row as the dump stores it: date and five (mantissa, exponent).
struct Row {
  int year, month, day;
  int mantissa[5];
  int exponent[5];
};

void AddRows(Dump* dump, int record, const Row* rows, int count) {
  for (int i = 0; i < count; i++)
    DumpSetRow(dump, record, i, rows[i].year, rows[i].month, rows[i].day,
               rows[i].mantissa, rows[i].exponent);
}

struct Session {
  Program* app;
  HWND main;
};

// Writes `dump` as Ryvo.dmp, sets the folders (CSV folder "csv") and starts
// RyvoWin; 1 when its main window is there.
int Start(Session* s, const Dump* dump) {
  DumpWrite(dump, TestFile("work", "Ryvo.dmp"));
  SetRyvoSettings(TestFolder("csv"), TestFolder("work"), "ToPC");
  s->main = StartRyvoWin(&s->app);
  return s->main != NULL;
}

void Close(Session* s) { CloseRyvoWin(s->app, s->main); }

// Command 100 as the button; 1 when it ended with its completion message.
int Export(Session* s) {
  CHECK(ClickButton(s->main, kExport));
  return EXPECT_MESSAGE_BOX(s->app, kCaption, kExported, IDOK);
}

// The direction button when it converts; 1 when it announced the transfer.
int Convert(Session* s) {
  CHECK(ClickButton(s->main, kDirection));
  return EXPECT_MESSAGE_BOX(s->app, kCaption, kConverted, IDOK);
}

int CompareNames(const void* a, const void* b) {
  return strcmp(*(const char* const*)a, *(const char* const*)b);
}

// The files of a folder, sorted by name and joined with "|"; the folder's
// lock file (".ryvo-lock", made by the first operation that writes there)
// is the programs' own and left out.
const char* FolderFiles(const char* folder) {
  static char names[32][MAX_PATH];
  static char joined[2048];
  const char* order[32];
  int count = 0;
  char pattern[MAX_PATH];
  snprintf(pattern, sizeof pattern, "%s\\*", folder);
  // Names as code page 932, whatever the system's code page.
  WCHAR widePattern[MAX_PATH];
  MultiByteToWideChar(932, 0, pattern, -1, widePattern, MAX_PATH);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(widePattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (wcscmp(found.cFileName, L".ryvo-lock") == 0) continue;
      if (count < 32) {
        if (!WideCharToMultiByte(932, 0, found.cFileName, -1, names[count], MAX_PATH, NULL, NULL))
          names[count][0] = 0;
        order[count] = names[count];
        count++;
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  qsort(order, count, sizeof order[0], CompareNames);
  int used = 0;
  joined[0] = 0;
  for (int i = 0; i < count; i++)
    used += snprintf(joined + used, sizeof joined - used, "%s%s", i ? "|" : "", order[i]);
  return joined;
}

// Three stocks with a few rows each; "ソニー" has the byte 0x5C in its name.
void ThreeStocks(Dump* dump) {
  DumpStart(dump, 32, 0xD2, "PALM");
  DumpAddStock(dump, "A", 4412, 3, 1, 2, 1000);
  DumpAddStock(dump, "ソニー", 4412, 2, 2, 0, 500);
  DumpAddStock(dump, "7203", 4412, 4, 3, 5, 100);
}

// Start with the three stocks in `dump`; 1 when the main window is there.
int StartThreeStocks(Session* s, Dump* dump) {
  ThreeStocks(dump);
  return Start(s, dump);
}

}  // namespace

// ---- Export -----------------------------------------------------------------

DRIVER_TEST(exchange_export_writes_price_files) {
  ResetState();
  static Dump dump;
  DumpStart(&dump, 40, 0xD2, "PALM");
  int a = DumpAddStock(&dump, "A", 4412, 0, 0);
  // Values in several encodings, the widest value, a malformed date; the
  // zero-date row ends the table, so the row after it is never written.
  const Row rows[] = {
      {2001, 1, 10, {123450, 125, 120025, 1240, 15000}, {-2, 1, -2, 0, 2}},
      {2001, 2, 1, {1, 131071, 5, 123, 131071}, {-2, 0, 0, -1, 5}},
      {1990, 0, 5, {0, 0, 0, 0, 0}, {3, -2, 0, 5, 1}},
      {1904, 0, 0, {7, 7, 7, 7, 7}, {0, 0, 0, 0, 0}},
      {2001, 3, 1, {9, 9, 9, 9, 9}, {0, 0, 0, 0, 0}},
  };
  AddRows(&dump, a, rows, 5);
  DumpAddStock(&dump, "ソニー", 4412, 0, 0);
  // An earlier file with user edits, longer than the new one: replaced.
  char stale[600];
  int n = snprintf(stale, sizeof stale, "%s", kHeaderLine);
  for (int i = 0; i < 8; i++)
    n += snprintf(stale + n, sizeof stale - n, "2000/1/%d,1,2,3,4,5,user edit\r\n", i + 1);
  WriteWholeFile(TestFile("csv", "A.csv"), stale, n);

  Session s;
  REQUIRE(Start(&s, &dump));
  CHECK_LIST(s.main, kListId, "A|ソニー");
  REQUIRE(Export(&s));
  CHECK_NO_MESSAGE_BOX(s.app, 300);

  static const char expectedA[] =
      "日付,始値,高値,安値,終値\r\n"
      "2001/1/10,     1234.50,     1250.00,     1200.25,     1240.00,  1500000.00\r\n"
      "2001/2/1,        0.01,   131071.00,        5.00,       12.30,13107100000.00\r\n"
      "1990/0/5,        0.00,        0.00,        0.00,        0.00,        0.00\r\n";
  CHECK_FILE_TEXT(TestFile("csv", "A.csv"), expectedA);
  CHECK_FILE_TEXT(TestFile("csv", "ソニー.csv"), kHeaderLine);
  CHECK_STR(FolderFiles(TestFolder("csv")), "A.csv|ソニー.csv");
  // The export changes neither the list, the dump nor the direction.
  CHECK_LIST(s.main, kListId, "A|ソニー");
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), dump);
  CHECK_STR(SyncDir(), "ToPC");
  Close(&s);
}

DRIVER_TEST(exchange_export_names_stocks_it_could_not_write) {
  ResetState();
  static Dump dump;
  DumpStart(&dump, 32, 0xD2, "PALM");
  DumpAddStock(&dump, "A", 4412, 2, 1);
  DumpAddStock(&dump, "x:y", 4412, 2, 2);   // no file can carry this name
  DumpAddStock(&dump, "ソニー", 4412, 2, 3);
  Session s;
  REQUIRE(Start(&s, &dump));
  CHECK_LIST(s.main, kListId, "A|x:y|ソニー");
  char csvFolder[MAX_PATH];
  snprintf(csvFolder, sizeof csvFolder, "%s", TestFolder("csv"));

  struct Case {
    const char* what;
    int folder;                 // 0 missing, 1 a plain file, 2 a folder
    const char* names;          // the stocks the message lists
    const char* written;        // the CSV folder's files afterwards
  };
  static const Case cases[] = {
      {"CSV folder missing", 0, "\nA\nx:y\nソニー", NULL},
      {"CSV folder is a file", 1, "\nA\nx:y\nソニー", NULL},
      {"one name that is no file name", 2, "\nx:y", "A.csv|ソニー.csv"},
  };
  for (const Case& c : cases) {
    Note("%s", c.what);
    if (c.folder == 0) CHECK(RemoveDirectoryA(csvFolder));
    if (c.folder == 1) CHECK_INT(WriteWholeFile(csvFolder, "not a folder", 12), 0);
    if (c.folder == 2) {
      DeleteOneFile(csvFolder);
      CHECK(CreateDirectoryA(csvFolder, NULL));
    }
    char text[512];
    snprintf(text, sizeof text, "%s%s", kNotCreated, c.names);
    CHECK(ClickButton(s.main, kExport));
    // One message naming the stocks, and no completion message after it.
    CHECK(EXPECT_MESSAGE_BOX(s.app, kCaption, text, IDOK));
    CHECK_NO_MESSAGE_BOX(s.app, 500);
    CHECK_INT(WaitForExit(s.app, 0), kStillRunning);
    CHECK_LIST(s.main, kListId, "A|x:y|ソニー");
    if (c.folder == 1) CHECK_FILE_TEXT(csvFolder, "not a folder");
    if (c.written) CHECK_STR(FolderFiles(csvFolder), c.written);
  }
  // The stocks that had a file got their rows.
  char line[128];
  snprintf(line, sizeof line, "%s2001/1/10,", kHeaderLine);
  static unsigned char data[4096];
  int n = ReadWholeFile(TestFile("csv", "A.csv"), data, sizeof data);
  CHECK(n > (int)strlen(line) && memcmp(data, line, strlen(line)) == 0);
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), dump);
  Close(&s);
}

DRIVER_TEST(exchange_export_unreadable_dump) {
  ResetState();
  static Dump dump;
  Session s;
  REQUIRE(StartThreeStocks(&s, &dump));
  static const unsigned char cutHeader[14] = {0x20, 0, 0, 0, 0x00, 0xD2, 0, 3};
  struct Case {
    const char* what;
    const void* content;   // NULL: no dump at all
    int size;
    const char* message;
    const char* written;   // the CSV folder's files afterwards
  };
  const Case cases[] = {
      {"no dump", NULL, 0, "RyvoDB file open error", ""},
      {"two bytes", cutHeader, 2, "RyvoDB file Cnt.size read error", ""},
      {"header cut short", cutHeader, (int)sizeof cutHeader, "RyvoDB file Cont.Rec. read error",
       ""},
      // The third stock's record ends early: told with its index before
      // any file is written.
      {"third stock cut short", dump.data, dump.size - 100,
       "RyvoDB file Data.Rec. read error: record 3", ""},
  };
  for (const Case& c : cases) {
    Note("%s", c.what);
    if (c.content)
      WriteWholeFile(TestFile("work", "Ryvo.dmp"), c.content, c.size);
    else
      CHECK_INT(DeleteOneFile(TestFile("work", "Ryvo.dmp")), 0);
    CHECK(ClickButton(s.main, kExport));
    // The failure alone, without the completion message.
    CHECK(EXPECT_MESSAGE_BOX(s.app, "System Error", c.message, IDOK));
    CHECK_NO_MESSAGE_BOX(s.app, 300);
    CHECK_STR(FolderFiles(TestFolder("csv")), c.written);
  }
  CHECK_LIST(s.main, kListId, "A|ソニー|7203");
  Close(&s);
}

// ---- The direction button -----------------------------------------------------

DRIVER_TEST(exchange_direction_converts_and_takes_back) {
  ResetState();
  // The dump as the handheld left it; values deliberately not in the
  // encoding that the conversion chooses (1250 as 125 x 10, 100.5 as
  // 1005 x 0.1), so that the new dump differs from the old one.
  static Dump old;
  DumpStart(&old, 40, 0xD2, "PALM");
  int a = DumpAddStock(&old, "A", 4412, 0, 0, 2, 1000);
  const Row oldA[] = {{2001, 1, 10, {123450, 125, 120025, 1240, 15000}, {-2, 1, -2, 0, 2}}};
  AddRows(&old, a, oldA, 1);
  int t = DumpAddStock(&old, "7203", 4412, 0, 0, 5, 300);
  const Row old7203[] = {{2002, 3, 4, {1005, 99, 9, 2, 7}, {-1, 0, 1, 2, 3}}};
  AddRows(&old, t, old7203, 1);

  Session s;
  REQUIRE(Start(&s, &old));
  // The two pictures differ, so the checks below can tell them apart.
  static Picture toHandheld, cancel;
  CHECK(ResourcePicture("RyvoWin.exe", kToHandheldPicture, &toHandheld));
  CHECK(ResourcePicture("RyvoWin.exe", kCancelPicture, &cancel));
  CHECK(memcmp(&toHandheld, &cancel, sizeof cancel) != 0);
  EXPECT_BUTTON_PICTURE("RyvoWin.exe", s.main, kDirection, kToHandheldPicture);
  REQUIRE(Export(&s));
  // The user adds an earlier day at the end of A's file.
  static const char addition[] = "2000/12/29,1,2,3,4,5\r\n";
  FILE* csv = fopen(TestFile("csv", "A.csv"), "ab");
  REQUIRE(csv != NULL);
  fputs(addition, csv);
  fclose(csv);

  REQUIRE(Convert(&s));
  CHECK_NO_MESSAGE_BOX(s.app, 300);
  CHECK_STR(SyncDir(), "ToPalm");
  EXPECT_BUTTON_PICTURE("RyvoWin.exe", s.main, kDirection, kCancelPicture);
  CHECK_FILE_DUMP(TestFile("work", "SaveRyvo.dmp"), old);
  // The new dump: the old header length and carried bytes, each stock's
  // settings as loaded, rows in date order in the chosen encoding.
  static Dump expected;
  DumpStart(&expected, 40, 0xD2, "PALM");
  a = DumpAddStock(&expected, "A", 4412, 0, 0, 2, 1000);
  const Row newA[] = {{2000, 12, 29, {1, 2, 3, 4, 5}, {0, 0, 0, 0, 0}},
                      {2001, 1, 10, {123450, 1250, 120025, 1240, 15000}, {-2, 0, -2, 0, 2}}};
  AddRows(&expected, a, newA, 2);
  t = DumpAddStock(&expected, "7203", 4412, 0, 0, 5, 300);
  const Row new7203[] = {{2002, 3, 4, {10050, 99, 90, 200, 7000}, {-2, 0, 0, 0, 0}}};
  AddRows(&expected, t, new7203, 1);
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), expected);
  // The day of 2001/1/10, byte for byte as the handheld reads it.
  static const unsigned char day[15] = {0xC2, 0x2A, 0x1E, 0x23, 0xA4, 0x04, 0xE2, 0x1D,
                                        0x4D, 0x94, 0x04, 0xD8, 0x83, 0xA9, 0x80};
  static unsigned char data[kDumpCapacity];
  int n = ReadWholeFile(TestFile("work", "Ryvo.dmp"), data, sizeof data);
  CHECK(n >= a + 512 + 30);
  if (n >= a + 512 + 30) CHECK_BYTES(data + a + 512 + 15, 15, day, 15);
  CHECK_STR(FolderFiles(TestFolder("work")), "7203.txt|A.txt|BeginRyvo.dmp|Ryvo.dmp|SaveRyvo.dmp");

  // Pressed again before a HotSync: the transfer is called off, silently;
  // the converted dump stays where it is.
  CHECK(ClickButton(s.main, kDirection));
  CHECK_NO_MESSAGE_BOX(s.app, 500);
  CHECK_STR(SyncDir(), "ToPC");
  EXPECT_BUTTON_PICTURE("RyvoWin.exe", s.main, kDirection, kToHandheldPicture);
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), expected);
  CHECK_FILE_DUMP(TestFile("work", "SaveRyvo.dmp"), old);
  CHECK_LIST(s.main, kListId, "A|7203");
  Close(&s);
}

DRIVER_TEST(exchange_failed_conversion_changes_nothing) {
  ResetState();
  static Dump dump;
  Session s;
  REQUIRE(StartThreeStocks(&s, &dump));
  REQUIRE(Export(&s));
  char working[MAX_PATH];
  snprintf(working, sizeof working, "%s", TestFolder("work"));

  // A dump as an old handheld left it: the header record and no stock.
  static const unsigned char headerOnly[36] = {0x20, 0, 0, 0, 0x00, 0xD2, 0, 0, 0, 0,
                                               0x03, 0xE8, 0, 0, 'P', 'A', 'L', 'M'};
  static const char cutSettings[] =
      "A\r\n0\r\n1\r\n0\r\n\r\n\r\n1000\r\n12,3\r\n12,4\r\n12,5\r\n12,6\r\n12,7\r\n2000,1000\r\n";
  struct Case {
    const char* what;
    const char* folder;     // "csv" or "work"
    const char* file;
    const void* content;    // NULL: the file is removed
    int size;
    const char* message;    // NULL: the conversion fails without a message
  };
  static const Case cases[] = {
      {"price file of the second stock missing", "csv", "ソニー.csv", NULL, 0, NULL},
      {"price file of the third stock empty", "csv", "7203.csv", "", 0, "Data file read error"},
      {"settings file of the third stock missing", "work", "7203.txt", NULL, 0,
       "RyvoSetup file open error"},
      {"settings file of the first stock cut to 13 lines", "work", "A.txt", cutSettings,
       (int)sizeof cutSettings - 1, "RyvoSetup file read error"},
      {"dump missing", "work", "Ryvo.dmp", NULL, 0, "RyvoDB file copy read error"},
      {"dump holding its header alone", "work", "Ryvo.dmp", headerOnly,
       (int)sizeof headerOnly, "RyvoDB file Cnt.size read error"},
  };
  for (const Case& c : cases) {
    Note("%s", c.what);
    const char* path = TestFile(c.folder, c.file);
    static Copy original, dumpBefore, saveBefore;
    Keep(&original, path);
    saveBefore.size = ReadWholeFile(TestFile("work", "SaveRyvo.dmp"), saveBefore.data,
                                    sizeof saveBefore.data);
    if (c.content)
      WriteWholeFile(path, c.content, c.size);
    else
      CHECK_INT(DeleteOneFile(path), 0);
    dumpBefore.size = ReadWholeFile(TestFile("work", "Ryvo.dmp"), dumpBefore.data,
                                    sizeof dumpBefore.data);

    CHECK(ClickButton(s.main, kDirection));
    if (c.message) {
      CHECK(EXPECT_MESSAGE_BOX(s.app, "System Error", c.message, IDOK));
      CHECK_NO_MESSAGE_BOX(s.app, 300);
    } else {
      // The command has returned (a box would have kept it in its loop),
      // so a short look is enough.
      CHECK_NO_MESSAGE_BOX(s.app, 500);
    }
    CHECK_STR(SyncDir(), "ToPC");
    EXPECT_BUTTON_PICTURE("RyvoWin.exe", s.main, kDirection, kToHandheldPicture);
    // The dump is what it was before the press; SaveRyvo.dmp is a copy of
    // it, or, with no dump to copy, the earlier copy.
    if (dumpBefore.size < 0) {
      CHECK(!FileExists(TestFile("work", "Ryvo.dmp")));
      CHECK_FILE(TestFile("work", "SaveRyvo.dmp"), saveBefore.data, saveBefore.size);
    } else {
      CHECK_FILE(TestFile("work", "Ryvo.dmp"), dumpBefore.data, dumpBefore.size);
      CHECK_FILE(TestFile("work", "SaveRyvo.dmp"), dumpBefore.data, dumpBefore.size);
    }
    // Nothing half-written is left behind (the file of the case is back).
    WriteWholeFile(path, original.data, original.size);
    CHECK_STR(FolderFiles(working),
              "7203.txt|A.txt|BeginRyvo.dmp|Ryvo.dmp|SaveRyvo.dmp|ソニー.txt");
  }
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), dump);
  CHECK_LIST(s.main, kListId, "A|ソニー|7203");
  CHECK_INT(WaitForExit(s.app, 0), kStillRunning);
  Close(&s);
}

// ---- Back to before the conversion ---------------------------------------------

DRIVER_TEST(exchange_back_before_conversion_restores_dump) {
  ResetState();
  static Dump dump;
  Session s;
  REQUIRE(StartThreeStocks(&s, &dump));
  REQUIRE(Export(&s));
  // The handheld is to lose ソニー.
  ListSelect(s.main, kListId, 1);
  SendCommand(s.main, kDelete);
  CHECK(EXPECT_MESSAGE_BOX(s.app, kCaption, kAskDelete, IDOK));
  CHECK(EXPECT_MESSAGE_BOX(s.app, "注意", kDeleteNote, IDOK));
  REQUIRE(Convert(&s));
  char names[256];
  int count = -1;
  CHECK_INT(DumpStockNames(TestFile("work", "Ryvo.dmp"), names, sizeof names, &count), 0);
  CHECK_STR(names, "A|7203");
  CHECK_INT(count, 2);

  SendCommand(s.main, kBackBefore);
  CHECK_NO_MESSAGE_BOX(s.app, 500);
  CHECK_FILE_DUMP(TestFile("work", "Ryvo.dmp"), dump);
  CHECK_FILE_DUMP(TestFile("work", "BeginRyvo.dmp"), dump);
  CHECK_LIST(s.main, kListId, "A|ソニー|7203");
  // The menu command restores files only; the direction is the button's.
  CHECK_STR(SyncDir(), "ToPalm");
  EXPECT_BUTTON_PICTURE("RyvoWin.exe", s.main, kDirection, kCancelPicture);
  Close(&s);
}

DRIVER_TEST(exchange_back_before_second_conversion) {
  ResetState();
  static Dump dump;
  Session s;
  REQUIRE(StartThreeStocks(&s, &dump));
  REQUIRE(Export(&s));
  REQUIRE(Convert(&s));
  static Copy first;
  Keep(&first, TestFile("work", "Ryvo.dmp"));
  // Called off, then changed: 7203 moves up and A gets a new price file.
  CHECK(ClickButton(s.main, kDirection));
  CHECK_NO_MESSAGE_BOX(s.app, 300);
  CHECK_STR(SyncDir(), "ToPC");
  ListSelect(s.main, kListId, 2);
  SendCommand(s.main, kMoveUp);
  CHECK_LIST(s.main, kListId, "A|7203|ソニー");
  static const char edited[] = "日付,始値,高値,安値,終値\r\n2003/5/6,10,20,30,40,50\r\n";
  WriteWholeFile(TestFile("csv", "A.csv"), edited, (int)strlen(edited));
  REQUIRE(Convert(&s));
  // The second conversion kept the first one's result.
  CHECK_FILE(TestFile("work", "SaveRyvo.dmp"), first.data, first.size);
  char names[256];
  CHECK_INT(DumpStockNames(TestFile("work", "Ryvo.dmp"), names, sizeof names), 0);
  CHECK_STR(names, "A|7203|ソニー");
  CHECK(!SameFileContent(TestFile("work", "Ryvo.dmp"), TestFile("work", "SaveRyvo.dmp")));

  SendCommand(s.main, kBackBefore);
  CHECK_NO_MESSAGE_BOX(s.app, 500);
  CHECK_FILE(TestFile("work", "Ryvo.dmp"), first.data, first.size);
  CHECK_LIST(s.main, kListId, "A|ソニー|7203");
  CHECK_STR(SyncDir(), "ToPalm");
  Close(&s);
}

// Copies the files of folder `from` into `to` (made when missing), names as
// code page 932.
static void CopyFolderFiles(const char* from, const char* to) {
  WCHAR wide[MAX_PATH], source[MAX_PATH], target[MAX_PATH];
  char pattern[MAX_PATH];
  snprintf(pattern, sizeof pattern, "%s\\*", from);
  MultiByteToWideChar(932, 0, pattern, -1, wide, MAX_PATH);
  WCHAR wideTo[MAX_PATH];
  MultiByteToWideChar(932, 0, to, -1, wideTo, MAX_PATH);
  CreateDirectoryW(wideTo, NULL);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    MultiByteToWideChar(932, 0, from, -1, source, MAX_PATH);
    wcscat(source, L"\\");
    wcscat(source, found.cFileName);
    wcscpy(target, wideTo);
    wcscat(target, L"\\");
    wcscat(target, found.cFileName);
    CopyFileW(source, target, FALSE);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// ryvo.exe's conversion of `work` from `csv`, run to its end: its exit code.
static int RyvoConvert(const char* work, const char* csv) {
  char arguments[3 * MAX_PATH];
  snprintf(arguments, sizeof arguments, "convert \"%s\" \"%s\"", work, csv);
  return WaitForExit(StartProgram("ryvo.exe", NULL, arguments), 60000);
}

// RyvoWin's export while ryvo.exe converts the same pair of folders: one
// waits for the other (the folder locks), so the dump is what one whole
// conversion gives, of either every edited file or every exported one,
// never a mix, and every price file is whole as the export wrote it.
DRIVER_TEST(exchange_export_while_ryvo_converts) {
  ResetState();
  static Dump dump;
  DumpStart(&dump, 32, 0xD2, "RYVO");
  for (int i = 0; i < 30; ++i) {
    char name[8];
    snprintf(name, sizeof name, "%d", 1001 + i);
    DumpAddStock(&dump, name, 4412, 260, i);
  }
  Session s;
  REQUIRE(Start(&s, &dump));
  REQUIRE(Export(&s));
  CopyFolderFiles(TestFolder("csv"), TestFolder("exported"));
  // The user's edit: one more day at the end of every price file.
  static const char added[] = "2031/1/1,1,2,3,4,5\r\n";
  for (int i = 0; i < 30; ++i) {
    char name[16];
    snprintf(name, sizeof name, "%d.csv", 1001 + i);
    FILE* csv = fopen(TestFile("csv", name), "ab");
    REQUIRE(csv != NULL);
    fputs(added, csv);
    fclose(csv);
  }
  // The two possible outcomes, each made alone.
  CopyFolderFiles(TestFolder("work"), TestFolder("alone-edited"));
  CHECK_INT(RyvoConvert(TestFolder("alone-edited"), TestFolder("csv")), 0);
  CopyFolderFiles(TestFolder("work"), TestFolder("alone-exported"));
  CHECK_INT(RyvoConvert(TestFolder("alone-exported"), TestFolder("exported")), 0);
  CHECK(!SameFileContent(TestFile("alone-edited", "Ryvo.dmp"),
                         TestFile("alone-exported", "Ryvo.dmp")));
  // An export that reads the dump the conversion has just written.
  char exportEdited[3 * MAX_PATH];
  snprintf(exportEdited, sizeof exportEdited, "export \"%s\" \"%s\"",
           TestFolder("alone-edited"), TestFolder("exported-edited"));
  CHECK_INT(WaitForExit(StartProgram("ryvo.exe", NULL, exportEdited), 60000), 0);

  // Both at once.
  char arguments[3 * MAX_PATH];
  snprintf(arguments, sizeof arguments, "convert \"%s\" \"%s\"", TestFolder("work"),
           TestFolder("csv"));
  Program* ryvo = StartProgram("ryvo.exe", NULL, arguments);
  REQUIRE(ryvo != NULL);
  CHECK(Export(&s));
  CHECK_INT(WaitForExit(ryvo, 60000), 0);
  CHECK(SameFileContent(TestFile("work", "Ryvo.dmp"), TestFile("alone-edited", "Ryvo.dmp")) ||
        SameFileContent(TestFile("work", "Ryvo.dmp"), TestFile("alone-exported", "Ryvo.dmp")));
  // Every price file as one export wrote it, from one dump or the other.
  const char* set = SameFileContent(TestFile("csv", "1001.csv"), TestFile("exported", "1001.csv"))
                        ? "exported"
                        : "exported-edited";
  for (int i = 0; i < 30; ++i) {
    char name[16];
    snprintf(name, sizeof name, "%d.csv", 1001 + i);
    CHECK(SameFileContent(TestFile("csv", name), TestFile(set, name)));
  }
  CloseRyvoWin(s.app, s.main);
}
