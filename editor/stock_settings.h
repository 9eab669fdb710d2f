// The file side of the stock settings editor: one stock's field texts,
// read from its stock settings file (working folder, name + .txt), checked
// against the byte limits, and written back, with the copy of the price
// CSV file (CSV folder, name + .csv) when a stock gets a new name.
// No window code here: messages go through PfMessageBox, files through
// PfOpenFile / PfCopyFile, folders are CsvFolder and WorkFolder.
//
// Texts are code page 932 bytes and are never converted; limits count
// bytes (a full-width character counts two).
#pragma once

#include "../platform/platform.h"   // kNameSize: the current and the result stock name

enum {
  kFieldSize = 260,        // every field text, terminating zero included
  kPairCount = 7,          // lines 8 to 14: five Web-fetch pairs, two scales
  kStockNameLimit = 20,    // bytes
  kDocumentLimit = 120,    // bytes
  kKeywordLimit = 20       // bytes
};

// What the dialog shows, in the order of the settings file's lines.
// An empty text is an empty field; a flag is 0 or 1.
struct StockFields {
  char name[kFieldSize];            // line 1
  int onlyClose;                    // line 2
  int webScrap;                     // line 3
  int fixedScale;                   // line 4
  char document[kFieldSize];        // line 5
  char keyword[kFieldSize];         // line 6
  char purchaseCount[kFieldSize];   // line 7
  // Lines 8 to 14: Web fetch open, high, low, close, volume (row, tag),
  // then price scale and volume scale (max, min).
  char pairFirst[kPairCount][kFieldSize];
  char pairSecond[kPairCount][kFieldSize];
};

// Empties every text and clears every flag.
void ClearStockFields(StockFields* fields);

// What reading the settings gives the dialog; the values are the
// dialog's own (1 ready, 0 close at once, -1 open partly filled).
enum StockFieldsRead {
  kFieldsReady = 1,
  kFieldsClose = 0,
  kFieldsPartial = -1,
};

// Reads the settings of stock `currentName` into `fields` (cleared first).
//  1  ready: a new stock (empty name: all fields empty) or all 14 lines read;
//  0  close without a change: the price CSV file is missing (message
//     "CSVファイルを作成してから実行してください。"), the settings file
//     cannot be opened (no message), line 1 or 2 is missing, or reading
//     failed (each with its message);
// -1  the file ends after line 2: `fields` holds the lines read so far and
//     the message has been shown.
// Lines are read as the conversion reads them: at most 258 characters
// with the line feed, a longer line in pieces that count as lines of their
// own (so a line of exactly 258 characters is followed by an empty one),
// and only CR LF is a line end (a CR before it stays in the text).
StockFieldsRead ReadStockFields(const char* currentName, StockFields* fields);

// The same reading from the settings text `text` (`length` bytes) in
// place of a file: 1 ready, 0 or -1 for a missing line as above.
StockFieldsRead ReadStockFieldsText(const char* text, int length, StockFields* fields);

// The 14 lines of the settings file of `fields` as SaveStockFields writes
// them (CR LF after each) into `out` (kStockFieldsTextSize bytes); returns
// the byte count.
enum { kStockFieldsTextSize = 14 * (2 * kFieldSize + 3) };
int FormatStockFields(char* out, const StockFields* fields);

// Byte limits, in this order: name 20, document 120, keyword 20; then a
// non-empty name must be usable as a file name (IsStockFileName). Returns 1
// when all hold, -1 after the message ("入力エラー") of the first that fails.
enum StockFieldsCheck { kFieldsValid = 1, kFieldsInvalid = -1 };
StockFieldsCheck ValidateStockFields(const StockFields* fields);

// Writes the settings file of `fields->name` (14 lines, CR LF) and puts the
// name into `resultName` (kNameSize bytes). When an existing stock
// (`currentName` not empty) gets another name, its price CSV file is first
// copied to the new name; the old files stay. When the new name's settings
// file or price CSV file already exists (and the name is not the stock's
// own), the user is asked before they are replaced.
// Returns 0 when written; -1 when nothing was saved: an empty name or a
// settings file that cannot be created (no message), a refused
// replacement, a failed copy or write (with its message). `resultName` is
// only changed on 0. The settings file is replaced whole or left as it was.
int SaveStockFields(const char* currentName, const StockFields* fields,
                    char* resultName);
