// The sample dump: a handful of real-looking Japanese stocks with a year of
// weekday prices, generated from a fixed seed with the dump-format code.
#include "sample_dump.h"

#include "stock_paths.h"

#include <stdio.h>
#include <string.h>

#include "dump_format.h"
#include "exchange.h"

namespace {

struct SampleStock {
  const char* name;         // code page 932
  int flags;
  const char* document;
  const char* keyword;
  int purchaseCount;
  int fetch[10];            // row, tag for open, high, low, close, volume
  int scale[4];             // price max, min, volume max, min
  int startPrice;           // in tenths of a yen
  int tick;                 // price step in tenths of a yen
  int volumeBase;           // shares per day, in thousands
};

const SampleStock kSampleStocks[] = {
    {"7203", kFlagWebScrap, "http://quote.example.jp/q?code=7203", "終値", 100,
     {12, 3, 12, 4, 12, 5, 12, 6, 14, 2}, {3500, 2000, 60000000, 0}, 28000, 10, 24000},
    {"ソニー", kFlagWebScrap | kFlagFixedScale, "http://quote.example.jp/q?code=6758",
     "ソニー", 200, {10, 3, 10, 4, 10, 5, 10, 6, 11, 2}, {4500, 2500, 30000000, 0},
     34000, 10, 9000},
    {"表示灯", 0, "", "", 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}, 15000, 10, 120},
    {"日本電信電話株式会社", kFlagOnlyClose, "http://quote.example.jp/q?code=9432", "ＮＴＴ",
     1000, {8, 1, 8, 2, 8, 3, 8, 4, 9, 1}, {200, 100, 400000000, 0}, 1530, 1, 150000},
    {"任天堂", kFlagWebScrap, "http://quote.example.jp/q?code=7974", "任天堂", 10,
     {12, 3, 12, 4, 12, 5, 12, 6, 14, 2}, {0, 0, 0, 0}, 82000, 10, 5500},
    {"9984", 0, "", "", 300, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}, 91000, 10, 11000},
};
const int kSampleCount = (int)(sizeof kSampleStocks / sizeof kSampleStocks[0]);

// A fixed linear congruential generator: the same sample on every build.
struct Random {
  uint32_t state;
  int Next(int range) {
    state = state * 1664525u + 1013904223u;
    return (int)((state >> 8) % (uint32_t)range);
  }
};

// The packed value a conversion stores for `tenths` / 10 yen (or shares).
uint32_t PackTenths(int64_t tenths) {
  char text[32];
  snprintf(text, sizeof text, "%lld.%d0", (long long)(tenths / 10), (int)(tenths % 10));
  signed char exponent;
  int32_t mantissa;
  ParseDecimalField(text, &exponent, &mantissa);
  return EncodePackedValue(mantissa, exponent);
}

// Fills the price table of the DataRec in RecordBuffer with `rows` weekdays
// from Monday 6 January 2025 on.
void FillPrices(int rows, int startPrice, int tick, int volumeBase, uint32_t seed) {
  Random random = {seed};
  int year = 2025, month = 1, day = 6, weekday = 0;   // 0 is Monday
  int64_t price = startPrice;
  for (int j = 0; j < rows && j < kMaxPriceRows; ++j) {
    int64_t open = price + (random.Next(21) - 10) * tick;
    if (open < tick) open = tick;
    int64_t close = open + (random.Next(61) - 30) * tick;
    if (close < tick) close = tick;
    int64_t high = (open > close ? open : close) + random.Next(15) * tick;
    int64_t low = (open < close ? open : close) - random.Next(15) * tick;
    if (low < tick) low = tick;
    // Volumes in hundreds of shares, as the exchange reports them.
    int64_t volume = ((int64_t)volumeBase * (60 + random.Next(90))) / 100 * 1000;
    volume -= volume % 100;
    PriceRow row;
    row.date = EncodePackedDate(year, month, day);
    row.value[0] = PackTenths(open);
    row.value[1] = PackTenths(high);
    row.value[2] = PackTenths(low);
    row.value[3] = PackTenths(close);
    row.value[4] = PackTenths(volume * 10);
    WritePriceRow(RecordBuffer + kPriceTableOffset + kPriceRowSize * j, &row);
    price = close;
    do {   // the next weekday
      weekday = (weekday + 1) % 7;
      if (++day > DaysInMonth(year, month)) {
        day = 1;
        if (++month > 12) {
          month = 1;
          ++year;
        }
      }
    } while (weekday >= 5);
  }
}

int WriteRecord(FILE* file, int length) {
  unsigned char bytes[4];
  WriteLE32(bytes, length);
  return fwrite(bytes, 1, 4, file) == 4 &&
                 fwrite(RecordBuffer, 1, (size_t)length, file) == (size_t)length
             ? 0
             : -1;
}

int WriteHeader(FILE* file, int stocks) {
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  WriteBE16(RecordBuffer + kContVersion, kWrittenVersion);
  WriteBE16(RecordBuffer + kContRecordCount, stocks);
  WriteBE16(RecordBuffer + kContWordB, 1000);
  memcpy(RecordBuffer + kCarriedOffset, "RyvoDB", 6);
  return WriteRecord(file, 80);
}

void PutText(unsigned char* field, int width, const char* text) {
  size_t n = strlen(text);
  if (n > (size_t)width) n = (size_t)width;
  memcpy(field, text, n);
}

}  // namespace

int SampleStockCount(void) { return kSampleCount; }

const char* SampleStockName(int index) {
  return index >= 0 && index < kSampleCount ? kSampleStocks[index].name : "";
}

namespace {

// What a dump holds: the sample, or `stocks` generated stocks of `rows`
// rows.
struct DumpKind {
  bool sample;
  int stocks;
  int rows;
};

int WriteDumpRecords(FILE* file, void* context) {
  const DumpKind* kind = (const DumpKind*)context;
  if (WriteHeader(file, kind->stocks) != 0) return -1;
  for (int i = 0; i < kind->stocks; ++i) {
    memset(RecordBuffer, 0, sizeof RecordBuffer);
    WriteBE16(RecordBuffer + kDataRecordVersion, kWrittenVersion);
    if (kind->sample) {
      const SampleStock& s = kSampleStocks[i];
      RecordBuffer[kDataFlags] = (unsigned char)s.flags;
      PutText(RecordBuffer + kDataStockName, kStockNameSize, s.name);
      PutText(RecordBuffer + kDataWebDocument, kWebDocumentSize, s.document);
      PutText(RecordBuffer + kDataKeyword, kKeywordSize, s.keyword);
      WriteBE32(RecordBuffer + kDataPurchaseCount, s.purchaseCount);
      for (int k = 0; k < 10; ++k) WriteBE16(RecordBuffer + kDataWebFetch + 2 * k, s.fetch[k]);
      for (int k = 0; k < 4; ++k)
        WriteBE32(RecordBuffer + kDataPriceScaleMax + 4 * k, s.scale[k]);
      FillPrices(kMaxPriceRows, s.startPrice, s.tick, s.volumeBase,
                 20250106u + (uint32_t)i * 7919u);
    } else {
      char name[16];
      snprintf(name, sizeof name, "%d", 1001 + i);
      PutText(RecordBuffer + kDataStockName, kStockNameSize, name);
      WriteBE32(RecordBuffer + kDataPurchaseCount, 100);
      for (int k = 0; k < 10; ++k) WriteBE16(RecordBuffer + kDataWebFetch + 2 * k, 10 + k);
      FillPrices(kind->rows, 1000 + (i % 500) * 97, (i % 3) == 0 ? 1 : 10, 100 + i % 9000,
                 (uint32_t)i * 2654435761u);
    }
    if (WriteRecord(file, kFullDataRecLength) != 0) return -1;
  }
  return 0;
}

// The dump written whole in place of `path` ("Ryvo.dm~" the base of its
// temporary file).
int WriteDumpWhole(const char* path, const DumpKind* kind) {
  char temporary[kPathSize];
  size_t n = strlen(path);
  if (n == 0 || n >= sizeof temporary) return -1;
  memcpy(temporary, path, n + 1);
  temporary[n - 1] = '~';
  return WriteWholeFile(path, temporary, WriteDumpRecords, (void*)kind) == kWholeFileWritten ? 0
                                                                                            : -1;
}

}  // namespace

int WriteSampleDump(const char* path) {
  DumpKind kind = {true, kSampleCount, kMaxPriceRows};
  return WriteDumpWhole(path, &kind);
}

int WriteSyntheticDump(const char* path, int stocks, int rows) {
  DumpKind kind = {false, stocks, rows};
  return WriteDumpWhole(path, &kind);
}
