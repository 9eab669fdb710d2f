// What the conversion will make of one stock's files, and every loss on the
// way: the stock settings file and the price CSV file read by the
// conversion's own reading loop (FillStockRecord with an observer,
// stock_reading.h: one loop per file serves both, so the record the check
// builds is the one the conversion writes), the DataRec it would write
// built in RecordBuffer, and one finding per silence of that reading (a
// line that ends the prices, a value that becomes 0 or is cut, a date that
// wraps, a text that is cut, ...). Writes nothing, anywhere; shows no
// message box.
#pragma once

#include <stdint.h>

#include "dump_format.h"
#include "stock_paths.h"

// The kinds of finding. Their names (CheckKindName) are stable: scripts
// read them in `ryvo check --json`.
enum CheckKind {
  kCheckSettingsMissing,   // the settings file cannot be opened: stops
  kCheckSettingsShort,     // it ends before line 14: stops
  kCheckCsvMissing,        // the price CSV file cannot be opened: stops
  kCheckCsvEmpty,          // it has not even a header line: stops
  kCheckNameUnusable,      // the name cannot be a file name: stops
  kCheckLineIncomplete,    // a price line ends the reading of the file
  kCheckLineSplit,         // a line longer than the line buffer
  kCheckRowsDropped,       // complete lines beyond the 260 kept
  kCheckValueZeroed,       // a value stored as 0
  kCheckValueCut,          // a value stored smaller than written
  kCheckDateWraps,         // a year outside 1904-2031
  kCheckDateInvalid,       // month or day that is no calendar date
  kCheckDateDuplicate,     // two kept rows with one date (informs)
  kCheckTextCut,           // line 5 or 6 longer than its field
  kCheckNumberCut,         // a number that keeps only its low 16/32 bits
  kCheckNameDiffers,       // line 1 names another stock (informs)
  kCheckLineExtraFields,   // a price line with pieces after its volume
  kCheckSettingsEncoding,  // a settings file in UTF-8, not code page 932
  kCheckTextControl,       // a control byte kept in a text of line 1, 5 or 6
  kCheckValueFormat,       // a value in exponent form
  kCheckDateFormat,        // a date in a form the conversion does not read
  kCheckNameShared,        // another stock's name makes the same file: stops
  kCheckKindCount
};
// "settings-missing", "line-incomplete", ... as in `ryvo check --json`.
const char* CheckKindName(int kind);
// 1 when the kind means that the handheld will not get what the files
// say; 0 for the kinds that only inform (date-duplicate, name-differs).
int CheckKindLoses(int kind);

enum { kCheckSettingsFile = 0, kCheckCsvFile = 1 };
enum { kCheckTextSize = 264, kCheckMessageSize = 512, kMaxCheckFindings = 512 };
// Findings of one cause (kind, file, column) on this many lines of a file
// or more are told as one.
enum { kCheckGroupMinimum = 3 };

struct CheckFinding {
  int kind;
  int file;      // kCheckSettingsFile or kCheckCsvFile
  int line;      // 1-based line of that file; 0 when it names no line
  int column;    // 0..4 for open..volume in value findings, else -1
  char text[kCheckTextSize];          // the text concerned (code page 932)
  char message[kCheckMessageSize];    // the rest of the sentence (code page 932)
  int informs;   // 1: only informs, though its kind may lose (CheckFindingLoses)
  int count;     // lines of the file with this cause (1, or a group's count)
  int lastLine;  // the last of them (line .. lastLine; `line` for one)
};

// 1 when the finding means that the handheld will not get what the files
// say: its kind loses and the finding is not one that only informs (the
// rows-dropped of a file in date order, line 1's text-control, the
// settings-encoding of a file whose stored texts are ASCII).
int CheckFindingLoses(const CheckFinding* finding);

struct StockCheck {
  char name[81];                  // the stock name, as given
  char settingsPath[kPathSize];   // the two files, as the conversion names them
                                  // (empty when the name cannot be a file name)
  char csvPath[kPathSize];
  int stopsConversion;            // 1: the conversion stops at this stock
  int rows;                       // rows the DataRec holds (0 when it stops)
  unsigned firstDate, lastDate;   // packed dates of the first and last row
  int flags;                      // flags of the DataRec
  int findingCount;               // findings[0 .. findingCount-1]
  int findingsLeftOut;            // findings beyond kMaxCheckFindings
  CheckFinding findings[kMaxCheckFindings];
};

// The record template length the conversion would take: the RecordLength
// of the first DataRec of WorkFolder's Ryvo.dmp, else kFullDataRecLength
// (no dump, or one without a stock record).
int32_t CheckRecordLength(void);

// Reads the files of stock `name` (WorkFolder, CsvFolder) as the
// conversion does for a record of `recordLength` bytes (the record
// template length; kFullDataRecLength holds a full table), leaves the
// DataRec the conversion would write in RecordBuffer, and fills `check`.
// Returns 0 when the conversion would write the record, -1 when it would
// stop at this stock (RecordBuffer then holds no usable record).
int CheckStock(const char* name, int32_t recordLength, StockCheck* check);
