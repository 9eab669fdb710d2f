// Platform services for the portable code of the exchange and the
// settings editor: message boxes, files, the stock list and the settings
// store. The portable code never calls the operating system for these.
//
// Implementations: platform_win32.cpp (RyvoWin: MessageBoxW, CopyFileW, a
// list box, texts converted from and to code page 932) and platform_console.cpp (the ryvo tool: messages to standard
// error, an in-memory list) beside this header; the unit tests' fake
// (tests/unit/fake_platform.cpp: recorded messages, scripted answers,
// injected faults) and the fuzz targets' (tests/fuzz/fuzz_platform.cpp).
#pragma once

#include <stdio.h>

// Message boxes. Every box has no owner window. `buttons` is PF_MB_OK or
// PF_MB_OKCANCEL; the result is PF_IDOK or PF_IDCANCEL (the Win32 values).
enum { PF_MB_OK = 0, PF_MB_OKCANCEL = 1 };
enum { PF_IDOK = 1, PF_IDCANCEL = 2 };
int PfMessageBox(const char* text, const char* caption, int buttons);

// Files. Paths are code page 932 text of at most 259 bytes.
// PfOpenFile opens with a C stdio mode; the portable code only uses binary
// modes ("rb", "wb", "r+b") and writes CR LF itself, so that the files are
// the same bytes on every platform. Returns NULL on failure.
FILE* PfOpenFile(const char* path, const char* mode);
// Closes a file from PfOpenFile: 0 on success, -1 when the close (the
// final flush) failed.
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
// Copies a file, replacing the destination: 0 on success, -1 on failure
// (the destination is then unchanged or absent, never cut short).
int PfCopyFile(const char* from, const char* to);
// Renames a file, replacing the destination: 0 on success, -1 on failure.
int PfReplaceFile(const char* from, const char* to);
// Deletes a file: 0 on success or when it did not exist, -1 on failure.
int PfDeleteFile(const char* path);

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
