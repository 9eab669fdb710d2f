// Import of price histories into a stock's price CSV file: the files that
// quotes sites, spreadsheets and brokers write (columns found by their
// header names in English or Japanese; comma, semicolon or tab; quoted
// fields and thousands separators; LF or CR LF; UTF-8 with or without a
// byte-order mark, or code page 932), merged by date with the rows the
// conversion reads from the stock's price CSV file, cut to the 260 latest
// dates and written in the export's own line format, each value rounded
// half up to what a packed value holds. The conversion then stores exactly
// the rows and values the file shows.
//
// This module owns the import's dialect reading only; the existing price
// file is read with the conversion's line reading (ParsePriceLine) and the
// new one is formatted by the export (FormatCsvLine, kCsvHeaderLine).
#pragma once

#include <stdint.h>

#include "dump_format.h"

// The six columns the import takes, in the order of a price line.
enum { kImportDate, kImportOpen, kImportHigh, kImportLow, kImportClose, kImportVolume,
       kImportColumns };

// Why a line of the imported file gives no row (0: it gives one).
enum ImportSkip {
  kSkipNone,
  kSkipValueMissing,     // a value is empty, null, NaN or "-"
  kSkipValueUnreadable,  // a value is no decimal number
  kSkipValueTooLarge,    // negative or above 13,107,100,000
  kSkipDateUnreadable,   // no date in one of the known forms, or no calendar date
  kSkipDateOutOfRange,   // a year outside 1904-2031
  kSkipFieldsMissing,    // the line has fewer fields than the columns need
  kSkipLineTooLong,      // longer than kImportLineSize - 1 bytes
  kSkipExtraValues,      // more non-empty fields than the header names
  kSkipReasonCount
};
// "value missing", "date outside 1904-2031", ... for the summary.
const char* ImportSkipText(int reason);

enum ImportEncoding { kEncodingAscii, kEncodingUtf8, kEncodingUtf8Bom, kEncodingCp932 };

enum { kImportLineSize = 4096, kImportListedLines = 5 };

// What one import did, for the summary of the ryvo tool.
struct ImportSummary {
  int encoding;              // ImportEncoding of the imported file
  char separator;            // ',', ';' or '\t'
  int headerLine;            // line number of the header line; 0: none (own order)
  int column[kImportColumns];   // 0-based field of each column; -1 when absent
  int fieldsNamed;           // the fields a data line may hold: the header's, or 6
  int linesPassedOver;       // lines above the header or the first date (titles)
  int linesRead;             // data lines after the header (blank lines not counted)
  int rowsUsed;              // lines that gave a row
  int rowsSkipped;
  int skipped[kSkipReasonCount];
  int skippedLine[kSkipReasonCount][kImportListedLines];   // first line numbers
  int duplicateDates;        // dates the file gives twice or more (the last kept)
  int valuesRounded;         // values the packed format could not hold as written
  double largestChange;      // the largest relative change of a rounded value
  int existingRows;          // rows read from the stock's price CSV file
  int existingStopLine;      // its line that ends the conversion's reading; 0: none
  int datesReplaced;         // imported dates that were in the file already
  int datesAdded;            // imported dates that were not
  int datesLeftOut;          // older dates beyond the 260 kept
  int rowsStored;            // rows of the written file
  unsigned firstDate;        // packed dates of its first and last row
  unsigned lastDate;
  int settingsWritten;       // 1: a new stock's settings file was written
                             // (set by the caller: ImportPrices writes none)
};

// Imports `file` (a path as PfOpenFile takes it) into the price CSV file
// of stock `name` in CsvFolder: the rows the conversion reads from that
// file (none with `replace`, or when it does not exist) merged with those
// of `file`, a date of both taking the imported row. Only the price file
// is written: a stock without a settings file in WorkFolder gets none here
// (the ryvo tool's import then writes a new stock's one, as the settings
// dialog does).
// Returns 0 when the price file was written; -1 after a reported failure:
// the name cannot be a stock's (more than 20 bytes, not a file name), the
// file cannot be read or has no date and close columns, no line gave a
// row, or a file could not be written. The price file is then as it was.
// `summary` is filled as far as the import went.
int ImportPrices(const char* name, const char* file, int replace, ImportSummary* summary);

// A stock's price table in memory: `count` rows, oldest first (the rows
// of a DataRec's price table, ReadPriceRow).
struct PriceTable {
  int count;
  PriceRow row[kMaxPriceRows];
};

// The import's merge on a price table in memory: the rows of `table`
// (dates of 0 passed over; of two rows of one date the later counts) and
// those of the price file `file` (any dialect ImportPrices reads), a date
// of both taking the file's row, each value rounded as ImportPrices rounds
// it; `table` then holds the 260 latest dates, oldest first. ImportPrices
// merges through the same steps, with the rows of the price CSV file.
// Returns 0, or -1 after its message when the file cannot be read, has no
// date and close columns or gives no row (`table` then unchanged).
// `summary` is filled as ImportPrices fills it (existingRows: the rows of
// `table`).
int MergePriceFile(const char* file, PriceTable* table, ImportSummary* summary);

// ImportPrices that writes the price file only with `write` 1; with 0 it
// reads both files and fills `summary` alike, and writes nothing.
int MergeStockCsv(const char* name, const char* file, int replace, int write,
                  ImportSummary* summary);

// How a price file's name (the base name as the host spells it: UTF-8
// outside Windows) names a stock (code page 932):
enum PriceFileMatch {
  kMatchNone = 0,
  kMatchName = 1,   // the name before its last extension is the stock name
                    // itself ("ソニー.csv")
  kMatchCode = 2,   // the part before the first dot or underscore is the
                    // stock name in any ASCII letter case ("7203.T.csv",
                    // "aapl_daily.csv" for AAPL)
};
PriceFileMatch MatchPriceFileName(const char* fileName, const char* stockName);

// The reading of one field, as the import reads each line's fields.
// A date in one of the forms 2025-01-06, 2025/01/06, 2025/1/6, 20250106,
// 2025年1月6日 (code page 932), optionally followed by a time after a space
// or "T": 0 with the packed date, or the ImportSkip reason.
int ParseImportDate(const char* text, unsigned* date);

// A value: surrounding blanks and an optional "+" allowed. Marks: with both
// "." and "," the last one is the decimal mark and the other separates
// thousands ("1,234.50", "1.234,50"); a mark that comes twice or more
// separates thousands ("1,234,567"); a single mark is the decimal mark,
// except a "," followed by exactly three digits in a file that is not
// separated by `separator` ';' ("1,234" is 1234 there, 1.234 in a
// semicolon file). 0 with the packed field of the nearest value a packed
// value holds (two decimals at most, 17 significant bits, half up),
// `changed` 1 when that differs from the text and `change` the relative
// difference; or the ImportSkip reason.
int ParseImportValue(const char* text, char separator, uint32_t* field, int* changed,
                     double* change);
