// The stock settings editor's file side: reading a settings file into the
// dialog's fields, the byte limits and the name rule, and saving (the 14
// lines, the CSV copy on a rename, the failures).
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"
#include "stock_settings.h"

namespace {

const char kSystemError[] = "System Error";
const char kInputError[] = "入力エラー";
const char kNameMessage[] = "銘柄名は半角２０文字以下、全角１０文字以下です。";
const char kDocumentMessage[] = "Webドキュメントは半角１２０文字以下以下です。";
const char kKeywordMessage[] = "キーワードは半角２０文字以下以下です。";
const char kCsvMissingMessage[] = "CSVファイルを作成してから実行してください。";

// The settings file of the stock 1234 as loading writes it.
const char* const kFullFileLines[14] = {
    "1234", "0", "1", "0", "", "", "1000", "12,3", "12,4", "12,5", "12,6", "14,2",
    "2000,1000", "50000,0"};

std::string Lines(const char* const* lines, int count, const char* eol = "\r\n") {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(lines[i]) + eol;
  return text;
}

class StockSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeResetWithFolders(&work, &csv);
  }
  // A stock with a price CSV file and the given settings file bytes.
  void PutStock(const std::string& name, const std::string& settings) {
    FakeWriteFile(csv + "/" + FakeHostName(name) + ".csv", "日付,始値,高値,安値,終値\r\n");
    FakeWriteFile(work + "/" + FakeHostName(name) + ".txt", settings);
  }
  std::string Message(size_t i) const {
    return i < FakeMessages().size() ? FakeMessages()[i].text : std::string("<none>");
  }
  std::string Caption(size_t i) const {
    return i < FakeMessages().size() ? FakeMessages()[i].caption : std::string("<none>");
  }
  bool OpenedSettingsFile() const {
    for (const std::string& entry : FakeOpenLog()) {
      if (entry.find(".txt") != std::string::npos) return true;
    }
    return false;
  }

  std::string csv;
  std::string work;
  StockFields fields;
};

// ---- Reading ----------------------------------------------------------

TEST_F(StockSettingsTest, ReadsAllFourteenLinesIntoTheirFields) {
  PutStock("1234", Lines(kFullFileLines, 14));
  ASSERT_EQ(ReadStockFields("1234", &fields), 1);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_STREQ(fields.name, "1234");
  EXPECT_EQ(fields.onlyClose, 0);
  EXPECT_EQ(fields.webScrap, 1);
  EXPECT_EQ(fields.fixedScale, 0);
  EXPECT_STREQ(fields.document, "");
  EXPECT_STREQ(fields.keyword, "");
  EXPECT_STREQ(fields.purchaseCount, "1000");
  const char* const firsts[kPairCount] = {"12", "12", "12", "12", "14", "2000", "50000"};
  const char* const seconds[kPairCount] = {"3", "4", "5", "6", "2", "1000", "0"};
  for (int i = 0; i < kPairCount; ++i) {
    EXPECT_STREQ(fields.pairFirst[i], firsts[i]) << "pair " << i;
    EXPECT_STREQ(fields.pairSecond[i], seconds[i]) << "pair " << i;
  }
}

TEST_F(StockSettingsTest, ReadsTextsOfCodePage932AndLineFeedOnlyFiles) {
  const char* const lines[14] = {"ソニー", "1", "1", "1", "http://表示/a b", "売上高",
                                 "-5", "1,2", "3,4", "5,6", "7,8", "9,10", "11,12", "13,14"};
  PutStock("ソニー", Lines(lines, 14, "\n"));
  ASSERT_EQ(ReadStockFields("ソニー", &fields), 1);
  EXPECT_STREQ(fields.name, "ソニー");
  EXPECT_EQ(fields.onlyClose + fields.webScrap + fields.fixedScale, 3);
  EXPECT_STREQ(fields.document, "http://表示/a b");
  EXPECT_STREQ(fields.keyword, "売上高");
  EXPECT_STREQ(fields.purchaseCount, "-5");
  EXPECT_STREQ(fields.pairFirst[6], "13");
  EXPECT_STREQ(fields.pairSecond[6], "14");
}

TEST_F(StockSettingsTest, FlagIsSetOnlyByALeadingOne) {
  struct Case {
    const char* line;
    int set;
  } cases[] = {{"1", 1}, {"10", 1}, {"1x", 1}, {"0", 0}, {"", 0}, {" 1", 0}, {"x1", 0}, {"2", 0}};
  for (const Case& c : cases) {
    SetUp();
    const char* lines[14];
    for (int i = 0; i < 14; ++i) lines[i] = kFullFileLines[i];
    lines[1] = lines[2] = lines[3] = c.line;
    PutStock("1234", Lines(lines, 14));
    ASSERT_EQ(ReadStockFields("1234", &fields), 1) << c.line;
    EXPECT_EQ(fields.onlyClose, c.set) << "'" << c.line << "'";
    EXPECT_EQ(fields.webScrap, c.set) << "'" << c.line << "'";
    EXPECT_EQ(fields.fixedScale, c.set) << "'" << c.line << "'";
  }
}

TEST_F(StockSettingsTest, PairLinesSplitAtTheFirstCommaAfterLeadingCommas) {
  struct Case {
    const char* line;
    const char* first;
    const char* second;
  } cases[] = {
      {"12,3", "12", "3"},       {",7", "7", ""},   {"5,6,7", "5", "6,7"},
      {"12", "12", ""},          {"", "", ""},      {",,,9,8", "9", "8"},
      {"12,", "12", ""},         {"a b,c d", "a b", "c d"},
  };
  for (const Case& c : cases) {
    SetUp();
    const char* lines[14];
    for (int i = 0; i < 14; ++i) lines[i] = kFullFileLines[i];
    for (int i = 7; i < 14; ++i) lines[i] = c.line;
    PutStock("1234", Lines(lines, 14));
    ASSERT_EQ(ReadStockFields("1234", &fields), 1) << c.line;
    for (int i = 0; i < kPairCount; ++i) {
      EXPECT_STREQ(fields.pairFirst[i], c.first) << "'" << c.line << "' pair " << i;
      EXPECT_STREQ(fields.pairSecond[i], c.second) << "'" << c.line << "' pair " << i;
    }
  }
}

// A file that ends before line 14: the message of the first missing line,
// 0 (close) when line 1 or 2 is missing, otherwise -1 with the lines read.
TEST_F(StockSettingsTest, MissingLinesGiveTheirMessageAndResult) {
  struct Case {
    int linesPresent;
    const char* message;
    int result;
  } cases[] = {
      {0, "RyvoSetup file StockName read error", 0},
      {1, "RyvoSetup file OnlyClose read error", 0},
      {2, "RyvoSetup file WebScrap read error", -1},
      {3, "RyvoSetup file FixedScale read error", -1},
      {4, "RyvoSetup file read error", -1},
      {13, "RyvoSetup file read error", -1},
  };
  for (const Case& c : cases) {
    SetUp();
    PutStock("1234", Lines(kFullFileLines, c.linesPresent));
    EXPECT_EQ(ReadStockFields("1234", &fields), c.result) << c.linesPresent << " lines";
    ASSERT_EQ(FakeMessages().size(), 1u) << c.linesPresent << " lines";
    EXPECT_EQ(Message(0), c.message);
    EXPECT_EQ(Caption(0), kSystemError);
    EXPECT_EQ(FakeMessages()[0].buttons, PF_MB_OK);
    if (c.linesPresent >= 1) {
      EXPECT_STREQ(fields.name, "1234");
    }
    if (c.linesPresent >= 3) {
      EXPECT_EQ(fields.webScrap, 1);
    }
    if (c.linesPresent == 13) {
      EXPECT_STREQ(fields.pairFirst[5], "2000");
      EXPECT_STREQ(fields.pairSecond[5], "1000");
      EXPECT_STREQ(fields.pairFirst[6], "");
    }
  }
}

TEST_F(StockSettingsTest, FileBrokenOffAfterLineFourKeepsWhatWasRead) {
  const char* const lines[4] = {"7203", "1", "0", "1"};
  PutStock("7203", Lines(lines, 4));
  EXPECT_EQ(ReadStockFields("7203", &fields), -1);
  EXPECT_STREQ(fields.name, "7203");
  EXPECT_EQ(fields.onlyClose, 1);
  EXPECT_EQ(fields.webScrap, 0);
  EXPECT_EQ(fields.fixedScale, 1);
  EXPECT_STREQ(fields.document, "");
  ASSERT_EQ(FakeMessages().size(), 1u);
  EXPECT_EQ(Message(0), "RyvoSetup file read error");
}

// The dialog reads the settings file as the conversion does: a line of
// more than 258 characters comes in pieces that count as lines (so does the
// line end of a line of exactly 258), and only CR LF is a line end, so
// "abc" CR CR LF is "abc" CR. Each field shows what the conversion stores.
TEST_F(StockSettingsTest, ReadsLinesAsTheConversionDoes) {
  struct Case {
    const char* what;
    std::string document;   // line 5 as written, without its CR LF
    std::string shown;      // the document field
    std::string keyword;    // the keyword field (line 6 is "kw")
  } cases[] = {
      {"257", std::string(257, 'd'), std::string(257, 'd'), "kw"},
      {"258: its line end is the next line", std::string(258, 'd'), std::string(258, 'd'), ""},
      {"300: the rest is the next line", std::string(300, 'd'), std::string(258, 'd'),
       std::string(42, 'd')},
      {"CR CR LF", "abc\r", "abc\r", "kw"},
  };
  for (const Case& c : cases) {
    SetUp();
    const char* lines[14];
    for (int i = 0; i < 14; ++i) lines[i] = kFullFileLines[i];
    lines[4] = c.document.c_str();
    lines[5] = "kw";
    PutStock("1234", Lines(lines, 14));
    ASSERT_EQ(ReadStockFields("1234", &fields), 1) << c.what;
    EXPECT_TRUE(FakeMessages().empty()) << c.what;
    EXPECT_EQ(std::string(fields.document), c.shown) << c.what;
    EXPECT_EQ(std::string(fields.keyword), c.keyword) << c.what;

    dumpbuilder::Stock old;
    old.name = "old";
    FakeWriteFile(work + "/Ryvo.dmp", dumpbuilder::Dump({old}));
    FakeListSet({"1234"});
    ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0) << c.what;
    std::string rec = FakeReadFile(work + "/Ryvo.dmp").substr(4 + 80 + 4, kFullDataRecLength);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(rec.data());
    std::string document(fields.document, strnlen(fields.document, kWebDocumentSize));
    std::string keyword(fields.keyword, strnlen(fields.keyword, kKeywordSize));
    EXPECT_EQ(rec.substr(kDataWebDocument, kWebDocumentSize),
              document + std::string(kWebDocumentSize - document.size(), '\0')) << c.what;
    EXPECT_EQ(rec.substr(kDataKeyword, kKeywordSize),
              keyword + std::string(kKeywordSize - keyword.size(), '\0')) << c.what;
    EXPECT_EQ(p[kDataFlags], fields.onlyClose | fields.webScrap << 1 | fields.fixedScale << 2)
        << c.what;
    EXPECT_EQ(ReadBE32(p + kDataPurchaseCount), ParseIntOrZero(fields.purchaseCount)) << c.what;
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(ReadBE16(p + kDataWebFetch + 4 * i), (int16_t)ParseIntOrZero(fields.pairFirst[i]))
          << c.what << " pair " << i;
      EXPECT_EQ(ReadBE16(p + kDataWebFetch + 4 * i + 2),
                (int16_t)ParseIntOrZero(fields.pairSecond[i]))
          << c.what << " pair " << i;
    }
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(ReadBE32(p + kDataPriceScaleMax + 8 * i), ParseIntOrZero(fields.pairFirst[5 + i]))
          << c.what;
      EXPECT_EQ(ReadBE32(p + kDataPriceScaleMin + 8 * i), ParseIntOrZero(fields.pairSecond[5 + i]))
          << c.what;
    }
  }
}

TEST_F(StockSettingsTest, NewStockStartsEmptyWithoutTouchingFiles) {
  memset(&fields, 'x', sizeof fields);
  EXPECT_EQ(ReadStockFields("", &fields), 1);
  EXPECT_STREQ(fields.name, "");
  EXPECT_STREQ(fields.purchaseCount, "");
  EXPECT_STREQ(fields.pairSecond[6], "");
  EXPECT_EQ(fields.onlyClose + fields.webScrap + fields.fixedScale, 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_TRUE(FakeOpenLog().empty());
}

TEST_F(StockSettingsTest, MissingPriceCsvFileClosesWithItsMessage) {
  FakeWriteFile(work + "/1234.txt", Lines(kFullFileLines, 14));
  EXPECT_EQ(ReadStockFields("1234", &fields), 0);
  ASSERT_EQ(FakeMessages().size(), 1u);
  EXPECT_EQ(Message(0), kCsvMissingMessage);
  EXPECT_EQ(Caption(0), "エラー");
  EXPECT_FALSE(OpenedSettingsFile());
}

TEST_F(StockSettingsTest, NameThatCannotBeAFileNameHasNoCsvFile) {
  // A dump may list such a name; its files were never written.
  FakeWriteFile(csv + "/x.csv", "");
  EXPECT_EQ(ReadStockFields("../csv/x", &fields), 0);
  EXPECT_EQ(Message(0), kCsvMissingMessage);
  EXPECT_FALSE(OpenedSettingsFile());
}

TEST_F(StockSettingsTest, MissingOrUnopenableSettingsFileClosesSilently) {
  FakeWriteFile(csv + "/1234.csv", "");
  EXPECT_EQ(ReadStockFields("1234", &fields), 0);
  EXPECT_TRUE(FakeMessages().empty());

  PutStock("5678", Lines(kFullFileLines, 14));
  FakeFailOpen("5678.txt");
  EXPECT_EQ(ReadStockFields("5678", &fields), 0);
  EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(StockSettingsTest, UnreadableSettingsFileClosesWithTheReadError) {
  // A settings file that opens but whose reading fails part-way.
  FakeWriteFile(csv + "/1234.csv", "");
  PutStock("1234", Lines(kFullFileLines, 14));
  FakeFailRead("1234.txt");
  EXPECT_EQ(ReadStockFields("1234", &fields), 0);
  ASSERT_EQ(FakeMessages().size(), 1u);
  EXPECT_EQ(Message(0), "RyvoDB Setup file read error");
  EXPECT_EQ(Caption(0), kSystemError);
}

TEST_F(StockSettingsTest, AFolderInTheSettingsFilesPlaceIsNotOpened) {
  // Only regular files are read: a folder counts as a file that cannot be
  // opened, which closes the dialog at once.
  FakeWriteFile(csv + "/1234.csv", "");
  FakeFolder("work/1234.txt");
  EXPECT_EQ(ReadStockFields("1234", &fields), 0);
  EXPECT_TRUE(FakeMessages().empty());
}

// ---- Validation -------------------------------------------------------

TEST_F(StockSettingsTest, ByteLimitsPassAtTheLimitAndFailOneBeyond) {
  std::string full10;   // 10 full-width characters: 20 bytes
  for (int i = 0; i < 10; ++i) full10 += "株";
  std::string full60;   // 60 full-width characters: 120 bytes
  for (int i = 0; i < 6; ++i) full60 += full10;
  struct Case {
    std::string name, document, keyword;
    const char* message;   // nullptr: valid
  } cases[] = {
      {std::string(20, 'a'), "", "", nullptr},
      {full10, "", "", nullptr},
      {std::string(21, 'a'), "", "", kNameMessage},
      {full10 + "a", "", "", kNameMessage},
      {"x", std::string(120, 'd'), "", nullptr},
      {"x", full60, "", nullptr},
      {"x", full60 + "d", "", kDocumentMessage},
      {"x", std::string(121, 'd'), "", kDocumentMessage},
      {"x", "", std::string(20, 'k'), nullptr},
      {"x", "", "売買高売買高売買高売", nullptr},
      {"x", "", std::string(21, 'k'), kKeywordMessage},
      {"x", "", "売買高売買高売買高売k", kKeywordMessage},
      // The first limit that fails is the one reported.
      {std::string(21, 'a'), std::string(121, 'd'), std::string(21, 'k'), kNameMessage},
      {"x", std::string(121, 'd'), std::string(21, 'k'), kDocumentMessage},
      // A too long name that also holds a separator gets the length message.
      {std::string(20, 'a') + "/", "", "", kNameMessage},
  };
  for (const Case& c : cases) {
    FakeReset();
    ClearStockFields(&fields);
    snprintf(fields.name, kFieldSize, "%s", c.name.c_str());
    snprintf(fields.document, kFieldSize, "%s", c.document.c_str());
    snprintf(fields.keyword, kFieldSize, "%s", c.keyword.c_str());
    int result = ValidateStockFields(&fields);
    if (c.message == nullptr) {
      EXPECT_EQ(result, 1) << c.name << " / " << c.document.size() << " / " << c.keyword;
      EXPECT_TRUE(FakeMessages().empty());
    } else {
      EXPECT_EQ(result, -1) << c.name << " / " << c.document.size() << " / " << c.keyword;
      ASSERT_EQ(FakeMessages().size(), 1u);
      EXPECT_EQ(Message(0), c.message);
      EXPECT_EQ(Caption(0), kInputError);
    }
  }
}

TEST_F(StockSettingsTest, NamesThatCannotBeFileNamesAreRefused) {
  struct Case {
    const char* name;
    int valid;
  } cases[] = {
      {"a\\b", 0}, {"a/b", 0}, {"a:b", 0}, {".", 0}, {"..", 0}, {"\\", 0},
      {"CON", 0}, {"nul.x", 0}, {"A*B", 0}, {"a|b", 0},   // devices, wildcards
      {"ソニー", 1},   // ソ is 83 5C
      {"表示", 1},     // 表 is 95 5C
      {"7203", 1}, {"a.b", 1}, {"...", 1}, {"", 1},   // empty: left to the save
  };
  for (const Case& c : cases) {
    FakeReset();
    ClearStockFields(&fields);
    snprintf(fields.name, kFieldSize, "%s", c.name);
    snprintf(fields.keyword, kFieldSize, "%s", "kw");
    int result = ValidateStockFields(&fields);
    if (c.valid) {
      EXPECT_EQ(result, 1) << c.name;
      EXPECT_TRUE(FakeMessages().empty()) << c.name;
    } else {
      EXPECT_EQ(result, -1) << c.name;
      ASSERT_EQ(FakeMessages().size(), 1u) << c.name;
      EXPECT_EQ(Caption(0), kInputError);
      EXPECT_NE(Message(0).find("使用できない文字"), std::string::npos) << Message(0);
    }
  }
}

// ---- Saving -----------------------------------------------------------

void FillSample(StockFields* f, const char* name) {
  ClearStockFields(f);
  snprintf(f->name, kFieldSize, "%s", name);
  f->onlyClose = 1;
  f->webScrap = 0;
  f->fixedScale = 1;
  snprintf(f->document, kFieldSize, "%s", "http://example.jp/q?s=6758");
  snprintf(f->keyword, kFieldSize, "%s", "ソニー");
  snprintf(f->purchaseCount, kFieldSize, "%s", "100");
  const char* const firsts[kPairCount] = {"12", "12", "", "abc", "14", "2000", "5,0"};
  const char* const seconds[kPairCount] = {"3", "", "5", "6", "2", "1000", "0"};
  for (int i = 0; i < kPairCount; ++i) {
    snprintf(f->pairFirst[i], kFieldSize, "%s", firsts[i]);
    snprintf(f->pairSecond[i], kFieldSize, "%s", seconds[i]);
  }
}

const char kSampleSaved[] =
    "SAMPLE\r\n1\r\n0\r\n1\r\nhttp://example.jp/q?s=6758\r\nソニー\r\n100\r\n"
    "12,3\r\n12,\r\n,5\r\nabc,6\r\n14,2\r\n2000,1000\r\n5,0,0\r\n";

TEST_F(StockSettingsTest, SaveWritesFourteenLinesWithCrLf) {
  FillSample(&fields, "SAMPLE");
  char result[kNameSize] = "old";
  ASSERT_EQ(SaveStockFields("", &fields, result), 0);
  EXPECT_STREQ(result, "SAMPLE");
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(FakeReadFile(work + "/SAMPLE.txt"), kSampleSaved);
  // A new stock gets no price CSV file from the dialog.
  EXPECT_FALSE(FakeFileExists(csv + "/SAMPLE.csv"));
}

TEST_F(StockSettingsTest, SavedFileReadsBackToTheSameFields) {
  // Pairs whose first text is empty or holds a comma do not survive the
  // file's pair rule; every other text comes back as typed.
  FillSample(&fields, "表示");
  snprintf(fields.pairFirst[2], kFieldSize, "%s", "7");
  snprintf(fields.pairFirst[6], kFieldSize, "%s", "50000");
  snprintf(fields.pairSecond[1], kFieldSize, "%s", "4,5");
  char result[kNameSize] = "";
  ASSERT_EQ(SaveStockFields("", &fields, result), 0);
  FakeWriteFile(csv + u8"/表示.csv", "");
  StockFields back;
  ASSERT_EQ(ReadStockFields("表示", &back), 1);
  EXPECT_STREQ(back.name, fields.name);
  EXPECT_EQ(back.onlyClose, 1);
  EXPECT_EQ(back.webScrap, 0);
  EXPECT_EQ(back.fixedScale, 1);
  EXPECT_STREQ(back.document, fields.document);
  EXPECT_STREQ(back.keyword, fields.keyword);
  EXPECT_STREQ(back.purchaseCount, fields.purchaseCount);
  for (int i = 0; i < kPairCount; ++i) {
    EXPECT_STREQ(back.pairFirst[i], fields.pairFirst[i]) << "pair " << i;
    EXPECT_STREQ(back.pairSecond[i], fields.pairSecond[i]) << "pair " << i;
  }
}

TEST_F(StockSettingsTest, RenameCopiesThePriceFileAndLeavesTheOldFiles) {
  const std::string prices = "日付,始値,高値,安値,終値\r\n2024/01/04,1,2,3,4\r\n";
  FakeWriteFile(csv + "/A.csv", prices);
  FakeWriteFile(work + "/A.txt", Lines(kFullFileLines, 14));
  FillSample(&fields, "B");
  char result[kNameSize] = "";
  ASSERT_EQ(SaveStockFields("A", &fields, result), 0);
  EXPECT_STREQ(result, "B");
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(FakeReadFile(csv + "/B.csv"), prices);
  EXPECT_EQ(FakeReadFile(csv + "/A.csv"), prices);
  EXPECT_EQ(FakeReadFile(work + "/A.txt"), Lines(kFullFileLines, 14));
  std::string saved = FakeReadFile(work + "/B.txt");
  EXPECT_EQ(saved.substr(0, 3), "B\r\n");
  EXPECT_EQ(saved.substr(3), std::string(kSampleSaved).substr(8));
}

TEST_F(StockSettingsTest, UnchangedNameRewritesTheSettingsAndCopiesNothing) {
  FakeWriteFile(csv + "/A.csv", "prices");
  FakeWriteFile(work + "/A.txt", "old\r\n");
  FakeFailCopy(".csv");   // any copy would fail the save
  FillSample(&fields, "A");
  char result[kNameSize] = "";
  ASSERT_EQ(SaveStockFields("A", &fields, result), 0);
  EXPECT_STREQ(result, "A");
  EXPECT_TRUE(FakeMessages().empty());   // not even the question about existing files
  EXPECT_EQ(FakeReadFile(work + "/A.txt").substr(0, 6), "A\r\n1\r\n");
  EXPECT_EQ(FakeReadFile(csv + "/A.csv"), "prices");
}

TEST_F(StockSettingsTest, FailedCopyReportsAndSavesNothing) {
  struct Case {
    const char* failPattern;   // nullptr: the old price file is missing
  } cases[] = {{"B.csv"}, {"A.csv"}, {nullptr}};
  for (const Case& c : cases) {
    SetUp();
    if (c.failPattern != nullptr) {
      FakeWriteFile(csv + "/A.csv", "prices");
      FakeFailCopy(c.failPattern);
    }
    FillSample(&fields, "B");
    char result[kNameSize] = "A";
    EXPECT_EQ(SaveStockFields("A", &fields, result), -1);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(Message(0), "Ryvo Data file copy error");
    EXPECT_EQ(Caption(0), kSystemError);
    EXPECT_STREQ(result, "A");
    EXPECT_FALSE(FakeFileExists(work + "/B.txt"));
    EXPECT_FALSE(FakeFileExists(csv + "/B.csv"));
  }
}

TEST_F(StockSettingsTest, EmptyNameOrUncreatableFileSavesNothingSilently) {
  FillSample(&fields, "");
  char result[kNameSize] = "keep";
  EXPECT_EQ(SaveStockFields("", &fields, result), -1);
  EXPECT_EQ(SaveStockFields("A", &fields, result), -1);
  EXPECT_TRUE(FakeOpenLog().empty());

  FillSample(&fields, "C");
  FakeFailOpen("C.txt (wb)");
  EXPECT_EQ(SaveStockFields("", &fields, result), -1);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_STREQ(result, "keep");
  EXPECT_FALSE(FakeFileExists(work + "/C.txt"));
}

TEST_F(StockSettingsTest, WriteOrCloseFailureReportsTheWriteError) {
  struct Case {
    long failAfter;   // -1: the close fails
  } cases[] = {{0}, {10}, {60}, {-1}};
  for (const Case& c : cases) {
    SetUp();
    if (c.failAfter >= 0) {
      FakeFailWriteAfter("SAMPLE.txt", c.failAfter);
    } else {
      FakeFailClose("SAMPLE.txt");
    }
    FillSample(&fields, "SAMPLE");
    char result[kNameSize] = "";
    EXPECT_EQ(SaveStockFields("", &fields, result), -1) << c.failAfter;
    ASSERT_EQ(FakeMessages().size(), 1u) << c.failAfter;
    EXPECT_EQ(Message(0), "RyvoDB Setup file write error");
    EXPECT_EQ(Caption(0), kSystemError);
    EXPECT_STREQ(result, "") << c.failAfter;
  }
}

// A new name that another stock's files already carry: the user is asked
// before they are replaced.
TEST_F(StockSettingsTest, TakingTheNameOfExistingFilesAsksFirst) {
  struct Case {
    const char* current;
    bool csvExists, settingsExists;
    int answer;
  } cases[] = {
      {"", true, false, PF_IDCANCEL},  {"", false, true, PF_IDCANCEL},
      {"A", true, true, PF_IDCANCEL},  {"", true, true, PF_IDOK},
      {"A", false, true, PF_IDOK},
  };
  for (const Case& c : cases) {
    SetUp();
    FakeWriteFile(csv + "/A.csv", "A prices");
    if (c.csvExists) FakeWriteFile(csv + "/B.csv", "B prices");
    if (c.settingsExists) FakeWriteFile(work + "/B.txt", "B settings");
    FakeQueueAnswer(c.answer);
    FillSample(&fields, "B");
    char result[kNameSize] = "";
    int saved = SaveStockFields(c.current, &fields, result);
    ASSERT_GE(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].buttons, PF_MB_OKCANCEL);
    EXPECT_EQ(Caption(0), "注意");
    if (c.answer == PF_IDCANCEL) {
      EXPECT_EQ(saved, -1);
      EXPECT_EQ(FakeMessages().size(), 1u);
      EXPECT_STREQ(result, "");
      if (c.csvExists) {
        EXPECT_EQ(FakeReadFile(csv + "/B.csv"), "B prices");
      }
      if (c.settingsExists) {
        EXPECT_EQ(FakeReadFile(work + "/B.txt"), "B settings");
      }
    } else {
      EXPECT_EQ(saved, 0);
      EXPECT_STREQ(result, "B");
      EXPECT_EQ(FakeReadFile(work + "/B.txt").substr(0, 3), "B\r\n");
      if (c.current[0] != '\0') {
        EXPECT_EQ(FakeReadFile(csv + "/B.csv"), "A prices");
      }
    }
  }
}

}  // namespace
