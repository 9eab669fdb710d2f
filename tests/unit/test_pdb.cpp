// Palm database files and their exchange with Ryvo.dmp: the checked
// reader, the round trip through the dump, the keeping of header fields,
// info blocks, attributes and unique IDs, and the refusal of damaged files
// and dumps without writing anything.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "pdb_file.h"
#include "fake_platform.h"

namespace {

using Bytes = std::vector<unsigned char>;

// ---------------------------------------------------------------------
// Fixtures

// A DataRec of `length` bytes holding `name` at offset 4 and a marker
// byte pattern in its price table, so that records tell apart.
Bytes DataRec(const char* name, size_t length, unsigned char marker) {
  Bytes r(length, 0);
  r[1] = 0x02;
  r[2] = 0x00;
  r[3] = 0xD2;
  memcpy(&r[4], name, strlen(name));
  for (size_t i = 512; i < length && i < 512 + 45; ++i) r[i] = (unsigned char)(marker + i);
  return r;
}

Bytes ContRec(size_t length) {
  Bytes r(length, 0);
  r[1] = 0xD2;
  r[7] = 0xE8;
  r[6] = 0x03;
  memcpy(&r[10], "CARRY", 5);
  return r;
}

void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = (unsigned char)(v >> 8);
  b[at + 1] = (unsigned char)v;
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (unsigned char)(v >> (24 - 8 * i));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return (uint32_t)b[at] << 24 | (uint32_t)b[at + 1] << 16 | (uint32_t)b[at + 2] << 8 | b[at + 3];
}
uint32_t Get24(const Bytes& b, size_t at) {
  return (uint32_t)b[at] << 16 | (uint32_t)b[at + 1] << 8 | b[at + 2];
}

struct PdbRec {
  Bytes data;
  unsigned char attributes;
  uint32_t uniqueId;
};

// A database laid out as Palm OS lays it out: header, list, two zero
// bytes, appInfo, sortInfo, records.
struct PdbSpec {
  const char* name = "RyvoDB";
  uint16_t attributes = 0x0008;
  uint16_t version = 3;
  uint32_t created = 0xB8000001, modified = 0xB8000002, backedUp = 0xB8000003;
  uint32_t modNumber = 17;
  const char* type = "DATA";
  const char* creator = "Ryvo";
  uint32_t seed = 0x00300000;
  Bytes appInfo, sortInfo;
  std::vector<PdbRec> records;
};

Bytes BuildPdb(const PdbSpec& s) {
  size_t n = s.records.size();
  Bytes b(78 + 8 * n + 2, 0);
  memcpy(&b[0], s.name, strlen(s.name));
  Put16(b, 32, s.attributes);
  Put16(b, 34, s.version);
  Put32(b, 36, s.created);
  Put32(b, 40, s.modified);
  Put32(b, 44, s.backedUp);
  Put32(b, 48, s.modNumber);
  memcpy(&b[60], s.type, 4);
  memcpy(&b[64], s.creator, 4);
  Put32(b, 68, s.seed);
  Put16(b, 76, (uint32_t)n);
  uint32_t at = (uint32_t)b.size();
  if (!s.appInfo.empty()) {
    Put32(b, 52, at);
    at += (uint32_t)s.appInfo.size();
  }
  if (!s.sortInfo.empty()) {
    Put32(b, 56, at);
    at += (uint32_t)s.sortInfo.size();
  }
  for (size_t i = 0; i < n; ++i) {
    Put32(b, 78 + 8 * i, at);
    b[78 + 8 * i + 4] = s.records[i].attributes;
    b[78 + 8 * i + 5] = (unsigned char)(s.records[i].uniqueId >> 16);
    b[78 + 8 * i + 6] = (unsigned char)(s.records[i].uniqueId >> 8);
    b[78 + 8 * i + 7] = (unsigned char)s.records[i].uniqueId;
    at += (uint32_t)s.records[i].data.size();
  }
  b.insert(b.end(), s.appInfo.begin(), s.appInfo.end());
  b.insert(b.end(), s.sortInfo.begin(), s.sortInfo.end());
  for (const PdbRec& r : s.records) b.insert(b.end(), r.data.begin(), r.data.end());
  return b;
}

// The dump of the given records: each framed by its little-endian length.
Bytes BuildDump(const std::vector<Bytes>& records) {
  Bytes d;
  for (const Bytes& r : records) {
    uint32_t n = (uint32_t)r.size();
    for (int i = 0; i < 4; ++i) d.push_back((unsigned char)(n >> (8 * i)));
    d.insert(d.end(), r.begin(), r.end());
  }
  return d;
}

PdbSpec SampleSpec() {
  PdbSpec s;
  s.appInfo = Bytes{0x00, 0x01, 'c', 'a', 't', 0x00, 0x7F};
  s.sortInfo = Bytes{0x10, 0x20, 0x30};
  s.records.push_back({ContRec(32), 0x40, 0x001001});
  s.records.push_back({DataRec("7203", 4412, 0x11), 0x00, 0x001002});
  s.records.push_back({DataRec("\x83\x5C\x83\x6E", 4412, 0x22), 0x51, 0x001003});
  s.records.push_back({DataRec("9984", 4412, 0x33), 0x10, 0x00ABCD});
  return s;
}

std::string LastText() {
  return FakeMessages().empty() ? std::string() : FakeMessages().back().text;
}

// ---------------------------------------------------------------------
// A scratch folder per test, removed afterwards.

class PdbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeReset();
    dir_ = FakeFolder("pdb");
    PdbClockOverride = 0xC0FFEE01;
  }
  void TearDown() override { PdbClockOverride = 0; }
  std::string Path(const char* name) const { return dir_ + "/" + name; }
  void Write(const char* name, const Bytes& bytes) const {
    FILE* f = fopen(Path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
      ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    fclose(f);
  }
  Bytes Read(const char* name) const {
    Bytes b;
    FILE* f = fopen(Path(name).c_str(), "rb");
    if (!f) return b;
    int c;
    while ((c = fgetc(f)) != EOF) b.push_back((unsigned char)c);
    fclose(f);
    return b;
  }
  bool Exists(const char* name) const {
    struct stat st;
    return stat(Path(name).c_str(), &st) == 0;
  }
  // The names in the folder, for "nothing else written" checks.
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    std::string cmd = "ls -A '" + dir_ + "'";
    FILE* p = popen(cmd.c_str(), "r");
    char line[512];
    while (p && fgets(line, sizeof line, p)) {
      line[strcspn(line, "\n")] = 0;
      names.push_back(line);
    }
    if (p) pclose(p);
    return names;
  }
  int ToDump(const char* pdb, const char* dump) {
    return ConvertPdbToDump(Path(pdb).c_str(), Path(dump).c_str());
  }
  int ToPdb(const char* dump, const char* pdb, int mode = kPdbKeepExisting) {
    return ConvertDumpToPdb(Path(dump).c_str(), Path(pdb).c_str(), mode);
  }

  std::string dir_;
};

// ---------------------------------------------------------------------
// Round trip

TEST_F(PdbTest, DumpHoldsTheLiveRecordsInOrderWithLittleEndianLengths) {
  PdbSpec s = SampleSpec();
  Write("RyvoDB.pdb", BuildPdb(s));
  ASSERT_EQ(ToDump("RyvoDB.pdb", "Ryvo.dmp"), 0);
  EXPECT_EQ((int)FakeMessages().size(), 0);
  Bytes expected = BuildDump({s.records[0].data, s.records[1].data,
                              s.records[2].data, s.records[3].data});
  Bytes dump = Read("Ryvo.dmp");
  ASSERT_EQ(dump.size(), expected.size());
  EXPECT_TRUE(dump == expected);
  // ContRec length 32 = 20 00 00 00, DataRec 4412 = 3C 11 00 00.
  EXPECT_EQ(dump[0], 0x20);
  EXPECT_EQ(dump[4 + 32], 0x3C);
  EXPECT_EQ(dump[4 + 32 + 1], 0x11);
  EXPECT_FALSE(Exists("Ryvo.dmp.tmp"));
}

TEST_F(PdbTest, RoundTripIsByteIdenticalButForTheModificationDate) {
  Bytes original = BuildPdb(SampleSpec());
  Write("RyvoDB.pdb", original);
  ASSERT_EQ(ToDump("RyvoDB.pdb", "Ryvo.dmp"), 0);
  ASSERT_EQ(ToPdb("Ryvo.dmp", "RyvoDB.pdb"), 0);
  Bytes again = Read("RyvoDB.pdb");
  ASSERT_EQ(again.size(), original.size());
  EXPECT_EQ(Get32(again, 40), 0xC0FFEE01u);
  for (size_t i = 40; i < 44; ++i) again[i] = original[i];
  EXPECT_TRUE(again == original);
  EXPECT_EQ((int)FakeMessages().size(), 0);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"Ryvo.dmp", "RyvoDB.pdb"}));
}

TEST_F(PdbTest, RoundTripWithoutInfoBlocksAndWithEmptyRecords) {
  PdbSpec s;
  s.records.push_back({ContRec(18), 0x00, 7});
  s.records.push_back({Bytes(), 0x00, 8});           // empty record
  s.records.push_back({DataRec("A", 600, 1), 0x00, 9});
  Bytes original = BuildPdb(s);
  Write("db.pdb", original);
  ASSERT_EQ(ToDump("db.pdb", "Ryvo.dmp"), 0);
  EXPECT_TRUE(Read("Ryvo.dmp") == BuildDump({s.records[0].data, Bytes(), s.records[2].data}));
  ASSERT_EQ(ToPdb("Ryvo.dmp", "db.pdb"), 0);
  Bytes again = Read("db.pdb");
  ASSERT_EQ(again.size(), original.size());
  for (size_t i = 40; i < 44; ++i) again[i] = original[i];
  EXPECT_TRUE(again == original);
}

TEST_F(PdbTest, DeletedRecordsStayOutOfTheDumpAndAreDropped) {
  PdbSpec s = SampleSpec();
  s.records[2].attributes = 0x80;   // deleted on the handheld
  Write("RyvoDB.pdb", BuildPdb(s));
  ASSERT_EQ(ToDump("RyvoDB.pdb", "Ryvo.dmp"), 0);
  EXPECT_TRUE(Read("Ryvo.dmp") ==
              BuildDump({s.records[0].data, s.records[1].data, s.records[3].data}));
  ASSERT_EQ(ToPdb("Ryvo.dmp", "RyvoDB.pdb"), 0);
  PdbSpec kept = s;
  kept.records.erase(kept.records.begin() + 2);
  Bytes expected = BuildPdb(kept);
  Put32(expected, 40, 0xC0FFEE01);
  EXPECT_TRUE(Read("RyvoDB.pdb") == expected);
}

// ---------------------------------------------------------------------
// Dump -> database with an existing database

TEST_F(PdbTest, RecordsKeepTheirIdsByStockNameAndNewOnesGetFreshIds) {
  PdbSpec s = SampleSpec();
  Write("RyvoDB.pdb", BuildPdb(s));
  // The user moved 9984 first, deleted the second stock and added 1301.
  Bytes newStock = DataRec("1301", 4412, 0x44);
  Bytes cont = ContRec(32);
  cont[3] = 3;
  Write("Ryvo.dmp", BuildDump({cont, s.records[3].data, s.records[1].data, newStock}));
  ASSERT_EQ(ToPdb("Ryvo.dmp", "RyvoDB.pdb"), 0);
  Bytes out = Read("RyvoDB.pdb");
  ASSERT_GE(out.size(), 78u + 8 * 4);
  EXPECT_EQ(out[77], 4);
  struct { unsigned char attributes; uint32_t id; } want[] = {
      {0x40, 0x001001}, {0x10, 0x00ABCD}, {0x00, 0x001002}, {0x40, 0x300000}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(out[78 + 8 * i + 4], want[i].attributes);
    EXPECT_EQ(Get24(out, 78 + 8 * i + 5), want[i].id);
  }
  EXPECT_EQ(Get32(out, 68), 0x300001u);   // the seed moved past the new ID
  // Header fields kept, info blocks carried.
  EXPECT_EQ(memcmp(&out[0], "RyvoDB\0", 7), 0);
  EXPECT_EQ(Get32(out, 36), 0xB8000001u);
  EXPECT_EQ(Get32(out, 40), 0xC0FFEE01u);
  EXPECT_EQ(Get32(out, 44), 0xB8000003u);
  EXPECT_EQ(Get32(out, 48), 17u);
  uint32_t app = Get32(out, 52), sort = Get32(out, 56);
  EXPECT_EQ(app, 78u + 8 * 4 + 2);
  EXPECT_EQ(sort, app + 7);
  EXPECT_TRUE(Bytes(out.begin() + app, out.begin() + app + 7) == s.appInfo);
  EXPECT_TRUE(Bytes(out.begin() + sort, out.begin() + sort + 3) == s.sortInfo);
  // Records in dump order, at their offsets.
  const Bytes* data[] = {&cont, &s.records[3].data, &s.records[1].data, &newStock};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    uint32_t at = Get32(out, 78 + 8 * i);
    uint32_t end = i < 3 ? Get32(out, 78 + 8 * (i + 1)) : (uint32_t)out.size();
    EXPECT_TRUE(Bytes(out.begin() + at, out.begin() + end) == *data[i]);
  }
}

TEST_F(PdbTest, FreshIdsSkipZeroAndIdsInUse) {
  PdbSpec s;
  s.seed = 0x00FFFFFF;   // the next two candidates are 0xFFFFFF (in use) and 0
  s.records.push_back({ContRec(32), 0, 0xFFFFFF});
  s.records.push_back({DataRec("A", 600, 1), 0, 1});
  Write("db.pdb", BuildPdb(s));
  Write("Ryvo.dmp", BuildDump({ContRec(32), DataRec("A", 600, 1), DataRec("B", 600, 2),
                               DataRec("C", 600, 3)}));
  ASSERT_EQ(ToPdb("Ryvo.dmp", "db.pdb"), 0);
  Bytes out = Read("db.pdb");
  EXPECT_EQ(Get24(out, 78 + 0 + 5), 0xFFFFFFu);
  EXPECT_EQ(Get24(out, 78 + 8 + 5), 1u);
  EXPECT_EQ(Get24(out, 78 + 16 + 5), 2u);   // 0xFFFFFF in use, 0 never, 1 in use
  EXPECT_EQ(Get24(out, 78 + 24 + 5), 3u);
}

TEST_F(PdbTest, DuplicateNamesKeepTheirOrder) {
  PdbSpec s;
  s.records.push_back({ContRec(32), 0, 1});
  s.records.push_back({DataRec("X", 600, 1), 0x01, 2});
  s.records.push_back({DataRec("X", 600, 2), 0x02, 3});
  Bytes original = BuildPdb(s);
  Write("db.pdb", original);
  ASSERT_EQ(ToDump("db.pdb", "Ryvo.dmp"), 0);
  ASSERT_EQ(ToPdb("Ryvo.dmp", "db.pdb"), 0);
  Bytes out = Read("db.pdb");
  EXPECT_EQ(out[78 + 8 + 4], 0x01);
  EXPECT_EQ(Get24(out, 78 + 8 + 5), 2u);
  EXPECT_EQ(out[78 + 16 + 4], 0x02);
  EXPECT_EQ(Get24(out, 78 + 16 + 5), 3u);
}

TEST_F(PdbTest, WithoutAnExistingFileTheDatabaseIsRyvoDB) {
  Write("Ryvo.dmp", BuildDump({ContRec(32), DataRec("A", 4412, 1), DataRec("B", 4412, 2)}));
  ASSERT_EQ(ToPdb("Ryvo.dmp", "new.pdb"), 0);
  Bytes out = Read("new.pdb");
  ASSERT_EQ(out.size(), 78u + 3 * 8 + 2 + 32 + 2 * 4412);
  char name[32] = "RyvoDB";
  EXPECT_EQ(memcmp(&out[0], name, 32), 0);
  EXPECT_EQ(memcmp(&out[60], "DATA", 4), 0);
  EXPECT_EQ(memcmp(&out[64], "Ryvo", 4), 0);
  EXPECT_EQ(out[32] << 8 | out[33], 0x0008);   // backup bit
  EXPECT_EQ(Get32(out, 36), 0xC0FFEE01u);
  EXPECT_EQ(Get32(out, 40), 0xC0FFEE01u);
  EXPECT_EQ(Get32(out, 52), 0u);
  EXPECT_EQ(Get32(out, 56), 0u);
  EXPECT_EQ(out[77], 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(out[78 + 8 * i + 4], 0x40);
    EXPECT_EQ(Get24(out, 78 + 8 * i + 5), (uint32_t)(i + 1));
  }
  EXPECT_EQ(Get32(out, 68), 4u);
  // The file reads back to the same dump.
  ASSERT_EQ(ToDump("new.pdb", "back.dmp"), 0);
  EXPECT_TRUE(Read("back.dmp") == Read("Ryvo.dmp"));
}

TEST_F(PdbTest, FreshModeIgnoresTheExistingFile) {
  Write("db.pdb", BuildPdb(SampleSpec()));
  Write("Ryvo.dmp", BuildDump({ContRec(32)}));
  ASSERT_EQ(ToPdb("Ryvo.dmp", "db.pdb", kPdbFreshFile), 0);
  Bytes out = Read("db.pdb");
  ASSERT_EQ(out.size(), 78u + 8 + 2 + 32);
  EXPECT_EQ(Get32(out, 52), 0u);              // no appInfo carried over
  EXPECT_EQ(Get24(out, 78 + 5), 1u);
}

TEST_F(PdbTest, ModificationDateFollowsTheClock) {
  PdbClockOverride = 0;
  uint32_t before = PdbNow();
  Write("Ryvo.dmp", BuildDump({ContRec(32)}));
  ASSERT_EQ(ToPdb("Ryvo.dmp", "db.pdb"), 0);
  uint32_t after = PdbNow();
  uint32_t stamp = Get32(Read("db.pdb"), 40);
  EXPECT_LE(before, stamp);
  EXPECT_LE(stamp, after);
  // 2001-01-01 00:00 is 3061152000 s after 1904-01-01; "now" lies later.
  EXPECT_GT(stamp, 3061152000u);
}

// ---------------------------------------------------------------------
// Damaged databases: refused with a message, nothing written.

struct Damage {
  const char* what;
  void (*apply)(Bytes& b);
  const char* says;   // part of the message
};

const Damage kDamages[] = {
    {"shorter than the header", [](Bytes& b) { b.resize(77); }, "78-byte header"},
    {"empty file", [](Bytes& b) { b.clear(); }, "78-byte header"},
    {"record offset past the end",
     [](Bytes& b) { Put32(b, 78 + 8 * 3, (uint32_t)b.size() + 1); }, "past the end"},
    {"record offset far past the end", [](Bytes& b) { Put32(b, 78 + 8, 0xFFFFFFF0u); },
     "past the end"},
    {"overlapping records (decreasing offsets)",
     [](Bytes& b) { Put32(b, 78 + 16, Get32(b, 78 + 8) - 1); }, "inside record 1"},
    {"record inside the record list", [](Bytes& b) { Put32(b, 78, 80); }, "record list"},
    {"record count that does not fit", [](Bytes& b) { Put16(b, 76, 4000); }, "needs"},
    {"record count above the limit", [](Bytes& b) { Put16(b, 76, 0xFFFF); }, "more than"},
    {"appInfo past the first record",
     [](Bytes& b) { Put32(b, 52, Get32(b, 78) + 1); }, "appInfo"},
    {"appInfo inside the list", [](Bytes& b) { Put32(b, 52, 100); }, "appInfo"},
    {"sortInfo before appInfo", [](Bytes& b) { Put32(b, 56, Get32(b, 52) - 1); }, "sortInfo"},
    {"sortInfo past the end", [](Bytes& b) { Put32(b, 56, 0x7FFFFFFF); }, "sortInfo"},
    {"resource database", [](Bytes& b) { Put16(b, 32, 0x0009); }, "resource"},
    {"chained record list", [](Bytes& b) { Put32(b, 72, 0x100); }, "second list"},
    {"record longer than 5120 bytes",
     [](Bytes& b) { b.insert(b.end(), 800, 0); }, "more than 5120"},
    {"no records", [](Bytes& b) {
       Put16(b, 76, 0);
       Put32(b, 52, 0);
       Put32(b, 56, 0);
       b.resize(80);
     }, "no header record"},
    {"only deleted records", [](Bytes& b) {
       for (int i = 0; i < 4; ++i) b[78 + 8 * i + 4] |= 0x80;
     }, "no header record"},
};

TEST_F(PdbTest, DamagedDatabasesAreRefusedAndNothingIsWritten) {
  const Bytes good = BuildPdb(SampleSpec());
  const Bytes oldDump = BuildDump({ContRec(32), DataRec("OLD", 4412, 9)});
  for (const Damage& d : kDamages) {
    SCOPED_TRACE(d.what);
    Bytes bad = good;
    d.apply(bad);
    Write("bad.pdb", bad);
    Write("Ryvo.dmp", oldDump);
    FakeClearMessages();
    EXPECT_EQ(ToDump("bad.pdb", "Ryvo.dmp"), -1);
    ASSERT_EQ((int)FakeMessages().size(), 1);
    EXPECT_NE(LastText().find("Palm DB file"), std::string::npos)
        << LastText();
    EXPECT_NE(LastText().find(d.says), std::string::npos) << LastText();
    EXPECT_EQ(FakeMessages().back().caption, "System Error");
    EXPECT_TRUE(Read("Ryvo.dmp") == oldDump);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"Ryvo.dmp", "bad.pdb"}));
  }
}

TEST_F(PdbTest, ADamagedExistingDatabaseIsNotReplaced) {
  Bytes bad = BuildPdb(SampleSpec());
  Put32(bad, 78 + 8, (uint32_t)bad.size() + 10);
  Write("db.pdb", bad);
  Write("Ryvo.dmp", BuildDump({ContRec(32), DataRec("A", 600, 1)}));
  EXPECT_EQ(ToPdb("Ryvo.dmp", "db.pdb"), -1);
  EXPECT_EQ((int)FakeMessages().size(), 1);
  EXPECT_TRUE(Read("db.pdb") == bad);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"Ryvo.dmp", "db.pdb"}));
}

TEST_F(PdbTest, ZeroLengthRecordsAtTheEndAreNotDamage) {
  PdbSpec s;
  s.records.push_back({ContRec(32), 0, 1});
  s.records.push_back({Bytes(), 0, 2});
  Bytes b = BuildPdb(s);
  PdbIndex* index = new PdbIndex;
  char problem[200];
  ASSERT_EQ(PdbCheckIndex(b.data(), (uint32_t)b.size(), (uint32_t)b.size(), index,
                          problem, sizeof problem), 0) << problem;
  EXPECT_EQ(index->records[0].length, 32u);
  EXPECT_EQ(index->records[1].offset, (uint32_t)b.size());
  EXPECT_EQ(index->records[1].length, 0u);
  delete index;
}

// ---------------------------------------------------------------------
// Damaged dumps: refused with the dump's messages, the database untouched.

struct DumpDamage {
  const char* what;
  Bytes dump;
  const char* says;
};

Bytes Le(int32_t v) {
  return Bytes{(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16),
               (unsigned char)(v >> 24)};
}
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(PdbTest, DamagedDumpsAreRefusedAndTheDatabaseStays) {
  const Bytes header = BuildDump({ContRec(32)});
  const DumpDamage cases[] = {
      {"empty dump", Bytes(), "Cnt.size read error"},
      {"three bytes of length", Bytes{1, 0, 0}, "Cnt.size read error"},
      {"header cut short", Cat(Le(32), Bytes(10, 0)), "Cont.Rec. read error"},
      {"stock record cut short", Cat(header, Cat(Le(4412), Bytes(100, 0))),
       "Data.Rec. read error"},
      {"negative length", Cat(header, Le(-1)), "Cnt.size error"},
      {"length above 5120", Cat(header, Cat(Le(5121), Bytes(5121, 0))), "Cnt.size error"},
  };
  const Bytes pdb = BuildPdb(SampleSpec());
  for (const DumpDamage& c : cases) {
    SCOPED_TRACE(c.what);
    Write("RyvoDB.pdb", pdb);
    Write("Ryvo.dmp", c.dump);
    FakeClearMessages();
    EXPECT_EQ(ToPdb("Ryvo.dmp", "RyvoDB.pdb"), -1);
    ASSERT_EQ((int)FakeMessages().size(), 1);
    EXPECT_NE(LastText().find(c.says), std::string::npos) << LastText();
    EXPECT_TRUE(Read("RyvoDB.pdb") == pdb);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"Ryvo.dmp", "RyvoDB.pdb"}));
  }
}

TEST_F(PdbTest, MissingInputsAreReported) {
  EXPECT_EQ(ToDump("none.pdb", "Ryvo.dmp"), -1);
  EXPECT_NE(LastText().find("Palm DB file open error"), std::string::npos);
  EXPECT_EQ(ToPdb("none.dmp", "db.pdb"), -1);
  EXPECT_NE(LastText().find("RyvoDB file open error"), std::string::npos);
  EXPECT_TRUE(Listing().empty());
}

TEST_F(PdbTest, AnOutputThatCannotBeCreatedLeavesNothingBehind) {
  Write("RyvoDB.pdb", BuildPdb(SampleSpec()));
  EXPECT_EQ(ToDump("RyvoDB.pdb", "missing/Ryvo.dmp"), -1);
  EXPECT_NE(LastText().find("RyvoDB file open error"), std::string::npos);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"RyvoDB.pdb"}));
}

// ---------------------------------------------------------------------
// Write faults: the output stays as it was and no temporary file is left.

struct WriteFault {
  const char* what;
  void (*inject)(const char* pattern);
};

const WriteFault kWriteFaults[] = {
    {"disk full after 100 bytes", [](const char* p) { FakeFailWriteAfter(p, 100); }},
    {"disk full at once", [](const char* p) { FakeFailWriteAfter(p, 0); }},
    {"close fails", [](const char* p) { FakeFailClose(p); }},
    {"rename fails", [](const char* p) { FakeFailReplace(p); }},
    {"temporary file cannot be created", [](const char* p) { FakeFailOpen(p); }},
};

TEST_F(PdbTest, WriteFaultsLeaveTheDumpAsItWas) {
  const Bytes pdb = BuildPdb(SampleSpec());
  const Bytes oldDump = BuildDump({ContRec(32), DataRec("OLD", 4412, 9)});
  for (const WriteFault& f : kWriteFaults) {
    SCOPED_TRACE(f.what);
    FakeReset();
    dir_ = FakeFolder("pdb");
    Write("RyvoDB.pdb", pdb);
    Write("Ryvo.dmp", oldDump);
    f.inject("Ryvo.dmp.tmp");
    EXPECT_EQ(ToDump("RyvoDB.pdb", "Ryvo.dmp"), -1);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_NE(LastText().find("RyvoDB file"), std::string::npos) << LastText();
    EXPECT_TRUE(Read("Ryvo.dmp") == oldDump);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"Ryvo.dmp", "RyvoDB.pdb"}));
  }
}

TEST_F(PdbTest, WriteFaultsLeaveTheDatabaseAsItWas) {
  const Bytes pdb = BuildPdb(SampleSpec());
  const Bytes dump = BuildDump({ContRec(32), DataRec("NEW", 4412, 9)});
  for (const WriteFault& f : kWriteFaults) {
    SCOPED_TRACE(f.what);
    FakeReset();
    dir_ = FakeFolder("pdb");
    Write("RyvoDB.pdb", pdb);
    Write("Ryvo.dmp", dump);
    f.inject("RyvoDB.pdb.tmp");
    EXPECT_EQ(ToPdb("Ryvo.dmp", "RyvoDB.pdb"), -1);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_NE(LastText().find("Palm DB file"), std::string::npos) << LastText();
    EXPECT_TRUE(Read("RyvoDB.pdb") == pdb);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"Ryvo.dmp", "RyvoDB.pdb"}));
  }
}

}  // namespace
