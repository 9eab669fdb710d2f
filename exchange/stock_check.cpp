// The check of one stock before a HotSync: the conversion's own reading
// (FillStockRecord) with an observer that turns every silence of that
// reading into a finding with its file and line.
#include "stock_check.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "stock_paths.h"
#include "stock_reading.h"
#include "text_lines.h"

namespace {

const char* const kKindNames[kCheckKindCount] = {
    "settings-missing", "settings-short", "csv-missing",  "csv-empty",
    "name-unusable",    "line-incomplete", "line-split",  "rows-dropped",
    "value-zeroed",     "value-cut",      "date-wraps",   "date-invalid",
    "date-duplicate",   "text-cut",       "number-cut",   "name-differs"};

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
};

struct CheckState {
  StockCheck* check;
  const char* name;
  // Settings file: physical lines.
  int settingsPhysical;
  int settingsSplit;        // the last read took a full buffer without a line end
  int settingsSplitLine;    // the physical line already told as split
  // Price file.
  int physical;             // physical line of the last read
  int pendingSplit;         // the last read was a piece of a longer line
  int splitToldLine;
  int complete;             // complete lines read
  int droppedCount, droppedFirst, droppedLast;
  unsigned droppedMin, droppedMax;
  int endLine;              // physical line of the incomplete line, 0 none
  int endBlank;             // that line holds nothing but blanks
  char endText[kCheckTextSize];
  char endWhy[96];
  int ignoredAfter;         // physical lines after it
  int ignoredData;          // those of them that are not blank
  SlotNote slots[kMaxPriceRows];
};

CheckState State;

void Add(CheckState* s, int kind, int file, int line, int column, const char* text,
         const char* format, ...) {
  StockCheck* c = s->check;
  if (c->findingCount >= kMaxCheckFindings) {
    ++c->findingsLeftOut;
    return;
  }
  CheckFinding* f = &c->findings[c->findingCount++];
  f->kind = kind;
  f->file = file;
  f->line = line;
  f->column = column;
  snprintf(f->text, sizeof f->text, "%s", text != NULL ? text : "");
  va_list args;
  va_start(args, format);
  vsnprintf(f->message, sizeof f->message, format, args);
  va_end(args);
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
    default:
      Add(s, kCheckNameUnusable, file, 0, -1, s->name,
          "the stock name cannot be a file name; the conversion stops here");
      break;
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
  if (line == 1 && !continues) {
    char shown[kCheckTextSize];
    LineText(text, shown, sizeof shown);
    StripLineEnd(shown);
    if (strcmp(shown, s->name) != 0)
      Add(s, kCheckNameDiffers, kCheckSettingsFile, s->settingsPhysical, -1, shown,
          "names another stock; the list's name is used");
  }
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
    return;
  }
  ++s->complete;
  NoteSlot(s, slot, row, notes, text);
}

// The findings of the kept rows, told after the reading.
void TellKeptRows(CheckState* s, int rows) {
  static const char* const kZeroWhy[4] = {"", "it is above the largest value, 13107100000",
                                          "it has a sign", "it has no digits"};
  // The line where the reading ends. Blank lines at the very end of a file
  // lose nothing: the conversion ends there, but no price follows.
  if (s->endLine > 0 && !(s->endBlank && s->ignoredData == 0))
    Add(s, kCheckLineIncomplete, kCheckCsvFile, s->endLine, -1, s->endText,
        "%s; reading ends here, %d lines after it are ignored", s->endWhy, s->ignoredAfter);
  for (int j = 0; j < rows; ++j) {
    const SlotNote* n = &s->slots[j];
    for (int i = 0; i < 5; ++i) {
      int loss = n->loss[i];
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
  if (s->droppedCount > 0) {
    char from[24], to[24];
    FormatPackedDate(from, sizeof from, s->droppedMin);
    FormatPackedDate(to, sizeof to, s->droppedMax);
    Add(s, kCheckRowsDropped, kCheckCsvFile, s->droppedFirst, -1, NULL,
        "%d complete lines (lines %d-%d, dates %s to %s) are left out: only the last %d "
        "lines are kept%s", s->droppedCount, s->droppedFirst, s->droppedLast, from, to,
        kMaxPriceRows, " (the last lines, which are the newest dates only in a file in date order)");
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
  SortFindings(check);
  return result;
}
