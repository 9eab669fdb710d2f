// The CSV export: the file layout byte for byte, the integer formatter
// against "%12.2f" for every packed value, the end of a price table, and
// the failures, among them CSV files that cannot be created.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"

using namespace dumpbuilder;

namespace {

class ExportTest : public ::testing::Test {
 protected:
  std::string work, csv;
  void SetUp() override {
    FakeResetWithFolders(&work, &csv);
  }
  void PutDump(const std::string& bytes) { FakeWriteFile(work + "/Ryvo.dmp", bytes); }
  std::string Csv(const std::string& name) { return FakeReadFile(csv + "/" + FakeHostName(name) + ".csv"); }
  std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const FakeMessage& m : FakeMessages()) texts.push_back(m.caption + "|" + m.text);
    return texts;
  }
};

const std::string kHeader = "日付,始値,高値,安値,終値\r\n";

Stock WithRows(const char* name, std::vector<PriceRow> rows) {
  Stock s;
  s.name = name;
  s.rows = rows;
  return s;
}

TEST(CsvValue, IntegerFormatterEqualsPrintfForEveryPackedValue) {
  char mine[32], theirs[32];
  for (uint32_t field = 0; field < (1u << 20); ++field) {
    int n = FormatCsvValue(mine, field);
    mine[n] = '\0';
    snprintf(theirs, sizeof theirs, "%12.2f", DecodePackedValue(field));
    ASSERT_STREQ(mine, theirs) << "field " << field;
  }
}

// Export then conversion: the text written for every packed value parses
// back to the same value (in hundredths, exactly).
TEST(CsvValue, EveryPackedValueSurvivesExportAndParse) {
  static const uint64_t kPowers[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  char text[32];
  for (uint32_t field = 0; field < (1u << 20); ++field) {
    int n = FormatCsvValue(text, field);
    text[n] = '\0';
    signed char exponent;
    int32_t mantissa;
    ParseDecimalField(text, &exponent, &mantissa);
    ASSERT_GE(exponent, -2);
    ASSERT_LE(exponent, 5);
    ASSERT_GE(mantissa, 0);
    ASSERT_LE(mantissa, 131071);
    uint64_t before = (uint64_t)(field & 0x1FFFF) * kPowers[field >> 17];
    uint64_t after = (uint64_t)mantissa * kPowers[exponent + 2];
    ASSERT_EQ(after, before) << text;
  }
}

// Whole lines against printf, every row twice (a line owes nothing to the
// one before it), values of every width: the formatter writes the line
// and not one byte past its length.
TEST(CsvLine, EqualsPrintfForRandomRowsFormattedTwice) {
  uint32_t seed = 777;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int r = 0; r < 20000; ++r) {
    PriceRow row;
    row.date = (uint16_t)(next() & 0xFFFF);
    for (int i = 0; i < 5; ++i) row.value[i] = next() % 4 == 0 ? next() & 0xFFFFFu : next() % (5u << 17);
    char theirs[160];
    int year, month, day;
    DecodePackedDate(row.date, &year, &month, &day);
    int n = snprintf(theirs, sizeof theirs, "%d/%d/%d", year, month, day);
    for (int i = 0; i < 5; ++i)
      n += snprintf(theirs + n, sizeof theirs - (size_t)n, ",%12.2f", DecodePackedValue(row.value[i]));
    snprintf(theirs + n, sizeof theirs - (size_t)n, "\r\n");
    for (int pass = 0; pass < 2; ++pass) {
      char mine[kCsvLineSize + 16];
      memset(mine, '#', sizeof mine);
      int length = FormatCsvLine(mine, &row);
      ASSERT_LE(length, (int)kCsvLineSize);
      ASSERT_EQ(std::string(mine, (size_t)length), theirs) << "pass " << pass;
      ASSERT_EQ(std::string(mine + length, sizeof mine - (size_t)length),
                std::string(sizeof mine - (size_t)length, '#'))
          << "written past the line, pass " << pass;
    }
  }
}

TEST_F(ExportTest, WorkedExampleLine) {
  PriceRow row = Row(2001, 1, 10, EncodePackedValue(123450, -2), EncodePackedValue(125, 1),
                     EncodePackedValue(120025, -2), EncodePackedValue(1240, 0),
                     EncodePackedValue(15000, 2));
  PutDump(Dump({WithRows("7203", {row})}));
  EXPECT_EQ(ExportCsv(), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(Csv("7203"), kHeader +
                             "2001/1/10,     1234.50,     1250.00,     1200.25,     1240.00,"
                             "  1500000.00\r\n");
}

TEST_F(ExportTest, ValueTextsWhateverTheEncoding) {
  struct Case { uint32_t field; const char* text; } cases[] = {
      {EncodePackedValue(125, 1), "     1250.00"},
      {EncodePackedValue(1250, 0), "     1250.00"},
      {EncodePackedValue(1, -2), "        0.01"},
      {EncodePackedValue(0, 5), "        0.00"},
      {EncodePackedValue(131071, 5), "13107100000.00"},
      {EncodePackedValue(15000, 4), "150000000.00"},
      {EncodePackedValue(5, -1), "        0.50"},
  };
  for (const Case& c : cases) {
    char text[32];
    int n = FormatCsvValue(text, c.field);
    EXPECT_EQ(std::string(text, (size_t)n), c.text);
  }
  PriceRow row = Row(1990, 0, 5, cases[0].field, cases[1].field, cases[2].field,
                     cases[3].field, cases[4].field);
  row.date = (86u << 9) | 5;   // month 0: malformed but not zero
  PutDump(Dump({WithRows("odd", {row})}));
  EXPECT_EQ(ExportCsv(), 0);
  EXPECT_EQ(Csv("odd"), kHeader +
                            "1990/0/5,     1250.00,     1250.00,        0.01,        0.00,"
                            "13107100000.00\r\n");
}

TEST_F(ExportTest, EndOfThePriceTable) {
  std::vector<PriceRow> full;
  for (int j = 0; j < 260; ++j) full.push_back(Row(2000 + j / 200, 1 + j % 12, 1 + j % 28, 1, 2, 3, 4, 5));
  Stock whole = WithRows("full", full);
  whole.length = 5120;   // bytes after row 259 are not a row
  std::string rec = DataRec(whole);
  memset(&rec[kPriceTableOffset + 260 * kPriceRowSize], 0x7F, 5120 - 4412);
  Stock zeroFirst = WithRows("empty", {});
  std::string zeroRec = DataRec(zeroFirst);
  zeroRec[kPriceTableOffset + 2] = '\x55';   // value bytes of a zero-date row
  Stock dayOne = WithRows("dayone", {Row(1904, 0, 1, 1, 1, 1, 1, 1)});   // date 00 01
  Stock cut = WithRows("cut", {Row(2001, 1, 10, 1, 1, 1, 1, 1), Row(2001, 1, 11, 1, 1, 1, 1, 1)});
  cut.length = 512 + 15;   // the second row lies beyond the record
  Stock partial = cut;
  partial.name = "partial";
  partial.length = 512 + 15 + 14;   // the second row lacks its last byte
  PutDump(Record(ContRec()) + Record(rec) + Record(zeroRec) + Record(DataRec(dayOne)) +
          Record(DataRec(cut)) + Record(DataRec(partial)));
  EXPECT_EQ(ExportCsv(), 0);
  std::string text = Csv("full");
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 261u);
  EXPECT_EQ(Csv("empty"), kHeader);
  EXPECT_EQ(Csv("dayone"), kHeader + "1904/0/1," + std::string(4, ' ') + "    0.01," +
                               "        0.01,        0.01,        0.01,        0.01\r\n");
  EXPECT_EQ(Csv("cut").size(), kHeader.size() + strlen("2001/1/10,") + 5 * 13 + 1);
  EXPECT_EQ(Csv("partial"), Csv("cut"));
}

TEST_F(ExportTest, HeaderOnlyVersionIgnoredAndReplacement) {
  PutDump(Record(ContRec(80, 0x00, 100)));
  EXPECT_EQ(ExportCsv(), 0);
  EXPECT_TRUE(FakeMessages().empty());

  FakeWriteFile(csv + "/7203.csv", "user edits\r\n");
  PutDump(Dump({WithRows("7203", {})}, ContRec(80, 0x00, 100)));
  EXPECT_EQ(ExportCsv(), 0);
  EXPECT_EQ(Csv("7203"), kHeader);
}

TEST_F(ExportTest, FilesThatCannotBeCreatedAreNamedAtTheEnd) {
  PutDump(Dump({WithRows("7203", {}), WithRows("a/b", {}), WithRows("ソニー", {}),
                WithRows("", {})}));
  FakeFailOpen(u8"ソニー.csv (wb)");
  EXPECT_EQ(ExportCsv(), -1);
  EXPECT_EQ(Messages(), std::vector<std::string>(
                            {"RyvoWin|次の銘柄のＣＳＶファイルを作成できませんでした。\na/b\n"
                             "ソニー\n（名前なし）"}));
  EXPECT_EQ(Csv("7203"), kHeader);   // the others are still written

  SetUp();
  strcpy(CsvFolder, (csv + "/deleted").c_str());
  PutDump(Dump({WithRows("7203", {}), WithRows("9984", {})}));
  EXPECT_EQ(ExportCsv(), -1);
  EXPECT_EQ(Messages(), std::vector<std::string>(
                            {"RyvoWin|次の銘柄のＣＳＶファイルを作成できませんでした。\n7203\n9984"}));
}

TEST_F(ExportTest, ManySkippedNamesStayWithinTheMessage) {
  std::vector<Stock> stocks;
  for (int i = 0; i < 300; ++i) {
    char name[8];
    snprintf(name, sizeof name, "%d", 1000 + i);
    stocks.push_back(WithRows(name, {}));
  }
  PutDump(Dump(stocks));
  strcpy(CsvFolder, (csv + "/none").c_str());
  EXPECT_EQ(ExportCsv(), -1);
  ASSERT_EQ(FakeMessages().size(), 1u);
  const std::string& text = FakeMessages()[0].text;
  EXPECT_NE(text.find("\n1000\n1001\n"), std::string::npos);
  EXPECT_NE(text.find("ほか"), std::string::npos);
  EXPECT_LT(text.size(), 1200u);
}

TEST_F(ExportTest, ReadAndWriteFailures) {
  std::string good = Record(ContRec());
  std::string rec = Record(DataRec(WithRows("1111", {Row(2001, 1, 10, 1, 2, 3, 4, 5)})));
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
    bool written;   // 1111.csv exists afterwards
  } cases[] = {
      {"empty dump", "", "System Error|RyvoDB file Cnt.size read error", false},
      {"header cut short", Le32(80) + "abc", "System Error|RyvoDB file Cont.Rec. read error", false},
      {"header too long", Le32(5121) + std::string(5121, '\0'),
       "System Error|RyvoDB file Cont.Rec. read error", false},
      // A damaged stock record is told with its index before any file is
      // written.
      {"record cut short", good + rec + Le32(4412) + "xx",
       "System Error|RyvoDB file Data.Rec. read error: record 2", false},
      {"negative record length", good + rec + Le32(-7),
       "System Error|RyvoDB file Data.Rec. read error: record 2", false},
  };
  for (const Case& c : cases) {
    SetUp();
    PutDump(c.bytes);
    EXPECT_EQ(ExportCsv(), -1) << c.what;
    EXPECT_EQ(Messages(), std::vector<std::string>({c.message})) << c.what;
    EXPECT_EQ(FakeFileExists(csv + "/1111.csv"), c.written) << c.what;
  }

  SetUp();
  EXPECT_EQ(ExportCsv(), -1);   // no dump at all
  EXPECT_EQ(Messages(), std::vector<std::string>({"System Error|RyvoDB file open error"}));

  SetUp();
  PutDump(good + rec + Record(DataRec(WithRows("2222", {}))));
  FakeFailWriteAfter("1111.csv", 40);
  EXPECT_EQ(ExportCsv(), -1);
  EXPECT_EQ(Messages(), std::vector<std::string>({"System Error|RyvoDB file write error"}));
  EXPECT_FALSE(FakeFileExists(csv + "/2222.csv"));   // the export stops there

  // A write failure after skipped stocks: its message, then the names.
  SetUp();
  PutDump(Dump({WithRows("A*B", {}), WithRows("1111", {}), WithRows("2222", {})}));
  FakeFailWriteAfter("1111.csv", 10);   // a new file is written in place
  EXPECT_EQ(ExportCsv(), -1);
  EXPECT_EQ(Messages(), std::vector<std::string>(
                            {"System Error|RyvoDB file write error",
                             "RyvoWin|次の銘柄のＣＳＶファイルを作成できませんでした。\nA*B"}));
  EXPECT_FALSE(FakeFileExists(csv + "/2222.csv"));

  SetUp();
  PutDump(good + rec);
  FakeFailClose("1111.csv");
  EXPECT_EQ(ExportCsv(), -1);
  EXPECT_EQ(Messages(), std::vector<std::string>({"System Error|RyvoDB file write error"}));
}

}  // namespace
