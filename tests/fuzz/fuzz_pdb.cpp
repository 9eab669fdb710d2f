// Fuzz target: the Palm database reader and the exchange with Ryvo.dmp.
// For any file: the checked index describes records that tile the file
// after the list; the conversion to a dump succeeds exactly when the index
// is sound, a live record exists and none is longer than 5120 bytes, and
// then the dump holds the live records byte for byte; a refused file
// leaves nothing behind; converting the dump back gives the file in the
// standard layout with every header field, info block, attribute and
// unique ID kept, and converting that again gives the same dump.
#include <stdint.h>
#include <string.h>

#include <string>

#include "fuzz_platform.h"
#include "pdb_file.h"

namespace {

PdbIndex g_index;

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (char)(v >> (24 - 8 * i));
}

void CheckIndex(const PdbIndex& x, uint32_t size) {
  uint32_t n = x.header.recordCount;
  FUZZ_CHECK(n <= kPdbMaxRecords);
  FUZZ_CHECK(x.listEnd == kPdbHeaderSize + kPdbEntrySize * n);
  FUZZ_CHECK(x.listEnd <= size);
  uint32_t firstData = n > 0 ? x.records[0].offset : size;
  for (uint32_t i = 0; i < n; ++i) {
    const PdbRecord& r = x.records[i];
    FUZZ_CHECK(r.offset >= x.listEnd && r.offset <= size);
    FUZZ_CHECK(r.length <= size - r.offset);
    FUZZ_CHECK(r.offset + r.length == (i + 1 < n ? x.records[i + 1].offset : size));
    FUZZ_CHECK(r.uniqueId <= 0xFFFFFF);
  }
  uint32_t app = x.header.appInfoOffset, sort = x.header.sortInfoOffset;
  if (app != 0) {
    FUZZ_CHECK(app >= x.listEnd && x.appInfoLength <= firstData - app);
    FUZZ_CHECK(app + x.appInfoLength == (sort != 0 ? sort : firstData));
  } else {
    FUZZ_CHECK(x.appInfoLength == 0);
  }
  if (sort != 0) {
    FUZZ_CHECK(sort >= x.listEnd && sort + x.sortInfoLength == firstData);
  } else {
    FUZZ_CHECK(x.sortInfoLength == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    FuzzPlatformInit("pdb");
    PdbClockOverride = 0xC0000000u;
    ready = true;
  }
  if (size > 1u << 20) return 0;
  FuzzResetRun();
  const uint32_t fileSize = (uint32_t)size;

  char problem[200];
  bool sound = PdbCheckIndex(data, fileSize, fileSize, &g_index, problem, sizeof problem) == 0;
  if (sound) CheckIndex(g_index, fileSize);
  else FUZZ_CHECK(problem[0] != '\0');

  // What the dump must hold: the live records, framed.
  std::string expected;
  int live = 0;
  bool fits = true;
  if (sound) {
    for (uint32_t i = 0; i < g_index.header.recordCount; ++i) {
      const PdbRecord& r = g_index.records[i];
      if (r.attributes & kPdbRecDelete) continue;
      ++live;
      if (r.length > kPdbMaxRecordLength) fits = false;
      for (int k = 0; k < 4; ++k) expected.push_back((char)(r.length >> (8 * k)));
      expected.append((const char*)data + r.offset, r.length);
    }
  }
  bool convertible = sound && live > 0 && fits;

  const std::string db = FuzzFolder("db");
  const std::string pdbPath = db + "/in.pdb", dumpPath = db + "/Ryvo.dmp";
  FuzzWriteFile(pdbPath, data, size);
  int result = ConvertPdbToDump(pdbPath.c_str(), dumpPath.c_str());
  if (!convertible) {
    FUZZ_CHECK(result == -1);
    FUZZ_CHECK(FuzzMessageCount() == 1);
    FUZZ_CHECK(FuzzListFolder("db") == std::vector<std::string>{"in.pdb"});
    FUZZ_CHECK(FuzzReadFile(pdbPath) == std::string((const char*)data, size));
    return 0;
  }
  FUZZ_CHECK(result == 0);
  FUZZ_CHECK(FuzzMessageCount() == 0);
  FUZZ_CHECK((FuzzListFolder("db") == std::vector<std::string>{"Ryvo.dmp", "in.pdb"}));
  const std::string dump = FuzzReadFile(dumpPath);
  FUZZ_CHECK(dump == expected);

  // The same database in the standard layout, live records only.
  const PdbIndex& x = g_index;
  uint32_t appLen = x.header.appInfoOffset ? x.appInfoLength : 0;
  uint32_t sortLen = x.header.sortInfoOffset ? x.sortInfoLength : 0;
  std::string canon((const char*)data, kPdbHeaderSize);
  uint32_t dataStart = kPdbHeaderSize + kPdbEntrySize * (uint32_t)live + kPdbPlaceholderSize;
  Put32(canon, kPdbModificationDate, 0xC0000000u);
  Put32(canon, kPdbAppInfo, x.header.appInfoOffset ? dataStart : 0);
  Put32(canon, kPdbSortInfo, x.header.sortInfoOffset ? dataStart + appLen : 0);
  canon[kPdbRecordCount] = (char)(live >> 8);
  canon[kPdbRecordCount + 1] = (char)live;
  uint32_t at = dataStart + appLen + sortLen;
  std::string body;
  for (uint32_t i = 0; i < x.header.recordCount; ++i) {
    const PdbRecord& r = x.records[i];
    if (r.attributes & kPdbRecDelete) continue;
    std::string e(8, '\0');
    Put32(e, 0, at);
    e[4] = (char)r.attributes;
    e[5] = (char)(r.uniqueId >> 16);
    e[6] = (char)(r.uniqueId >> 8);
    e[7] = (char)r.uniqueId;
    canon += e;
    body.append((const char*)data + r.offset, r.length);
    at += r.length;
  }
  canon.append(2, '\0');
  if (appLen) canon.append((const char*)data + x.header.appInfoOffset, appLen);
  if (sortLen) canon.append((const char*)data + x.header.sortInfoOffset, sortLen);
  canon += body;

  FUZZ_CHECK(ConvertDumpToPdb(dumpPath.c_str(), pdbPath.c_str(), kPdbKeepExisting) == 0);
  FUZZ_CHECK(FuzzMessageCount() == 0);
  FUZZ_CHECK(FuzzReadFile(pdbPath) == canon);
  FUZZ_CHECK((FuzzListFolder("db") == std::vector<std::string>{"Ryvo.dmp", "in.pdb"}));

  FUZZ_CHECK(ConvertPdbToDump(pdbPath.c_str(), dumpPath.c_str()) == 0);
  FUZZ_CHECK(FuzzReadFile(dumpPath) == dump);
  FUZZ_CHECK(FuzzMessageCount() == 0);
  return 0;
}
