// The dump file Ryvo.dmp: records framed by a little-endian RecordLength,
// the header record (ContRec), the stock record (DataRec), the 15-byte
// price row with its packed date and five packed decimal values, and the
// byte-order helpers. Every reader and writer of the dump goes through here.
#pragma once

#include <stdint.h>
#include <stdio.h>

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
// RecordBuffer (cleared first, so a record shorter than the fields read
// from it reads as zero-padded).
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
// Inline: the conversion's line readers pack a date for every line.
static inline unsigned EncodePackedDate(int year, int month, int day) {
  // (year - 1904) mod 128, taken on the bits so that any year wraps.
  unsigned years = ((unsigned)year + 16u) & 0x7Fu;   // 1904 = 15 * 128 - 16
  return (years << 9) | (((unsigned)month & 0xFu) << 5) | ((unsigned)day & 0x1Fu);
}

// Packed values: 3-bit exponent code (exponent + 2), 17-bit mantissa.
double DecodePackedValue(uint32_t field);
uint32_t EncodePackedValue(int32_t mantissa, int exponent);

// One decoded price row: the packed date and the five 20-bit fields in
// the order open, high, low, close, volume.
struct PriceRow {
  unsigned date;
  uint32_t value[5];
};
void ReadPriceRow(const unsigned char* p, PriceRow* row);
void WritePriceRow(unsigned char* p, const PriceRow* row);   // spare nibble 0

// The number of rows in the price table of the DataRec `rec` whose
// RecordLength is `length`: the table ends at the first row whose date is
// zero, after row 260, or at the first row that does not lie whole inside
// the record, whichever comes first. Every reader of the table (export,
// info, charts, the check) counts its rows here.
int CountPriceRows(const unsigned char* rec, int32_t length);
