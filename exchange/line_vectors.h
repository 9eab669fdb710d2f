// Vector code for the price lines of the export's layout (AVX2 on x86-64,
// chosen at run time). Every function here either gives exactly what the
// plain code gives for the same line or declines (returns 0), and the
// caller then takes the plain path.
#pragma once

#include <stdint.h>

// 1 to let the vector code run where the processor has it (the default);
// the tests set 0 to compare it with the plain code.
extern int LineVectorsAllowed;
// 1 when the vector code is allowed and the processor has it.
int LineVectorsAvailable(void);

// The value fields of the 15-byte price rows at `rows`, one after the
// other (16 bytes are read of each), for up to `count` rows: row j's
// five fields, each "%12.2f" of its packed value, and the four commas
// between them, 64 characters, at out + kRowValuesStride * j; up to 16
// bytes are written past the last. Returns the number of rows made: it
// stops before the first row with a value wider than twelve characters.
enum { kRowValuesChars = 64, kRowValuesStride = 64 };
int FormatRowValuesVector(char* out, const unsigned char* rows, int count);

// The lines of the export's layout (exported_layout.h) at `bytes`, one
// after the other, into slots[0] to slots[room - 1], each as ParsePriceLine
// gives it; stops at the first line of any other form and at a line that
// runs past the `available` bytes. Returns the number of lines read and
// sets *taken to the bytes they take, CR LF included.
struct PriceSlot;
int ReadExportedLinesVector(const unsigned char* bytes, int available, PriceSlot* slots, int room,
                            int* taken);
