// Binding of CONDMGR.dll at run time: the search for the library by full
// path, its calls by export ordinal, and the functions of condmgr.h that
// forward to them.
#include <windows.h>
#include <wchar.h>

#include "condmgr.h"

namespace {

enum { kPathCount = 32768 };   // wide characters of a path or of PATH

const wchar_t kLibraryName[] = L"CONDMGR.dll";
const wchar_t kPalmDesktopKey[] = L"Software\\U.S. Robotics\\Pilot Desktop\\Core";

typedef int(WINAPI* FolderCall)(char*, int*);
typedef int(WINAPI* QueryCall)(const char*, char*, int*);
typedef int(WINAPI* CreatorCall)(const char*);
typedef int(WINAPI* CreatorNumberCall)(const char*, int);
typedef int(WINAPI* CreatorTextCall)(const char*, const char*);

HMODULE Library;
FolderCall GetPalmDesktopFolderAt;
QueryCall QueryConduitAt;
CreatorNumberCall InstallCreatorAt;
CreatorTextCall SetCreatorNameAt;
CreatorTextCall SetCreatorDirectoryAt;
CreatorTextCall SetCreatorFileAt;
CreatorNumberCall SetCreatorPriorityAt;
CreatorCall RemoveConduitAt;

wchar_t Candidate[kPathCount];
wchar_t SearchPath[kPathCount];

// The export `ordinal` of `module` as a plain address, NULL when missing.
void* Ordinal(HMODULE module, int ordinal) {
  return (void*)GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
}

// Binds the eight calls of `module`: 1 when every one is there.
int BindCalls(HMODULE module) {
  GetPalmDesktopFolderAt = (FolderCall)Ordinal(module, kCmOrdinalGetPalmDesktopFolder);
  QueryConduitAt = (QueryCall)Ordinal(module, kCmOrdinalQueryConduit);
  InstallCreatorAt = (CreatorNumberCall)Ordinal(module, kCmOrdinalInstallCreator);
  SetCreatorNameAt = (CreatorTextCall)Ordinal(module, kCmOrdinalSetCreatorName);
  SetCreatorDirectoryAt = (CreatorTextCall)Ordinal(module, kCmOrdinalSetCreatorDirectory);
  SetCreatorFileAt = (CreatorTextCall)Ordinal(module, kCmOrdinalSetCreatorFile);
  SetCreatorPriorityAt = (CreatorNumberCall)Ordinal(module, kCmOrdinalSetCreatorPriority);
  RemoveConduitAt = (CreatorCall)Ordinal(module, kCmOrdinalRemoveConduitByCreatorID);
  if (GetPalmDesktopFolderAt && QueryConduitAt && InstallCreatorAt && SetCreatorNameAt &&
      SetCreatorDirectoryAt && SetCreatorFileAt && SetCreatorPriorityAt && RemoveConduitAt)
    return 1;
  GetPalmDesktopFolderAt = NULL;
  QueryConduitAt = NULL;
  InstallCreatorAt = NULL;
  SetCreatorNameAt = NULL;
  SetCreatorDirectoryAt = NULL;
  SetCreatorFileAt = NULL;
  SetCreatorPriorityAt = NULL;
  RemoveConduitAt = NULL;
  return 0;
}

// A folder given as "X:\..." or "\\server\...": only such folders are
// searched, so that nothing is looked up relative to the current directory.
int IsAbsoluteFolder(const wchar_t* folder, size_t length) {
  if (length >= 2 && folder[0] == L'\\' && folder[1] == L'\\') return 1;
  return length >= 3 && folder[1] == L':' && folder[2] == L'\\' &&
         ((folder[0] >= L'A' && folder[0] <= L'Z') || (folder[0] >= L'a' && folder[0] <= L'z'));
}

// Loads CONDMGR.dll from the `length` characters of `folder`, when it is
// there and carries every call: 1 then, 0 otherwise.
int TryFolder(const wchar_t* folder, size_t length) {
  while (length > 0 && folder[length - 1] == L' ') --length;
  if (length >= 2 && folder[0] == L'"' && folder[length - 1] == L'"') {
    ++folder;
    length -= 2;
  }
  if (!IsAbsoluteFolder(folder, length)) return 0;
  int slash = folder[length - 1] != L'\\';
  if (length + slash + wcslen(kLibraryName) + 1 > kPathCount) return 0;
  wmemcpy(Candidate, folder, length);
  if (slash) Candidate[length++] = L'\\';
  wcscpy(Candidate + length, kLibraryName);
  DWORD attributes = GetFileAttributesW(Candidate);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryExW(Candidate, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
  SetErrorMode(oldMode);
  if (module == NULL) return 0;
  if (!BindCalls(module)) {
    FreeLibrary(module);
    return 0;
  }
  Library = module;
  return 1;
}

// The folder of the running program.
int TryProgramFolder(void) {
  DWORD n = GetModuleFileNameW(NULL, SearchPath, kPathCount);
  if (n == 0 || n >= kPathCount) return 0;
  wchar_t* slash = wcsrchr(SearchPath, L'\\');
  if (slash == NULL) return 0;
  return TryFolder(SearchPath, (size_t)(slash - SearchPath));
}

// The folder Palm Desktop records as its own.
int TryPalmDesktopFolder(void) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kPalmDesktopKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return 0;
  DWORD type = 0, bytes = sizeof SearchPath - sizeof(wchar_t);
  LONG status = RegQueryValueExW(key, L"Path", NULL, &type, (BYTE*)SearchPath, &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
  SearchPath[bytes / sizeof(wchar_t)] = 0;
  if (type == REG_EXPAND_SZ) {
    DWORD n = ExpandEnvironmentStringsW(SearchPath, Candidate, kPathCount);
    if (n == 0 || n > kPathCount) return 0;
    wcscpy(SearchPath, Candidate);
  }
  return TryFolder(SearchPath, wcslen(SearchPath));
}

// Each folder of PATH in turn.
int TrySearchPath(void) {
  DWORD n = GetEnvironmentVariableW(L"PATH", SearchPath, kPathCount);
  if (n == 0 || n >= kPathCount) return 0;
  const wchar_t* start = SearchPath;
  for (;;) {
    const wchar_t* end = wcschr(start, L';');
    size_t length = end ? (size_t)(end - start) : wcslen(start);
    if (length > 0 && TryFolder(start, length)) return 1;
    if (end == NULL) return 0;
    start = end + 1;
  }
}

}  // namespace

int LoadConduitManager(void) {
  if (Library != NULL) return 0;
  // The library's own imports are then never looked for in the current
  // directory either.
  SetDllDirectoryW(L"");
  if (TryProgramFolder() || TryPalmDesktopFolder() || TrySearchPath()) return 0;
  return -1;
}

extern "C" {

int WINAPI CmGetPalmDesktopFolder(char* folder, int* size) {
  return GetPalmDesktopFolderAt ? GetPalmDesktopFolderAt(folder, size) : kCmErrNotInstalled;
}

int WINAPI CmQueryConduit(const char* creator, char* buffer, int* size) {
  return QueryConduitAt ? QueryConduitAt(creator, buffer, size) : kCmErrNotInstalled;
}

int WINAPI CmInstallCreator(const char* creator, int type) {
  return InstallCreatorAt ? InstallCreatorAt(creator, type) : kCmErrNotInstalled;
}

int WINAPI CmSetCreatorName(const char* creator, const char* name) {
  return SetCreatorNameAt ? SetCreatorNameAt(creator, name) : kCmErrNotInstalled;
}

int WINAPI CmSetCreatorDirectory(const char* creator, const char* directory) {
  return SetCreatorDirectoryAt ? SetCreatorDirectoryAt(creator, directory) : kCmErrNotInstalled;
}

int WINAPI CmSetCreatorFile(const char* creator, const char* file) {
  return SetCreatorFileAt ? SetCreatorFileAt(creator, file) : kCmErrNotInstalled;
}

int WINAPI CmSetCreatorPriority(const char* creator, int priority) {
  return SetCreatorPriorityAt ? SetCreatorPriorityAt(creator, priority) : kCmErrNotInstalled;
}

int WINAPI CmRemoveConduitByCreatorID(const char* creator) {
  return RemoveConduitAt ? RemoveConduitAt(creator) : kCmErrNotInstalled;
}

}  // extern "C"
