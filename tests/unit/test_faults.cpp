// File-system faults during loading, export, conversion and the settings
// dialog's save: a full disk, read-only files and folders, a missing
// folder, a file deleted between two steps. Each gives the message and the
// result of its failure, and afterwards Ryvo.dmp is what it was (unless a
// conversion completed), no price CSV file or stock settings file that was
// there is lost or cut short (except where it is replaced whole), and no
// temporary file is left.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dump_builder.h"
#include "exchange.h"
#include "fake_platform.h"
#include "stock_settings.h"

using namespace dumpbuilder;

namespace {

// Byte fixtures: what the user had before the operation.
const char kUserSettings[] =
    "1111\r\n1\r\n0\r\n1\r\nhttp://x\r\nkw\r\n500\r\n1,2\r\n3,4\r\n5,6\r\n7,8\r\n9,10\r\n"
    "900,100\r\n5000,0\r\n";
const char kUserCsv[] =
    "日付,始値,高値,安値,終値\r\n"
    "2001/1/10,     1234.50,     1250.00,     1200.25,     1240.00,  1500000.00\r\n"
    "2001/1/11,     1240.00,     1260.00,     1230.00,     1255.00,  1600000.00\r\n";

typedef std::map<std::string, std::string> Files;

void RemoveFolder(const std::string& folder) {
  std::string command = "rm -rf '" + folder + "'";
  ASSERT_EQ(system(command.c_str()), 0);
}   // "work/x" or "csv/x" -> bytes

class FaultTest : public ::testing::Test {
 public:   // the arrangements of the tables reach the folders
  std::string work, csv;
  std::string dump;

  void SetUp() override {
    FakeResetWithFolders(&work, &csv);
    memcpy(CarriedBytes, "RyvoDB\0\0", 8);
    Stock a, b, c;
    a.name = "1111";
    a.rows = {Row(2001, 1, 10, 5, 6, 7, 8, 9)};
    b.name = "2222";
    b.rows = {Row(2001, 1, 10, 1, 2, 3, 4, 5), Row(2001, 1, 11, 2, 3, 4, 5, 6)};
    c.name = "3333";
    dump = Dump({a, b, c});
    FakeWriteFile(work + "/Ryvo.dmp", dump);
  }

  // The user's own files of every stock.
  void PutUserFiles() {
    for (const char* name : {"1111", "2222", "3333"}) {
      FakeWriteFile(work + "/" + name + ".txt", kUserSettings);
      FakeWriteFile(csv + "/" + name + ".csv", kUserCsv);
    }
  }

  Files Snapshot() {
    Files files;
    for (const char* sub : {"work", "csv"}) {
      std::string folder = FakeRoot() + "/" + sub;
      DIR* dir = opendir(folder.c_str());
      if (dir == nullptr) continue;
      while (struct dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        files[std::string(sub) + "/" + e->d_name] = FakeReadFile(folder + "/" + e->d_name);
      }
      closedir(dir);
    }
    return files;
  }

  std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const FakeMessage& m : FakeMessages()) texts.push_back(m.caption + "|" + m.text);
    return texts;
  }

  // Every file of `before` is still there with the same bytes, except those
  // named in `replaced`; no temporary file exists.
  void ExpectKept(const Files& before, const Files& after, const std::vector<std::string>& replaced,
                  const char* what) {
    for (const auto& f : before) {
      bool mayChange = false;
      for (const std::string& r : replaced) mayChange = mayChange || f.first == r;
      auto it = after.find(f.first);
      ASSERT_TRUE(it != after.end()) << what << ": " << f.first << " is gone";
      if (!mayChange) {
        EXPECT_TRUE(it->second == f.second) << what << ": " << f.first << " changed";
      }
    }
    for (const auto& f : after) {
      EXPECT_EQ(f.first.find(".tmp"), std::string::npos) << what << ": " << f.first << " left";
      EXPECT_NE(f.first.back(), '~') << what << ": " << f.first << " left";
      EXPECT_EQ(f.first.find(".copying"), std::string::npos) << what << ": " << f.first << " left";
    }
  }
};

// ---- Loading ----

TEST_F(FaultTest, Load) {
  struct Case {
    const char* what;
    std::function<void(FaultTest*)> arrange;
    int result;
    std::vector<std::string> messages;
    std::vector<std::string> listed;
    std::vector<std::string> replaced;   // files the load may rewrite
  } cases[] = {
      {"read-only working folder", [](FaultTest* t) { FakeReadOnlyFolder(t->work); }, -1,
       {"System Error|RyvoDB file copy read error"}, {}, {}},
      {"read-only BeginRyvo.dmp", [](FaultTest*) { FakeReadOnlyFile("/BeginRyvo.dmp"); }, -1,
       {"System Error|RyvoDB file copy read error"}, {}, {}},
      {"full disk in the second settings file",
       [](FaultTest*) { FakeFailWriteAfter("2222.tx~", 20); }, 0,
       {"System Error|RyvoDB Setup file write error"}, {"1111", "2222"},
       {"work/BeginRyvo.dmp", "work/1111.txt"}},
      {"full disk at the first byte", [](FaultTest*) { FakeFailWriteAfter("1111.tx~", 0); }, 0,
       {"System Error|RyvoDB Setup file write error"}, {"1111"}, {"work/BeginRyvo.dmp"}},
      {"flush of the second settings file fails", [](FaultTest*) { FakeFailClose("2222.tx~"); }, 0,
       {"System Error|RyvoDB Setup file write error"}, {"1111", "2222"},
       {"work/BeginRyvo.dmp", "work/1111.txt"}},
      {"read-only settings file: skipped", [](FaultTest*) { FakeReadOnlyFile("/2222.txt"); }, 0, {},
       {"1111", "2222", "3333"}, {"work/BeginRyvo.dmp", "work/1111.txt", "work/3333.txt"}},
  };
  for (const Case& c : cases) {
    SetUp();
    PutUserFiles();
    FakeWriteFile(work + "/BeginRyvo.dmp", "an older dump");
    Files before = Snapshot();
    c.arrange(this);
    EXPECT_EQ(LoadDump(FakeStockList()), c.result) << c.what;
    EXPECT_EQ(Messages(), c.messages) << c.what;
    EXPECT_EQ(FakeListItems(), c.listed) << c.what;
    Files after = Snapshot();
    ExpectKept(before, after, c.replaced, c.what);
    EXPECT_TRUE(after["work/Ryvo.dmp"] == dump) << c.what;
    for (const std::string& r : c.replaced) {   // what was replaced is whole
      if (r != "work/BeginRyvo.dmp") {
        EXPECT_EQ(after[r].substr(0, 6), r.substr(5, 4) + "\r\n") << c.what;
      }
    }
  }
}

// ---- Export ----

TEST_F(FaultTest, Export) {
  const std::string kSkipped = "RyvoWin|次の銘柄のＣＳＶファイルを作成できませんでした。";
  struct Case {
    const char* what;
    std::function<void(FaultTest*)> arrange;
    std::vector<std::string> messages;
    std::vector<std::string> replaced;   // CSV files written whole
  } cases[] = {
      {"missing CSV folder", [](FaultTest* t) { RemoveFolder(t->csv); },
       {kSkipped + "\n1111\n2222\n3333"}, {}},
      {"read-only CSV folder", [](FaultTest* t) { FakeReadOnlyFolder(t->csv); },
       {kSkipped + "\n1111\n2222\n3333"}, {}},
      {"read-only CSV file of the second stock", [](FaultTest*) { FakeReadOnlyFile("/2222.csv"); },
       {kSkipped + "\n2222"}, {"csv/1111.csv", "csv/3333.csv"}},
      {"full disk in the second CSV file", [](FaultTest*) { FakeFailWriteAfter("2222.cs~", 40); },
       {"System Error|RyvoDB file write error"}, {"csv/1111.csv"}},
      {"full disk at the first byte", [](FaultTest*) { FakeFailWriteAfter("1111.cs~", 0); },
       {"System Error|RyvoDB file write error"}, {}},
      {"flush of the first CSV file fails", [](FaultTest*) { FakeFailClose("1111.cs~"); },
       {"System Error|RyvoDB file write error"}, {}},
      {"dump deleted before the export", [](FaultTest* t) { remove((t->work + "/Ryvo.dmp").c_str()); },
       {"System Error|RyvoDB file open error"}, {}},
  };
  for (const Case& c : cases) {
    SetUp();
    PutUserFiles();
    c.arrange(this);
    Files before = Snapshot();
    EXPECT_EQ(ExportCsv(), -1) << c.what;
    EXPECT_EQ(Messages(), c.messages) << c.what;
    Files after = Snapshot();
    ExpectKept(before, after, c.replaced, c.what);
    for (const std::string& r : c.replaced)
      EXPECT_TRUE(after[r] != kUserCsv && after[r].size() > 20) << c.what << ": " << r;
  }
}

// ---- Conversion ----

TEST_F(FaultTest, Conversion) {
  struct Case {
    const char* what;
    std::function<void(FaultTest*)> arrange;
    int result;
    std::vector<std::string> messages;
  } cases[] = {
      {"read-only working folder", [](FaultTest* t) { FakeReadOnlyFolder(t->work); }, -1,
       {"System Error|RyvoDB file copy read error"}},
      {"read-only SaveRyvo.dmp", [](FaultTest*) { FakeReadOnlyFile("/SaveRyvo.dmp"); }, -1,
       {"System Error|RyvoDB file copy read error"}},
      {"read-only Ryvo.dmp", [](FaultTest*) { FakeReadOnlyFile("/Ryvo.dmp"); }, -1,
       {"System Error|RyvoDB file write error"}},
      {"dump deleted after its copy",
       [](FaultTest* t) { FakeRemoveOnOpen("Ryvo.dmp (r+b)", t->work + "/Ryvo.dmp"); }, -1,
       {"System Error|RyvoDB file write error"}},
      {"CSV file deleted after the settings file was read",
       [](FaultTest* t) { FakeRemoveOnOpen("2222.txt (rb)", t->csv + "/2222.csv"); }, -1, {}},
      {"settings file deleted after the first stock",
       [](FaultTest* t) { FakeRemoveOnOpen("1111.csv (rb)", t->work + "/2222.txt"); }, -1,
       {"System Error|RyvoSetup file open error"}},
      {"full disk in the header", [](FaultTest*) { FakeFailWriteAfter("Ryvo.dmp.tmp", 3); }, -1,
       {"System Error|RyvoDB file Cnt.size write error"}},
      {"full disk after the header", [](FaultTest*) { FakeFailWriteAfter("Ryvo.dmp.tmp", 84); }, -1,
       {"System Error|RyvoDB file Cnt.size write error"}},
      {"full disk in the last record", [](FaultTest*) { FakeFailWriteAfter("Ryvo.dmp.tmp", 84 + 2 * 4416 + 100); },
       -1, {"System Error|RyvoDB file Cnt.size write error"}},
      {"full disk one byte short", [](FaultTest*) { FakeFailWriteAfter("Ryvo.dmp.tmp", 84 + 3 * 4416 - 1); },
       -1, {"System Error|RyvoDB file Cnt.size write error"}},
      {"read-only CSV folder: only read", [](FaultTest* t) { FakeReadOnlyFolder(t->csv); }, 0, {}},
      {"read-only settings files: only read", [](FaultTest*) { FakeReadOnlyFile(".txt"); }, 0, {}},
      {"the disk holds exactly the new dump", [](FaultTest*) { FakeFailWriteAfter("Ryvo.dmp.tmp", 84 + 3 * 4416); },
       0, {}},
  };
  for (const Case& c : cases) {
    SetUp();
    PutUserFiles();
    FakeWriteFile(work + "/SaveRyvo.dmp", "an older copy");
    FakeListSet({"1111", "2222", "3333"});
    Files before = Snapshot();
    c.arrange(this);
    int result = ConvertToHandheld(FakeStockList());
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_EQ(Messages(), c.messages) << c.what;
    Files after = Snapshot();
    bool dumpDeleted = std::string(c.what) == "dump deleted after its copy";
    bool csvDeleted = std::string(c.what).find("CSV file deleted") == 0;
    bool txtDeleted = std::string(c.what).find("settings file deleted") == 0;
    if (dumpDeleted) before.erase("work/Ryvo.dmp");
    if (csvDeleted) before.erase("csv/2222.csv");
    if (txtDeleted) before.erase("work/2222.txt");
    std::vector<std::string> replaced;
    if (after["work/SaveRyvo.dmp"] == dump) replaced.push_back("work/SaveRyvo.dmp");
    if (result == 0) replaced.push_back("work/Ryvo.dmp");
    ExpectKept(before, after, replaced, c.what);
    if (dumpDeleted) {
      EXPECT_EQ(after.count("work/Ryvo.dmp"), 0u) << c.what;
    }
    if (result == 0) {
      EXPECT_EQ(after["work/Ryvo.dmp"].size(), 84u + 3 * 4416) << c.what;
      EXPECT_TRUE(after["work/SaveRyvo.dmp"] == dump) << c.what;
    }
  }
}

// ---- The settings dialog's save ----

void Fill(StockFields* f, const char* name) {
  ClearStockFields(f);
  snprintf(f->name, sizeof f->name, "%s", name);
  f->onlyClose = 1;
  snprintf(f->document, sizeof f->document, "http://new");
  snprintf(f->purchaseCount, sizeof f->purchaseCount, "700");
  for (int i = 0; i < kPairCount; ++i) {
    snprintf(f->pairFirst[i], sizeof f->pairFirst[i], "%d", i);
    snprintf(f->pairSecond[i], sizeof f->pairSecond[i], "%d", i + 10);
  }
}

TEST_F(FaultTest, SettingsSave) {
  struct Case {
    const char* what;
    const char* current;
    const char* name;
    std::function<void(FaultTest*)> arrange;
    int result;
    std::vector<std::string> messages;
    std::vector<std::string> replaced;   // files written whole by the save
  } cases[] = {
      {"full disk rewriting a stock", "1111", "1111",
       [](FaultTest*) { FakeFailWriteAfter("1111.tx~", 30); }, -1,
       {"System Error|RyvoDB Setup file write error"}, {}},
      {"full disk at the first byte", "1111", "1111",
       [](FaultTest*) { FakeFailWriteAfter("1111.tx~", 0); }, -1,
       {"System Error|RyvoDB Setup file write error"}, {}},
      {"flush fails rewriting a stock", "1111", "1111", [](FaultTest*) { FakeFailClose("1111.tx~"); },
       -1, {"System Error|RyvoDB Setup file write error"}, {}},
      {"read-only settings file", "1111", "1111", [](FaultTest*) { FakeReadOnlyFile("/1111.txt"); },
       -1, {}, {}},
      {"read-only working folder, new stock", "", "4444",
       [](FaultTest* t) { FakeReadOnlyFolder(t->work); }, -1, {}, {}},
      {"missing working folder, new stock", "", "4444",
       [](FaultTest* t) { RemoveFolder(t->work); },
       -1, {}, {}},
      {"read-only CSV folder, renamed stock", "1111", "5555",
       [](FaultTest* t) { FakeReadOnlyFolder(t->csv); }, -1,
       {"System Error|Ryvo Data file copy error"}, {}},
      {"full disk writing the renamed stock", "1111", "5555",
       [](FaultTest*) { FakeFailWriteAfter("5555.txt", 10); }, -1,
       {"System Error|RyvoDB Setup file write error"}, {}},
      {"price file deleted before the rename", "1111", "5555",
       [](FaultTest* t) { remove((t->csv + "/1111.csv").c_str()); }, -1,
       {"System Error|Ryvo Data file copy error"}, {}},
      {"no fault: a stock rewritten", "1111", "1111", [](FaultTest*) {}, 0, {}, {"work/1111.txt"}},
  };
  for (const Case& c : cases) {
    SetUp();
    PutUserFiles();
    c.arrange(this);
    Files before = Snapshot();
    StockFields fields;
    Fill(&fields, c.name);
    char result[kNameSize] = "unchanged";
    EXPECT_EQ(SaveStockFields(c.current, &fields, result), c.result) << c.what;
    EXPECT_EQ(Messages(), c.messages) << c.what;
    EXPECT_STREQ(result, c.result == 0 ? c.name : "unchanged") << c.what;
    Files after = Snapshot();
    ExpectKept(before, after, c.replaced, c.what);
    if (c.result != 0) {
      // Nothing saved: no settings file of the new name; a copied price
      // file of a renamed stock may stay, whole.
      if (strcmp(c.name, c.current) != 0) {
        EXPECT_EQ(after.count(std::string("work/") + c.name + ".txt"), 0u) << c.what;
      }
      auto copied = after.find(std::string("csv/") + c.name + ".csv");
      if (copied != after.end() && strcmp(c.name, c.current) != 0) {
        EXPECT_TRUE(copied->second == kUserCsv) << c.what;
      }
    } else {
      EXPECT_EQ(after["work/1111.txt"].substr(0, 9), "1111\r\n1\r\n") << c.what;
    }
  }
}

}  // namespace
