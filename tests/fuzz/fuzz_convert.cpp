// Fuzz target: the stock settings file and the price CSV file as the
// converter reads them, and the old dump whose template lengths it takes.
// The input is cut at "\n#@#\n" into up to four pieces: the one stock list
// entry, its settings file, its price CSV file and the old Ryvo.dmp; a
// missing piece is a missing file.
//
// An independent reading of the same bytes (lines as a Windows text-mode
// stream gives them, the settings lines, the eight pieces of a price line,
// the slot ring of 260) says what ConvertToHandheld must do:
//  - on success the new dump is exactly the header and one DataRec of the
//    old template lengths; the header fields, the record's first 512 bytes
//    and the dates of its rows are as the reading says, the rows are the
//    last 260 complete lines in date order, every value's mantissa and
//    exponent in range, and nothing but zeros follows the last row;
//  - on failure the result is -1 with the one message of the failure (or
//    none where the failure is silent), and Ryvo.dmp is byte for byte what
//    it was;
//  - either way SaveRyvo.dmp is the old dump (when there was one), the
//    settings and CSV files are unchanged, no temporary file is left, and
//    nothing is written outside the scratch folders.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "exchange.h"
#include "fuzz_platform.h"
#include "fuzz_text_model.h"
#include "stock_paths.h"

namespace {

const unsigned char kCarried[8] = {'R', 'y', 'v', 'o', 'D', 'B', 0, 0};

FUZZ_MODEL void PutBE16(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)(v >> 8);
  p[1] = (unsigned char)v;
}
FUZZ_MODEL void PutBE32(unsigned char* p, uint32_t v) {
  PutBE16(p, v >> 16);
  PutBE16(p + 2, v);
}

// The pair rule: commas and line feeds at the start skipped, the first
// piece up to a comma or line feed, the second the rest up to the line feed.
FUZZ_MODEL void Pair(const std::string& line, int32_t* a, int32_t* b) {
  std::string s = CText(line);
  size_t p = s.find_first_not_of(",\n");
  if (p == std::string::npos) p = s.size();
  size_t end = s.find_first_of(",\n", p);
  if (end == std::string::npos) end = s.size();
  *a = ReferenceInt(s.substr(p, end - p));
  std::string second;
  if (end < s.size() && s[end] == ',') {
    size_t stop = s.find('\n', end + 1);
    second = s.substr(end + 1, (stop == std::string::npos ? s.size() : stop) - end - 1);
  }
  *b = ReferenceInt(second);
}

FUZZ_MODEL std::string Stripped(const std::string& line) {
  std::string s = CText(line);
  if (!s.empty() && s.back() == '\n') s.pop_back();   // a CR before it stays
  return s;
}

struct Row {
  unsigned date;
  int code[5];
  int32_t mantissa[5];
  bool operator<(const Row& o) const {
    if (date != o.date) return date < o.date;
    for (int i = 0; i < 5; ++i) {
      if (code[i] != o.code[i]) return code[i] < o.code[i];
      if (mantissa[i] != o.mantissa[i]) return mantissa[i] < o.mantissa[i];
    }
    return false;
  }
  bool operator==(const Row& o) const { return !(*this < o) && !(o < *this); }
};

// A line with double quotes as CSV: the quotes that open and close a
// quoted stretch are dropped, "" inside it is one quote, and a comma
// inside it is a blank. A line without quotes stays as it is.
FUZZ_MODEL std::string Unquoted(const std::string& s) {
  if (s.find('"') == std::string::npos) return s;
  std::string out;
  bool inside = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '"') {
      out += inside && s[i] == ',' ? ' ' : s[i];
    } else if (inside && i + 1 < s.size() && s[i + 1] == '"') {
      out += '"';
      ++i;
    } else {
      inside = !inside;
    }
  }
  return out;
}

// The eight pieces of a price line; false when one is missing.
FUZZ_MODEL bool PriceLine(const std::string& line, Row* row) {
  static const char* const kSeparators[8] = {"/", "/", ",", ",", ",", ",", ",", ",\n"};
  std::string s = Unquoted(CText(line));
  std::string piece[8];
  size_t p = 0;
  for (int i = 0; i < 8; ++i) {
    p = s.find_first_not_of(kSeparators[i], p);
    if (p == std::string::npos) return false;
    size_t end = s.find_first_of(kSeparators[i], p);
    if (end == std::string::npos) end = s.size();
    piece[i] = s.substr(p, end - p);
    p = end < s.size() ? end + 1 : end;
  }
  uint32_t years = ((uint32_t)ReferenceInt(piece[0]) + 16u) & 0x7Fu;
  row->date = years << 9 | ((uint32_t)ReferenceInt(piece[1]) & 15u) << 5 |
              ((uint32_t)ReferenceInt(piece[2]) & 31u);
  for (int i = 0; i < 5; ++i) {
    signed char exponent = 99;
    int32_t mantissa = -1;
    ParseDecimalField(piece[3 + i].c_str(), &exponent, &mantissa);
    FUZZ_CHECK(mantissa >= 0 && mantissa <= 131071);
    FUZZ_CHECK(exponent >= -2 && exponent <= 5);
    row->code[i] = exponent + 2;
    row->mantissa[i] = mantissa;
  }
  return true;
}

// A row of the new DataRec, decoded bit by bit.
FUZZ_MODEL Row DecodeRow(const unsigned char* r) {
  Row row;
  row.date = (unsigned)r[0] << 8 | r[1];
  for (int v = 0; v < 5; ++v) {
    uint32_t bits = 0;
    for (int b = 0; b < 20; ++b) {
      int bit = v * 20 + b;
      bits = bits << 1 | ((r[2 + bit / 8] >> (7 - bit % 8)) & 1u);
    }
    row.code[v] = (int)(bits >> 17);
    row.mantissa[v] = (int32_t)(bits & 0x1FFFF);
  }
  return row;
}

FUZZ_MODEL uint32_t Le32(const std::string& s, size_t at) {
  return (uint32_t)(unsigned char)s[at] | (uint32_t)(unsigned char)s[at + 1] << 8 |
         (uint32_t)(unsigned char)s[at + 2] << 16 | (uint32_t)(unsigned char)s[at + 3] << 24;
}

bool TemplateLength(uint32_t n) { return n >= 1 && n <= 5120; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 16) return 0;
  FuzzBeginRun("convert");
  const std::string work = FuzzFolder("work");
  const std::string csv = FuzzFolder("csv");
  memcpy(CarriedBytes, kCarried, sizeof kCarried);

  const std::vector<std::string> pieces = FuzzPieces(data, size, 4);
  const std::string entry = pieces[0];
  const bool hasSettings = pieces.size() > 1, hasCsv = pieces.size() > 2, hasDump = pieces.size() > 3;
  const std::string settings = hasSettings ? pieces[1] : "";
  const std::string prices = hasCsv ? pieces[2] : "";
  const std::string oldDump = hasDump ? pieces[3] : "";

  // The name as the converter takes it from the list: at most 79 bytes, up
  // to the first zero byte and the first line feed.
  std::string name = CText(entry.substr(0, 79));
  name = name.substr(0, name.find('\n'));
  // Its two files as the folders name them; none when it cannot be a file name.
  std::string txt, csvFile;
  const bool fileName = IsStockFileName(name.c_str()) != 0;
  const bool txtOk = fileName && FuzzStockFile("work", name, ".txt", &txt);
  const bool csvOk = fileName && FuzzStockFile("csv", name, ".csv", &csvFile);
  if (txtOk && hasSettings)
    FuzzWriteFile(work + "/" + txt, (const unsigned char*)settings.data(), settings.size());
  if (csvOk && hasCsv)
    FuzzWriteFile(csv + "/" + csvFile, (const unsigned char*)prices.data(), prices.size());
  if (hasDump)
    FuzzWriteFile(work + "/Ryvo.dmp", (const unsigned char*)oldDump.data(), oldDump.size());
  FuzzListSet({entry});

  int result = ConvertToHandheld(FuzzStockList());
  FUZZ_CHECK(FuzzOpenFiles() == 0);   // every file closed on every path

  // What the reading of the same files says.
  const char* message = nullptr;   // the one message of a failure
  bool fails = true;
  uint32_t headerLength = 0, recordLength = 0;
  unsigned char expected[5120] = {0};
  std::vector<Row> rows;
  std::vector<std::string> lines = TextLines(settings);
  std::vector<std::string> priceLines = TextLines(prices);
  static const char* const kMissingLine[14] = {
      "RyvoSetup file StockName read error", "RyvoSetup file OnlyClose read error",
      "RyvoSetup file WebScrap read error",  "RyvoSetup file FixedScale read error"};
  if (!hasDump) {
    message = "RyvoDB file copy read error";
  } else if (oldDump.size() < 4 || !TemplateLength(headerLength = Le32(oldDump, 0)) ||
             oldDump.size() < 8 + (size_t)headerLength ||
             !TemplateLength(recordLength = Le32(oldDump, 4 + headerLength))) {
    message = "RyvoDB file Cnt.size read error";
  } else if (name.empty()) {
    // silent
  } else if (!txtOk || !hasSettings) {
    message = "RyvoSetup file open error";
  } else if (lines.size() < 14) {
    message = lines.size() < 4 ? kMissingLine[lines.size()] : "RyvoSetup file read error";
  } else if (!csvOk || !hasCsv) {
    // silent
  } else if (priceLines.empty()) {
    message = "Data file read error";
  } else {
    fails = false;
    unsigned char* rec = expected;
    for (int i = 0; i < 3; ++i)
      if (CText(lines[1 + i])[0] == '1') rec[1] |= (unsigned char)(1 << i);
    PutBE16(rec + 2, 210);
    memcpy(rec + 4, name.data(), std::min<size_t>(name.size(), 20));
    std::string document = Stripped(lines[4]), keyword = Stripped(lines[5]);
    memcpy(rec + 24, document.data(), std::min<size_t>(document.size(), 120));
    memcpy(rec + 144, keyword.data(), std::min<size_t>(keyword.size(), 20));
    PutBE32(rec + 166, (uint32_t)ReferenceInt(CText(lines[6])));
    for (int i = 0; i < 7; ++i) {
      int32_t a, b;
      Pair(lines[7 + i], &a, &b);
      if (i < 5) {
        PutBE16(rec + 170 + 4 * i, (uint32_t)a);
        PutBE16(rec + 172 + 4 * i, (uint32_t)b);
      } else {
        PutBE32(rec + (i == 5 ? 194 : 202), (uint32_t)a);
        PutBE32(rec + (i == 5 ? 198 : 206), (uint32_t)b);
      }
    }
    // The complete lines after the first, up to the first incomplete one;
    // the last 260 of them.
    for (size_t i = 1; i < priceLines.size(); ++i) {
      Row row;
      if (!PriceLine(priceLines[i], &row)) break;
      rows.push_back(row);
    }
    if (rows.size() > 260) rows.erase(rows.begin(), rows.end() - 260);
    std::sort(rows.begin(), rows.end());
  }

  // RYVO_FUZZ_TRACE=1 shows what each input did, for reproducing a finding.
  static const bool trace = getenv("RYVO_FUZZ_TRACE") != nullptr;
  if (trace)
    fprintf(stderr, "convert: result %d, %zu rows, message %s\n", result, rows.size(),
            FuzzLastMessage().c_str());
  FUZZ_CHECK(result == (fails ? -1 : 0));
  FUZZ_CHECK(FuzzMessageCount() == (message != nullptr ? 1 : 0));
  if (message != nullptr) FUZZ_CHECK(FuzzLastMessage() == message);

  // Files: the inputs unchanged, the copy of the old dump, nothing else.
  std::set<std::string> workFiles, csvFiles;
  if (hasDump) workFiles = {"Ryvo.dmp", "SaveRyvo.dmp"};
  if (txtOk && hasSettings) workFiles.insert(txt);
  if (csvOk && hasCsv) csvFiles.insert(csvFile);
  std::vector<std::string> present = FuzzListFolder("work");
  FUZZ_CHECK(std::set<std::string>(present.begin(), present.end()) == workFiles);
  present = FuzzListFolder("csv");
  FUZZ_CHECK(std::set<std::string>(present.begin(), present.end()) == csvFiles);
  FUZZ_CHECK(FuzzListFolder("db").empty());
  if (txtOk && hasSettings) FUZZ_CHECK(FuzzReadFile(work + "/" + txt) == settings);
  if (csvOk && hasCsv) FUZZ_CHECK(FuzzReadFile(csv + "/" + csvFile) == prices);
  if (hasDump) FUZZ_CHECK(FuzzReadFile(work + "/SaveRyvo.dmp") == oldDump);

  std::string dump = FuzzReadFile(work + "/Ryvo.dmp");
  if (fails) {
    FUZZ_CHECK(dump == oldDump);
    return 0;
  }
  // The new dump: the header and one record, each of its template length.
  FUZZ_CHECK(dump.size() == 8 + (size_t)headerLength + recordLength);
  FUZZ_CHECK(dump.compare(0, 4, oldDump, 0, 4) == 0);
  FUZZ_CHECK(dump.compare(4 + headerLength, 4, oldDump, 4 + headerLength, 4) == 0);
  unsigned char header[5120] = {0};
  PutBE16(header, 210);
  PutBE16(header + 2, 1);
  PutBE16(header + 6, 1000);
  memcpy(header + 10, kCarried, 8);
  FUZZ_CHECK(memcmp(dump.data() + 4, header, headerLength) == 0);
  const unsigned char* rec = (const unsigned char*)dump.data() + 8 + headerLength;
  FUZZ_CHECK(memcmp(rec, expected, std::min<uint32_t>(recordLength, 512)) == 0);

  // The rows: those that fit the template, in date order, then zeros.
  size_t fit = recordLength > 512 ? (recordLength - 512) / 15 : 0;
  size_t shown = std::min(fit, rows.size());
  std::vector<Row> got;
  for (size_t j = 0; j < shown; ++j) {
    const unsigned char* r = rec + 512 + 15 * j;
    FUZZ_CHECK((r[14] & 0x0F) == 0);
    got.push_back(DecodeRow(r));
    FUZZ_CHECK(got.back().date == rows[j].date);
    if (j > 0) FUZZ_CHECK(got[j - 1].date <= got[j].date);
  }
  if (shown == rows.size()) {
    std::sort(got.begin(), got.end());
    FUZZ_CHECK(got == rows);
    for (size_t at = 512 + 15 * rows.size(); at < recordLength; ++at) FUZZ_CHECK(rec[at] == 0);
  }
  return 0;
}
