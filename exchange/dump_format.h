// The dump file Ryvo.dmp: records framed by a little-endian RecordLength,
// the header record (ContRec), the stock record (DataRec), the 15-byte
// price row with its packed date and five packed decimal values, and the
// byte-order helpers. Every reader and writer of the dump goes through here.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <string.h>

enum {
  kRecordBufferSize = 5120,     // largest record
  kMinVersionByte = 210,        // lowest accepted low byte of `version`
  kWrittenVersion = 210,
  kCarriedOffset = 10,
  kCarriedSize = 8,
  kPriceTableOffset = 512,
  kPriceRowSize = 15,
  kMaxPriceRows = 260,
  kFullDataRecLength = 512 + 260 * 15,   // 4412
  kStockNameSize = 20,
};

// ContRec field offsets.
enum {
  kContVersion = 0, kContRecordCount = 2, kContWordA = 4, kContWordB = 6,
  kContWordC = 8,
};

// DataRec field offsets.
enum {
  kDataFlags = 1, kDataRecordVersion = 2, kDataStockName = 4,
  kDataWebDocument = 24, kDataKeyword = 144, kDataPurchaseCount = 166,
  kDataWebFetch = 170, kDataPriceScaleMax = 194, kDataPriceScaleMin = 198,
  kDataVolumeScaleMax = 202, kDataVolumeScaleMin = 206,
};
enum { kWebDocumentSize = 120, kKeywordSize = 20 };
enum { kFlagOnlyClose = 1, kFlagWebScrap = 2, kFlagFixedScale = 4 };

// The one record buffer that loading, export and conversion use in turn.
extern unsigned char RecordBuffer[kRecordBufferSize];

// Big-endian fields inside records.
int ReadBE16(const unsigned char* p);             // signed, sign-extended
int32_t ReadBE32(const unsigned char* p);         // signed
unsigned char* WriteBE16(unsigned char* p, int value);     // low 16 bits
unsigned char* WriteBE32(unsigned char* p, int32_t value);
// Little-endian RecordLength.
int32_t ReadLE32(const unsigned char* p);
void WriteLE32(unsigned char* p, int32_t value);

// Reads one record: its 4-byte RecordLength, then that many bytes into
// RecordBuffer. Every byte of RecordBuffer past the bytes read is set to
// zero, so a record shorter than the fields read from it reads as
// zero-padded; *length is 0 when fewer than 4 bytes were left, else the
// RecordLength read (also a bad one).
enum {
  kRecordRead = 0,      // *length holds the length, the bytes are in RecordBuffer
  kRecordEnd = 1,       // fewer than 4 bytes of RecordLength were left
  kRecordShort = 2,     // the file ended inside the record
  kRecordBadLength = 3, // RecordLength above 5120 or below 0: nothing read
};
int ReadDumpRecord(FILE* file, int32_t* length);

// Text field of a record: copies `width` bytes into `out` (width + 1 bytes)
// and terminates it, so the text ends at the first zero or after `width`.
void ReadTextField(const unsigned char* field, int width, char* out);

// Packed dates: years since 1904 in bits 15-9, month 8-5, day 4-0.
void DecodePackedDate(unsigned date, int* year, int* month, int* day);
// The text of a packed date as every message, report and listing shows
// it: "y/m/d" without leading zeros ("2024/1/5"), the fields as decoded
// (so "1904/0/0" for 0 and "2031/15/31" for 0xFFFF). Written into `out`
// (`size` bytes, cut to size - 1 bytes and terminated; kPackedDateTextSize
// holds every date); returns `out`.
enum { kPackedDateTextSize = 12 };
const char* FormatPackedDate(char* out, int size, unsigned date);
// The days of `month` (1 to 12) in `year` of the Gregorian calendar.
int DaysInMonth(int year, int month);
// Inline: the conversion packs a date for every price line.
static inline unsigned EncodePackedDate(int year, int month, int day) {
  // (year - 1904) mod 128, taken on the bits so that any year wraps.
  unsigned years = ((unsigned)year + 16u) & 0x7Fu;   // 1904 = 15 * 128 - 16
  return (years << 9) | (((unsigned)month & 0xFu) << 5) | ((unsigned)day & 0x1Fu);
}

// Packed values: 3-bit exponent code (exponent + 2), 17-bit mantissa.
double DecodePackedValue(uint32_t field);
static inline uint32_t EncodePackedValue(int32_t mantissa, int exponent) {
  return ((uint32_t)(exponent + 2) & 7u) << 17 | ((uint32_t)mantissa & 0x1FFFFu);
}

// One decoded price row: the packed date and the five 20-bit fields in
// the order open, high, low, close, volume.
struct PriceRow {
  unsigned date;
  uint32_t value[5];
};
void ReadPriceRow(const unsigned char* p, PriceRow* row);

// The low `bytes` bytes of v (1 to 8), the highest first.
static inline void StoreBigEndian(unsigned char* p, uint64_t v, int bytes) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  v = __builtin_bswap64(v << (64 - 8 * bytes));
  memcpy(p, &v, (size_t)bytes);
#else
  for (int i = 0; i < bytes; ++i) p[i] = (unsigned char)(v >> (8 * (bytes - 1 - i)));
#endif
}

// Writes the 15 bytes of a row, the spare nibble 0. Inline: the
// conversion writes a row for every line, from values still in registers.
static inline void WritePriceRow(unsigned char* p, const PriceRow* row) {
  uint64_t f[5];
  for (int i = 0; i < 5; ++i) f[i] = row->value[i] & 0xFFFFFu;
  // The bit string in two words: bytes 2 to 9, then bytes 10 to 14.
  uint64_t high = f[0] << 44 | f[1] << 24 | f[2] << 4 | f[3] >> 16;
  uint64_t low = (f[3] & 0xFFFFu) << 24 | f[4] << 4;
  p[0] = (unsigned char)((row->date >> 8) & 0xFF);
  p[1] = (unsigned char)(row->date & 0xFF);
  StoreBigEndian(p + 2, high, 8);
  StoreBigEndian(p + 10, low, 5);
}

// The number of rows in the price table of the DataRec `rec` whose
// RecordLength is `length`: the table ends at the first row whose date is
// zero, after row 260, or at the first row that does not lie whole inside
// the record, whichever comes first. Every reader of the table (export,
// info, charts, the check) counts its rows here.
int CountPriceRows(const unsigned char* rec, int32_t length);
