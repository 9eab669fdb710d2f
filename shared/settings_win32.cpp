// The settings store on Windows: the string values of HKCU\Software\RyvoWin,
// the same code in RyvoWin and the installer.
//
// A value is found by walking the key's values in the registry's own order
// and comparing names exactly (case-sensitively); only the wanted value's
// data is ever fetched, so a long value
// enumerated before it (a CSV folder path longer than the 80-byte buffer of
// SyncDir, say) never ends the lookup.
#include <windows.h>
#include <string.h>
#include <wchar.h>

#include "settings.h"
#include "text_codec.h"

namespace {

// Names of keys and values are short; a value's text at most kDataCount
// wide characters (a path, a version, a direction).
enum { kValueNameSize = 260, kDataCount = 4096 };

// Closes a registry key on every way out.
struct OpenKey {
  HKEY key = NULL;
  ~OpenKey() {
    if (key) RegCloseKey(key);
  }
};

// Index of the value named exactly `name`, or -1.
int FindValueIndex(HKEY key, DWORD count, const wchar_t* name) {
  wchar_t found[kValueNameSize];
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameSize = kValueNameSize;
    LONG status = RegEnumValueW(key, i, found, &nameSize, NULL, NULL, NULL, NULL);
    if (status == ERROR_MORE_DATA) continue;   // a name longer than any we use
    if (status != ERROR_SUCCESS) return -1;
    if (wcscmp(found, name) == 0) return (int)i;
  }
  return -1;
}

}  // namespace

// The registry holds UTF-16; the texts are read and written as code page
// 932, the same bytes whatever the system's code page is.
int ReadSetting(char* buffer, int size, const char* key, const char* name) {
  if (buffer == NULL || size <= 0) return -1;
  buffer[0] = 0;
  wchar_t wideKey[kValueNameSize], wideName[kValueNameSize];
  if (Cp932ToWide(key, wideKey, kValueNameSize) != 0 || Cp932ToWide(name, wideName, kValueNameSize) != 0)
    return -1;
  OpenKey open;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, wideKey, 0, KEY_READ, &open.key) != ERROR_SUCCESS) {
    open.key = NULL;
    return -1;
  }
  DWORD count = 0;
  if (RegQueryInfoKeyW(open.key, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL,
                       NULL, NULL, NULL) != ERROR_SUCCESS)
    return -1;
  int index = FindValueIndex(open.key, count, wideName);
  if (index < 0) return -1;

  static wchar_t data[kDataCount + 1];
  wchar_t found[kValueNameSize];
  DWORD nameSize = kValueNameSize;
  DWORD dataSize = kDataCount * sizeof(wchar_t);
  if (RegEnumValueW(open.key, (DWORD)index, found, &nameSize, NULL, NULL, (BYTE*)data,
                    &dataSize) != ERROR_SUCCESS ||
      wcscmp(found, wideName) != 0)
    return -1;
  data[dataSize / sizeof(wchar_t)] = 0;
  // The text with its terminating zero must fit the buffer; a longer one
  // is refused, never cut short.
  if (WideToCp932(data, buffer, size) != 0) {
    buffer[0] = 0;
    return -1;
  }
  return 0;
}

int WriteSetting(const char* text, const char* key, const char* name) {
  static wchar_t data[kDataCount];
  wchar_t wideKey[kValueNameSize], wideName[kValueNameSize];
  if (Cp932ToWide(key, wideKey, kValueNameSize) != 0 || Cp932ToWide(name, wideName, kValueNameSize) != 0 ||
      Cp932ToWide(text, data, kDataCount) != 0)
    return -1;
  OpenKey open;
  if (RegCreateKeyW(HKEY_CURRENT_USER, wideKey, &open.key) != ERROR_SUCCESS) {
    open.key = NULL;
    return -1;
  }
  if (RegSetValueExW(open.key, wideName, 0, REG_SZ, (const BYTE*)data,
                     (DWORD)((wcslen(data) + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    return -1;
  return 0;
}
