// Console implementation of the platform services for the ryvo tool and
// the benchmark.
#include "platform_console.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>

#include "settings.h"
#endif

#include "stock_paths.h"
#include "text_codec.h"

namespace {

enum { kMaxStocks = 8192, kEntrySize = 81 };

char ListEntries[kMaxStocks][kEntrySize];
int ListCount;
int ListSelected = -1;
int MessageCount;
int Quiet;

#ifdef _WIN32
// A message to a console goes as UTF-16 (WriteConsoleW), so that it reads
// right whatever the console's code page; to a file or a pipe as code page
// 932 bytes. 1 when it was written to a console.
int WriteToConsole(FILE* stream, const char* cp932) {
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode;
  if (handle == INVALID_HANDLE_VALUE || handle == NULL || !GetConsoleMode(handle, &mode))
    return 0;
  static wchar_t wide[8192];
  if (Cp932ToWide(cp932, wide, sizeof wide / sizeof wide[0]) != 0) return 0;
  fflush(stream);
  DWORD written;
  return WriteConsoleW(handle, wide, (DWORD)wcslen(wide), &written, NULL) ? 1 : 0;
}
#endif

}  // namespace

StockList ConsoleStockList(void) { return ListEntries; }
void ConsoleListClear(void) {
  ListCount = 0;
  ListSelected = -1;
}
int ConsoleMessageCount(void) { return MessageCount; }

const char* ConsoleFolderProblem(const char* folder) {
  if (strlen(folder) >= (size_t)kPathSize) return strerror(ENAMETOOLONG);
  const char* host = folder;
#ifdef _WIN32
  wchar_t wide[kPathSize];
  if (Cp932ToWide(host, wide, kPathSize) != 0) return strerror(EINVAL);
  DWORD attributes = GetFileAttributesW(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES) return strerror(ENOENT);
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? NULL : strerror(ENOTDIR);
#else
  struct stat status;
  if (stat(host, &status) != 0) return strerror(errno);
  return S_ISDIR(status.st_mode) ? NULL : strerror(ENOTDIR);
#endif
}

int ConsoleFolderFiles(const char* folder, void (*each)(void* context, const char* name),
                       void* context) {
  if (strlen(folder) >= (size_t)kPathSize) return -1;
  const char* host = folder;
#ifdef _WIN32
  char pattern[kPathSize + 4];
  wchar_t widePattern[kPathSize + 4];
  snprintf(pattern, sizeof pattern, "%s\\*", host);
  if (Cp932ToWide(pattern, widePattern, kPathSize + 4) != 0) return -1;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(widePattern, &found);
  if (search == INVALID_HANDLE_VALUE) return -1;
  do {
    // A name code page 932 cannot write is no stock's file.
    char name[2 * MAX_PATH];
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        WideToCp932(found.cFileName, name, sizeof name) == 0)
      each(context, name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return 0;
#else
  DIR* dir = opendir(host);
  if (dir == NULL) return -1;
  while (struct dirent* entry = readdir(dir)) {
    char path[kPathSize * 2];
    snprintf(path, sizeof path, "%s/%s", host, entry->d_name);
    struct stat status;
    if (stat(path, &status) == 0 && S_ISREG(status.st_mode)) each(context, entry->d_name);
  }
  closedir(dir);
  return 0;
#endif
}

int ConsoleFileIsNewer(const char* a, const char* b) {
  if (strlen(a) >= (size_t)kPathSize || strlen(b) >= (size_t)kPathSize) return 0;
  const char* hostA = a;
  const char* hostB = b;
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA x, y;
  wchar_t wideA[kPathSize], wideB[kPathSize];
  if (Cp932ToWide(hostA, wideA, kPathSize) != 0 || Cp932ToWide(hostB, wideB, kPathSize) != 0 ||
      !GetFileAttributesExW(wideA, GetFileExInfoStandard, &x) ||
      !GetFileAttributesExW(wideB, GetFileExInfoStandard, &y))
    return 0;
  return CompareFileTime(&x.ftLastWriteTime, &y.ftLastWriteTime) > 0;
#else
  struct stat x, y;
  if (stat(hostA, &x) != 0 || stat(hostB, &y) != 0) return 0;
  if (x.st_mtim.tv_sec != y.st_mtim.tv_sec) return x.st_mtim.tv_sec > y.st_mtim.tv_sec;
  return x.st_mtim.tv_nsec > y.st_mtim.tv_nsec;
#endif
}

void ConsoleSetQuiet(int quiet) { Quiet = quiet; }

const char* ConsoleDisplayText(const char* cp932, char* out, int size) {
#ifdef _WIN32
  snprintf(out, (size_t)size, "%s", cp932);
#else
  Cp932ToUtf8Shown(cp932, out, size);
#endif
  // A control byte other than line feed and tab (an escape sequence in a
  // stock name) is shown as \xNN, never obeyed by the terminal; no byte of
  // a multi-byte character is one.
  static char escaped[16384];
  int n = 0;
  bool changed = false;
  for (const unsigned char* p = (const unsigned char*)out; *p != '\0' && n < (int)sizeof escaped - 5;
       ++p) {
    if ((*p < 0x20 && *p != '\n' && *p != '\t') || *p == 0x7F) {
      n += snprintf(escaped + n, sizeof escaped - (size_t)n, "\\x%02X", *p);
      changed = true;
    } else {
      escaped[n++] = (char)*p;
    }
  }
  escaped[n] = '\0';
  if (changed) snprintf(out, (size_t)size, "%s", escaped);
  return out;
}

const char* ConsoleDisplayPath(const char* path, char* out, int size) {
  if (size <= 0) return out;
  snprintf(out, (size_t)size, "%s", path);
  return out;
}

int ConsoleArgumentText(const char* argument, char* out, int size) {
#ifdef _WIN32
  int n = snprintf(out, (size_t)size, "%s", argument);
  return n >= 0 && n < size ? 0 : -1;
#else
  return Utf8ToCp932(argument, out, size);
#endif
}

// A box is one line on standard error, "[caption] text"; before it, when a
// file call failed since the last box, the file and the system's reason:
// "ryvo: work/7203.txt: No such file or directory".
int PfMessageBox(const char* text, const char* caption, int buttons) {
  (void)buttons;
  ++MessageCount;
  char path[kPathSize], reason[128];
  int failed = PfTakeFileError(path, reason, sizeof reason) == 0;
  if (!Quiet) {
    static char shownText[4096];
    static char shownCaption[256];
    static char line[kPathSize + 4096 + 256 + 160];
    int n = 0;
    if (failed) n = snprintf(line, sizeof line, "ryvo: %s: %s\n", path, reason);
    snprintf(line + n, sizeof line - (size_t)n, "[%s] %s\n",
             ConsoleDisplayText(caption, shownCaption, sizeof shownCaption),
             ConsoleDisplayText(text, shownText, sizeof shownText));
#ifdef _WIN32
    if (!WriteToConsole(stderr, line)) fputs(line, stderr);
#else
    fputs(line, stderr);
#endif
  }
  return PF_IDOK;
}

int PfListCount(StockList list) { return list != NULL ? ListCount : 0; }

int PfListGetText(StockList list, int index, char* buffer, int size) {
  if (size > 0) buffer[0] = '\0';
  if (list == NULL || index < 0 || index >= ListCount) return -1;
  int n = (int)strlen(ListEntries[index]);
  if (size <= 0) return n;
  if (n > size - 1) n = size - 1;
  memcpy(buffer, ListEntries[index], (size_t)n);
  buffer[n] = '\0';
  return n;
}

int PfListInsert(StockList list, int index, const char* text) {
  if (list == NULL || ListCount >= kMaxStocks) return -1;
  if (index < 0 || index > ListCount) index = ListCount;
  memmove(ListEntries[index + 1], ListEntries[index], (size_t)(ListCount - index) * kEntrySize);
  snprintf(ListEntries[index], kEntrySize, "%s", text);
  ++ListCount;
  return index;
}

int PfListAppend(StockList list, const char* text) { return PfListInsert(list, -1, text); }

int PfListDelete(StockList list, int index) {
  if (list == NULL || index < 0 || index >= ListCount) return -1;
  memmove(ListEntries[index], ListEntries[index + 1], (size_t)(ListCount - index - 1) * kEntrySize);
  --ListCount;
  if (ListSelected >= ListCount) ListSelected = -1;
  return ListCount;
}

int PfListSelection(StockList list) { return list != NULL ? ListSelected : -1; }

void PfListSelect(StockList list, int index) {
  if (list == NULL) return;
  ListSelected = index >= 0 && index < ListCount ? index : -1;
}

#ifndef _WIN32
// The settings store of the native tool: a few values in memory.
namespace {
enum { kMaxSettings = 16, kSettingSize = 260 };
char SettingNames[kMaxSettings][32];
char SettingValues[kMaxSettings][kSettingSize];
int SettingCount;
int FindSetting(const char* name) {
  for (int i = 0; i < SettingCount; ++i)
    if (strcmp(SettingNames[i], name) == 0) return i;
  return -1;
}
}  // namespace

int ReadSetting(char* buffer, int size, const char* key, const char* name) {
  if (size > 0) buffer[0] = '\0';
  int i = strcmp(key, kSettingsKey) == 0 ? FindSetting(name) : -1;
  if (i < 0 || (int)strlen(SettingValues[i]) >= size) return -1;
  strcpy(buffer, SettingValues[i]);
  return 0;
}

int WriteSetting(const char* text, const char* key, const char* name) {
  if (strcmp(key, kSettingsKey) != 0 || strlen(name) >= sizeof SettingNames[0] ||
      strlen(text) >= (size_t)kSettingSize)
    return -1;
  int i = FindSetting(name);
  if (i < 0) {
    if (SettingCount >= kMaxSettings) return -1;
    i = SettingCount++;
    strcpy(SettingNames[i], name);
  }
  strcpy(SettingValues[i], text);
  return 0;
}
#endif
