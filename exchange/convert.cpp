// Conversion of the stock list, the stock settings files and the price CSV
// files back into Ryvo.dmp. The new dump is written to a temporary file in
// the working folder and put in place of Ryvo.dmp only when complete.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "stock_paths.h"
#include "text_lines.h"

static const char kSystemError[] = "System Error";
static const char kNewDumpName[] = "Ryvo.dmp.tmp";

// Fixed buffers of the conversion, alive for the whole run.
static PriceSlot PriceSlots[kMaxPriceRows];
static char LineBuffer[kLineBufferSize];
static TextReader Reader;

int32_t ParseIntOrZero(const char* text) {
  if (text == NULL) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' ||
         *p == '\r')
    ++p;
  int negative = 0;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  uint32_t value = 0;   // unsigned: wraps modulo 2^32 without overflow
  while (*p >= '0' && *p <= '9') {
    value = value * 10u + (uint32_t)(*p - '0');
    ++p;
  }
  if (negative) value = 0u - value;
  // Two's complement view of the 32 bits, without an out-of-range cast.
  return value <= 0x7FFFFFFFu ? (int32_t)value
                              : (int32_t)(value - 0x80000000u) - 0x7FFFFFFF - 1;
}

static const uint64_t kValueLimit = 13107100000ull;   // 131071 * 10^5

// Reads one value field from `p` up to a stop character (`a`, `b` or the
// end of the text) and returns where it stopped. Spaces, and commas that
// are not stop characters, are skipped; the number ends at the first other
// character, or after its second decimal, and the rest of the field is
// passed over.
static const char* ScanDecimal(const char* p, char a, char b, signed char* exponent,
                               int32_t* mantissa) {
  uint64_t d = 0;
  int decimals = 0;
  int nonZeroDecimal = 0;
  int tooLarge = 0;
  while (*p == ' ') ++p;   // the usual right-alignment, in one tight loop
  // The whole part. Digits come first in the tests as the most frequent;
  // a stop character is tested before the comma, which is skipped only
  // when it does not end the field.
  for (;; ++p) {
    unsigned digit = (unsigned)(unsigned char)*p - '0';
    if (digit < 10) {
      d = d * 10 + digit;
      if (d > kValueLimit) {
        tooLarge = 1;   // the whole part alone: 0 whatever follows
        break;
      }
      continue;
    }
    char c = *p;
    if (c == ' ') continue;
    if (c == '\0' || c == a || c == b) break;
    if (c == ',') continue;
    if (c == '.') {
      // The decimals: at most two are read; a third and later are ignored.
      for (++p;; ++p) {
        digit = (unsigned)(unsigned char)*p - '0';
        if (digit < 10) {
          d = d * 10 + digit;
          if (digit != 0) nonZeroDecimal = 1;
          if (++decimals == 2) {
            ++p;
            break;
          }
          continue;
        }
        c = *p;
        if (c == ' ') continue;
        if (c == '\0' || c == a || c == b) break;
        if (c == ',') continue;
        break;   // a second point, a sign or any other character
      }
    }
    break;   // a sign or any other character ends the number
  }
  while (*p != '\0' && *p != a && *p != b) ++p;
  *exponent = 0;
  *mantissa = 0;
  if (tooLarge) return p;
  // Decimals beyond what the limit allows are dropped, never rounded, so
  // that the export's ".00" does not turn a large value into zero.
  while (d > kValueLimit && decimals > 0) {
    d /= 10;
    --decimals;
  }
  if (d > kValueLimit) return p;
  int k = 0;
  uint64_t limit = 131071;
  while (d > limit) {
    limit *= 10;
    ++k;
  }
  // Divisions by constants: the compiler turns them into multiplications.
  uint64_t m;
  switch (k) {
    case 0: m = d; break;
    case 1: m = d / 10; break;
    case 2: m = d / 100; break;
    case 3: m = d / 1000; break;
    case 4: m = d / 10000; break;
    default: m = d / 100000; break;
  }
  int e = k - decimals;
  if (e < 0 && !nonZeroDecimal) {
    m = e == -1 ? m / 10 : m / 100;
    e = 0;
  }
  *mantissa = (int32_t)m;
  *exponent = (signed char)e;
  return p;
}

void ParseDecimalField(const char* text, signed char* exponent, int32_t* mantissa) {
  ScanDecimal(text, '\0', '\0', exponent, mantissa);
}

int CompareRowDates(const PriceSlot* a, const PriceSlot* b) {
  if (a->date < b->date) return -1;
  if (a->date > b->date) return 1;
  return 0;
}

// Heap sort of the slots by date: in place, no allocation, not stable.
static void SiftDown(PriceSlot* slots, int start, int count) {
  int root = start;
  for (;;) {
    int child = root * 2 + 1;
    if (child >= count) return;
    if (child + 1 < count && CompareRowDates(&slots[child], &slots[child + 1]) < 0)
      ++child;
    if (CompareRowDates(&slots[root], &slots[child]) >= 0) return;
    PriceSlot t = slots[root];
    slots[root] = slots[child];
    slots[child] = t;
    root = child;
  }
}

static void SortSlots(PriceSlot* slots, int count) {
  int sorted = 1;
  for (int i = 1; i < count && sorted; ++i)
    if (CompareRowDates(&slots[i - 1], &slots[i]) > 0) sorted = 0;
  if (sorted) return;
  for (int start = count / 2 - 1; start >= 0; --start) SiftDown(slots, start, count);
  for (int end = count - 1; end > 0; --end) {
    PriceSlot t = slots[0];
    slots[0] = slots[end];
    slots[end] = t;
    SiftDown(slots, 0, end);
  }
}

// Parses one data line into `slot`; 0 when complete, -1 when incomplete.
// The line is cut into eight pieces, each ending at the first of its own
// separators: year and month at "/", the day and the four prices at ",",
// the volume at "," or the line feed. Separators before a piece are
// skipped, so a run of them counts as one; a missing piece makes the line
// incomplete.
int ParsePriceLine(const char* line, PriceSlot* slot) {
  static const char kSeparators[8][2] = {{'/', '/'}, {'/', '/'}, {',', ','}, {',', ','},
                                         {',', ','}, {',', ','}, {',', ','}, {',', '\n'}};
  int32_t date[3];
  signed char exponent[5];
  int32_t mantissa[5];
  const char* p = line;
  for (int i = 0; i < 8; ++i) {
    char a = kSeparators[i][0], b = kSeparators[i][1];
    while (*p == a || *p == b) ++p;
    if (*p == '\0') return -1;
    if (i < 3) {
      date[i] = ParseIntOrZero(p);   // stops before the separator
      while (*p != '\0' && *p != a && *p != b) ++p;
    } else {
      p = ScanDecimal(p, a, b, &exponent[i - 3], &mantissa[i - 3]);
    }
    if (*p != '\0') ++p;   // the separator that ended the piece
  }
  slot->date = (uint16_t)EncodePackedDate(date[0], date[1], date[2]);
  for (int i = 0; i < 5; ++i) {
    slot->exponent[i] = exponent[i];
    slot->mantissa[i] = mantissa[i];
  }
  return 0;
}

// Reads the stock settings file into the DataRec in RecordBuffer.
static int ReadStockSettings(const char* path) {
  static const char* const kMissingLine[14] = {
      "RyvoSetup file StockName read error", "RyvoSetup file OnlyClose read error",
      "RyvoSetup file WebScrap read error",  "RyvoSetup file FixedScale read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error"};
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL) {
    PfMessageBox("RyvoSetup file open error", kSystemError, PF_MB_OK);
    return -1;
  }
  PfFileCloser closer(file);
  TextReaderInit(&Reader, file);
  unsigned char* rec = RecordBuffer;
  for (int line = 0; line < 14; ++line) {
    if (ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1) < 0) {
      PfMessageBox(kMissingLine[line], kSystemError, PF_MB_OK);
      return -1;
    }
    if (line >= 1 && line <= 3) {
      if (LineBuffer[0] == '1') rec[kDataFlags] |= (unsigned char)(1 << (line - 1));
    } else if (line == 4 || line == 5) {
      StripLineEnd(LineBuffer);
      size_t width = line == 4 ? kWebDocumentSize : kKeywordSize;
      size_t n = strlen(LineBuffer);
      if (n > width) n = width;
      memcpy(rec + (line == 4 ? kDataWebDocument : kDataKeyword), LineBuffer, n);
    } else if (line == 6) {
      WriteBE32(rec + kDataPurchaseCount, ParseIntOrZero(LineBuffer));
    } else if (line >= 7) {
      char first[kLineBufferSize];
      char second[kLineBufferSize];
      SplitSettingsPair(LineBuffer, first, sizeof first, second, sizeof second);
      int32_t a = ParseIntOrZero(first);
      int32_t b = ParseIntOrZero(second);
      if (line <= 11) {
        unsigned char* pair = rec + kDataWebFetch + (line - 7) * 4;
        WriteBE16(pair, a);
        WriteBE16(pair + 2, b);
      } else {
        unsigned char* scale = rec + (line == 12 ? kDataPriceScaleMax : kDataVolumeScaleMax);
        WriteBE32(scale, a);
        WriteBE32(scale + 4, b);
      }
    }
  }
  return 0;
}

// Reads the price CSV file into the slot table; the row count, or -1.
static int ReadPriceFile(const char* path) {
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL) return -1;   // no message: the stock simply fails
  PfFileCloser closer(file);
  TextReaderInit(&Reader, file);
  if (ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1) < 0) {
    PfMessageBox("Data file read error", kSystemError, PF_MB_OK);
    return -1;
  }
  memset(PriceSlots, 0, sizeof PriceSlots);
  int next = 0;
  int wrapped = 0;
  while (ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1) >= 0) {
    PriceSlot slot;
    if (ParsePriceLine(LineBuffer, &slot) != 0) break;   // incomplete: stop
    PriceSlots[next] = slot;
    if (++next == kMaxPriceRows) {
      next = 0;
      wrapped = 1;
    }
  }
  return wrapped ? kMaxPriceRows : next;
}

static int WriteRecord(FILE* out, int32_t* offset, const unsigned char length[4]) {
  int32_t n = ReadLE32(length);
  // The running offset is where the file already stands, so the seek is
  // needed only when it is not (a seek flushes the stream's buffer).
  if (ftell(out) != (long)*offset && fseek(out, *offset, SEEK_SET) != 0) return -1;
  if (fwrite(length, 1, 4, out) != 4) return -1;
  *offset += 4;
  if (fwrite(RecordBuffer, 1, (size_t)n, out) != (size_t)n) return -1;
  // A full disk shows when the buffered bytes reach the file: the record
  // is written in full only once they have.
  if (fflush(out) != 0) return -1;
  *offset += n;
  return 0;
}

static int IsTemplateLength(int32_t n) { return n >= 1 && n <= kRecordBufferSize; }

int BuildStockRecord(FILE* out, const char* name, int32_t* offset,
                     const unsigned char templateLength[4]) {
  char path[kPathSize];
  if (name == NULL || name[0] == '\0') return -1;
  if (!IsTemplateLength(ReadLE32(templateLength))) {
    PfMessageBox("RyvoDB file Cnt.size read error", kSystemError, PF_MB_OK);
    return -1;
  }
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  // A name that cannot be a file name has a settings file that cannot be
  // opened.
  if (FormatStockPath(path, WorkFolder, name, ".txt") != 0) {
    PfMessageBox("RyvoSetup file open error", kSystemError, PF_MB_OK);
    return -1;
  }
  if (ReadStockSettings(path) != 0) return -1;
  size_t nameLength = strlen(name);
  if (nameLength > kStockNameSize) nameLength = kStockNameSize;
  memcpy(RecordBuffer + kDataStockName, name, nameLength);
  WriteBE16(RecordBuffer + kDataRecordVersion, kWrittenVersion);

  if (FormatStockPath(path, CsvFolder, name, ".csv") != 0) return -1;
  int rows = ReadPriceFile(path);
  if (rows < 0) return -1;
  SortSlots(PriceSlots, rows);
  for (int j = 0; j < rows; ++j) {
    PriceRow row;
    row.date = PriceSlots[j].date;
    for (int i = 0; i < 5; ++i)
      row.value[i] = EncodePackedValue(PriceSlots[j].mantissa[i], PriceSlots[j].exponent[i]);
    unsigned char* raw = RecordBuffer + kPriceTableOffset + kPriceRowSize * j;
    WritePriceRow(raw, &row);
    WriteBE16(raw, row.date);
  }
  if (WriteRecord(out, offset, templateLength) != 0) {
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemError, PF_MB_OK);
    return -1;
  }
  return 0;
}

// Writes the new dump into `out`; 0 when every stock is written.
static int WriteNewDump(FILE* out, StockList list, int count,
                        const unsigned char headerLength[4],
                        const unsigned char recordLength[4]) {
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  WriteBE16(RecordBuffer + kContVersion, kWrittenVersion);
  WriteBE16(RecordBuffer + kContRecordCount, count);
  WriteBE16(RecordBuffer + kContWordA, 0);
  WriteBE16(RecordBuffer + kContWordB, 1000);
  WriteBE16(RecordBuffer + kContWordC, 0);
  memcpy(RecordBuffer + kCarriedOffset, CarriedBytes, kCarriedSize);
  int32_t offset = 0;
  if (WriteRecord(out, &offset, headerLength) != 0) {
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemError, PF_MB_OK);
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    char entry[80];
    if (PfListGetText(list, i, entry, sizeof entry) < 0) entry[0] = '\0';
    char* lineFeed = strchr(entry, '\n');
    if (lineFeed != NULL) *lineFeed = '\0';
    if (BuildStockRecord(out, entry[0] != '\0' ? entry : NULL, &offset, recordLength) < 0)
      return -1;
  }
  return 0;
}

int ConvertToHandheld(StockList list) {
  char dumpPath[kPathSize];
  char savePath[kPathSize];
  char newPath[kPathSize];
  int count = PfListCount(list) & 0xFFFF;
  if (count == 0) return -1;

  if (FormatFolderPath(dumpPath, WorkFolder, "Ryvo.dmp") != 0 ||
      FormatFolderPath(savePath, WorkFolder, "SaveRyvo.dmp") != 0 ||
      PfCopyFile(dumpPath, savePath) != 0) {
    PfMessageBox("RyvoDB file copy read error", kSystemError, PF_MB_OK);
    return -1;
  }

  // Prove that the dump may be rewritten and take the two template lengths
  // from it before anything is written.
  unsigned char headerLength[4];
  unsigned char recordLength[4];
  {
    FILE* old = PfOpenFile(dumpPath, "r+b");
    if (old == NULL) {
      PfMessageBox("RyvoDB file write error", kSystemError, PF_MB_OK);
      return -1;
    }
    PfFileCloser closer(old);
    int ok = fread(headerLength, 1, 4, old) == 4 &&
             IsTemplateLength(ReadLE32(headerLength)) &&
             fseek(old, 4 + ReadLE32(headerLength), SEEK_SET) == 0 &&
             fread(recordLength, 1, 4, old) == 4 &&
             IsTemplateLength(ReadLE32(recordLength));
    if (!ok) {
      PfMessageBox("RyvoDB file Cnt.size read error", kSystemError, PF_MB_OK);
      return -1;
    }
  }

  FILE* out = NULL;
  if (FormatFolderPath(newPath, WorkFolder, kNewDumpName) == 0)
    out = PfOpenFile(newPath, "wb");
  if (out == NULL) {
    PfMessageBox("RyvoDB file open error", kSystemError, PF_MB_OK);
    return -1;
  }
  int result = WriteNewDump(out, list, count, headerLength, recordLength);
  if (PfCloseFile(out) != 0 && result == 0) {
    PfMessageBox("RyvoDB file write error", kSystemError, PF_MB_OK);
    result = -1;
  }
  if (result == 0 && PfReplaceFile(newPath, dumpPath) != 0) {
    PfMessageBox("RyvoDB file write error", kSystemError, PF_MB_OK);
    result = -1;
  }
  if (result != 0) PfDeleteFile(newPath);
  return result;
}
