// The test driver's framework: test registry and main, checks, programs,
// windows and message boxes, list boxes, registry and file helpers, and the
// sample dump builder. The contract is in driver.h.
#include "driver.h"

#include <shlwapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char kMainCaption[] = "Ryvo Data Excange";
const char kRyvoKey[] = "Software\\RyvoWin";
const char kStandInKey[] = "Software\\RyvoStandIn\\CondMgr";
static const char kStandInRoot[] = "Software\\RyvoStandIn";
static const char kPalmDesktopKey[] = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
static const char kTestRoot[] = "C:\\ryvotest";

// ---- Registry of tests and the run ---------------------------------------

enum { kMaxTests = 256, kMaxPrograms = 16 };
static struct { const char* name; TestFunction function; } tests[kMaxTests];
static int testCount;
static const char* currentTest = "";
static int currentFailures;

static Program programs[kMaxPrograms];
static int programCount;

int RegisterTest(const char* name, TestFunction function) {
  if (testCount < kMaxTests) {
    tests[testCount].name = name;
    tests[testCount].function = function;
    testCount++;
  }
  return testCount;
}

void Note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  printf("  [%s] ", currentTest);
  vprintf(format, args);
  printf("\n");
  fflush(stdout);
  va_end(args);
}

void CheckFailed(const char* file, int line, const char* format, ...) {
  const char* base = strrchr(file, '/');
  base = base ? base + 1 : file;
  va_list args;
  va_start(args, format);
  printf("%s:%d: [%s] FAILED: ", base, line, currentTest);
  vprintf(format, args);
  printf("\n");
  fflush(stdout);
  va_end(args);
  currentFailures++;
}

int TestStillPassing(void) { return currentFailures == 0; }

int CheckInt(const char* file, int line, const char* what, long long actual,
             long long expected) {
  if (actual == expected) return 1;
  CheckFailed(file, line, "%s is %lld, expected %lld", what, actual, expected);
  return 0;
}

// Shows code page 932 text readably in a UTF-8 log: bytes as they are,
// control characters escaped.
static void Printable(const char* text, char* out, int size) {
  int n = 0;
  for (const unsigned char* p = (const unsigned char*)(text ? text : ""); *p && n < size - 5; p++) {
    if (*p == '\n') { out[n++] = '\\'; out[n++] = 'n'; }
    else if (*p == '\r') { out[n++] = '\\'; out[n++] = 'r'; }
    else if (*p < 0x20) n += snprintf(out + n, size - n, "\\x%02X", *p);
    else out[n++] = (char)*p;
  }
  out[n] = 0;
}

// The log is UTF-8 (ctest shows it on a Linux terminal): convert CP932.
static void ToUtf8(const char* cp932, char* out, int size) {
  static WCHAR wide[8192];
  int n = MultiByteToWideChar(932, 0, cp932, -1, wide, 8192);
  if (n <= 0 || !WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, size, NULL, NULL))
    snprintf(out, size, "%s", cp932);
}

static const char* Shown(const char* text, char* out, int size) {
  char printable[4096];
  Printable(text, printable, sizeof printable);
  ToUtf8(printable, out, size);
  return out;
}

int CheckStr(const char* file, int line, const char* what, const char* actual,
             const char* expected) {
  if (strcmp(actual ? actual : "", expected ? expected : "") == 0) return 1;
  char a[4096], e[4096];
  CheckFailed(file, line, "%s is \"%s\", expected \"%s\"", what,
              Shown(actual, a, sizeof a), Shown(expected, e, sizeof e));
  return 0;
}

int CheckBytes(const char* file, int line, const char* what,
               const unsigned char* actual, int actualSize,
               const unsigned char* expected, int expectedSize) {
  if (actualSize == expectedSize &&
      (actualSize <= 0 || memcmp(actual, expected, actualSize) == 0))
    return 1;
  int at = 0;
  while (at < actualSize && at < expectedSize && actual[at] == expected[at]) at++;
  CheckFailed(file, line, "%s: %d bytes, expected %d; first difference at byte %d",
              what, actualSize, expectedSize, at);
  return 0;
}

static int NameMatches(const char* name, const char* pattern) {
  size_t n = strlen(pattern);
  if (n > 0 && pattern[n - 1] == '*') return strncmp(name, pattern, n - 1) == 0;
  return strcmp(name, pattern) == 0;
}

static void RunTest(int index, int* passed, int* failed) {
  currentTest = tests[index].name;
  currentFailures = 0;
  printf("[ RUN  ] %s\n", currentTest);
  fflush(stdout);
  tests[index].function();
  KillAllPrograms();
  if (currentFailures == 0) {
    printf("[  OK  ] %s\n", currentTest);
    (*passed)++;
  } else {
    printf("[ FAIL ] %s (%d failed checks)\n", currentTest, currentFailures);
    (*failed)++;
  }
  fflush(stdout);
  currentTest = "";
}

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IONBF, 0);
  // RYVO_EXPECT_ACP: the system code page the run is meant to have (the
  // same scenarios run under code pages 932 and 1252).
  const char* expected = getenv("RYVO_EXPECT_ACP");
  if (expected && (UINT)atoi(expected) != GetACP()) {
    printf("FAILED: the system code page is %u, not %s\n", GetACP(), expected);
    return 1;
  }
  if (argc > 1 && strcmp(argv[1], "--list") == 0) {
    for (int i = 0; i < testCount; i++) printf("%s\n", tests[i].name);
    return 0;
  }
  int passed = 0, failed = 0, matched = 0;
  for (int i = 0; i < testCount; i++) {
    int wanted = argc <= 1;
    for (int a = 1; a < argc && !wanted; a++) wanted = NameMatches(tests[i].name, argv[a]);
    if (!wanted) continue;
    matched++;
    RunTest(i, &passed, &failed);
  }
  if (matched == 0) {
    printf("no test matches\n");
    return 2;
  }
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

// ---- Programs ---------------------------------------------------------------

const char* DriverFolder(void) {
  static char folder[MAX_PATH];
  if (folder[0] == 0) {
    GetModuleFileNameA(NULL, folder, MAX_PATH);
    char* slash = strrchr(folder, '\\');
    if (slash) *slash = 0;
  }
  return folder;
}

const char* ProgramPath(const char* file) {
  static char paths[4][MAX_PATH];
  static int next;
  char* path = paths[next++ % 4];
  snprintf(path, MAX_PATH, "%s\\%s", DriverFolder(), file);
  return path;
}

Program* StartProgram(const char* exe, const char* folder, const char* arguments) {
  if (programCount >= kMaxPrograms) {
    CheckFailed(__FILE__, __LINE__, "too many programs started in one test");
    return NULL;
  }
  Program* program = &programs[programCount];
  memset(program, 0, sizeof *program);
  if (strchr(exe, '\\') || strchr(exe, ':'))
    snprintf(program->path, MAX_PATH, "%s", exe);
  else
    snprintf(program->path, MAX_PATH, "%s", ProgramPath(exe));
  // Through the wide call, so that a Japanese argument arrives whatever
  // the system's code page.
  char commandLine[4 * MAX_PATH];
  snprintf(commandLine, sizeof commandLine, "\"%s\"%s%s", program->path, arguments ? " " : "",
           arguments ? arguments : "");
  static WCHAR wideLine[4 * MAX_PATH], widePath[MAX_PATH], wideFolder[MAX_PATH];
  MultiByteToWideChar(932, 0, commandLine, -1, wideLine, 4 * MAX_PATH);
  MultiByteToWideChar(932, 0, program->path, -1, widePath, MAX_PATH);
  if (folder != NULL) MultiByteToWideChar(932, 0, folder, -1, wideFolder, MAX_PATH);
  STARTUPINFOW startup;
  PROCESS_INFORMATION info;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessW(widePath, wideLine, NULL, NULL, FALSE, 0, NULL,
                      folder != NULL ? wideFolder : NULL, &startup, &info)) {
    CheckFailed(__FILE__, __LINE__, "cannot start %s (error %lu)", program->path,
                GetLastError());
    return NULL;
  }
  CloseHandle(info.hThread);
  program->process = info.hProcess;
  program->pid = info.dwProcessId;
  programCount++;
  return program;
}

int WaitForExit(Program* program, int timeout) {
  if (program == NULL || program->process == NULL) return kStillRunning;
  if (WaitForSingleObject(program->process, timeout) != WAIT_OBJECT_0)
    return kStillRunning;
  DWORD code = 0;
  GetExitCodeProcess(program->process, &code);
  return (int)code;
}

HWND StartRyvoWin(Program** app) {
  *app = StartProgram("RyvoWin.exe");
  if (*app == NULL) return NULL;
  HWND main = WaitForWindow(*app, kMainCaption, kWait);
  if (main == NULL) {
    // Say what the program did instead, for the log of a failed run.
    char caption[512], text[512];
    int code = WaitForExit(*app, 0);
    if (code != kStillRunning)
      Note("RyvoWin ended with code %d before its window opened", code);
    else if (FindAnyMessageBox(*app, caption, text)) {
      char c[1024], t[1024];
      Note("RyvoWin shows the box \"%s\": \"%s\"", Shown(caption, c, sizeof c),
           Shown(text, t, sizeof t));
    }
    else
      Note("RyvoWin runs with %d visible windows, none of them the main one",
           CountWindows(*app));
  }
  return main;
}

void CloseRyvoWin(Program* app, HWND main) {
  SendCommand(main, 104);
  CHECK_INT(WaitForExit(app, kWait), 0);
}

int IsRunning(Program* program) {
  return program && program->process &&
         WaitForSingleObject(program->process, 0) == WAIT_TIMEOUT;
}

void KillProgram(Program* program) {
  if (program == NULL || program->process == NULL) return;
  if (WaitForSingleObject(program->process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(program->process, 0xDEAD);
    WaitForSingleObject(program->process, 5000);
  }
}

void KillAllPrograms(void) {
  for (int i = 0; i < programCount; i++) {
    KillProgram(&programs[i]);
    if (programs[i].process) CloseHandle(programs[i].process);
    programs[i].process = NULL;
  }
  programCount = 0;
}

// ---- Windows ----------------------------------------------------------------

void WindowText(HWND window, char* text, int size) {
  WCHAR wide[1024];
  text[0] = 0;
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, (LPARAM)wide,
                           SMTO_ABORTIFHUNG, 5000, &n))
    return;
  wide[n < 1024 ? n : 1023] = 0;
  if (!WideCharToMultiByte(932, 0, wide, -1, text, size, NULL, NULL)) text[0] = 0;
}

// The caption of a top-level window, as the window manager keeps it (no
// message to the program, so a busy program cannot stall the search).
static void CaptionText(HWND window, char* text, int size) {
  WCHAR wide[512];
  text[0] = 0;
  if (GetWindowTextW(window, wide, 512) <= 0) return;
  if (!WideCharToMultiByte(932, 0, wide, -1, text, size, NULL, NULL)) text[0] = 0;
}

void ControlText(HWND dialog, int id, char* text, int size) {
  HWND control = GetDlgItem(dialog, id);
  if (control == NULL) {
    text[0] = 0;
    return;
  }
  WindowText(control, text, size);
}

struct WindowSearch {
  DWORD pid;              // 0: any process
  const char* caption;    // NULL: any caption
  int messageBoxes;       // 1: only message boxes
  HWND found;
  int count;
};

// A message box is a dialog whose text is control 0xFFFF. The about box
// looks the same from outside (its one static text has no ID either), so
// the programs' own dialogs are told apart by their captions.
static int IsMessageBox(HWND window) {
  static const char* const ownDialogs[] = {
      "Ryvo Data Excange", "RyvoWin About", "Ryvo Data Setup", "Installation"};
  char className[64];
  if (!GetClassNameA(window, className, sizeof className)) return 0;
  if (strcmp(className, "#32770") != 0 || GetDlgItem(window, 0xFFFF) == NULL) return 0;
  char caption[512];
  CaptionText(window, caption, sizeof caption);
  for (const char* own : ownDialogs)
    if (strcmp(caption, own) == 0) return 0;
  return 1;
}

static BOOL CALLBACK SearchWindow(HWND window, LPARAM data) {
  WindowSearch* search = (WindowSearch*)data;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (search->pid != 0 && pid != search->pid) return TRUE;
  if (!IsWindowVisible(window)) return TRUE;
  if (search->messageBoxes && !IsMessageBox(window)) return TRUE;
  if (search->caption) {
    char text[512];
    CaptionText(window, text, sizeof text);
    if (strcmp(text, search->caption) != 0) return TRUE;
  }
  search->count++;
  if (search->found == NULL) search->found = window;
  return TRUE;
}

static HWND Search(Program* program, const char* caption, int messageBoxes,
                   int* count) {
  WindowSearch search = {program ? program->pid : 0, caption, messageBoxes, NULL, 0};
  EnumWindows(SearchWindow, (LPARAM)&search);
  if (count) *count = search.count;
  return search.found;
}

HWND FindProgramWindow(Program* program, const char* caption) {
  return Search(program, caption, 0, NULL);
}

int CountWindows(Program* program) {
  int count = 0;
  Search(program, NULL, 0, &count);
  return count;
}

HWND WaitForWindow(Program* program, const char* caption, int timeout) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = Search(program, caption, 0, NULL);
    if (window) return window;
    if ((int)(GetTickCount() - start) >= timeout) return NULL;
    Sleep(50);
  }
}

HWND FindAnyMessageBox(Program* program, char* caption, char* text) {
  HWND box = Search(program, NULL, 1, NULL);
  if (box) {
    if (caption) CaptionText(box, caption, 512);
    if (text) ControlText(box, 0xFFFF, text, 512);
  }
  return box;
}

HWND WaitForMessageBox(Program* program, const char* caption, const char* text,
                       int timeout) {
  DWORD start = GetTickCount();
  for (;;) {
    WindowSearch search = {program ? program->pid : 0, caption, 1, NULL, 0};
    EnumWindows(SearchWindow, (LPARAM)&search);
    if (search.found) {
      if (text == NULL) return search.found;
      char shown[1024];
      ControlText(search.found, 0xFFFF, shown, sizeof shown);
      if (strcmp(shown, text) == 0) return search.found;
    }
    if ((int)(GetTickCount() - start) >= timeout) return NULL;
    Sleep(50);
  }
}

int ExpectNoMessageBox(Program* program, int timeout, const char* file, int line) {
  DWORD start = GetTickCount();
  for (;;) {
    char caption[512], text[512];
    if (FindAnyMessageBox(program, caption, text)) {
      char c[1024], t[1024];
      CheckFailed(file, line, "unexpected message box \"%s\": \"%s\"",
                  Shown(caption, c, sizeof c), Shown(text, t, sizeof t));
      return 0;
    }
    if ((int)(GetTickCount() - start) >= timeout) return 1;
    Sleep(50);
  }
}

int AnswerMessageBox(HWND box, int button) {
  HWND control = GetDlgItem(box, button);
  if (control == NULL) return 0;
  // The click is posted, as a person's click comes through the queue: the
  // box's loop takes it, ends, and the program goes on before it looks at
  // anything the driver sends next. (A sent click would be handled inside
  // the loop's wait, and a command sent right after could overtake the
  // loop's end and meet the program still busy.)
  PostMessageW(control, BM_CLICK, 0, 0);
  for (int i = 0; i < 150 && IsWindow(box); i++) Sleep(20);
  return 1;
}

int ExpectMessageBox(Program* program, const char* caption, const char* text,
                     int button, const char* file, int line) {
  HWND box = WaitForMessageBox(program, caption, text, kWait);
  if (box == NULL) {
    char c[1024], t[1024], seenCaption[512] = "", seenText[512] = "";
    char sc[1024], st[1024];
    HWND other = FindAnyMessageBox(program, seenCaption, seenText);
    CheckFailed(file, line, "no message box \"%s\": \"%s\"%s%s%s%s%s",
                Shown(caption, c, sizeof c), Shown(text, t, sizeof t),
                other ? " (open instead: \"" : "",
                other ? Shown(seenCaption, sc, sizeof sc) : "",
                other ? "\": \"" : "", other ? Shown(seenText, st, sizeof st) : "",
                other ? "\")" : "");
    return 0;
  }
  if (!AnswerMessageBox(box, button)) {
    CheckFailed(file, line, "message box has no button %d", button);
    return 0;
  }
  // Give the program the time to leave the box before the next step.
  for (int i = 0; i < 100 && IsWindow(box); i++) Sleep(20);
  return 1;
}

// A command either returns at once or enters a modal loop (a dialog or a
// message box). The message is sent with a reply callback, and the wait
// ends when the reply comes or when the program shows one more window
// (the modal loop has begun: the test then looks for that window), or
// after a second at most.
//
// A message sent from another process is handled inside the program's
// PeekMessage, so a modal loop that waits for its next posted message would
// not look at its window again: a window destroyed by the command would
// leave the loop waiting. A thread message afterwards wakes the loop as the
// user's next mouse move would.
struct VisibleCount {
  DWORD pid;
  int count;
};

static BOOL CALLBACK CountVisible(HWND window, LPARAM data) {
  VisibleCount* c = (VisibleCount*)data;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == c->pid && IsWindowVisible(window)) c->count++;
  return TRUE;
}

static int VisibleWindows(DWORD pid) {
  VisibleCount c = {pid, 0};
  EnumWindows(CountVisible, (LPARAM)&c);
  return c.count;
}

// A reply may come long after the wait has ended (when the modal loop
// closes), so the callback only records the number of the send it answers.
static ULONG_PTR lastSend, lastReply;
static void CALLBACK Replied(HWND, UINT, ULONG_PTR send, LRESULT) {
  if (send > lastReply) lastReply = send;
}

static void SendAndSettle(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD pid = 0;
  DWORD thread = GetWindowThreadProcessId(target, &pid);
  int before = VisibleWindows(pid);
  ULONG_PTR send = ++lastSend;
  if (SendMessageCallbackW(target, message, wParam, lParam, Replied, send)) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000) {
      MSG msg;
      while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (lastReply >= send || VisibleWindows(pid) > before) break;
      Sleep(5);
    }
  }
  if (thread) PostThreadMessageW(thread, WM_NULL, 0, 0);
}

void SendCommand(HWND window, int id) {
  SendAndSettle(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

int ClickButton(HWND window, int id) {
  HWND button = GetDlgItem(window, id);
  if (button == NULL) return 0;
  SendAndSettle(button, BM_CLICK, 0, 0);
  return 1;
}

// Sent messages overtake posted ones, so the wait for idle does not prove
// that the keys were handled: callers wait for their effect.
void PostKey(HWND window, int key) {
  UINT scan = MapVirtualKeyA(key, 0);
  PostMessageA(window, WM_KEYDOWN, key, 1 | (scan << 16));
  if (key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE)
    PostMessageA(window, WM_CHAR, key == VK_SPACE ? ' ' : key == VK_RETURN ? '\r' : 27,
                 1 | (scan << 16));
  PostMessageA(window, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000);
  HWND top = GetAncestor(window, GA_ROOT);
  WaitIdle(top ? top : window);
}

HWND FocusedWindow(HWND window) {
  GUITHREADINFO info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info)) return NULL;
  return info.hwndFocus;
}

int TabTo(HWND dialog, int id, int limit) {
  HWND target = GetDlgItem(dialog, id);
  if (target == NULL) return 0;
  for (int i = 0; i <= limit; i++) {
    HWND focus = FocusedWindow(dialog);
    if (focus == target) return 1;
    PostKey(focus ? focus : dialog, VK_TAB);
    // Posted keys are handled after sent messages: wait for the move.
    for (int waited = 0; waited < 2000 && FocusedWindow(dialog) == focus; waited += 10) Sleep(10);
  }
  return 0;
}

void WaitIdle(HWND window) {
  DWORD_PTR result;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kWait, &result);
}

// ---- Pictures on the screen ---------------------------------------------------

int GrabPicture(HDC source, int x, int y, Picture* picture) {
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kPictureSize;
  info.bmiHeader.biHeight = -kPictureSize;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  if (memory == NULL || section == NULL) {
    if (section) DeleteObject(section);
    if (memory) DeleteDC(memory);
    return 0;
  }
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, kPictureSize, kPictureSize, source, x, y, SRCCOPY);
  GdiFlush();
  for (int i = 0; i < kPictureSize * kPictureSize; i++)
    picture->pixel[i] = ((DWORD*)bits)[i] & 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
  return 1;
}

int ResourcePicture(const char* programFile, int id, Picture* picture) {
  HMODULE images = LoadLibraryExA(ProgramPath(programFile), NULL,
                                  LOAD_LIBRARY_AS_DATAFILE);
  if (images == NULL) return 0;
  HBITMAP bitmap = LoadBitmapA(images, MAKEINTRESOURCEA(id));
  int ok = 0;
  if (bitmap) {
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = GrabPicture(memory, 0, 0, picture);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    DeleteObject(bitmap);
  }
  FreeLibrary(images);
  return ok;
}

int ExpectButtonPicture(const char* programFile, HWND window, int id, int bitmapId,
                        const char* file, int line) {
  static Picture expected, shown;
  if (!ResourcePicture(programFile, bitmapId, &expected)) {
    CheckFailed(file, line, "bitmap %d cannot be loaded from %s", bitmapId, programFile);
    return 0;
  }
  HWND button = GetDlgItem(window, id);
  if (button == NULL) {
    CheckFailed(file, line, "no button %d", id);
    return 0;
  }
  int differing = -1;
  for (int attempt = 0; attempt < 100; attempt++) {
    WaitIdle(window);
    // The screen, not the button's own DC: another process's window
    // cannot be read back under Wine, the screen it is shown on can.
    POINT origin = {0, 0};
    ClientToScreen(button, &origin);
    HDC dc = GetDC(NULL);
    int grabbed = GrabPicture(dc, origin.x, origin.y, &shown);
    ReleaseDC(NULL, dc);
    if (grabbed) {
      differing = 0;
      for (int i = 0; i < kPictureSize * kPictureSize; i++)
        if (shown.pixel[i] != expected.pixel[i]) differing++;
      if (differing == 0) return 1;
    }
    Sleep(50);
  }
  for (int i = 0, shownDiffs = 0; i < kPictureSize * kPictureSize && shownDiffs < 6; i++)
    if (shown.pixel[i] != expected.pixel[i]) {
      Note("pixel %d,%d shown %06lx expected %06lx", i % kPictureSize, i / kPictureSize,
           shown.pixel[i], expected.pixel[i]);
      shownDiffs++;
    }
  CheckFailed(file, line, "button %d does not show bitmap %d of %s (%d pixels differ)", id,
              bitmapId, programFile, differing);
  return 0;
}

// ---- List boxes -------------------------------------------------------------

void ListItems(HWND dialog, int id, ListContent* list) {
  list->count = -1;
  HWND box = GetDlgItem(dialog, id);
  if (box == NULL) return;
  LRESULT count = SendMessageW(box, LB_GETCOUNT, 0, 0);
  if (count < 0) return;
  list->count = (int)count;
  for (int i = 0; i < list->count && i < kMaxItems; i++) {
    WCHAR wide[512];
    list->item[i][0] = 0;
    LRESULT length = SendMessageW(box, LB_GETTEXTLEN, i, 0);
    if (length < 0 || length >= 511) continue;
    LRESULT got = SendMessageW(box, LB_GETTEXT, i, (LPARAM)wide);
    if (got < 0) continue;
    wide[got] = 0;
    WideCharToMultiByte(932, 0, wide, -1, list->item[i], kItemSize, NULL, NULL);
  }
}

int ListSelection(HWND dialog, int id) {
  return (int)SendDlgItemMessageW(dialog, id, LB_GETCURSEL, 0, 0);
}

void ListSelect(HWND dialog, int id, int index) {
  SendDlgItemMessageW(dialog, id, LB_SETCURSEL, (WPARAM)index, 0);
}

const char* JoinItems(const ListContent* list, char* buffer, int size) {
  int n = 0;
  buffer[0] = 0;
  if (list->count < 0) {
    snprintf(buffer, size, "(no list box)");
    return buffer;
  }
  for (int i = 0; i < list->count && i < kMaxItems; i++)
    n += snprintf(buffer + n, n < size ? size - n : 0, "%s%s", i ? "|" : "",
                  list->item[i]);
  return buffer;
}

// ---- Code page 932 at the Windows calls -----------------------------------------
// The driver's texts and paths are code page 932 whatever the system's code
// page is (the tests also run where it is 1252): they meet Windows through
// the wide calls.

// `text` as UTF-16, in a rotating set of buffers.
static const wchar_t* Wide(const char* text) {
  static wchar_t buffers[8][2048];
  static int next;
  wchar_t* wide = buffers[next++ % 8];
  if (!MultiByteToWideChar(932, 0, text, -1, wide, 2048)) wide[0] = 0;
  return wide;
}

// UTF-16 `wide` as code page 932 into `text` (`size` bytes).
static void Narrow(const wchar_t* wide, char* text, int size) {
  if (!WideCharToMultiByte(932, 0, wide, -1, text, size, NULL, NULL)) text[0] = 0;
}

// ---- Registry -----------------------------------------------------------------

int RegistryRead(const char* key, const char* name, char* text, int size) {
  HKEY handle;
  text[0] = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return -1;
  static wchar_t wide[4096];
  DWORD type = 0, bytes = sizeof wide - sizeof wide[0];
  LONG status = RegQueryValueExW(handle, Wide(name), NULL, &type, (BYTE*)wide, &bytes);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ || bytes == 0) return -1;
  wide[bytes / sizeof wide[0]] = 0;
  int n = WideCharToMultiByte(932, 0, wide, -1, NULL, 0, NULL, NULL);
  if (n <= 0 || n > size) return -1;
  Narrow(wide, text, size);
  return 0;
}

int RegistryWrite(const char* key, const char* name, const char* text) {
  HKEY handle;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(key), 0, NULL, 0, KEY_WRITE, NULL,
                      &handle, NULL) != ERROR_SUCCESS)
    return -1;
  const wchar_t* wide = Wide(text);
  LONG status = RegSetValueExW(handle, Wide(name), 0, REG_SZ, (const BYTE*)wide,
                               (DWORD)((wcslen(wide) + 1) * sizeof wide[0]));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS ? 0 : -1;
}

int RegistryWriteNumber(const char* key, const char* name, DWORD number) {
  HKEY handle;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(key), 0, NULL, 0, KEY_WRITE, NULL,
                      &handle, NULL) != ERROR_SUCCESS)
    return -1;
  LONG status = RegSetValueExW(handle, Wide(name), 0, REG_DWORD, (const BYTE*)&number, 4);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS ? 0 : -1;
}

int RegistryKeyExists(const char* key) {
  HKEY handle;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return 0;
  RegCloseKey(handle);
  return 1;
}

int RegistryDeleteValue(const char* key, const char* name) {
  HKEY handle;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
    return -1;
  LONG status = RegDeleteValueW(handle, Wide(name));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS ? 0 : -1;
}

void SetPalmDesktopRecord(const char* folder) {
  if (folder)
    RegistryWrite(kPalmDesktopKey, "Path", folder);
  else
    RegistryDeleteValue(kPalmDesktopKey, "Path");
}

void RegistryDeleteTree(const char* key) {
  SHDeleteKeyW(HKEY_CURRENT_USER, Wide(key));
}

void SetRyvoSettings(const char* csvFolder, const char* workFolder,
                     const char* syncDir) {
  if (csvFolder) RegistryWrite(kRyvoKey, "RyvoWinDir", csvFolder);
  if (workFolder) RegistryWrite(kRyvoKey, "RyvoWinTmp", workFolder);
  if (syncDir) RegistryWrite(kRyvoKey, "SyncDir", syncDir);
}

void StandInSetDesktopAbsent(void) {
  RegistryWriteNumber(kStandInKey, "DesktopAbsent", 1);
}

void StandInSetDesktopFolder(const char* folder) {
  RegistryWrite(kStandInKey, "DesktopFolder", folder);
}

void StandInRegisterRyvo(const char* conduitPath) {
  char key[128];
  snprintf(key, sizeof key, "%s\\Creators\\Ryvo", kStandInKey);
  RegistryWriteNumber(key, "Type", 1);
  RegistryWrite(key, "Name", conduitPath);
  RegistryWrite(key, "Directory", "backup");
  RegistryWrite(key, "File", "RyvoDB.PDB");
  RegistryWriteNumber(key, "Priority", 2);
}

void StandInFailCall(int ordinal, int result) {
  char key[128], name[16];
  snprintf(key, sizeof key, "%s\\Fail", kStandInKey);
  snprintf(name, sizeof name, "%d", ordinal);
  RegistryWriteNumber(key, name, (DWORD)result);
}

const char* StandInCallLog(void) {
  static char log[33000];
  RegistryRead(kStandInKey, "CallLog", log, sizeof log);
  return log;
}

const char* StandInPathAtConduitQuery(void) {
  static char path[33000];
  RegistryRead(kStandInKey, "PathAtConduitQuery", path, sizeof path);
  return path;
}

// ---- Folders and files --------------------------------------------------------

static void DeleteFolderTree(const wchar_t* folder) {
  wchar_t pattern[MAX_PATH];
  WIN32_FIND_DATAW found;
  _snwprintf(pattern, MAX_PATH, L"%ls\\*", folder);
  pattern[MAX_PATH - 1] = 0;
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
        continue;
      wchar_t path[MAX_PATH];
      _snwprintf(path, MAX_PATH, L"%ls\\%ls", folder, found.cFileName);
      path[MAX_PATH - 1] = 0;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteFolderTree(path);
      } else {
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder);
}

static BOOL CALLBACK KillLeftover(HWND window, LPARAM) {
  char text[256];
  CaptionText(window, text, sizeof text);
  if (strcmp(text, kMainCaption) != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId()) return TRUE;
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (process) {
    Note("ending a leftover program (pid %lu)", pid);
    TerminateProcess(process, 0xDEAD);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
  return TRUE;
}

void ResetState(void) {
  KillAllPrograms();
  EnumWindows(KillLeftover, 0);
  RegistryDeleteTree(kRyvoKey);
  RegistryDeleteTree(kStandInRoot);
  SetPalmDesktopRecord(DriverFolder());
  CreateDirectoryW(Wide(kTestRoot), NULL);
  const char* folder = TestFolder("");
  DeleteFolderTree(Wide(folder));
  CreateDirectoryW(Wide(folder), NULL);
}

const char* TestFolder(const char* sub) {
  static char folders[8][MAX_PATH];
  static int next;
  char* folder = folders[next++ % 8];
  if (sub == NULL || sub[0] == 0) {
    snprintf(folder, MAX_PATH, "%s\\%s", kTestRoot, currentTest);
  } else {
    snprintf(folder, MAX_PATH, "%s\\%s\\%s", kTestRoot, currentTest, sub);
    CreateDirectoryW(Wide(folder), NULL);
  }
  return folder;
}

const char* TestFile(const char* sub, const char* file) {
  static char paths[8][MAX_PATH];
  static int next;
  char* path = paths[next++ % 8];
  snprintf(path, MAX_PATH, "%s\\%s", TestFolder(sub), file);
  return path;
}

const char* CopyBesideDriverTo(const char* file, const char* sub) {
  const char* copy = TestFile(sub, file);
  if (!CopyFileW(Wide(ProgramPath(file)), Wide(copy), FALSE)) {
    CheckFailed(__FILE__, __LINE__, "cannot copy %s to %s (error %lu)", file, copy,
                GetLastError());
    return NULL;
  }
  return copy;
}

// Starts a host program (Wine starts it like a Windows one); Wine gives
// neither its end nor its exit code, so callers look at its effect.
static void RunHostProgram(const char* commandLine) {
  char line[2 * MAX_PATH + 64];
  snprintf(line, sizeof line, "%s", commandLine);
  STARTUPINFOA startup;
  PROCESS_INFORMATION info;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) return;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

// 1 when a new file can be made in `folder` (a trial file, deleted again).
static int FolderTakesFiles(const char* folder) {
  char trial[MAX_PATH];
  snprintf(trial, sizeof trial, "%s\\driver-trial.tmp", folder);
  HANDLE file = CreateFileW(Wide(trial), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                            FILE_FLAG_DELETE_ON_CLOSE, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  CloseHandle(file);
  return 1;
}

int SetFolderUnwritable(const char* folder, int unwritable) {
  typedef char*(CDECL * HostName)(LPCWSTR);
  HostName hostName = (HostName)(void*)GetProcAddress(GetModuleHandleA("kernel32"),
                                                      "wine_get_unix_file_name");
  WCHAR wide[MAX_PATH];
  if (hostName == NULL || !MultiByteToWideChar(932, 0, folder, -1, wide, MAX_PATH)) return 0;
  char* host = hostName(wide);
  if (host == NULL) return 0;
  char command[2 * MAX_PATH + 64];
  if (unwritable) {
    snprintf(command, sizeof command, "Z:\\usr\\bin\\chmod a-w \"%s\"", host);
    RunHostProgram(command);
    snprintf(command, sizeof command, "Z:\\usr\\bin\\chattr +i \"%s\"", host);
    RunHostProgram(command);
  } else {
    snprintf(command, sizeof command, "Z:\\usr\\bin\\chattr -i \"%s\"", host);
    RunHostProgram(command);
    snprintf(command, sizeof command, "Z:\\usr\\bin\\chmod u+w \"%s\"", host);
    RunHostProgram(command);
  }
  HeapFree(GetProcessHeap(), 0, host);
  // The host program may still run when the wait ends.
  for (int waited = 0; waited < kWait; waited += 50) {
    if (FolderTakesFiles(folder) == !unwritable) return 1;
    Sleep(50);
  }
  return 0;
}

int ReadWholeFile(const char* path, unsigned char* data, int size) {
  FILE* file = _wfopen(Wide(path), L"rb");
  if (file == NULL) return -1;
  int n = (int)fread(data, 1, size, file);
  fclose(file);
  return n;
}

int WriteWholeFile(const char* path, const void* data, int size) {
  FILE* file = _wfopen(Wide(path), L"wb");
  if (file == NULL) return -1;
  int n = (int)fwrite(data, 1, size, file);
  int closed = fclose(file);
  return n == size && closed == 0 ? 0 : -1;
}

int FileExists(const char* path) {
  DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int DeleteOneFile(const char* path) {
  return DeleteFileW(Wide(path)) ? 0 : -1;
}

int CheckFile(const char* path, const void* expected, int size, const char* file, int line) {
  static unsigned char data[kDumpCapacity];
  int n = ReadWholeFile(path, data, sizeof data);
  if (n < 0) {
    CheckFailed(file, line, "%s cannot be read", path);
    return 0;
  }
  return CheckBytes(file, line, path, data, n, (const unsigned char*)expected, size);
}

void Keep(Copy* copy, const char* path) {
  copy->size = ReadWholeFile(path, copy->data, sizeof copy->data);
  CHECK(copy->size > 0);
}

const char* SyncDir(void) {
  static char text[80];
  RegistryRead(kRyvoKey, "SyncDir", text, sizeof text);
  return text;
}

int SameFileContent(const char* a, const char* b) {
  static unsigned char first[kDumpCapacity], second[kDumpCapacity];
  int n = ReadWholeFile(a, first, sizeof first);
  int m = ReadWholeFile(b, second, sizeof second);
  return n >= 0 && n == m && memcmp(first, second, n) == 0;
}

// ---- Sample dumps --------------------------------------------------------------

static void PutLE32(unsigned char* p, int value) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)((unsigned)value >> (8 * i));
}

static void PutBE16(unsigned char* p, int value) {
  p[0] = (unsigned char)(value >> 8);
  p[1] = (unsigned char)value;
}

static void PutBE32(unsigned char* p, int value) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)((unsigned)value >> (24 - 8 * i));
}

void DumpStart(Dump* dump, int headerLength, int versionByte, const char* carried) {
  memset(dump->data, 0, sizeof dump->data);
  dump->stocks = 0;
  dump->headerLength = headerLength;
  PutLE32(dump->data, headerLength);
  unsigned char* header = dump->data + 4;
  header[0] = 0;
  header[1] = (unsigned char)versionByte;
  PutBE16(header + 4, 0);
  PutBE16(header + 6, 1000);
  if (carried) memcpy(header + 10, carried, strnlen(carried, 8));
  dump->size = 4 + headerLength;
}

static int HeaderRecordCount(Dump* dump) { return dump->stocks; }

int DumpAddStock(Dump* dump, const char* name, int recordLength, int rows,
                 int seed, int flags, int purchaseCount) {
  if (dump->size + 4 + recordLength > kDumpCapacity) return -1;
  PutLE32(dump->data + dump->size, recordLength);
  int offset = dump->size + 4;
  unsigned char* record = dump->data + offset;
  record[1] = (unsigned char)flags;
  PutBE16(record + 2, 210);
  memcpy(record + 4, name, strnlen(name, 20));
  PutBE32(record + 166, purchaseCount);
  for (int i = 0; i < 5; i++) {
    PutBE16(record + 170 + 4 * i, 12);
    PutBE16(record + 172 + 4 * i, 3 + i);
  }
  PutBE32(record + 194, 2000);
  PutBE32(record + 198, 1000);
  PutBE32(record + 202, 50000);
  dump->size += 4 + recordLength;
  dump->stocks++;
  PutBE16(dump->data + 4 + 2, HeaderRecordCount(dump));
  // Daily rows from 2001/1/10: prices around 1000 + seed with two decimals,
  // the volume in hundreds of shares.
  int year = 2001, month = 1, day = 10;
  for (int j = 0; j < rows && 512 + 15 * (j + 1) <= recordLength; j++) {
    int base = 100000 + seed * 137 + j * 25;          // hundredths
    int mantissa[5] = {base, base + 900, base - 700, base + 150, 1500 + seed + j};
    int exponent[5] = {-2, -2, -2, -2, 2};
    DumpSetRow(dump, offset, j, year, month, day, mantissa, exponent);
    if (++day > 28) {
      day = 1;
      if (++month > 12) {
        month = 1;
        year++;
      }
    }
  }
  return offset;
}

void DumpSetRow(Dump* dump, int recordOffset, int row, int year, int month,
                int day, const int mantissa[5], const int exponent[5]) {
  unsigned char* p = dump->data + recordOffset + 512 + 15 * row;
  unsigned date = ((unsigned)(year - 1904) & 127) << 9 | (month & 15) << 5 | (day & 31);
  PutBE16(p, (int)date);
  // The five 20-bit fields, most significant bit first, from byte 2 on.
  unsigned char bits[13];
  memset(bits, 0, sizeof bits);
  for (int v = 0; v < 5; v++) {
    unsigned field = (unsigned)(exponent[v] + 2) << 17 | ((unsigned)mantissa[v] & 0x1FFFF);
    for (int b = 0; b < 20; b++) {
      if (field & (1u << (19 - b))) {
        int bit = v * 20 + b;
        bits[bit / 8] |= (unsigned char)(0x80 >> (bit % 8));
      }
    }
  }
  memcpy(p + 2, bits, 13);
}

int DumpWrite(const Dump* dump, const char* path) {
  return WriteWholeFile(path, dump->data, dump->size);
}

int DumpStockNames(const char* path, char* joined, int size, int* recordCount) {
  static unsigned char data[kDumpCapacity];
  int n = ReadWholeFile(path, data, sizeof data);
  joined[0] = 0;
  if (n < 4) return -1;
  int at = 0, used = 0, first = 1;
  while (at + 4 <= n) {
    int length = (int)((unsigned)data[at] | (unsigned)data[at + 1] << 8 |
                       (unsigned)data[at + 2] << 16 | (unsigned)data[at + 3] << 24);
    if (length < 0 || at + 4 + length > n) return -1;
    const unsigned char* record = data + at + 4;
    if (at == 0) {
      if (recordCount && length >= 4) *recordCount = record[2] << 8 | record[3];
    } else {
      char name[21];
      memset(name, 0, sizeof name);
      if (length >= 24) memcpy(name, record + 4, 20);
      used += snprintf(joined + used, used < size ? size - used : 0, "%s%s",
                       first ? "" : "|", name);
      first = 0;
    }
    at += 4 + length;
  }
  return 0;
}
