// The settings store on Windows: the string values of HKCU\Software\RyvoWin,
// the same code in RyvoWin and the installer.
//
// A value is found by walking the key's values in the registry's own order
// and comparing names byte for byte (case-sensitively); only the wanted
// value's data is ever fetched into the caller's buffer, so a long value
// enumerated before it (a CSV folder path longer than the 80-byte buffer of
// SyncDir, say) never ends the lookup.
#include <windows.h>
#include <string.h>

#include "settings.h"

namespace {

enum { kValueNameSize = 260 };

// Closes a registry key on every way out.
struct OpenKey {
  HKEY key = NULL;
  ~OpenKey() {
    if (key) RegCloseKey(key);
  }
};

// Index of the value named exactly `name`, or -1.
int FindValueIndex(HKEY key, DWORD count, const char* name) {
  char found[kValueNameSize];
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameSize = sizeof found;
    LONG status = RegEnumValueA(key, i, found, &nameSize, NULL, NULL, NULL, NULL);
    if (status == ERROR_MORE_DATA) continue;   // a name longer than any we use
    if (status != ERROR_SUCCESS) return -1;
    if (strcmp(found, name) == 0) return (int)i;
  }
  return -1;
}

}  // namespace

int ReadSetting(char* buffer, int size, const char* key, const char* name) {
  if (buffer == NULL || size <= 0) return -1;
  buffer[0] = 0;
  OpenKey open;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &open.key) != ERROR_SUCCESS) {
    open.key = NULL;
    return -1;
  }
  DWORD count = 0;
  if (RegQueryInfoKeyA(open.key, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL,
                       NULL, NULL, NULL) != ERROR_SUCCESS)
    return -1;
  int index = FindValueIndex(open.key, count, name);
  if (index < 0) return -1;

  char found[kValueNameSize];
  DWORD nameSize = sizeof found;
  DWORD dataSize = (DWORD)size;
  if (RegEnumValueA(open.key, (DWORD)index, found, &nameSize, NULL, NULL,
                    (BYTE*)buffer, &dataSize) != ERROR_SUCCESS ||
      strcmp(found, name) != 0) {
    buffer[0] = 0;
    return -1;
  }
  // The text must end inside the buffer: stored with its terminating zero,
  // or short enough to add one.
  if (dataSize < (DWORD)size) {
    buffer[dataSize] = 0;
  } else if (buffer[size - 1] != 0) {
    buffer[0] = 0;
    return -1;
  }
  return 0;
}

int WriteSetting(const char* text, const char* key, const char* name) {
  OpenKey open;
  if (RegCreateKeyA(HKEY_CURRENT_USER, key, &open.key) != ERROR_SUCCESS) {
    open.key = NULL;
    return -1;
  }
  if (RegSetValueExA(open.key, name, 0, REG_SZ, (const BYTE*)text,
                     (DWORD)strlen(text) + 1) != ERROR_SUCCESS)
    return -1;
  return 0;
}
