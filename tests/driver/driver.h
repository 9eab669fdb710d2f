// The Windows test driver: a console program, run under Wine by ctest, that
// drives RyvoWin.exe and Installation.exe the way a person would and checks
// what they leave behind. This header is the whole framework.
//
// Writing a scenario
//   Put it in tests/driver/test_<area>.cpp (the folder's CMakeLists.txt
//   globs these files and registers one ctest test "wine.<name>" per
//   DRIVER_TEST(<name>) line it finds, so keep the macro at the start of a
//   line). Every test starts from ResetState() and ends with every program
//   it started killed, whatever happened:
//
//     DRIVER_TEST(app_close_command) {
//       ResetState();
//       SetRyvoSettings(TestFolder("csv"), TestFolder("work"), "ToPC");
//       Program* app = StartProgram("RyvoWin.exe");
//       HWND main = WaitForWindow(app, kMainCaption, kWait);
//       REQUIRE(main != NULL);
//       SendCommand(main, 104);
//       CHECK_INT(WaitForExit(app, kWait), 0);
//     }
//
//   CHECK... report file:line and what differed, and go on; REQUIRE...
//   report and end the test at once (use it when later steps would only
//   cascade). A test passes when none of its checks failed.
//
// Texts
//   Source files are UTF-8 and narrow literals are compiled to code page
//   932, so "変換完了" in a test is the byte string the program shows.
//   Window and list texts are read as code page 932 as well.
//
// Running
//   ryvo_driver.exe NAME...   runs the named tests (a name ending in "*"
//                             runs every test with that prefix)
//   ryvo_driver.exe           runs every test;  --list lists them
//   The closing line reads "N passed, M failed"; the exit code is 0 only
//   when nothing failed. The programs under test and CONDMGR.dll are
//   copied beside ryvo_driver.exe by the build; ProgramPath() finds them.
//
// Windows and messages
//   Commands go to the program with SendMessageTimeout: a command that
//   opens a modal dialog or message box keeps the program inside that
//   dialog's loop, so the call gives up waiting after a short while and the
//   test then looks for the dialog with WaitForMessageBox / WaitForWindow.
//   Message boxes are the top-level dialogs (#32770) of the program that
//   hold the static text control 0xFFFF; other dialogs (the main window,
//   the settings dialog, the about box) are found by caption.
#pragma once

#include <windows.h>

// ---- Registration and checks --------------------------------------------

typedef void (*TestFunction)(void);
int RegisterTest(const char* name, TestFunction function);

#define DRIVER_TEST(name)                                              \
  static void name(void);                                              \
  static int name##_registered = RegisterTest(#name, name);            \
  static void name(void)

// Records a failed check (message printed with file and line).
void CheckFailed(const char* file, int line, const char* format, ...);
// 1 when no check of the running test has failed so far.
int TestStillPassing(void);

#define CHECK(cond)                                                         \
  ((cond) ? 1 : (CheckFailed(__FILE__, __LINE__, "CHECK(%s)", #cond), 0))
#define CHECK_INT(actual, expected) \
  CheckInt(__FILE__, __LINE__, #actual, (long long)(actual), (long long)(expected))
#define CHECK_STR(actual, expected) \
  CheckStr(__FILE__, __LINE__, #actual, (actual), (expected))
#define CHECK_BYTES(actual, actualSize, expected, expectedSize)                \
  CheckBytes(__FILE__, __LINE__, #actual, (const unsigned char*)(actual),      \
             (int)(actualSize), (const unsigned char*)(expected), (int)(expectedSize))
#define REQUIRE(cond) \
  do { if (!CHECK(cond)) return; } while (0)
#define REQUIRE_INT(actual, expected) \
  do { if (!CHECK_INT(actual, expected)) return; } while (0)

int CheckInt(const char* file, int line, const char* what, long long actual,
             long long expected);
// Strings compare byte for byte (code page 932); NULL counts as "".
int CheckStr(const char* file, int line, const char* what, const char* actual,
             const char* expected);
int CheckBytes(const char* file, int line, const char* what,
               const unsigned char* actual, int actualSize,
               const unsigned char* expected, int expectedSize);

// Prints a line to the test log (printf format).
void Note(const char* format, ...);

// ---- Timeouts (generous: they only bound a hang, they measure nothing) ----

enum {
  kWait = 20000,      // for a window, a message box or an exit to appear
  kQuiet = 1500,      // for something that must NOT appear
};

extern const char kMainCaption[];   // "Ryvo Data Excange"

// ---- Programs -------------------------------------------------------------

struct Program {
  HANDLE process;
  DWORD pid;
  char path[MAX_PATH];
};

// Full path of a file beside ryvo_driver.exe ("RyvoWin.exe", "CONDMGR.dll").
const char* ProgramPath(const char* file);
// The folder of ryvo_driver.exe, without a trailing backslash.
const char* DriverFolder(void);
// Starts `exe` (a path, or a name beside the driver) with `folder` as its
// current directory (NULL: the driver's) and `arguments` after its name on
// the command line (code page 932; NULL: none). The driver keeps the handle
// and kills the program at the end of the test. NULL when it cannot start.
Program* StartProgram(const char* exe, const char* folder = NULL, const char* arguments = NULL);
// Waits for the program to end: its exit code as an int (-1 for a process
// that returned -1), or kStillRunning after `timeout` ms.
enum { kStillRunning = 0x7FFFFFF0 };
int WaitForExit(Program* program, int timeout);
int IsRunning(Program* program);
// Ends the program at once (nothing happens when it has ended already).
void KillProgram(Program* program);
// Ends every program this test started (the framework calls it after each
// test; a test may call it earlier).
void KillAllPrograms(void);

// Starts RyvoWin.exe and waits for its main window: the window, or NULL
// when it did not appear (*app is the program, or NULL when it could not
// start).
HWND StartRyvoWin(Program** app);
// Ends RyvoWin through its close command (104); it must exit with 0.
void CloseRyvoWin(Program* app, HWND main);

// ---- Windows --------------------------------------------------------------

// A visible top-level window of the program whose caption is exactly
// `caption`; NULL after `timeout` ms. With program NULL, any process.
HWND WaitForWindow(Program* program, const char* caption, int timeout);
HWND FindProgramWindow(Program* program, const char* caption);
// Number of visible top-level windows the program has now.
int CountWindows(Program* program);

// A message box of the program with this caption and, unless `text` is
// NULL, this text (control 0xFFFF, compared byte for byte). NULL after
// `timeout` ms.
HWND WaitForMessageBox(Program* program, const char* caption, const char* text,
                       int timeout);
// Any message box of the program now; copies its caption and text (each
// up to 512 bytes) when the buffers are given. NULL when none is open.
HWND FindAnyMessageBox(Program* program, char* caption = NULL, char* text = NULL);
// Waits up to `timeout` ms for any message box; reports its caption and text
// as a failed check when one appears (for "shows nothing"). 1 when none did.
int ExpectNoMessageBox(Program* program, int timeout, const char* file, int line);
#define CHECK_NO_MESSAGE_BOX(program, timeout) \
  ExpectNoMessageBox(program, timeout, __FILE__, __LINE__)
// Presses a button of a message box or dialog (IDOK, IDCANCEL, IDYES, ...)
// and waits up to 3 s for the box to close. Returns 1 when the button exists.
int AnswerMessageBox(HWND box, int button);
// Waits for the message box, checks it, presses `button`; 1 when found.
int ExpectMessageBox(Program* program, const char* caption, const char* text,
                     int button, const char* file, int line);
#define EXPECT_MESSAGE_BOX(program, caption, text, button) \
  ExpectMessageBox(program, caption, text, button, __FILE__, __LINE__)

// Sends WM_COMMAND with `id` (a menu item or a button command) and waits
// until the program has handled it or has entered a modal loop.
void SendCommand(HWND window, int id);
// Presses child button `id` of `window` (BM_CLICK), waiting the same way.
// 0 when there is no such button.
int ClickButton(HWND window, int id);
// Waits until the program's window procedure is idle again.
void WaitIdle(HWND window);
// Keys as the keyboard gives them: WM_KEYDOWN and WM_KEYUP posted to
// `window` (and WM_CHAR for a character key). The program may handle them
// after this returns: wait for their effect.
void PostKey(HWND window, int key);
// The window that has the keyboard focus in the program of `window`
// (GetGUIThreadInfo); NULL when none.
HWND FocusedWindow(HWND window);
// Presses Tab in the program of `window` (to the focused control) until
// control `id` of `dialog` has the focus, at most `limit` times. 1 when it
// got there.
int TabTo(HWND dialog, int id, int limit);
// Window caption / control text as code page 932.
void WindowText(HWND window, char* text, int size);
void ControlText(HWND dialog, int id, char* text, int size);

// ---- Pictures on the screen ------------------------------------------------
// A bitmap button is checked by what the screen shows under it, compared
// pixel for pixel with the bitmap resource of the program file (loaded as a
// data file, so the program's own copy is the reference).

enum { kPictureSize = 48 };
// Pixels of a 48x48 area, as 0x00RRGGBB.
struct Picture {
  DWORD pixel[kPictureSize * kPictureSize];
};
// Copies what `source` (a device context) shows at x,y into `picture`;
// 0 when it cannot.
int GrabPicture(HDC source, int x, int y, Picture* picture);
// Bitmap `id` of `programFile` (a name beside the driver, e.g.
// "RyvoWin.exe") as it appears on the screen; 0 when it cannot be loaded.
int ResourcePicture(const char* programFile, int id, Picture* picture);
// Waits (bounded) until button `id` of `window` shows bitmap `bitmapId` of
// `programFile` pixel for pixel; reports the last difference when it never
// does. 1 when it does.
int ExpectButtonPicture(const char* programFile, HWND window, int id, int bitmapId,
                        const char* file, int line);
#define EXPECT_BUTTON_PICTURE(programFile, window, id, bitmapId) \
  ExpectButtonPicture(programFile, window, id, bitmapId, __FILE__, __LINE__)

// ---- List boxes -----------------------------------------------------------

enum { kMaxItems = 64, kItemSize = 128 };
struct ListContent {
  int count;                          // -1 when there is no list box
  char item[kMaxItems][kItemSize];    // code page 932
};
// Reads list box `id` of `dialog` (LB_GETTEXT through SendMessageW).
void ListItems(HWND dialog, int id, ListContent* list);
int ListSelection(HWND dialog, int id);          // LB_ERR (-1) when none
void ListSelect(HWND dialog, int id, int index);  // -1 clears
// "A|B|C" for messages and comparisons.
const char* JoinItems(const ListContent* list, char* buffer, int size);
#define CHECK_LIST(dialog, id, expected)                                  \
  do {                                                                    \
    ListContent list_;                                                    \
    char joined_[4096];                                                   \
    ListItems(dialog, id, &list_);                                        \
    CHECK_STR(JoinItems(&list_, joined_, sizeof joined_), expected);      \
  } while (0)

// ---- State: registry, folders, files --------------------------------------

// Ends leftover programs of earlier runs (windows titled like ours),
// deletes HKCU\Software\RyvoWin and the stand-in's key
// HKCU\Software\RyvoStandIn, records the driver's folder (which holds the
// stand-in CONDMGR.dll) as the Palm Desktop folder, and makes a fresh
// empty test folder C:\ryvotest\<test name> (TestFolder("") names it).
void ResetState(void);
// The folder Palm Desktop records as its own (HKCU\Software\U.S.
// Robotics\Pilot Desktop\Core, value Path), where the programs look for
// CONDMGR.dll when it is not beside them. NULL deletes the value.
void SetPalmDesktopRecord(const char* folder);
// Copies `file` from beside the driver into folder `sub` of the test
// folder: the copy's full path, or NULL (a failed check) when it cannot.
const char* CopyBesideDriverTo(const char* file, const char* sub);
// A folder inside the test folder, created if missing: TestFolder("work").
const char* TestFolder(const char* sub);
// TestFolder(sub) + "\" + file, in a rotating set of buffers.
const char* TestFile(const char* sub, const char* file);

// The settings store of RyvoWin (HKCU\Software\RyvoWin). Values are written
// in this order: RyvoWinDir, RyvoWinTmp, SyncDir (a NULL text skips one).
void SetRyvoSettings(const char* csvFolder, const char* workFolder,
                     const char* syncDir);
// A value of HKCU\<key>: 0 and the text, or -1 (text empty) when missing.
int RegistryRead(const char* key, const char* name, char* text, int size);
int RegistryWrite(const char* key, const char* name, const char* text);
int RegistryWriteNumber(const char* key, const char* name, DWORD number);
int RegistryKeyExists(const char* key);
void RegistryDeleteTree(const char* key);
int RegistryDeleteValue(const char* key, const char* name);
extern const char kRyvoKey[];        // "Software\\RyvoWin"
extern const char kStandInKey[];     // "Software\\RyvoStandIn\\CondMgr"

// The stand-in Conduit Manager (tests/fixtures/condmgr/README.md).
void StandInSetDesktopAbsent(void);
void StandInSetDesktopFolder(const char* folder);
// Registers a conduit for "Ryvo" as an earlier installation would have.
void StandInRegisterRyvo(const char* conduitPath);
// Makes the call with this ordinal return `result` at once.
void StandInFailCall(int ordinal, int result);
// What it recorded: the call log ("47(Ryvo)=0\n" lines) and the PATH seen
// when the conduit query was reached. Empty text when nothing was recorded.
const char* StandInCallLog(void);
const char* StandInPathAtConduitQuery(void);

// Makes a folder refuse new files (unwritable 1) or take them again (0),
// on the host: write permission and, for root, the immutable flag
// (chmod, chattr). 1 when the folder now behaves so.
int SetFolderUnwritable(const char* folder, int unwritable);

// Files (paths are code page 932). Whole-file reads of up to `size` bytes:
// the number of bytes read, or -1 when the file cannot be opened.
int ReadWholeFile(const char* path, unsigned char* data, int size);
int WriteWholeFile(const char* path, const void* data, int size);
int FileExists(const char* path);
int DeleteOneFile(const char* path);
// 1 when both files exist and hold the same bytes.
int SameFileContent(const char* a, const char* b);
// A check that the whole file `path` is the expected bytes (a missing file
// fails it).
int CheckFile(const char* path, const void* expected, int size, const char* file, int line);
#define CHECK_FILE(path, expected, size) CheckFile(path, expected, size, __FILE__, __LINE__)
#define CHECK_FILE_TEXT(path, text) CHECK_FILE(path, text, (int)strlen(text))
#define CHECK_FILE_DUMP(path, dump) CHECK_FILE(path, (dump).data, (dump).size)
// RyvoWin's SyncDir setting ("" when missing), in a static buffer.
const char* SyncDir(void);

// ---- Sample dumps -----------------------------------------------------------
// A dump built byte by byte: 4-byte little-endian RecordLength, then the
// record. Header: version bytes 00 D2, recordCount, 0, 1000, 0, the carried
// bytes at offset 10. Stock records: name at offset 4, price rows of 15
// bytes from offset 512 (packed date, five packed 20-bit values).

enum { kDumpCapacity = 160000 };
struct Dump {
  unsigned char data[kDumpCapacity];
  int size;
  int stocks;
  int headerLength;
};

// Starts a dump with a header record of `headerLength` bytes (32 is usual),
// version low byte `versionByte` (0xD2 = 2.10) and up to 8 carried bytes.
void DumpStart(Dump* dump, int headerLength, int versionByte,
               const char* carried);
// Appends a stock record of `recordLength` bytes (4412 holds 260 rows)
// named `name` (code page 932, up to 20 bytes) with `rows` daily price rows
// from 2001/1/10 on, values derived from `seed`; flags and purchase count
// as given. Returns the offset of the record data in dump->data.
int DumpAddStock(Dump* dump, const char* name, int recordLength, int rows,
                 int seed, int flags = 0, int purchaseCount = 1000);
// Puts one price row at row index `row` of the stock record that starts at
// `recordOffset`: the date and five (mantissa, exponent) values.
void DumpSetRow(Dump* dump, int recordOffset, int row, int year, int month,
                int day, const int mantissa[5], const int exponent[5]);
int DumpWrite(const Dump* dump, const char* path);

// A file's bytes kept to compare with later.
struct Copy {
  unsigned char data[kDumpCapacity];
  int size;
};
// Reads `path` into `copy`; the file must exist and not be empty.
void Keep(Copy* copy, const char* path);

// Reads the stock names of a dump file in order, joined with "|" (e.g.
// "7203|ソニー"); the header's recordCount goes to *recordCount when given.
// -1 when the file cannot be read or is malformed.
int DumpStockNames(const char* path, char* joined, int size,
                   int* recordCount = NULL);
