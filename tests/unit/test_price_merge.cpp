// The import's merge on a price table in memory (MergePriceFile): dates of
// both taking the download's row, the 260 latest dates, a refused download
// leaving the table as it was, and the same rows as the file-based import;
// the matching of a price file's name to a stock (MatchPriceFileName).
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "exchange.h"
#include "fake_platform.h"
#include "import_prices.h"

namespace {

unsigned Day(int year, int month, int day) { return EncodePackedDate(year, month, day); }

// A row of one price for every column but the volume.
PriceRow Row(unsigned date, int price) {
  PriceRow row;
  row.date = date;
  for (int i = 0; i < 4; ++i) row.value[i] = EncodePackedValue(price, 0);
  row.value[4] = EncodePackedValue(7, 0);
  return row;
}

// The n weekdays of 2025 from Jan 6 on, price 100 + index.
std::vector<PriceRow> Weekdays(int n) {
  std::vector<PriceRow> rows;
  int year = 2025, month = 1, day = 6, weekday = 0;   // 2025-01-06 is a Monday
  while ((int)rows.size() < n) {
    if (weekday < 5) rows.push_back(Row(Day(year, month, day), 100 + (int)rows.size()));
    weekday = (weekday + 1) % 7;
    if (++day > DaysInMonth(year, month)) {
      day = 1;
      if (++month > 12) month = 1, ++year;
    }
  }
  return rows;
}

class PriceMergeTest : public ::testing::Test {
 protected:
  PriceTable table;
  ImportSummary summary;
  std::string work, csv;
  void SetUp() override {
    FakeResetWithFolders(&work, &csv);
    memset(&table, 0, sizeof table);
  }
  void Fill(const std::vector<PriceRow>& rows) {
    table.count = (int)rows.size();
    for (size_t i = 0; i < rows.size(); ++i) table.row[i] = rows[i];
  }
  std::string Download(const std::string& bytes, const char* name = "download.csv") {
    FakeWriteFile(FakeFolder("dl") + "/" + name, bytes);
    return FakeRoot() + "\\dl\\" + name;
  }
};

TEST_F(PriceMergeTest, MergesByDateAndKeepsTheLatest260) {
  struct Case {
    const char* what;
    std::vector<PriceRow> existing;
    const char* download;
    int count, added, replaced, leftOut;
    unsigned first, last;
    unsigned probeDate;   // a row whose close is checked
    int probeClose;       // -1: the date must be absent
  } cases[] = {
      {"into an empty table", {}, "Date,Close\n2026-01-05,50\n", 1, 1, 0, 0, Day(2026, 1, 5),
       Day(2026, 1, 5), Day(2026, 1, 5), 50},
      {"a date of both takes the download's row",
       {Row(Day(2026, 1, 2), 10), Row(Day(2026, 1, 5), 11)},
       "Date,Open,High,Low,Close,Volume\n2026-01-05,20,21,19,20.5,1\n", 2, 0, 1, 0,
       Day(2026, 1, 2), Day(2026, 1, 5), Day(2026, 1, 2), 10},
      {"rows of the table out of order, a date of 0 passed over",
       {Row(Day(2026, 1, 7), 3), Row(0, 9), Row(Day(2026, 1, 2), 1)},
       "Date,Close\n2026-01-05,2\n", 3, 1, 0, 0, Day(2026, 1, 2), Day(2026, 1, 7),
       Day(2026, 1, 5), 2},
      {"260 rows and two newer dates: the two oldest left out", Weekdays(260),
       "Date,Close\n2031-01-06,1\n2031-01-07,2\n", 260, 2, 0, 2, Weekdays(3)[2].date,
       Day(2031, 1, 7), Weekdays(1)[0].date, -1},
      {"an older date than the 260 kept does not enter", Weekdays(260),
       "Date,Close\n1990-01-05,1\n", 260, 1, 0, 1, Weekdays(1)[0].date, Weekdays(260)[259].date,
       Day(1990, 1, 5), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fill(c.existing);
    ASSERT_EQ(MergePriceFile(Download(c.download).c_str(), &table, &summary), 0);
    EXPECT_EQ(table.count, c.count);
    EXPECT_EQ(summary.datesAdded, c.added);
    EXPECT_EQ(summary.datesReplaced, c.replaced);
    EXPECT_EQ(summary.datesLeftOut, c.leftOut);
    ASSERT_GT(table.count, 0);
    EXPECT_EQ(table.row[0].date, c.first);
    EXPECT_EQ(table.row[table.count - 1].date, c.last);
    for (int i = 1; i < table.count; ++i) EXPECT_LT(table.row[i - 1].date, table.row[i].date);
    int found = -1;
    for (int i = 0; i < table.count; ++i)
      if (table.row[i].date == c.probeDate) found = i;
    if (c.probeClose < 0) {
      EXPECT_EQ(found, -1);
    } else {
      ASSERT_GE(found, 0);
      EXPECT_EQ(DecodePackedValue(table.row[found].value[3]), (double)c.probeClose);
    }
  }
}

TEST_F(PriceMergeTest, ADateOfBothHoldsEveryValueOfTheDownloadRounded) {
  Fill({Row(Day(2026, 1, 5), 10)});
  ASSERT_EQ(MergePriceFile(Download("Date,Open,High,Low,Close,Volume\n"
                                    "2026-01-05,20.005,21,19,20.5,82488700\n").c_str(),
                           &table, &summary), 0);
  ASSERT_EQ(table.count, 1);
  const double want[5] = {20.01, 21, 19, 20.5, 82489000};
  for (int v = 0; v < 5; ++v) EXPECT_NEAR(DecodePackedValue(table.row[0].value[v]), want[v], 1e-6);
}

TEST_F(PriceMergeTest, ARefusedDownloadLeavesTheTable) {
  const char* refused[] = {"no date column\n1,2\n", "Date,Close\n2026-01-05,null\n"};
  for (const char* bytes : refused) {
    SCOPED_TRACE(bytes);
    Fill({Row(Day(2026, 1, 2), 10)});
    PriceTable before = table;
    FakeClearMessages();
    EXPECT_EQ(MergePriceFile(Download(bytes).c_str(), &table, &summary), -1);
    EXPECT_EQ(memcmp(&before, &table, sizeof table), 0);
    EXPECT_FALSE(FakeMessages().empty());
  }
}

TEST_F(PriceMergeTest, TheFileImportStoresTheRowsOfTheMergeInMemory) {
  // The same rows as a price CSV file and as a table: one merge gives both.
  std::vector<PriceRow> rows = Weekdays(259);
  std::string file = kCsvHeaderLine;
  for (const PriceRow& row : rows) {
    char line[kCsvLineSize];
    file.append(line, (size_t)FormatCsvLine(line, &row));
  }
  FakeWriteFile(csv + "/7203.csv", file);
  std::string download = Download("Date,Close\n2025-01-06,1.234\n2031-01-06,2\n2031-01-07,3\n");
  ASSERT_EQ(ImportPrices("7203", download.c_str(), 0, &summary), 0);
  Fill(rows);
  ASSERT_EQ(MergePriceFile(download.c_str(), &table, &summary), 0);
  std::string want = kCsvHeaderLine;
  for (int i = 0; i < table.count; ++i) {
    char line[kCsvLineSize];
    want.append(line, (size_t)FormatCsvLine(line, &table.row[i]));
  }
  EXPECT_EQ(FakeReadFile(csv + "/7203.csv"), want);
  EXPECT_EQ(table.count, 260);
}

TEST(MatchPriceFileName, NamesAStockByItsNameOrItsCode) {
  const char kSony[] = "\x83\x5C\x83\x6A\x81\x5B";   // ソニー, code page 932
  struct Case {
    const char* file;
    const char* stock;
    PriceFileMatch match;
  } cases[] = {
      {"7203.csv", "7203", kMatchName},
      {"7203", "7203", kMatchName},
      {"7203.T.csv", "7203", kMatchCode},
      {"7203.jp.csv", "7203", kMatchCode},
      {"7203_daily.csv", "7203", kMatchCode},
      {"AAPL.csv", "AAPL", kMatchName},
      {"aapl.csv", "AAPL", kMatchCode},
      {"aapl.us.txt", "AAPL", kMatchCode},
      {"Aapl_1d.csv", "aapl", kMatchCode},
      {"\xE3\x82\xBD\xE3\x83\x8B\xE3\x83\xBC.csv", kSony, kMatchName},
      {"\xE3\x82\xBD\xE3\x83\x8B\xE3\x83\xBC_week.csv", kSony, kMatchCode},
      {"a.b.csv", "a.b", kMatchName},
      {"72030.csv", "7203", kMatchNone},
      {"720.csv", "7203", kMatchNone},
      {"x7203.csv", "7203", kMatchNone},
      {"a.csv", "a.b", kMatchNone},
      {"AAPM.csv", "AAPL", kMatchNone},
      {".csv", "", kMatchNone},
      {"7203.csv", "", kMatchNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " / " + c.stock);
    EXPECT_EQ(MatchPriceFileName(c.file, c.stock), c.match);
  }
}

}  // namespace
