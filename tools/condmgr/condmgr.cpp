// Stand-in Palm Conduit Manager (CONDMGR.dll) for tests and the demo: the
// eight calls that RyvoWin and the installer bind by ordinal, with their
// state in the registry under HKCU\Software\RyvoStandIn\CondMgr so that
// registrations persist from one program start to the next. Tests steer it
// through the same key (a missing Palm Desktop, a pre-registered conduit, an
// injected failure) and read back what it saw (the call log, the PATH at the
// conduit query). The layout of the key is in README.md beside this file.
// Never shipped: on a user's machine the library comes with Palm Desktop.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "condmgr.h"

namespace {

const char kStateKey[] = "Software\\RyvoStandIn\\CondMgr";
const char kCreatorsKey[] = "Software\\RyvoStandIn\\CondMgr\\Creators";
const char kFailKey[] = "Software\\RyvoStandIn\\CondMgr\\Fail";
enum { kLogLimit = 32000 };   // the call log stops growing beyond this

// Closes a registry key on every way out.
struct KeyHolder {
  HKEY key = NULL;
  ~KeyHolder() { if (key) RegCloseKey(key); }
};

int OpenKey(const char* path, KeyHolder* holder) {
  return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &holder->key) ==
                 ERROR_SUCCESS ? 0 : -1;
}

int CreateKey(const char* path, KeyHolder* holder) {
  return RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0,
                         KEY_READ | KEY_WRITE, NULL, &holder->key, NULL) ==
                 ERROR_SUCCESS ? 0 : -1;
}

// Reads a REG_SZ value into `buffer`; -1 (buffer empty) when missing, not a
// string or too long.
int ReadText(HKEY key, const char* name, char* buffer, DWORD size) {
  DWORD type = 0, bytes = size;
  buffer[0] = 0;
  if (RegQueryValueExA(key, name, NULL, &type, (BYTE*)buffer, &bytes) !=
          ERROR_SUCCESS || type != REG_SZ || bytes == 0 || bytes > size) {
    buffer[0] = 0;
    return -1;
  }
  buffer[bytes - 1] = 0;
  return 0;
}

// Reads a number stored either as REG_DWORD or as decimal REG_SZ (which
// `reg add` makes easy to write for negative numbers). -1 when missing.
int ReadNumber(HKEY key, const char* name, int* value) {
  BYTE data[64];
  DWORD type = 0, bytes = sizeof data - 1;
  if (RegQueryValueExA(key, name, NULL, &type, data, &bytes) != ERROR_SUCCESS)
    return -1;
  if (type == REG_DWORD && bytes == 4) {
    DWORD d;
    memcpy(&d, data, 4);
    *value = (int)d;
    return 0;
  }
  if (type == REG_SZ) {
    data[bytes] = 0;
    *value = (int)strtol((const char*)data, NULL, 0);
    return 0;
  }
  return -1;
}

int WriteText(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text,
                        (DWORD)strlen(text) + 1) == ERROR_SUCCESS ? 0 : -1;
}

int WriteNumber(HKEY key, const char* name, int value) {
  DWORD d = (DWORD)value;
  return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&d, 4) ==
                 ERROR_SUCCESS ? 0 : -1;
}

// Appends one line to the call log (value CallLog of the state key).
void LogCall(const char* line) {
  static char log[kLogLimit + 512];
  KeyHolder state;
  if (CreateKey(kStateKey, &state) != 0) return;
  if (ReadText(state.key, "CallLog", log, kLogLimit) != 0) log[0] = 0;
  size_t used = strlen(log), add = strlen(line);
  if (used + add + 2 > sizeof log) return;
  memcpy(log + used, line, add);
  log[used + add] = '\n';
  log[used + add + 1] = 0;
  WriteText(state.key, "CallLog", log);
}

// Ends a call: logs "ordinal(arguments)=result" and returns the result.
int Finish(int ordinal, const char* arguments, int result) {
  char line[1200];
  snprintf(line, sizeof line, "%d(%s)=%d", ordinal, arguments, result);
  LogCall(line);
  return result;
}

// An injected failure: value "<ordinal>" of the Fail subkey. 1 and the
// result when the call must fail, 0 when it runs normally.
int InjectedFailure(int ordinal, int* result) {
  KeyHolder fail;
  char name[16];
  if (OpenKey(kFailKey, &fail) != 0) return 0;
  snprintf(name, sizeof name, "%d", ordinal);
  return ReadNumber(fail.key, name, result) == 0 ? 1 : 0;
}

// Creator IDs are four bytes, as on the handheld.
int ValidCreator(const char* creator) {
  return creator != NULL && strlen(creator) == 4;
}

void CreatorPath(char* path, size_t size, const char* creator) {
  snprintf(path, size, "%s\\%s", kCreatorsKey, creator);
}

// The folder of this DLL, without a trailing backslash.
void ModuleFolder(char* folder, DWORD size) {
  HMODULE self = NULL;
  folder[0] = 0;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          (LPCSTR)&ModuleFolder, &self))
    return;
  DWORD n = GetModuleFileNameA(self, folder, size);
  if (n == 0 || n >= size) { folder[0] = 0; return; }
  char* slash = strrchr(folder, '\\');
  if (slash) *slash = 0;
}

// Copies `text` to the caller's buffer of *size bytes.
int CopyOut(const char* text, char* buffer, int* size) {
  if (buffer == NULL || size == NULL || *size <= 0) return kCmErrBadArgument;
  int need = (int)strlen(text) + 1;
  if (need > *size) {
    buffer[0] = 0;
    return kCmErrBufferTooSmall;
  }
  memcpy(buffer, text, need);
  return 0;
}

// Common body of the four setters: one value of a registered creator.
int SetCreatorValue(int ordinal, const char* creator, const char* name,
                    const char* text, int number, int isNumber) {
  char arguments[1100], path[200];
  const char* id = creator ? creator : "";
  if (isNumber)
    snprintf(arguments, sizeof arguments, "%s,%d", id, number);
  else
    snprintf(arguments, sizeof arguments, "%s,%s", id, text ? text : "");
  int result;
  if (InjectedFailure(ordinal, &result)) return Finish(ordinal, arguments, result);
  if (!ValidCreator(creator) || (!isNumber && text == NULL))
    return Finish(ordinal, arguments, kCmErrBadArgument);
  CreatorPath(path, sizeof path, creator);
  KeyHolder key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ | KEY_WRITE,
                    &key.key) != ERROR_SUCCESS)
    return Finish(ordinal, arguments, kCmErrNoConduit);
  int written = isNumber ? WriteNumber(key.key, name, number)
                         : WriteText(key.key, name, text);
  return Finish(ordinal, arguments, written == 0 ? 0 : kCmErrRegistry);
}

}  // namespace

extern "C" {

int WINAPI CmGetPalmDesktopFolder(char* folder, int* size) {
  int result, absent = 0;
  char reported[MAX_PATH];
  if (InjectedFailure(88, &result)) return Finish(88, "", result);
  KeyHolder state;
  reported[0] = 0;
  if (OpenKey(kStateKey, &state) == 0) {
    ReadNumber(state.key, "DesktopAbsent", &absent);
    ReadText(state.key, "DesktopFolder", reported, sizeof reported);
  }
  if (absent) return Finish(88, "", kCmErrNotInstalled);
  if (reported[0] == 0) ModuleFolder(reported, sizeof reported);
  return Finish(88, "", CopyOut(reported, folder, size));
}

int WINAPI CmQueryConduit(const char* creator, char* buffer, int* size) {
  // What the caller's process looks like when it asks: its search path.
  static char path[32768];
  DWORD n = GetEnvironmentVariableA("PATH", path, sizeof path);
  if (n >= sizeof path) n = 0;
  path[n] = 0;
  {
    KeyHolder state;
    if (CreateKey(kStateKey, &state) == 0)
      WriteText(state.key, "PathAtConduitQuery", path);
  }
  const char* id = creator ? creator : "";
  int result;
  if (InjectedFailure(47, &result)) return Finish(47, id, result);
  if (!ValidCreator(creator)) return Finish(47, id, kCmErrBadArgument);
  char keyPath[200], name[MAX_PATH];
  CreatorPath(keyPath, sizeof keyPath, creator);
  KeyHolder key;
  if (OpenKey(keyPath, &key) != 0) return Finish(47, id, kCmErrNoConduit);
  ReadText(key.key, "Name", name, sizeof name);
  return Finish(47, id, CopyOut(name, buffer, size));
}

int WINAPI CmInstallCreator(const char* creator, int type) {
  char arguments[64], path[200];
  snprintf(arguments, sizeof arguments, "%s,%d", creator ? creator : "", type);
  int result;
  if (InjectedFailure(67, &result)) return Finish(67, arguments, result);
  if (!ValidCreator(creator)) return Finish(67, arguments, kCmErrBadArgument);
  CreatorPath(path, sizeof path, creator);
  KeyHolder key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0,
                      KEY_READ | KEY_WRITE, NULL, &key.key,
                      &disposition) != ERROR_SUCCESS)
    return Finish(67, arguments, kCmErrRegistry);
  if (disposition == REG_OPENED_EXISTING_KEY)
    return Finish(67, arguments, kCmErrCreatorInUse);
  if (WriteNumber(key.key, "Type", type) != 0)
    return Finish(67, arguments, kCmErrRegistry);
  return Finish(67, arguments, 0);
}

int WINAPI CmSetCreatorName(const char* creator, const char* name) {
  return SetCreatorValue(46, creator, "Name", name, 0, 0);
}

int WINAPI CmSetCreatorDirectory(const char* creator, const char* directory) {
  return SetCreatorValue(48, creator, "Directory", directory, 0, 0);
}

int WINAPI CmSetCreatorFile(const char* creator, const char* file) {
  return SetCreatorValue(63, creator, "File", file, 0, 0);
}

int WINAPI CmSetCreatorPriority(const char* creator, int priority) {
  return SetCreatorValue(40, creator, "Priority", NULL, priority, 1);
}

int WINAPI CmRemoveConduitByCreatorID(const char* creator) {
  const char* id = creator ? creator : "";
  int result;
  if (InjectedFailure(65, &result)) return Finish(65, id, result);
  if (!ValidCreator(creator)) return Finish(65, id, kCmErrBadArgument);
  KeyHolder creators;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kCreatorsKey, 0, KEY_READ | KEY_WRITE,
                    &creators.key) != ERROR_SUCCESS)
    return Finish(65, id, kCmErrNoConduit);
  LONG status = RegDeleteKeyA(creators.key, creator);
  if (status == ERROR_FILE_NOT_FOUND) return Finish(65, id, kCmErrNoConduit);
  if (status != ERROR_SUCCESS) return Finish(65, id, kCmErrRegistry);
  return Finish(65, id, 1);
}

}  // extern "C"
