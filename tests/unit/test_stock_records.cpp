// A stock's settings between a DataRec and the settings dialog's fields
// without a file (StoreStockSettings, ReadStockFieldsText,
// FormatStockFields, TextReaderInitBytes), and the list of stocks added to
// a working folder (Added.txt).
#include <gtest/gtest.h>
#include <string.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

#include "added_stocks.h"
#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"
#include "stock_reading.h"
#include "stock_settings.h"
#include "text_lines.h"

namespace {

using namespace dumpbuilder;

// The settings text load writes for `s`.
std::string SettingsOf(const Stock& s) {
  std::string rec = DataRec(s);
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  memcpy(RecordBuffer, rec.data(), rec.size());
  static char text[1024];
  int n = FormatStockSettings(text);
  return std::string(text, (size_t)n);
}

Stock Settled(const char* name, int flags, const char* document, const char* keyword,
              int32_t purchase, int fetch0, int fetch9, int32_t scale0, int32_t scale3) {
  Stock s;
  s.name = name;
  s.flags = flags;
  s.document = document;
  s.keyword = keyword;
  s.purchaseCount = purchase;
  s.fetch[0] = fetch0;
  s.fetch[9] = fetch9;
  s.scale[0] = scale0;
  s.scale[3] = scale3;
  return s;
}

// The settings of one stock stored over the record of another: every
// settings byte is the new stock's, the rest of the old record stays.
TEST(StoreStockSettings, TakesEverySettingAndKeepsTheRestOfTheRecord) {
  FakeReset();
  Stock old = Settled("OLDNAME-LONGER-THAN", 7, "http://old.example/with/a/much/longer/path",
                      "oldkeyword-20-bytes!", 99, 5, 6, 1000, 2000);
  old.rows = {Row(2025, 1, 6, 1, 2, 3, 4, 5), Row(2025, 1, 7, 6, 7, 8, 9, 10)};
  struct Case {
    const char* what;
    Stock next;
  } cases[] = {
      {"all empty", Settled("A", 0, "", "", 0, 0, 0, 0, 0)},
      {"flags and texts", Settled("7203", 5, "doc", "kw", 1, 2, 3, 4, 5)},
      {"negative numbers", Settled("ソニー", 2, "", "", -1, -32768, 32767, INT32_MIN, -7)},
      {"full fields", Settled("12345678901234567890", 1, std::string(120, 'd').c_str(),
                              "kkkkkkkkkkkkkkkkkkkk", INT32_MAX, 1, 1, 1, 1)},
  };
  for (const Case& c : cases) {
    std::string text = SettingsOf(c.next);
    std::string oldRec = DataRec(old);
    memset(RecordBuffer, 0, sizeof RecordBuffer);
    memcpy(RecordBuffer, oldRec.data(), oldRec.size());
    RecordBuffer[kDataFlags] |= 0x80;   // a bit the settings do not hold
    ASSERT_EQ(0, StoreStockSettings(text.data(), (int)text.size())) << c.what;
    Stock expected = c.next;
    expected.rows = old.rows;
    std::string want = DataRec(expected);
    EXPECT_EQ(Hex(want.substr(kDataStockName, kDataVolumeScaleMin + 4 - kDataStockName)),
              Hex(std::string((const char*)RecordBuffer + kDataStockName,
                              kDataVolumeScaleMin + 4 - kDataStockName)))
        << c.what;
    EXPECT_EQ(0x80 | c.next.flags, RecordBuffer[kDataFlags]) << c.what;
    EXPECT_EQ(2, CountPriceRows(RecordBuffer, kFullDataRecLength)) << c.what;
    EXPECT_TRUE(FakeMessages().empty()) << c.what;
  }
}

TEST(StoreStockSettings, ATextShortOfFourteenLinesIsRefused) {
  FakeReset();
  std::string text = SettingsOf(Settled("7203", 0, "", "", 0, 0, 0, 0, 0));
  text.resize(text.rfind("\r\n", text.size() - 3) + 2);   // 13 lines
  EXPECT_EQ(-1, StoreStockSettings(text.data(), (int)text.size()));
  ASSERT_EQ(1u, FakeMessages().size());
  EXPECT_EQ("RyvoSetup file read error", FakeMessages()[0].text);
}

// The dialog's fields read from a text and written back give the same
// lines; a short text is what the dialog makes of a short file.
TEST(StockFieldsText, ReadsAndFormatsTheSettingsFileLines) {
  FakeReset();
  struct Case {
    const char* what;
    std::string text;
    StockFieldsRead read;
    std::string formatted;   // "" when not formatted
  } cases[] = {
      {"load's lines", "1234\r\n0\r\n1\r\n0\r\ndoc\r\nkw\r\n1000\r\n12,3\r\n12,4\r\n12,5\r\n12,6\r\n"
                       "14,2\r\n2000,1000\r\n50000,0\r\n",
       kFieldsReady, "same"},
      {"a new stock's lines", "N\r\n0\r\n0\r\n0\r\n\r\n\r\n\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n",
       kFieldsReady, "same"},
      {"a flag written as 1x", "N\r\n1x\r\n0\r\n0\r\n\r\n\r\n\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n",
       kFieldsReady, "N\r\n1\r\n0\r\n0\r\n\r\n\r\n\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n,\r\n"},
      {"two lines", "N\r\n1\r\n", kFieldsPartial, ""},
      {"nothing", "", kFieldsClose, ""},
  };
  for (const Case& c : cases) {
    FakeClearMessages();
    StockFields fields;
    EXPECT_EQ(c.read, ReadStockFieldsText(c.text.data(), (int)c.text.size(), &fields)) << c.what;
    if (c.formatted.empty()) {
      EXPECT_EQ(1u, FakeMessages().size()) << c.what;
      continue;
    }
    static char out[kStockFieldsTextSize];
    int n = FormatStockFields(out, &fields);
    EXPECT_EQ(c.formatted == "same" ? c.text : c.formatted, std::string(out, (size_t)n)) << c.what;
  }
}

TEST(TextReaderBytes, ReadsBytesAsAFileInTextMode) {
  static TextReader reader;
  const char bytes[] = "a\r\nb\rc\nlast\x1a" "after";
  TextReaderInitBytes(&reader, bytes, (int)sizeof bytes - 1);
  char line[kLineBufferSize];
  std::vector<std::string> lines;
  while (ReadTextLine(&reader, line, sizeof line) >= 0) lines.push_back(line);
  EXPECT_EQ((std::vector<std::string>{"a\n", "b\rc\n", "last"}), lines);
}

class AddedStocksTest : public ::testing::Test {
 protected:
  void SetUp() override { FakeResetWithFolders(&work, &csv); }
  std::string File() const { return FakeReadFile(work + "/Added.txt"); }
  std::string work, csv;
};

TEST_F(AddedStocksTest, NamesAreAddedOnceInOrderAndDroppedWhenConverted) {
  struct Step {
    const char* what;
    const char* add;                 // NULL: drop `held`
    std::vector<std::string> held;
    const char* file;
  } steps[] = {
      {"the first", "6758", {}, "6758\r\n"},
      {"a full-width name", "ソニー", {}, "6758\r\nソニー\r\n"},
      {"again: kept once", "6758", {}, "6758\r\nソニー\r\n"},
      {"a third", "8035", {}, "6758\r\nソニー\r\n8035\r\n"},
      {"names the dump holds dropped", NULL, {"7203", "ソニー", "6758"}, "8035\r\n"},
      {"no name of the list held: unchanged", NULL, {"7203"}, "8035\r\n"},
      {"the last dropped", NULL, {"8035"}, ""},
  };
  for (const Step& s : steps) {
    if (s.add != NULL) {
      ASSERT_EQ(0, AddAddedStock(WorkFolder, s.add)) << s.what;
    } else {
      std::vector<std::array<char, kStockNameSize + 1>> held(s.held.size());
      for (size_t i = 0; i < s.held.size(); ++i) snprintf(held[i].data(), kStockNameSize + 1, "%s", s.held[i].c_str());
      ASSERT_EQ(0, DropAddedStocks(WorkFolder, reinterpret_cast<const char(*)[kStockNameSize + 1]>(held.data()),
                                   (int)held.size()))
          << s.what;
    }
    EXPECT_EQ(s.file, File()) << s.what;
  }
  EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(AddedStocksTest, ReadingPassesOverWhatCannotBeAStock) {
  EXPECT_EQ(0, ReadAddedStocks(WorkFolder));
  EXPECT_EQ(0, AddedStockCount) << "no file: no names";
  FakeWriteFile(work + "/Added.txt",
                "A\r\n\r\n123456789012345678901\r\nA\r\nB\nC");
  ASSERT_EQ(0, ReadAddedStocks(WorkFolder));
  std::vector<std::string> names(AddedStockNames, AddedStockNames + AddedStockCount);
  EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), names);
}

TEST_F(AddedStocksTest, AFailedWriteLeavesTheListAsItWas) {
  FakeWriteFile(work + "/Added.txt", "A\r\n");
  FakeFailWriteAfter("Added.tx~", 1);
  EXPECT_EQ(-1, AddAddedStock(WorkFolder, "B"));
  EXPECT_EQ("A\r\n", File());
  ASSERT_EQ(1u, FakeMessages().size());
  EXPECT_EQ("RyvoDB Added file write error", FakeMessages()[0].text);
}

}  // namespace
