// The whole exchange: a dump loaded, exported and converted back without
// edits gives the same dump, and every storable value survives it.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"
#include "sample_dump.h"

using namespace dumpbuilder;

namespace {

class RoundTripTest : public ::testing::Test {
 protected:
  std::string work, csv;
  void SetUp() override {
    FakeResetWithFolders(&work, &csv);
  }
  std::string DumpPath() { return work + "\\Ryvo.dmp"; }
};

TEST_F(RoundTripTest, SampleDumpComesBackByteForByte) {
  ASSERT_EQ(WriteSampleDump(DumpPath().c_str()), 0);
  std::string original = FakeReadFile(work + "/Ryvo.dmp");
  ASSERT_EQ(original.size(), 4 + 80 + 6 * (4 + 4412u));
  ASSERT_EQ(LoadDump(FakeStockList()), 0);
  ASSERT_EQ(FakeListItems().size(), 6u);
  ASSERT_EQ(ExportCsv(), 0);
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  std::string converted = FakeReadFile(work + "/Ryvo.dmp");
  ASSERT_EQ(converted.size(), original.size());
  EXPECT_TRUE(converted == original) << "first difference at "
                                     << std::mismatch(converted.begin(), converted.end(),
                                                      original.begin()).first - converted.begin();
  EXPECT_TRUE(FakeReadFile(work + "/SaveRyvo.dmp") == original);
}

TEST_F(RoundTripTest, SampleHoldsTheNamesItPromises) {
  ASSERT_EQ(WriteSampleDump(DumpPath().c_str()), 0);
  ASSERT_EQ(LoadDump(FakeStockList()), 0);
  std::vector<std::string> names = FakeListItems();
  auto has = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  EXPECT_TRUE(has("ソニー"));
  EXPECT_TRUE(has("表示灯"));
  EXPECT_TRUE(has("7203"));
  bool twenty = false;
  for (const std::string& n : names) twenty = twenty || n.size() == 20;
  EXPECT_TRUE(twenty);
  // 260 weekdays, ascending, no Saturday or Sunday.
  std::string csvText = FakeReadFile(csv + "/7203.csv");
  EXPECT_TRUE(csvText.empty());   // not exported yet
  ASSERT_EQ(ExportCsv(), 0);
  csvText = FakeReadFile(csv + u8"/ソニー.csv");
  size_t lines = 0;
  for (char c : csvText) lines += c == '\n';
  EXPECT_EQ(lines, 261u);
}

// Every one of the 2^20 packed fields, five to a row and 260 rows to a
// stock, through export and conversion: each comes back as the same value.
TEST_F(RoundTripTest, EveryPackedValueThroughTheFiles) {
  static const uint64_t kPowers[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  const int perStock = 5 * 260;
  const int stocks = ((1 << 20) + perStock - 1) / perStock;
  std::vector<Stock> list;
  std::vector<std::string> names;
  for (int s = 0; s < stocks; ++s) {
    Stock stock;
    stock.name = "v" + std::to_string(s);
    for (int j = 0; j < 260; ++j) {
      PriceRow row;
      row.date = EncodePackedDate(2000 + j / 12 / 28, 1 + (j / 28) % 12, 1 + j % 28);
      for (int i = 0; i < 5; ++i)
        row.value[i] = (uint32_t)((s * perStock + j * 5 + i) % (1 << 20));
      stock.rows.push_back(row);
    }
    list.push_back(stock);
    names.push_back(stock.name);
  }
  FakeWriteFile(work + "/Ryvo.dmp", Dump(list));
  ASSERT_EQ(LoadDump(FakeStockList()), 0);
  ASSERT_EQ(ExportCsv(), 0);
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  std::string converted = FakeReadFile(work + "/Ryvo.dmp");
  size_t at = 4 + 80;
  int checked = 0;
  for (int s = 0; s < stocks; ++s) {
    ASSERT_LE(at + 4 + 4412, converted.size());
    const unsigned char* rec = reinterpret_cast<const unsigned char*>(converted.data()) + at + 4;
    for (int j = 0; j < 260; ++j) {
      PriceRow row;
      ReadPriceRow(rec + kPriceTableOffset + kPriceRowSize * j, &row);
      ASSERT_EQ(row.date, list[(size_t)s].rows[(size_t)j].date);
      for (int i = 0; i < 5; ++i) {
        uint32_t before = list[(size_t)s].rows[(size_t)j].value[i];
        uint64_t want = (uint64_t)(before & 0x1FFFF) * kPowers[before >> 17];
        uint64_t got = (uint64_t)(row.value[i] & 0x1FFFF) * kPowers[row.value[i] >> 17];
        ASSERT_EQ(got, want) << "field " << before;
        ++checked;
      }
    }
    at += 4 + 4412;
  }
  EXPECT_GE(checked, 1 << 20);
}

}  // namespace
