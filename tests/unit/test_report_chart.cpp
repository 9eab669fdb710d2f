// Charts: the geometry of a small known series under a fixed scale (wicks
// from high to low at their heights, clipped prices at the edge and
// marked), the close line of OnlyClose, the empty table, the automatic
// axes, the escaping of file texts and the number formats of the labels.
#include <gtest/gtest.h>
#include <string.h>

#include "dump_builder.h"
#include "report_text.h"
#include "stock_chart.h"
#include "test_report_xml.h"

using namespace dumpbuilder;
using reportxml::CountOf;
using reportxml::WellFormedError;

namespace {

uint32_t Yen(int yen) { return EncodePackedValue(yen, 0); }

ChartLayout Layout;
char SvgBuffer[1 << 20];

std::string ChartOf(const Stock& stock, const char* note = NULL) {
  std::string rec = DataRec(stock);
  LayoutChart(reinterpret_cast<const unsigned char*>(rec.data()), (int32_t)rec.size(), &Layout);
  TextSink sink;
  SinkInit(&sink, SvgBuffer, sizeof SvgBuffer);
  DrawChartSvg(&Layout, &sink, note);
  EXPECT_FALSE(sink.full);
  return std::string(sink.data, (size_t)sink.length);
}

// The n-th element that begins with `start`, up to its end `stop`.
std::string Nth(const std::string& svg, const std::string& start, const std::string& stop,
                int n) {
  size_t at = svg.find(start);
  for (int i = 0; i < n && at != std::string::npos; ++i) at = svg.find(start, at + 1);
  if (at == std::string::npos) return "";
  return svg.substr(at, svg.find(stop, at) + stop.size() - at);
}

// Three days under the fixed scale 100..200 yen, volume 0..1000: the price
// plot runs from y 324 (100 yen) up to y 64 (200 yen), 2.6 units a yen;
// the volume band from y 410 (0) to y 340 (1000). Twenty slots of 47 units
// from x 84: the days' centres are at 107.5, 154.5 and 201.5.
Stock FixedScaleStock() {
  Stock s;
  s.name = "7203";
  s.flags = kFlagFixedScale;
  s.scale[0] = 200;   // priceScaleMax
  s.scale[1] = 100;   // priceScaleMin
  s.scale[2] = 1000;  // volumeScaleMax
  s.scale[3] = 0;
  s.rows = {Row(2025, 1, 6, Yen(120), Yen(180), Yen(110), Yen(150), Yen(500)),
            Row(2025, 1, 7, Yen(150), Yen(160), Yen(125), Yen(130), Yen(1000)),
            Row(2025, 2, 3, Yen(190), Yen(250), Yen(95), Yen(195), Yen(1500))};
  return s;
}

TEST(Chart, ThreeCandlesUnderAFixedScale) {
  std::string svg = ChartOf(FixedScaleStock());
  EXPECT_EQ(WellFormedError(svg), "");
  EXPECT_EQ(Layout.priceMin, 100);
  EXPECT_EQ(Layout.priceMax, 200);
  EXPECT_EQ(Layout.priceFixed, 1);
  EXPECT_EQ(Layout.volumeFixed, 1);
  struct Expected {
    const char* kind;
    const char* wick;   // high to low
    const char* body;   // from the upper of open and close
    const char* volume;
  };
  const Expected kDays[3] = {
      {"candle up", "<line x1=\"107.5\" y1=\"116.0\" x2=\"107.5\" y2=\"298.0\"/>",
       "<rect x=\"93.4\" y=\"194.0\" width=\"28.2\" height=\"78.0\"/>",
       "<rect x=\"93.4\" y=\"375.0\" width=\"28.2\" height=\"35.0\"/>"},
      {"candle down", "<line x1=\"154.5\" y1=\"168.0\" x2=\"154.5\" y2=\"259.0\"/>",
       "<rect x=\"140.4\" y=\"194.0\" width=\"28.2\" height=\"52.0\"/>",
       "<rect x=\"140.4\" y=\"340.0\" width=\"28.2\" height=\"70.0\"/>"},
      // High 250 and low 95 clipped at the plot's edges, volume at the band's top.
      {"candle up", "<line x1=\"201.5\" y1=\"64.0\" x2=\"201.5\" y2=\"324.0\"/>",
       "<rect x=\"187.4\" y=\"77.0\" width=\"28.2\" height=\"13.0\"/>",
       "<rect x=\"187.4\" y=\"340.0\" width=\"28.2\" height=\"70.0\"/>"},
  };
  std::string volumes = Nth(svg, "<g class=\"volumes\"", "</g>", 0);
  for (int j = 0; j < 3; ++j) {
    std::string candle = Nth(svg, "<g class=\"candle ", "</g>", j);
    SCOPED_TRACE(candle);
    EXPECT_NE(candle.find(std::string("class=\"") + kDays[j].kind + "\""), std::string::npos);
    EXPECT_NE(candle.find(kDays[j].wick), std::string::npos);
    EXPECT_NE(candle.find(kDays[j].body), std::string::npos);
    EXPECT_NE(volumes.find(kDays[j].volume), std::string::npos) << j;
  }
  EXPECT_EQ(CountOf(svg, "<g class=\"candle "), 3);

  // The third day is outside the scale: its price above and below, its
  // volume above, each marked by a triangle at the edge it crosses.
  EXPECT_EQ(Layout.days[2].outside, kOutsideAbove | kOutsideBelow | kVolumeAbove);
  EXPECT_EQ(Layout.days[0].outside | Layout.days[1].outside, 0);
  EXPECT_EQ(Layout.daysPriceOutside, 1);
  EXPECT_EQ(Layout.daysVolumeOutside, 1);
  EXPECT_EQ(CountOf(svg, "class=\"clip\""), 3);
  EXPECT_NE(svg.find("d=\"M197.5 64L201.5 57L205.5 64Z\""), std::string::npos);
  EXPECT_NE(svg.find("d=\"M197.5 324L201.5 331L205.5 324Z\""), std::string::npos);
  EXPECT_NE(svg.find("d=\"M197.5 340L201.5 333L205.5 340Z\""), std::string::npos);
  EXPECT_NE(svg.find(u8"株価スケール外 1日"), std::string::npos);
  EXPECT_NE(svg.find(u8"売買高スケール外 1日"), std::string::npos);
  EXPECT_NE(Nth(svg, "<g class=\"candle ", "</g>", 2).find(u8"（スケール外）"), std::string::npos);

  // Title: name, date range, rows, last close; axes: ticks every 20 yen,
  // month ticks at the first day of January and of February, one year.
  EXPECT_NE(svg.find(u8"2025/1/6 ～ 2025/2/3・3日・終値 195"), std::string::npos);
  for (const char* tick : {">100<", ">120<", ">140<", ">160<", ">180<", ">200<"})
    EXPECT_NE(svg.find(tick), std::string::npos) << tick;
  EXPECT_EQ(CountOf(svg, "<line class=\"month\""), 2);
  EXPECT_NE(svg.find("<line class=\"month\" x1=\"178.0\""), std::string::npos);
  EXPECT_NE(svg.find(u8">2月<"), std::string::npos);
  EXPECT_EQ(CountOf(svg, "class=\"year\""), 1);
}

TEST(Chart, FixedScaleWithMaxNotAboveMinFallsBackToAutomatic) {
  Stock s = FixedScaleStock();
  s.scale[0] = 100;   // Max 100, Min 100
  std::string svg = ChartOf(s);
  EXPECT_EQ(Layout.priceFixed, 0);
  EXPECT_EQ(Layout.volumeFixed, 1);
  EXPECT_EQ(Layout.scaleRefused, 1);
  EXPECT_EQ(Layout.daysPriceOutside, 0);
  EXPECT_LE(Layout.priceMin, 95);
  EXPECT_GE(Layout.priceMax, 250);
  EXPECT_NE(svg.find(u8"自動スケール"), std::string::npos);
}

TEST(Chart, OnlyCloseDrawsALineOfTheClosingPrices) {
  Stock s = FixedScaleStock();
  s.flags = kFlagOnlyClose;
  s.rows[0].value[3] = Yen(100);
  s.rows[1].value[3] = Yen(110);
  s.rows[2].value[3] = Yen(105);
  std::string svg = ChartOf(s);
  EXPECT_EQ(WellFormedError(svg), "");
  // Automatic axis from the closes alone: 100 to 110 in steps of 2.
  EXPECT_EQ(Layout.priceMin, 100);
  EXPECT_EQ(Layout.priceMax, 110);
  EXPECT_NE(svg.find("points=\"107.5,324.0 154.5,64.0 201.5,194.0\""), std::string::npos);
  EXPECT_EQ(CountOf(svg, "<polyline class=\"close\""), 1);
  EXPECT_EQ(CountOf(svg, "<g class=\"candle "), 0);
  EXPECT_NE(svg.find(u8"・１本値"), std::string::npos);

  // Under a fixed scale only the close can leave it: the high of 250 on
  // the third day does not count, a close of 230 does.
  s.flags = kFlagOnlyClose | kFlagFixedScale;
  ChartOf(s);
  EXPECT_EQ(Layout.daysPriceOutside, 0);
  s.rows[2].value[3] = Yen(230);
  svg = ChartOf(s);
  EXPECT_EQ(Layout.daysPriceOutside, 1);
  EXPECT_EQ(Layout.days[2].outside & ~(kVolumeAbove | kVolumeBelow), kOutsideAbove);
  EXPECT_NE(svg.find("201.5,64.0\""), std::string::npos);
}

TEST(Chart, AnEmptyTableSaysSo) {
  Stock s;
  s.name = "9984";
  std::string svg = ChartOf(s);
  EXPECT_EQ(WellFormedError(svg), "");
  EXPECT_EQ(Layout.rows, 0);
  EXPECT_NE(svg.find(u8"価格データなし"), std::string::npos);
  EXPECT_NE(svg.find(u8">0日<"), std::string::npos);
  EXPECT_EQ(CountOf(svg, "<g class=\"candle "), 0);
  EXPECT_EQ(CountOf(svg, "class=\"price-axis\""), 0);   // no prices, no ticks
  // A record too short for even one row has an empty table too.
  s.rows = {Row(2025, 1, 6, Yen(1), Yen(1), Yen(1), Yen(1), Yen(1))};
  s.length = kPriceTableOffset + kPriceRowSize - 1;
  svg = ChartOf(s);
  EXPECT_EQ(Layout.rows, 0);
  // A note given by the caller takes the empty plot's place.
  svg = ChartOf(s, "止まります");
  EXPECT_NE(svg.find(u8"止まります"), std::string::npos);
  EXPECT_EQ(svg.find(u8"価格データなし"), std::string::npos);
}

TEST(Chart, AutomaticAxesHaveRoundTicksAndAYearLabelPerYear) {
  Stock s;
  s.name = "9984";
  // Weekly rows from 2024/11/4 to 2025/3/31 between 9,870 and 10,140 yen.
  int year = 2024, month = 11, day = 4;
  static const int kDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int j = 0; j < 22; ++j) {
    int low = 9870 + (j * 37) % 200, high = low + 70;
    s.rows.push_back(Row(year, month, day, Yen(low + 10), Yen(high), Yen(low), Yen(high - 10),
                         Yen(1000 * (j + 1))));
    if ((day += 7) > kDays[month]) {
      day -= kDays[month];
      if (++month > 12) month = 1, ++year;
    }
  }
  std::string svg = ChartOf(s);
  EXPECT_EQ(WellFormedError(svg), "");
  // 9,870 to 10,132 in about five steps: 100 yen from 9,800 to 10,200.
  EXPECT_EQ(Layout.priceStep, 100);
  EXPECT_EQ(Layout.priceMin, 9800);
  EXPECT_EQ(Layout.priceMax, 10200);
  EXPECT_EQ(Layout.volumeMin, 0);
  EXPECT_EQ(Layout.volumeMax, 30000);   // 22,000 in steps of 10,000
  EXPECT_NE(svg.find(">10,000<"), std::string::npos);
  EXPECT_NE(svg.find(u8">3万<"), std::string::npos);
  EXPECT_EQ(CountOf(svg, "<line class=\"month\""), 5);   // Nov, Dec, Jan, Feb, Mar
  EXPECT_EQ(CountOf(svg, "class=\"year\""), 2);
  EXPECT_NE(svg.find(">2024<"), std::string::npos);
  EXPECT_NE(svg.find(">2025<"), std::string::npos);
}

struct Case {
  const char* cp932;   // the text given
  const char* shown;   // the text on the page
};

TEST(ReportText, EscapesMarkupControlsAndShowsCodePage932AsUtf8) {
  const Case kCases[] = {
      {"<td>", "&lt;td&gt;"},
      {"<a&b>", "&lt;a&amp;b&gt;"},
      {"a&b \"c\" 'd'", "a&amp;b &quot;c&quot; &#39;d&#39;"},
      {"ソニー", u8"ソニー"},
      {"tab\tstays", "tab\tstays"},
      {"bell\x07", u8"bell\uFFFD"},
      {"bad\x81", "bad?"},   // a lead byte without its second byte
      {"", ""},
  };
  for (const Case& c : kCases) {
    char buffer[256];
    TextSink sink;
    SinkInit(&sink, buffer, sizeof buffer);
    SinkText(&sink, c.cp932);
    EXPECT_STREQ(buffer, c.shown) << c.cp932;
  }
}

// File names and folders are the host's: UTF-8 here, kept as they are.
TEST(ReportText, HostTextsStayUtf8AndAreEscaped) {
  const Case kCases[] = {
      {u8"/home/太郎/作業/ソニー.txt", u8"/home/太郎/作業/ソニー.txt"},
      {"a<b>&'\"", "a&lt;b&gt;&amp;&#39;&quot;"},
      {"\x83\x5C.txt", "?\\.txt"},        // code page 932 bytes are no UTF-8
      {"\xE3\x82", "??"},                 // cut short at the end
  };
  for (const Case& c : kCases) {
    char buffer[256];
    TextSink sink;
    SinkInit(&sink, buffer, sizeof buffer);
    SinkHostText(&sink, c.cp932);
    EXPECT_STREQ(buffer, c.shown) << c.cp932;
  }
}

TEST(ReportText, NumbersAsPeopleReadThem) {
  struct PackedCase {
    int32_t mantissa;
    int exponent;
    const char* text;
  };
  const PackedCase kPacked[] = {
      {123450, -2, "1,234.50"}, {125, 1, "1,250"},       {5, -1, "0.5"},
      {1, -2, "0.01"},          {0, 0, "0"},             {131071, 5, "13,107,100,000"},
      {999, 0, "999"},          {100000, -2, "1,000.00"},
  };
  char out[48];
  for (const PackedCase& c : kPacked)
    EXPECT_STREQ(FormatPackedText(EncodePackedValue(c.mantissa, c.exponent), out, sizeof out),
                 c.text);
  struct VolumeCase {
    double value;
    const char* text;
  };
  const VolumeCase kVolumes[] = {{0, "0"},           {9500, "9,500"},
                                 {30000, u8"3万"},     {30000000, u8"3,000万"},
                                 {400000000, u8"4億"}, {450000000, u8"4.5億"},
                                 {12345, "12,345"}};
  for (const VolumeCase& c : kVolumes) {
    char cp932[48];
    TextSink sink;
    SinkInit(&sink, out, sizeof out);
    SinkText(&sink, FormatVolumeText(c.value, cp932, sizeof cp932));
    EXPECT_STREQ(out, c.text) << c.value;
  }
  EXPECT_STREQ(FormatGrouped(-2000, out, sizeof out), "-2,000");
  EXPECT_STREQ(FormatDecimal(2499.996, 2, out, sizeof out), "2,500.00");
  EXPECT_STREQ(FormatDecimal(0.5, 1, out, sizeof out), "0.5");
  struct StepCase {
    double raw, step;
  };
  const StepCase kSteps[] = {{0, 0.01}, {0.003, 0.01}, {0.3, 0.5}, {1, 1},
                             {2, 2},    {3, 5},        {7, 10},    {250, 500}};
  for (const StepCase& c : kSteps) EXPECT_DOUBLE_EQ(RoundStep(c.raw), c.step) << c.raw;
}

}  // namespace
