// Fuzz target: the dump as the CSV export reads it. For any Ryvo.dmp:
// ExportCsv stops where the format says, with exactly one message, or
// reads to the end; the CSV folder then holds one file per stock whose
// name can be a file name (the last record of a name wins), each the
// header line followed by one line per price row of the record, as an
// independent formatter writes them; stocks whose name cannot be a file
// name are named in one message at the end and make the result -1; the
// dump is unchanged, the working folder holds nothing else, and nothing is
// written outside the scratch folders (the platform traps such a write).
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <set>
#include <string>

#include "exchange.h"
#include "fuzz_dump_model.h"
#include "fuzz_platform.h"
#include "stock_paths.h"

namespace {

const char kHeaderLine[] = "日付,始値,高値,安値,終値\r\n";

// "%12.2f" of a packed value, from its bits: mantissa * 10^code hundredths.
FUZZ_MODEL std::string ValueText(uint32_t field) {
  uint64_t hundredths = field & 0x1FFFFu;
  for (unsigned code = (field >> 17) & 7u; code > 0; --code) hundredths *= 10;
  char digits[32];
  snprintf(digits, sizeof digits, "%llu.%02llu", (unsigned long long)(hundredths / 100),
           (unsigned long long)(hundredths % 100));
  std::string text = digits;
  if (text.size() < 12) text.insert(0, 12 - text.size(), ' ');
  return text;
}

// The CSV file of a DataRec: the header, then its rows up to the first
// zero date, the 260th row or the first row that does not lie whole inside
// the record.
FUZZ_MODEL std::string CsvText(const std::string& rec, int* rows) {
  std::string p = Padded(rec);
  std::string out = kHeaderLine;
  *rows = 0;
  for (int j = 0; j < 260 && 512 + 15 * (j + 1) <= (int)rec.size(); ++j) {
    const unsigned char* r = (const unsigned char*)p.data() + 512 + 15 * j;
    unsigned date = (unsigned)r[0] << 8 | r[1];
    if (date == 0) break;
    // The 100 bits of the five values, most significant first.
    uint32_t value[5];
    for (int v = 0; v < 5; ++v) {
      uint32_t bits = 0;
      for (int b = 0; b < 20; ++b) {
        int bit = v * 20 + b;
        bits = bits << 1 | ((r[2 + bit / 8] >> (7 - bit % 8)) & 1u);
      }
      value[v] = bits;
    }
    char line[64];
    snprintf(line, sizeof line, "%u/%u/%u,", (date >> 9) + 1904, (date >> 5) & 15u, date & 31u);
    out += line;
    for (int v = 0; v < 5; ++v) out += ValueText(value[v]) + (v < 4 ? "," : "\r\n");
    ++*rows;
  }
  return out;
}

FUZZ_MODEL size_t CountLines(const std::string& text) {
  size_t n = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  FuzzBeginRun("export");
  const std::string work = FuzzFolder("work");
  const std::string csv = FuzzFolder("csv");
  const std::string input((const char*)data, size);
  FuzzWriteFile(work + "/Ryvo.dmp", data, size);

  int result = ExportCsv();
  FUZZ_CHECK(FuzzOpenFiles() == 0);   // every file closed on every path

  ModelDump m = ReadModelDump(data, size);
  // A damaged dump or one beyond the stock limit writes nothing.
  if (m.stop == ModelDump::kBadRecord || m.stop == ModelDump::kTooMany) m.records.clear();
  // Which names share a file: two different names, one file name.
  std::map<std::string, std::set<std::string>> namesOfFile;
  for (const std::string& rec : m.records) {
    std::string name = ModelName(rec), file;
    if (IsStockFileName(name.c_str()) && FuzzStockFile("csv", name, ".csv", &file))
      namesOfFile[file].insert(name);
  }
  std::map<std::string, std::string> files;   // CSV file -> expected text
  std::map<std::string, int> rows;
  bool skipped = false;
  for (const std::string& rec : m.records) {
    std::string name = ModelName(rec);
    std::string file;
    if (!IsStockFileName(name.c_str()) || !FuzzStockFile("csv", name, ".csv", &file) ||
        namesOfFile[file].size() > 1) {
      skipped = true;
      continue;
    }
    files[file] = CsvText(rec, &rows[file]);
  }
  bool fails = m.stop != ModelDump::kEnd || skipped;
  FUZZ_CHECK(result == (fails ? -1 : 0));
  FUZZ_CHECK(FuzzMessageCount() == (fails ? 1 : 0));
  if (m.stop == ModelDump::kNoHeader)
    FUZZ_CHECK(FuzzLastMessage() == "RyvoDB file Cnt.size read error");
  if (m.stop == ModelDump::kBadHeader)
    FUZZ_CHECK(FuzzLastMessage() == "RyvoDB file Cont.Rec. read error");
  if (m.stop == ModelDump::kBadRecord)
    FUZZ_CHECK(FuzzLastMessage().rfind("RyvoDB file Data.Rec. read error: record ", 0) == 0);

  std::set<std::string> expected;
  for (const auto& f : files) expected.insert(f.first);
  std::vector<std::string> present = FuzzListFolder("csv");
  FUZZ_CHECK(std::set<std::string>(present.begin(), present.end()) == expected);
  FUZZ_CHECK(FuzzListFolder("work") == std::vector<std::string>({"Ryvo.dmp"}));
  FUZZ_CHECK(FuzzListFolder("db").empty());
  FUZZ_CHECK(FuzzReadFile(work + "/Ryvo.dmp") == input);
  for (const auto& f : files) {
    std::string text = FuzzReadFile(csv + "/" + f.first);
    FUZZ_CHECK(text.compare(0, strlen(kHeaderLine), kHeaderLine) == 0);
    FUZZ_CHECK(CountLines(text) == 1 + (size_t)rows[f.first]);
    FUZZ_CHECK(text == f.second);
  }
  return 0;
}
