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
};

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
      {"300 lines", kSettings, kHeader + Rows(300), false, {{kCheckRowsDropped, C, 2}}, 260},
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
    for (int i = 0; i < check.findingCount; ++i)
      got += std::string(CheckKindName(check.findings[i].kind)) + "@" +
             std::to_string(check.findings[i].file) + ":" +
             std::to_string(check.findings[i].line) + " ";
    for (const Expected& e : c.findings)
      want += std::string(CheckKindName(e.kind)) + "@" + std::to_string(e.file) + ":" +
              std::to_string(e.line) + " ";
    EXPECT_EQ(got, want) << c.what;
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
