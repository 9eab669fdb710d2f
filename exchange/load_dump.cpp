// Loading the dump: the stock list, the stock settings files,
// BeginRyvo.dmp and the kept carriedBytes, and putting a kept copy back in
// place of the dump before it is loaded again. Owns the folder buffers of
// the run and the kept carriedBytes.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "folder_rules.h"
#include "stock_paths.h"

char CsvFolder[kPathSize];
char WorkFolder[kPathSize];
unsigned char CarriedBytes[kCarriedSize];


void KeepCarriedBytes(const unsigned char* contRec) {
  memset(CarriedBytes, 0, sizeof CarriedBytes);
  for (int i = 0; i < kCarriedSize; ++i) {
    unsigned char c = contRec[kCarriedOffset + i];
    if (c == 0) break;
    CarriedBytes[i] = c;
  }
}

// Appends the decimal text of `value` and returns the new end.
static char* PutInt(char* out, long long value) {
  char digits[24];
  int n = 0;
  unsigned long long magnitude =
      value < 0 ? 0ull - (unsigned long long)value : (unsigned long long)value;
  do {
    digits[n++] = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *out++ = '-';
  while (n > 0) *out++ = digits[--n];
  return out;
}

static char* PutText(char* out, const char* text) {
  size_t n = strlen(text);
  memcpy(out, text, n);
  return out + n;
}

// A text field as a text-mode write gives it: a line feed inside it (a
// dump may hold byte 0x0A there) becomes CR LF like every other one.
static char* PutFieldText(char* out, const char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == '\n') *out++ = '\r';
    *out++ = *text;
  }
  return out;
}

static char* PutLineEnd(char* out) {
  *out++ = '\r';
  *out++ = '\n';
  return out;
}

// The 14 lines of the stock settings file of the DataRec in RecordBuffer,
// CR LF after each and for every line feed inside a text field; returns
// the number of bytes (at most about 600).
int FormatStockSettings(char* out) {
  const unsigned char* rec = RecordBuffer;
  char name[kStockNameSize + 1];
  char document[kWebDocumentSize + 1];
  char keyword[kKeywordSize + 1];
  ReadTextField(rec + kDataStockName, kStockNameSize, name);
  ReadTextField(rec + kDataWebDocument, kWebDocumentSize, document);
  ReadTextField(rec + kDataKeyword, kKeywordSize, keyword);
  int flags = rec[kDataFlags];
  char* p = out;
  p = PutLineEnd(PutFieldText(p, name));
  p = PutLineEnd(PutText(p, (flags & kFlagOnlyClose) ? "1" : "0"));
  p = PutLineEnd(PutText(p, (flags & kFlagWebScrap) ? "1" : "0"));
  p = PutLineEnd(PutText(p, (flags & kFlagFixedScale) ? "1" : "0"));
  p = PutLineEnd(PutFieldText(p, document));
  p = PutLineEnd(PutFieldText(p, keyword));
  p = PutLineEnd(PutInt(p, ReadBE32(rec + kDataPurchaseCount)));
  for (int i = 0; i < 5; ++i) {
    p = PutInt(p, ReadBE16(rec + kDataWebFetch + i * 4));
    *p++ = ',';
    p = PutLineEnd(PutInt(p, ReadBE16(rec + kDataWebFetch + i * 4 + 2)));
  }
  p = PutInt(p, ReadBE32(rec + kDataPriceScaleMax));
  *p++ = ',';
  p = PutLineEnd(PutInt(p, ReadBE32(rec + kDataPriceScaleMin)));
  p = PutInt(p, ReadBE32(rec + kDataVolumeScaleMax));
  *p++ = ',';
  p = PutLineEnd(PutInt(p, ReadBE32(rec + kDataVolumeScaleMin)));
  return (int)(p - out);
}

int WriteStockSettings(void) {
  char name[kStockNameSize + 1];
  char path[kPathSize];
  static char text[1024];
  ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, name);
  // A name that cannot be a file name, or a path too long, is a file that
  // cannot be created: skipped without a message.
  if (FormatStockPath(path, WorkFolder, name, ".txt") != 0) return 0;
  // The file is replaced whole or not at all: a full disk never leaves a
  // settings file cut short, whose last number would read as another.
  int length = FormatStockSettings(text);
  WholeFileResult status = ReplaceWholeFile(path, text, length);
  if (status == kWholeFileNotCreated) return 0;   // skipped
  if (status != kWholeFileWritten) {
    PfMessageBox("RyvoDB Setup file write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

int ReadDumpHeader(FILE* dump, int32_t* length) {
  int status = ReadDumpRecord(dump, length);
  if (status == kRecordRead) return 0;
  PfMessageBox(status == kRecordEnd ? "RyvoDB file Cnt.size read error"
                                    : "RyvoDB file Cont.Rec. read error",
               kSystemErrorCaption, PF_MB_OK);
  return -1;
}

// Tells the stocks whose settings files were not written because they
// would share one file with another stock.
static void ReportSharedStocks(const unsigned char* shared, int count) {
  static char text[512 + kMaxStocks * 4];
  int n = snprintf(text, sizeof text, "%s",
                   "次の銘柄は別の銘柄と同じファイル名になるため、設定ファイルを作成しませんでした。");
  for (int i = 0; i < count && n < (int)sizeof text - 64; ++i)
    if (shared[i]) n += snprintf(text + n, sizeof text - (size_t)n, "\n%s", DumpStockNames[i]);
  PfMessageBox(text, "RyvoWin", PF_MB_OK);
}

int LoadDump(StockList list) {
  char dumpPath[kPathSize];
  char beginPath[kPathSize];
  if (FormatFolderPath(dumpPath, WorkFolder, "Ryvo.dmp") != 0) return 0;
  FILE* dump = PfOpenFile(dumpPath, "rb");
  if (dump == NULL) return 0;   // no dump: an empty list, no message
  PfFileCloser closer(dump);
  // Read in the pieces the per-stock files are read in.
  static char dumpBuffer[16384];
  setvbuf(dump, dumpBuffer, _IOFBF, sizeof dumpBuffer);
  FolderLock lock(WorkFolder);
  if (!lock.held) return -1;
  // A damaged dump is told before anything is written because of it.
  if (CheckDumpRecords(dump) != 0) return -1;
  static unsigned char shared[kMaxStocks];
  int sharing = MarkSharedFileNames(DumpStockNames, DumpStockCount, shared);

  if (FormatFolderPath(beginPath, WorkFolder, "BeginRyvo.dmp") != 0 ||
      PfCopyFile(dumpPath, beginPath) != 0) {
    PfMessageBox("RyvoDB file copy read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }

  int32_t length;
  if (ReadDumpHeader(dump, &length) != 0) return -1;
  KeepCarriedBytes(RecordBuffer);
  if (RecordBuffer[1] < kMinVersionByte) {
    PfMessageBox("対応しているＲｙｖｏは２．１０以上です\nＲｙｖｏのバージョンを上げてください。",
                 "Ryvo Error", PF_MB_OK);
    return -1;
  }

  for (int index = 0;; ++index) {
    int status = ReadDumpRecord(dump, &length);
    if (status == kRecordEnd) break;
    if (status != kRecordRead) {
      PfMessageBox("RyvoDB file Data.Rec. read error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
    char name[kStockNameSize + 1];
    ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, name);
    PfListAppend(list, name);
    if (index < kMaxStocks && shared[index]) continue;   // told below
    if (WriteStockSettings() < 0) return 0;
  }
  if (sharing > 0) ReportSharedStocks(shared, DumpStockCount);
  return 0;
}

// Copies the open file `context` into `out`: 0, or -1 when reading or
// writing failed. Reports nothing.
static int CopyOpenFile(FILE* out, void* context) {
  static unsigned char chunk[16384];
  FILE* in = (FILE*)context;
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, in)) > 0)
    if (fwrite(chunk, 1, n, out) != n) return -1;
  return ferror(in) ? -1 : 0;
}

int CopyFileWhole(const char* from, const char* to, const char* temporary) {
  FILE* in = PfOpenFile(from, "rb");
  if (in == NULL) return -1;
  PfFileCloser inCloser(in);
  return WriteWholeFile(to, temporary, CopyOpenFile, in) == kWholeFileWritten ? 0 : -1;
}

int RestoreDumpCopy(const char* copyFile) {
  char dumpPath[kPathSize];
  char copyPath[kPathSize];
  char newPath[kPathSize];
  FolderLock lock(WorkFolder);
  if (!lock.held) return -1;
  if (FormatFolderPath(dumpPath, WorkFolder, "Ryvo.dmp") != 0 ||
      FormatFolderPath(copyPath, WorkFolder, copyFile) != 0 ||
      FormatFolderPath(newPath, WorkFolder, "Ryvo.dmp.tmp") != 0 ||
      CopyFileWhole(copyPath, dumpPath, newPath) != 0) {
    PfMessageBox("RyvoDB file copy error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}
