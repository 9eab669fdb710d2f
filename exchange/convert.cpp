// Conversion of the stock list, the stock settings files and the price CSV
// files back into Ryvo.dmp. The new dump is written to a temporary file in
// the working folder and put in place of Ryvo.dmp only when complete.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "stock_check.h"
#include "stock_paths.h"
#include "stock_reading.h"
#include "text_lines.h"
#include "exported_layout.h"
#include "line_vectors.h"

static const char kNewDumpName[] = "Ryvo.dmp.tmp";

// Fixed buffers of the conversion, alive for the whole run.
static PriceSlot PriceSlots[kMaxPriceRows];
static char LineBuffer[kLineBufferSize];
static TextReader Reader;

int32_t ParseIntOrZeroNoted(const char* text, int* wrapped) {
  if (wrapped != NULL) *wrapped = 0;
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
  uint64_t whole = 0;   // the number itself, up to where it no longer fits
  while (*p >= '0' && *p <= '9') {
    value = value * 10u + (uint32_t)(*p - '0');
    if (wrapped != NULL && whole <= 0xFFFFFFFFull) whole = whole * 10u + (uint64_t)(*p - '0');
    ++p;
  }
  if (wrapped != NULL)
    *wrapped = negative ? whole > 0x80000000ull : whole > 0x7FFFFFFFull;
  if (negative) value = 0u - value;
  // Two's complement view of the 32 bits, without an out-of-range cast.
  return value <= 0x7FFFFFFFu ? (int32_t)value
                              : (int32_t)(value - 0x80000000u) - 0x7FFFFFFF - 1;
}

int32_t ParseIntOrZero(const char* text) { return ParseIntOrZeroNoted(text, NULL); }

static const uint64_t kValueLimit = 13107100000ull;   // 131071 * 10^5

static const uint64_t kPowerOfTen[6] = {1, 10, 100, 1000, 10000, 100000};
static const double kPowerOfTenAsDouble[6] = {1, 10, 100, 1000, 10000, 100000};

// The packed pair of the number d * 10^-decimals (d at most kValueLimit,
// decimals 0 to 2): decimals that are all zero count as none, and such a
// number takes no negative exponent; then the mantissa is the number cut
// to at most 131071 by the fewest whole powers of ten, the digits cut off
// dropped. Returns 1 when digits were cut off. No branch: the exponents
// of neighbouring values differ often.
static inline int FitPackedPair(uint64_t d, int decimals, int nonZeroDecimal,
                                signed char* exponent, int32_t* mantissa) {
  uint64_t whole = decimals == 2 ? d / 100 : decimals == 1 ? d / 10 : d;
  uint64_t v = nonZeroDecimal ? d : whole;
  int k = (v > 131071u) + (v > 1310710u) + (v > 13107100u) + (v > 131071000u) +
          (v > 1310710000u);
  // Exact: v is below 2^34, and a quotient that is not whole lies at least
  // 10^-5 below the next whole number, far more than a double's error.
  uint64_t m = (uint64_t)((double)v / kPowerOfTenAsDouble[k]);
  *mantissa = (int32_t)m;
  *exponent = (signed char)(k - (nonZeroDecimal ? decimals : 0));
  return m * kPowerOfTen[k] != v;
}

// The loss of a value field whose number ran from `start` to `stop` and
// whose piece ends at `end`: a field without digits or with a sign first
// is stored as 0; digits left after the number (a third decimal, text
// such as "12x34") are not stored.
static int DecimalLossOf(const char* start, const char* stop, const char* end, int tooLarge,
                         int decimals) {
  if (tooLarge) return kLossTooLarge;
  const char* p = start;
  int digits = 0;
  for (; p < stop; ++p)
    if (*p >= '0' && *p <= '9') digits = 1;
  if (!digits) {
    const char* q = start;
    while (q < end && (*q == ' ' || *q == ',')) ++q;
    return q < end && (*q == '-' || *q == '+') ? kLossSign : kLossNoDigits;
  }
  for (p = stop; p < end; ++p)
    if (*p >= '1' && *p <= '9')
      return decimals == 2 && *stop >= '0' && *stop <= '9' ? kLossDecimals : kLossTrailing;
  return kLossNone;
}

// Reads one value field from `p` up to a stop character (`a`, `b` or the
// end of the text) and returns where it stopped. Spaces, and commas that
// are not stop characters, are skipped; the number ends at the first other
// character, or after its second decimal, and the rest of the field is
// passed over.
// With `loss` given, also tells why the stored value differs from the
// text (DecimalLoss); the conversion passes NULL and pays nothing for it.
static const char* ScanDecimal(const char* p, char a, char b, signed char* exponent,
                               int32_t* mantissa, int* loss) {
  const char* start = p;
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
  const char* stop = p;
  while (*p != '\0' && *p != a && *p != b) ++p;
  *exponent = 0;
  *mantissa = 0;
  if (loss != NULL) *loss = DecimalLossOf(start, stop, p, tooLarge, decimals);
  if (tooLarge) return p;
  // Decimals beyond what the limit allows are dropped, never rounded, so
  // that the export's ".00" does not turn a large value into zero.
  while (d > kValueLimit && decimals > 0) {
    if (loss != NULL && d % 10 != 0 && *loss == kLossNone) *loss = kLossDecimals;
    d /= 10;
    --decimals;
  }
  if (d > kValueLimit) {
    if (loss != NULL) *loss = kLossTooLarge;
    return p;
  }
  int cut = FitPackedPair(d, decimals, nonZeroDecimal, exponent, mantissa);
  if (loss != NULL && *loss == kLossNone && cut) *loss = kLossMantissa;
  return p;
}

void ParseDecimalField(const char* text, signed char* exponent, int32_t* mantissa) {
  ScanDecimal(text, '\0', '\0', exponent, mantissa, NULL);
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

// A line with double quotes, as a spreadsheet saves it, read as CSV
// quotes: a quote that opens a piece and the one that closes it are not
// part of it, a doubled quote inside stands for one, and a comma inside
// quotes does not cut the line (it is read as the blank that groups
// digits: "2,804.50" is 2804.50). Returns the text to cut: `line` itself
// when it holds no quote, so that such lines are cut exactly as ever.
static const char* UnquotePriceLine(const char* line) {
  static char unquoted[kLineBufferSize];
  if (strchr(line, '"') == NULL) return line;
  int n = 0;
  int quoted = 0;
  for (const char* p = line; *p != '\0' && n < (int)sizeof unquoted - 1; ++p) {
    if (*p == '"') {
      if (quoted && p[1] == '"') {
        unquoted[n++] = '"';
        ++p;
      } else {
        quoted = !quoted;
      }
      continue;
    }
    unquoted[n++] = quoted && *p == ',' ? ' ' : *p;
  }
  unquoted[n] = '\0';
  return unquoted;
}

// Parses one data line into `slot`; 0 when complete, -1 when incomplete.
// The line is cut into eight pieces, each ending at the first of its own
// separators: year and month at "/", the day and the four prices at ",",
// the volume at "," or the line feed. Separators before a piece are
// skipped, so a run of them counts as one; a missing piece makes the line
// incomplete.
int ParsePriceLineNoted(const char* line, PriceSlot* slot, PriceLineNotes* notes) {
  static const char kSeparators[8][2] = {{'/', '/'}, {'/', '/'}, {',', ','}, {',', ','},
                                         {',', ','}, {',', ','}, {',', ','}, {',', '\n'}};
  int32_t date[3];
  signed char exponent[5];
  int32_t mantissa[5];
  line = UnquotePriceLine(line);
  if (notes != NULL) {
    memset(notes, 0, sizeof *notes);
    notes->cut = line;
    notes->missing = -1;
  }
  const char* p = line;
  for (int i = 0; i < 8; ++i) {
    char a = kSeparators[i][0], b = kSeparators[i][1];
    while (*p == a || *p == b) ++p;
    if (*p == '\0') {
      if (notes != NULL) notes->missing = i;
      return -1;
    }
    if (notes != NULL) notes->start[i] = (int)(p - line);
    if (i < 3) {
      date[i] = ParseIntOrZero(p);   // stops before the separator
      while (*p != '\0' && *p != a && *p != b) ++p;
    } else {
      p = ScanDecimal(p, a, b, &exponent[i - 3], &mantissa[i - 3],
                      notes != NULL ? &notes->loss[i - 3] : NULL);
    }
    if (notes != NULL) notes->end[i] = (int)(p - line);
    if (*p != '\0') ++p;   // the separator that ended the piece
  }
  slot->date = (uint16_t)EncodePackedDate(date[0], date[1], date[2]);
  for (int i = 0; i < 5; ++i) {
    slot->exponent[i] = exponent[i];
    slot->mantissa[i] = mantissa[i];
  }
  if (notes != NULL) memcpy(notes->date, date, sizeof date);
  return 0;
}

int ParsePriceLine(const char* line, PriceSlot* slot) {
  return ParsePriceLineNoted(line, slot, NULL);
}

// A line of the export's own layout (exported_layout.h) is read straight
// from the reader's buffer, eight characters at a time, or by the vector
// code many lines at once; it gives the slot that ParsePriceLine gives for
// it. Any other line, and a line that runs past the bytes read ahead, is
// left to ReadTextLine and ParsePriceLine.
static_assert(4 + 1 + 2 + 1 + 2 + 1 + kExportedTail < kMaxLineChars,
              "a line of the export's layout is read in one piece");

// One value of the export's layout as hundredths, or -1.
static inline int64_t ReadExportedValue(const unsigned char* f) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  const uint64_t kOnes = 0x0101010101010101ull;
  unsigned c1 = (unsigned)f[10] - '0', c2 = (unsigned)f[11] - '0';
  if (f[0] != ' ' || f[9] != '.' || c1 > 9 || c2 > 9) return -1;
  uint64_t w;   // characters 1 to 8, the first in the low byte
  memcpy(&w, f + 1, 8);
  // 0x80 in each byte that is a space (exact: no borrow between bytes).
  uint64_t x = w ^ (kOnes * ' ');
  uint64_t spaces = ~(((x & (kOnes * 0x7F)) + kOnes * 0x7F) | x) & (kOnes * 0x80);
  // The spaces come first: their bytes, as 0xFF each, are the low bytes.
  uint64_t run = (spaces >> 7) * 0xFF;
  if ((run & (run + 1)) != 0) return -1;
  // Spaces read as zeros; every byte must then be a digit.
  uint64_t z = w | (spaces >> 3);
  if ((z & (kOnes * 0xF0)) != kOnes * 0x30 || ((z + kOnes * 6) & (kOnes * 0xF0)) != kOnes * 0x30)
    return -1;
  uint64_t v = z - kOnes * 0x30;   // eight digits, the first the highest
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
       (((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
  return (int64_t)(v * 100 + c1 * 10 + c2);
#else
  (void)f;
  return -1;
#endif
}

// The slot of the line at the reader's position when it is of the
// export's layout; returns the bytes it takes (CR LF included), or 0.
static int TakeExportedPriceLine(TextReader* reader, PriceSlot* slot) {
  const unsigned char* line;
  int ahead = TextReaderAhead(reader, &line);
  if (ahead < kExportedShortest) return 0;
  int32_t year, month, day;
  const unsigned char* p = ReadExportedDate(line, &year, &month, &day);
  if (p == NULL) return 0;
  int length = (int)(p - line) + kExportedTail;
  if (length > ahead) return 0;
  for (int i = 1; i < 5; ++i)
    if (p[i * (kExportedValueWidth + 1) - 1] != ',') return 0;
  if (p[kExportedTail - 2] != '\r' || p[kExportedTail - 1] != '\n') return 0;
  int64_t hundredths[5];
  for (int i = 0; i < 5; ++i) {
    hundredths[i] = ReadExportedValue(p + i * (kExportedValueWidth + 1));
    if (hundredths[i] < 0) return 0;
  }
  slot->date = (uint16_t)EncodePackedDate(year, month, day);
  for (int i = 0; i < 5; ++i)
    FitPackedPair((uint64_t)hundredths[i], 2, hundredths[i] % 100 != 0, &slot->exponent[i],
                  &slot->mantissa[i]);
  TextReaderSkip(reader, length);
  return length;
}

// A stop of the conversion at this stock: the message box, or the
// observer's word in its place.
static int StopStock(const StockReadObserver* observer, int kind, int file, int line,
                     const char* message) {
  if (observer != NULL) {
    if (observer->Stop != NULL) observer->Stop(observer->context, kind, file, line);
  } else if (message != NULL) {
    PfMessageBox(message, kSystemErrorCaption, PF_MB_OK);
  }
  return -1;
}

// A settings number as the record stores it, told to the observer when it
// is stored other than written.
static int32_t SettingsNumber(const StockReadObserver* observer, int line, const char* text,
                              int bits) {
  int wrapped = 0;
  int32_t value = ParseIntOrZeroNoted(text, observer != NULL ? &wrapped : NULL);
  if (observer != NULL && observer->SettingsNumber != NULL) {
    int32_t stored = bits == 16 ? (int32_t)(int16_t)(uint16_t)((uint32_t)value & 0xFFFFu) : value;
    if (wrapped || stored != value) observer->SettingsNumber(observer->context, line, text, stored, bits);
  }
  return value;
}

// Reads the stock settings file into the DataRec in RecordBuffer.
static int ReadStockSettings(const char* path, const StockReadObserver* observer) {
  static const char* const kMissingLine[14] = {
      "RyvoSetup file StockName read error", "RyvoSetup file OnlyClose read error",
      "RyvoSetup file WebScrap read error",  "RyvoSetup file FixedScale read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error"};
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL)
    return StopStock(observer, kCheckSettingsMissing, kCheckSettingsFile, 0,
                     "RyvoSetup file open error");
  PfFileCloser closer(file);
  TextReaderInit(&Reader, file);
  unsigned char* rec = RecordBuffer;
  for (int line = 0; line < 14; ++line) {
    int length = ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1);
    if (length < 0)
      return StopStock(observer, kCheckSettingsShort, kCheckSettingsFile, line + 1,
                       kMissingLine[line]);
    if (observer != NULL && observer->SettingsLine != NULL)
      observer->SettingsLine(observer->context, line + 1, LineBuffer, length);
    if (line >= 1 && line <= 3) {
      if (LineBuffer[0] == '1') rec[kDataFlags] |= (unsigned char)(1 << (line - 1));
    } else if (line == 4 || line == 5) {
      StripLineEnd(LineBuffer);
      size_t width = line == 4 ? kWebDocumentSize : kKeywordSize;
      size_t n = strlen(LineBuffer);
      if (n > width) {
        if (observer != NULL && observer->SettingsCut != NULL)
          observer->SettingsCut(observer->context, line + 1, (int)n, (int)width);
        n = width;
      }
      memcpy(rec + (line == 4 ? kDataWebDocument : kDataKeyword), LineBuffer, n);
    } else if (line == 6) {
      WriteBE32(rec + kDataPurchaseCount, SettingsNumber(observer, line + 1, LineBuffer, 32));
    } else if (line >= 7) {
      char first[kLineBufferSize];
      char second[kLineBufferSize];
      SplitSettingsPair(LineBuffer, first, sizeof first, second, sizeof second);
      int bits = line <= 11 ? 16 : 32;
      int32_t a = SettingsNumber(observer, line + 1, first, bits);
      int32_t b = SettingsNumber(observer, line + 1, second, bits);
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
static int ReadPriceFile(const char* path, const StockReadObserver* observer) {
  FILE* file = PfOpenFile(path, "rb");
  // No message: the stock simply fails.
  if (file == NULL) return StopStock(observer, kCheckCsvMissing, kCheckCsvFile, 0, NULL);
  PfFileCloser closer(file);
  TextReaderInit(&Reader, file);
  int headerLength = ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1);
  if (headerLength < 0)
    return StopStock(observer, kCheckCsvEmpty, kCheckCsvFile, 0, "Data file read error");
  if (observer != NULL && observer->PriceLine != NULL)
    observer->PriceLine(observer->context, 0, LineBuffer, headerLength, -3, NULL, NULL);
  int next = 0;
  int wrapped = 0;
  if (observer == NULL) {
    // Straight into the slot: a line that is incomplete leaves it as it
    // was, and it is not counted.
    int vectors = LineVectorsAvailable();
    for (;;) {
      if (vectors) {
        const unsigned char* ahead;
        int available = TextReaderAhead(&Reader, &ahead);
        int taken;
        int read = ReadExportedLinesVector(ahead, available, &PriceSlots[next], kMaxPriceRows - next,
                                           &taken);
        if (read > 0) {
          TextReaderSkip(&Reader, taken);
          next += read;
          if (next == kMaxPriceRows) {
            next = 0;
            wrapped = 1;
          }
          continue;
        }
      }
      PriceSlot* slot = &PriceSlots[next];
      if (TakeExportedPriceLine(&Reader, slot) == 0) {
        if (ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1) < 0) break;
        if (ParsePriceLine(LineBuffer, slot) != 0) break;   // incomplete: stop
      }
      if (++next == kMaxPriceRows) {
        next = 0;
        wrapped = 1;
      }
    }
    return wrapped ? kMaxPriceRows : next;
  }
  // The same reading told line by line; the lines after an incomplete one,
  // which the conversion never reads, are told too, as ignored.
  memset(PriceSlots, 0, sizeof PriceSlots);
  PriceLineNotes notes;
  int line = 0;
  int ended = 0;
  int length;
  while ((length = ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1)) >= 0) {
    ++line;
    PriceSlot slot;
    int at = -2;
    if (!ended) {
      if (ParsePriceLineNoted(LineBuffer, &slot, &notes) != 0) {
        ended = 1;
        at = -1;
      } else {
        at = next;
        PriceSlots[next] = slot;
        if (++next == kMaxPriceRows) {
          next = 0;
          wrapped = 1;
        }
      }
    }
    if (observer->PriceLine != NULL)
      observer->PriceLine(observer->context, line, LineBuffer, length, at, at >= 0 ? &slot : NULL,
                          at != -2 ? &notes : NULL);
  }
  return wrapped ? kMaxPriceRows : next;
}

int FillStockRecord(const char* name, const StockReadObserver* observer) {
  char path[kPathSize];
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  // A name that cannot be a file name has a settings file that cannot be
  // opened.
  if (FormatStockPath(path, WorkFolder, name, ".txt") != 0)
    return StopStock(observer, kCheckNameUnusable, kCheckSettingsFile, 0,
                     "RyvoSetup file open error");
  if (ReadStockSettings(path, observer) != 0) return -1;
  size_t nameLength = strlen(name);
  if (nameLength > kStockNameSize) nameLength = kStockNameSize;
  memcpy(RecordBuffer + kDataStockName, name, nameLength);
  WriteBE16(RecordBuffer + kDataRecordVersion, kWrittenVersion);

  if (FormatStockPath(path, CsvFolder, name, ".csv") != 0)
    return StopStock(observer, kCheckNameUnusable, kCheckCsvFile, 0, NULL);
  int rows = ReadPriceFile(path, observer);
  if (rows < 0) return -1;
  SortSlots(PriceSlots, rows);
  for (int j = 0; j < rows; ++j) {
    PriceRow row;
    row.date = PriceSlots[j].date;
    for (int i = 0; i < 5; ++i)
      row.value[i] = EncodePackedValue(PriceSlots[j].mantissa[i], PriceSlots[j].exponent[i]);
    WritePriceRow(RecordBuffer + kPriceTableOffset + kPriceRowSize * j, &row);
  }
  return 0;
}

// Records go out through one large buffer: the dump is written front to
// back, so the running offset is always where the file stands and no seek
// is needed. A full disk shows when the buffer reaches the file, in the
// record that fills it or in the flush after the last one.
static char DumpOutBuffer[1 << 16];

static int WriteRecord(FILE* out, int32_t* offset, const unsigned char length[4]) {
  int32_t n = ReadLE32(length);
  if (fwrite(length, 1, 4, out) != 4) return -1;
  *offset += 4;
  if (fwrite(RecordBuffer, 1, (size_t)n, out) != (size_t)n) return -1;
  *offset += n;
  return 0;
}

static int IsTemplateLength(int32_t n) { return n >= 1 && n <= kRecordBufferSize; }

int BuildStockRecord(FILE* out, const char* name, int32_t* offset,
                     const unsigned char templateLength[4]) {
  if (name == NULL || name[0] == '\0') return -1;
  if (!IsTemplateLength(ReadLE32(templateLength))) {
    PfMessageBox("RyvoDB file Cnt.size read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  if (FillStockRecord(name, NULL) != 0) return -1;
  if (WriteRecord(out, offset, templateLength) != 0) {
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemErrorCaption, PF_MB_OK);
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
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    char entry[kNameSize];
    if (PfListGetText(list, i, entry, sizeof entry) < 0) entry[0] = '\0';
    char* lineFeed = strchr(entry, '\n');
    if (lineFeed != NULL) *lineFeed = '\0';
    if (BuildStockRecord(out, entry[0] != '\0' ? entry : NULL, &offset, recordLength) < 0)
      return -1;
  }
  // The records are written in full only once the buffer has reached the
  // file.
  if (fflush(out) != 0) {
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

// What the writer of the new dump needs; `written` tells the caller that
// the records were all written (their failures are reported where found).
struct NewDump {
  StockList list;
  int count;
  const unsigned char* headerLength;
  const unsigned char* recordLength;
  int written;
};

static int WriteNewDumpFile(FILE* out, void* context) {
  NewDump* dump = (NewDump*)context;
  setvbuf(out, DumpOutBuffer, _IOFBF, sizeof DumpOutBuffer);
  if (WriteNewDump(out, dump->list, dump->count, dump->headerLength, dump->recordLength) != 0)
    return -1;
  dump->written = 1;
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
    PfMessageBox("RyvoDB file copy read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }

  // Prove that the dump may be rewritten and take the two template lengths
  // from it before anything is written.
  unsigned char headerLength[4];
  unsigned char recordLength[4];
  {
    FILE* old = PfOpenFile(dumpPath, "r+b");
    if (old == NULL) {
      PfMessageBox("RyvoDB file write error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
    PfFileCloser closer(old);
    int ok = fread(headerLength, 1, 4, old) == 4 &&
             IsTemplateLength(ReadLE32(headerLength)) &&
             fseek(old, 4 + ReadLE32(headerLength), SEEK_SET) == 0 &&
             fread(recordLength, 1, 4, old) == 4 &&
             IsTemplateLength(ReadLE32(recordLength));
    if (!ok) {
      PfMessageBox("RyvoDB file Cnt.size read error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
  }

  NewDump dump = {list, count, headerLength, recordLength, 0};
  WholeFileResult result = kWholeFileNotCreated;
  if (FormatFolderPath(newPath, WorkFolder, kNewDumpName) == 0)
    result = WriteWholeFile(dumpPath, newPath, WriteNewDumpFile, &dump);
  if (result == kWholeFileWritten) return 0;
  if (result == kWholeFileNotCreated)
    PfMessageBox("RyvoDB file open error", kSystemErrorCaption, PF_MB_OK);
  else if (dump.written)   // the close or the replacing failed
    PfMessageBox("RyvoDB file write error", kSystemErrorCaption, PF_MB_OK);
  return -1;
}
