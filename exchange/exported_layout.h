// The layout of the price lines the export writes, as the conversion's
// fast readers (plain and vector) recognise it: the date as year/month/day
// and five values of twelve characters each, the whole part right-aligned
// in the first nine ("%12.2f" of a value below 10^8), a point and two
// decimals, commas between, CR LF at the end:
//   2025/1/6,     1000.00,     1010.00,      990.00,     1005.00,    12300.00 CR LF
#pragma once

#include <stdint.h>

enum {
  kExportedValueWidth = 12,
  // From the first value to the end of the line, CR LF included.
  kExportedTail = 5 * kExportedValueWidth + 4 + 2,
  // The shortest date ("y/m/d," with one-digit month and day) and tail.
  kExportedShortest = 6 + kExportedTail,
};

// The date's digits up to `stop`: 1 to `most` of them, or -1. Moves *at
// past the stop character.
static inline int32_t ReadDatePiece(const unsigned char** at, int most, unsigned char stop) {
  const unsigned char* p = *at;
  int32_t value = 0;
  int n = 0;
  for (; n < most && (unsigned)(p[n] - '0') < 10u; ++n) value = value * 10 + (p[n] - '0');
  if (n == 0 || p[n] != stop) return -1;
  *at = p + n + 1;
  return value;
}

// The date of a line of the export's layout at `line`: returns where the
// values start, or NULL when the date is not of the layout.
static inline const unsigned char* ReadExportedDate(const unsigned char* line, int32_t* year,
                                                    int32_t* month, int32_t* day) {
  const unsigned char* p = line;
  *year = ReadDatePiece(&p, 4, '/');
  *month = *year < 0 ? -1 : ReadDatePiece(&p, 2, '/');
  *day = *month < 0 ? -1 : ReadDatePiece(&p, 2, ',');
  return *day < 0 ? NULL : p;
}
