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
#include "settings.h"
#endif

#include "stock_paths.h"
#include "text_codec.h"

namespace {

enum { kMaxStocks = 8192, kEntrySize = 81, kHostPathSize = 1024 };

char ListEntries[kMaxStocks][kEntrySize];
int ListCount;
int ListSelected = -1;
int MessageCount;
int Quiet;

int HostPath(const char* path, char* out) {
  return HostPathFromDosPath(out, kHostPathSize, path);
}

#ifdef _WIN32
// A code page 932 path as the wide calls take it; 0, or -1 when it does
// not fit.
int WideHostPath(const char* path, wchar_t* out) {
  char host[kHostPathSize];
  if (HostPath(path, host) != 0) return -1;
  return Cp932ToWide(host, out, kHostPathSize);
}

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
void ConsoleSetQuiet(int quiet) { Quiet = quiet; }

const char* ConsoleDisplayText(const char* cp932, char* out, int size) {
#ifdef _WIN32
  snprintf(out, (size_t)size, "%s", cp932);
  return out;
#else
  return Cp932ToUtf8Shown(cp932, out, size);
#endif
}

const char* ConsoleDisplayPath(const char* path, char* out, int size) {
  if (size <= 0) return out;
  if (HostPathFromDosPath(out, size, path) != 0) snprintf(out, (size_t)size, "%s", path);
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

int PfMessageBox(const char* text, const char* caption, int buttons) {
  (void)buttons;
  ++MessageCount;
  if (!Quiet) {
    static char shownText[4096];
    static char shownCaption[256];
    static char line[4096 + 256 + 8];
    snprintf(line, sizeof line, "[%s] %s\n",
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

FILE* PfOpenFile(const char* path, const char* mode) {
#ifdef _WIN32
  wchar_t wide[kHostPathSize], wideMode[8];
  size_t n = strlen(mode);
  if (WideHostPath(path, wide) != 0 || n >= sizeof wideMode / sizeof wideMode[0]) return NULL;
  for (size_t i = 0; i <= n; ++i) wideMode[i] = (wchar_t)(unsigned char)mode[i];
  return _wfopen(wide, wideMode);
#else
  char host[kHostPathSize];
  if (HostPath(path, host) != 0) return NULL;
  return fopen(host, mode);
#endif
}

int PfCloseFile(FILE* file) { return fclose(file) == 0 ? 0 : -1; }

int PfCopyFile(const char* from, const char* to) {
#ifdef _WIN32
  wchar_t source[kHostPathSize], target[kHostPathSize];
  if (WideHostPath(from, source) != 0 || WideHostPath(to, target) != 0) return -1;
  return CopyFileW(source, target, FALSE) ? 0 : -1;
#else
  char source[kHostPathSize], target[kHostPathSize];
  if (HostPath(from, source) != 0 || HostPath(to, target) != 0) return -1;
  // Copy beside the destination, then rename: never a half-made copy.
  char temporary[kHostPathSize + 16];
  snprintf(temporary, sizeof temporary, "%s.copying", target);
  FILE* in = fopen(source, "rb");
  if (in == NULL) return -1;
  FILE* out = fopen(temporary, "wb");
  if (out == NULL) {
    fclose(in);
    return -1;
  }
  static char buffer[1 << 16];
  int ok = 1;
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
    if (fwrite(buffer, 1, n, out) != n) {
      ok = 0;
      break;
    }
  if (ferror(in)) ok = 0;
  fclose(in);
  if (fclose(out) != 0) ok = 0;
  if (ok && rename(temporary, target) != 0) ok = 0;
  if (!ok) remove(temporary);
  return ok ? 0 : -1;
#endif
}

int PfReplaceFile(const char* from, const char* to) {
#ifdef _WIN32
  wchar_t source[kHostPathSize], target[kHostPathSize];
  if (WideHostPath(from, source) != 0 || WideHostPath(to, target) != 0) return -1;
  return MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
#else
  char source[kHostPathSize], target[kHostPathSize];
  if (HostPath(from, source) != 0 || HostPath(to, target) != 0) return -1;
  return rename(source, target) == 0 ? 0 : -1;
#endif
}

int PfDeleteFile(const char* path) {
#ifdef _WIN32
  wchar_t host[kHostPathSize];
  if (WideHostPath(path, host) != 0) return -1;
  if (DeleteFileW(host)) return 0;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
#else
  char host[kHostPathSize];
  if (HostPath(path, host) != 0) return -1;
  return remove(host) == 0 || errno == ENOENT ? 0 : -1;
#endif
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
const char kSettingsKey[] = "Software\\RyvoWin";

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
