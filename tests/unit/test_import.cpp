// The import of price histories: the dialects of quotes sites, spreadsheets
// and brokers, the rounding to packed values, the merge with the stock's
// price CSV file, the cut to 260 dates, a failed write, and the conversion
// of the result storing exactly what the file shows.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"
#include "import_prices.h"
#include "stock_settings.h"

using namespace dumpbuilder;

namespace {

// A value as "%12.2f" writes it, without the leading spaces.
std::string Shown(uint32_t field) {
  char text[32];
  int n = FormatCsvValue(text, field);
  std::string s(text, (size_t)n);
  return s.substr(s.find_first_not_of(' '));
}

TEST(ParseImportValue, RoundsHalfUpToWhatAPackedValueHolds) {
  struct Case {
    const char* text;
    char separator;
    int reason;
    const char* stored;   // the value written, when the reason is 0
    int changed;
  } cases[] = {
      {"1234.50", ',', 0, "1234.50", 0},
      {"187.149994", ',', 0, "187.15", 1},
      {"1.005", ',', 0, "1.01", 1},             // half up at the third decimal
      {"1.004999", ',', 0, "1.00", 1},
      {"2.675", ',', 0, "2.68", 1},             // no binary fraction on the way
      {"1310.715", ',', 0, "1310.71", 1},       // 131072 does not fit 17 bits
      {"1310.725", ',', 0, "1310.70", 1},       // one decimal: nearer than 1310.80
      {"131071", ',', 0, "131071.00", 0},
      {"131071.4", ',', 0, "131071.00", 1},
      {"131071.5", ',', 0, "131071.00", 1},     // the edge: nearer than 131080
      {"131072", ',', 0, "131070.00", 1},
      {"131075", ',', 0, "131080.00", 1},       // half up at the tens
      {"82488700", ',', 0, "82489000.00", 1},
      {"82488499.99", ',', 0, "82488000.00", 1},
      {"13107100000", ',', 0, "13107100000.00", 0},
      {"0", ',', 0, "0.00", 0},
      {" +5 ", ',', 0, "5.00", 0},
      {"1,234.50", ',', 0, "1234.50", 0},       // thousands inside a quoted field
      {"1.234,50", ';', 0, "1234.50", 0},
      {"1,234", ',', 0, "1234.00", 0},
      {"1,234", ';', 0, "1.23", 1},             // a decimal comma there
      {"12,5", ',', 0, "12.50", 0},
      {"1,234,567", '\t', 0, "1234570.00", 1},
      {"1.234.567", ';', 0, "1234570.00", 1},
      {"", ',', kSkipValueMissing, "", 0},
      {"null", ',', kSkipValueMissing, "", 0},
      {"NaN", ',', kSkipValueMissing, "", 0},
      {" - ", ',', kSkipValueMissing, "", 0},
      {"-1", ',', kSkipValueTooLarge, "", 0},
      {"13107100000.01", ',', kSkipValueTooLarge, "", 0},
      {"99999999999999999999", ',', kSkipValueTooLarge, "", 0},
      {"1e5", ',', kSkipValueUnreadable, "", 0},
      {"abc", ',', kSkipValueUnreadable, "", 0},
      {"1.5.", ',', kSkipValueUnreadable, "", 0},
      {"1,23,456", ',', kSkipValueUnreadable, "", 0},
      {"1.234,5.6", ',', kSkipValueUnreadable, "", 0},
  };
  for (const Case& c : cases) {
    uint32_t field = 0xFFFFFFFF;
    int changed = -1;
    double change = -1;
    int reason = ParseImportValue(c.text, c.separator, &field, &changed, &change);
    ASSERT_EQ(reason, c.reason) << "'" << c.text << "'";
    if (reason != 0) continue;
    EXPECT_EQ(Shown(field), c.stored) << "'" << c.text << "'";
    EXPECT_EQ(changed, c.changed) << "'" << c.text << "'";
    EXPECT_EQ(change > 0, c.changed == 1) << "'" << c.text << "'";
    EXPECT_LE(change, 0.005) << "'" << c.text << "'";
    // What the conversion reads from the written text is the same value.
    signed char exponent;
    int32_t mantissa;
    ParseDecimalField(Shown(field).c_str(), &exponent, &mantissa);
    EXPECT_EQ(Shown(EncodePackedValue(mantissa, exponent)), c.stored) << "'" << c.text << "'";
  }
}

TEST(ParseImportDate, TheKnownFormsAndTheRange) {
  struct Case {
    const char* text;
    int reason;
    int year, month, day;
  } cases[] = {
      {"2025-01-06", 0, 2025, 1, 6},       {"2025/01/06", 0, 2025, 1, 6},
      {"2025/1/6", 0, 2025, 1, 6},         {"20250106", 0, 2025, 1, 6},
      {"2025年1月6日", 0, 2025, 1, 6},     {"2025年12月31日", 0, 2025, 12, 31},
      {"2025-01-06 00:00:00", 0, 2025, 1, 6}, {"2025-01-06T15:00Z", 0, 2025, 1, 6},
      {" 2024-02-29 ", 0, 2024, 2, 29},    {"1904-01-01", 0, 1904, 1, 1},
      {"2031-12-31", 0, 2031, 12, 31},     {"2025-02-29", kSkipDateUnreadable, 0, 0, 0},
      {"2025/13/1", kSkipDateUnreadable, 0, 0, 0},  {"2025/4/31", kSkipDateUnreadable, 0, 0, 0},
      {"2025-01/06", kSkipDateUnreadable, 0, 0, 0}, {"25/1/6", kSkipDateUnreadable, 0, 0, 0},
      {"2025年1月6", kSkipDateUnreadable, 0, 0, 0}, {"", kSkipDateUnreadable, 0, 0, 0},
      {"Date", kSkipDateUnreadable, 0, 0, 0},       {"2025-01-06x", kSkipDateUnreadable, 0, 0, 0},
      {"1903-12-31", kSkipDateOutOfRange, 0, 0, 0}, {"2032-01-01", kSkipDateOutOfRange, 0, 0, 0},
      {"19000101", kSkipDateOutOfRange, 0, 0, 0},
  };
  for (const Case& c : cases) {
    unsigned date = 0;
    ASSERT_EQ(ParseImportDate(c.text, &date), c.reason) << c.text;
    if (c.reason == 0) {
      EXPECT_EQ(date, EncodePackedDate(c.year, c.month, c.day)) << c.text;
    }
  }
}

// Integer hundredths of a decimal text ("  1234.50" gives 123450).
int64_t Hundredths(const std::string& text) {
  int64_t value = 0;
  int decimals = -1;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else if (c == '.') {
      decimals = 0;
    }
  }
  for (; decimals < 2; ++decimals) value *= 10;
  return value;
}

struct FileRow {
  unsigned date;
  int64_t value[5];
};

// The data lines of a price CSV file as they read: the date and five
// values in hundredths.
std::vector<FileRow> RowsOfFile(const std::string& text) {
  std::vector<FileRow> rows;
  size_t at = text.find("\r\n") + 2;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    std::string line = text.substr(at, end - at);
    at = end + 2;
    FileRow row;
    int y, m, d;
    EXPECT_EQ(sscanf(line.c_str(), "%d/%d/%d,", &y, &m, &d), 3) << line;
    row.date = EncodePackedDate(y, m, d);
    size_t p = line.find(',');
    for (int i = 0; i < 5; ++i) {
      size_t q = line.find(',', p + 1);
      row.value[i] = Hundredths(line.substr(p + 1, q - p - 1));
      p = q;
    }
    rows.push_back(row);
  }
  return rows;
}

class ImportTest : public ::testing::Test {
 protected:
  std::string work, csv;
  ImportSummary summary;
  void SetUp() override { FakeResetWithFolders(&work, &csv); }

  std::string Source(const std::string& bytes, const char* file = "download.csv") {
    std::string folder = FakeFolder("downloads");
    FakeWriteFile(folder + "/" + file, bytes);
    return folder + "\\" + file;
  }
  int Import(const std::string& bytes, int replace = 0, const char* name = "7203") {
    return ImportPrices(name, Source(bytes).c_str(), replace, &summary);
  }
  std::string PriceFile(const char* name = "7203") {
    return FakeReadFile(csv + "/" + name + ".csv");
  }

  // Converts stock `name` (a new stock's settings file written as the
  // settings dialog writes it) and checks that the DataRec holds exactly
  // the rows and values of its price CSV file.
  void ExpectConversionStoresTheFile(const char* name = "7203") {
    StockFields fields;
    ClearStockFields(&fields);
    strcpy(fields.name, name);
    char result[kNameSize];
    ASSERT_EQ(SaveStockFields(name, &fields, result), 0);
    FakeWriteFile(work + "/Ryvo.dmp", Dump({Stock{}}));
    FakeListSet({name});
    ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
    std::vector<FileRow> want = RowsOfFile(PriceFile(name));
    std::string dump = FakeReadFile(work + "/Ryvo.dmp");
    ASSERT_EQ(dump.size(), 8 + 80 + (size_t)kFullDataRecLength);
    const unsigned char* rec = reinterpret_cast<const unsigned char*>(dump.data()) + 88;
    ASSERT_EQ(CountPriceRows(rec, kFullDataRecLength), (int)want.size());
    static const int64_t kPowers[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    for (size_t j = 0; j < want.size(); ++j) {
      PriceRow row;
      ReadPriceRow(rec + kPriceTableOffset + kPriceRowSize * j, &row);
      EXPECT_EQ(row.date, want[j].date) << "row " << j;
      for (int i = 0; i < 5; ++i)
        EXPECT_EQ((int64_t)(row.value[i] & 0x1FFFF) * kPowers[row.value[i] >> 17], want[j].value[i])
            << "row " << j << " value " << i;
    }
  }
};

const char kHeader[] = "日付,始値,高値,安値,終値\r\n";

TEST_F(ImportTest, DialectsOfDownloadsAndSpreadsheets) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string lines;   // the data lines of the written file
    int used, skippedReason, skippedLine, rounded, encoding;
    char separator;
  } cases[] = {
      {"quotes site: ISO dates, a null row, six decimals",
       "Date,Open,High,Low,Close,Adj Close,Volume\n"
       "2024-01-02,187.149994,188.440002,183.889999,185.639999,185.403412,82488700\n"
       "2024-01-03,null,null,null,null,null,null\n"
       "2024-01-04,182.149994,183.089996,180.880005,181.910004,181.675919,71983600\n",
       "2024/1/2,      187.15,      188.44,      183.89,      185.64, 82489000.00\r\n"
       "2024/1/4,      182.15,      183.09,      180.88,      181.91, 71984000.00\r\n",
       2, kSkipValueMissing, 3, 10, kEncodingAscii, ','},
      {"semicolon file: ISO dates, decimal commas, columns in another order",
       "Date;Close;Open;High;Low;Volume\r\n"
       "2025-01-06;10,75;10,5;11;10;1200\r\n"
       "2025-01-07;10,8;10,75;10,9;10,6;900\r\n",
       "2025/1/6,       10.50,       11.00,       10.00,       10.75,     1200.00\r\n"
       "2025/1/7,       10.75,       10.90,       10.60,       10.80,      900.00\r\n",
       2, 0, 0, 0, kEncodingAscii, ';'},
      {"spreadsheet in code page 932: Japanese headers, quoted thousands, CR LF",
       "日付,始値,高値,安値,終値,出来高,調整後終値\r\n"
       "2025/1/6,\"3,120\",\"3,155\",\"3,098\",\"3,140.5\",\"12,345,678\",\"3,140\"\r\n"
       "2025年1月7日,\"3,141\",\"3,160\",\"3,130\",\"3,150\",\"9,876,500\",\"3,150\"\r\n"
       "2025/1/8,\"-\",\"-\",\"-\",\"-\",\"0\",\"-\"\r\n",
       "2025/1/6,     3120.00,     3155.00,     3098.00,     3140.50, 12345700.00\r\n"
       "2025/1/7,     3141.00,     3160.00,     3130.00,     3150.00,  9876500.00\r\n",
       2, kSkipValueMissing, 4, 1, kEncodingCp932, ','},
      {"UTF-8 with a byte-order mark, tab separated, a title above the header",
       u8"\xEF\xBB\xBF銘柄 7203 トヨタ自動車\n\n"
       u8"日付\t始値\t高値\t安値\t終値\t売買高\n"
       "2025/01/06\t2,800\t2,850.5\t2,790\t2,845\t31,234,500\n"
       "20250107\t2,845\t2,845\t2,845\t2,845\t0\n"
       "1903/12/31\t1\t1\t1\t1\t1\n",
       "2025/1/6,     2800.00,     2850.50,     2790.00,     2845.00, 31235000.00\r\n"
       "2025/1/7,     2845.00,     2845.00,     2845.00,     2845.00,        0.00\r\n",
       2, kSkipDateOutOfRange, 6, 1, kEncodingUtf8Bom, '\t'},
      {"this system's own price CSV file",
       std::string(kHeader) +
           "2001/1/10,     1234.50,     1250.00,     1200.25,     1240.00,  1500000.00\r\n"
           "2001/1/11,     1240.00,     1250.00,     1230.00,  13107100000.00,     0.01\r\n",
       "2001/1/10,     1234.50,     1250.00,     1200.25,     1240.00,  1500000.00\r\n"
       "2001/1/11,     1240.00,     1250.00,     1230.00,13107100000.00,        0.01\r\n",
       2, 0, 0, 0, kEncodingCp932, ','},
      {"no header line, a close-only file, fields missing",
       "2025/1/6,1,2,3,4,5\n2025/1/7,1,2\n2025/1/8,4,5,3,4.5,6\n",
       "2025/1/6,        1.00,        2.00,        3.00,        4.00,        5.00\r\n"
       "2025/1/8,        4.00,        5.00,        3.00,        4.50,        6.00\r\n",
       2, kSkipFieldsMissing, 2, 0, kEncodingAscii, ','},
      {"a close column alone: the close as every price, no volume",
       "date,close\n2025-01-06,\"1,500\"\n2025-01-06,1510\n",
       "2025/1/6,     1510.00,     1510.00,     1510.00,     1510.00,        0.00\r\n",
       2, 0, 0, 0, kEncodingAscii, ','},
      {"unquoted thousands separators: more values than the header names",
       "Date,Open,High,Low,Close,Volume\n"
       "2026-01-13,3,850,3,870,3,820,3,860,5,400,000\n"
       "2026-01-14,3850,3870,3820,3860,5400000,\n",
       "2026/1/14,     3850.00,     3870.00,     3820.00,     3860.00,  5400000.00\r\n",
       1, kSkipExtraValues, 2, 0, kEncodingAscii, ','},
      {"no header: the own six fields, a seventh value is too many",
       "2025/1/6,1,2,3,4,5\n2025/1/7,1,2,3,4,5,6\n",
       "2025/1/6,        1.00,        2.00,        3.00,        4.00,        5.00\r\n",
       1, kSkipExtraValues, 2, 0, kEncodingAscii, ','},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeResetWithFolders(&work, &csv);
    ASSERT_EQ(Import(c.bytes), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_EQ(PriceFile(), std::string(kHeader) + c.lines);
    EXPECT_EQ(summary.rowsUsed, c.used);
    EXPECT_EQ(summary.rowsSkipped, c.skippedReason != 0 ? 1 : 0);
    if (c.skippedReason != 0) {
      EXPECT_EQ(summary.skipped[c.skippedReason], 1);
      EXPECT_EQ(summary.skippedLine[c.skippedReason][0], c.skippedLine);
    }
    EXPECT_EQ(summary.valuesRounded, c.rounded);
    EXPECT_EQ(summary.encoding, c.encoding);
    EXPECT_EQ(summary.separator, c.separator);
    ExpectConversionStoresTheFile();
  }
}

TEST_F(ImportTest, MergeByDateAndReplace) {
  const std::string existing = std::string(kHeader) +
                               "2025/1/6,        1.00,        1.00,        1.00,        1.00,        1.00\r\n"
                               "2025/1/7,        2.00,        2.00,        2.00,        2.00,        2.00\r\n";
  const char* download = "Date,Open,High,Low,Close,Volume\n"
                         "2025-01-08,3,3,3,3,3\n2025-01-07,9,9,9,9,9\n";
  const std::string row7 = "2025/1/7,        9.00,        9.00,        9.00,        9.00,        9.00\r\n";
  const std::string row8 = "2025/1/8,        3.00,        3.00,        3.00,        3.00,        3.00\r\n";
  FakeWriteFile(csv + "/7203.csv", existing);
  ASSERT_EQ(Import(download), 0);
  EXPECT_EQ(PriceFile(), existing.substr(0, existing.find("2025/1/7")) + row7 + row8);
  EXPECT_EQ(summary.existingRows, 2);
  EXPECT_EQ(summary.datesReplaced, 1);
  EXPECT_EQ(summary.datesAdded, 1);
  EXPECT_EQ(summary.rowsStored, 3);
  EXPECT_EQ(summary.firstDate, EncodePackedDate(2025, 1, 6));
  EXPECT_EQ(summary.lastDate, EncodePackedDate(2025, 1, 8));

  FakeWriteFile(csv + "/7203.csv", existing);
  ASSERT_EQ(Import(download, 1), 0);
  EXPECT_EQ(PriceFile(), std::string(kHeader) + row7 + row8);
  EXPECT_EQ(summary.existingRows, 0);
  EXPECT_EQ(summary.datesAdded, 2);

  // The existing file as the conversion reads it: its incomplete line ends
  // the rows taken from it.
  FakeWriteFile(csv + "/7203.csv", existing + "2025/1/2,1,2,3,4\r\n"
                                              "2025/1/3,1,1,1,1,1\r\n");
  ASSERT_EQ(Import(download), 0);
  EXPECT_EQ(summary.existingRows, 2);
  EXPECT_EQ(summary.existingStopLine, 4);
  EXPECT_EQ(summary.rowsStored, 3);
  ExpectConversionStoresTheFile();
}

TEST_F(ImportTest, KeepsThe260LatestDates) {
  // 300 days of a download, newest first as some sites write them, and an
  // older row in the stock's file.
  std::string download = "Date,Open,High,Low,Close,Volume\n";
  std::vector<std::string> dates;
  for (int day = 0; day < 300; ++day) {
    char date[16];
    snprintf(date, sizeof date, "%04d-%02d-%02d", 2020 + day / 336, 1 + day / 28 % 12, 1 + day % 28);
    dates.push_back(date);
  }
  for (int day = 299; day >= 0; --day)
    download += dates[(size_t)day] + "," + std::to_string(day) + ",1,1,1,1\n";
  FakeWriteFile(csv + "/7203.csv", std::string(kHeader) +
                                       "2019/12/31,        1.00,        1.00,        1.00,        1.00,        1.00\r\n");
  ASSERT_EQ(Import(download), 0);
  EXPECT_EQ(summary.rowsStored, 260);
  EXPECT_EQ(summary.datesLeftOut, 41);
  EXPECT_EQ(summary.datesAdded, 300);
  std::vector<FileRow> rows = RowsOfFile(PriceFile());
  ASSERT_EQ(rows.size(), 260u);
  EXPECT_EQ(rows.front().value[0], 40 * 100);   // the 41st day is the oldest kept
  EXPECT_EQ(rows.back().value[0], 299 * 100);
  for (size_t j = 1; j < rows.size(); ++j) EXPECT_LT(rows[j - 1].date, rows[j].date);
  ExpectConversionStoresTheFile();
}

TEST_F(ImportTest, FailuresLeaveThePriceFileAsItWas) {
  const std::string existing = std::string(kHeader) +
                               "2025/1/6,        1.00,        1.00,        1.00,        1.00,        1.00\r\n";
  const char* download = "Date,Open,High,Low,Close,Volume\n2025-01-07,2,2,2,2,2\n";
  struct Case {
    const char* what;
    void (*fault)();
    std::string bytes;
    const char* message;
  } cases[] = {
      {"full disk", [] { FakeFailWriteAfter("7203.cs~", 10); }, download,
       "RyvoData file write error"},
      {"the file cannot take the new one's place", [] { FakeFailReplace("7203.csv"); }, download,
       "RyvoData file create error"},
      {"no usable row", [] {}, "Date,Open,High,Low,Close\n2025-01-07,null,1,1,1\n",
       "Import file has no usable price row"},
      {"no close column", [] {}, "Date,Open,High,Low\n2025-01-07,1,1,1\n",
       "Import file header error (no Close column)"},
      {"neither a header nor a date", [] {}, "a,b\n", "Import file header error (no Date column)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeResetWithFolders(&work, &csv);
    FakeWriteFile(csv + "/7203.csv", existing);
    c.fault();
    EXPECT_EQ(Import(c.bytes), -1);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, c.message);
    EXPECT_EQ(PriceFile(), existing);
    EXPECT_FALSE(FakeFileExists(csv + "/7203.cs~"));
  }
  FakeResetWithFolders(&work, &csv);
  EXPECT_EQ(ImportPrices("7203", (FakeRoot() + "\\missing.csv").c_str(), 0, &summary), -1);
  ASSERT_EQ(FakeMessages().size(), 1u);
  EXPECT_EQ(FakeMessages()[0].text, "Import file open error");
  EXPECT_FALSE(FakeFileExists(csv + "/7203.csv"));
}

}  // namespace
