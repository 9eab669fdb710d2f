// The conversion's reading of one stock's files, open to an observer: the
// stock settings file and the price CSV file are read into the DataRec in
// RecordBuffer by FillStockRecord, which the conversion calls without an
// observer (failures are then shown in message boxes) and the check calls
// with one (failures and every loss are then told to the observer, and no
// box is shown). Each file is read by one loop, the same for both callers:
// every line the observer is told is the line that loop has just read, and
// every slot it is told is the slot the conversion stores. What the check
// says and what the conversion stores cannot differ, since there is no
// second reading to differ from. The observer only adds notes: no
// callback, and no note, changes what is read or stored.
#pragma once

#include <stdint.h>

#include "exchange.h"
#include "text_lines.h"

// Why a value field is not stored as its text says (ScanDecimal).
enum DecimalLoss {
  kLossNone = 0,
  kLossTooLarge,     // zeroed: above 13,107,100,000
  kLossSign,         // zeroed: a sign before the digits
  kLossNoDigits,     // zeroed: no digit at all
  kLossDecimals,     // cut: a third or later decimal that is not 0
  kLossMantissa,     // cut: digits past the 17-bit mantissa
  kLossTrailing,     // cut: digits after the number are ignored
};
inline int DecimalLossZeroes(int loss) { return loss >= kLossTooLarge && loss <= kLossNoDigits; }

// What the cutting of one price line found; filled only when asked for.
struct PriceLineNotes {
  const char* cut;      // the text that was cut: the line, or `unquoted`
  char unquoted[kLineBufferSize];   // the copy of a line with quotes, as cut
  int start[8], end[8]; // each piece's bytes in `cut` (year, month, day, five values)
  int missing;          // the first missing piece (0..7), -1 when complete
  int32_t date[3];      // year, month and day as read
  int loss[5];          // DecimalLoss of each value
};
// ParsePriceLine with notes (NULL: as ParsePriceLine).
int ParsePriceLineNoted(const char* line, PriceSlot* slot, PriceLineNotes* notes);
// ParseIntOrZero that also tells whether the number was beyond 32 bits.
int32_t ParseIntOrZeroNoted(const char* text, int* wrapped);

struct StockReadObserver {
  void* context;
  // The conversion stops at this stock: a CheckKind (stock_check.h), the
  // file it concerns and the line read when it stopped (0 for none).
  void (*Stop)(void* context, int kind, int file, int line);
  // Settings line `line` (1-14) as read, line end included: `length`
  // bytes (a zero byte inside it ends `text` early).
  void (*SettingsLine)(void* context, int line, const char* text, int length);
  // A text of line 5 or 6 longer than its field: `length` bytes, `width` kept.
  void (*SettingsCut)(void* context, int line, int length, int width);
  // A number of lines 7-14 stored other than written: the piece's text and
  // the value the record holds (16 or 32 `bits` wide).
  void (*SettingsNumber)(void* context, int line, const char* text, int32_t stored,
                         int bits);
  // Data line `line` (counted from 1 after the header) as read, `length`
  // bytes. `slot` is the slot it went into (`row` is that slot), -1 when
  // the line was incomplete (the reading ends), -2 for a line after the
  // end, which the conversion never reads and the loop reads on for the
  // observer alone, storing nothing; -3 for the header line (line 0),
  // which is read and passed over.
  void (*PriceLine)(void* context, int line, const char* text, int length, int slot,
                    const PriceSlot* row, const PriceLineNotes* notes);
};

// Reads the files of stock `name` into a DataRec in RecordBuffer as the
// conversion does (settings, then prices, sorted and packed); the slot
// table keeps the rows. 0, or -1 when the conversion stops at this stock
// (after its message, or after observer->Stop).
int FillStockRecord(const char* name, const StockReadObserver* observer);

// Puts the settings text `text` (`length` bytes, the 14 lines of a stock
// settings file) into the DataRec in RecordBuffer as the conversion reads
// that file: the name (line 1, at most 20 bytes), the flags, the texts and
// the numbers, each of those fields cleared first; every other byte of the
// record is kept. 0, or -1 after the message of a missing line.
int StoreStockSettings(const char* text, int length);
