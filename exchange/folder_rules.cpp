// The folder locks of the operations, the mark of an unfinished export,
// the check of a dump's records before it is used, and the stocks that
// would share one file.
#include "folder_rules.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "exchange.h"
#include "stock_paths.h"

char DumpStockNames[kMaxStocks][kStockNameSize + 1];
int DumpStockCount;

namespace {

const char kExportMark[] = ".ryvo-export";
char Message[kPathSize + 256];

}  // namespace

FolderLock::FolderLock(const char* name) : held(true), locked(false) {
  snprintf(folder, sizeof folder, "%s", name);
  PfLockResult result = PfLockFolder(folder);
  if (result == kPfLockHeld) {
    locked = true;
  } else if (result == kPfLockBusy) {
    held = false;
    snprintf(Message, sizeof Message,
             "次のフォルダは他のプログラムが使用中です。\n終わるのを待ってからやり直してください。\n%s",
             folder);
    PfMessageBox(Message, "RyvoWin", PF_MB_OK);
  } else {
    // Nothing to report: without the lock file nothing is written there.
    PfForgetFileError();
  }
}

FolderLock::~FolderLock() {
  if (locked) PfUnlockFolder(folder);
}

int MarkExportBegun(const char* csvFolder) {
  char path[kPathSize];
  if (FormatFolderPath(path, csvFolder, kExportMark) != 0) return -1;
  if (!PfFileMissing(path)) return 0;   // an earlier unfinished export's mark
  FILE* mark = PfOpenFile(path, "wb");
  if (mark == NULL) {
    PfForgetFileError();
    return -1;
  }
  fputs("export in progress\r\n", mark);
  return PfCloseFile(mark);
}

void MarkExportEnded(const char* csvFolder) {
  char path[kPathSize];
  if (FormatFolderPath(path, csvFolder, kExportMark) == 0) PfDeleteFile(path);
}

int CheckExportFinished(const char* csvFolder) {
  char path[kPathSize];
  if (FormatFolderPath(path, csvFolder, kExportMark) != 0 || PfFileMissing(path)) return 0;
  snprintf(Message, sizeof Message,
           "前回のＣＳＶ展開が最後まで終わっていません。\nＣＳＶ展開をやり直してください。\n%s",
           csvFolder);
  PfMessageBox(Message, "RyvoWin", PF_MB_OK);
  return -1;
}

int CheckDumpRecords(FILE* dump) {
  // One pass front to back, each record read whole into a buffer of its
  // own (RecordBuffer stays the operation's): the reading the operation
  // does next, so the file is read in the stream's pieces, never sought.
  static unsigned char record[kRecordBufferSize];
  DumpStockCount = 0;
  int result = 0;
  unsigned char bytes[4];
  // The header: its damage is ReadDumpHeader's to tell.
  if (fread(bytes, 1, 4, dump) == 4) {
    int32_t length = ReadLE32(bytes);
    if (length < 0 || length > kRecordBufferSize || fread(record, 1, (size_t)length, dump) !=
                                                         (size_t)length) {
      rewind(dump);
      return 0;
    }
    for (int index = 1;; ++index) {
      // Fewer than 4 bytes left end the records, as ReadDumpRecord reads them.
      if (fread(bytes, 1, 4, dump) != 4) break;
      length = ReadLE32(bytes);
      int whole = length >= 0 && length <= kRecordBufferSize &&
                  fread(record, 1, (size_t)length, dump) == (size_t)length;
      if (!whole) {
        snprintf(Message, sizeof Message, "RyvoDB file Data.Rec. read error: record %d", index);
        PfMessageBox(Message, kSystemErrorCaption, PF_MB_OK);
        result = -1;
        break;
      }
      if (index > kMaxStocks) {
        snprintf(Message, sizeof Message,
                 "銘柄が多すぎます。扱えるのは %d 銘柄までです。", (int)kMaxStocks);
        PfMessageBox(Message, "RyvoWin", PF_MB_OK);
        result = -1;
        break;
      }
      // The name as ReadTextField reads it, the record zero-padded.
      char* name = DumpStockNames[index - 1];
      memset(name, 0, kStockNameSize + 1);
      if (length > kDataStockName) {
        int n = length - kDataStockName < kStockNameSize ? length - kDataStockName : kStockNameSize;
        memcpy(name, record + kDataStockName, (size_t)n);
      }
      DumpStockCount = index;
    }
  }
  rewind(dump);
  return result;
}

namespace {

// A stock name as the host's file system compares file names, into `out`:
// the host's spelling (HostStockName), and on Windows the single-byte
// letters in upper case (a trail byte of a double-byte character is never
// a letter there). Empty when the name has no file.
void FileKey(const char* name, char* out, int size) {
  if (!IsStockFileName(name) || HostStockName(name, out, size) != 0) {
    out[0] = '\0';
    return;
  }
#ifdef _WIN32
  for (unsigned char* p = (unsigned char*)out; *p != '\0'; ++p) {
    if (IsLeadByte932(*p) && p[1] != '\0') {
      ++p;
    } else if (*p >= 'a' && *p <= 'z') {
      *p = (unsigned char)(*p - 'a' + 'A');
    }
  }
#endif
}

enum { kKeySize = 4 * kStockNameSize + 1 };
char Keys[kMaxStocks][kKeySize];
int Order[kMaxStocks];

int CompareKeys(const void* a, const void* b) {
  return strcmp(Keys[*(const int*)a], Keys[*(const int*)b]);
}

// The names of the list last noted that share a file.
char SharedNames[kMaxStocks][kStockNameSize + 1];
int SharedCount;

}  // namespace

int MarkSharedFileNames(const char (*names)[kStockNameSize + 1], int count,
                        unsigned char* shared) {
  if (count > kMaxStocks) count = kMaxStocks;
  for (int i = 0; i < count; ++i) {
    FileKey(names[i], Keys[i], kKeySize);
    Order[i] = i;
    shared[i] = 0;
  }
  qsort(Order, (size_t)count, sizeof Order[0], CompareKeys);
  int marked = 0;
  for (int k = 1; k < count; ++k) {
    const char* key = Keys[Order[k]];
    if (key[0] == '\0' || strcmp(key, Keys[Order[k - 1]]) != 0) continue;
    // Names that are equal byte for byte are one stock listed twice: the
    // same file by intent, not two stocks in one file.
    if (strcmp(names[Order[k]], names[Order[k - 1]]) == 0) continue;
    marked += !shared[Order[k]] + !shared[Order[k - 1]];
    shared[Order[k]] = shared[Order[k - 1]] = 1;
  }
  return marked;
}

int NoteSharedFileNames(StockList list) {
  static char names[kMaxStocks][kStockNameSize + 1];
  static unsigned char shared[kMaxStocks];
  int count = PfListCount(list);
  if (count > kMaxStocks) count = kMaxStocks;
  for (int i = 0; i < count; ++i) {
    char entry[kNameSize];
    if (PfListGetText(list, i, entry, sizeof entry) < 0) entry[0] = '\0';
    // A stock name holds at most 20 bytes; a longer entry is no stock's.
    size_t n = strnlen(entry, sizeof entry);
    if (n > (size_t)kStockNameSize) n = 0;
    memcpy(names[i], entry, n);
    names[i][n] = '\0';
  }
  SharedCount = 0;
  int marked = MarkSharedFileNames(names, count, shared);
  for (int i = 0; i < count; ++i)
    if (shared[i]) memcpy(SharedNames[SharedCount++], names[i], sizeof names[i]);
  return marked;
}

int StockSharesFile(const char* name) {
  for (int i = 0; i < SharedCount; ++i)
    if (strncmp(SharedNames[i], name, kStockNameSize) == 0 && strlen(name) <= kStockNameSize)
      return 1;
  return 0;
}
