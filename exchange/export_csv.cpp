// The CSV export: one price CSV file per DataRec of Ryvo.dmp, written with
// an integer formatter that gives the same text as "%12.2f" for every
// packed value.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "line_vectors.h"
#include "stock_paths.h"

const char kCsvHeaderLine[] = "日付,始値,高値,安値,終値\r\n";


// A packed value is mantissa * 10^(code - 2). In "%12.2f" that is the
// mantissa's digits with the point moved: code 0 puts it before the last
// two digits, code 1 before the last digit (one zero after it), codes 2
// to 7 after the digits and code - 2 zeros (".00" after them). So the
// whole part, zeros included, is at most 13107100000: eleven digits.
static const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

static const uint64_t kOnes = 0x0101010101010101ull;
static const uint64_t kPowersOfTen[6] = {1, 10, 100, 1000, 10000, 100000};
// The low n bytes of a word, n from 0 to 8.
static const uint64_t kLowBytes[9] = {0,
                                      0xFFull,
                                      0xFFFFull,
                                      0xFFFFFFull,
                                      0xFFFFFFFFull,
                                      0xFFFFFFFFFFull,
                                      0xFFFFFFFFFFFFull,
                                      0xFFFFFFFFFFFFFFull,
                                      ~0ull};

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// The eight decimal digits of n (below 10^8) as characters, the first in
// the low byte: split into halves, quarters and single digits side by
// side in one word.
static inline uint64_t EightDigits(uint32_t n) {
  uint64_t v = (uint64_t)(n / 10000) | (uint64_t)(n % 10000) << 32;
  uint64_t hundreds = ((v * 10486) >> 20) & 0x0000007F0000007Full;
  v = hundreds | (v - hundreds * 100) << 16;
  uint64_t tens = ((v * 103) >> 10) & 0x000F000F000F000Full;
  v = tens | (v - tens * 10) << 8;
  return v | kOnes * '0';
}
#endif

// The text of a packed value as "%12.2f" writes it, in two words: the
// field's characters from its first one (12 to 14 of them, spaces before
// the digits), the first in the low byte of `text[0]`, and the field
// width in the last byte; returns the width. Built in registers, with no
// branch on the exponent code: the codes of neighbouring values differ
// often.
static inline int MakeValueText(uint32_t field, uint64_t text[2]) {
  uint32_t code = (field >> 17) & 7u;
  uint32_t m = field & 0x1FFFFu;
  // Masks in place of branches: all ones for code 0, for code 1, for the
  // others.
  uint32_t is0 = 0u - (uint32_t)(code == 0), is1 = 0u - (uint32_t)(code == 1);
  uint32_t isMore = ~(is0 | is1);
  uint32_t whole0 = m / 100, whole1 = m / 10;
  uint32_t whole = (whole0 & is0) | (whole1 & is1) | (m & isMore);
  uint32_t cents = ((m - whole0 * 100) & is0) | (((m - whole1 * 10) * 10) & is1);
  uint32_t zeros = (code - 2) & isMore & (0u - (uint32_t)(m != 0));   // at most 5
  uint32_t digits = 1 + (whole >= 10) + (whole >= 100) + (whole >= 1000) + (whole >= 10000) +
                    (whole >= 100000) + zeros;   // of the whole part: 1 to 11
  int width = (int)(digits + 3 > 12 ? digits + 3 : 12);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Characters 0 to 15: two spaces, the whole part in 11 digits (leading
  // zeros), the point and the two decimals.
  uint64_t w = (uint64_t)whole * kPowersOfTen[zeros];
  uint64_t a, d;
  if (w < 100000000u) {   // all but the largest values
    d = EightDigits((uint32_t)w);
    a = kOnes * ' ' | 0x303030ull << 16 | d << 40;
  } else {
    uint32_t high = (uint32_t)(w / 100000000u);   // at most 131
    d = EightDigits((uint32_t)(w % 100000000u));
    a = kOnes * ' ' | (uint64_t)('0' + high / 100) << 16 | (uint64_t)('0' + high / 10 % 10) << 24 |
        (uint64_t)('0' + high % 10) << 32 | d << 40;
  }
  uint64_t b = d >> 24 | (uint64_t)'.' << 40 | (uint64_t)(unsigned char)kDigitPairs[2 * cents] << 48 |
               (uint64_t)(unsigned char)kDigitPairs[2 * cents + 1] << 56;
  // The leading zeros of the whole part, from character 2, become spaces.
  unsigned blank = 11 - digits;
  uint64_t blankA = kLowBytes[blank < 6 ? blank : 6] << 16;
  uint64_t blankB = kLowBytes[blank > 6 ? blank - 6 : 0];
  a = (a & ~blankA) | (kOnes * ' ' & blankA);
  b = (b & ~blankB) | (kOnes * ' ' & blankB);
  // The field is the last `width` characters.
  unsigned shift = 8 * (16 - (unsigned)width);   // 16 to 32 bits
  text[0] = a >> shift | b << (64 - shift);
  text[1] = b >> shift | (uint64_t)width << 56;
#else
  char t[24] = {0};
  snprintf(t, sizeof t, "%12.2f", DecodePackedValue(field));
  t[15] = (char)width;
  memcpy(text, t, 16);
#endif
  return width;
}

// The texts of recently formatted values: a stock's prices take few
// distinct values over its rows, so most values are copied from here.
// Direct-mapped on a hash of the field; a key is the field plus one (0:
// empty). A text holds its field's characters from the start (12 to 14)
// and the field width in its last byte.
enum { kValueCacheSize = 8192 };
static uint32_t ValueCacheKey[kValueCacheSize];
static uint64_t ValueCacheText[kValueCacheSize][2];

// Writes the value's field and returns its width; writes 16 bytes at
// `out` whatever the width (the line buffer has the room; the caller
// writes over the rest).
static inline int PutValue(char* out, uint32_t field) {
  field &= 0xFFFFFu;
  unsigned slot = (field * 2654435761u) >> 19;   // 13 bits
  uint64_t* text = ValueCacheText[slot];
  if (ValueCacheKey[slot] == field + 1) {
    memcpy(out, text, 16);
    return ((const unsigned char*)text)[15];
  }
  uint64_t made[2];
  int width = MakeValueText(field, made);
  // Written from the registers: reading back what was just stored in
  // pieces would stall.
  memcpy(out, &made[0], 8);
  memcpy(out + 8, &made[1], 8);
  text[0] = made[0];
  text[1] = made[1];
  ValueCacheKey[slot] = field + 1;
  return width;
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

// "y/m/d," of a packed date.
static char* PutDate(char* p, unsigned date) {
  int year, month, day;
  DecodePackedDate(date, &year, &month, &day);
  // Years are 1904 to 2031: always four digits.
  memcpy(p, kDigitPairs + 2 * (year / 100), 2);
  memcpy(p + 2, kDigitPairs + 2 * (year % 100), 2);
  p += 4;
  *p++ = '/';
  p = PutSmall(p, (unsigned)month);
  *p++ = '/';
  p = PutSmall(p, (unsigned)day);
  *p++ = ',';
  return p;
}

int FormatCsvLine(char* out, const PriceRow* row) {
  char* p = PutDate(out, row->date);
  // Values below 10^9 fill exactly twelve characters: the five fields and
  // their commas then have fixed places, and are written independently.
  int wide = 0;
  for (int i = 0; i < 5; ++i) {
    wide |= PutValue(p + 13 * i, row->value[i]) - 12;
    p[13 * i + 12] = ',';
  }
  if (wide == 0) {
    p += 13 * 5 - 1;
  } else {
    for (int i = 0; i < 5; ++i) {
      p += PutValue(p, row->value[i]);
      *p++ = ',';
    }
    --p;
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
  // The vector code makes the lines up to the first with a wide value, the
  // plain code the rest.
  int bytes = 0;
  int made = LineVectorsAvailable() ? FormatPriceLinesVector(p, table, rows, &bytes) : 0;
  p += bytes;
  for (int j = made; j < rows; ++j) {
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

  int32_t length;
  if (ReadDumpHeader(dump, &length) != 0) return -1;
  for (;;) {
    int status = ReadDumpRecord(dump, &length);
    if (status == kRecordEnd) break;
    if (status != kRecordRead) {
      PfMessageBox("RyvoDB file Data.Rec. read error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
    StockCsvResult result = ExportStockCsv(length);
    if (result == kStockCsvFailed) {
      // The stocks skipped before the failed write are named all the same.
      if (SkippedCount > 0) ReportSkippedStocks();
      return -1;
    }
    if (result == kStockCsvSkipped) NoteSkippedStock();
  }
  if (SkippedCount > 0) {
    // Files that could not be created are not a completed export.
    ReportSkippedStocks();
    return -1;
  }
  return 0;
}
