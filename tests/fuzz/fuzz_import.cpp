// Fuzz target: the import of a price history. The input is cut at
// "\n#@#\n" into up to three pieces: the imported file, the stock's price
// CSV file as it stands before (missing when there is no second piece),
// and, when a third piece is there, an import with --replace.
//
// For any bytes, ImportPrices must:
//  - close every file and write nothing but the stock's price CSV file
//    (no temporary file left, nothing in the working folder);
//  - on -1 show exactly one message and leave the price file as it was;
//  - on 0 write the header line and at most 260 rows in strictly rising
//    date order, as many as the summary says, each a line of the export's
//    format; when no row comes from the earlier file, every date lies in
//    1904-2031 and is a calendar date;
//  - and the written file, converted by ConvertToHandheld, gives a DataRec
//    whose rows are exactly the file's dates and values.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "exchange.h"
#include "fuzz_platform.h"
#include "fuzz_text_model.h"
#include "import_prices.h"

namespace {


struct FileRow {
  int year, month, day;
  uint64_t hundredths[5];
};

// Integer hundredths of a value field of the export's format: blanks,
// digits, a point and exactly two decimals.
FUZZ_MODEL bool Hundredths(const std::string& text, uint64_t* value) {
  size_t p = text.find_first_not_of(' ');
  if (p == std::string::npos) return false;
  size_t point = text.find('.', p);
  if (point == std::string::npos || point == p || text.size() != point + 3) return false;
  uint64_t v = 0;
  for (size_t i = p; i < text.size(); ++i) {
    if (i == point) continue;
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (uint64_t)(text[i] - '0');
  }
  *value = v;
  return true;
}

// The lines of the written file after its header: "y/m/d," and five
// values, CR LF after each.
FUZZ_MODEL bool ReadRows(const std::string& text, std::vector<FileRow>* rows) {
  const std::string header = kCsvHeaderLine;
  if (text.compare(0, header.size(), header) != 0) return false;
  size_t at = header.size();
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) return false;
    std::string line = text.substr(at, end - at);
    at = end + 2;
    FileRow row;
    int used = 0;
    if (sscanf(line.c_str(), "%d/%d/%d,%n", &row.year, &row.month, &row.day, &used) != 3 ||
        used == 0)
      return false;
    size_t p = (size_t)used;
    for (int i = 0; i < 5; ++i) {
      size_t q = i < 4 ? line.find(',', p) : line.size();
      if (q == std::string::npos || q - p < 12) return false;   // "%12.2f" at least
      if (!Hundredths(line.substr(p, q - p), &row.hundredths[i])) return false;
      p = q + 1;
    }
    rows->push_back(row);
  }
  return true;
}

FUZZ_MODEL bool CalendarDate(const FileRow& r) {
  static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (r.year < 1904 || r.year > 2031 || r.month < 1 || r.month > 12 || r.day < 1) return false;
  bool leap = r.year % 4 == 0 && (r.year % 100 != 0 || r.year % 400 == 0);
  return r.day <= (r.month == 2 && !leap ? 28 : kDays[r.month - 1]);
}

FUZZ_MODEL unsigned PackedDate(const FileRow& r) {
  return ((unsigned)(r.year - 1904) & 0x7Fu) << 9 | ((unsigned)r.month & 15u) << 5 |
         ((unsigned)r.day & 31u);
}

FUZZ_MODEL std::string Le32(uint32_t n) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[(size_t)i] = (char)(n >> (8 * i));
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 16) return 0;
  FuzzBeginRun("import");
  const std::string work = FuzzFolder("work");
  const std::string csv = FuzzFolder("csv");
  const std::string db = FuzzFolder("db");

  const std::vector<std::string> pieces = FuzzPieces(data, size, 3);
  const bool hasExisting = pieces.size() > 1;
  const bool replace = pieces.size() > 2;
  const std::string priceFile = csv + "/7203.csv";
  FuzzWriteFile(db + "/download.csv", (const unsigned char*)pieces[0].data(), pieces[0].size());
  if (hasExisting)
    FuzzWriteFile(priceFile, (const unsigned char*)pieces[1].data(), pieces[1].size());

  static ImportSummary summary;
  int result = ImportPrices("7203", (db + "\\download.csv").c_str(), replace, &summary);
  FUZZ_CHECK(FuzzOpenFiles() == 0);
  FUZZ_CHECK(FuzzListFolder("work").empty());
  std::vector<std::string> present = FuzzListFolder("csv");
  FUZZ_CHECK(present.size() == (result == 0 || hasExisting ? 1u : 0u));
  if (!present.empty()) FUZZ_CHECK(present[0] == "7203.csv");
  std::string written = FuzzReadFile(priceFile);
  if (result != 0) {
    FUZZ_CHECK(result == -1);
    FUZZ_CHECK(FuzzMessageCount() == 1);
    if (hasExisting) FUZZ_CHECK(written == pieces[1]);
    return 0;
  }
  FUZZ_CHECK(FuzzMessageCount() == 0);
  FUZZ_CHECK(summary.rowsUsed > 0 && summary.rowsUsed + summary.rowsSkipped == summary.linesRead);

  std::vector<FileRow> rows;
  FUZZ_CHECK(ReadRows(written, &rows));
  FUZZ_CHECK(!rows.empty() && rows.size() <= 260 && (int)rows.size() == summary.rowsStored);
  for (size_t j = 0; j < rows.size(); ++j) {
    if (summary.existingRows == 0) FUZZ_CHECK(CalendarDate(rows[j]));
    if (j > 0) FUZZ_CHECK(PackedDate(rows[j - 1]) < PackedDate(rows[j]));
    for (int i = 0; i < 5; ++i) FUZZ_CHECK(rows[j].hundredths[i] <= 1310710000000ull);
  }

  // The conversion of the written file: a settings file of 14 lines and a
  // dump with full-size template lengths.
  const std::string settings = "7203\r\n0\r\n0\r\n0\r\n\r\n\r\n\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n";
  FuzzWriteFile(work + "/7203.txt", (const unsigned char*)settings.data(), settings.size());
  std::string contRec(80, '\0');
  contRec[1] = (char)0xD2;
  std::string dump = Le32(80) + contRec + Le32(kFullDataRecLength) +
                     std::string((size_t)kFullDataRecLength, '\0');
  FuzzWriteFile(work + "/Ryvo.dmp", (const unsigned char*)dump.data(), dump.size());
  FuzzListSet({"7203"});
  FUZZ_CHECK(ConvertToHandheld(FuzzStockList()) == 0);
  FUZZ_CHECK(FuzzOpenFiles() == 0);
  std::string converted = FuzzReadFile(work + "/Ryvo.dmp");
  FUZZ_CHECK(converted.size() == dump.size());
  const unsigned char* rec = (const unsigned char*)converted.data() + 88;
  FUZZ_CHECK(CountPriceRows(rec, kFullDataRecLength) == (int)rows.size());
  for (size_t j = 0; j < rows.size(); ++j) {
    const unsigned char* r = rec + kPriceTableOffset + kPriceRowSize * j;
    FUZZ_CHECK(((unsigned)r[0] << 8 | r[1]) == PackedDate(rows[j]));
    for (int v = 0; v < 5; ++v) {
      uint32_t bits = 0;
      for (int b = 0; b < 20; ++b) {
        int bit = v * 20 + b;
        bits = bits << 1 | ((r[2 + bit / 8] >> (7 - bit % 8)) & 1u);
      }
      uint64_t hundredths = bits & 0x1FFFFu;
      for (unsigned code = bits >> 17; code > 0; --code) hundredths *= 10;
      FUZZ_CHECK(hundredths == rows[j].hundredths[v]);
    }
  }
  return 0;
}
