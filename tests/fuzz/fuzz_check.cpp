// Fuzz target: the check against the conversion. The input is cut at
// "\n#@#\n" into the stock list entry, its settings file and its price CSV
// file, as for the conversion's target. Properties:
//  - the check writes nothing (the folders hold the same files after it)
//    and shows no message box;
//  - it says the conversion stops exactly when the conversion fails;
//  - when it does not, the record it leaves in RecordBuffer is byte for
//    byte the DataRec that the conversion writes, and its row count, first
//    and last date are that record's;
//  - every finding names a known kind, a file of the stock and a line that
//    the file has; a group's last line is one too, and it holds at least
//    kCheckGroupMinimum lines.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "exchange.h"
#include "fuzz_platform.h"
#include "fuzz_text_model.h"
#include "stock_check.h"
#include "stock_paths.h"

namespace {

StockCheck Check;

FUZZ_MODEL size_t PhysicalLines(const std::string& bytes) {
  const std::string text = TextModeBytes(bytes);
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines + (!text.empty() && text.back() != '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 16) return 0;
  FuzzBeginRun("check");
  const std::string work = FuzzFolder("work");
  const std::string csv = FuzzFolder("csv");
  const std::vector<std::string> pieces = FuzzPieces(data, size, 3);
  std::string name = CText(pieces[0].substr(0, 79));
  name = name.substr(0, name.find('\n'));
  if (name.empty()) return 0;   // the list gives no stock: nothing to check
  std::string txt, csvFile;
  const bool fileName = IsStockFileName(name.c_str()) != 0;
  if (fileName && pieces.size() > 1 && FuzzStockFile("work", name, ".txt", &txt))
    FuzzWriteFile(work + "/" + txt, (const unsigned char*)pieces[1].data(), pieces[1].size());
  if (fileName && pieces.size() > 2 && FuzzStockFile("csv", name, ".csv", &csvFile))
    FuzzWriteFile(csv + "/" + csvFile, (const unsigned char*)pieces[2].data(), pieces[2].size());
  // The dump being replaced: a header and one record of a full table.
  std::string dump(4 + 20 + 4 + kFullDataRecLength, '\0');
  dump[0] = 20;
  dump[24] = (char)(kFullDataRecLength & 0xFF);
  dump[25] = (char)(kFullDataRecLength >> 8);
  FuzzWriteFile(work + "/Ryvo.dmp", (const unsigned char*)dump.data(), dump.size());
  const std::vector<std::string> workBefore = FuzzListFolder("work");
  const std::vector<std::string> csvBefore = FuzzListFolder("csv");

  int checked = CheckStock(name.c_str(), kFullDataRecLength, &Check);
  FUZZ_CHECK(FuzzOpenFiles() == 0);
  FUZZ_CHECK(FuzzMessageCount() == 0);
  FUZZ_CHECK(FuzzListFolder("work") == workBefore && FuzzListFolder("csv") == csvBefore);
  FUZZ_CHECK((checked != 0) == (Check.stopsConversion != 0));
  std::string record((const char*)RecordBuffer, kFullDataRecLength);

  const size_t lines[2] = {pieces.size() > 1 ? PhysicalLines(pieces[1]) : 0,
                           pieces.size() > 2 ? PhysicalLines(pieces[2]) : 0};
  for (int i = 0; i < Check.findingCount; ++i) {
    const CheckFinding& f = Check.findings[i];
    FUZZ_CHECK(f.kind >= 0 && f.kind < kCheckKindCount);
    FUZZ_CHECK(f.file == kCheckSettingsFile || f.file == kCheckCsvFile);
    FUZZ_CHECK(f.line >= 0 && (size_t)f.line <= lines[f.file]);
    FUZZ_CHECK(f.count >= 1 && f.lastLine >= f.line && (size_t)f.lastLine <= lines[f.file]);
    FUZZ_CHECK(f.count == 1 || f.count >= kCheckGroupMinimum);
    FUZZ_CHECK(strlen(f.message) > 0);
  }

  FuzzListSet({pieces[0]});
  int converted = ConvertToHandheld(FuzzStockList());
  FUZZ_CHECK((converted != 0) == (checked != 0));
  if (converted != 0) return 0;
  const std::string written = FuzzReadFile(work + "/Ryvo.dmp");
  FUZZ_CHECK(written.size() == dump.size());
  FUZZ_CHECK(written.compare(4 + 20 + 4, kFullDataRecLength, record) == 0);
  const unsigned char* rec = (const unsigned char*)written.data() + 28;
  const int rows = CountPriceRows(rec, kFullDataRecLength);
  FUZZ_CHECK(Check.rows == rows);
  if (rows > 0) {
    const unsigned char* last = rec + kPriceTableOffset + kPriceRowSize * (rows - 1);
    FUZZ_CHECK(Check.firstDate == ((unsigned)rec[kPriceTableOffset] << 8 | rec[kPriceTableOffset + 1]));
    FUZZ_CHECK(Check.lastDate == ((unsigned)last[0] << 8 | last[1]));
  }
  return 0;
}
