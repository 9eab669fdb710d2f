// An independent reading of a dump for the fuzz targets: the records as
// the format defines them, and where and why the reading stops.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_platform.h"

struct ModelDump {
  enum Stop { kEnd, kNoHeader, kBadHeader, kBadRecord, kTooMany } stop = kEnd;
  std::string header;                  // the ContRec as read
  std::vector<std::string> records;    // the DataRecs read in full, in order
};

// Records framed by a little-endian length of 0 to 5120; the reading ends
// normally where fewer than 4 bytes are left after the header. More than
// 8192 stock records is the stock limit.
FUZZ_MODEL inline ModelDump ReadModelDump(const uint8_t* data, size_t size) {
  ModelDump m;
  size_t pos = 0;
  bool first = true;
  for (;;) {
    if (size - pos < 4) {
      if (first) m.stop = ModelDump::kNoHeader;
      return m;
    }
    uint32_t raw = (uint32_t)data[pos] | (uint32_t)data[pos + 1] << 8 |
                   (uint32_t)data[pos + 2] << 16 | (uint32_t)data[pos + 3] << 24;
    pos += 4;
    if (raw > 5120 || size - pos < raw) {   // negative lengths are above 5120 here
      m.stop = first ? ModelDump::kBadHeader : ModelDump::kBadRecord;
      return m;
    }
    std::string rec((const char*)data + pos, raw);
    pos += raw;
    if (!first && m.records.size() == 8192) {   // the stock limit, said before anything is read
      m.stop = ModelDump::kTooMany;
      return m;
    }
    if (first) m.header = rec;
    else m.records.push_back(rec);
    first = false;
  }
}

// A record zero-padded to the 5120 bytes of the record buffer.
FUZZ_MODEL inline std::string Padded(const std::string& rec) {
  std::string p = rec;
  p.resize(5120, '\0');
  return p;
}

// The StockName text of a DataRec.
FUZZ_MODEL inline std::string ModelName(const std::string& rec) {
  std::string p = Padded(rec);
  return std::string(p.c_str() + 4, strnlen(p.c_str() + 4, 20));
}

FUZZ_MODEL inline int ModelBE16(const std::string& p, size_t at) {
  return (int16_t)(uint16_t)((unsigned char)p[at] << 8 | (unsigned char)p[at + 1]);
}
FUZZ_MODEL inline int32_t ModelBE32(const std::string& p, size_t at) {
  uint32_t v = (uint32_t)(unsigned char)p[at] << 24 | (uint32_t)(unsigned char)p[at + 1] << 16 |
               (uint32_t)(unsigned char)p[at + 2] << 8 | (unsigned char)p[at + 3];
  int32_t out;
  memcpy(&out, &v, sizeof out);
  return out;
}
