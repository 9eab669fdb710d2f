// RyvoDB in memory, as the handheld holds it: a Palm database file (.pdb)
// or a dump (Ryvo.dmp), told apart by their bytes, read whole into records
// and written back whole. A Palm database keeps its header, its info
// blocks and every record's attributes and unique ID (records marked
// deleted included, passed over as stocks); a record added here gets a
// fresh unique ID from the header's seed and the dirty attribute.
//
// The first live record is the ContRec, every further live record a
// DataRec (one stock). Readers and writers report their own failures
// through PfMessageBox and return 0 or -1.
#pragma once

#include <stdint.h>

#include "dump_format.h"
#include "pdb_file.h"

enum DatabaseKind { kDatabaseDump = 0, kDatabasePdb = 1 };
enum { kDatabaseInfoSize = 65536 };   // largest info block kept

struct DatabaseRecord {
  int32_t length;
  unsigned char attributes;   // Palm database: as stored
  uint32_t uniqueId;          // Palm database: as stored; 0 until written
  unsigned char data[kRecordBufferSize];
};

struct Database {
  int kind;                   // DatabaseKind
  PdbHeader header;           // Palm database only
  uint32_t appInfoLength;     // 0: no block
  uint32_t sortInfoLength;
  unsigned char appInfo[kDatabaseInfoSize];
  unsigned char sortInfo[kDatabaseInfoSize];
  int count;                  // records, deleted ones included
  DatabaseRecord record[kPdbMaxRecords];
};

// The one database of the process (large: kept out of the stack).
extern Database TheDatabase;

// The kind of the file's bytes: a dump when its RecordLength framing
// runs exactly to the end of the file (a ContRec of 1 to 5120 bytes, each
// record whole); else a Palm database when its header and record list
// check (PdbCheckIndex). What it is, or -1 when neither ("ryvo: PATH: ..."
// is the caller's). `problem` gets the Palm database reading's account.
int DatabaseKindOfFile(const char* path, char* problem, int problemSize);

// What a Palm database file is, read quietly: RyvoDB (name "RyvoDB",
// type "DATA", creator "Ryvo", as the sample and a new file are written),
// another database (`what` then says 'name "MemoDB", creator "memo", type
// "DATA"'), or unreadable (missing, damaged: the readers report that).
enum PdbIdentity { kPdbIsRyvoDB = 0, kPdbIsOther = 1, kPdbUnreadable = 2 };
PdbIdentity IdentifyPdb(const char* path, char* what, int whatSize);

// Reads the file `path` into `db`: 0, or -1 after a reported failure (a
// file that cannot be read, is neither kind, is a Palm database other
// than RyvoDB (IdentifyPdb), or holds a record longer
// than 5120 bytes or no ContRec).
int ReadDatabase(const char* path, Database* db);

// Writes `db` in place of `path` (WriteWholeFile through "<path>.tmp"),
// the file replaced first copied to "<path>.bak" the same way. A Palm
// database is written with its header (modification date now, record
// count and block offsets as laid out), info blocks and records in order.
// 0, or -1 after a reported failure (`path` then as it was).
int WriteDatabase(const char* path, Database* db);

// Stocks: the live records after the first live one.
int DatabaseStockCount(const Database* db);
// The record index of stock `n` (0-based), or -1.
int DatabaseStockRecord(const Database* db, int n);
// The stock name of a DataRec (at most 20 bytes, zero-terminated), into
// `name` (kStockNameSize + 1 bytes).
void DatabaseStockName(const DatabaseRecord* record, char* name);
// The record index of the stock called `name` (its first), or -1.
int FindDatabaseStock(const Database* db, const char* name);
// The record index of the ContRec, or -1.
int DatabaseHeaderRecord(const Database* db);

// A new record at record index `at` (0 .. count): its bytes zeroed,
// length 0, dirty, no unique ID yet. Returns it, or NULL after "RyvoDB
// file format error" when the database is full.
DatabaseRecord* InsertDatabaseRecord(Database* db, int at);
// Takes record `at` out of the list.
void RemoveDatabaseRecord(Database* db, int at);
// Moves record `from` to index `to`, the records between shifted by one.
void MoveDatabaseRecord(Database* db, int from, int to);
// Sets the ContRec's stock count to the stocks of the database.
void CountDatabaseStocks(Database* db);
