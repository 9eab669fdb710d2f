// The dump file format: record framing, byte-order helpers, packed dates,
// packed values and the 15-byte price row. Owns RecordBuffer.
#include "dump_format.h"

#include <stdio.h>
#include <string.h>

unsigned char RecordBuffer[kRecordBufferSize];

int ReadBE16(const unsigned char* p) {
  int value = (p[0] << 8) | p[1];
  return value >= 0x8000 ? value - 0x10000 : value;
}

int32_t ReadBE32(const unsigned char* p) {
  uint32_t value = ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) |
                   ((uint32_t)p[2] << 8) | (uint32_t)p[3];
  return (int32_t)value;   // two's complement on every supported compiler
}

unsigned char* WriteBE16(unsigned char* p, int value) {
  unsigned bits = (unsigned)value;
  p[0] = (unsigned char)((bits >> 8) & 0xFF);
  p[1] = (unsigned char)(bits & 0xFF);
  return p;
}

unsigned char* WriteBE32(unsigned char* p, int32_t value) {
  uint32_t bits = (uint32_t)value;
  p[0] = (unsigned char)(bits >> 24);
  p[1] = (unsigned char)((bits >> 16) & 0xFF);
  p[2] = (unsigned char)((bits >> 8) & 0xFF);
  p[3] = (unsigned char)(bits & 0xFF);
  return p;
}

int32_t ReadLE32(const unsigned char* p) {
  uint32_t value = ((uint32_t)p[3] << 24) | ((uint32_t)p[2] << 16) |
                   ((uint32_t)p[1] << 8) | (uint32_t)p[0];
  return (int32_t)value;
}

void WriteLE32(unsigned char* p, int32_t value) {
  uint32_t bits = (uint32_t)value;
  p[0] = (unsigned char)(bits & 0xFF);
  p[1] = (unsigned char)((bits >> 8) & 0xFF);
  p[2] = (unsigned char)((bits >> 16) & 0xFF);
  p[3] = (unsigned char)(bits >> 24);
}

int ReadDumpRecord(FILE* file, int32_t* length) {
  unsigned char bytes[4];
  *length = 0;
  size_t got = 0;
  int status = kRecordRead;
  if (fread(bytes, 1, 4, file) != 4) {
    status = kRecordEnd;
  } else {
    int32_t n = ReadLE32(bytes);
    *length = n;
    // A length the buffer cannot hold is never read, not even in part.
    if (n < 0 || n > kRecordBufferSize) {
      status = kRecordBadLength;
    } else if (n > 0) {
      got = fread(RecordBuffer, 1, (size_t)n, file);
      if (got != (size_t)n) status = kRecordShort;
    }
  }
  // Cleared past the bytes read, as if cleared first: only the short tail
  // of a full record is written twice.
  memset(RecordBuffer + got, 0, sizeof RecordBuffer - got);
  return status;
}

void ReadTextField(const unsigned char* field, int width, char* out) {
  memset(out, 0, (size_t)width + 1);
  memcpy(out, field, (size_t)width);
}

void DecodePackedDate(unsigned date, int* year, int* month, int* day) {
  date &= 0xFFFF;
  *year = (int)(date >> 9) + 1904;
  *month = (int)((date >> 5) & 0xF);
  *day = (int)(date & 0x1F);
}

const char* FormatPackedDate(char* out, int size, unsigned date) {
  int year, month, day;
  DecodePackedDate(date, &year, &month, &day);
  if (size > 0) snprintf(out, (size_t)size, "%d/%d/%d", year, month, day);
  return out;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

double DecodePackedValue(uint32_t field) {
  static const double kPowers[8] = {0.01, 0.1, 1.0, 10.0, 100.0, 1000.0,
                                    10000.0, 100000.0};
  unsigned code = (field >> 17) & 7u;
  uint32_t mantissa = field & 0x1FFFFu;
  // 10.0 raised to -2 and -1 are the doubles nearest 0.01 and 0.1, the
  // same numbers pow(10.0, e) gives; the others are exact.
  return (double)mantissa * kPowers[code];
}

// Bytes 2-14 hold five 20-bit fields as one big-endian bit string: fields
// 0, 2 and 4 start on a byte boundary, fields 1 and 3 in the middle of one.
void ReadPriceRow(const unsigned char* p, PriceRow* row) {
  row->date = ((unsigned)p[0] << 8) | p[1];
  for (int pair = 0; pair < 2; ++pair) {
    const unsigned char* q = p + 2 + pair * 5;
    row->value[pair * 2] = ((uint32_t)q[0] << 12) | ((uint32_t)q[1] << 4) | (q[2] >> 4);
    row->value[pair * 2 + 1] = ((uint32_t)(q[2] & 0xF) << 16) | ((uint32_t)q[3] << 8) | q[4];
  }
  const unsigned char* v = p + 12;
  row->value[4] = ((uint32_t)v[0] << 12) | ((uint32_t)v[1] << 4) | (v[2] >> 4);
}

int CountPriceRows(const unsigned char* rec, int32_t length) {
  int rows = 0;
  for (; rows < kMaxPriceRows; ++rows) {
    int32_t end = kPriceTableOffset + kPriceRowSize * (rows + 1);
    if (end > length) break;
    const unsigned char* row = rec + kPriceTableOffset + kPriceRowSize * rows;
    if (row[0] == 0 && row[1] == 0) break;
  }
  return rows;
}
