// Import of price histories into a stock's price CSV file: the reading of
// the dialects that quotes sites, spreadsheets and brokers write, the
// rounding of their values to packed values, and the merge by date with
// what the conversion reads from the stock's file. The file is written by
// the export's formatter and replaced whole or left as it was.
#include "import_prices.h"

#include <stddef.h>
#include <string.h>

#include "exchange.h"
#include "stock_paths.h"
#include "text_codec.h"
#include "text_lines.h"

namespace {


// The merge table: one entry per packed date, so that a date of both files
// is one row and the rows come out in date order.
enum { kDateCount = 65536, kFromFile = 1, kFromImport = 2 };
uint32_t DayValues[kDateCount][5];
unsigned char DayOrigin[kDateCount];

// The conversion's reading of the existing price file.
TextReader ExistingReader;
char ExistingLine[kLineBufferSize];

// The imported file, read in chunks; a line ends at LF, CR LF or a lone CR.
struct ImportReader {
  FILE* file;
  int pos;
  int len;
  int ended;
  int failed;   // a read error (not the end of the file)
  unsigned char data[65536];
};
ImportReader Reader;
char Line[kImportLineSize];
enum { kMaxCells = 64 };
char CellText[kImportLineSize + kMaxCells];
char* Cells[kMaxCells];
char Converted[kImportLineSize];
char OutText[kCsvTextSize];

int NextByte(ImportReader* r) {
  if (r->pos >= r->len) {
    if (r->ended) return -1;
    size_t n = fread(r->data, 1, sizeof r->data, r->file);
    r->pos = 0;
    r->len = (int)n;
    if (n == 0) {
      r->ended = 1;
      if (ferror(r->file)) r->failed = 1;
      return -1;
    }
  }
  return r->data[r->pos++];
}

int PeekByte(ImportReader* r) {
  int c = NextByte(r);
  if (c >= 0) --r->pos;
  return c;
}

// One line without its end into `line`: its length, -1 at the end of the
// file, -2 for a line longer than the buffer (the rest of it is skipped).
int ReadImportLine(ImportReader* r, char* line, int size) {
  int n = 0;
  int tooLong = 0;
  int c = NextByte(r);
  if (c < 0) return -1;
  for (; c >= 0; c = NextByte(r)) {
    if (c == '\n') break;
    if (c == '\r') {
      if (PeekByte(r) == '\n') NextByte(r);
      break;
    }
    if (n < size - 1)
      line[n++] = (char)c;
    else
      tooLong = 1;
  }
  line[n] = '\0';
  return tooLong ? -2 : n;
}

// Pass one over the file: a byte-order mark, or bytes that are all UTF-8
// sequences with at least one beyond ASCII, make it UTF-8; other bytes
// beyond ASCII make it code page 932.
int ScanEncoding(ImportReader* r) {
  PeekByte(r);   // the first chunk
  if (r->len >= 3 && r->data[0] == 0xEF && r->data[1] == 0xBB && r->data[2] == 0xBF)
    return kEncodingUtf8Bom;
  int needed = 0;     // continuation bytes still due
  int wide = 0;       // a multi-byte sequence was seen
  int valid = 1;
  int c;
  while ((c = NextByte(r)) >= 0 && valid) {
    if (needed > 0) {
      if ((c & 0xC0) != 0x80) valid = 0;
      --needed;
      continue;
    }
    if (c < 0x80) continue;
    wide = 1;
    if (c >= 0xC2 && c <= 0xDF)
      needed = 1;
    else if (c >= 0xE0 && c <= 0xEF)
      needed = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      needed = 3;
    else
      valid = 0;
  }
  if (needed > 0) valid = 0;
  if (!wide) return kEncodingAscii;
  return valid ? kEncodingUtf8 : kEncodingCp932;
}

int IsBlank(char c) { return c == ' ' || c == '\t'; }

// The separator of the file: the one of tab, semicolon and comma that the
// first line has most often outside quotes (tab, then semicolon, on a tie).
char ChooseSeparator(const char* line) {
  int tabs = 0, semicolons = 0, commas = 0, quoted = 0;
  for (const char* p = line; *p != '\0'; ++p) {
    if (*p == '"') quoted = !quoted;
    if (quoted) continue;
    if (*p == '\t') ++tabs;
    if (*p == ';') ++semicolons;
    if (*p == ',') ++commas;
  }
  if (tabs > 0 && tabs >= semicolons && tabs >= commas) return '\t';
  if (semicolons > 0 && semicolons >= commas) return ';';
  return ',';
}

// Cuts `line` at `separator` into Cells: blanks around a field dropped, a
// quoted field taken without its quotes ("" inside is one quote). Returns
// the number of fields (at most kMaxCells; the rest is not looked at).
int SplitCells(const char* line, char separator) {
  const char* p = line;
  char* out = CellText;
  int count = 0;
  for (;;) {
    while (*p != separator && IsBlank(*p)) ++p;
    Cells[count++] = out;
    char* start = out;
    if (*p == '"') {
      ++p;
      for (; *p != '\0'; ++p) {
        if (*p == '"') {
          if (p[1] != '"') {
            ++p;
            break;
          }
          ++p;
        }
        *out++ = *p;
      }
      while (*p != '\0' && *p != separator) ++p;   // after the closing quote
    } else {
      while (*p != '\0' && *p != separator) *out++ = *p++;
    }
    while (out > start && IsBlank(out[-1])) --out;
    *out++ = '\0';
    if (*p != separator || count == kMaxCells) break;
    ++p;
  }
  return count;
}

int HasHighBytes(const char* text) {
  for (const unsigned char* p = (const unsigned char*)text; *p != '\0'; ++p)
    if (*p >= 0x80) return 1;
  return 0;
}

// A field as code page 932 text: UTF-8 fields beyond ASCII converted into
// Converted; NULL when that fails.
const char* Cp932Cell(const char* cell, int encoding) {
  if ((encoding != kEncodingUtf8 && encoding != kEncodingUtf8Bom) || !HasHighBytes(cell))
    return cell;
  return Utf8ToCp932(cell, Converted, sizeof Converted) == 0 ? Converted : NULL;
}

int EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = (char)(y - 'A' + 'a');
    if (x != y) return 0;
  }
  return *a == *b;
}

enum { kColumnIgnored = kImportColumns, kColumnUnknown = -1 };

// The column a header name stands for; kColumnIgnored for the adjusted
// close, kColumnUnknown for any other name.
int ColumnOfName(const char* cell) {
  static const struct {
    const char* name;
    int column;
  } kNames[] = {
      {"Date", kImportDate},     {"日付", kImportDate},       {"Open", kImportOpen},
      {"始値", kImportOpen},     {"High", kImportHigh},       {"高値", kImportHigh},
      {"Low", kImportLow},       {"安値", kImportLow},        {"Close", kImportClose},
      {"終値", kImportClose},    {"Volume", kImportVolume},   {"出来高", kImportVolume},
      {"売買高", kImportVolume}, {"Adj Close", kColumnIgnored}, {"Adj. Close", kColumnIgnored},
      {"Adjusted Close", kColumnIgnored}, {"調整後終値", kColumnIgnored},
  };
  char name[64];
  size_t n = strlen(cell);
  if (n >= sizeof name) return kColumnUnknown;
  memcpy(name, cell, n + 1);
  while (n > 0 && name[n - 1] == '*') name[--n] = '\0';   // "Close*", "Adj Close**"
  for (const auto& known : kNames)
    if (EqualsIgnoringCase(name, known.name)) return known.column;
  return kColumnUnknown;
}

// Reads the header line in Cells: 1 when it names a date column (columns
// filled), 0 when it names none.
int ReadHeader(int count, int encoding, int* column) {
  for (int i = 0; i < kImportColumns; ++i) column[i] = -1;
  for (int i = 0; i < count; ++i) {
    const char* cell = Cp932Cell(Cells[i], encoding);
    if (cell == NULL) continue;
    int c = ColumnOfName(cell);
    if (c >= 0 && c < kImportColumns && column[c] < 0) column[c] = i;
  }
  if (column[kImportDate] < 0) return 0;
  // This system's own header names five columns; the sixth is the volume.
  if (column[kImportVolume] < 0) {
    int own = 1;
    for (int i = 0; i < kImportVolume; ++i)
      if (column[i] != i) own = 0;
    if (own) column[kImportVolume] = 5;
  }
  return 1;
}

// The fields a data line under the header in Cells may hold: the header's
// own (empty ones at its end not counted), or more when this system's own
// header names five and the volume is taken as the sixth.
int FieldsNamed(int count, const int* column) {
  while (count > 0 && Cells[count - 1][0] == '\0') --count;
  for (int i = 0; i < kImportColumns; ++i)
    if (column[i] >= count) count = column[i] + 1;
  return count;
}

// Reads 1 to `most` digits at *p; -1 when there is none or more follow.
int ReadNumber(const char** p, int most) {
  int value = 0, n = 0;
  while (**p >= '0' && **p <= '9') {
    if (++n > most) return -1;
    value = value * 10 + (**p - '0');
    ++*p;
  }
  return n > 0 ? value : -1;
}

int StartsWith(const char* text, const char* prefix) {
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

struct ValueMarks {
  int dots, commas;
  const char* lastMark;   // the last "." or ","
};

}  // namespace

const char* ImportSkipText(int reason) {
  static const char* const kTexts[kSkipReasonCount] = {
      "",
      "value missing (empty, null, NaN or -)",
      "value that is no number",
      "value the handheld cannot hold (negative or above 13,107,100,000)",
      "date that does not read",
      "date outside 1904-2031",
      "fields missing",
      "line too long",
      "more values than the header names (thousands separators without quotes?)",
  };
  return reason > kSkipNone && reason < kSkipReasonCount ? kTexts[reason] : "?";
}

int ParseImportDate(const char* text, unsigned* date) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  const char* start = p;
  int year, month, day;
  while (*p >= '0' && *p <= '9') ++p;
  int digits = (int)(p - start);
  p = start;
  if (digits == 8) {
    year = ReadNumber(&p, 8);
    day = year % 100;
    month = year / 100 % 100;
    year /= 10000;
  } else if (digits == 4) {
    year = ReadNumber(&p, 4);
    if (*p == '-' || *p == '/') {
      char mark = *p++;
      month = ReadNumber(&p, 2);
      if (*p++ != mark) return kSkipDateUnreadable;
      day = ReadNumber(&p, 2);
    } else if (StartsWith(p, "年")) {
      p += strlen("年");
      month = ReadNumber(&p, 2);
      if (!StartsWith(p, "月")) return kSkipDateUnreadable;
      p += strlen("月");
      day = ReadNumber(&p, 2);
      if (!StartsWith(p, "日")) return kSkipDateUnreadable;
      p += strlen("日");
    } else {
      return kSkipDateUnreadable;
    }
  } else {
    return kSkipDateUnreadable;
  }
  // A time of day after the date ("2025-01-06 15:00", "2025-01-06T00:00Z").
  if ((*p == ' ' || *p == 'T') && p[1] >= '0' && p[1] <= '9') p += strlen(p);
  while (IsBlank(*p)) ++p;
  if (*p != '\0' || month < 1 || month > 12 || day < 1) return kSkipDateUnreadable;
  if (day > DaysInMonth(year, month)) return kSkipDateUnreadable;
  if (year < 1904 || year > 2031) return kSkipDateOutOfRange;
  *date = EncodePackedDate(year, month, day);
  return 0;
}

int ParseImportValue(const char* text, char separator, uint32_t* field, int* changed,
                     double* change) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  const char* end = p + strlen(p);
  while (end > p && IsBlank(end[-1])) --end;
  char value[64];
  size_t n = (size_t)(end - p);
  if (n >= sizeof value) return kSkipValueUnreadable;
  memcpy(value, p, n);
  value[n] = '\0';
  static const char* const kMissing[] = {"", "null", "nan", "-", "--", "n/a", "na"};
  for (const char* missing : kMissing)
    if (EqualsIgnoringCase(value, missing)) return kSkipValueMissing;

  p = value;
  int negative = 0;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // The marks decide which one is the decimal mark.
  ValueMarks marks = {0, 0, NULL};
  int digits = 0;
  for (const char* q = p; *q != '\0'; ++q) {
    if (*q >= '0' && *q <= '9') {
      ++digits;
    } else if (*q == '.' || *q == ',') {
      if (*q == '.') ++marks.dots;
      else ++marks.commas;
      marks.lastMark = q;
    } else {
      return kSkipValueUnreadable;
    }
  }
  if (digits == 0) return kSkipValueUnreadable;
  char decimal = '\0';
  if (marks.dots > 0 && marks.commas > 0) {
    decimal = *marks.lastMark;
    if ((decimal == '.' ? marks.dots : marks.commas) > 1) return kSkipValueUnreadable;
  } else if (marks.dots == 1) {
    decimal = '.';
  } else if (marks.commas == 1) {
    const char* after = marks.lastMark + 1;
    decimal = strlen(after) == 3 && separator != ';' ? '\0' : ',';
  }
  // Every thousands mark is followed by three digits.
  for (const char* q = p; *q != '\0'; ++q) {
    if ((*q != '.' && *q != ',') || *q == decimal) continue;
    int group = 0;
    while (q[group + 1] >= '0' && q[group + 1] <= '9') ++group;
    if (group != 3) return kSkipValueUnreadable;
  }
  if (negative) return kSkipValueTooLarge;

  // The value as hundredths H and the digits after the second decimal.
  const uint64_t kMaxHundredths = 1310710000000ull;   // 13,107,100,000.00
  uint64_t whole = 0;
  int tooLarge = 0;
  int fraction = 0;         // decimals read so far
  unsigned hundredths = 0;  // the first two decimals
  int roundDigit = 0;       // the third decimal
  int tailNonZero = 0;      // any decimal after the second is not zero
  double tail = 0.0, scale = 0.1;   // the decimals after the second, as a fraction
  int afterPoint = 0;
  for (const char* q = p; *q != '\0'; ++q) {
    if (*q == decimal) {
      afterPoint = 1;
      continue;
    }
    if (*q == '.' || *q == ',') {
      if (afterPoint) return kSkipValueUnreadable;   // a thousands mark after the point
      continue;
    }
    int d = *q - '0';
    if (!afterPoint) {
      if (!tooLarge) whole = whole * 10 + (unsigned)d;
      if (whole > kMaxHundredths / 100) tooLarge = 1;
    } else if (fraction < 2) {
      hundredths = hundredths * 10 + (unsigned)d;
      ++fraction;
    } else {
      if (fraction == 2) roundDigit = d;
      if (d != 0) tailNonZero = 1;
      if (fraction < 17) {
        tail += d * scale;
        scale /= 10;
      }
      ++fraction;
    }
  }
  if (fraction == 1) hundredths *= 10;
  if (tooLarge) return kSkipValueTooLarge;
  uint64_t h = whole * 100 + hundredths;
  if (h > kMaxHundredths || (h == kMaxHundredths && tailNonZero)) return kSkipValueTooLarge;

  // The finest step that holds the value in 17 bits: k = exponent + 2.
  static const uint64_t kPowers[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  int k = 0;
  while (h / kPowers[k] > 131071) ++k;
  uint64_t q = h / kPowers[k];
  uint64_t r = h % kPowers[k];
  int up = k == 0 ? roundDigit >= 5 : r * 2 >= kPowers[k];
  // Above 131071 the nearer value is the one below: 131071 x 10^k.
  if (up && q < 131071) ++q;
  *field = EncodePackedValue((int32_t)q, k - 2);
  uint64_t rounded = q * kPowers[k];
  *changed = rounded != h || tailNonZero;
  double written = (double)h + tail;
  double difference = (double)rounded - written;
  if (difference < 0) difference = -difference;
  *change = written > 0 ? difference / written : 0.0;
  return 0;
}

namespace {

void NoteSkip(ImportSummary* s, int reason, int line) {
  if (s->skipped[reason] < kImportListedLines) s->skippedLine[reason][s->skipped[reason]] = line;
  ++s->skipped[reason];
  ++s->rowsSkipped;
}

// The data line in Cells (count fields) into the merge table, or the reason
// it gives no row.
int ReadDataRow(ImportSummary* s, int count, int encoding) {
  int need = 0;
  for (int i = 0; i < kImportColumns; ++i)
    if (s->column[i] > need) need = s->column[i];
  if (count <= need) return kSkipFieldsMissing;
  // Empty fields at the end (a trailing separator) name no value.
  while (count > s->fieldsNamed && Cells[count - 1][0] == '\0') --count;
  if (count > s->fieldsNamed) return kSkipExtraValues;
  const char* cell = Cp932Cell(Cells[s->column[kImportDate]], encoding);
  unsigned date = 0;
  if (cell == NULL) return kSkipDateUnreadable;
  int reason = ParseImportDate(cell, &date);
  if (reason != 0) return reason;
  uint32_t fields[5];
  int changed[5] = {0, 0, 0, 0, 0};
  double change[5] = {0, 0, 0, 0, 0};
  // A close-only file gives its close as every price; no volume gives 0.
  static const int kOrder[5] = {kImportClose, kImportOpen, kImportHigh, kImportLow,
                                kImportVolume};
  for (int column : kOrder) {
    int v = column - 1;
    int at = s->column[column];
    if (at < 0) {
      fields[v] = column == kImportVolume ? 0 : fields[kImportClose - 1];
      continue;
    }
    reason = ParseImportValue(Cells[at], s->separator, &fields[v], &changed[v], &change[v]);
    if (reason != 0) return reason;
  }
  for (int v = 0; v < 5; ++v) {
    if (!changed[v] || s->column[v + 1] < 0) continue;
    ++s->valuesRounded;
    if (change[v] > s->largestChange) s->largestChange = change[v];
  }
  if (DayOrigin[date] & kFromImport) ++s->duplicateDates;
  DayOrigin[date] |= kFromImport;
  memcpy(DayValues[date], fields, sizeof fields);
  ++s->rowsUsed;
  return 0;
}

enum { kHeaderSearchLines = 20 };

// Reads the imported file into the merge table; 0, or -1 after its message.
int ReadImportFile(const char* path, ImportSummary* s) {
  FILE* file = path[0] != '\0' ? PfOpenFile(path, "rb") : NULL;
  if (file == NULL) {
    PfMessageBox("Import file open error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  PfFileCloser closer(file);
  memset(&Reader, 0, offsetof(ImportReader, data));
  Reader.file = file;
  int encoding = ScanEncoding(&Reader);
  if (Reader.failed || fseek(file, encoding == kEncodingUtf8Bom ? 3 : 0, SEEK_SET) != 0) {
    PfMessageBox("Import file read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  s->encoding = encoding;
  memset(&Reader, 0, offsetof(ImportReader, data));
  Reader.file = file;

  int header = 0;   // 1 once the columns are known
  int lineNumber = 0;
  for (;;) {
    int n = ReadImportLine(&Reader, Line, sizeof Line);
    if (n == -1) break;
    ++lineNumber;
    if (n == -2) {
      if (header) {
        ++s->linesRead;
        NoteSkip(s, kSkipLineTooLong, lineNumber);
      }
      continue;
    }
    const char* p = Line;
    while (IsBlank(*p)) ++p;
    if (*p == '\0') continue;
    if (!header) s->separator = ChooseSeparator(Line);   // a title may have none
    int count = SplitCells(Line, s->separator);
    if (!header) {
      unsigned date;
      if (ReadHeader(count, encoding, s->column)) {
        if (s->column[kImportClose] < 0) {
          PfMessageBox("Import file header error (no Close column)", kSystemErrorCaption, PF_MB_OK);
          return -1;
        }
        s->headerLine = lineNumber;
        s->fieldsNamed = FieldsNamed(count, s->column);
        header = 1;
        continue;
      }
      const char* first = Cp932Cell(Cells[0], encoding);
      int reason = first != NULL ? ParseImportDate(first, &date) : kSkipDateUnreadable;
      if (reason != 0 && reason != kSkipDateOutOfRange) {
        // A title above the header; give up after a few such lines.
        ++s->linesPassedOver;
        if (lineNumber >= kHeaderSearchLines) break;
        continue;
      }
      // No header line: this system's own order.
      for (int i = 0; i < kImportColumns; ++i) s->column[i] = i;
      s->fieldsNamed = kImportColumns;
      header = 1;
    }
    ++s->linesRead;
    int reason = ReadDataRow(s, count, encoding);
    if (reason != 0) NoteSkip(s, reason, lineNumber);
  }
  if (Reader.failed) {
    PfMessageBox("Import file read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  if (!header) {
    PfMessageBox("Import file header error (no Date column)", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

// Clears the merge table and the summary for one merge.
void StartMerge(ImportSummary* s) {
  memset(s, 0, sizeof *s);
  for (int i = 0; i < kImportColumns; ++i) s->column[i] = -1;
  memset(DayOrigin, 0, sizeof DayOrigin);
}

// One row that the stock holds already (a later one of its date wins).
void AddExistingRow(unsigned date, const uint32_t* values, ImportSummary* s) {
  memcpy(DayValues[date], values, sizeof DayValues[date]);
  DayOrigin[date] = kFromFile;
  ++s->existingRows;
}

// The rows of the stock's price CSV file as the conversion reads them:
// the first line passed over, then complete lines up to the first one that
// is not.
void ReadExistingPrices(const char* path, ImportSummary* s) {
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL) return;   // a new price file
  PfFileCloser closer(file);
  TextReaderInit(&ExistingReader, file);
  int lineNumber = 1;
  if (ReadTextLine(&ExistingReader, ExistingLine, kMaxLineChars + 1) < 0) return;
  while (ReadTextLine(&ExistingReader, ExistingLine, kMaxLineChars + 1) >= 0) {
    ++lineNumber;
    PriceSlot slot;
    if (ParsePriceLine(ExistingLine, &slot) != 0) {
      s->existingStopLine = lineNumber;
      break;
    }
    if (slot.date == 0) continue;   // the end marker of a table, never a row
    uint32_t values[5];
    for (int v = 0; v < 5; ++v) values[v] = EncodePackedValue(slot.mantissa[v], slot.exponent[v]);
    AddExistingRow(slot.date, values, s);
  }
}

// The imported file into the merge table, then the 260 latest dates of the
// table into `table`, oldest first: 0, or -1 after its message when the
// file cannot be read or gives no row (`table` then unchanged).
int FinishMerge(const char* file, ImportSummary* s, PriceTable* table) {
  if (ReadImportFile(file, s) != 0) return -1;
  if (s->rowsUsed == 0) {
    PfMessageBox("Import file has no usable price row", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  int kept = 0;
  unsigned first = 0;
  for (int date = kDateCount - 1; date > 0; --date) {
    if (DayOrigin[date] == 0) continue;
    if (DayOrigin[date] == (kFromFile | kFromImport)) ++s->datesReplaced;
    if (DayOrigin[date] == kFromImport) ++s->datesAdded;
    if (kept == kMaxPriceRows) {
      ++s->datesLeftOut;
      continue;
    }
    ++kept;
    first = (unsigned)date;
  }
  table->count = 0;
  for (unsigned date = first; kept > 0 && date < kDateCount; ++date) {
    if (DayOrigin[date] == 0) continue;
    PriceRow* row = &table->row[table->count++];
    row->date = date;
    memcpy(row->value, DayValues[date], sizeof row->value);
  }
  s->rowsStored = table->count;
  if (table->count > 0) {
    s->firstDate = table->row[0].date;
    s->lastDate = table->row[table->count - 1].date;
  }
  return 0;
}

PriceTable Merged;

}  // namespace

int MergePriceFile(const char* file, PriceTable* table, ImportSummary* summary) {
  StartMerge(summary);
  for (int i = 0; i < table->count; ++i)
    if (table->row[i].date != 0) AddExistingRow(table->row[i].date, table->row[i].value, summary);
  if (FinishMerge(file, summary, &Merged) != 0) return -1;
  memcpy(table, &Merged, sizeof *table);
  return 0;
}

int ImportPrices(const char* name, const char* file, int replace, ImportSummary* summary) {
  return MergeStockCsv(name, file, replace, 1, summary);
}

int MergeStockCsv(const char* name, const char* file, int replace, int write,
                  ImportSummary* summary) {
  StartMerge(summary);
  char path[kPathSize];
  if (strlen(name) > kStockNameSize || FormatStockPath(path, CsvFolder, name, ".csv") != 0) {
    PfMessageBox("RyvoData file create error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  if (!replace) ReadExistingPrices(path, summary);
  if (FinishMerge(file, summary, &Merged) != 0) return -1;
  // The price CSV file's text, in the export's line format.
  size_t header = strlen(kCsvHeaderLine);
  memcpy(OutText, kCsvHeaderLine, header);
  char* p = OutText + header;
  for (int i = 0; i < Merged.count; ++i) p += FormatCsvLine(p, &Merged.row[i]);
  int length = (int)(p - OutText);
  if (!write) return 0;
  WholeFileResult status = ReplaceWholeFile(path, OutText, length);
  if (status != kWholeFileWritten) {
    PfMessageBox(status == kWholeFileNotCreated ? "RyvoData file create error"
                                                : "RyvoData file write error",
                 kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

PriceFileMatch MatchPriceFileName(const char* fileName, const char* stockName) {
  char host[kPathSize];
  if (stockName[0] == '\0' || HostStockName(stockName, host, sizeof host) != 0) return kMatchNone;
  size_t n = strlen(host);
  const char* lastDot = strrchr(fileName, '.');
  size_t base = lastDot != NULL && lastDot != fileName ? (size_t)(lastDot - fileName)
                                                      : strlen(fileName);
  if (base == n && memcmp(fileName, host, n) == 0) return kMatchName;
  size_t code = strcspn(fileName, "._");
  if (code != n || n == 0) return kMatchNone;
  for (size_t i = 0; i < n; ++i) {
    char a = fileName[i], b = host[i];
    if (a >= 'a' && a <= 'z') a = (char)(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = (char)(b - 'a' + 'A');
    if (a != b) return kMatchNone;
  }
  return kMatchCode;
}
