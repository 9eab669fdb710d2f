// The whole road of an exchange without a handheld: a Palm database file
// becomes Ryvo.dmp, is loaded and exported, one CSV value is edited, the
// conversion rebuilds the dump, and the database written from it carries
// the edited value while every record keeps its unique ID.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "dump_format.h"
#include "exchange.h"
#include "fake_platform.h"
#include "pdb_file.h"
#include "sample_dump.h"

namespace {

uint32_t Get32(const std::string& b, size_t at) {
  const unsigned char* p = (const unsigned char*)b.data() + at;
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Record `i` of a database file's bytes.
std::string PdbRecordBytes(const std::string& pdb, int i) {
  int count = (unsigned char)pdb[76] << 8 | (unsigned char)pdb[77];
  uint32_t at = Get32(pdb, 78 + 8 * i);
  uint32_t end = i + 1 < count ? Get32(pdb, 78 + 8 * (i + 1)) : (uint32_t)pdb.size();
  return pdb.substr(at, end - at);
}

uint32_t PdbUniqueId(const std::string& pdb, int i) {
  const unsigned char* p = (const unsigned char*)pdb.data() + 78 + 8 * i + 5;
  return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}

// Replaces field `field` (0 = date, 4 = close) of CSV data line `line`
// (1 = the first line after the header) with `text`.
std::string EditCsvField(const std::string& csv, int line, int field, const char* text) {
  size_t start = 0;
  for (int i = 0; i < line; ++i) start = csv.find('\n', start) + 1;
  size_t end = csv.find('\r', start);
  std::string row = csv.substr(start, end - start);
  size_t a = 0;
  for (int i = 0; i < field; ++i) a = row.find(',', a) + 1;
  size_t b = row.find(',', a);
  row.replace(a, b - a, text);
  return csv.substr(0, start) + row + csv.substr(end);
}

TEST(PdbCycle, AnEditedCsvValueReachesTheDatabase) {
  FakeReset();
  std::string work = FakeFolder("work");
  std::string csv = FakeFolder("csv");
  std::string emulator = FakeFolder("emulator");
  snprintf(WorkFolder, sizeof WorkFolder, "%s", work.c_str());
  snprintf(CsvFolder, sizeof CsvFolder, "%s", csv.c_str());
  PdbClockOverride = 0xC1000000;

  // The handheld's database, as an emulator would export it.
  std::string pdbPath = emulator + "/RyvoDB.pdb";
  ASSERT_EQ(WriteSampleDump((emulator + "/seed.dmp").c_str()), 0);
  ASSERT_EQ(ConvertDumpToPdb((emulator + "/seed.dmp").c_str(), pdbPath.c_str(),
                             kPdbFreshFile), 0);
  const std::string before = FakeReadFile(pdbPath);
  const int count = SampleStockCount() + 1;
  ASSERT_EQ((unsigned char)before[77], count);

  // Towards the PC, then the user's round: load, export, edit, convert.
  ASSERT_EQ(ConvertPdbToDump(pdbPath.c_str(), (work + "/Ryvo.dmp").c_str()), 0);
  ASSERT_EQ(LoadDump(FakeStockList()), 0);
  ASSERT_EQ(FakeListItems().size(), (size_t)SampleStockCount());
  ASSERT_EQ(ExportCsv(), 0);
  const char* edited = SampleStockName(1);
  std::string csvPath = csv + "/" + FakeHostName(edited) + ".csv";
  std::string text = FakeReadFile(csvPath);
  ASSERT_FALSE(text.empty());
  FakeWriteFile(csvPath, EditCsvField(text, 1, 4, "  4321.50"));
  ASSERT_EQ(ConvertToHandheld(FakeStockList()), 0);
  EXPECT_TRUE(FakeMessages().empty());

  // Towards the handheld.
  ASSERT_EQ(ConvertDumpToPdb((work + "/Ryvo.dmp").c_str(), pdbPath.c_str(),
                             kPdbKeepExisting), 0);
  const std::string after = FakeReadFile(pdbPath);
  ASSERT_EQ((unsigned char)after[77], count);
  EXPECT_EQ(Get32(after, 40), 0xC1000000u);
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(PdbUniqueId(after, i), PdbUniqueId(before, i));
  }

  // The edited stock's first row carries the new close, and only that
  // differs from the record the handheld had.
  std::string oldRec = PdbRecordBytes(before, 2);
  std::string newRec = PdbRecordBytes(after, 2);
  ASSERT_EQ(newRec.size(), oldRec.size());
  char name[kStockNameSize + 1];
  ReadTextField((const unsigned char*)newRec.data() + kDataStockName, kStockNameSize, name);
  EXPECT_STREQ(name, edited);
  PriceRow oldRow, newRow;
  ReadPriceRow((const unsigned char*)oldRec.data() + kPriceTableOffset, &oldRow);
  ReadPriceRow((const unsigned char*)newRec.data() + kPriceTableOffset, &newRow);
  EXPECT_EQ(newRow.date, oldRow.date);
  EXPECT_DOUBLE_EQ(DecodePackedValue(newRow.value[3]), 4321.50);
  EXPECT_NE(DecodePackedValue(oldRow.value[3]), 4321.50);
  for (int v : {0, 1, 2, 4}) EXPECT_EQ(newRow.value[v], oldRow.value[v]) << v;
  EXPECT_EQ(newRec.substr(kPriceTableOffset + kPriceRowSize),
            oldRec.substr(kPriceTableOffset + kPriceRowSize));
  // The stocks nobody touched come back as they were.
  for (int i = 3; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(PdbRecordBytes(after, i) == PdbRecordBytes(before, i));
  }
  PdbClockOverride = 0;
}

}  // namespace
