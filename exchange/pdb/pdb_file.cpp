// Palm OS record databases (.pdb) and their exchange with Ryvo.dmp: the
// checked reader of the header and record list, the conversion of a
// database into a dump and of a dump back into a database.
#include "pdb_file.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "dump_format.h"
#include "stock_paths.h"
#include "../../platform/platform.h"

uint32_t PdbClockOverride = 0;

namespace {

enum { kTmpSuffixSize = 4 };   // ".tmp"

// Process-wide work areas: the index of the database being read, the
// bytes of its header and list, one record, and what the dump holds.
PdbIndex s_index;
unsigned char s_head[kPdbHeaderSize + kPdbEntrySize * kPdbMaxRecords];
unsigned char s_record[kPdbMaxRecordLength];
char s_message[512];

struct DumpEntry {
  uint32_t length;
  char name[kStockNameSize + 1];
  unsigned char attributes;
  uint32_t uniqueId;
  int matched;           // 1 when attributes and uniqueId come from the old file
};
DumpEntry s_dump[kPdbMaxRecords];

struct OldRecord {
  char name[kStockNameSize + 1];
  int live;              // not marked deleted
  int used;
};
OldRecord s_old[kPdbMaxRecords];

// The 24-bit unique ID of a record entry, which only a database holds;
// the other fields go through the dump's byte-order helpers.
uint32_t GetBE24(const unsigned char* p) {
  return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}
void PutBE24(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)(v >> 16);
  p[1] = (unsigned char)(v >> 8);
  p[2] = (unsigned char)v;
}

void Report(const char* text) {
  PfMessageBox(text, kSystemErrorCaption, PF_MB_OK);
}

void ReportPath(const char* what, const char* path) {
  snprintf(s_message, sizeof s_message, "%s\n%s", what, path);
  Report(s_message);
}

// "<path>.tmp" into `tmp`; -1 (reported) when it does not fit.
int FormTmpPath(char* tmp, const char* path, const char* kind) {
  size_t len = strlen(path);
  if (len == 0 || len + kTmpSuffixSize >= kPathSize) {
    snprintf(s_message, sizeof s_message, "%s file path error\n%s", kind, path);
    Report(s_message);
    return -1;
  }
  memcpy(tmp, path, len);
  memcpy(tmp + len, ".tmp", kTmpSuffixSize + 1);
  return 0;
}

// Reads `length` bytes at `offset`: 0, or -1 when the file gives fewer.
int ReadAt(FILE* file, uint32_t offset, unsigned char* out, uint32_t length) {
  if (fseek(file, (long)offset, SEEK_SET) != 0) return -1;
  if (length == 0) return 0;
  return fread(out, 1, length, file) == length ? 0 : -1;
}

int WriteAll(FILE* file, const unsigned char* data, uint32_t length) {
  if (length == 0) return 0;
  return fwrite(data, 1, length, file) == length ? 0 : -1;
}

// Copies `length` bytes at `offset` of `from` to the end of `to`.
enum BlockCopy {
  kBlockCopied,
  kBlockShort,        // `from` gives fewer bytes
  kBlockNotWritten,   // writing to `to` failed
};
BlockCopy CopyBlock(FILE* from, uint32_t offset, uint32_t length, FILE* to) {
  if (fseek(from, (long)offset, SEEK_SET) != 0) return kBlockShort;
  while (length > 0) {
    uint32_t chunk = length < sizeof s_record ? length : (uint32_t)sizeof s_record;
    if (fread(s_record, 1, chunk, from) != chunk) return kBlockShort;
    if (WriteAll(to, s_record, chunk) != 0) return kBlockNotWritten;
    length -= chunk;
  }
  return kBlockCopied;
}

// The StockName text of a record of `length` bytes in `data` (only the
// bytes present count), into `name` (21 bytes, zero-padded).
void TakeName(const unsigned char* data, uint32_t length, char* name) {
  memset(name, 0, kStockNameSize + 1);
  if (length <= kDataStockName) return;
  uint32_t n = length - kDataStockName;
  if (n > kStockNameSize) n = kStockNameSize;
  for (uint32_t i = 0; i < n && data[kDataStockName + i] != 0; ++i)
    name[i] = (char)data[kDataStockName + i];
}

// Days from 1904-01-01 to the given civil date (proleptic Gregorian).
long DaysSince1904(int year, int month, int day) {
  // Count from 0000-03-01 so that leap days fall at the end of a year.
  auto days = [](long y, int m, int d) {
    if (m <= 2) { y -= 1; m += 12; }
    return 365 * y + y / 4 - y / 100 + y / 400 + (153 * (m - 3) + 2) / 5 + d - 1;
  };
  return days(year, month, day) - days(1904, 1, 1);
}

}  // namespace

uint32_t PdbNow(void) {
  if (PdbClockOverride != 0) return PdbClockOverride;
  time_t now = time(NULL);
  struct tm* local = localtime(&now);
  if (!local) return (uint32_t)now + kPalmEpochToUnix;
  long days = DaysSince1904(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
  return (uint32_t)days * 86400u + (uint32_t)(local->tm_hour * 3600 +
                                              local->tm_min * 60 + local->tm_sec);
}

int PdbCheckIndex(const unsigned char* head, uint32_t headLength,
                  uint32_t fileSize, PdbIndex* index, char* problem,
                  int problemSize) {
  problem[0] = 0;
  if (fileSize < kPdbHeaderSize || headLength < kPdbHeaderSize) {
    snprintf(problem, problemSize,
             "the file has %lu bytes, fewer than its 78-byte header",
             (unsigned long)fileSize);
    return -1;
  }
  PdbHeader* h = &index->header;
  memcpy(h->name, head + kPdbName, kPdbNameSize);
  h->attributes = (uint16_t)ReadBE16(head + kPdbAttributes);
  h->version = (uint16_t)ReadBE16(head + kPdbVersion);
  h->creationDate = (uint32_t)ReadBE32(head + kPdbCreationDate);
  h->modificationDate = (uint32_t)ReadBE32(head + kPdbModificationDate);
  h->backupDate = (uint32_t)ReadBE32(head + kPdbBackupDate);
  h->modificationNumber = (uint32_t)ReadBE32(head + kPdbModificationNumber);
  h->appInfoOffset = (uint32_t)ReadBE32(head + kPdbAppInfo);
  h->sortInfoOffset = (uint32_t)ReadBE32(head + kPdbSortInfo);
  memcpy(h->type, head + kPdbType, 4);
  memcpy(h->creator, head + kPdbCreator, 4);
  h->uniqueIdSeed = (uint32_t)ReadBE32(head + kPdbUniqueIdSeed);
  h->nextRecordList = (uint32_t)ReadBE32(head + kPdbNextRecordList);
  h->recordCount = (uint16_t)ReadBE16(head + kPdbRecordCount);
  index->fileSize = fileSize;

  if (h->attributes & kPdbAttrResource) {
    snprintf(problem, problemSize, "it is a resource database, not a record database");
    return -1;
  }
  if (h->nextRecordList != 0) {
    snprintf(problem, problemSize, "its record list continues in a second list");
    return -1;
  }
  uint32_t count = h->recordCount;
  if (count > kPdbMaxRecords) {
    snprintf(problem, problemSize, "it holds %lu records, more than %d",
             (unsigned long)count, (int)kPdbMaxRecords);
    return -1;
  }
  uint32_t listEnd = kPdbHeaderSize + kPdbEntrySize * count;
  index->listEnd = listEnd;
  if (listEnd > fileSize) {
    snprintf(problem, problemSize,
             "its list of %lu records needs %lu bytes, the file has %lu",
             (unsigned long)count, (unsigned long)listEnd, (unsigned long)fileSize);
    return -1;
  }
  if (listEnd > headLength) {
    snprintf(problem, problemSize, "its record list could not be read");
    return -1;
  }

  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char* e = head + kPdbHeaderSize + kPdbEntrySize * i;
    PdbRecord* r = &index->records[i];
    r->offset = (uint32_t)ReadBE32(e);
    r->attributes = e[4];
    r->uniqueId = GetBE24(e + 5);
    if (r->offset < listEnd) {
      snprintf(problem, problemSize,
               "record %lu starts at %lu, inside the header or the record list",
               (unsigned long)i, (unsigned long)r->offset);
      return -1;
    }
    if (r->offset > fileSize) {
      snprintf(problem, problemSize,
               "record %lu starts at %lu, past the end of the file (%lu bytes)",
               (unsigned long)i, (unsigned long)r->offset, (unsigned long)fileSize);
      return -1;
    }
    if (i > 0 && r->offset < index->records[i - 1].offset) {
      snprintf(problem, problemSize,
               "record %lu starts at %lu, inside record %lu (at %lu)",
               (unsigned long)i, (unsigned long)r->offset, (unsigned long)(i - 1),
               (unsigned long)index->records[i - 1].offset);
      return -1;
    }
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t end = i + 1 < count ? index->records[i + 1].offset : fileSize;
    index->records[i].length = end - index->records[i].offset;
  }

  // The info blocks lie between the list and the first record, appInfo
  // before sortInfo.
  uint32_t firstData = count > 0 ? index->records[0].offset : fileSize;
  uint32_t app = h->appInfoOffset, sort = h->sortInfoOffset;
  if (app != 0 && (app < listEnd || app > firstData)) {
    snprintf(problem, problemSize,
             "its appInfo block at %lu lies outside %lu to %lu",
             (unsigned long)app, (unsigned long)listEnd, (unsigned long)firstData);
    return -1;
  }
  if (sort != 0 && (sort < listEnd || sort > firstData || (app != 0 && sort < app))) {
    snprintf(problem, problemSize,
             "its sortInfo block at %lu lies outside %lu to %lu",
             (unsigned long)sort, (unsigned long)(app != 0 ? app : listEnd),
             (unsigned long)firstData);
    return -1;
  }
  index->appInfoLength = app != 0 ? (sort != 0 ? sort : firstData) - app : 0;
  index->sortInfoLength = sort != 0 ? firstData - sort : 0;
  return 0;
}

void PdbPutHeader(unsigned char* p, const PdbHeader* h) {
  memset(p, 0, kPdbHeaderSize);
  memcpy(p + kPdbName, h->name, kPdbNameSize);
  WriteBE16(p + kPdbAttributes, h->attributes);
  WriteBE16(p + kPdbVersion, h->version);
  WriteBE32(p + kPdbCreationDate, (int32_t)h->creationDate);
  WriteBE32(p + kPdbModificationDate, (int32_t)h->modificationDate);
  WriteBE32(p + kPdbBackupDate, (int32_t)h->backupDate);
  WriteBE32(p + kPdbModificationNumber, (int32_t)h->modificationNumber);
  WriteBE32(p + kPdbAppInfo, (int32_t)h->appInfoOffset);
  WriteBE32(p + kPdbSortInfo, (int32_t)h->sortInfoOffset);
  memcpy(p + kPdbType, h->type, 4);
  memcpy(p + kPdbCreator, h->creator, 4);
  WriteBE32(p + kPdbUniqueIdSeed, (int32_t)h->uniqueIdSeed);
  WriteBE32(p + kPdbNextRecordList, (int32_t)h->nextRecordList);
  WriteBE16(p + kPdbRecordCount, h->recordCount);
}

int PdbReadIndex(FILE* file, PdbIndex* index) {
  long size = -1;
  if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
  if (size < 0 || fseek(file, 0, SEEK_SET) != 0) {
    Report("Palm DB file read error");
    return -1;
  }
  uint32_t fileSize = (unsigned long)size > 0xFFFFFFFFul ? 0xFFFFFFFFu : (uint32_t)size;
  uint32_t want = fileSize < sizeof s_head ? fileSize : (uint32_t)sizeof s_head;
  if (fread(s_head, 1, want, file) != want) {
    Report("Palm DB file read error");
    return -1;
  }
  char problem[200];
  if (PdbCheckIndex(s_head, want, fileSize, index, problem, sizeof problem) != 0) {
    snprintf(s_message, sizeof s_message, "Palm DB file format error\n%s", problem);
    Report(s_message);
    return -1;
  }
  return 0;
}

namespace {

// The dump being written from the database `in` (s_index): `written` is
// set once every record is in the file.
struct DumpWriting {
  FILE* in;
  const char* dumpPath;
  int written;
};

// Writes every live record of the database as a dump record: 0, or -1
// after "Palm DB file read error" or "RyvoDB file write error".
int WriteDumpRecords(FILE* out, void* context) {
  DumpWriting* w = (DumpWriting*)context;
  for (uint32_t i = 0; i < s_index.header.recordCount; ++i) {
    const PdbRecord* r = &s_index.records[i];
    if (r->attributes & kPdbRecDelete) continue;
    unsigned char length[4];
    WriteLE32(length, (int32_t)r->length);
    if (ReadAt(w->in, r->offset, s_record, r->length) != 0) {
      Report("Palm DB file read error");
      return -1;
    }
    if (WriteAll(out, length, 4) != 0 || WriteAll(out, s_record, r->length) != 0) {
      ReportPath("RyvoDB file write error", w->dumpPath);
      return -1;
    }
  }
  w->written = 1;
  return 0;
}

}  // namespace

int ConvertPdbToDump(const char* pdbPath, const char* dumpPath) {
  char tmp[kPathSize];
  if (FormTmpPath(tmp, dumpPath, "RyvoDB") != 0) return -1;

  PfFileCloser in(PfOpenFile(pdbPath, "rb"));
  if (!in.file) {
    ReportPath("Palm DB file open error", pdbPath);
    return -1;
  }
  if (PdbReadIndex(in.file, &s_index) != 0) return -1;

  int live = 0;
  for (uint32_t i = 0; i < s_index.header.recordCount; ++i) {
    const PdbRecord* r = &s_index.records[i];
    if (r->attributes & kPdbRecDelete) continue;
    if (r->length > kPdbMaxRecordLength) {
      snprintf(s_message, sizeof s_message,
               "Palm DB file format error\nrecord %lu has %lu bytes, more than %d",
               (unsigned long)i, (unsigned long)r->length, (int)kPdbMaxRecordLength);
      Report(s_message);
      return -1;
    }
    ++live;
  }
  if (live == 0) {
    Report("Palm DB file format error\nit holds no header record");
    return -1;
  }

  DumpWriting writing = {in.file, dumpPath, 0};
  WholeFileResult result = WriteWholeFile(dumpPath, tmp, WriteDumpRecords, &writing);
  if (result == kWholeFileWritten) return 0;
  if (result == kWholeFileNotCreated) ReportPath("RyvoDB file open error", tmp);
  else if (writing.written) ReportPath("RyvoDB file write error", dumpPath);
  return -1;
}

namespace {

// Reads one dump record into RecordBuffer (ReadDumpRecord). `index` names
// the record in the messages (0 is the ContRec).
enum DumpEntryResult {
  kDumpEntryRead,     // *length holds its RecordLength
  kDumpEntryEnd,      // fewer than 4 bytes were left after a DataRec
  kDumpEntryFailed,   // reported: no ContRec, a bad RecordLength, a short record
};
DumpEntryResult ReadDumpEntry(FILE* file, int index, uint32_t* length) {
  int32_t n = 0;
  switch (ReadDumpRecord(file, &n)) {
    case kRecordRead:
      *length = (uint32_t)n;
      return kDumpEntryRead;
    case kRecordEnd:
      if (index > 0) return kDumpEntryEnd;
      Report("RyvoDB file Cnt.size read error");
      return kDumpEntryFailed;
    case kRecordBadLength:
      snprintf(s_message, sizeof s_message,
               "RyvoDB file Cnt.size error\nrecord %d claims %ld bytes", index, (long)n);
      Report(s_message);
      return kDumpEntryFailed;
    default:
      Report(index == 0 ? "RyvoDB file Cont.Rec. read error"
                        : "RyvoDB file Data.Rec. read error");
      return kDumpEntryFailed;
  }
}

int IdInUse(uint32_t id, int count) {
  for (int i = 0; i < count; ++i)
    if (s_dump[i].matched && s_dump[i].uniqueId == id) return 1;
  return 0;
}


// The database being written: the dump `in`, the existing database `old`
// (NULL when none) and what the first pass took from them. `written` is
// set once every byte is in the file.
struct PdbWriting {
  FILE* in;
  FILE* old;
  const PdbHeader* header;
  int count;
  int hasApp;
  int hasSort;
  const char* pdbPath;
  int written;
};

// Copies the info block of `length` bytes at `offset` of the existing
// database to `out`: 0, or -1 after "Palm DB file read error" or "Palm DB
// file write error".
int CopyInfoBlock(const PdbWriting* w, uint32_t offset, uint32_t length, FILE* out) {
  BlockCopy r = CopyBlock(w->old, offset, length, out);
  if (r == kBlockShort) Report("Palm DB file read error");
  if (r == kBlockNotWritten) ReportPath("Palm DB file write error", w->pdbPath);
  return r == kBlockCopied ? 0 : -1;
}

// Writes the new database into `out` from the dump (read again from its
// start): 0, or -1 after "Palm DB file write error" or, when a file gives
// other bytes than before, a read error.
int WritePdb(FILE* out, const PdbWriting* w) {
  int count = w->count;
  unsigned char head[kPdbHeaderSize];
  PdbPutHeader(head, w->header);
  if (WriteAll(out, head, kPdbHeaderSize) != 0) {
    ReportPath("Palm DB file write error", w->pdbPath);
    return -1;
  }

  uint32_t offset = kPdbHeaderSize + kPdbEntrySize * (uint32_t)count + kPdbPlaceholderSize +
                    (w->hasApp ? s_index.appInfoLength : 0) +
                    (w->hasSort ? s_index.sortInfoLength : 0);
  for (int i = 0; i < count; ++i) {
    unsigned char e[kPdbEntrySize];
    WriteBE32(e, (int32_t)offset);
    e[4] = s_dump[i].attributes;
    PutBE24(e + 5, s_dump[i].uniqueId);
    if (WriteAll(out, e, kPdbEntrySize) != 0) {
      ReportPath("Palm DB file write error", w->pdbPath);
      return -1;
    }
    offset += s_dump[i].length;
  }
  const unsigned char placeholder[kPdbPlaceholderSize] = {0, 0};
  if (WriteAll(out, placeholder, kPdbPlaceholderSize) != 0) {
    ReportPath("Palm DB file write error", w->pdbPath);
    return -1;
  }

  if (w->hasApp &&
      CopyInfoBlock(w, s_index.header.appInfoOffset, s_index.appInfoLength, out) != 0)
    return -1;
  if (w->hasSort &&
      CopyInfoBlock(w, s_index.header.sortInfoOffset, s_index.sortInfoLength, out) != 0)
    return -1;

  if (fseek(w->in, 0, SEEK_SET) != 0) {
    Report("RyvoDB file read error");
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    uint32_t length = 0;
    if (ReadDumpEntry(w->in, i, &length) != kDumpEntryRead || length != s_dump[i].length) {
      Report("RyvoDB file read error\nthe file changed while it was read");
      return -1;
    }
    if (WriteAll(out, RecordBuffer, length) != 0) {
      ReportPath("Palm DB file write error", w->pdbPath);
      return -1;
    }
  }
  return 0;
}

// WritePdb, then the dump and the existing database are closed: Windows
// replaces no file that is still open.
int WritePdbFile(FILE* out, void* context) {
  PdbWriting* w = (PdbWriting*)context;
  int result = WritePdb(out, w);
  if (w->old != NULL) PfCloseFile(w->old);
  PfCloseFile(w->in);
  w->old = NULL;
  w->in = NULL;
  if (result == 0) w->written = 1;
  return result;
}

}  // namespace

int ConvertDumpToPdb(const char* dumpPath, const char* pdbPath, int mode) {
  char tmp[kPathSize];
  if (FormTmpPath(tmp, pdbPath, "Palm DB") != 0) return -1;

  PfFileCloser in(PfOpenFile(dumpPath, "rb"));
  if (!in.file) {
    ReportPath("RyvoDB file open error", dumpPath);
    return -1;
  }
  // First pass: the records' lengths and stock names.
  int count = 0;
  for (;;) {
    uint32_t length = 0;
    DumpEntryResult r = ReadDumpEntry(in.file, count, &length);
    if (r == kDumpEntryFailed) return -1;
    if (r == kDumpEntryEnd) break;
    if (count == kPdbMaxRecords) {
      snprintf(s_message, sizeof s_message,
               "RyvoDB file format error\nit holds more than %d records",
               (int)kPdbMaxRecords);
      Report(s_message);
      return -1;
    }
    DumpEntry* d = &s_dump[count];
    d->length = length;
    TakeName(RecordBuffer, length, d->name);
    d->attributes = kPdbRecDirty;
    d->uniqueId = 0;
    d->matched = 0;
    ++count;
  }

  // The existing database, when there is one, lends its header, info
  // blocks, attributes and unique IDs.
  PfFileCloser old(NULL);
  if (mode == kPdbKeepExisting) {
    errno = 0;
    old.file = PfOpenFile(pdbPath, "rb");
    if (!old.file && errno != 0 && errno != ENOENT) {
      ReportPath("Palm DB file open error", pdbPath);
      return -1;
    }
  }
  PdbHeader header;
  int hasApp = 0, hasSort = 0;
  uint32_t now = PdbNow();
  if (old.file) {
    if (PdbReadIndex(old.file, &s_index) != 0) return -1;
    header = s_index.header;
    hasApp = header.appInfoOffset != 0;
    hasSort = header.sortInfoOffset != 0;
    int first = -1;
    for (int i = 0; i < (int)header.recordCount; ++i) {
      const PdbRecord* r = &s_index.records[i];
      OldRecord* o = &s_old[i];
      o->live = !(r->attributes & kPdbRecDelete);
      o->used = 0;
      if (!o->live) continue;
      if (first < 0) first = i;
      unsigned char name[kDataStockName + kStockNameSize];
      uint32_t n = r->length < sizeof name ? r->length : (uint32_t)sizeof name;
      if (ReadAt(old.file, r->offset, name, n) != 0) {
        Report("Palm DB file read error");
        return -1;
      }
      TakeName(name, n, o->name);
    }
    // Record 0 of the dump goes with the first live record; each stock
    // with the first unused live record of the same name.
    for (int k = 0; k < count && first >= 0; ++k) {
      for (int i = first; i < (int)header.recordCount; ++i) {
        OldRecord* o = &s_old[i];
        if (!o->live || o->used) continue;
        if (k == 0 ? i != first : (i == first || memcmp(o->name, s_dump[k].name, sizeof o->name) != 0))
          continue;
        o->used = 1;
        s_dump[k].attributes = s_index.records[i].attributes;
        s_dump[k].uniqueId = s_index.records[i].uniqueId;
        s_dump[k].matched = 1;
        break;
      }
    }
  } else {
    memset(&header, 0, sizeof header);
    memset(&s_index, 0, sizeof s_index);
    memcpy(header.name, "RyvoDB", 6);
    header.attributes = kPdbAttrBackup;
    header.creationDate = now;
    memcpy(header.type, "DATA", 4);
    memcpy(header.creator, "Ryvo", 4);
    header.uniqueIdSeed = 1;
  }

  // Fresh unique IDs from the seed, never 0 and never one still in use.
  uint32_t seed = header.uniqueIdSeed;
  for (int k = 0; k < count; ++k) {
    if (s_dump[k].matched) continue;
    uint32_t id;
    do {
      id = seed & 0xFFFFFFu;
      ++seed;
    } while (id == 0 || IdInUse(id, count));
    s_dump[k].uniqueId = id;
    s_dump[k].matched = 1;   // in use from now on
  }
  header.uniqueIdSeed = seed;
  header.modificationDate = now;
  header.nextRecordList = 0;
  header.recordCount = (uint16_t)count;
  uint32_t dataStart = kPdbHeaderSize + kPdbEntrySize * (uint32_t)count + kPdbPlaceholderSize;
  header.appInfoOffset = hasApp ? dataStart : 0;
  header.sortInfoOffset = hasSort ? dataStart + (hasApp ? s_index.appInfoLength : 0) : 0;

  // The writer closes both files; the closers then hold none.
  PdbWriting writing = {in.file, old.file, &header, count, hasApp, hasSort, pdbPath, 0};
  in.file = NULL;
  old.file = NULL;
  WholeFileResult result = WriteWholeFile(pdbPath, tmp, WritePdbFile, &writing);
  if (writing.old != NULL) PfCloseFile(writing.old);
  if (writing.in != NULL) PfCloseFile(writing.in);
  if (result == kWholeFileWritten) return 0;
  if (result == kWholeFileNotCreated) ReportPath("Palm DB file open error", tmp);
  else if (writing.written) ReportPath("Palm DB file write error", pdbPath);
  return -1;
}
