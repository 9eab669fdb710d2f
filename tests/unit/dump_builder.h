// Byte-level builders of dump files for the unit tests: records framed by
// their little-endian length, headers with chosen version bytes and
// carriedBytes, stock records with chosen fields and price rows.
#pragma once

#include <string.h>

#include <string>
#include <vector>

#include "dump_format.h"

namespace dumpbuilder {

inline std::string Le32(int32_t n) {
  unsigned char b[4];
  WriteLE32(b, n);
  return std::string(reinterpret_cast<char*>(b), 4);
}

// A record: its RecordLength (by default the data's size) and its data.
inline std::string Record(const std::string& data, int32_t length = -1) {
  return Le32(length < 0 ? (int32_t)data.size() : length) + data;
}

inline std::string ContRec(int length = 80, unsigned char v0 = 0x00, unsigned char v1 = 0xD2,
                           const std::string& carried = "RyvoDB") {
  std::string r((size_t)length, '\0');
  if (length > 0) r[0] = (char)v0;
  if (length > 1) r[1] = (char)v1;
  for (size_t i = 0; i < carried.size() && kCarriedOffset + i < r.size(); ++i)
    r[kCarriedOffset + i] = carried[i];
  return r;
}

struct Stock {
  std::string name;            // up to 20 bytes, code page 932
  int flags = 0;
  std::string document;
  std::string keyword;
  int32_t purchaseCount = 0;
  int fetch[10] = {0};
  int32_t scale[4] = {0};
  std::vector<PriceRow> rows;
  int length = kFullDataRecLength;
};

inline std::string DataRec(const Stock& s) {
  std::vector<unsigned char> r((size_t)(s.length > 5120 ? s.length : 5120), 0);
  unsigned char* p = r.data();
  p[kDataFlags] = (unsigned char)s.flags;
  WriteBE16(p + kDataRecordVersion, kWrittenVersion);
  memcpy(p + kDataStockName, s.name.data(), s.name.size() > 20 ? 20 : s.name.size());
  memcpy(p + kDataWebDocument, s.document.data(), s.document.size() > 120 ? 120 : s.document.size());
  memcpy(p + kDataKeyword, s.keyword.data(), s.keyword.size() > 20 ? 20 : s.keyword.size());
  WriteBE32(p + kDataPurchaseCount, s.purchaseCount);
  for (int k = 0; k < 10; ++k) WriteBE16(p + kDataWebFetch + 2 * k, s.fetch[k]);
  for (int k = 0; k < 4; ++k) WriteBE32(p + kDataPriceScaleMax + 4 * k, s.scale[k]);
  for (size_t j = 0; j < s.rows.size() && j < 260; ++j)
    WritePriceRow(p + kPriceTableOffset + kPriceRowSize * j, &s.rows[j]);
  return std::string(reinterpret_cast<char*>(p), (size_t)s.length);
}

inline PriceRow Row(int y, int m, int d, uint32_t o, uint32_t h, uint32_t l, uint32_t c,
                    uint32_t v) {
  PriceRow row;
  row.date = EncodePackedDate(y, m, d);
  row.value[0] = o;
  row.value[1] = h;
  row.value[2] = l;
  row.value[3] = c;
  row.value[4] = v;
  return row;
}

// A whole dump: header then one DataRec per stock.
inline std::string Dump(const std::vector<Stock>& stocks, const std::string& header = ContRec()) {
  std::string bytes = Record(header);
  for (const Stock& s : stocks) bytes += Record(DataRec(s));
  return bytes;
}

inline std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace dumpbuilder
