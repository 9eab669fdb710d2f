// Palm OS record databases (.pdb files) and their exchange with Ryvo.dmp:
// the stand-in for a HotSync for people with an emulator or a backup copy
// of their handheld's database instead of a handheld.
//
// A .pdb file is big-endian throughout: a 78-byte header, one 8-byte entry
// per record (data offset, attributes, 3-byte unique ID), two placeholder
// bytes, then the application info block, the sort info block and the
// records' data, each running up to the start of the next one (the last
// record to the end of the file).
//
// Every reader checks each offset and length against the file's size and
// refuses a damaged file through PfMessageBox, writing nothing. Writers
// write "<path>.tmp" and rename it into place only once it is complete
// (WriteWholeFile).
#pragma once

#include <stdint.h>
#include <stdio.h>

enum {
  kPdbHeaderSize = 78,
  kPdbEntrySize = 8,
  kPdbPlaceholderSize = 2,
  kPdbNameSize = 32,
  kPdbMaxRecords = 4096,      // most records a file may hold here
  kPdbMaxRecordLength = 5120, // a record must fit the dump's RecordBuffer
};

// Header field offsets.
enum {
  kPdbName = 0, kPdbAttributes = 32, kPdbVersion = 34, kPdbCreationDate = 36,
  kPdbModificationDate = 40, kPdbBackupDate = 44, kPdbModificationNumber = 48,
  kPdbAppInfo = 52, kPdbSortInfo = 56, kPdbType = 60, kPdbCreator = 64,
  kPdbUniqueIdSeed = 68, kPdbNextRecordList = 72, kPdbRecordCount = 76,
};

// Header attributes and record attributes.
enum { kPdbAttrResource = 0x0001, kPdbAttrBackup = 0x0008 };
enum { kPdbRecDelete = 0x80, kPdbRecDirty = 0x40 };

// Seconds from 1904-01-01 (the Palm OS epoch) to 1970-01-01.
enum : uint32_t { kPalmEpochToUnix = 2082844800u };

struct PdbHeader {
  unsigned char name[kPdbNameSize];   // zero-padded, as stored
  uint16_t attributes;
  uint16_t version;
  uint32_t creationDate;
  uint32_t modificationDate;
  uint32_t backupDate;
  uint32_t modificationNumber;
  uint32_t appInfoOffset;     // 0: no block
  uint32_t sortInfoOffset;    // 0: no block
  unsigned char type[4];
  unsigned char creator[4];
  uint32_t uniqueIdSeed;
  uint32_t nextRecordList;
  uint16_t recordCount;
};

struct PdbRecord {
  uint32_t offset;
  uint32_t length;            // up to the next record or the end of the file
  unsigned char attributes;
  uint32_t uniqueId;          // 24 bits
};

// Header and record list of one file, checked against its size.
struct PdbIndex {
  PdbHeader header;
  uint32_t fileSize;
  uint32_t listEnd;           // 78 + 8 * recordCount
  uint32_t appInfoLength;     // 0 when there is no block
  uint32_t sortInfoLength;
  PdbRecord records[kPdbMaxRecords];
};

// Reads the header and record list from `head`, the first `headLength`
// bytes of a file of `fileSize` bytes, and checks them: the header and
// the whole list inside the file, a plain record database (no resource
// database, no chained list), at most kPdbMaxRecords records, the info
// blocks and every record starting after the list, in order (appInfo,
// sortInfo, records; records never decreasing) and not past the end.
// Returns 0 with `index` filled, or -1 with a one-line English account of
// the damage in `problem` (`problemSize` bytes); reports nothing itself.
int PdbCheckIndex(const unsigned char* head, uint32_t headLength,
                  uint32_t fileSize, PdbIndex* index, char* problem,
                  int problemSize);

// PdbCheckIndex on an open file (read from its start). 0, or -1 after a
// reported failure ("Palm DB file ..." in a "System Error" box).
int PdbReadIndex(FILE* file, PdbIndex* index);

// The 78 bytes of a header as stored, into `p`.
void PdbPutHeader(unsigned char* p, const PdbHeader* h);

// Palm database -> dump. The first live record (records marked deleted
// are left out) becomes the ContRec, every further live record a DataRec,
// each framed by its little-endian RecordLength. A record longer than
// 5120 bytes, a file without live records or any damage is refused.
// Returns 0 when `dumpPath` has been replaced, -1 after a reported
// failure; `dumpPath` is then as it was.
int ConvertPdbToDump(const char* pdbPath, const char* dumpPath);

// Dump -> Palm database. With kPdbKeepExisting and an existing file at
// `pdbPath`, its header fields, info blocks and the attributes and unique
// IDs of its records are kept: record 0 goes with the ContRec, and each
// DataRec with the first unused old record that holds the same stock
// name. Records without a counterpart get fresh unique IDs from the seed
// and the dirty attribute. Without an existing file (or with
// kPdbFreshFile) the database is "RyvoDB", type DATA, creator Ryvo.
// The modification date is set to now in both cases. A damaged existing
// file or dump is refused. Returns 0 when `pdbPath` has been replaced,
// -1 after a reported failure; `pdbPath` is then as it was.
enum { kPdbKeepExisting = 0, kPdbFreshFile = 1 };
int ConvertDumpToPdb(const char* dumpPath, const char* pdbPath, int mode);

// The clock of the modification date, as seconds since 1904 in local
// time. Tests set PdbClockOverride to a fixed nonzero value; 0 means the
// system clock.
extern uint32_t PdbClockOverride;
uint32_t PdbNow(void);
