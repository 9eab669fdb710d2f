// The check of one stock before a HotSync: the conversion's own reading
// (FillStockRecord) with an observer that turns every silence of that
// reading into a finding with its file and line.
#include "stock_check.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "exchange.h"
#include "import_prices.h"
#include "stock_paths.h"
#include "stock_reading.h"
#include "text_codec.h"
#include "text_lines.h"

namespace {

const char* const kKindNames[kCheckKindCount] = {
    "settings-missing", "settings-short", "csv-missing",  "csv-empty",
    "name-unusable",    "line-incomplete", "line-split",  "rows-dropped",
    "value-zeroed",     "value-cut",      "date-wraps",   "date-invalid",
    "date-duplicate",   "text-cut",       "number-cut",   "name-differs",
    "line-extra-fields", "settings-encoding", "text-control", "value-format",
    "date-format",      "name-shares-file"};

// How the date at the start of a price line is written.
enum DateForm {
  kDateFormRead,      // year/month/day, or no known form: the conversion's reading
  kDateFormImport,    // a form `ryvo import` reads (2026-01-05, 20260105, 2026年1月5日)
  kDateFormOther,     // a form neither reads (year last, points)
};

// The column names of the price CSV file's header (code page 932).
const char* const kColumns[5] = {"始値", "高値", "安値", "終値", "売買高"};
const char* const kPieces[8] = {"year", "month", "day", "始値", "高値", "安値", "終値", "売買高"};

// What the check keeps of the line in each slot, so that findings are
// told only for the rows that are kept.
struct SlotNote {
  int line;            // physical line of the file
  unsigned date;
  int32_t date3[3];
  int loss[5];
  char value[5][40];   // each value's text
  char text[kCheckTextSize];
  int extra;           // non-blank pieces after the volume
  int thousands;       // they look like thousands separators
  int dateForm;        // DateForm of the date text
  char dateShown[24];  // the date the form stands for ("" unknown)
};

struct CheckState {
  StockCheck* check;
  const char* name;
  // Settings file: physical lines.
  int settingsPhysical;
  int settingsSplit;        // the last read took a full buffer without a line end
  int settingsSplitLine;    // the physical line already told as split
  char nameLine[kCheckTextSize];   // line 1 without its line end
  int nameLinePhysical;     // its physical line; 0 when not read
  int utf8Needed;           // continuation bytes still due
  int utf8Invalid;          // a byte that UTF-8 does not allow there
  int nonAsciiLine;         // physical line of the first byte beyond ASCII; 0 none
  int nonAsciiStored;       // such a byte in the Web document or keyword as stored
  char nonAsciiText[kCheckTextSize];   // that line as read
  // Price file.
  int physical;             // physical line of the last read
  int pendingSplit;         // the last read was a piece of a longer line
  int splitToldLine;
  int complete;             // complete lines read
  int descending;           // a complete line's date is not after the one before
  unsigned previousDate;
  int droppedCount, droppedFirst, droppedLast;
  unsigned droppedMin, droppedMax;
  int endLine;              // physical line of the incomplete line, 0 none
  int endBlank;             // that line holds nothing but blanks
  char endText[kCheckTextSize];
  char endWhy[96];
  int endForm;              // DateForm of the incomplete line's date
  char endDateShown[24];
  int ignoredAfter;         // physical lines after it
  int ignoredData;          // those of them that are not blank
  SlotNote slots[kMaxPriceRows];
};

CheckState State;

// One cause: the same kind, file and column, and both lose or both inform.
int SameCause(const CheckFinding* a, const CheckFinding* b) {
  return a->kind == b->kind && a->file == b->file && a->column == b->column &&
         a->informs == b->informs;
}

// Findings of one cause on kCheckGroupMinimum lines or more become one:
// the finding of the first line, with the count and the last line.
void GroupFindings(StockCheck* c) {
  for (int i = 0; i < c->findingCount; ++i) {
    int total = 0;
    for (int j = i; j < c->findingCount; ++j)
      if (SameCause(&c->findings[i], &c->findings[j])) total += c->findings[j].count;
    if (total < kCheckGroupMinimum) continue;
    int first = i, lastLine = c->findings[i].lastLine;
    for (int j = i + 1; j < c->findingCount; ++j) {
      if (!SameCause(&c->findings[i], &c->findings[j])) continue;
      if (c->findings[j].line < c->findings[first].line) first = j;
      if (c->findings[j].lastLine > lastLine) lastLine = c->findings[j].lastLine;
    }
    if (first != i) c->findings[i] = c->findings[first];
    c->findings[i].count = total;
    c->findings[i].lastLine = lastLine;
    int kept = i + 1;
    for (int j = i + 1; j < c->findingCount; ++j)
      if (!SameCause(&c->findings[i], &c->findings[j])) c->findings[kept++] = c->findings[j];
    c->findingCount = kept;
  }
}

CheckFinding* Add(CheckState* s, int kind, int file, int line, int column, const char* text,
                  const char* format, ...) {
  StockCheck* c = s->check;
  if (c->findingCount >= kMaxCheckFindings) GroupFindings(c);
  if (c->findingCount >= kMaxCheckFindings) {
    ++c->findingsLeftOut;
    return NULL;
  }
  CheckFinding* f = &c->findings[c->findingCount++];
  f->kind = kind;
  f->file = file;
  f->line = line;
  f->column = column;
  f->informs = 0;
  f->count = 1;
  f->lastLine = line;
  snprintf(f->text, sizeof f->text, "%s", text != NULL ? text : "");
  va_list args;
  va_start(args, format);
  vsnprintf(f->message, sizeof f->message, format, args);
  va_end(args);
  return f;
}

// Marks a finding (NULL: one left out) as one that only informs.
void Informs(CheckFinding* f) {
  if (f != NULL) f->informs = 1;
}

// The text of a line without its line end.
void LineText(const char* line, char* out, int size) {
  snprintf(out, (size_t)size, "%s", line);
  size_t n = strlen(out);
  if (n > 0 && out[n - 1] == '\n') out[--n] = '\0';
}

// A physical line of a file read in pieces: a read that took the whole
// buffer without a line end continues on the next read.
// A line of nothing but blanks and its line end: it holds no price.
int IsBlank(const char* text, int length) {
  for (int i = 0; i < length; ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') return 0;
  return 1;
}

int IsPiece(const char* text, int length) {
  return length == kMaxLineChars && text[length - 1] != '\n';
}

void OnStop(void* context, int kind, int file, int line) {
  CheckState* s = (CheckState*)context;
  s->check->stopsConversion = 1;
  switch (kind) {
    case kCheckSettingsMissing:
      Add(s, kind, file, 0, -1, NULL, "the settings file cannot be opened; the conversion stops here");
      break;
    case kCheckSettingsShort:
      Add(s, kind, file, s->settingsPhysical, -1, NULL,
          "the file ends before line %d of 14; the conversion stops here", line);
      break;
    case kCheckCsvMissing:
      Add(s, kind, file, 0, -1, NULL, "the price file cannot be opened; the conversion stops here");
      break;
    case kCheckCsvEmpty:
      Add(s, kind, file, 0, -1, NULL, "the price file is empty; the conversion stops here");
      break;
    case kCheckNameShared:
      Add(s, kind, file, 0, -1, s->name,
          "another stock's name makes the same file name; the conversion stops here");
      break;
    default:
      Add(s, kCheckNameUnusable, file, 0, -1, s->name,
          "the stock name cannot be a file name; the conversion stops here");
      break;
  }
}

int IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// A text with its control bytes written as \r, \t or \xNN: `out`, or NULL
// when the first `length` bytes hold none. The trail byte of a code page
// 932 character is never a control byte, so no character is split.
const char* EscapedControls(const char* text, int length, char* out, int size) {
  int found = 0, n = 0;
  for (int i = 0; i < length && n < size - 5; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (!IsControl(c)) {
      out[n++] = (char)c;
      continue;
    }
    found = 1;
    if (c == '\r' || c == '\t')
      n += snprintf(out + n, (size_t)(size - n), "\\%c", c == '\r' ? 'r' : 't');
    else
      n += snprintf(out + n, (size_t)(size - n), "\\x%02X", c);
  }
  out[n] = '\0';
  return found ? out : NULL;
}

// A control byte in the text of settings line 1, 5 or 6 as stored
// (`length` bytes of `text`): line 1's only informs, since the list's
// name is the one stored.
void TellControls(CheckState* s, int line, const char* text, int length) {
  char shown[kCheckTextSize];
  if (EscapedControls(text, length, shown, sizeof shown) == NULL) return;
  int lastIsCr = length > 0 && text[length - 1] == '\r';
  const char* hint = lastIsCr ? "; the line ends in CR CR LF: save the file with CR LF line ends"
                              : "; remove it";
  if (line == 1) {
    Informs(Add(s, kCheckTextControl, kCheckSettingsFile, s->settingsPhysical, -1, shown,
                "the name holds a control byte; the list's name is used, without it%s", hint));
    return;
  }
  Add(s, kCheckTextControl, kCheckSettingsFile, s->settingsPhysical, -1, shown,
      "the %s keeps a control byte, which the handheld takes as part of the text%s",
      line == 5 ? "Web document" : "keyword", hint);
}

// The bytes of one settings read, for the file's encoding: UTF-8 when all
// its bytes are UTF-8 sequences and one is beyond ASCII. `stored` bytes
// from the start are kept in the record.
void NoteEncoding(CheckState* s, const char* text, int length, int stored) {
  for (int i = 0; i < length; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c >= 0x80) {
      if (s->nonAsciiLine == 0) {
        s->nonAsciiLine = s->settingsPhysical;
        LineText(text, s->nonAsciiText, sizeof s->nonAsciiText);
      }
      if (i < stored) s->nonAsciiStored = 1;
    }
    if (s->utf8Needed > 0) {
      if ((c & 0xC0) != 0x80) s->utf8Invalid = 1;
      --s->utf8Needed;
    } else if (c >= 0xC2 && c <= 0xDF) {
      s->utf8Needed = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      s->utf8Needed = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      s->utf8Needed = 3;
    } else if (c >= 0x80) {
      s->utf8Invalid = 1;
    }
  }
}

void OnSettingsLine(void* context, int line, const char* text, int length) {
  CheckState* s = (CheckState*)context;
  int continues = s->settingsSplit;
  if (!continues) ++s->settingsPhysical;
  s->settingsSplit = IsPiece(text, length);
  if (s->settingsSplit && s->settingsSplitLine != s->settingsPhysical) {
    s->settingsSplitLine = s->settingsPhysical;
    Add(s, kCheckLineSplit, kCheckSettingsFile, s->settingsPhysical, -1, NULL,
        "the line is longer than %d bytes and is read as several lines: every later line "
        "is taken for the one after it", kMaxLineChars);
  }
  // The Web document and keyword as stored: the line without its line
  // end, up to a zero byte, cut to the field.
  char held[kCheckTextSize];
  LineText(text, held, sizeof held);
  int stored = 0;
  if (line == 5 || line == 6) {
    int width = line == 5 ? kWebDocumentSize : kKeywordSize;
    stored = (int)strlen(held) < width ? (int)strlen(held) : width;
    TellControls(s, line, held, stored);
  }
  NoteEncoding(s, text, length, stored);
  if (line == 1 && !continues) {
    snprintf(s->nameLine, sizeof s->nameLine, "%s", held);
    s->nameLinePhysical = s->settingsPhysical;
    TellControls(s, 1, held, (int)strlen(held));
  }
}

// What is told of the settings file once it is read: its encoding, and
// line 1 naming another stock. A name that differs only by its control
// bytes, or by being written in UTF-8, is told under those kinds.
void TellSettings(CheckState* s) {
  static char converted[kCheckTextSize * 2];
  int utf8 = s->nonAsciiLine > 0 && !s->utf8Invalid && s->utf8Needed == 0 &&
             Utf8ToCp932(s->nonAsciiText, converted, sizeof converted) == 0;
  if (utf8) {
    CheckFinding* f = Add(
        s, kCheckSettingsEncoding, kCheckSettingsFile, s->nonAsciiLine, -1, converted,
        "the file is UTF-8, not code page 932: %s; save it as Shift_JIS (code page 932)",
        s->nonAsciiStored ? "the handheld shows its Web document or keyword as other characters"
                          : "only texts that are not stored are beyond ASCII");
    if (!s->nonAsciiStored) Informs(f);
  }
  if (s->nameLinePhysical == 0) return;
  char plain[kCheckTextSize];
  int n = 0;
  for (const char* p = s->nameLine; *p != '\0'; ++p)
    if (!IsControl((unsigned char)*p)) plain[n++] = *p;
  plain[n] = '\0';
  const char* name = plain;
  if (utf8 && Utf8ToCp932(plain, converted, sizeof converted) == 0) name = converted;
  if (strcmp(name, s->name) != 0)
    Add(s, kCheckNameDiffers, kCheckSettingsFile, s->nameLinePhysical, -1, name,
        "names another stock; the list's name is used");
}

void OnSettingsCut(void* context, int line, int length, int width) {
  CheckState* s = (CheckState*)context;
  Add(s, kCheckTextCut, kCheckSettingsFile, s->settingsPhysical, -1, NULL,
      "the %s has %d bytes; the handheld keeps the first %d", line == 5 ? "Web document" : "keyword",
      length, width);
}

void OnSettingsNumber(void* context, int line, const char* text, int32_t stored, int bits) {
  CheckState* s = (CheckState*)context;
  (void)line;   // the physical line is the one of the last read
  char shown[kCheckTextSize];
  LineText(text, shown, sizeof shown);
  if (bits == 16)
    Add(s, kCheckNumberCut, kCheckSettingsFile, s->settingsPhysical, -1, shown,
        "is outside -32768 to 32767; the handheld keeps its low 16 bits: %d", (int)stored);
  else
    Add(s, kCheckNumberCut, kCheckSettingsFile, s->settingsPhysical, -1, shown,
        "does not fit 32 bits; the handheld keeps %d", (int)stored);
}

// A piece of a price line without the blanks around it.
void Trimmed(const char* from, const char* to, const char** start, const char** end) {
  while (from < to && (*from == ' ' || *from == '\t' || *from == '\r')) ++from;
  while (to > from && (to[-1] == ' ' || to[-1] == '\t' || to[-1] == '\r')) --to;
  *start = from;
  *end = to;
}

// Digits, and digits after one point: 0 for anything else or nothing.
// `whole` gets the count of digits before the point.
int IsPlainNumber(const char* from, const char* to, int* whole) {
  const char* p = from;
  while (p < to && *p >= '0' && *p <= '9') ++p;
  *whole = (int)(p - from);
  if (p < to && *p == '.') {
    ++p;
    while (p < to && *p >= '0' && *p <= '9') ++p;
  }
  return p == to && *whole > 0;
}

// The pieces of a complete price line after its volume (the conversion
// ignores them): how many are not blank, and whether they look like
// thousands separators: every piece after the date a plain number, and at
// least as many pieces of exactly three digits after the first value as
// there are pieces too many.
int ExtraPieces(const PriceLineNotes* notes, int* thousands) {
  const char* cut = notes->cut;
  const char* p = cut + notes->end[7];
  *thousands = 0;
  if (*p != ',') return 0;
  int extra = 0, groups = 0, numbers = 1, whole;
  const char *from, *to;
  for (int i = 3; i < 8; ++i) {
    Trimmed(cut + notes->start[i], cut + notes->end[i], &from, &to);
    if (!IsPlainNumber(from, to, &whole)) numbers = 0;
    if (i > 3 && whole == 3) ++groups;
  }
  while (*p != '\0' && *p != '\n') {
    while (*p == ',') ++p;
    const char* start = p;
    while (*p != '\0' && *p != ',' && *p != '\n') ++p;
    Trimmed(start, p, &from, &to);
    if (from == to) continue;
    ++extra;
    if (!IsPlainNumber(from, to, &whole)) numbers = 0;
    if (whole == 3) ++groups;
  }
  *thousands = extra > 0 && numbers && groups >= extra;
  return extra;
}

// Runs of digits of a date text and the marks after them: up to three.
int DateRuns(const char* text, int* value, int* digits, char* mark) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  int runs = 0;
  while (runs < 3 && *p >= '0' && *p <= '9') {
    value[runs] = 0;
    digits[runs] = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
      if (++digits[runs] <= 8) value[runs] = value[runs] * 10 + (*p - '0');
    mark[runs] = *p;
    ++runs;
    if (*p != '/' && *p != '-' && *p != '.') break;
    ++p;
  }
  return runs;
}

// The form of the date text of a price line (up to its first comma), and
// in `shown` the date it stands for as the conversion would read it
// written as year/month/day ("" when the form does not tell it).
int DateFormOf(const char* text, char* shown, int size) {
  int value[3], digits[3];
  char mark[3];
  shown[0] = '\0';
  int runs = DateRuns(text, value, digits, mark);
  if (runs == 3 && digits[0] <= 2 && digits[1] <= 2 && digits[2] == 4 && mark[0] == mark[1])
    return kDateFormOther;   // 1/5/2026, 05.01.2026: the year last
  if (runs >= 3 && mark[0] == '/' && mark[1] == '/') return kDateFormRead;
  char date[40];
  int n = 0;
  while (text[n] != '\0' && text[n] != ',' && text[n] != '\n' && n < (int)sizeof date - 1) {
    date[n] = text[n];
    ++n;
  }
  date[n] = '\0';
  unsigned packed = 0;
  int reason = ParseImportDate(date, &packed);
  if (reason == 0) {
    int y, m, d;
    DecodePackedDate(packed, &y, &m, &d);
    snprintf(shown, (size_t)size, "%d/%d/%d", y, m, d);
    return kDateFormImport;
  }
  if (reason == kSkipDateOutOfRange) return kDateFormImport;
  if (runs == 3 && digits[0] == 4 && mark[0] == '.' && mark[1] == '.') {
    snprintf(shown, (size_t)size, "%d/%d/%d", value[0], value[1], value[2]);
    return kDateFormOther;
  }
  return kDateFormRead;
}

void NoteSlot(CheckState* s, int slot, const PriceSlot* row, const PriceLineNotes* notes,
              const char* text) {
  SlotNote* n = &s->slots[slot];
  if (s->complete > kMaxPriceRows) {
    // The line 260 complete lines earlier leaves the table.
    if (s->droppedCount == 0 || n->date < s->droppedMin) s->droppedMin = n->date;
    if (s->droppedCount == 0 || n->date > s->droppedMax) s->droppedMax = n->date;
    if (s->droppedCount == 0) s->droppedFirst = n->line;
    s->droppedLast = n->line;
    ++s->droppedCount;
  }
  n->line = s->physical;
  n->date = row->date;
  memcpy(n->date3, notes->date, sizeof n->date3);
  for (int i = 0; i < 5; ++i) {
    n->loss[i] = notes->loss[i];
    int from = notes->start[3 + i], to = notes->end[3 + i];
    int len = to - from < (int)sizeof n->value[i] - 1 ? to - from : (int)sizeof n->value[i] - 1;
    memcpy(n->value[i], notes->cut + from, (size_t)len);
    n->value[i][len] = '\0';
  }
  LineText(text, n->text, sizeof n->text);
  n->extra = ExtraPieces(notes, &n->thousands);
  n->dateForm = DateFormOf(notes->cut + notes->start[0], n->dateShown, sizeof n->dateShown);
}

void OnPriceLine(void* context, int line, const char* text, int length, int slot,
                 const PriceSlot* row, const PriceLineNotes* notes) {
  CheckState* s = (CheckState*)context;
  (void)line;
  int continues = s->pendingSplit;
  if (!continues) ++s->physical;
  s->pendingSplit = IsPiece(text, length);
  if (s->pendingSplit && s->splitToldLine != s->physical && slot != -2) {
    s->splitToldLine = s->physical;
    Add(s, kCheckLineSplit, kCheckCsvFile, s->physical, -1, NULL,
        "the line is longer than %d bytes and is read as several lines", kMaxLineChars);
  }
  if (slot == -3) return;   // the header
  if (slot == -2) {
    if (!continues) ++s->ignoredAfter;
    if (!IsBlank(text, length)) ++s->ignoredData;
    return;
  }
  if (slot == -1) {
    // Told after the reading, when the lines it leaves unread are known.
    LineText(text, s->endText, sizeof s->endText);
    s->endLine = s->physical;
    s->endBlank = IsBlank(text, length);
    if (s->endText[0] == '\0' || notes->missing == 0)
      snprintf(s->endWhy, sizeof s->endWhy, "is empty");
    else if (notes->missing == 7)
      snprintf(s->endWhy, sizeof s->endWhy, "has no volume");
    else
      snprintf(s->endWhy, sizeof s->endWhy, "has no %s", kPieces[notes->missing]);
    s->endForm = notes->missing == 1 || notes->missing == 2
                     ? DateFormOf(notes->cut + notes->start[0], s->endDateShown,
                                  sizeof s->endDateShown)
                     : kDateFormRead;
    return;
  }
  if (s->complete > 0 && row->date <= s->previousDate) s->descending = 1;
  s->previousDate = row->date;
  ++s->complete;
  NoteSlot(s, slot, row, notes, text);
}

// A value in exponent form (digits, a point, "e" or "E", a signed
// exponent) whose number differs from what the handheld holds: 1 with
// what it holds and the number it stands for, both as "%.2f".
int ExponentForm(const char* value, char* held, char* meant, int size) {
  const char *from, *to;
  Trimmed(value, value + strlen(value), &from, &to);
  int whole;
  const char* e = from;
  while (e < to && *e != 'e' && *e != 'E') ++e;
  if (e == to || !IsPlainNumber(from, e, &whole)) return 0;
  const char* p = e + 1;
  if (p < to && (*p == '+' || *p == '-')) ++p;
  if (p == to) return 0;
  for (const char* q = p; q < to; ++q)
    if (*q < '0' || *q > '9') return 0;
  char number[48];
  snprintf(number, sizeof number, "%.*s", (int)(to - from), from);
  signed char exponent;
  int32_t mantissa;
  ParseDecimalField(value, &exponent, &mantissa);
  snprintf(held, (size_t)size, "%.2f",
           DecodePackedValue(EncodePackedValue(mantissa, exponent)));
  snprintf(meant, (size_t)size, "%.2f", strtod(number, NULL));
  return strcmp(held, meant) != 0;
}

// The date-format finding of a date the conversion does not read as
// written; `ends` is the rest of the sentence.
CheckFinding* TellDateForm(CheckState* s, int line, const char* text, int form,
                           const char* shown, const char* ends) {
  const char* example = shown[0] != '\0' ? shown : "2026/1/5";
  if (form == kDateFormImport)
    return Add(s, kCheckDateFormat, kCheckCsvFile, line, -1, text,
               "a date form the conversion does not read: it reads year/month/day (%s)%s; "
               "`ryvo import` reads this form and writes the file in it", example, ends);
  return Add(s, kCheckDateFormat, kCheckCsvFile, line, -1, text,
             "a date form the conversion does not read: it reads year/month/day, the year "
             "first (%s)%s", example, ends);
}

// The findings of the kept rows, told after the reading.
void TellKeptRows(CheckState* s, int rows) {
  static const char* const kZeroWhy[4] = {"", "it is above the largest value, 13107100000",
                                          "it has a sign", "it has no digits"};
  // The line where the reading ends. Blank lines at the very end of a file
  // lose nothing: the conversion ends there, but no price follows.
  if (s->endLine > 0 && !(s->endBlank && s->ignoredData == 0)) {
    char ends[96];
    snprintf(ends, sizeof ends, "; reading ends here, %d lines after it are ignored",
             s->ignoredAfter);
    if (s->endForm != kDateFormRead)
      TellDateForm(s, s->endLine, s->endText, s->endForm, s->endDateShown, ends);
    else
      Add(s, kCheckLineIncomplete, kCheckCsvFile, s->endLine, -1, s->endText, "%s%s",
          s->endWhy, ends);
  }
  for (int j = 0; j < rows; ++j) {
    const SlotNote* n = &s->slots[j];
    if (n->extra > 0)
      Add(s, kCheckLineExtraFields, kCheckCsvFile, n->line, -1, n->text,
          "%d more piece%s after the volume, which the conversion ignores: it reads "
          "%s %s, %s %s, %s %s, %s %s, %s %s%s", n->extra, n->extra == 1 ? "" : "s",
          kColumns[0], n->value[0], kColumns[1], n->value[1], kColumns[2], n->value[2],
          kColumns[3], n->value[3], kColumns[4], n->value[4],
          n->thousands ? "; looks like thousands separators: quote the values or write "
                         "them without commas" : "");
    for (int i = 0; i < 5; ++i) {
      int loss = n->loss[i];
      char holds[48], meant[48];
      if (ExponentForm(n->value[i], holds, meant, (int)sizeof holds)) {
        Add(s, kCheckValueFormat, kCheckCsvFile, n->line, i, n->value[i],
            "%s: exponent form, which the conversion does not read: the handheld holds %s, "
            "not %s; write the number in digits", kColumns[i], holds, meant);
        continue;
      }
      if (loss == kLossNone) continue;
      if (DecimalLossZeroes(loss)) {
        Add(s, kCheckValueZeroed, kCheckCsvFile, n->line, i, n->value[i],
            "%s: the handheld stores 0: %s", kColumns[i], kZeroWhy[loss]);
        continue;
      }
      signed char e;
      int32_t m;
      ParseDecimalField(n->value[i], &e, &m);
      char held[48];
      snprintf(held, sizeof held, "%.2f", DecodePackedValue(EncodePackedValue(m, e)));
      Add(s, kCheckValueCut, kCheckCsvFile, n->line, i, n->value[i],
          "%s: the handheld holds %s (%s)", kColumns[i], held,
          loss == kLossDecimals ? "a third decimal is dropped"
          : loss == kLossMantissa ? "digits past the 17-bit mantissa are dropped"
                                  : "text after the number is ignored");
    }
    int y = n->date3[0], mo = n->date3[1], d = n->date3[2];
    char date[48];
    snprintf(date, sizeof date, "%d/%d/%d", (int)y, (int)mo, (int)d);
    if (n->dateForm != kDateFormRead) {
      char ends[64];
      int yy, mm, dd;
      DecodePackedDate(n->date, &yy, &mm, &dd);
      snprintf(ends, sizeof ends, "; the handheld stores %d/%d/%d", yy, mm, dd);
      TellDateForm(s, n->line, n->text, n->dateForm, n->dateShown, ends);
      continue;
    }
    if (y < 1904 || y > 2031) {
      int yy, mm, dd;
      DecodePackedDate(n->date, &yy, &mm, &dd);
      Add(s, kCheckDateWraps, kCheckCsvFile, n->line, -1, date,
          "the year %d is outside 1904-2031 and becomes %d", (int)y, yy);
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 ||
        (y >= 1904 && y <= 2031 && d > DaysInMonth(y, mo)))
      Add(s, kCheckDateInvalid, kCheckCsvFile, n->line, -1, date,
          mo < 1 || mo > 12 ? "the month is outside 1-12" : "the day is not in the month");
  }
  // Two kept rows with one date: both are stored.
  for (int j = 0; j < rows; ++j)
    for (int k = j + 1; k < rows; ++k)
      if (s->slots[j].date == s->slots[k].date) {
        const SlotNote* first = s->slots[j].line < s->slots[k].line ? &s->slots[j] : &s->slots[k];
        const SlotNote* later = first == &s->slots[j] ? &s->slots[k] : &s->slots[j];
        char date[24];
        FormatPackedDate(date, sizeof date, later->date);
        Add(s, kCheckDateDuplicate, kCheckCsvFile, later->line, -1, date,
            "the date of line %d again; both rows are stored", first->line);
      }
  if (s->droppedCount > 0 && !s->descending) {
    // A file in date order: the lines left out are its oldest dates.
    char from[24], to[24];
    FormatPackedDate(from, sizeof from, s->droppedMin);
    FormatPackedDate(to, sizeof to, s->droppedMax);
    if (s->droppedCount == 1)
      Informs(Add(s, kCheckRowsDropped, kCheckCsvFile, s->droppedFirst, -1, NULL,
                  "the oldest day (line %d, %s) is dropped to keep %d; as intended when a "
                  "day is appended", s->droppedFirst, from, kMaxPriceRows));
    else
      Informs(Add(s, kCheckRowsDropped, kCheckCsvFile, s->droppedFirst, -1, NULL,
                  "the oldest %d days (lines %d-%d, %s to %s) are dropped to keep %d; as "
                  "intended when a day is appended", s->droppedCount, s->droppedFirst,
                  s->droppedLast, from, to, kMaxPriceRows));
  } else if (s->droppedCount > 0) {
    char from[24], to[24];
    FormatPackedDate(from, sizeof from, s->droppedMin);
    FormatPackedDate(to, sizeof to, s->droppedMax);
    if (s->droppedCount == 1)
      Add(s, kCheckRowsDropped, kCheckCsvFile, s->droppedFirst, -1, NULL,
          "1 complete line (line %d, date %s) is left out: only the last %d lines are kept "
          "(the last lines, which are the newest dates only in a file in date order)",
          s->droppedFirst, from, kMaxPriceRows);
    else
      Add(s, kCheckRowsDropped, kCheckCsvFile, s->droppedFirst, -1, NULL,
          "%d complete lines (lines %d-%d, dates %s to %s) are left out: only the last %d "
          "lines are kept (the last lines, which are the newest dates only in a file in date "
          "order)", s->droppedCount, s->droppedFirst, s->droppedLast, from, to, kMaxPriceRows);
  }
}

int CompareFindings(const CheckFinding* a, const CheckFinding* b) {
  if (a->file != b->file) return a->file - b->file;
  return a->line - b->line;
}

// Insertion sort by file and line, stable: findings of one line keep the
// order in which they were told.
void SortFindings(StockCheck* c) {
  static CheckFinding held;
  for (int i = 1; i < c->findingCount; ++i) {
    held = c->findings[i];
    int j = i;
    while (j > 0 && CompareFindings(&c->findings[j - 1], &held) > 0) {
      c->findings[j] = c->findings[j - 1];
      --j;
    }
    c->findings[j] = held;
  }
}

}  // namespace

const char* CheckKindName(int kind) {
  return kind >= 0 && kind < kCheckKindCount ? kKindNames[kind] : "unknown";
}

int CheckKindLoses(int kind) { return kind != kCheckDateDuplicate && kind != kCheckNameDiffers; }

int CheckFindingLoses(const CheckFinding* finding) {
  return CheckKindLoses(finding->kind) && !finding->informs;
}

int32_t CheckRecordLength(void) {
  int32_t length = kFullDataRecLength;
  char path[kPathSize];
  if (FormatFolderPath(path, WorkFolder, "Ryvo.dmp") != 0) return length;
  FILE* dump = PfOpenFile(path, "rb");
  if (dump == NULL) return length;
  PfFileCloser closer(dump);
  int32_t n;
  if (ReadDumpRecord(dump, &n) == kRecordRead && ReadDumpRecord(dump, &n) == kRecordRead &&
      n >= 1)
    length = n;
  return length;
}

int CheckStock(const char* name, int32_t recordLength, StockCheck* check) {
  memset(check, 0, sizeof *check);
  memset(&State, 0, sizeof State);
  snprintf(check->name, sizeof check->name, "%s", name);
  FormatStockPath(check->settingsPath, WorkFolder, name, ".txt");
  FormatStockPath(check->csvPath, CsvFolder, name, ".csv");
  State.check = check;
  State.name = name;
  StockReadObserver observer = {&State, OnStop, OnSettingsLine, OnSettingsCut,
                                OnSettingsNumber, OnPriceLine};
  int result = FillStockRecord(name, &observer);
  TellSettings(&State);
  if (result == 0) {
    int rows = State.complete > kMaxPriceRows ? kMaxPriceRows : State.complete;
    // The slot notes are in the order of the slots, not of the dates.
    TellKeptRows(&State, rows);
    int fit = recordLength < kPriceTableOffset ? 0 : (recordLength - kPriceTableOffset) / kPriceRowSize;
    check->rows = CountPriceRows(RecordBuffer, recordLength);
    if (fit < rows) {
      char from[24];
      FormatPackedDate(from, sizeof from,
                       ReadBE16(RecordBuffer + kPriceTableOffset + kPriceRowSize * fit) & 0xFFFF);
      Add(&State, kCheckRowsDropped, kCheckCsvFile, 0, -1, NULL,
          "the handheld's records hold %d rows: the %d newest rows, from %s on, are cut off",
          fit, rows - fit, from);
    }
    check->flags = RecordBuffer[kDataFlags];
    if (check->rows > 0) {
      check->firstDate = ((unsigned)RecordBuffer[kPriceTableOffset] << 8) |
                         RecordBuffer[kPriceTableOffset + 1];
      const unsigned char* last = RecordBuffer + kPriceTableOffset + kPriceRowSize * (check->rows - 1);
      check->lastDate = ((unsigned)last[0] << 8) | last[1];
    }
  }
  GroupFindings(check);
  // A group says its lines.
  for (int i = 0; i < check->findingCount; ++i) {
    CheckFinding* f = &check->findings[i];
    if (f->count <= 1) continue;
    size_t n = strlen(f->message);
    snprintf(f->message + n, sizeof f->message - n, " (lines %d-%d, %d lines)", f->line,
             f->lastLine, f->count);
  }
  SortFindings(check);
  return result;
}
