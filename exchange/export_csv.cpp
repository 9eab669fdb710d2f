// The CSV export: one price CSV file per DataRec of Ryvo.dmp, written with
// an integer formatter that gives the same text as "%12.2f" for every
// packed value.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "stock_paths.h"

const char kCsvHeaderLine[] = "日付,始値,高値,安値,終値\r\n";

static const char kSystemError[] = "System Error";

// A packed value is mantissa * 10^(code - 2). In "%12.2f" that is the
// mantissa's digits with the point moved: code 0 puts it before the last
// two digits, code 1 before the last digit (one zero after it), codes 2
// to 7 after the digits and code - 2 zeros (".00" after them). So the
// whole part is at most 131071 followed by zeros, made from digit pairs in
// 32-bit arithmetic.
static const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The text of a packed value, right-aligned in 16 characters (spaces, the
// whole part's digits, its zeros, the point and two decimals); returns
// its length, counted from the end.
static int MakeValueText(char* t, uint32_t field) {
  unsigned code = (field >> 17) & 7u;
  uint32_t m = field & 0x1FFFFu;
  uint32_t whole, cents;
  unsigned zeros = 0;
  if (code == 0) {
    whole = m / 100;
    cents = m % 100;
  } else if (code == 1) {
    whole = m / 10;
    cents = m % 10 * 10;
  } else {
    whole = m;
    cents = 0;
    if (m != 0) zeros = code - 2;   // at most 5
  }
  memcpy(t, "        00000.", 14);
  memcpy(t + 14, kDigitPairs + 2 * cents, 2);
  unsigned digits = 1 + (whole >= 10) + (whole >= 100) + (whole >= 1000) +
                    (whole >= 10000) + (whole >= 100000);
  uint32_t low = whole % 10000;
  // Two spaces and six digits; the leading zeros then become spaces.
  char six[8] = {' ', ' '};
  memcpy(six + 2, kDigitPairs + 2 * (whole / 10000), 2);
  memcpy(six + 4, kDigitPairs + 2 * (low / 100), 2);
  memcpy(six + 6, kDigitPairs + 2 * (low % 100), 2);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t word;   // character i is byte i, the low byte first
  memcpy(&word, six, 8);
  uint64_t blank = ~0ull >> (8 * digits);   // the first 8 - digits bytes
  word = (word & ~blank) | (0x2020202020202020ull & blank);
  memcpy(six, &word, 8);
#else
  for (unsigned i = 2; i < 8 - digits; ++i) six[i] = ' ';
#endif
  memcpy(t + 5 - zeros, six, 8);
  return (int)(digits + zeros + 3);
}

// The texts of recently formatted values: a stock's prices take few
// distinct values over its rows, so most values are copied from here.
// Direct-mapped on a hash of the field; a key is the field plus one (0:
// empty). A text holds its field's characters from the start (12 to 14)
// and the field width in its last byte.
enum { kValueCacheSize = 4096 };
static uint32_t ValueCacheKey[kValueCacheSize];
static char ValueCacheText[kValueCacheSize][16];

// Writes the value's field and returns its width; writes 16 bytes at
// `out` whatever the width (the line buffer has the room; the caller
// writes over the rest).
static inline int PutValue(char* out, uint32_t field) {
  field &= 0xFFFFFu;
  unsigned slot = (field * 2654435761u) >> 20;   // 12 bits
  char* text = ValueCacheText[slot];
  if (ValueCacheKey[slot] != field + 1) {
    char t[16];
    int length = MakeValueText(t, field);
    if (length <= 12) {
      memcpy(text, t + 4, 12);
      text[15] = 12;
    } else {
      memcpy(text, t + 16 - length, (size_t)length);
      text[15] = (char)length;
    }
    ValueCacheKey[slot] = field + 1;
  }
  memcpy(out, text, 16);
  return text[15];
}

int FormatCsvValue(char* out, uint32_t field) {
  char text[16];
  int width = PutValue(text, field);
  memcpy(out, text, (size_t)width);
  return width;
}

// The decimal text of 0 to 99 without a leading zero.
static char* PutSmall(char* out, unsigned value) {
  if (value >= 10) {
    memcpy(out, kDigitPairs + 2 * value, 2);
    return out + 2;
  }
  *out = (char)('0' + value);
  return out + 1;
}

int FormatCsvLine(char* out, const PriceRow* row) {
  int year, month, day;
  DecodePackedDate(row->date, &year, &month, &day);
  char* p = out;
  // Years are 1904 to 2031: always four digits.
  memcpy(p, kDigitPairs + 2 * (year / 100), 2);
  memcpy(p + 2, kDigitPairs + 2 * (year % 100), 2);
  p += 4;
  *p++ = '/';
  p = PutSmall(p, (unsigned)month);
  *p++ = '/';
  p = PutSmall(p, (unsigned)day);
  *p++ = ',';
  for (int i = 0; i < 5; ++i) {
    p += PutValue(p, row->value[i]);
    *p++ = i < 4 ? ',' : '\r';
  }
  *p++ = '\n';
  return (int)(p - out);
}

int FormatStockCsv(char* out, int32_t length) {
  size_t header = strlen(kCsvHeaderLine);
  memcpy(out, kCsvHeaderLine, header);
  char* p = out + header;
  int rows = CountPriceRows(RecordBuffer, length);
  for (int j = 0; j < rows; ++j) {
    const unsigned char* raw = RecordBuffer + kPriceTableOffset + kPriceRowSize * j;
    PriceRow row;
    ReadPriceRow(raw, &row);
    p += FormatCsvLine(p, &row);
  }
  return (int)(p - out);
}

int ExportStockCsv(int32_t length) {
  char name[kStockNameSize + 1];
  char path[kPathSize];
  static char text[kCsvTextSize];
  ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, name);
  if (FormatStockPath(path, CsvFolder, name, ".csv") != 0) return 1;
  // The user's file is replaced whole or not at all: a full disk never
  // leaves it cut short, which the conversion would take without a word.
  int size = FormatStockCsv(text, length);
  int status = ReplaceWholeFile(path, text, size);
  if (status > 0) return 1;
  if (status < 0) {
    PfMessageBox("RyvoDB file write error", kSystemError, PF_MB_OK);
    return -1;
  }
  return 0;
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
    PfMessageBox("RyvoDB file open error", kSystemError, PF_MB_OK);
    return -1;
  }
  PfFileCloser closer(dump);

  int32_t length;
  int status = ReadDumpRecord(dump, &length);
  if (status == kRecordEnd) {
    PfMessageBox("RyvoDB file Cnt.size read error", kSystemError, PF_MB_OK);
    return -1;
  }
  if (status != kRecordRead) {
    PfMessageBox("RyvoDB file Cont.Rec. read error", kSystemError, PF_MB_OK);
    return -1;
  }
  for (;;) {
    status = ReadDumpRecord(dump, &length);
    if (status == kRecordEnd) break;
    if (status != kRecordRead) {
      PfMessageBox("RyvoDB file Data.Rec. read error", kSystemError, PF_MB_OK);
      return -1;
    }
    int result = ExportStockCsv(length);
    if (result < 0) {
      // The stocks skipped before the failed write are named all the same.
      if (SkippedCount > 0) ReportSkippedStocks();
      return -1;
    }
    if (result > 0) NoteSkippedStock();
  }
  if (SkippedCount > 0) {
    // Files that could not be created are not a completed export.
    ReportSkippedStocks();
    return -1;
  }
  return 0;
}
