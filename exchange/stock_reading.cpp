// The stock reading: the stock settings file and the price CSV file of one
// stock read into the DataRec in RecordBuffer, for the conversion and for
// the check alike. Owns the line rules of both files (settings lines,
// settings numbers, the eight pieces of a price line and its decimal
// values) and the one loop over the lines of each file.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "price_table.h"
#include "stock_check.h"
#include "stock_paths.h"
#include "stock_reading.h"

#include "folder_rules.h"
#include "text_lines.h"


// Fixed buffers of the reading, alive for the whole run; each reading
// starts them afresh.
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

// The packed pair of the number d * 10^-decimals (d at most kValueLimit,
// decimals 0 to 2): decimals that are all zero count as none, and such a
// number takes no negative exponent; then the mantissa is the number cut
// by 10^k, k the least with the number at most 131071 * 10^k, the digits
// cut off dropped. Returns 1 when digits were cut off.
static inline int FitPackedPair(uint64_t d, int decimals, int nonZeroDecimal,
                                signed char* exponent, int32_t* mantissa) {
  uint64_t v = d;
  if (!nonZeroDecimal)
    for (int i = 0; i < decimals; ++i) v /= 10;
  int k = 0;
  for (uint64_t limit = 131071; v > limit; limit *= 10) ++k;
  uint64_t m = v;
  uint64_t power = 1;
  for (int i = 0; i < k; ++i) {
    m /= 10;
    power *= 10;
  }
  *mantissa = (int32_t)m;
  *exponent = (signed char)(k - (nonZeroDecimal ? decimals : 0));
  return m * power != v;
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

// A line with double quotes, as a spreadsheet saves it, read as CSV
// quotes: a quote that opens a piece and the one that closes it are not
// part of it, a doubled quote inside stands for one, and a comma inside
// quotes does not cut the line (it is read as the blank that groups
// digits: "2,804.50" is 2804.50). Returns the text to cut: `line` itself
// when it holds no quote, so that such lines are cut exactly as ever.
static const char* UnquotePriceLine(const char* line, char* unquoted, int size) {
  if (strchr(line, '"') == NULL) return line;
  int n = 0;
  int quoted = 0;
  for (const char* p = line; *p != '\0' && n < size - 1; ++p) {
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
  // The unquoted copy lives in the notes, which outlive the call.
  char copy[kLineBufferSize];
  if (notes != NULL) {
    memset(notes, 0, sizeof *notes);
    notes->missing = -1;
  }
  line = UnquotePriceLine(line, notes != NULL ? notes->unquoted : copy, kLineBufferSize);
  if (notes != NULL) notes->cut = line;
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

// Reads the 14 settings lines from Reader into the DataRec in RecordBuffer
// (lines 2 to 14; the name is the caller's).
static int ReadSettingsLines(const StockReadObserver* observer) {
  static const char* const kMissingLine[14] = {
      "RyvoSetup file StockName read error", "RyvoSetup file OnlyClose read error",
      "RyvoSetup file WebScrap read error",  "RyvoSetup file FixedScale read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error",
      "RyvoSetup file read error",           "RyvoSetup file read error"};
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

// Reads the stock settings file into the DataRec in RecordBuffer.
static int ReadStockSettings(const char* path, const StockReadObserver* observer) {
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL)
    return StopStock(observer, kCheckSettingsMissing, kCheckSettingsFile, 0,
                     "RyvoSetup file open error");
  PfFileCloser closer(file);
  TextReaderInit(&Reader, file);
  return ReadSettingsLines(observer);
}

// The stock name as a DataRec holds it: at most 20 bytes.
static void StoreStockName(const char* name) {
  size_t nameLength = strlen(name);
  if (nameLength > kStockNameSize) nameLength = kStockNameSize;
  memset(RecordBuffer + kDataStockName, 0, kStockNameSize);
  memcpy(RecordBuffer + kDataStockName, name, nameLength);
}

int StoreStockSettings(const char* text, int length) {
  unsigned char* rec = RecordBuffer;
  rec[kDataFlags] &= (unsigned char)~(kFlagOnlyClose | kFlagWebScrap | kFlagFixedScale);
  memset(rec + kDataWebDocument, 0, kWebDocumentSize);
  memset(rec + kDataKeyword, 0, kKeywordSize);
  memset(rec + kDataPurchaseCount, 0, kDataVolumeScaleMin + 4 - kDataPurchaseCount);
  TextReaderInitBytes(&Reader, text, length);
  if (ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1) < 0) {
    PfMessageBox("RyvoSetup file StockName read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  StripLineEnd(LineBuffer);
  StoreStockName(LineBuffer);
  TextReaderInitBytes(&Reader, text, length);
  return ReadSettingsLines(NULL);
}

// Reads the price CSV file into the slot table; the row count, or -1.
// One loop for the conversion and the check: each data line is cut by
// ParsePriceLineNoted straight into the next slot of the ring of 260 (an
// incomplete line leaves the slot as it was and is not counted, and ends
// the reading), and the observer, when there is one, is told each line
// with the slot it went into. The notes are only made for an observer and
// change nothing of the slot. Without an observer the loop stops at the
// first incomplete line; with one it goes on to tell the lines after it,
// which the conversion never reads, as ignored, and no slot changes.
static int ReadPriceFile(const char* path, const StockReadObserver* observer) {
  FILE* file = PfOpenFile(path, "rb");
  // No message: the stock simply fails.
  if (file == NULL) return StopStock(observer, kCheckCsvMissing, kCheckCsvFile, 0, NULL);
  PfFileCloser closer(file);
  TextReaderInit(&Reader, file);
  int headerLength = ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1);
  if (headerLength < 0)
    return StopStock(observer, kCheckCsvEmpty, kCheckCsvFile, 0, "Data file read error");
  int told = observer != NULL && observer->PriceLine != NULL;
  if (told) observer->PriceLine(observer->context, 0, LineBuffer, headerLength, -3, NULL, NULL);
  memset(PriceSlots, 0, sizeof PriceSlots);
  PriceLineNotes notes;
  int next = 0;
  int wrapped = 0;
  int ended = 0;
  int line = 0;
  int length;
  while ((length = ReadTextLine(&Reader, LineBuffer, kMaxLineChars + 1)) >= 0) {
    ++line;
    int at = -2;   // the slot of the line; -1 incomplete, -2 after the end
    if (!ended) {
      if (ParsePriceLineNoted(LineBuffer, &PriceSlots[next], told ? &notes : NULL) != 0) {
        ended = 1;
        at = -1;
      } else {
        at = next;
        if (++next == kMaxPriceRows) {
          next = 0;
          wrapped = 1;
        }
      }
    }
    if (!told) {
      if (ended) break;
      continue;
    }
    observer->PriceLine(observer->context, line, LineBuffer, length, at,
                        at >= 0 ? &PriceSlots[at] : NULL, at != -2 ? &notes : NULL);
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
  // Nor does a name whose files another stock's name would make: neither
  // stock is read from them.
  if (StockSharesFile(name))
    return StopStock(observer, kCheckNameShared, kCheckSettingsFile, 0,
                     "RyvoSetup file open error");
  if (ReadStockSettings(path, observer) != 0) return -1;
  StoreStockName(name);
  WriteBE16(RecordBuffer + kDataRecordVersion, kWrittenVersion);

  if (FormatStockPath(path, CsvFolder, name, ".csv") != 0)
    return StopStock(observer, kCheckNameUnusable, kCheckCsvFile, 0, NULL);
  int rows = ReadPriceFile(path, observer);
  if (rows < 0) return -1;
  StorePriceTable(PriceSlots, rows);
  return 0;
}
