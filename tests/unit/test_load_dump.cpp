// Loading the dump: the stock list, the stock settings files byte for
// byte, BeginRyvo.dmp, the kept carriedBytes, and every failure message.
#include <gtest/gtest.h>
#include <string.h>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"

using namespace dumpbuilder;

namespace {

const char kVersionMessage[] =
    "対応しているＲｙｖｏは２．１０以上です\nＲｙｖｏのバージョンを上げてください。";

class LoadDumpTest : public ::testing::Test {
 protected:
  std::string work;
  void SetUp() override {
    FakeReset();
    work = FakeFolder("work");
    strcpy(WorkFolder, work.c_str());
    memset(CarriedBytes, 0x55, sizeof CarriedBytes);
  }
  void PutDump(const std::string& bytes) { FakeWriteFile(work + "/Ryvo.dmp", bytes); }
  std::string Settings(const std::string& name) {
    return FakeReadFile(work + "/" + FakeHostName(name) + ".txt");
  }
  bool HasSettings(const std::string& name) {
    return FakeFileExists(work + "/" + FakeHostName(name) + ".txt");
  }
  std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const FakeMessage& m : FakeMessages()) texts.push_back(m.caption + "|" + m.text);
    return texts;
  }
};

Stock Named(const char* name) {
  Stock s;
  s.name = name;
  return s;
}

TEST_F(LoadDumpTest, MissingDumpIsNotAnError) {
  FakeListSet({"keep"});
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_FALSE(FakeFileExists(work + "/BeginRyvo.dmp"));
  EXPECT_EQ(FakeListItems(), std::vector<std::string>({"keep"}));
}

TEST_F(LoadDumpTest, SettingsFileOfTheWorkedExampleByteForByte) {
  Stock s = Named("1234");
  s.flags = kFlagWebScrap;
  s.purchaseCount = 1000;
  int fetch[10] = {12, 3, 12, 4, 12, 5, 12, 6, 14, 2};
  memcpy(s.fetch, fetch, sizeof fetch);
  int32_t scale[4] = {2000, 1000, 50000, 0};
  memcpy(s.scale, scale, sizeof scale);
  std::string dump = Dump({s});
  PutDump(dump);
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(FakeListItems(), std::vector<std::string>({"1234"}));
  EXPECT_EQ(Settings("1234"),
            "1234\r\n0\r\n1\r\n0\r\n\r\n\r\n1000\r\n12,3\r\n12,4\r\n12,5\r\n12,6\r\n14,2\r\n"
            "2000,1000\r\n50000,0\r\n");
  EXPECT_EQ(FakeReadFile(work + "/BeginRyvo.dmp"), dump);
  EXPECT_EQ(0, memcmp(CarriedBytes, "RyvoDB\0\0", 8));
}

TEST_F(LoadDumpTest, SettingsFieldsSignsFlagsAndTexts) {
  struct Case {
    const char* what;
    Stock stock;
    std::string file;
  };
  Stock negative = Named("neg");
  negative.purchaseCount = -1;   // FF FF FF FF
  negative.fetch[0] = 0xFFFE;    // FF FE
  negative.fetch[9] = 0x8000;
  negative.scale[1] = -2147483647 - 1;
  Stock flags06 = Named("f06");
  flags06.flags = 0x06;
  Stock flagsF8 = Named("fF8");
  flagsF8.flags = 0xF8;
  Stock texts = Named("ソニー");
  texts.flags = 0x07;
  texts.document = std::string(120, 'D');   // fills the field: no zero byte
  texts.keyword = "表示";
  Stock lineFeeds = Named("lf");   // byte 0x0A inside text fields
  lineFeeds.document = "a\nb\r\nc";
  lineFeeds.keyword = "k\n";
  Case cases[] = {
      {"line feeds inside texts are CR LF", lineFeeds,
       "lf\r\n0\r\n0\r\n0\r\na\r\nb\r\r\nc\r\nk\r\n\r\n0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n"
       "0,0\r\n0,0\r\n0,0\r\n"},
      {"negative numbers", negative,
       "neg\r\n0\r\n0\r\n0\r\n\r\n\r\n-1\r\n-2,0\r\n0,0\r\n0,0\r\n0,0\r\n0,-32768\r\n"
       "0,-2147483648\r\n0,0\r\n"},
      {"flags 0x06", flags06,
       "f06\r\n0\r\n1\r\n1\r\n\r\n\r\n0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n"},
      {"flags 0xF8", flagsF8,
       "fF8\r\n0\r\n0\r\n0\r\n\r\n\r\n0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n"},
      {"texts", texts,
       ("ソニー\r\n1\r\n1\r\n1\r\n" + std::string(120, 'D') +
        "\r\n表示\r\n0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n")},
  };
  for (const Case& c : cases) {
    SetUp();
    PutDump(Dump({c.stock}));
    EXPECT_EQ(LoadDump(FakeStockList()), 0) << c.what;
    EXPECT_EQ(Settings(c.stock.name), c.file) << c.what;
  }
}

TEST_F(LoadDumpTest, VersionByteRule) {
  struct Case { unsigned char v0, v1; bool accepted; } cases[] = {
      {0x00, 0xD1, false}, {0x00, 0xD2, true}, {0x00, 0xFF, true},
      {0x01, 0x00, false}, {0x00, 209, false}, {0xFF, 0xD2, true},
  };
  for (const Case& c : cases) {
    SetUp();
    std::string dump = Dump({Named("7203")}, ContRec(80, c.v0, c.v1, "AB"));
    PutDump(dump);
    EXPECT_EQ(LoadDump(FakeStockList()), c.accepted ? 0 : -1) << (int)c.v0 << " " << (int)c.v1;
    EXPECT_EQ(FakeReadFile(work + "/BeginRyvo.dmp"), dump);
    EXPECT_EQ(0, memcmp(CarriedBytes, "AB\0\0\0\0\0\0", 8));   // kept before the test
    if (c.accepted) {
      EXPECT_TRUE(FakeMessages().empty());
      EXPECT_EQ(FakeListItems().size(), 1u);
    } else {
      EXPECT_EQ(Messages(), std::vector<std::string>({std::string("Ryvo Error|") + kVersionMessage}));
      EXPECT_TRUE(FakeListItems().empty());
      EXPECT_FALSE(HasSettings("7203"));
    }
  }
}

TEST_F(LoadDumpTest, HeaderOnlyDumpListsNothing) {
  PutDump(Record(ContRec()));
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_TRUE(FakeListItems().empty());
  EXPECT_TRUE(FakeFileExists(work + "/BeginRyvo.dmp"));
}

TEST_F(LoadDumpTest, CarriedBytesStopAtZeroAndAtEight) {
  struct Case { std::string carried; const char kept[9]; } cases[] = {
      {"", "\0\0\0\0\0\0\0\0"},
      {std::string("AB\0CD", 5), "AB\0\0\0\0\0\0"},
      {"ABCDEFGHIJ", "ABCDEFGH"},
  };
  for (const Case& c : cases) {
    SetUp();
    PutDump(Record(ContRec(80, 0, 0xD2, c.carried)));
    LoadDump(FakeStockList());
    EXPECT_EQ(0, memcmp(CarriedBytes, c.kept, 8)) << c.carried;
  }
}

TEST_F(LoadDumpTest, BrokenFilesAndTheirMessages) {
  std::string good = Record(ContRec());
  std::string rec = Record(DataRec(Named("1111")));
  struct Case {
    const char* what;
    std::string bytes;
    int result;
    const char* message;   // nullptr: none
    size_t listed;
  } cases[] = {
      {"empty file", "", -1, "System Error|RyvoDB file Cnt.size read error", 0},
      {"two bytes", "\x50\x00", -1, "System Error|RyvoDB file Cnt.size read error", 0},
      {"header cut short", Le32(80) + std::string(40, '\0'), -1,
       "System Error|RyvoDB file Cont.Rec. read error", 0},
      {"header longer than the buffer", Le32(6000) + std::string(6000, '\xD2'), -1,
       "System Error|RyvoDB file Cont.Rec. read error", 0},
      {"negative header length", Le32(-4) + std::string(80, '\xD2'), -1,
       "System Error|RyvoDB file Cont.Rec. read error", 0},
      // A damaged stock record is told with its index before anything is
      // listed or written.
      {"record longer than the buffer", good + rec + Le32(5121) + std::string(5121, 'x'), -1,
       "System Error|RyvoDB file Data.Rec. read error: record 2", 0},
      {"negative record length", good + rec + Le32(-1) + std::string(100, 'x'), -1,
       "System Error|RyvoDB file Data.Rec. read error: record 2", 0},
      {"3 bytes after the last record end it", good + rec + std::string("\x01\x02\x03", 3), 0,
       nullptr, 1},
  };
  for (const Case& c : cases) {
    SetUp();
    PutDump(c.bytes);
    EXPECT_EQ(LoadDump(FakeStockList()), c.result) << c.what;
    if (c.message != nullptr)
      EXPECT_EQ(Messages(), std::vector<std::string>({c.message})) << c.what;
    else
      EXPECT_TRUE(FakeMessages().empty()) << c.what;
    EXPECT_EQ(FakeListItems().size(), c.listed) << c.what;
  }
}

TEST_F(LoadDumpTest, ThirdRecordCutShort) {
  std::string third = Record(DataRec(Named("3333")));
  PutDump(Record(ContRec()) + Record(DataRec(Named("1111"))) + Record(DataRec(Named("2222"))) +
          third.substr(0, 1000));
  EXPECT_EQ(LoadDump(FakeStockList()), -1);
  EXPECT_EQ(Messages(),
            std::vector<std::string>({"System Error|RyvoDB file Data.Rec. read error: record 3"}));
  // Nothing of a damaged dump is taken: no list, no settings file, no copy.
  EXPECT_TRUE(FakeListItems().empty());
  EXPECT_FALSE(HasSettings("1111"));
  EXPECT_FALSE(HasSettings("3333"));
  EXPECT_FALSE(FakeFileExists(work + "/BeginRyvo.dmp"));
}

TEST_F(LoadDumpTest, TwentyByteNameAndDuplicates) {
  Stock full = Named("日本電信電話株式会社");   // 20 bytes, no zero byte
  ASSERT_EQ(full.name.size(), 20u);
  full.rows.push_back(Row(2001, 1, 10, 1, 2, 3, 4, 5));
  Stock first = Named("7203");
  first.purchaseCount = 100;
  Stock second = Named("7203");
  second.purchaseCount = 200;
  PutDump(Dump({full, first, second}));
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_EQ(FakeListItems(),
            std::vector<std::string>({"日本電信電話株式会社", "7203", "7203"}));
  EXPECT_EQ(Settings("日本電信電話株式会社").substr(0, 22), "日本電信電話株式会社\r\n");
  EXPECT_NE(Settings("7203").find("\r\n200\r\n"), std::string::npos);
}

TEST_F(LoadDumpTest, NamesThatCannotBeFileNamesAreListedButSkipped) {
  FakeFolder("outside");
  std::vector<Stock> stocks = {Named("..\\outside\\x"), Named("a/b"), Named("C:x"),
                               Named(".."), Named(""), Named("ソニー"),
                               Named("nul.x"), Named("A*B")};
  PutDump(Dump(stocks));
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(FakeListItems().size(), 8u);
  EXPECT_FALSE(HasSettings("nul.x"));
  EXPECT_FALSE(HasSettings("A*B"));
  EXPECT_FALSE(FakeFileExists(FakeRoot() + "/outside/x.txt"));
  EXPECT_FALSE(FakeFileExists(work + "/a/b.txt"));
  EXPECT_FALSE(FakeFileExists(work + "/.txt"));
  EXPECT_TRUE(HasSettings("ソニー"));
  for (const std::string& opened : FakeOpenLog())
    EXPECT_EQ(opened.find("outside"), std::string::npos) << opened;
}

TEST_F(LoadDumpTest, PathsLongerThan259BytesAreNeverOpened) {
  // Folder + "\" + 14-byte name + ".txt" = 260 bytes; "Ryvo.dmp" still fits.
  std::string deep = FakeFolder(std::string(241 - FakeRoot().size() - 1, 'd').c_str());
  ASSERT_EQ(deep.size(), 241u);
  strcpy(WorkFolder, deep.c_str());
  FakeWriteFile(deep + "/Ryvo.dmp", Dump({Named("12345678901234"), Named("1234567890123")}));
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(FakeListItems().size(), 2u);
  EXPECT_FALSE(FakeFileExists(deep + "/12345678901234.txt"));
  EXPECT_FALSE(FakeFileExists(deep + "/12345678901234.tx"));
  EXPECT_TRUE(FakeFileExists(deep + "/1234567890123.txt"));
}

TEST_F(LoadDumpTest, ShortRecordDoesNotInheritThePreviousRecord) {
  Stock big = Named("big");
  big.purchaseCount = 777;
  big.flags = 7;
  std::string shortRec = DataRec(Named("small")).substr(0, 30);   // name only
  PutDump(Record(ContRec()) + Record(DataRec(big)) + Record(shortRec));
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_EQ(Settings("small"),
            "small\r\n0\r\n0\r\n0\r\n\r\n\r\n0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n0,0\r\n");
}

TEST_F(LoadDumpTest, CopyAndWriteFailures) {
  PutDump(Dump({Named("1111"), Named("2222"), Named("3333")}));
  FakeFailCopy("BeginRyvo.dmp");
  EXPECT_EQ(LoadDump(FakeStockList()), -1);
  EXPECT_EQ(Messages(), std::vector<std::string>({"System Error|RyvoDB file copy read error"}));
  EXPECT_TRUE(FakeListItems().empty());

  SetUp();
  PutDump(Dump({Named("1111"), Named("2222"), Named("3333")}));
  FakeFailWriteAfter("2222.txt", 5);
  EXPECT_EQ(LoadDump(FakeStockList()), 0);   // stops after a failed settings file
  EXPECT_EQ(Messages(), std::vector<std::string>({"System Error|RyvoDB Setup file write error"}));
  EXPECT_EQ(FakeListItems(), std::vector<std::string>({"1111", "2222"}));
  EXPECT_FALSE(HasSettings("3333"));

  SetUp();
  PutDump(Dump({Named("1111"), Named("2222")}));
  FakeFailClose("1111.txt");
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_EQ(Messages(), std::vector<std::string>({"System Error|RyvoDB Setup file write error"}));
  EXPECT_EQ(FakeListItems(), std::vector<std::string>({"1111"}));

  SetUp();
  PutDump(Dump({Named("1111"), Named("2222")}));
  FakeFailOpen("1111.txt (wb)");   // cannot be created: skipped silently
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(FakeListItems().size(), 2u);
  EXPECT_TRUE(HasSettings("2222"));
}

// A kept copy goes back in place of the dump whole or not at all: a copy
// that breaks off (a full disk) leaves the dump as it was, and no
// temporary file stays.
TEST_F(LoadDumpTest, RestoringACopyReplacesTheDumpWholeOrNotAtAll) {
  const std::string current = Dump({Named("now")});
  std::vector<Stock> many(40, Named("kept"));   // more than one chunk of copying
  const std::string kept = Dump(many);
  struct Case {
    const char* what;
    void (*fault)(void);
  } cases[] = {
      {"full disk part way", [] { FakeFailWriteAfter("Ryvo.dmp.tmp", 20000); }},
      {"close fails", [] { FakeFailClose("Ryvo.dmp.tmp"); }},
      {"cannot take the dump's place", [] { FakeFailReplace("Ryvo.dmp.tmp"); }},
      {"no copy to restore", [] { FakeFailOpen("BeginRyvo.dmp (rb)"); }},
  };
  for (const Case& c : cases) {
    SetUp();
    PutDump(current);
    FakeWriteFile(work + "/BeginRyvo.dmp", kept);
    c.fault();
    EXPECT_EQ(RestoreDumpCopy("BeginRyvo.dmp"), -1) << c.what;
    EXPECT_EQ(Messages(), std::vector<std::string>({"System Error|RyvoDB file copy error"}))
        << c.what;
    EXPECT_TRUE(FakeReadFile(work + "/Ryvo.dmp") == current) << c.what;
    EXPECT_FALSE(FakeFileExists(work + "/Ryvo.dmp.tmp")) << c.what;
  }

  SetUp();
  PutDump(current);
  FakeWriteFile(work + "/SaveRyvo.dmp", kept);
  EXPECT_EQ(RestoreDumpCopy("SaveRyvo.dmp"), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_TRUE(FakeReadFile(work + "/Ryvo.dmp") == kept);
  EXPECT_TRUE(FakeReadFile(work + "/SaveRyvo.dmp") == kept);
  EXPECT_FALSE(FakeFileExists(work + "/Ryvo.dmp.tmp"));
}

}  // namespace
