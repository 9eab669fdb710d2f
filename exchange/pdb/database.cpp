// RyvoDB in memory: the reading of a Palm database file or a dump into
// records, and their writing back whole with a kept copy of the file.
#include "database.h"

#include "folder_rules.h"

#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "stock_paths.h"
#include "../../platform/platform.h"

Database TheDatabase;

namespace {

PdbIndex s_index;
unsigned char s_head[kPdbHeaderSize + kPdbEntrySize * kPdbMaxRecords];
char s_message[512];

void Report(const char* text) { PfMessageBox(text, kSystemErrorCaption, PF_MB_OK); }

void ReportPath(const char* what, const char* path) {
  snprintf(s_message, sizeof s_message, "%s\n%s", what, path);
  Report(s_message);
}

// The size of an open file, or -1.
long FileSize(FILE* file) {
  if (fseek(file, 0, SEEK_END) != 0) return -1;
  long size = ftell(file);
  if (fseek(file, 0, SEEK_SET) != 0) return -1;
  return size;
}

// 1 when the RecordLength framing of the file runs exactly to its end.
int FramedAsDump(FILE* file, long size) {
  long at = 0;
  int records = 0;
  unsigned char length[4];
  while (at < size) {
    if (size - at < 4 || fseek(file, at, SEEK_SET) != 0 || fread(length, 1, 4, file) != 4)
      return 0;
    int32_t n = ReadLE32(length);
    if (n < (records == 0 ? 1 : 0) || n > kRecordBufferSize || n > size - at - 4) return 0;
    at += 4 + n;
    ++records;
  }
  return records > 0;
}

int ReadDumpInto(FILE* file, Database* db) {
  db->count = 0;
  for (;;) {
    int32_t length = 0;
    int r = ReadDumpRecord(file, &length);
    if (r == kRecordEnd) break;
    if (r != kRecordRead) {
      Report(db->count == 0 ? "RyvoDB file Cont.Rec. read error" : "RyvoDB file Data.Rec. read error");
      return -1;
    }
    if (db->count == kPdbMaxRecords) {
      Report("RyvoDB file format error\nit holds more than 4096 records");
      return -1;
    }
    DatabaseRecord* rec = &db->record[db->count++];
    rec->length = length;
    rec->attributes = 0;
    rec->uniqueId = 0;
    memcpy(rec->data, RecordBuffer, sizeof rec->data);
  }
  if (db->count == 0) {
    Report("RyvoDB file Cnt.size read error");
    return -1;
  }
  return 0;
}

int ReadBytesAt(FILE* file, uint32_t offset, unsigned char* out, uint32_t length) {
  if (fseek(file, (long)offset, SEEK_SET) != 0) return -1;
  return length == 0 || fread(out, 1, length, file) == length ? 0 : -1;
}

int ReadPdbInto(FILE* file, Database* db) {
  if (PdbReadIndex(file, &s_index) != 0) return -1;
  db->header = s_index.header;
  if (s_index.appInfoLength > kDatabaseInfoSize || s_index.sortInfoLength > kDatabaseInfoSize) {
    Report("Palm DB file format error\nan info block is larger than 64 KB");
    return -1;
  }
  db->appInfoLength = s_index.appInfoLength;
  db->sortInfoLength = s_index.sortInfoLength;
  if (ReadBytesAt(file, db->header.appInfoOffset, db->appInfo, db->appInfoLength) != 0 ||
      ReadBytesAt(file, db->header.sortInfoOffset, db->sortInfo, db->sortInfoLength) != 0) {
    Report("Palm DB file read error");
    return -1;
  }
  db->count = 0;
  int live = 0;
  for (uint32_t i = 0; i < s_index.header.recordCount; ++i) {
    const PdbRecord* r = &s_index.records[i];
    if (r->length > kPdbMaxRecordLength) {
      snprintf(s_message, sizeof s_message,
               "Palm DB file format error\nrecord %lu has %lu bytes, more than %d",
               (unsigned long)i, (unsigned long)r->length, (int)kPdbMaxRecordLength);
      Report(s_message);
      return -1;
    }
    DatabaseRecord* rec = &db->record[db->count++];
    memset(rec->data, 0, sizeof rec->data);
    rec->length = (int32_t)r->length;
    rec->attributes = r->attributes;
    rec->uniqueId = r->uniqueId;
    if (ReadBytesAt(file, r->offset, rec->data, r->length) != 0) {
      Report("Palm DB file read error");
      return -1;
    }
    if (!(r->attributes & kPdbRecDelete)) ++live;
  }
  if (live == 0) {
    Report("Palm DB file format error\nit holds no header record");
    return -1;
  }
  return 0;
}

int IsLive(const Database* db, int i) {
  return db->kind == kDatabaseDump || !(db->record[i].attributes & kPdbRecDelete);
}

int WriteBytes(FILE* out, const void* data, size_t length) {
  return length == 0 || fwrite(data, 1, length, out) == length ? 0 : -1;
}

int WriteDumpFile(FILE* out, void* context) {
  const Database* db = (const Database*)context;
  for (int i = 0; i < db->count; ++i) {
    unsigned char length[4];
    WriteLE32(length, db->record[i].length);
    if (WriteBytes(out, length, 4) != 0 ||
        WriteBytes(out, db->record[i].data, (size_t)db->record[i].length) != 0)
      return -1;
  }
  return 0;
}

int IdInUse(const Database* db, uint32_t id) {
  for (int i = 0; i < db->count; ++i)
    if (db->record[i].uniqueId == id) return 1;
  return 0;
}

// Unique IDs for the records that have none, the header laid out for the
// records as they stand.
void LayOutPdb(Database* db) {
  PdbHeader* h = &db->header;
  uint32_t seed = h->uniqueIdSeed;
  for (int i = 0; i < db->count; ++i) {
    if (db->record[i].uniqueId != 0) continue;
    uint32_t id;
    do {
      id = seed & 0xFFFFFFu;
      ++seed;
    } while (id == 0 || IdInUse(db, id));
    db->record[i].uniqueId = id;
  }
  h->uniqueIdSeed = seed;
  h->modificationDate = PdbNow();
  h->nextRecordList = 0;
  h->recordCount = (uint16_t)db->count;
  uint32_t dataStart = kPdbHeaderSize + kPdbEntrySize * (uint32_t)db->count + kPdbPlaceholderSize;
  h->appInfoOffset = db->appInfoLength > 0 ? dataStart : 0;
  h->sortInfoOffset = db->sortInfoLength > 0 ? dataStart + db->appInfoLength : 0;
}

int WritePdbFile(FILE* out, void* context) {
  const Database* db = (const Database*)context;
  unsigned char head[kPdbHeaderSize];
  PdbPutHeader(head, &db->header);
  if (WriteBytes(out, head, sizeof head) != 0) return -1;
  uint32_t offset = kPdbHeaderSize + kPdbEntrySize * (uint32_t)db->count + kPdbPlaceholderSize +
                    db->appInfoLength + db->sortInfoLength;
  for (int i = 0; i < db->count; ++i) {
    unsigned char e[kPdbEntrySize];
    WriteBE32(e, (int32_t)offset);
    e[4] = db->record[i].attributes;
    e[5] = (unsigned char)(db->record[i].uniqueId >> 16);
    e[6] = (unsigned char)(db->record[i].uniqueId >> 8);
    e[7] = (unsigned char)db->record[i].uniqueId;
    if (WriteBytes(out, e, sizeof e) != 0) return -1;
    offset += (uint32_t)db->record[i].length;
  }
  const unsigned char placeholder[kPdbPlaceholderSize] = {0, 0};
  if (WriteBytes(out, placeholder, sizeof placeholder) != 0 ||
      WriteBytes(out, db->appInfo, db->appInfoLength) != 0 ||
      WriteBytes(out, db->sortInfo, db->sortInfoLength) != 0)
    return -1;
  for (int i = 0; i < db->count; ++i)
    if (WriteBytes(out, db->record[i].data, (size_t)db->record[i].length) != 0) return -1;
  return 0;
}

// "<path><suffix>" into `out`; -1 when it does not fit.
int WithSuffix(char* out, const char* path, const char* suffix) {
  int n = snprintf(out, kPathSize, "%s%s", path, suffix);
  return n > 0 && n < kPathSize ? 0 : -1;
}

}  // namespace

int DatabaseKindOfFile(const char* path, char* problem, int problemSize) {
  problem[0] = '\0';
  PfFileCloser in(PfOpenFile(path, "rb"));
  if (!in.file) {
    snprintf(problem, problemSize, "the file cannot be opened");
    return -1;
  }
  long size = FileSize(in.file);
  if (size < 0) {
    snprintf(problem, problemSize, "the file cannot be read");
    return -1;
  }
  if (FramedAsDump(in.file, size)) return kDatabaseDump;
  if (fseek(in.file, 0, SEEK_SET) != 0) return -1;
  uint32_t fileSize = (unsigned long)size > 0xFFFFFFFFul ? 0xFFFFFFFFu : (uint32_t)size;
  uint32_t want = fileSize < sizeof s_head ? fileSize : (uint32_t)sizeof s_head;
  if (fread(s_head, 1, want, in.file) != want) {
    snprintf(problem, problemSize, "the file cannot be read");
    return -1;
  }
  if (PdbCheckIndex(s_head, want, fileSize, &s_index, problem, problemSize) == 0)
    return kDatabasePdb;
  return -1;
}

namespace {

// A text field of the header as shown: printable bytes as they are, others
// as "?".
void PutShown(char* out, const unsigned char* field, int width) {
  int n = 0;
  for (; n < width && field[n] != 0; ++n) out[n] = field[n] >= 0x20 && field[n] < 0x7F ? (char)field[n] : '?';
  out[n] = '\0';
}

}  // namespace

PdbIdentity IdentifyPdb(const char* path, char* what, int whatSize) {
  what[0] = '\0';
  char problem[200];
  if (DatabaseKindOfFile(path, problem, sizeof problem) != kDatabasePdb) return kPdbUnreadable;
  const PdbHeader* h = &s_index.header;
  char name[kPdbNameSize + 1], creator[5], type[5];
  PutShown(name, h->name, kPdbNameSize);
  PutShown(creator, h->creator, 4);
  PutShown(type, h->type, 4);
  snprintf(what, (size_t)whatSize, "name \"%s\", creator \"%s\", type \"%s\"", name, creator,
           type);
  int ryvo = memcmp(h->name, "RyvoDB", 7) == 0 && memcmp(h->creator, "Ryvo", 4) == 0 &&
             memcmp(h->type, "DATA", 4) == 0;
  return ryvo ? kPdbIsRyvoDB : kPdbIsOther;
}

int ReadDatabase(const char* path, Database* db) {
  char what[128];
  if (IdentifyPdb(path, what, sizeof what) == kPdbIsOther) {
    snprintf(s_message, sizeof s_message, "Palm DB file is not RyvoDB\n%s: %s", path, what);
    Report(s_message);
    return -1;
  }
  char problem[200];
  int kind = DatabaseKindOfFile(path, problem, sizeof problem);
  if (kind < 0) {
    snprintf(s_message, sizeof s_message,
             "RyvoDB file format error\n%s is neither a Palm database nor a dump: %s", path,
             problem);
    Report(s_message);
    return -1;
  }
  PfFileCloser in(PfOpenFile(path, "rb"));
  if (!in.file) {
    ReportPath("RyvoDB file open error", path);
    return -1;
  }
  memset(&db->header, 0, sizeof db->header);
  db->appInfoLength = db->sortInfoLength = 0;
  db->kind = kind;
  return kind == kDatabaseDump ? ReadDumpInto(in.file, db) : ReadPdbInto(in.file, db);
}

int WriteDatabase(const char* path, Database* db) {
  // One writer at a time in the database's folder.
  char folder[kPathSize];
  snprintf(folder, sizeof folder, "%s", path);
  char* cut = strrchr(folder, kPathSeparator);
  if (cut == NULL) snprintf(folder, sizeof folder, ".");
  else if (cut == folder) cut[1] = '\0';
  else *cut = '\0';
  FolderLock lock(folder);
  if (!lock.held) return -1;
  char tmp[kPathSize], bak[kPathSize], bakTmp[kPathSize];
  if (WithSuffix(tmp, path, ".tmp") != 0 || WithSuffix(bak, path, ".bak") != 0 ||
      WithSuffix(bakTmp, path, ".bak.tmp") != 0) {
    ReportPath("RyvoDB file path error", path);
    return -1;
  }
  if (CopyFileWhole(path, bak, bakTmp) != 0) {
    ReportPath("RyvoDB file copy error", bak);
    return -1;
  }
  WholeFileResult result;
  if (db->kind == kDatabasePdb) {
    LayOutPdb(db);
    result = WriteWholeFile(path, tmp, WritePdbFile, db);
  } else {
    result = WriteWholeFile(path, tmp, WriteDumpFile, db);
  }
  if (result == kWholeFileWritten) return 0;
  ReportPath(result == kWholeFileNotCreated ? "RyvoDB file open error" : "RyvoDB file write error",
             result == kWholeFileNotCreated ? tmp : path);
  return -1;
}

int DatabaseHeaderRecord(const Database* db) {
  for (int i = 0; i < db->count; ++i)
    if (IsLive(db, i)) return i;
  return -1;
}

int DatabaseStockRecord(const Database* db, int n) {
  int seen = -1;   // the ContRec is not a stock
  for (int i = 0; i < db->count; ++i) {
    if (!IsLive(db, i)) continue;
    if (seen == n) return i;
    ++seen;
  }
  return -1;
}

int DatabaseStockCount(const Database* db) {
  int live = 0;
  for (int i = 0; i < db->count; ++i) live += IsLive(db, i);
  return live > 0 ? live - 1 : 0;
}

void DatabaseStockName(const DatabaseRecord* record, char* name) {
  ReadTextField(record->data + kDataStockName, kStockNameSize, name);
}

int FindDatabaseStock(const Database* db, const char* name) {
  char stock[kStockNameSize + 1];
  for (int n = 0, i; (i = DatabaseStockRecord(db, n)) >= 0; ++n) {
    DatabaseStockName(&db->record[i], stock);
    if (strcmp(stock, name) == 0) return i;
  }
  return -1;
}

DatabaseRecord* InsertDatabaseRecord(Database* db, int at) {
  if (db->count == kPdbMaxRecords) {
    Report("RyvoDB file format error\nit would hold more than 4096 records");
    return NULL;
  }
  memmove(&db->record[at + 1], &db->record[at], sizeof db->record[0] * (size_t)(db->count - at));
  ++db->count;
  DatabaseRecord* rec = &db->record[at];
  memset(rec, 0, sizeof *rec);
  rec->attributes = kPdbRecDirty;
  return rec;
}

void RemoveDatabaseRecord(Database* db, int at) {
  memmove(&db->record[at], &db->record[at + 1], sizeof db->record[0] * (size_t)(db->count - at - 1));
  --db->count;
}

void MoveDatabaseRecord(Database* db, int from, int to) {
  static DatabaseRecord moving;
  if (from == to) return;
  moving = db->record[from];
  if (from < to)
    memmove(&db->record[from], &db->record[from + 1], sizeof moving * (size_t)(to - from));
  else
    memmove(&db->record[to + 1], &db->record[to], sizeof moving * (size_t)(from - to));
  db->record[to] = moving;
}

void CountDatabaseStocks(Database* db) {
  int h = DatabaseHeaderRecord(db);
  if (h < 0) return;
  DatabaseRecord* rec = &db->record[h];
  if (rec->length < kContRecordCount + 2) return;
  WriteBE16(rec->data + kContRecordCount, DatabaseStockCount(db));
}
