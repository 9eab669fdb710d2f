// Fuzz target: the dump as loading reads it. For any Ryvo.dmp: LoadDump
// stops exactly where the format says (with one message) or at the end
// (with none); the stock list holds the names of the records read, in
// order; BeginRyvo.dmp is a byte copy of the dump and the dump is
// unchanged; the working folder holds nothing but these and one settings
// file per stock whose name can be a file name, each exactly the 14 lines
// of the last record of that name; and nothing is written outside the
// scratch folders (the platform stops the process on such a write).
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

// The stock settings file of a DataRec, built from its fields.
FUZZ_MODEL std::string SettingsText(const std::string& rec) {
  std::string p = Padded(rec);
  // A line feed inside a text field is written CR LF, as in text mode.
  auto text = [&](size_t at, size_t width) {
    std::string out;
    for (char c : std::string(p.c_str() + at, strnlen(p.c_str() + at, width)))
      out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  };
  char line[64];
  std::string out = text(4, 20) + "\r\n";
  unsigned flags = (unsigned char)p[1];
  out += (flags & 1) ? "1\r\n" : "0\r\n";
  out += (flags & 2) ? "1\r\n" : "0\r\n";
  out += (flags & 4) ? "1\r\n" : "0\r\n";
  out += text(24, 120) + "\r\n";
  out += text(144, 20) + "\r\n";
  snprintf(line, sizeof line, "%d\r\n", (int)ModelBE32(p, 166));
  out += line;
  for (int i = 0; i < 5; ++i) {
    snprintf(line, sizeof line, "%d,%d\r\n", ModelBE16(p, 170 + 4 * i), ModelBE16(p, 172 + 4 * i));
    out += line;
  }
  snprintf(line, sizeof line, "%d,%d\r\n", (int)ModelBE32(p, 194), (int)ModelBE32(p, 198));
  out += line;
  snprintf(line, sizeof line, "%d,%d\r\n", (int)ModelBE32(p, 202), (int)ModelBE32(p, 206));
  out += line;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  FuzzBeginRun("load");
  const std::string work = FuzzFolder("work");
  const std::string input((const char*)data, size);
  FuzzWriteFile(work + "/Ryvo.dmp", data, size);

  int result = LoadDump(FuzzStockList());
  FUZZ_CHECK(FuzzOpenFiles() == 0);   // every file closed on every path

  ModelDump m = ReadModelDump(data, size);
  // A damaged dump or one beyond the stock limit is told before anything
  // is copied, listed or written.
  bool damaged = m.stop == ModelDump::kBadRecord || m.stop == ModelDump::kTooMany;
  bool versionOk = m.stop == ModelDump::kEnd && (unsigned char)Padded(m.header)[1] >= 210;
  // Names that share a file with another name get no settings file and are
  // told in one message at the end.
  std::map<std::string, std::set<std::string>> namesOfFile;
  for (const std::string& rec : m.records) {
    std::string name = ModelName(rec), file;
    if (IsStockFileName(name.c_str()) && FuzzStockFile("work", name, ".txt", &file))
      namesOfFile[file].insert(name);
  }
  bool sharing = false;
  std::vector<std::string> names;
  std::map<std::string, std::string> files;   // settings file -> expected text
  if (versionOk) {
    for (const std::string& rec : m.records) {
      std::string name = ModelName(rec);
      names.push_back(name);
      std::string file;
      if (IsStockFileName(name.c_str()) && FuzzStockFile("work", name, ".txt", &file)) {
        if (namesOfFile[file].size() > 1)
          sharing = true;
        else
          files[file] = SettingsText(rec);
      }
    }
  }
  bool fails = !versionOk;
  FUZZ_CHECK(result == (fails ? -1 : 0));
  FUZZ_CHECK(FuzzMessageCount() == (fails || sharing ? 1 : 0));
  if (m.stop == ModelDump::kBadRecord)
    FUZZ_CHECK(FuzzLastMessage().rfind("RyvoDB file Data.Rec. read error: record ", 0) == 0);
  FUZZ_CHECK(FuzzListItems() == names);

  std::set<std::string> expected = {"Ryvo.dmp"};
  if (!damaged) expected.insert("BeginRyvo.dmp");
  for (const auto& f : files) expected.insert(f.first);
  std::vector<std::string> present = FuzzListFolder("work");
  FUZZ_CHECK(std::set<std::string>(present.begin(), present.end()) == expected);
  FUZZ_CHECK(FuzzListFolder("csv").empty() && FuzzListFolder("db").empty());
  FUZZ_CHECK(FuzzReadFile(work + "/Ryvo.dmp") == input);
  if (!damaged) FUZZ_CHECK(FuzzReadFile(work + "/BeginRyvo.dmp") == input);
  for (const auto& f : files) FUZZ_CHECK(FuzzReadFile(work + "/" + f.first) == f.second);
  return 0;
}
