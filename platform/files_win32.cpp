// The file services of platform.h on Windows, for RyvoWin and ryvo.exe:
// regular files only for reading, exclusive creation (CREATE_NEW) that never
// goes through a link, replacement that refuses links, folders and
// read-only files, is flushed to the disk and written through
// (FlushFileBuffers, MOVEFILE_WRITE_THROUGH), and folder locks with
// LockFileEx. Paths are code page 932, as the rest of the program keeps
// them; they meet Windows through the wide calls, converted by text_codec,
// so that they mean the same whatever the system's code page is. The
// copy and the kept failure are files_common.cpp's.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "files_common.h"
#include "platform.h"
#include "text_codec.h"

namespace {

enum { kMaxLocks = 8 };

int Fail(const char* path, const char* reason) { return KeepFileFailure(path, reason); }

int FailLastError(const char* path) { return KeepFileFailureCode(path, GetLastError()); }

bool PathFits(const char* path) {
  return path != NULL && path[0] != '\0' && strlen(path) < (size_t)kPathSize;
}

// A code page 932 path as the wide calls take it; false when it is empty,
// too long or not code page 932.
bool WidePath(const char* path, wchar_t* wide) {
  return PathFits(path) && Cp932ToWide(path, wide, MAX_PATH) == 0;
}

// A FILE* over a handle made by CreateFile.
FILE* StreamOf(HANDLE handle, const char* path, int flags, const char* mode) {
  int fd = _open_osfhandle((intptr_t)handle, flags);
  if (fd < 0) {
    CloseHandle(handle);
    Fail(path, "cannot be opened");
    return NULL;
  }
  FILE* file = _fdopen(fd, mode);
  if (file == NULL) {
    _close(fd);
    Fail(path, "cannot be opened");
  }
  return file;
}

HANDLE CreateNew(const char* path) {
  wchar_t wide[MAX_PATH];
  if (!WidePath(path, wide)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileW(wide, GENERIC_WRITE, 0, NULL, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
}

DWORD AttributesOf(const char* path) {
  wchar_t wide[MAX_PATH];
  if (!WidePath(path, wide)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  return GetFileAttributesW(wide);
}

HANDLE OpenExisting(const char* path, DWORD access) {
  wchar_t wide[MAX_PATH];
  if (!WidePath(path, wide)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileW(wide, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

struct HeldLock {
  HANDLE handle;
  int count;
  char path[kPathSize];
};
HeldLock Locks[kMaxLocks];

}  // namespace

// The system's text of an error, in English where it has one.
void DescribeSystemError(unsigned long code, char* out, int size) {
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                           (DWORD)code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), out,
                           (DWORD)size, NULL);
  while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == '.')) --n;
  if (n == 0) n = (DWORD)snprintf(out, (size_t)size, "error %lu", code);
  out[n < (DWORD)size ? n : (DWORD)size - 1] = '\0';
}

FILE* PfOpenFile(const char* path, const char* mode) {
  if (!PathFits(path)) {
    Fail(path != NULL ? path : "", "path too long");
    return NULL;
  }
  if (mode[0] == 'w') {
    HANDLE handle = CreateNew(path);
    if (handle == INVALID_HANDLE_VALUE) {
      FailLastError(path);
      return NULL;
    }
    return StreamOf(handle, path, _O_BINARY, "wb");
  }
  bool update = strchr(mode, '+') != NULL;
  HANDLE handle = OpenExisting(path, GENERIC_READ | (update ? GENERIC_WRITE : 0));
  if (handle == INVALID_HANDLE_VALUE) {
    FailLastError(path);
    return NULL;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    Fail(path, "is not a regular file");
    return NULL;
  }
  return StreamOf(handle, path, _O_BINARY | (update ? 0 : _O_RDONLY), mode);
}

FILE* PfCreateTemporary(const char* base, char* temporary) {
  static unsigned count;
  temporary[0] = '\0';
  if (!PathFits(base)) return NULL;
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (TemporaryName(base, (unsigned long)GetCurrentProcessId(), ++count, '\\', temporary) != 0) {
      Fail(base, "path too long");
      return NULL;
    }
    HANDLE handle = CreateNew(temporary);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      FailLastError(temporary);
      temporary[0] = '\0';
      return NULL;
    }
    FILE* file = StreamOf(handle, temporary, _O_BINARY, "wb");
    if (file == NULL) {
      PfDeleteFile(temporary);
      temporary[0] = '\0';
    }
    return file;
  }
  Fail(base, "no temporary name is free");
  temporary[0] = '\0';
  return NULL;
}

int PfSyncFile(FILE* file) {
  if (fflush(file) != 0) return -1;
  HANDLE handle = (HANDLE)_get_osfhandle(_fileno(file));
  return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) ? 0 : -1;
}

int PfReplaceFile(const char* from, const char* to) {
  if (!PathFits(from) || !PathFits(to)) return Fail(to != NULL ? to : "", "path too long");
  wchar_t wideFrom[MAX_PATH], wideTo[MAX_PATH];
  if (!WidePath(from, wideFrom) || !WidePath(to, wideTo)) return Fail(to, "not a code page 932 path");
  DWORD attributes = GetFileAttributesW(wideTo);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Fail(to, "is a link, not a regular file");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Fail(to, "is a folder, not a regular file");
    if (attributes & FILE_ATTRIBUTE_DEVICE) return Fail(to, "is a device, not a regular file");
    if (attributes & FILE_ATTRIBUTE_READONLY) return Fail(to, "is read-only");
  }
  if (!MoveFileExW(wideFrom, wideTo, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return FailLastError(to);
  return 0;
}

int PfDeleteFile(const char* path) {
  wchar_t wide[MAX_PATH];
  if (!WidePath(path, wide)) return Fail(path != NULL ? path : "", "path too long");
  if (DeleteFileW(wide)) return 0;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
  return FailLastError(path);
}

int PfFileMissing(const char* path) {
  if (!PathFits(path)) return 0;
  if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES) return 0;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

PfLockResult PfLockFolder(const char* folder) {
  char lockPath[kPathSize];
  int n = PathFits(folder) ? snprintf(lockPath, sizeof lockPath, "%s\\.ryvo-lock", folder) : -1;
  if (n < 0 || n >= (int)sizeof lockPath) return kPfLockFailed;
  for (HeldLock& held : Locks) {
    if (held.count > 0 && strcmp(held.path, lockPath) == 0) {
      ++held.count;
      return kPfLockHeld;
    }
  }
  HeldLock* slot = NULL;
  for (HeldLock& held : Locks)
    if (held.count == 0 && slot == NULL) slot = &held;
  if (slot == NULL) return kPfLockFailed;
  wchar_t wideLock[MAX_PATH];
  if (!WidePath(lockPath, wideLock)) return kPfLockFailed;
  HANDLE handle = CreateFileW(wideLock, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (handle == INVALID_HANDLE_VALUE) {
    FailLastError(lockPath);
    return kPfLockFailed;
  }
  // About five seconds, as on the other systems.
  for (int attempt = 0;; ++attempt) {
    OVERLAPPED at;
    memset(&at, 0, sizeof at);
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
      break;
    if (attempt == 100) {
      CloseHandle(handle);
      return kPfLockBusy;
    }
    Sleep(50);
  }
  slot->handle = handle;
  slot->count = 1;
  snprintf(slot->path, sizeof slot->path, "%s", lockPath);
  return kPfLockHeld;
}

void PfUnlockFolder(const char* folder) {
  char lockPath[kPathSize];
  int n = PathFits(folder) ? snprintf(lockPath, sizeof lockPath, "%s\\.ryvo-lock", folder) : -1;
  if (n < 0 || n >= (int)sizeof lockPath) return;
  for (HeldLock& held : Locks) {
    if (held.count > 0 && strcmp(held.path, lockPath) == 0) {
      if (--held.count == 0) CloseHandle(held.handle);   // closing releases the lock
      return;
    }
  }
}
