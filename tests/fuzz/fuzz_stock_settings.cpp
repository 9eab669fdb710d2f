// Fuzz target: the stock settings file as the settings dialog's file logic
// reads, checks and writes it. The input is the settings file of stock
// 7203, or, when it holds "\n#@#\n", the current stock name before it and
// the file after it.
//
// Properties: ReadStockFields gives the result and the one message that an
// independent reading of the lines (Ctrl-Z, CR LF, long lines cut and their
// rest dropped) says, and exactly the field texts and flags of that
// reading, every text zero-terminated inside its buffer; fields that were
// not read are empty. ValidateStockFields refuses exactly the texts over
// their byte limits and the names that cannot be file names. A save of what
// was read writes the 14 lines, CR LF, of the fields, reads back to the
// same fields, copies the price CSV file on a new name, and leaves the
// current stock's files as they were unless the name is the same; every
// file is closed and nothing is written outside the scratch folders.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "exchange.h"
#include "fuzz_platform.h"
#include "fuzz_text_model.h"
#include "stock_paths.h"
#include "stock_settings.h"

namespace {

const char kSplit[] = "\n#@#\n";

FUZZ_MODEL std::string Stripped(const std::string& line) {
  std::string s = CText(line);
  if (!s.empty() && s.back() == '\n') s.pop_back();   // a CR before it stays
  return s;
}

FUZZ_MODEL void Pair(const std::string& line, std::string* first, std::string* second) {
  std::string s = CText(line);
  size_t p = s.find_first_not_of(",\n");
  if (p == std::string::npos) p = s.size();
  size_t end = s.find_first_of(",\n", p);
  if (end == std::string::npos) end = s.size();
  *first = s.substr(p, end - p);
  second->clear();
  if (end < s.size() && s[end] == ',') {
    size_t stop = s.find('\n', end + 1);
    *second = s.substr(end + 1, (stop == std::string::npos ? s.size() : stop) - end - 1);
  }
}

struct Texts {
  std::string text[4 + 2 * kPairCount];   // name, document, keyword, count, pairs
  int flag[3] = {0, 0, 0};
};

FUZZ_MODEL void CheckTerminated(const char* field) {
  FUZZ_CHECK(memchr(field, '\0', kFieldSize) != nullptr);
}

FUZZ_MODEL Texts FromFields(const StockFields& f) {
  const char* all[4 + 2 * kPairCount] = {f.name, f.document, f.keyword, f.purchaseCount};
  for (int i = 0; i < kPairCount; ++i) {
    all[4 + 2 * i] = f.pairFirst[i];
    all[5 + 2 * i] = f.pairSecond[i];
  }
  Texts t;
  for (int i = 0; i < 4 + 2 * kPairCount; ++i) {
    CheckTerminated(all[i]);
    t.text[i] = all[i];
  }
  t.flag[0] = f.onlyClose;
  t.flag[1] = f.webScrap;
  t.flag[2] = f.fixedScale;
  for (int flag : t.flag) FUZZ_CHECK(flag == 0 || flag == 1);
  return t;
}

FUZZ_MODEL bool Same(const Texts& a, const Texts& b) {
  for (int i = 0; i < 4 + 2 * kPairCount; ++i)
    if (a.text[i] != b.text[i]) return false;
  return a.flag[0] == b.flag[0] && a.flag[1] == b.flag[1] && a.flag[2] == b.flag[2];
}

FUZZ_MODEL std::string SettingsFile(const Texts& t) {
  std::string out = t.text[0] + "\r\n";
  for (int flag : t.flag) out += flag ? "1\r\n" : "0\r\n";
  out += t.text[1] + "\r\n" + t.text[2] + "\r\n" + t.text[3] + "\r\n";
  for (int i = 0; i < kPairCount; ++i) out += t.text[4 + 2 * i] + "," + t.text[5 + 2 * i] + "\r\n";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 16) return 0;
  FuzzBeginRun("settings");
  const std::string work = FuzzFolder("work");
  const std::string csv = FuzzFolder("csv");

  std::string input((const char*)data, size);
  std::string current = "7203", file = input;
  size_t split = input.find(kSplit);
  if (split != std::string::npos) {
    current = CText(input.substr(0, std::min<size_t>(split, kNameSize - 1)));
    file = input.substr(split + strlen(kSplit));
  }
  // The current stock's two files as the folders name them.
  std::string txt, csvFile;
  const bool csvOk = IsStockFileName(current.c_str()) != 0 &&
                     FuzzStockFile("csv", current, ".csv", &csvFile);
  const bool txtOk = IsStockFileName(current.c_str()) != 0 &&
                     FuzzStockFile("work", current, ".txt", &txt);
  const bool fileName = csvOk && txtOk;
  const std::string csvText = "日付,始値,高値,安値,終値\r\n";
  if (txtOk) FuzzWriteFile(work + "/" + txt, (const unsigned char*)file.data(), file.size());
  if (csvOk)
    FuzzWriteFile(csv + "/" + csvFile, (const unsigned char*)csvText.data(), csvText.size());

  static StockFields fields;
  memset(&fields, 0xA5, sizeof fields);
  int read = ReadStockFields(current.c_str(), &fields);
  FUZZ_CHECK(FuzzOpenFiles() == 0);   // every file closed on every path
  Texts got = FromFields(fields);

  // The independent reading.
  Texts want;
  int wantResult = 1;
  const char* message = nullptr;
  if (current.empty()) {
    // a new stock: everything empty
  } else if (!csvOk) {
    wantResult = 0;
    message = "CSVファイルを作成してから実行してください。";
  } else if (!txtOk) {
    wantResult = 0;   // the settings file cannot be opened: nothing to show
  } else {
    std::vector<std::string> lines = TextLines(file);
    size_t count = std::min<size_t>(lines.size(), 14);
    if (count < 14) {
      static const char* const kMissing[4] = {
          "RyvoSetup file StockName read error", "RyvoSetup file OnlyClose read error",
          "RyvoSetup file WebScrap read error", "RyvoSetup file FixedScale read error"};
      message = count < 4 ? kMissing[count] : "RyvoSetup file read error";
      wantResult = count < 2 ? 0 : -1;
    }
    for (size_t i = 0; i < count; ++i) {
      const std::string& line = lines[i];
      if (i >= 1 && i <= 3) want.flag[i - 1] = CText(line)[0] == '1';
      else if (i == 0) want.text[0] = Stripped(line);
      else if (i >= 4 && i <= 6) want.text[i - 3] = Stripped(line);
      else Pair(line, &want.text[4 + 2 * (i - 7)], &want.text[5 + 2 * (i - 7)]);
    }
  }
  FUZZ_CHECK(read == wantResult);
  FUZZ_CHECK(FuzzMessageCount() == (message != nullptr ? 1 : 0));
  if (message != nullptr) FUZZ_CHECK(FuzzLastMessage() == message);
  FUZZ_CHECK(Same(got, want));
  if (read == 0) return 0;

  // The byte limits and the file-name rule.
  int before = FuzzMessageCount();
  bool valid = got.text[0].size() <= 20 && got.text[1].size() <= 120 && got.text[2].size() <= 20 &&
               (got.text[0].empty() || IsStockFileName(got.text[0].c_str()));
  FUZZ_CHECK(ValidateStockFields(&fields) == (valid ? 1 : -1));
  FUZZ_CHECK(FuzzMessageCount() == before + (valid ? 0 : 1));
  if (!valid) return 0;

  // The save: the new name's files exist only when it is the current one.
  char resultName[kNameSize];
  memset(resultName, 0x5A, sizeof resultName);
  resultName[kNameSize - 1] = '\0';
  const std::string name = got.text[0];
  std::string nameTxt, nameCsv;
  const bool nameTxtOk = !name.empty() && FuzzStockFile("work", name, ".txt", &nameTxt);
  const bool nameCsvOk = !name.empty() && FuzzStockFile("csv", name, ".csv", &nameCsv);
  // Saved unless a file of the new name cannot be made, or the new name
  // spells the current stock's files (two codes of one character in UTF-8):
  // the overwrite question, answered Cancel here.
  const bool renamed = name != current;
  const bool saves = nameTxtOk && (current.empty() || !renamed || nameCsvOk) &&
                     !(fileName && renamed && nameTxt == txt);
  int saved = SaveStockFields(current.c_str(), &fields, resultName);
  FUZZ_CHECK(FuzzOpenFiles() == 0);
  std::set<std::string> workFiles, csvFiles;
  if (fileName) {
    workFiles.insert(txt);
    csvFiles.insert(csvFile);
  }
  if (!saves) {
    FUZZ_CHECK(saved == -1);
  } else {
    FUZZ_CHECK(saved == 0);
    FUZZ_CHECK(name == resultName);
    workFiles.insert(nameTxt);
    if (!current.empty()) csvFiles.insert(nameCsv);
    FUZZ_CHECK(FuzzReadFile(work + "/" + nameTxt) == SettingsFile(got));
    if (!current.empty()) FUZZ_CHECK(FuzzReadFile(csv + "/" + nameCsv) == csvText);
    static StockFields again;
    FUZZ_CHECK(ReadStockFields(name.c_str(), &again) == (current.empty() ? 0 : 1));
    FUZZ_CHECK(FuzzOpenFiles() == 0);
    // A line of 258 characters or more reads back in pieces, as the
    // conversion reads it; the fields come back whole when none is.
    if (!current.empty() && TextLines(SettingsFile(got)).size() == 14)
      FUZZ_CHECK(Same(FromFields(again), got));
  }
  if (fileName && (renamed || saved != 0)) FUZZ_CHECK(FuzzReadFile(work + "/" + txt) == file);
  if (fileName) FUZZ_CHECK(FuzzReadFile(csv + "/" + csvFile) == csvText);
  std::vector<std::string> present = FuzzListFolder("work");
  FUZZ_CHECK(std::set<std::string>(present.begin(), present.end()) == workFiles);
  present = FuzzListFolder("csv");
  FUZZ_CHECK(std::set<std::string>(present.begin(), present.end()) == csvFiles);
  FUZZ_CHECK(FuzzListFolder("db").empty());
  return 0;
}
