// ReplaceWholeFile's three ways: a file that already holds the bytes is
// left alone with its time stamp, a missing file is written in place (and
// deleted when it cannot be written whole), any other file is replaced
// from a temporary file beside it. WriteWholeFile's outcomes beneath it,
// and PfFileMissing, which tells a missing file.
#include <dirent.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <string>

#include "fake_platform.h"
#include "stock_paths.h"

namespace {

const time_t kOldTime = 1000000000;   // September 2001

// Bytes of any length, different at every position modulo 251.
std::string Pattern(size_t length, char salt) {
  std::string s(length, '\0');
  for (size_t i = 0; i < length; ++i) s[i] = (char)(i % 251 + salt);
  return s;
}

time_t ModifiedTime(const std::string& hostPath) {
  struct stat st;
  return stat(hostPath.c_str(), &st) == 0 ? st.st_mtime : 0;
}

bool Opened(const char* pattern) {
  for (const std::string& entry : FakeOpenLog())
    if (entry.find(pattern) != std::string::npos) return true;
  return false;
}

// The names in a folder, sorted: what a run left there.
std::string FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir))
      if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
        names.push_back(entry->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  std::string all;
  for (const std::string& name : names) all += name + " ";
  return all;
}

TEST(ReplaceWholeFile, LeavesAFileAloneOnlyWhenItHoldsTheBytes) {
  const std::string big = Pattern(40000, 'a');
  struct Case {
    const char* what;
    std::string before, bytes;
    bool leftAlone;
  } cases[] = {
      {"the same bytes", "1111\r\n0\r\n", "1111\r\n0\r\n", true},
      {"both empty", "", "", true},
      {"the same bytes over three reading pieces", big, big, true},
      {"exactly one reading piece", big.substr(0, 16384), big.substr(0, 16384), true},
      {"one byte differs at the end", big, big.substr(0, 39999) + "!", false},
      {"one byte differs in the second piece", big,
       big.substr(0, 16385) + "!" + big.substr(16386), false},
      {"the file is longer", big + "x", big, false},
      {"the file is longer by a piece", big.substr(0, 16384) + big.substr(0, 16384),
       big.substr(0, 16384), false},
      {"the file is shorter", big.substr(0, 16384), big.substr(0, 16384) + "x", false},
      {"the file is empty", "", "x", false},
      {"the bytes are empty", "x", "", false},
  };
  for (const Case& c : cases) {
    std::string work, csv;
    FakeResetWithFolders(&work, &csv);
    const std::string host = csv + "/7203.csv";
    FakeWriteFile(host, c.before);
    struct utimbuf old = {kOldTime, kOldTime};
    ASSERT_EQ(utime(host.c_str(), &old), 0);
    char path[kPathSize];
    ASSERT_EQ(FormatStockPath(path, csv.c_str(), "7203", ".csv"), 0);
    EXPECT_EQ(ReplaceWholeFile(path, c.bytes.data(), (int)c.bytes.size()), 0) << c.what;
    EXPECT_TRUE(FakeReadFile(host) == c.bytes) << c.what;
    EXPECT_EQ(ModifiedTime(host) == kOldTime, c.leftAlone) << c.what;
    // Replaced through the temporary file beside it, which is gone.
    EXPECT_EQ(Opened("7203.cs~."), !c.leftAlone) << c.what;   // a temporary of that base
    EXPECT_FALSE(Opened("7203.csv (wb)")) << c.what;
    EXPECT_EQ(FolderNames(csv), "7203.csv ") << c.what;
  }
}

TEST(ReplaceWholeFile, AMissingFileIsWrittenInPlaceOrNotAtAll) {
  const std::string bytes = Pattern(20000, 'A');
  struct Case {
    const char* what;
    void (*arrange)(const std::string& csv);
    int result;
    bool written;
  } cases[] = {
      {"written", [](const std::string&) {}, 0, true},
      {"full disk part way", [](const std::string&) { FakeFailWriteAfter("7203.csv", 5000); }, -1,
       false},
      {"full disk at the first byte", [](const std::string&) { FakeFailWriteAfter("7203.csv", 0); },
       -1, false},
      {"the last flush fails", [](const std::string&) { FakeFailClose("7203.csv"); }, -1, false},
      {"the folder is missing",
       [](const std::string& csv) { ASSERT_EQ(rmdir(csv.c_str()), 0); }, 1, false},
      {"the folder is read-only", [](const std::string& csv) { FakeReadOnlyFolder(csv); }, 1,
       false},
  };
  for (const Case& c : cases) {
    std::string work, csv;
    FakeResetWithFolders(&work, &csv);
    c.arrange(csv);
    char path[kPathSize];
    ASSERT_EQ(FormatStockPath(path, csv.c_str(), "7203", ".csv"), 0);
    EXPECT_EQ(ReplaceWholeFile(path, bytes.data(), (int)bytes.size()), c.result) << c.what;
    EXPECT_EQ(FakeFileExists(csv + "/7203.csv"), c.written) << c.what;
    if (c.written) {
      EXPECT_TRUE(FakeReadFile(csv + "/7203.csv") == bytes) << c.what;
    }
    EXPECT_FALSE(Opened("7203.cs~")) << c.what;   // no detour for a new file
    EXPECT_FALSE(FakeFileExists(csv + "/7203.cs~")) << c.what;
  }
}

// A file that cannot be read is never taken for a missing one: it is
// replaced from beside, so a failure leaves it as it was.
TEST(ReplaceWholeFile, AFileThatCannotBeReadIsReplacedFromBeside) {
  std::string work, csv;
  FakeResetWithFolders(&work, &csv);
  const std::string host = csv + "/7203.csv";
  FakeWriteFile(host, "the user's file");
  FakeFailOpen("7203.csv (rb)");
  FakeFailWriteAfter("7203.cs~", 3);
  char path[kPathSize];
  ASSERT_EQ(FormatStockPath(path, csv.c_str(), "7203", ".csv"), 0);
  EXPECT_EQ(ReplaceWholeFile(path, "new bytes", 9), -1);
  EXPECT_EQ(FakeReadFile(host), "the user's file");
  EXPECT_FALSE(FakeFileExists(csv + "/7203.cs~"));
}

}  // namespace

namespace {

// A writer that writes `text` and then gives `result`.
struct Scripted {
  const char* text;
  int result;
  int calls;
};

int WriteScripted(FILE* out, void* context) {
  Scripted* s = (Scripted*)context;
  ++s->calls;
  size_t n = strlen(s->text);
  if (fwrite(s->text, 1, n, out) != n) return -1;
  return s->result;
}

// WriteWholeFile's outcomes through a temporary file and in place: the
// file holds the new bytes whole, or it is as it was (absent when it was
// absent), and no temporary file is left either way.
TEST(WriteWholeFile, ReplacedWholeOrLeftAsItWas) {
  struct Case {
    const char* what;
    bool existing;       // the file holds "old bytes" before
    bool throughTemporary;
    int writerResult;
    void (*arrange)(void);
    WholeFileResult result;
    bool writerCalled;
  } cases[] = {
      {"replaced through the temporary", true, true, 0, [] {}, kWholeFileWritten, true},
      {"created through the temporary", false, true, 0, [] {}, kWholeFileWritten, true},
      {"created in place", false, false, 0, [] {}, kWholeFileWritten, true},
      {"the writer fails", true, true, -1, [] {}, kWholeFileWriteFailed, true},
      {"the writer fails in place", false, false, -1, [] {}, kWholeFileWriteFailed, true},
      {"full disk in the temporary", true, true, 0, [] { FakeFailWriteAfter("out.tmp", 2); },
       kWholeFileWriteFailed, true},
      {"the close of the temporary fails", true, true, 0, [] { FakeFailClose("out.tmp"); },
       kWholeFileWriteFailed, true},
      {"the close in place fails", false, false, 0, [] { FakeFailClose("out.txt"); },
       kWholeFileWriteFailed, true},
      {"the temporary cannot be created", true, true, 0, [] { FakeFailOpen("out.tmp."); },
       kWholeFileNotCreated, false},
      {"the file cannot be created in place", false, false, 0,
       [] { FakeFailOpen("out.txt (wb)"); }, kWholeFileNotCreated, false},
      {"the temporary cannot take the file's place", true, true, 0,
       [] { FakeFailReplace("out.tmp"); }, kWholeFileNotReplaced, true},
  };
  for (const Case& c : cases) {
    std::string work, csv;
    FakeResetWithFolders(&work, &csv);
    const std::string host = work + "/out.txt";
    if (c.existing) FakeWriteFile(host, "old bytes");
    c.arrange();
    char path[kPathSize], temporary[kPathSize];
    ASSERT_EQ(FormatFolderPath(path, work.c_str(), "out.txt"), 0);
    ASSERT_EQ(FormatFolderPath(temporary, work.c_str(), "out.tmp"), 0);
    Scripted writer = {"new bytes", c.writerResult, 0};
    EXPECT_EQ(WriteWholeFile(path, c.throughTemporary ? temporary : NULL, WriteScripted, &writer),
              c.result)
        << c.what;
    EXPECT_EQ(writer.calls, c.writerCalled ? 1 : 0) << c.what;
    if (c.result == kWholeFileWritten)
      EXPECT_EQ(FakeReadFile(host), "new bytes") << c.what;
    else if (c.existing)
      EXPECT_EQ(FakeReadFile(host), "old bytes") << c.what;
    else
      EXPECT_FALSE(FakeFileExists(host)) << c.what;
    EXPECT_EQ(FolderNames(work), c.result == kWholeFileWritten || c.existing ? "out.txt " : "")
        << c.what;
  }
}

// PfFileMissing tells "nothing there" only when the system says so.
TEST(WriteWholeFile, PfFileMissingTellsOnlyAMissingEntry) {
  std::string work, csv;
  FakeResetWithFolders(&work, &csv);
  FakeWriteFile(work + "/a.txt", "x");
  FakeFolder("work/sub");
  struct Case {
    const char* file;
    int missing;
  } cases[] = {
      {"a.txt", 0},           // a file
      {"sub", 0},             // a folder
      {"b.txt", 1},           // nothing of that name
      {"none\\b.txt", 1},     // in a folder that does not exist
      {"a.txt\\b.txt", 0},    // under a file: not a missing entry
  };
  for (const Case& c : cases) {
    char path[kPathSize];
    ASSERT_EQ(FormatFolderPath(path, work.c_str(), c.file), 0);
    EXPECT_EQ(PfFileMissing(path), c.missing) << c.file;
  }
}

}  // namespace
