// Conversion back to the dump: the parsing rules, the price lines and their
// slots, the settings-file lines, the records byte for byte, and a dump
// that stays as it was whenever the conversion fails.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"

using namespace dumpbuilder;

namespace {

TEST(ParseDecimalField, TableOfFieldTexts) {
  struct Case { const char* text; int32_t mantissa; int exponent; } cases[] = {
      {"     1234.50", 123450, -2}, {"     1250.00", 1250, 0}, {"123.40", 12340, -2},
      {"1234.567", 123456, -2},     {"0.05", 5, -2},           {".5", 5, -1},
      {"131071", 131071, 0},        {"131072", 13107, 1},      {"  1500000.00", 15000, 2},
      {"12345678.9", 123456, 2},    {"131071000.00", 131071, 3}, {"13107100000", 131071, 5},
      {"13107100001", 0, 0},        {"-5", 0, 0},              {"abc", 0, 0},
      {"", 0, 0},                   {"1 234", 1234, 0},        {"0", 0, 0},
      {"0.00", 0, 0},               {"12.30", 1230, -2},       {"99999999999999999999999", 0, 0},
      // Decimals the limit cannot hold are dropped, not the whole value.
      {"131071000.01", 131071, 3},  {"200000000.00", 20000, 4}, {"13107100000.00", 131071, 5},
      {"150000000.00", 15000, 4},   {"13107100001.00", 0, 0},  {"1310710000.5", 131071, 4},
      {"1.2.3", 12, -1},            {"1,000", 1000, 0},        {"+5", 0, 0},
  };
  for (const Case& c : cases) {
    signed char exponent = 99;
    int32_t mantissa = -99;
    ParseDecimalField(c.text, &exponent, &mantissa);
    EXPECT_EQ(mantissa, c.mantissa) << "'" << c.text << "'";
    EXPECT_EQ(exponent, c.exponent) << "'" << c.text << "'";
  }
}

// The choice of mantissa and exponent, against the rule written out
// plainly: a number whose decimals are all zero is whole and takes no
// negative exponent; the mantissa is the number cut by the fewest powers
// of ten that bring it to at most 131071. Whole parts at every edge of
// those powers and at random, with every kind of decimals.
TEST(ParseDecimalField, MantissaAndExponentFollowTheRule) {
  std::vector<uint64_t> wholes = {0, 1, 9, 10, 99, 100, 1310, 1311, 13107, 13108};
  for (uint64_t edge = 131071; edge <= 13107100000ull; edge *= 10)
    for (uint64_t w : {edge - 1, edge, edge + 1, edge / 100, edge / 100 + 1, edge / 10 + 1})
      wholes.push_back(w);
  uint32_t seed = 99;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    wholes.push_back(((uint64_t)seed << 3 ^ seed >> 5) % 13107100001ull >> (seed % 30));
  }
  const char* const kDecimals[] = {"", ".", ".0", ".00", ".5", ".05", ".50", ".99", ".10", ".01"};
  for (uint64_t whole : wholes) {
    if (whole > 13107100000ull) continue;
    for (const char* decimals : kDecimals) {
      // The rule: the number in units of its last decimal read; decimals
      // that are all zero count as none.
      uint64_t number = whole;
      int places = 0;
      bool allZero = true;
      for (const char* c = decimals + (decimals[0] == '.'); *c != '\0'; ++c) {
        number = number * 10 + (uint64_t)(*c - '0');
        ++places;
        allZero = allZero && *c == '0';
      }
      if (allZero) {
        number = whole;
        places = 0;
      }
      while (number > 13107100000ull && places > 0) {   // decimals the limit cannot hold
        number /= 10;
        --places;
      }
      int shift = 0;
      uint64_t limit = 131071;
      while (number > limit) {
        limit *= 10;
        ++shift;
      }
      uint64_t power = 1;
      for (int i = 0; i < shift; ++i) power *= 10;
      char text[40];
      snprintf(text, sizeof text, "%llu%s", (unsigned long long)whole, decimals);
      signed char exponent = 99;
      int32_t mantissa = -1;
      ParseDecimalField(text, &exponent, &mantissa);
      ASSERT_EQ(mantissa, (int32_t)(number / power)) << text;
      ASSERT_EQ(exponent, shift - places) << text;
    }
  }
}

TEST(ParseIntOrZero, DecimalTextsAndWrapping) {
  struct Case { const char* text; int32_t value; } cases[] = {
      {"", 0},           {"abc", 0},          {"12", 12},          {"  -12abc", -12},
      {"+7", 7},         {"\t 34,56", 34},    {"- 5", 0},          {"2147483647", 2147483647},
      {"2147483648", -2147483647 - 1},        {"4294967297", 1},   {"-2147483649", 2147483647},
      {"-4294967296", 0}, {"99999999999999999999", (int32_t)0x0A763FFF + 0 * 0 - 0},
  };
  // 99999999999999999999 mod 2^32 = 1661992959 = 0x630FFFFF.
  cases[12].value = 1661992959;
  for (const Case& c : cases) EXPECT_EQ(ParseIntOrZero(c.text), c.value) << c.text;
  EXPECT_EQ(ParseIntOrZero(NULL), 0);
}

TEST(CompareRowDates, UnsignedOrder) {
  PriceSlot a = {}, b = {};
  a.date = 0x8000;
  b.date = 0x7FFF;
  EXPECT_EQ(CompareRowDates(&a, &b), 1);
  EXPECT_EQ(CompareRowDates(&b, &a), -1);
  b.date = 0x8000;
  EXPECT_EQ(CompareRowDates(&a, &b), 0);
}

TEST(ParsePriceLine, PiecesAndIncompleteLines) {
  struct Case {
    const char* line;
    int result;
    unsigned date;
    int32_t m[5];
  } cases[] = {
      {"2001/1/10,     1234.50,     1250.00,     1200.25,     1240.00,  1500000.00\n", 0,
       0xC22A, {123450, 1250, 120025, 1240, 15000}},
      {"2001/1/10,100,110,90,105\n", -1, 0, {0}},
      {"2001/1/10,100,,90,105,1000\n", -1, 0, {0}},
      {"2001/1/10,1,2,3,4,5,6,7\n", 0, 0xC22A, {1, 2, 3, 4, 5}},
      {"2001/1/10,1,2,3,4,5", 0, 0xC22A, {1, 2, 3, 4, 5}},
      {"\n", -1, 0, {0}},
      {"", -1, 0, {0}},
      {"2001//1/10,1,2,3,4,5\n", 0, 0xC22A, {1, 2, 3, 4, 5}},
      {"01/1/10,1,2,3,4,5\n", 0, EncodePackedDate(1921, 1, 10), {1, 2, 3, 4, 5}},
      {"2001/13/40,1,2,3,4,5\n", 0, EncodePackedDate(2001, 13, 40), {1, 2, 3, 4, 5}},
      {"2001-1-10,1,2,3,4,5\n", -1, 0, {0}},
  };
  for (const Case& c : cases) {
    char line[300];
    strcpy(line, c.line);
    PriceSlot slot = {};
    ASSERT_EQ(ParsePriceLine(line, &slot), c.result) << c.line;
    if (c.result != 0) continue;
    EXPECT_EQ(slot.date, c.date) << c.line;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(slot.mantissa[i], c.m[i]) << c.line << " field " << i;
  }
}

// ---- ConvertToHandheld over files ----

const char kSettings1234[] =
    "1234\r\n0\r\n1\r\n0\r\n\r\n\r\n1000\r\n12,3\r\n12,4\r\n12,5\r\n12,6\r\n14,2\r\n"
    "2000,1000\r\n50000,0\r\n";
const std::string kHeader = "日付,始値,高値,安値,終値\r\n";

class ConvertTest : public ::testing::Test {
 protected:
  std::string work, csv, oldDump;
  void SetUp() override {
    FakeResetWithFolders(&work, &csv);
    memcpy(CarriedBytes, "Carried8", 8);
    // The dump being replaced: a 40-byte header and one 4412-byte record.
    Stock old;
    old.name = "old";
    oldDump = Dump({old}, ContRec(40, 0, 0xD2, "XYZ"));
    FakeWriteFile(work + "/Ryvo.dmp", oldDump);
  }
  void PutStock(const std::string& name, const std::string& settings, const std::string& prices) {
    FakeWriteFile(work + "/" + FakeHostName(name) + ".txt", settings);
    FakeWriteFile(csv + "/" + FakeHostName(name) + ".csv", prices);
  }
  std::string NewDump() { return FakeReadFile(work + "/Ryvo.dmp"); }
  std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const FakeMessage& m : FakeMessages()) texts.push_back(m.caption + "|" + m.text);
    return texts;
  }
  // The DataRec at `index` of the new dump (after its length).
  std::string Rec(int index, int headerLength = 40, int recordLength = 4412) {
    std::string d = NewDump();
    size_t at = 4 + (size_t)headerLength + (size_t)index * (4 + (size_t)recordLength) + 4;
    return at <= d.size() ? d.substr(at, (size_t)recordLength) : std::string();
  }
  void ExpectUnchanged(const char* what) {
    EXPECT_TRUE(NewDump() == oldDump) << what << ": " << NewDump().size() << " bytes";
    EXPECT_FALSE(FakeFileExists(work + "/Ryvo.dmp.tmp")) << what;
  }
};

std::string Line(int y, int m, int d, int value) {
  char text[128];
  snprintf(text, sizeof text, "%d/%d/%d,%d.00,%d.00,%d.00,%d.00,%d.00\r\n", y, m, d, value,
           value + 1, value + 2, value + 3, value * 100);
  return text;
}

// The date of row j of a DataRec.
unsigned RowDate(const std::string& rec, int j) {
  const unsigned char* p =
      reinterpret_cast<const unsigned char*>(rec.data()) + kPriceTableOffset + kPriceRowSize * j;
  return (unsigned)(p[0] << 8 | p[1]);
}

uint32_t RowValue(const std::string& rec, int j, int field) {
  PriceRow row;
  ReadPriceRow(reinterpret_cast<const unsigned char*>(rec.data()) + kPriceTableOffset +
                   kPriceRowSize * j,
               &row);
  return row.value[field];
}

TEST_F(ConvertTest, ThreeStocksByteForByte) {
  PutStock("1234", kSettings1234,
           kHeader + "2001/1/10,     1234.50,     1250.00,     1200.25,     1240.00,  1500000.00\r\n");
  PutStock("ソニー", "ソニー\r\n1\r\n0\r\n1\r\nhttp://x\r\n表示\r\n-5\r\n70000,1\r\n,34\r\n12\r\n\r\n"
                   "12,34,56\r\n2000\r\n-1,-2\r\n",
           kHeader);
  PutStock("表示灯", kSettings1234, kHeader);
  FakeListSet({"1234", "ソニー", "表示灯"});
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_TRUE(FakeReadFile(work + "/SaveRyvo.dmp") == oldDump);
  EXPECT_FALSE(FakeFileExists(work + "/Ryvo.dmp.tmp"));

  std::string d = NewDump();
  ASSERT_EQ(d.size(), 4 + 40 + 3 * (4 + 4412u));
  EXPECT_EQ(Hex(d.substr(0, 4 + 40)),
            Hex(Le32(40) + std::string("\x00\xD2\x00\x03\x00\x00\x03\xE8\x00\x00", 10) +
                "Carried8" + std::string(22, '\0')));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(d.substr(44 + (size_t)i * 4416, 4), Le32(4412));

  // Stock 1: the worked example of the settings file and price line.
  Stock expected;
  expected.name = "1234";
  expected.flags = kFlagWebScrap;
  expected.purchaseCount = 1000;
  int fetch[10] = {12, 3, 12, 4, 12, 5, 12, 6, 14, 2};
  memcpy(expected.fetch, fetch, sizeof fetch);
  int32_t scale[4] = {2000, 1000, 50000, 0};
  memcpy(expected.scale, scale, sizeof scale);
  std::string rec = Rec(0);
  EXPECT_EQ(Hex(rec.substr(0, 512)), Hex(DataRec(expected).substr(0, 512)));
  EXPECT_EQ(Hex(rec.substr(512, 30)),
            "C2 2A 1E 23 A4 04 E2 1D 4D 94 04 D8 83 A9 80 00 00 00 00 00 00 00 00 00 00 00 00 00 "
            "00 00");

  // Stock 2: flags 5, the pair rule, wrapped 16-bit numbers, a header-only CSV.
  Stock sony;
  sony.name = "ソニー";
  sony.flags = 5;
  sony.document = "http://x";
  sony.keyword = "表示";
  sony.purchaseCount = -5;
  int sonyFetch[10] = {4464, 1, 34, 0, 12, 0, 0, 0, 12, 34};
  memcpy(sony.fetch, sonyFetch, sizeof sonyFetch);
  int32_t sonyScale[4] = {2000, 0, -1, -2};
  memcpy(sony.scale, sonyScale, sizeof sonyScale);
  EXPECT_EQ(Hex(Rec(1)), Hex(DataRec(sony)));
  EXPECT_EQ(Rec(2).substr(4, 20), std::string("表示灯") + std::string(14, '\0'));
}

TEST_F(ConvertTest, SettingsLineRules) {
  struct Case {
    const char* what;
    std::string settings;
    int flags;
    int32_t priceMax, priceMin;
  } cases[] = {
      {"1,0,1 gives 5", "x\r\n1\r\n0\r\n1\r\n\r\n\r\n0\r\n\r\n\r\n\r\n\r\n\r\n2000\r\n\r\n", 5, 2000, 0},
      {"a space before the 1", "x\r\n 1\r\n1x\r\n10\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n,3\r\n\r\n", 6, 3, 0},
      {"lines after 14 ignored", std::string(kSettings1234) + "junk\r\nmore\r\n", 2, 2000, 1000},
      {"LF only", "x\n0\n0\n1\n\n\n\n\n\n\n\n\n9,8\n7,6\n", 4, 9, 8},
  };
  for (const Case& c : cases) {
    SetUp();
    PutStock("7203", c.settings, kHeader);
    FakeListSet({"7203"});
    ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0) << c.what;
    std::string rec = Rec(0);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(rec.data());
    EXPECT_EQ(p[kDataFlags], c.flags) << c.what;
    EXPECT_EQ(ReadBE32(p + kDataPriceScaleMax), c.priceMax) << c.what;
    EXPECT_EQ(ReadBE32(p + kDataPriceScaleMin), c.priceMin) << c.what;
    EXPECT_EQ(rec.substr(4, 20), std::string("7203") + std::string(16, '\0')) << c.what;
    EXPECT_EQ(rec.substr(kDataWebDocument, 120), std::string(120, '\0')) << c.what;
  }
}

TEST_F(ConvertTest, LongTextsAreCutToTheirFields) {
  PutStock("7203", "7203\r\n0\r\n0\r\n0\r\n" + std::string(200, 'd') + "\r\n" +
                       std::string(30, 'k') + "\r\n0\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n",
           kHeader);
  FakeListSet({"7203\nrest"});   // the name ends at the first line feed
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  std::string rec = Rec(0);
  EXPECT_EQ(rec.substr(kDataWebDocument, 120), std::string(120, 'd'));
  EXPECT_EQ(rec.substr(kDataKeyword, 20), std::string(20, 'k'));
  EXPECT_EQ(rec.substr(164, 2), std::string(2, '\0'));
}

TEST_F(ConvertTest, SlotReuseAndSort) {
  std::string ascending = kHeader, descending = kHeader, mixed = kHeader;
  // 300 distinct dates: 2000/1/1 + j days approximately (day 1-28).
  auto date = [](int j, int* y, int* m, int* d) {
    *y = 2000 + j / 336;
    *m = 1 + (j / 28) % 12;
    *d = 1 + j % 28;
  };
  for (int j = 0; j < 300; ++j) {
    int y, m, d;
    date(j, &y, &m, &d);
    ascending += Line(y, m, d, j + 1);
    date(299 - j, &y, &m, &d);
    descending += Line(y, m, d, 300 - j);
  }
  int order[5] = {3, 1, 4, 1, 2};   // a duplicate date
  for (int k : order) mixed += Line(2001, 2, k, k);
  PutStock("asc", kSettings1234, ascending);
  PutStock("desc", kSettings1234, descending);
  PutStock("blank", kSettings1234, ascending + "\r\n" + Line(2031, 1, 1, 9));
  PutStock("mixed", kSettings1234, mixed);
  FakeListSet({"asc", "desc", "blank", "mixed"});
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);

  // Ascending: the last 260 lines (41 to 300), oldest first.
  std::string asc = Rec(0);
  for (int j = 0; j < 260; ++j) {
    int y, m, d;
    date(40 + j, &y, &m, &d);
    ASSERT_EQ(RowDate(asc, j), EncodePackedDate(y, m, d)) << j;
    ASSERT_EQ(RowValue(asc, j, 0), EncodePackedValue(41 + j, 0)) << j;
  }
  // Descending: the last 260 lines of the file are the 260 oldest dates.
  std::string desc = Rec(1);
  for (int j = 0; j < 260; ++j) {
    int y, m, d;
    date(j, &y, &m, &d);
    ASSERT_EQ(RowDate(desc, j), EncodePackedDate(y, m, d)) << j;
    ASSERT_EQ(RowValue(desc, j, 0), EncodePackedValue(j + 1, 0)) << j;
  }
  // A blank line after 300 complete lines ends the reading, rows unchanged.
  EXPECT_TRUE(Rec(2).substr(512) == asc.substr(512));
  // Any order comes out ascending; equal dates are both kept.
  std::string mix = Rec(3);
  unsigned expectedDays[5] = {1, 1, 2, 3, 4};
  for (int j = 0; j < 5; ++j) EXPECT_EQ(RowDate(mix, j), EncodePackedDate(2001, 2, (int)expectedDays[j]));
  EXPECT_EQ(RowDate(mix, 5), 0u);
  EXPECT_TRUE(mix.substr(512 + 5 * 15) == std::string(4412 - 512 - 75, '\0'));
}

TEST_F(ConvertTest, IncompleteLineEndsTheReading) {
  PutStock("7203", kSettings1234,
           kHeader + Line(2001, 1, 9, 50) + "2001/1/10,100,110,90,105\r\n" + Line(2001, 1, 11, 60));
  PutStock("9984", kSettings1234,
           kHeader + Line(2001, 1, 9, 50) + "2001/1/10,100,,90,105,1000\r\n" + Line(2001, 1, 11, 60));
  PutStock("6758", kSettings1234, "no header line but one line is enough");
  FakeListSet({"7203", "9984", "6758"});
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  for (int i = 0; i < 2; ++i) {
    std::string rec = Rec(i);
    EXPECT_EQ(RowDate(rec, 0), EncodePackedDate(2001, 1, 9));
    EXPECT_EQ(RowDate(rec, 1), 0u);
  }
  EXPECT_TRUE(Rec(2).substr(512) == std::string(4412 - 512, '\0'));
}

TEST_F(ConvertTest, ShortTemplatesCutTheRecords) {
  Stock old;
  old.name = "old";
  old.length = 512 + 15 * 2;
  oldDump = Dump({old}, ContRec(12, 0, 0xD2));
  FakeWriteFile(work + "/Ryvo.dmp", oldDump);
  PutStock("7203", kSettings1234, kHeader + Line(2001, 1, 1, 1) + Line(2001, 1, 2, 2) + Line(2001, 1, 3, 3));
  FakeListSet({"7203"});
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  std::string d = NewDump();
  ASSERT_EQ(d.size(), 4 + 12 + 4 + 542u);
  EXPECT_EQ(d.substr(4 + 10, 2), "Ca");   // carriedBytes cut with the header
  std::string rec = d.substr(20);
  EXPECT_EQ(RowDate(rec, 0), EncodePackedDate(2001, 1, 1));
  EXPECT_EQ(RowDate(rec, 1), EncodePackedDate(2001, 1, 2));
}

TEST_F(ConvertTest, RefusalsBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    std::string dump;   // empty: no Ryvo.dmp
    const char* message;
  } cases[] = {
      {"no dump", "", "System Error|RyvoDB file copy read error"},
      {"header only", Record(ContRec()), "System Error|RyvoDB file Cnt.size read error"},
      {"three bytes", "\x28\x00\x00", "System Error|RyvoDB file Cnt.size read error"},
      {"header template above 5120", Le32(5121) + std::string(5121, '\0') + Record(std::string(4412, '\0')),
       "System Error|RyvoDB file Cnt.size read error"},
      {"header template 0", Le32(0) + Record(std::string(4412, '\0')),
       "System Error|RyvoDB file Cnt.size read error"},
      {"record template above 5120", Record(ContRec()) + Le32(5121) + std::string(5121, '\0'),
       "System Error|RyvoDB file Cnt.size read error"},
      {"record template negative", Record(ContRec()) + Le32(-4412) + std::string(40, '\0'),
       "System Error|RyvoDB file Cnt.size read error"},
      {"record template 0", Record(ContRec()) + Le32(0), "System Error|RyvoDB file Cnt.size read error"},
  };
  for (const Case& c : cases) {
    SetUp();
    PutStock("7203", kSettings1234, kHeader);
    FakeListSet({"7203"});
    if (c.dump.empty())
      remove((work + "/Ryvo.dmp").c_str());
    else
      FakeWriteFile(work + "/Ryvo.dmp", c.dump);
    EXPECT_EQ(ConvertToHandheld(FakeStockList()), -1) << c.what;
    EXPECT_EQ(Messages(), std::vector<std::string>({c.message})) << c.what;
    EXPECT_TRUE(NewDump() == c.dump) << c.what;
    EXPECT_FALSE(FakeFileExists(work + "/Ryvo.dmp.tmp")) << c.what;
    for (const std::string& opened : FakeOpenLog())
      EXPECT_EQ(opened.find("wb"), std::string::npos) << c.what << ": " << opened;
  }
}

TEST_F(ConvertTest, EmptyListTouchesNothing) {
  FakeListSet({});
  EXPECT_EQ(ConvertToHandheld(FakeStockList()), -1);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_FALSE(FakeFileExists(work + "/SaveRyvo.dmp"));
  EXPECT_TRUE(FakeOpenLog().empty());
  ExpectUnchanged("empty list");
}

TEST_F(ConvertTest, FailuresLeaveTheDumpAsItWas) {
  struct Case {
    const char* what;
    void (*arrange)(const std::string& work, const std::string& csv);
    std::vector<std::string> messages;
  } cases[] = {
      {"missing CSV of the second stock",
       [](const std::string&, const std::string& csv) { remove((csv + "/2222.csv").c_str()); },
       {}},
      {"13-line settings file",
       [](const std::string& work, const std::string&) {
         std::string s = kSettings1234;
         FakeWriteFile(work + "/2222.txt", s.substr(0, s.rfind("50000")));
       },
       {"System Error|RyvoSetup file read error"}},
      {"missing settings file",
       [](const std::string& work, const std::string&) { remove((work + "/2222.txt").c_str()); },
       {"System Error|RyvoSetup file open error"}},
      {"empty settings file", [](const std::string& work, const std::string&) { FakeWriteFile(work + "/2222.txt", ""); },
       {"System Error|RyvoSetup file StockName read error"}},
      {"settings file of one line",
       [](const std::string& work, const std::string&) { FakeWriteFile(work + "/2222.txt", "2222\r\n"); },
       {"System Error|RyvoSetup file OnlyClose read error"}},
      {"settings file of two lines",
       [](const std::string& work, const std::string&) { FakeWriteFile(work + "/2222.txt", "2222\r\n0\r\n"); },
       {"System Error|RyvoSetup file WebScrap read error"}},
      {"settings file of three lines",
       [](const std::string& work, const std::string&) { FakeWriteFile(work + "/2222.txt", "2222\r\n0\r\n0\r\n"); },
       {"System Error|RyvoSetup file FixedScale read error"}},
      {"empty CSV file", [](const std::string&, const std::string& csv) { FakeWriteFile(csv + "/2222.csv", ""); },
       {"System Error|Data file read error"}},
      {"cannot open for update", [](const std::string&, const std::string&) { FakeFailOpen("Ryvo.dmp (r+b)"); },
       {"System Error|RyvoDB file write error"}},
      {"cannot create the new dump", [](const std::string&, const std::string&) { FakeFailOpen("Ryvo.dmp.tmp"); },
       {"System Error|RyvoDB file open error"}},
      {"header write fails", [](const std::string&, const std::string&) { FakeFailWriteAfter("Ryvo.dmp.tmp", 2); },
       {"System Error|RyvoDB file Cnt.size write error"}},
      {"record write fails", [](const std::string&, const std::string&) { FakeFailWriteAfter("Ryvo.dmp.tmp", 6000); },
       {"System Error|RyvoDB file Cnt.size write error"}},
      {"close of the new dump fails", [](const std::string&, const std::string&) { FakeFailClose("Ryvo.dmp.tmp"); },
       {"System Error|RyvoDB file write error"}},
      {"replace fails", [](const std::string&, const std::string&) { FakeFailReplace("Ryvo.dmp.tmp"); },
       {"System Error|RyvoDB file write error"}},
  };
  for (const Case& c : cases) {
    SetUp();
    for (const char* name : {"1111", "2222", "3333"}) PutStock(name, kSettings1234, kHeader + Line(2001, 1, 10, 5));
    FakeListSet({"1111", "2222", "3333"});
    c.arrange(work, csv);
    EXPECT_EQ(ConvertToHandheld(FakeStockList()), -1) << c.what;
    EXPECT_EQ(Messages(), c.messages) << c.what;
    ExpectUnchanged(c.what);
    EXPECT_TRUE(FakeReadFile(work + "/SaveRyvo.dmp") == oldDump) << c.what;
  }
}

TEST_F(ConvertTest, EntriesThatCannotBeStocks) {
  struct Case { std::vector<std::string> list; std::vector<std::string> messages; } cases[] = {
      {{"1111", ""}, {}},
      {{"1111", "\nx"}, {}},
      {{"1111", "..\\csv\\1111"}, {"System Error|RyvoSetup file open error"}},
      {{"1111", "a/b"}, {"System Error|RyvoSetup file open error"}},
  };
  for (const Case& c : cases) {
    SetUp();
    PutStock("1111", kSettings1234, kHeader);
    FakeListSet(c.list);
    EXPECT_EQ(ConvertToHandheld(FakeStockList()), -1) << c.list[1];
    EXPECT_EQ(Messages(), c.messages) << c.list[1];
    ExpectUnchanged(c.list[1].c_str());
  }
}

TEST_F(ConvertTest, TwoConversionsInARow) {
  PutStock("1111", kSettings1234, kHeader + Line(2001, 1, 10, 5));
  FakeListSet({"1111"});
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  std::string first = NewDump();
  PutStock("1111", kSettings1234, kHeader + Line(2001, 1, 10, 5) + Line(2001, 1, 11, 6));
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  EXPECT_TRUE(FakeReadFile(work + "/SaveRyvo.dmp") == first);
  EXPECT_TRUE(NewDump() != first);
  EXPECT_EQ(NewDump().size(), first.size());
}

// The conversion stores for every line the row that ParsePriceLine gives
// for it, whether the line is of the export's own layout or just off it:
// 260 lines (more than one buffer of the file reader, so some lines
// straddle its end) of random values, a third of them spoilt in one of the
// ways below.
TEST_F(ConvertTest, StoredRowsAreTheLineParserRowsAcrossTheReadBuffer) {
  // Twelve characters each unless the width is the point.
  static const char* const kSpoilt[] = {
      "    1 234.50", "    +1234.50", "    12x34.50", "   \t 1234.50", "1    1234.50",
      "     1234. 5", "    1234.567", "        1234", "123456789.00", "    00001.00",
      "         .50", "\t    1234.50", "  1310710000.00", "     1234.50 ", "    12:34.50",
      "     1234.5:", "    1234/.50"};
  const int kKinds = (int)(sizeof kSpoilt / sizeof kSpoilt[0]);
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  std::string csvText = kHeader;
  std::vector<PriceSlot> expected;
  for (int j = 0; j < 260; ++j) {
    char line[256];
    int n = snprintf(line, sizeof line, "%d/%d/%d", 2000 + j / 336, 1 + (j / 28) % 12, 1 + j % 28);
    int spoilt = next() % 3 == 0 ? (int)(next() % (kKinds + 2)) : -1;
    for (int i = 0; i < 5; ++i) {
      char value[32];
      // Mostly values below 10^8, as prices and volumes are; now and then
      // one of the wider ones.
      uint32_t field = next() % 8 == 0 ? next() & 0xFFFFFu : next() % (6u << 17);
      value[FormatCsvValue(value, field)] = '\0';
      const char* text = spoilt >= 0 && spoilt < kKinds && i == j % 5 ? kSpoilt[spoilt] : value;
      n += snprintf(line + n, sizeof line - (size_t)n, ",%s", text);
    }
    if (spoilt == kKinds) n += snprintf(line + n, sizeof line - (size_t)n, ",x");
    std::string text(line, (size_t)n);
    csvText += text + (spoilt == kKinds + 1 ? "\n" : "\r\n");
    PriceSlot slot = {};
    ASSERT_EQ(ParsePriceLine((text + "\n").c_str(), &slot), 0) << text;
    expected.push_back(slot);
  }
  PutStock("1234", kSettings1234, csvText);
  FakeListSet({"1234"});
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  std::string rec = Rec(0);
  for (int j = 0; j < 260; ++j) {
    ASSERT_EQ(RowDate(rec, j), expected[(size_t)j].date) << "row " << j;
    for (int i = 0; i < 5; ++i)
      ASSERT_EQ(RowValue(rec, j, i),
                EncodePackedValue(expected[(size_t)j].mantissa[i], expected[(size_t)j].exponent[i]))
          << "row " << j << " field " << i;
  }
}

}  // namespace

namespace {

// A price file saved again by a spreadsheet: text cells or every cell in
// double quotes, thousands inside quotes, LF line ends.
TEST(ParsePriceLine, SpreadsheetQuotes) {
  struct Case {
    const char* line;
    int32_t m[5];
  } cases[] = {
      {"\"2025/1/6\",2797,2810.5,2790,2804.5,1234500\n", {2797, 28105, 2790, 28045, 123450}},
      {"\"2025/1/6\",\"2797\",\"2,804.50\",\"2790\",\"2804.50\",\"1234500\"\n",
       {2797, 28045, 2790, 28045, 123450}},
      {"\"2025/1/6\",\"2797\",\"28\"\"04\",1,2,3\n", {2797, 28, 1, 2, 3}},   // "" is one quote
  };
  for (const Case& c : cases) {
    PriceSlot slot = {};
    ASSERT_EQ(ParsePriceLine(c.line, &slot), 0) << c.line;
    EXPECT_EQ(slot.date, EncodePackedDate(2025, 1, 6)) << c.line;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(slot.mantissa[i], c.m[i]) << c.line << " field " << i;
  }
  // A comma inside quotes does not cut the line: without the quotes the
  // same text has one field more.
  PriceSlot quoted = {}, plain = {};
  ASSERT_EQ(ParsePriceLine("2025/1/6,\"1,000\",2,3,4\n", &quoted), -1);
  ASSERT_EQ(ParsePriceLine("2025/1/6,1,000,2,3,4\n", &plain), 0);
}

}  // namespace
