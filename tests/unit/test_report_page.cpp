// The report page over stocks read by a stand-in for the stock check: well
// formed, one chart and one section per stock in list order, linked from
// the table of all stocks; the fourteen settings under their labels; the
// findings with file and line; a stock at which the conversion stops; every
// file text escaped; nothing fetched from anywhere.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "dump_builder.h"
#include "fake_platform.h"
#include "stock_paths.h"
#include "stock_report.h"
#include "test_report_xml.h"

using namespace dumpbuilder;
using reportxml::CountOf;
using reportxml::WellFormedError;

namespace {

uint32_t Yen(int yen) { return EncodePackedValue(yen, 0); }

struct FakeStock {
  Stock stock;
  int stops;
  std::vector<CheckFinding> findings;
  int leftOut;
};
std::vector<FakeStock> Stocks;

CheckFinding Finding(int kind, int file, int line, int column, const char* text,
                     const char* message) {
  CheckFinding f;
  memset(&f, 0, sizeof f);
  f.kind = kind;
  f.file = file;
  f.line = line;
  f.column = column;
  snprintf(f.text, sizeof f.text, "%s", text);
  snprintf(f.message, sizeof f.message, "%s", message);
  return f;
}

// Reads a stock of Stocks as the check would: its record in RecordBuffer,
// cut to the record length; a name it does not know has no settings file.
int ReadFakeStock(const char* name, int32_t recordLength, StockCheck* check) {
  memset(check, 0, sizeof *check);
  snprintf(check->name, sizeof check->name, "%s", name);
  FormatStockPath(check->settingsPath, "W", name, ".txt");
  FormatStockPath(check->csvPath, "C", name, ".csv");
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  for (const FakeStock& f : Stocks) {
    if (f.stock.name != name) continue;
    for (const CheckFinding& finding : f.findings) check->findings[check->findingCount++] = finding;
    check->findingsLeftOut = f.leftOut;
    check->stopsConversion = f.stops;
    if (f.stops) return -1;
    Stock s = f.stock;
    s.length = recordLength;
    std::string rec = DataRec(s);
    memcpy(RecordBuffer, rec.data(), rec.size());
    check->rows = CountPriceRows(RecordBuffer, recordLength);
    if (check->rows > 0) {
      check->firstDate = s.rows[0].date;
      check->lastDate = s.rows[(size_t)check->rows - 1].date;
    }
    check->flags = s.flags;
    return 0;
  }
  check->stopsConversion = 1;
  check->findings[check->findingCount++] =
      Finding(kCheckSettingsMissing, kCheckSettingsFile, 0, -1, "", "cannot be opened");
  return -1;
}

char PageBuffer[4 << 20];

std::string Page(const std::vector<std::string>& list, int32_t recordLength = kFullDataRecLength,
                 int capacity = (int)sizeof PageBuffer, int* result = NULL) {
  FakeListSet(list);
  ReportSource source = {"W", "C", recordLength, ReadFakeStock};
  TextSink sink;
  SinkInit(&sink, PageBuffer, capacity);
  int r = WriteStockReport(FakeStockList(), &source, &sink);
  if (result != NULL) *result = r;
  return std::string(sink.data, (size_t)sink.length);
}

// The part of the page from the section of stock `n` (1-based) to its end.
std::string Section(const std::string& page, int n) {
  std::string id = "<section class=\"stock\" id=\"stock-" + std::to_string(n) + "\">";
  size_t at = page.find(id);
  if (at == std::string::npos) return "";
  return page.substr(at, page.find("</section>", at) - at);
}

Stock ThreeDays(const char* name, int flags) {
  Stock s;
  s.name = name;
  s.flags = flags;
  s.purchaseCount = 100;
  int fetch[10] = {12, 3, 12, 4, 12, 5, 12, 6, 14, -2};
  memcpy(s.fetch, fetch, sizeof fetch);
  s.scale[0] = 200;
  s.scale[1] = 100;
  s.scale[2] = 1000;
  s.rows = {Row(2025, 1, 6, Yen(120), Yen(180), Yen(110), Yen(150), Yen(500)),
            Row(2025, 1, 7, Yen(150), Yen(160), Yen(125), Yen(130), Yen(1000)),
            Row(2025, 2, 3, Yen(190), Yen(250), Yen(95), Yen(195), Yen(1500))};
  return s;
}

class ReportPage : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeReset();
    Stocks.clear();
  }
};

TEST_F(ReportPage, OneSectionAndOneChartPerStockInListOrder) {
  Stock sony = ThreeDays("ソニー", kFlagOnlyClose | kFlagWebScrap);
  sony.keyword = "<td>";
  sony.document = "a&b \"q\" 'r'";
  Stock empty;
  empty.name = "99<&>\"'";
  Stocks = {{ThreeDays("7203", kFlagFixedScale), 0, {}, 0}, {sony, 0, {}, 0}, {empty, 0, {}, 0}};
  std::string page = Page({"ソニー", "7203", "99<&>\"'"});
  ASSERT_EQ(WellFormedError(page), "");
  EXPECT_EQ(CountOf(page, "<svg "), 3);
  EXPECT_EQ(CountOf(page, "<section class=\"stock\""), 3);
  const char* const kOrder[3] = {u8"<h2>1. ソニー</h2>", u8"<h2>2. 7203</h2>",
                                 "<h2>3. 99&lt;&amp;&gt;&quot;&#39;</h2>"};   // name escaped
  for (int n = 1; n <= 3; ++n) {
    std::string section = Section(page, n);
    EXPECT_NE(section.find(kOrder[n - 1]), std::string::npos) << n;
    EXPECT_EQ(CountOf(section, "<svg "), 1) << n;
    EXPECT_NE(page.find("<a href=\"#stock-" + std::to_string(n) + "\">"), std::string::npos);
  }
  // The table of all stocks: rows, period and flags.
  EXPECT_NE(page.find(u8"<a href=\"#stock-2\">7203</a></td><td class=\"number\">3</td>"
                      u8"<td>2025/1/6 ～ 2025/2/3</td><td>固定スケール</td>"),
            std::string::npos);
  EXPECT_NE(page.find(u8"<td>１本値 Webスクラップ</td>"), std::string::npos);
  // The fourteen settings under the settings dialog's labels.
  std::string sonySection = Section(page, 1);
  const char* const kLabels[14] = {
      u8"銘柄名", u8"１本値", u8"Webスクラップ", u8"固定スケール", u8"購買数", u8"ドキュメント",
      u8"キーワード", u8"Webページ取得設定 始値", u8"Webページ取得設定 高値",
      u8"Webページ取得設定 安値", u8"Webページ取得設定 終値", u8"Webページ取得設定 売買高",
      u8"固定スケール設定 株価", u8"固定スケール設定 売買高"};
  for (const char* label : kLabels)
    EXPECT_NE(sonySection.find(std::string("<td>") + label + "</td>"), std::string::npos)
        << label;
  std::string settings = sonySection.substr(sonySection.find("<table class=\"settings\">"));
  settings = settings.substr(0, settings.find("</table>"));
  EXPECT_EQ(CountOf(settings, "<tr><td class=\"number\">"), 14);
  EXPECT_NE(settings.find(u8"<td class=\"text\">行 14・タグ -2</td>"), std::string::npos);
  EXPECT_NE(settings.find(u8"<td class=\"text\">Max 200・Min 100</td>"), std::string::npos);
  EXPECT_NE(settings.find(u8"<td class=\"text\">オン</td>"), std::string::npos);
  // File texts escaped: a keyword "<td>" shows as text.
  EXPECT_NE(settings.find("<td class=\"text\">&lt;td&gt;</td>"), std::string::npos);
  EXPECT_NE(settings.find("a&amp;b &quot;q&quot; &#39;r&#39;"), std::string::npos);
  // The empty stock's chart says so.
  EXPECT_NE(Section(page, 3).find(u8"価格データなし"), std::string::npos);
  // Self-contained: nothing is fetched, nothing runs.
  for (const char* outside : {"<script", "<link", "src=", "url(", "@import", "<img", "<iframe"})
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  EXPECT_NE(page.find("@media print"), std::string::npos);
  EXPECT_NE(page.find("<meta charset=\"utf-8\"/>"), std::string::npos);
}

TEST_F(ReportPage, FindingsWithFileAndLineAndTheStockWhereTheConversionStops) {
  Stocks = {
      {ThreeDays("1001", 0),
       0,
       {Finding(kCheckValueZeroed, kCheckCsvFile, 12, 3, "1<2", "becomes 0"),
        Finding(kCheckNameDiffers, kCheckSettingsFile, 1, -1, "1000", "names another stock")},
       5},
      {ThreeDays("1002", 0), 1,
       {Finding(kCheckSettingsShort, kCheckSettingsFile, 14, -1, "", "ends at line 13")}, 0},
      {ThreeDays("1003", 0), 0, {}, 0},
  };
  std::string page = Page({"1001", "1002", "1003"});
  ASSERT_EQ(WellFormedError(page), "");
  EXPECT_EQ(CountOf(page, "<svg "), 3);

  std::string first = Section(page, 1);
  EXPECT_NE(first.find(std::string("<code>") + CheckKindName(kCheckValueZeroed) + "</code>"),
            std::string::npos);
  // Files named as the host names them (C/1001.csv here).
  EXPECT_NE(first.find("<td class=\"file\">C/1001.csv</td>"), std::string::npos);
  EXPECT_NE(first.find(u8"<td class=\"number\">12（終値）</td>"), std::string::npos);
  EXPECT_NE(first.find("<code>1&lt;2</code> becomes 0"), std::string::npos);
  EXPECT_NE(first.find("<td class=\"file\">W/1001.txt</td><td class=\"number\">1</td>"),
            std::string::npos);
  EXPECT_EQ(CountOf(first, "<tr class=\"info\">"), 1);   // name-differs only informs
  EXPECT_NE(first.find(u8"指摘 7 件"), std::string::npos);
  EXPECT_NE(first.find(u8"ほか 5 件"), std::string::npos);

  // The conversion stops at the second stock: said at the top, in its row
  // and its section (a chart frame without prices, no settings); the
  // third stock does not reach the handheld.
  EXPECT_NE(page.find(u8"変換は 2 番目の銘柄「1002」で止まり"), std::string::npos);
  EXPECT_NE(page.find("<tr class=\"stops\"><td class=\"number\">2</td>"), std::string::npos);
  EXPECT_EQ(CountOf(page, "<tr class=\"stops\">"), 1);
  EXPECT_NE(page.find(u8"届かない"), std::string::npos);
  std::string second = Section(page, 2);
  EXPECT_EQ(second.find("<table class=\"settings\">"), std::string::npos);
  EXPECT_NE(second.find(u8"価格データは書き込まれません"), std::string::npos);
  EXPECT_NE(second.find("<td class=\"file\">W/1002.txt</td><td class=\"number\">14</td>"),
            std::string::npos);
  EXPECT_NE(Section(page, 3).find(u8"なし: ファイルのとおりに変換されます。"), std::string::npos);
}

TEST_F(ReportPage, ARecordTemplateTooShortForTheTableKeepsItsFirstRows) {
  Stocks = {{ThreeDays("1001", 0), 0, {}, 0}};
  std::string page = Page({"1001"}, kPriceTableOffset + 2 * kPriceRowSize);
  ASSERT_EQ(WellFormedError(page), "");
  EXPECT_NE(page.find(u8"レコード長 542 バイト（2 行まで）"), std::string::npos);
  EXPECT_NE(page.find(u8"2025/1/6 ～ 2025/1/7・2日"), std::string::npos);
  EXPECT_EQ(CountOf(page, "<g class=\"candle "), 2);
}

TEST_F(ReportPage, NoStocksAndAPageTooLargeForItsBuffer) {
  std::string page = Page({});
  EXPECT_EQ(WellFormedError(page), "");
  EXPECT_NE(page.find(u8"銘柄がありません。"), std::string::npos);
  EXPECT_EQ(CountOf(page, "<svg "), 0);

  Stocks = {{ThreeDays("1001", 0), 0, {}, 0}};
  int result = 0;
  Page({"1001"}, kFullDataRecLength, 4096, &result);
  EXPECT_EQ(result, -1);
}

}  // namespace
