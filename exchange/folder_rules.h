// The rules every operation of the exchange keeps about the folders and
// the dump before it reads or writes: one writer at a time per folder, an
// export that did not finish is never read as whole, a damaged dump is told
// and never shortened, the stock limit is said, and two stocks never share
// one file. Each check reports its own failure (caption "RyvoWin" for
// guidance, kSystemErrorCaption for a damaged file).
#pragma once

#include <stdio.h>

#include "../platform/platform.h"
#include "dump_format.h"

// The most stocks any list of the exchange holds (the ryvo tool's list;
// RyvoWin's list box is held to the same).
enum { kMaxStocks = 8192 };

// Holds the lock of a folder (PfLockFolder) for a scope. When another
// process holds it the whole wait, `held` is false after the message
// "次のフォルダは他のプログラムが使用中です。..." naming the folder, and the
// operation must change nothing. A folder whose lock file cannot be made
// (missing, read-only) is used without one: nothing can be written there
// by this user either, and the operation reports what fails itself.
struct FolderLock {
  explicit FolderLock(const char* folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held;
  bool locked;
  char folder[kPathSize];
};

// The mark of an export in progress: the file ".ryvo-export" in the CSV
// folder, made when an export begins and deleted when it has gone through
// every stock. A mark that is there when no export runs (the folder's lock
// is held by the caller) is an export that was killed or cut short: its
// files may be some old, some new.
// MarkExportBegun: 0, or -1 when the mark cannot be made (the export goes
// on; writing there fails on its own). MarkExportEnded deletes it.
int MarkExportBegun(const char* csvFolder);
void MarkExportEnded(const char* csvFolder);
// 0 when no export into `csvFolder` was left unfinished; -1 after the
// message "前回のＣＳＶ展開が終わっていません。..." naming the folder.
int CheckExportFinished(const char* csvFolder);

// Checks that the records of the open dump add up before anything is read
// from it or written because of it: every stock record's RecordLength
// within 0..5120 and every record whole in the file (fewer than 4 bytes
// after the last one end the records, as ReadDumpRecord reads them), and
// no more than kMaxStocks stocks. Keeps the stock names in DumpStockNames.
// The file is back at its start afterwards. 0, or -1 after "RyvoDB file
// Data.Rec. read error: record N" (N counts the stock records from 1) or
// the message of the stock limit. A damaged header is left to
// ReadDumpHeader, which tells it.
int CheckDumpRecords(FILE* dump);
extern char DumpStockNames[kMaxStocks][kStockNameSize + 1];
extern int DumpStockCount;

// Two stocks whose files would be one file: the same name as the host
// spells file names (the NEC and IBM code points of one character both
// become the same UTF-8 name on Linux), or names that differ only in
// letter case on Windows. Marks in `shared` (count bytes) each name that
// shares its file with another; returns how many are marked.
int MarkSharedFileNames(const char (*names)[kStockNameSize + 1], int count,
                        unsigned char* shared);
// The stocks of the conversion and the check: marks the names of `list`
// that share a file, for StockSharesFile. Returns how many are marked.
int NoteSharedFileNames(StockList list);
// 1 when stock `name` of the list last given to NoteSharedFileNames shares
// its file with another stock.
int StockSharesFile(const char* name);
