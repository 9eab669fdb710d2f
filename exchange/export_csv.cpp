// The CSV export: one price CSV file per DataRec of Ryvo.dmp, each made
// whole in one buffer with an integer formatter that gives the same text
// as "%12.2f" for every packed value, then written at once.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "folder_rules.h"
#include "stock_paths.h"

const char kCsvHeaderLine[] = "日付,始値,高値,安値,終値\r\n";


// A packed value is mantissa * 10^(code - 2): code 0 puts the point before
// the mantissa's last two digits, code 1 before its last digit, codes 2 to
// 7 after its digits and code - 2 zeros. "%12.2f" writes the whole part (at
// most 131071 * 10^5: eleven digits), a point and two decimals,
// right-aligned in twelve characters.
static const uint32_t kPowersOfTen[6] = {1, 10, 100, 1000, 10000, 100000};
static const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int FormatCsvValue(char* out, uint32_t field) {
  uint32_t code = (field >> 17) & 7u;
  uint32_t m = field & 0x1FFFFu;
  uint64_t whole;
  uint32_t cents;
  if (code == 0) {
    whole = m / 100;
    cents = m % 100;
  } else if (code == 1) {
    whole = m / 10;
    cents = m % 10 * 10;
  } else {
    whole = (uint64_t)m * kPowersOfTen[code - 2];
    cents = 0;
  }
  // Made from the right end of `text`, two digits at a time, then copied
  // out.
  char text[16];
  int at = (int)sizeof text - 2;
  memcpy(text + at, kDigitPairs + 2 * cents, 2);
  text[--at] = '.';
  while (whole >= 100) {
    at -= 2;
    memcpy(text + at, kDigitPairs + 2 * (whole % 100), 2);
    whole /= 100;
  }
  if (whole >= 10) {
    at -= 2;
    memcpy(text + at, kDigitPairs + 2 * whole, 2);
  } else {
    text[--at] = (char)('0' + whole);
  }
  while ((int)sizeof text - at < 12) text[--at] = ' ';
  int length = (int)sizeof text - at;
  memcpy(out, text + at, (size_t)length);
  return length;
}

// The decimal text of 0 to 9999 without leading zeros.
static char* PutNumber(char* out, unsigned value) {
  char digits[4];
  int n = 0;
  do {
    digits[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < 4);
  while (n > 0) *out++ = digits[--n];
  return out;
}

int FormatCsvLine(char* out, const PriceRow* row) {
  int year, month, day;
  DecodePackedDate(row->date, &year, &month, &day);
  char* p = PutNumber(out, (unsigned)year);
  *p++ = '/';
  p = PutNumber(p, (unsigned)month);
  *p++ = '/';
  p = PutNumber(p, (unsigned)day);
  for (int i = 0; i < 5; ++i) {
    *p++ = ',';
    p += FormatCsvValue(p, row->value[i]);
  }
  *p++ = '\r';
  *p++ = '\n';
  return (int)(p - out);
}

int FormatStockCsv(char* out, int32_t length) {
  size_t header = strlen(kCsvHeaderLine);
  memcpy(out, kCsvHeaderLine, header);
  char* p = out + header;
  int rows = CountPriceRows(RecordBuffer, length);
  const unsigned char* table = RecordBuffer + kPriceTableOffset;
  for (int j = 0; j < rows; ++j) {
    PriceRow row;
    ReadPriceRow(table + kPriceRowSize * j, &row);
    p += FormatCsvLine(p, &row);
  }
  return (int)(p - out);
}

StockCsvResult ExportStockCsv(int32_t length) {
  char name[kStockNameSize + 1];
  char path[kPathSize];
  static char text[kCsvTextSize];
  ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, name);
  if (FormatStockPath(path, CsvFolder, name, ".csv") != 0) return kStockCsvSkipped;
  // The user's file is replaced whole or not at all: a full disk never
  // leaves it cut short, which the conversion would take without a word.
  int size = FormatStockCsv(text, length);
  WholeFileResult status = ReplaceWholeFile(path, text, size);
  if (status == kWholeFileNotCreated) return kStockCsvSkipped;
  if (status != kWholeFileWritten) {
    PfMessageBox("RyvoDB file write error", kSystemErrorCaption, PF_MB_OK);
    return kStockCsvFailed;
  }
  return kStockCsvWritten;
}

// The names of the stocks whose CSV file could not be created, one a line.
static char SkippedNames[1024];
static int SkippedLength;
static int SkippedCount;
static int SkippedUnlisted;

static void NoteSkippedStock(void) {
  char name[kStockNameSize + 1];
  ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, name);
  const char* shown = name[0] != '\0' ? name : "（名前なし）";
  int n = (int)strlen(shown);
  ++SkippedCount;
  if (SkippedLength + n + 2 > (int)sizeof SkippedNames) {
    ++SkippedUnlisted;
    return;
  }
  SkippedNames[SkippedLength++] = '\n';
  memcpy(SkippedNames + SkippedLength, shown, (size_t)n);
  SkippedLength += n;
  SkippedNames[SkippedLength] = '\0';
}

static void ReportSkippedStocks(void) {
  char text[1200];
  if (SkippedUnlisted > 0)
    snprintf(text, sizeof text,
             "次の銘柄のＣＳＶファイルを作成できませんでした。%s\nほか%d銘柄",
             SkippedNames, SkippedUnlisted);
  else
    snprintf(text, sizeof text, "次の銘柄のＣＳＶファイルを作成できませんでした。%s",
             SkippedNames);
  PfMessageBox(text, "RyvoWin", PF_MB_OK);
}

int ExportCsv(void) {
  char dumpPath[kPathSize];
  SkippedNames[0] = '\0';
  SkippedLength = 0;
  SkippedCount = 0;
  SkippedUnlisted = 0;
  FILE* dump = NULL;
  if (FormatFolderPath(dumpPath, WorkFolder, "Ryvo.dmp") == 0)
    dump = PfOpenFile(dumpPath, "rb");
  if (dump == NULL) {
    PfMessageBox("RyvoDB file open error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  PfFileCloser closer(dump);
  // The dump is read in the pieces the per-stock files are read in, not in
  // the stream's own few kilobytes.
  static char dumpBuffer[16384];
  setvbuf(dump, dumpBuffer, _IOFBF, sizeof dumpBuffer);

  FolderLock lock(CsvFolder);
  if (!lock.held) return -1;
  // A damaged dump is told before any file is written because of it.
  if (CheckDumpRecords(dump) != 0) return -1;
  static unsigned char shared[kMaxStocks];
  MarkSharedFileNames(DumpStockNames, DumpStockCount, shared);
  int32_t length;
  if (ReadDumpHeader(dump, &length) != 0) return -1;
  // Until every stock has been gone through, the folder is marked: an
  // export killed part way is never read as whole.
  MarkExportBegun(CsvFolder);
  for (int index = 0;; ++index) {
    int status = ReadDumpRecord(dump, &length);
    if (status == kRecordEnd) break;
    if (status != kRecordRead) {
      PfMessageBox("RyvoDB file Data.Rec. read error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
    // Two stocks that would share one file: neither is written.
    StockCsvResult result =
        index < kMaxStocks && shared[index] ? kStockCsvSkipped : ExportStockCsv(length);
    if (result == kStockCsvFailed) {
      // The stocks skipped before the failed write are named all the same.
      if (SkippedCount > 0) ReportSkippedStocks();
      return -1;
    }
    if (result == kStockCsvSkipped) NoteSkippedStock();
  }
  MarkExportEnded(CsvFolder);
  if (SkippedCount > 0) {
    // Files that could not be created are not a completed export.
    ReportSkippedStocks();
    return -1;
  }
  return 0;
}
