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

// The price lines of the 15-byte rows at `rows`, one after the other (16
// bytes are read of each), for up to `count` rows: each line as
// FormatCsvLine makes it, "y/m/d," and five values of twelve characters,
// CR LF. Writes them one after the other at `out`, and up to 16 bytes
// past the last; sets *length to the bytes of the lines. Returns the
// number of lines made: it stops before the first row with a value wider
// than twelve characters.
int FormatPriceLinesVector(char* out, const unsigned char* rows, int count, int* length);

// The lines of the export's layout (exported_layout.h) at `bytes`, one
// after the other, into slots[0] to slots[room - 1] (room at most 260),
// each as ParsePriceLine gives it; stops at the first line of any other
// form, at a line that runs past the `available` bytes and at a line with
// a value whose hundredths would not fit 31 bits. Returns the number of
// lines read and sets *taken to the bytes they take, CR LF included.
struct PriceSlot;
int ReadExportedLinesVector(const unsigned char* bytes, int available, PriceSlot* slots, int room,
                            int* taken);
