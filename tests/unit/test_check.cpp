// The check before a HotSync: every kind of finding from small files made
// here, with its file and line; nothing written; the record it leaves is
// the one the conversion writes.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "exchange.h"
#include "fake_platform.h"
#include "stock_check.h"

namespace {

const char kSettings[] =
    "S\r\n0\r\n1\r\n0\r\n\r\n\r\n1000\r\n12,3\r\n12,4\r\n12,5\r\n12,6\r\n14,2\r\n"
    "2000,1000\r\n50000,0\r\n";
const char kHeader[] = "日付,始値,高値,安値,終値\r\n";

std::string Row(int y, int m, int d, const char* values = "10,11,9,10,100") {
  char text[160];
  snprintf(text, sizeof text, "%d/%d/%d,%s\r\n", y, m, d, values);
  return text;
}

// `count` rows from 2001/1/1 on, one a day within a month of 28 days.
std::string Rows(int count) {
  std::string rows;
  for (int i = 0; i < count; ++i) rows += Row(2001 + i / 336, 1 + i / 28 % 12, 1 + i % 28);
  return rows;
}

std::string WithLine(const std::string& settings, int line, const std::string& text) {
  std::string s = settings, out;
  int n = 1;
  size_t at = 0;
  while (at < s.size()) {
    size_t end = s.find("\r\n", at) + 2;
    out += n == line ? text + "\r\n" : s.substr(at, end - at);
    at = end;
    ++n;
  }
  return out;
}

struct Expected {
  int kind;
  int file;
  int line;
  bool informs = false;        // the finding does not make the check fail
  const char* says = nullptr;  // in its text or message; "!..." not in them
  int lastLine = 0;            // a group's last line and count (0: one line)
  int count = 0;
};

// Replaces every `from` of `text` by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string Repeated(const std::string& line, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += line;
  return out;
}

struct CheckCase {
  const char* what;
  std::string settings;   // "-": no file
  std::string prices;     // "-": no file
  bool stops;
  std::vector<Expected> findings;
  int rows;
};

const int S = kCheckSettingsFile, C = kCheckCsvFile;

std::vector<CheckCase> Cases() {
  std::string longLine(300, '7');
  return {
      {"clean", kSettings, kHeader + Rows(3), false, {}, 3},
      {"no settings file", "-", kHeader, true, {{kCheckSettingsMissing, S, 0}}, 0},
      {"13 settings lines", std::string(kSettings).substr(0, strlen(kSettings) - 9), kHeader,
       true, {{kCheckSettingsShort, S, 13}}, 0},
      {"no price file", kSettings, "-", true, {{kCheckCsvMissing, C, 0}}, 0},
      {"empty price file", kSettings, "", true, {{kCheckCsvEmpty, C, 0}}, 0},
      {"incomplete line", kSettings, kHeader + Rows(2) + "2001/1/10,100,110,90,105\r\n" + Rows(4),
       false, {{kCheckLineIncomplete, C, 4}}, 2},
      {"blank line", kSettings, kHeader + Rows(1) + "\r\n" + Rows(1), false,
       {{kCheckLineIncomplete, C, 3}}, 1},
      {"blank lines at the end lose nothing", kSettings, kHeader + Rows(2) + "\r\n \r\n", false,
       {}, 2},
      // The first piece is a complete line whose volume is a 260-digit number.
      {"long price line", kSettings, kHeader + Rows(1) + "2001/2/1,1,2,3,4," + longLine + "\r\n",
       false, {{kCheckLineSplit, C, 3}, {kCheckLineIncomplete, C, 3}, {kCheckValueZeroed, C, 3}},
       2},
      // The file in date order: its 40 oldest days make room, as intended.
      {"300 lines", kSettings, kHeader + Rows(300), false,
       {{kCheckRowsDropped, C, 2, true, "the oldest 40 days (lines 2-41"}}, 260},
      {"a day appended to 260", kSettings, kHeader + Rows(261), false,
       {{kCheckRowsDropped, C, 2, true, "the oldest day (line 2, 2001/1/1)"}}, 260},
      // The oldest date last: the lines left out are not the oldest days.
      {"300 lines out of date order", kSettings,
       kHeader + Rows(300).substr(Row(2001, 1, 1).size()) + Row(2001, 1, 1), false,
       {{kCheckRowsDropped, C, 2, false, "!as intended"}}, 260},
      {"unquoted thousands separators", kSettings,
       kHeader + Row(2001, 1, 5, "3,850,3,870,3,820,3,860,5,400,000") + Row(2001, 1, 6), false,
       {{kCheckLineExtraFields, C, 2, false,
         "6 more pieces after the volume, which the conversion ignores: it reads 始値 3, 高値 850, "
         "安値 3, 終値 870, 売買高 3; looks like thousands separators"}},
       2},
      {"a piece after the volume that is no number", kSettings,
       kHeader + Row(2001, 1, 5, "10,11,9,10,100,note") + Row(2001, 1, 6, "10,11,9,10,100,,"),
       false, {{kCheckLineExtraFields, C, 2, false, "!thousands"}}, 2},
      {"values in exponent form", kSettings,
       kHeader + Row(2001, 1, 5, "10,11,9,10,1.872e+07") + Row(2001, 1, 6, "1.50e0,11,9,10,1E2"),
       false,
       {{kCheckValueFormat, C, 2, false, "holds 1.87, not 18720000.00"},
        {kCheckValueFormat, C, 3, false, "holds 1.00, not 100.00"}},
       2},
      {"an ISO date ends the reading", kSettings,
       kHeader + Rows(2) + "2001-01-05,1,2,3,4,5\r\n" + Rows(3), false,
       {{kCheckDateFormat, C, 4, false,
         "(2001/1/5); reading ends here, 3 lines after it are ignored; `ryvo import` reads"}},
       2},
      {"dates of eight digits", kSettings, std::string(kHeader) + "20010105,1,2,3,4,5\r\n", false,
       {{kCheckDateFormat, C, 2, false, "(2001/1/5)"}}, 0},
      {"the year last", kSettings, std::string(kHeader) + "1/5/2001,1,2,3,4,5\r\n" + Row(2001, 1, 6), false,
       {{kCheckDateFormat, C, 2, false, "the year first"}}, 2},
      {"a settings file in UTF-8", WithLine(kSettings, 6, u8"トヨタ"), kHeader, false,
       {{kCheckSettingsEncoding, S, 6, false, "トヨタ"}}, 0},
      {"UTF-8 in line 1 alone", WithLine(kSettings, 1, u8"トヨタ"), kHeader, false,
       {{kCheckSettingsEncoding, S, 1, true}, {kCheckNameDiffers, S, 1, true, "トヨタ"}}, 0},
      {"code page 932 is no UTF-8", WithLine(kSettings, 6, "トヨタ"), kHeader, false, {}, 0},
      {"CR CR LF line ends", Replaced(kSettings, "\r\n", "\r\r\n"), kHeader, false,
       {{kCheckTextControl, S, 1, true, "S\\r"},
        {kCheckTextControl, S, 5, false, "CR CR LF"},
        {kCheckTextControl, S, 6, false}},
       0},
      {"a tab in the keyword", WithLine(kSettings, 6, "a\tb"), kHeader, false,
       {{kCheckTextControl, S, 6, false, "a\\tb"}}, 0},
      {"one cause on many lines is one finding", kSettings,
       kHeader + Repeated(Row(2001, 1, 5, "3,850,3,870,3,820,3,860,5,400,000"), 5), false,
       {{kCheckLineExtraFields, C, 2, false, "(lines 2-6, 5 lines)", 6, 5},
        {kCheckDateDuplicate, C, 3, true, "(lines 3-6, 10 lines)", 6, 10}},
       5},
      {"two lines are not grouped", kSettings,
       kHeader + Row(2001, 1, 5, "-1,11,9,10,100") + Row(2001, 1, 6, "-1,11,9,10,100"), false,
       {{kCheckValueZeroed, C, 2}, {kCheckValueZeroed, C, 3}}, 2},
      {"groups are per column", kSettings,
       kHeader + Row(2001, 1, 5, "-1,11,9,10,100") + Row(2001, 1, 6, "-1,-1,9,10,100") +
           Row(2001, 1, 7, "10,11,9,10,100") + Row(2001, 1, 8, "-1,11,9,10,100"),
       false,
       {{kCheckValueZeroed, C, 2, false, "(lines 2-5, 3 lines)", 5, 3},
        {kCheckValueZeroed, C, 3, false, "!lines"}},
       4},
      {"zeroed values", kSettings,
       kHeader + Row(2001, 1, 5, "-5,abc,13107100001,10,  ") + Row(2001, 1, 6), false,
       {{kCheckValueZeroed, C, 2}, {kCheckValueZeroed, C, 2}, {kCheckValueZeroed, C, 2},
        {kCheckValueZeroed, C, 2}},
       2},
      {"cut values", kSettings, kHeader + Row(2001, 1, 5, "1234.567,131072,12x3,10,1") ,
       false, {{kCheckValueCut, C, 2}, {kCheckValueCut, C, 2}, {kCheckValueCut, C, 2}}, 1},
      {"values that only look lossy", kSettings,
       kHeader + Row(2001, 1, 5, "1234.500,131070,\"1,234.50\",0.00,  1500000.00"), false, {}, 1},
      {"dates", kSettings, kHeader + Row(1899, 1, 5) + Row(2001, 2, 29) + Row(2001, 13, 1) +
                               Row(2001, 3, 1) + Row(2001, 3, 1),
       false,
       {{kCheckDateWraps, C, 2}, {kCheckDateInvalid, C, 3}, {kCheckDateInvalid, C, 4},
        {kCheckDateDuplicate, C, 6}},
       5},
      {"texts and numbers", WithLine(WithLine(WithLine(WithLine(kSettings, 5,
                                std::string(121, 'd')), 6, std::string(21, 'k')), 8, "70000,1"),
                                13, "4294967296,5"),
       kHeader, false,
       {{kCheckTextCut, S, 5}, {kCheckTextCut, S, 6}, {kCheckNumberCut, S, 8},
        {kCheckNumberCut, S, 13}},
       0},
      {"another name on line 1", WithLine(kSettings, 1, "T"), kHeader, false,
       {{kCheckNameDiffers, S, 1}}, 0},
      // Its second piece is taken for line 6, the keyword.
      {"long settings line", WithLine(kSettings, 5, longLine), kHeader, false,
       {{kCheckLineSplit, S, 5}, {kCheckTextCut, S, 5}, {kCheckTextCut, S, 5}}, 0},
  };
}

TEST(StockCheck, EveryKindWithItsFileAndLine) {
  static StockCheck check;
  for (const CheckCase& c : Cases()) {
    std::string work, csv;
    FakeResetWithFolders(&work, &csv);
    if (c.settings != "-") FakeWriteFile(work + "/S.txt", c.settings);
    if (c.prices != "-") FakeWriteFile(csv + "/S.csv", c.prices);
    int result = CheckStock("S", kFullDataRecLength, &check);
    EXPECT_EQ(result, c.stops ? -1 : 0) << c.what;
    EXPECT_EQ(check.stopsConversion, c.stops ? 1 : 0) << c.what;
    EXPECT_EQ(check.rows, c.rows) << c.what;
    std::string got, want;
    // kind@file:line, "-last/count" for a group, "~" when it only informs.
    for (int i = 0; i < check.findingCount; ++i) {
      const CheckFinding& f = check.findings[i];
      got += std::string(CheckKindName(f.kind)) + "@" + std::to_string(f.file) + ":" +
             std::to_string(f.line);
      if (f.count != 1 || f.lastLine != f.line)
        got += "-" + std::to_string(f.lastLine) + "/" + std::to_string(f.count);
      got += CheckFindingLoses(&f) ? " " : "~ ";
    }
    for (const Expected& e : c.findings) {
      want += std::string(CheckKindName(e.kind)) + "@" + std::to_string(e.file) + ":" +
              std::to_string(e.line);
      if (e.count != 0) want += "-" + std::to_string(e.lastLine) + "/" + std::to_string(e.count);
      want += e.informs || !CheckKindLoses(e.kind) ? "~ " : " ";
    }
    EXPECT_EQ(got, want) << c.what;
    for (size_t i = 0; i < c.findings.size() && i < (size_t)check.findingCount; ++i) {
      const char* says = c.findings[i].says;
      if (says == nullptr) continue;
      std::string told = std::string(check.findings[i].text) + " " + check.findings[i].message;
      if (says[0] == '!')
        EXPECT_EQ(told.find(says + 1), std::string::npos) << c.what << ": " << told;
      else
        EXPECT_NE(told.find(says), std::string::npos) << c.what << ": " << told;
    }
    EXPECT_TRUE(FakeMessages().empty()) << c.what << ": the check shows no message box";
    // Nothing written: every open was for reading.
    for (const std::string& open : FakeOpenLog())
      EXPECT_NE(open.find("(rb)"), std::string::npos) << c.what << ": " << open;
  }
}

TEST(StockCheck, FindingsSayWhatTheHandheldGets) {
  static StockCheck check;
  std::string work, csv;
  FakeResetWithFolders(&work, &csv);
  FakeWriteFile(work + "/S.txt", kSettings);
  FakeWriteFile(csv + "/S.csv", kHeader + Row(2001, 1, 5, "1,2,131072,4,5") +
                                    "2001/1/10,100,110,90,105\r\n" + Rows(3));
  CheckStock("S", kFullDataRecLength, &check);
  ASSERT_EQ(check.findingCount, 2);
  EXPECT_STREQ(check.findings[0].text, "131072");
  EXPECT_EQ(check.findings[0].column, 2);
  EXPECT_NE(strstr(check.findings[0].message, "131070.00"), nullptr) << check.findings[0].message;
  EXPECT_STREQ(check.findings[1].text, "2001/1/10,100,110,90,105");
  EXPECT_NE(strstr(check.findings[1].message, "no volume"), nullptr);
  EXPECT_NE(strstr(check.findings[1].message, "3 lines after it are ignored"), nullptr)
      << check.findings[1].message;
}

TEST(StockCheck, ShortRecordsAndNamesThatCannotBeFiles) {
  static StockCheck check;
  std::string work, csv;
  FakeResetWithFolders(&work, &csv);
  FakeWriteFile(work + "/S.txt", kSettings);
  FakeWriteFile(csv + "/S.csv", kHeader + Rows(10));
  // A record template of 4 rows keeps the 4 oldest.
  EXPECT_EQ(CheckStock("S", 512 + 4 * 15, &check), 0);
  EXPECT_EQ(check.rows, 4);
  ASSERT_EQ(check.findingCount, 1);
  EXPECT_EQ(check.findings[0].kind, kCheckRowsDropped);
  EXPECT_EQ(CheckStock("a/b", kFullDataRecLength, &check), -1);
  ASSERT_EQ(check.findingCount, 1);
  EXPECT_EQ(check.findings[0].kind, kCheckNameUnusable);
  EXPECT_EQ(CheckKindLoses(kCheckNameUnusable), 1);
  EXPECT_EQ(CheckKindLoses(kCheckDateDuplicate) + CheckKindLoses(kCheckNameDiffers), 0);
}

}  // namespace
