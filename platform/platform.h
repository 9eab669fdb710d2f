// Platform services for the portable code of the exchange and the
// settings editor: message boxes, files, the stock list and the settings
// store. The portable code never calls the operating system for these.
//
// Implementations beside this header: platform_win32.cpp (RyvoWin: message
// boxes and a list box through the wide calls, texts converted from and to
// code page 932) and platform_console.cpp (the ryvo tool: messages to
// standard error, an in-memory list), each with the files of its system,
// files_win32.cpp or files_posix.cpp; the unit tests' fake
// (tests/unit/fake_platform.cpp: recorded messages, scripted answers,
// injected faults) and the fuzz targets' (tests/fuzz/fuzz_platform.cpp).
#pragma once

#include <stdio.h>

// Message boxes. Every box has no owner window. `buttons` is PF_MB_OK or
// PF_MB_OKCANCEL; the result is PF_IDOK or PF_IDCANCEL (the Win32 values).
enum { PF_MB_OK = 0, PF_MB_OKCANCEL = 1 };
enum { PF_IDOK = 1, PF_IDCANCEL = 2 };
int PfMessageBox(const char* text, const char* caption, int buttons);
// The caption of every box that tells of a file that cannot be read or
// written, or of a file whose contents are damaged.
inline constexpr char kSystemErrorCaption[] = "System Error";

// Buffer sizes: a path of at most 259 bytes with its terminating zero, and
// a stock list entry (a stock name, the SyncDir text) with its zero.
enum { kPathSize = 260, kNameSize = 80 };

// Files. Paths are code page 932 text of at most 259 bytes (on Windows;
// elsewhere the host's UTF-8 file names, see exchange/stock_paths.h).
// The user's files are treated alike on every platform:
// - only regular files are read: PfOpenFile "rb" and "r+b" open a FIFO, a
//   device or a folder never (without waiting on it) and fail;
// - a new file is created exclusively and never through a symbolic link:
//   PfOpenFile "wb" fails when anything at all is under the name;
// - a file is replaced only by PfReplaceFile, which refuses a target that
//   is not a regular file or is read-only, keeps the target's permission
//   bits, and makes the new name durable.
// The portable code only uses binary modes and writes CR LF itself, so
// that the files are the same bytes on every platform. NULL on failure.
FILE* PfOpenFile(const char* path, const char* mode);
// Closes a file from PfOpenFile or PfCreateTemporary: 0 on success, -1
// when the close (the final flush) failed.
int PfCloseFile(FILE* file);
// Closes a file from PfOpenFile when the scope ends, on every path that
// has not closed it. A file written is closed with Close(), whose result
// (as PfCloseFile's; 0 when no file is held) tells whether the last bytes
// reached the disk.
struct PfFileCloser {
  FILE* file;
  explicit PfFileCloser(FILE* f) : file(f) {}
  ~PfFileCloser() {
    if (file != NULL) PfCloseFile(file);
  }
  int Close() {
    FILE* f = file;
    file = NULL;
    return f != NULL ? PfCloseFile(f) : 0;
  }
  PfFileCloser(const PfFileCloser&) = delete;
  PfFileCloser& operator=(const PfFileCloser&) = delete;
};
// A new temporary file, created exclusively (never through a link) in the
// folder of `base` under a name that no other run uses: `base` followed by
// ".<process>-<count>" (a shorter name in the same folder when that is too
// long). Its path goes to `temporary` (kPathSize bytes). Until it is put in
// place (PfReplaceFile) or deleted (PfDeleteFile), an interruption of the
// process (SIGINT, SIGTERM, SIGHUP) deletes it. NULL when it cannot be made.
FILE* PfCreateTemporary(const char* base, char* temporary);
// Writes what `file` holds through to the disk (the stream's buffer, then
// the system's: fsync, FlushFileBuffers): 0, or -1 when that failed.
int PfSyncFile(FILE* file);
// Copies a regular file over `to` as PfReplaceFile puts a file in place:
// the copy is made in a temporary file beside `to`, written through to the
// disk, and takes `to`'s place whole. 0 on success, -1 on failure (`to` is
// then as it was, and no temporary file is left).
int PfCopyFile(const char* from, const char* to);
// Puts the file `from` in place of `to` (renaming it over `to`): refuses
// (-1, nothing changed) when `to` is a symbolic link, a folder, a FIFO, a
// device or another non-file, or a read-only file; otherwise `from` takes
// `to`'s permission bits (and owner, where the process may give it) and the
// rename is made durable (the folder synced; MOVEFILE_WRITE_THROUGH). 0 on
// success.
int PfReplaceFile(const char* from, const char* to);
// Deletes a file (a link itself, never its target): 0 on success or when
// it did not exist, -1 on failure.
int PfDeleteFile(const char* path);
// 1 when nothing is under `path`: no file, folder, link (not even a
// dangling one) or other entry of that name, or a folder of the path is
// missing (on Windows ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND,
// elsewhere ENOENT). 0 when something is there or the system cannot tell
// (a folder that may not be searched, a path that is too long or has no
// host form).
int PfFileMissing(const char* path);
// The last file call that failed: its path and the system's reason ("No
// such file or directory", "not a regular file"), into `path` (kPathSize
// bytes) and `reason` (`size` bytes). 0, or -1 when no failure is kept.
// Reading it forgets it.
int PfTakeFileError(char* path, char* reason, int size);
// Forgets the last failure without putting it into words (a failure the
// caller expected, such as a probe for a file that need not be there).
void PfForgetFileError(void);

// Folder locks: one writer at a time per folder, across processes. The
// lock is an advisory lock (flock, LockFileEx) on the file ".ryvo-lock" in
// the folder, created when missing. PfLockFolder waits up to a few seconds
// for another process's lock; a folder locked again by the same process
// counts once more and is released by as many PfUnlockFolder calls.
enum PfLockResult {
  kPfLockHeld = 0,     // the lock is held
  kPfLockBusy = 1,     // another process held it the whole wait
  kPfLockFailed = -1,  // the lock file cannot be opened (no such folder, no right to write there)
};
PfLockResult PfLockFolder(const char* folder);
void PfUnlockFolder(const char* folder);

// The stock list: on Windows a list box holding one stock name per entry
// (the StockList is its window handle); elsewhere an in-memory list. Indexes count from 0.
typedef void* StockList;
int PfListCount(StockList list);
// Copies entry `index` into `buffer` (zero-terminated, cut to size - 1
// bytes); returns its length, or -1 for an index out of range (buffer empty).
int PfListGetText(StockList list, int index, char* buffer, int size);
// Appends, or inserts before `index`; returns the new entry's index or -1.
int PfListAppend(StockList list, const char* text);
int PfListInsert(StockList list, int index, const char* text);
int PfListDelete(StockList list, int index);
// Selection: the selected index or -1; PfListSelect(list, -1) clears it.
int PfListSelection(StockList list);
void PfListSelect(StockList list, int index);
