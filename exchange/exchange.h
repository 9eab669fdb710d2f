// The exchange between the dump and the files the user edits: loading the
// dump (stock list, stock settings files, BeginRyvo.dmp, carried bytes),
// the CSV export, and the conversion back into a new dump. Every operation
// reports its own failures through PfMessageBox and returns 0 or -1.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "dump_format.h"
#include "../platform/platform.h"

// The folders of the run, filled from the settings store when the main
// window opens (or from the command line of the ryvo tool).
extern char CsvFolder[kPathSize];
extern char WorkFolder[kPathSize];
// The carriedBytes kept by the last load, zero-padded to 8 bytes.
extern unsigned char CarriedBytes[kCarriedSize];

// Reads the ContRec, the first record of the dump `dump`, into
// RecordBuffer (ReadDumpRecord) and its RecordLength into *length: 0, or
// -1 after "RyvoDB file Cnt.size read error" (fewer than 4 bytes in the
// file) or "RyvoDB file Cont.Rec. read error" (a RecordLength above 5120
// or below 0, or the file ends inside the record). Loading, the export,
// the ryvo tool's info and its charts read the header here.
int ReadDumpHeader(FILE* dump, int32_t* length);

// Loading. LoadDump appends one entry per stock to `list` and writes each
// stock's settings file. Returns 0 when the dump was read to its end, when
// there is none, or after a failed settings file; -1 after a reported
// failure.
int LoadDump(StockList list);
// Writes the settings file of the DataRec in RecordBuffer: 0 when written
// or when the file cannot be created (silently skipped), -1 after a
// reported write failure. The file is replaced whole or left as it was
// (ReplaceWholeFile).
int WriteStockSettings(void);
// The 14 lines of the settings file of the DataRec in RecordBuffer, CR LF
// after each and in place of every line feed inside a text field (as a
// text-mode write gives it), into `out` (at least 1024 bytes); returns the
// byte count.
int FormatStockSettings(char* out);
// Puts the kept copy `copyFile` ("BeginRyvo.dmp" or "SaveRyvo.dmp" of the
// working folder) in place of Ryvo.dmp: the copy goes to Ryvo.dmp.tmp
// beside it, which then replaces the dump. 0 when replaced; -1 after
// "RyvoDB file copy error", Ryvo.dmp then as it was and no temporary file
// left. The caller empties the stock list and loads again on 0.
int RestoreDumpCopy(const char* copyFile);
// Copies `from` over `to` through `temporary` beside it (WriteWholeFile),
// so that `to` is replaced whole or left as it was (a full disk part way
// through the copy changes nothing) and no temporary file stays. 0 or -1;
// reports nothing.
int CopyFileWhole(const char* from, const char* to, const char* temporary);
// Keeps the carriedBytes of the ContRec at `contRec` as loading does: the
// bytes from offset 10 up to the first zero, at most 8, zero-padded.
void KeepCarriedBytes(const unsigned char* contRec);

// Export: one price CSV file per DataRec of Ryvo.dmp.
// 0 when every stock was written; -1 after a reported failure.
int ExportCsv(void);
// Writes the CSV file of the DataRec in RecordBuffer, whose RecordLength
// is `length` (the price table ends where the record ends, CountPriceRows):
// kStockCsvWritten, kStockCsvSkipped when the file could not be created
// (nothing written, nothing reported), kStockCsvFailed after a reported
// write failure. The file is replaced whole or left as
// it was (ReplaceWholeFile), so a failed export never cuts a user's file
// short.
enum StockCsvResult { kStockCsvWritten = 0, kStockCsvSkipped = 1, kStockCsvFailed = -1 };
StockCsvResult ExportStockCsv(int32_t length);
// The header line of every price CSV file, CR LF included.
extern const char kCsvHeaderLine[];
// When a CSV file cannot be created (folder missing, a name that cannot be
// a file name, a path too long), the export goes on with the next stock
// and at its end names those stocks in one message (caption "RyvoWin")
// and returns -1. A write failure ends the export after its own message
// and then that one, naming the stocks skipped so far.

// The text of one packed value as "%12.2f" writes its decoded value (12
// to 14 characters, right-aligned, two decimals); returns its length.
// Integer arithmetic only; writes exactly that many bytes, no terminating
// zero.
int FormatCsvValue(char* out, uint32_t field);
// One price line, "y/m/d," then the five values, CR LF (at most
// kCsvLineSize bytes); returns its length and writes exactly that many
// bytes, no terminating zero.
enum { kCsvLineSize = 96 };
int FormatCsvLine(char* out, const PriceRow* row);
// The whole CSV file of the DataRec in RecordBuffer, whose RecordLength is
// `length`, into `out` (kCsvTextSize bytes); returns its byte count.
enum { kCsvTextSize = 32 + 260 * kCsvLineSize };
int FormatStockCsv(char* out, int32_t length);

// Conversion: rebuilds Ryvo.dmp from the list, the settings files and the
// CSV files, after copying the old dump to SaveRyvo.dmp. The new dump is
// written to Ryvo.dmp.tmp in the working folder and replaces Ryvo.dmp only
// when every stock has been written. 0 when the new dump is complete and
// in place; -1 otherwise, Ryvo.dmp then unchanged and the temporary file
// gone. Template lengths above 5120 or below 1 are refused with
// "RyvoDB file Cnt.size read error" before anything is written.
int ConvertToHandheld(StockList list);
// Appends the DataRec of stock `name` (NULL or empty: -1, no message) at
// *offset of `out` and advances *offset; 0 or -1 after its message.
int BuildStockRecord(FILE* out, const char* name, int32_t* offset,
                     const unsigned char templateLength[4]);

// Text to packed value: mantissa 0..131071, exponent -2..5.
void ParseDecimalField(const char* text, signed char* exponent,
                       int32_t* mantissa);
// Decimal integer with optional blanks and sign; 0 for NULL or no digits;
// wraps modulo 2^32 on overflow.
int32_t ParseIntOrZero(const char* text);

struct PriceSlot {
  uint16_t date;
  int32_t mantissa[5];
  signed char exponent[5];
};
int CompareRowDates(const PriceSlot* a, const PriceSlot* b);
// Cuts one price CSV data line into its date and five values; 0 when the
// line is complete, -1 when a piece is missing (the slot is then unchanged).
int ParsePriceLine(const char* line, PriceSlot* slot);
