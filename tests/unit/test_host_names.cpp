// Stock names as file names outside Windows: the code page 932 name in
// UTF-8 (as Wine names the same files), through the path functions and
// through loading, export and conversion on real files; a name without a
// UTF-8 form counts as one that cannot be a file name.
#include <dirent.h>
#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <string>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"
#include "stock_paths.h"
#include "text_codec.h"

using namespace dumpbuilder;

namespace {

struct NameCase {
  const char* what;
  const char* name;   // code page 932, as in the files
  const char* host;   // the file's base name on disk; NULL: none
};

const NameCase kNames[] = {
    {"digits", "7203", "7203"},
    {"ソ is 83 5C", "ソニー", u8"ソニー"},
    {"表 is 95 5C", "表示灯", u8"表示灯"},
    {"20 bytes, 30 in UTF-8", "日本電信電話株式会社", u8"日本電信電話株式会社"},
    {"20 half-width bytes, 60 in UTF-8", "ｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆ", u8"ｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆ"},
    {"an unassigned code, 85 40", "A\x85\x40", nullptr},
    {"a lead byte alone at the end", "7203\x83", nullptr},
    {"80, no character", "\x80" "7203", nullptr},
};

TEST(HostNames, ConvertedBothWaysThroughThePathFunctions) {
  const std::string folder = u8"/tmp/株価";   // a folder as the command line gives it
  for (const NameCase& c : kNames) {
    char host[kPathSize], path[kPathSize];
    if (c.host == nullptr) {
      EXPECT_EQ(HostStockName(c.name, host, sizeof host), -1) << c.what;
      EXPECT_STREQ(host, "") << c.what;
      EXPECT_EQ(FormatStockPath(path, folder.c_str(), c.name, ".csv"), -1) << c.what;
      EXPECT_STREQ(path, "") << c.what;
      continue;
    }
    ASSERT_EQ(HostStockName(c.name, host, sizeof host), 0) << c.what;
    EXPECT_STREQ(host, c.host) << c.what;
    char back[kPathSize];
    ASSERT_EQ(Utf8ToCp932(host, back, sizeof back), 0) << c.what;
    EXPECT_STREQ(back, c.name) << c.what;   // a file name found on disk names the stock
    ASSERT_EQ(FormatStockPath(path, folder.c_str(), c.name, ".csv"), 0) << c.what;
    EXPECT_EQ(std::string(path), folder + "/" + c.host + ".csv") << c.what;
  }
}

TEST(HostNames, The259ByteLimitCountsTheHostForm) {
  char path[kPathSize];
  const char* kana = "ｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆｰｿﾆ";   // 20 bytes, 60 in UTF-8
  std::string folder(194, 'f');                 // 194 + 1 + 60 + 4 = 259
  EXPECT_EQ(FormatStockPath(path, folder.c_str(), kana, ".txt"), 0);
  EXPECT_EQ(strlen(path), 259u);
  folder += 'f';
  EXPECT_EQ(FormatStockPath(path, folder.c_str(), kana, ".txt"), -1);
  EXPECT_STREQ(path, "");
}

std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (struct dirent* e = readdir(dir))
    if (e->d_name[0] != '.') names.insert(e->d_name);
  closedir(dir);
  return names;
}

std::string RecordName(const std::string& dump, int index) {
  size_t at = 4 + ReadLE32(reinterpret_cast<const unsigned char*>(dump.data()));
  for (int i = 0; i < index; ++i)
    at += 4 + ReadLE32(reinterpret_cast<const unsigned char*>(dump.data()) + at);
  std::string field = dump.substr(at + 4 + kDataStockName, kStockNameSize);
  return field.substr(0, field.find('\0'));
}

TEST(HostNames, LoadExportAndConvertNameTheFilesInUtf8) {
  std::string work, csv;
  FakeResetWithFolders(&work, &csv);
  std::vector<Stock> stocks(5);
  const char* names[5] = {"7203", "ソニー", "表示灯", "日本電信電話株式会社", "A\x85\x40"};
  for (int i = 0; i < 5; ++i) stocks[i].name = names[i];
  FakeWriteFile(work + "/Ryvo.dmp", Dump(stocks));

  // Loading lists every stock and skips the one without a file name.
  ASSERT_EQ(LoadDump(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  EXPECT_EQ(FakeListItems(), std::vector<std::string>(names, names + 5));
  EXPECT_EQ(Listing(work), std::set<std::string>({"Ryvo.dmp", "BeginRyvo.dmp", "7203.txt",
                                                  u8"ソニー.txt", u8"表示灯.txt",
                                                  u8"日本電信電話株式会社.txt"}));
  // Inside, the name stays code page 932.
  EXPECT_EQ(FakeReadFile(work + u8"/ソニー.txt").substr(0, 8), "ソニー\r\n");

  // The export writes the others and names the one it could not create.
  ASSERT_EQ(ExportCsv(), -1);
  ASSERT_EQ(FakeMessages().size(), 1u);
  EXPECT_EQ(FakeMessages()[0].text, "次の銘柄のＣＳＶファイルを作成できませんでした。\nA\x85\x40");
  EXPECT_EQ(Listing(csv), std::set<std::string>({"7203.csv", u8"ソニー.csv", u8"表示灯.csv",
                                                 u8"日本電信電話株式会社.csv"}));

  // The conversion reads the UTF-8 names back, the stock names in CP932.
  FakeClearMessages();
  FakeListSet({"表示灯", "7203", "ソニー", "日本電信電話株式会社"});
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());
  std::string dump = FakeReadFile(work + "/Ryvo.dmp");
  EXPECT_EQ(RecordName(dump, 0), "表示灯");
  EXPECT_EQ(RecordName(dump, 2), "ソニー");
  EXPECT_EQ(RecordName(dump, 3), "日本電信電話株式会社");

  // ... and refuses the stock without a file name.
  FakeListSet({"7203", "A\x85\x40"});
  EXPECT_EQ(ConvertToHandheld(FakeStockList()), -1);
  ASSERT_EQ(FakeMessages().size(), 1u);
  EXPECT_EQ(FakeMessages()[0].text, "RyvoSetup file open error");
}

}  // namespace
