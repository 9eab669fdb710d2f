// The commands of the ryvo tool that work on RyvoDB as the handheld holds
// it (a Palm database file or a dump, database.h): update merges price
// downloads into its stocks, list shows its stocks.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "commands.h"
#include "database.h"
#include "exchange.h"
#include "import_prices.h"
#include "platform_console.h"
#include "stock_paths.h"

namespace {

// The price files of the SOURCE arguments, in argument order, the files
// of a folder sorted by name.
enum { kMaxSourceFiles = 4096 };
char SourcePath[kMaxSourceFiles][kPathSize];
int SourceCount;
int SourceTooMany;

struct FolderFiles {
  const char* folder;
  int first;
};

void AddSourcePath(const char* folder, const char* name) {
  if (SourceCount == kMaxSourceFiles) {
    SourceTooMany = 1;
    return;
  }
  int n = folder != NULL ? snprintf(SourcePath[SourceCount], kPathSize, "%s%c%s", folder,
                                    kPathSeparator, name)
                         : snprintf(SourcePath[SourceCount], kPathSize, "%s", name);
  if (n > 0 && n < kPathSize) ++SourceCount;
}

void AddFolderFile(void* context, const char* name) {
  if (name[0] == '.') return;   // hidden files
  AddSourcePath(((FolderFiles*)context)->folder, name);
}

int ComparePaths(const void* a, const void* b) { return strcmp((const char*)a, (const char*)b); }

// The files of every SOURCE: 0, or 1 after "ryvo update: SOURCE: ..." for
// one that is neither a file nor a folder (the others are still taken).
int TakeSources(int count, char** sources) {
  int result = 0;
  SourceCount = 0;
  for (int i = 0; i < count; ++i) {
    if (ConsoleFolderProblem(sources[i]) == NULL) {
      char folder[kPathSize];
      snprintf(folder, sizeof folder, "%s", sources[i]);
      size_t n = strlen(folder);
      while (n > 1 && (folder[n - 1] == '/' || folder[n - 1] == '\\')) folder[--n] = '\0';
      FolderFiles files = {folder, SourceCount};
      if (ConsoleFolderFiles(folder, AddFolderFile, &files) != 0) {
        printf("%s: the folder cannot be read\n", sources[i]);
        result = 1;
      }
      qsort(SourcePath[files.first], (size_t)(SourceCount - files.first), kPathSize,
            ComparePaths);
      continue;
    }
    FILE* file = PfOpenFile(sources[i], "rb");
    if (file == NULL) {
      printf("%s: cannot be read\n", sources[i]);
      result = 1;
      continue;
    }
    PfCloseFile(file);
    AddSourcePath(NULL, sources[i]);
  }
  if (SourceTooMany) {
    printf("more than %d files: the rest are left out\n", (int)kMaxSourceFiles);
    result = 1;
  }
  return result;
}

const char* BaseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

// The stock of `names` (count entries, code page 932) that the price
// file's name names: a stock named by its name wins over one named by its
// code; the first of several. -1 when none.
int MatchStock(const char* path, const char (*names)[kStockNameSize + 1], int count) {
  const char* base = BaseName(path);
  int byCode = -1;
  for (int i = 0; i < count; ++i) {
    PriceFileMatch match = MatchPriceFileName(base, names[i]);
    if (match == kMatchName) return i;
    if (match == kMatchCode && byCode < 0) byCode = i;
  }
  return byCode;
}

enum { kMaxStocks = 4096 };
char StockNames[kMaxStocks][kStockNameSize + 1];

// What the merges did to one stock.
struct StockUpdate {
  int merged;     // files merged
  int added;
  int replaced;
  int leftOut;
  int skipped;
  int rounded;
  int rows;
  unsigned lastDate;
};
StockUpdate Updates[kMaxStocks];

void NoteMerge(StockUpdate* u, const ImportSummary& s) {
  ++u->merged;
  u->added += s.datesAdded;
  u->replaced += s.datesReplaced;
  u->leftOut += s.datesLeftOut;
  u->skipped += s.rowsSkipped;
  u->rounded += s.valuesRounded;
  u->rows = s.rowsStored;
  u->lastDate = s.lastDate;
}

// One line per stock merged, in stock order, on standard output.
void PrintUpdates(int count) {
  for (int i = 0; i < count; ++i) {
    const StockUpdate& u = Updates[i];
    if (u.merged == 0) continue;
    char shown[128], date[kPackedDateTextSize];
    printf("%s: %d rows added, %d replaced, newest %s, %d rows", 
           ConsoleDisplayText(StockNames[i], shown, sizeof shown), u.added, u.replaced,
           FormatPackedDate(date, sizeof date, u.lastDate), u.rows);
    if (u.leftOut > 0) printf(", %d older dates left out beyond 260", u.leftOut);
    if (u.skipped > 0) printf(", %d download lines skipped", u.skipped);
    if (u.rounded > 0) printf(", %d values rounded", u.rounded);
    printf("\n");
  }
}

const char kUpdateUsage[] =
    "usage: ryvo update DB SOURCE... [--dry-run]\n"
    "       ryvo update WORKDIR CSVDIR SOURCE... [--dry-run]\n"
    "Merges price downloads into the stocks of DB, a Palm database (RyvoDB.pdb)\n"
    "or a dump (Ryvo.dmp), told apart by their bytes. Each SOURCE is a price\n"
    "file in any form ryvo import reads, or a folder of them. A file belongs to\n"
    "the stock it is named after: the stock name itself (ソニー.csv), or the\n"
    "part before the first dot or underscore in any letter case (7203.csv,\n"
    "7203.T.csv, 7203_daily.csv). Rows merge by date as ryvo import merges them:\n"
    "a date already held takes the downloaded row, the 260 latest dates stay,\n"
    "values are rounded to what the handheld holds; settings are untouched.\n"
    "DB is written whole; the file it replaces is kept as DB.bak.\n"
    "With WORKDIR and CSVDIR the stocks are those of WORKDIR/Ryvo.dmp and each\n"
    "download is merged into CSVDIR/NAME.csv as ryvo import does.\n"
    "Prints one line per stock merged (rows added and replaced, the newest\n"
    "date, rows, what was left out, skipped or rounded) and one per file that\n"
    "matches no stock or cannot be read.\n"
    "  --dry-run   print the same, write nothing\n"
    "Exit status: 0 every file merged; 1 some file not merged (the others are);\n"
    "2 a usage error.\n";

// Merges every source file into the price CSV files of the stocks of
// WorkFolder's Ryvo.dmp.
int UpdateFolders(int count, char** sources, int dryRun) {
  if (int code = TakeStockList("update", 0, NULL); code != 0) return code;
  StockList list = ConsoleStockList();
  int stocks = PfListCount(list);
  if (stocks > kMaxStocks) stocks = kMaxStocks;
  for (int i = 0; i < stocks; ++i) {
    char entry[kNameSize];
    if (PfListGetText(list, i, entry, sizeof entry) < 0) entry[0] = '\0';
    entry[kStockNameSize] = '\0';   // a longer name cannot be a stock's
    memcpy(StockNames[i], entry, strlen(entry) + 1);
    memset(&Updates[i], 0, sizeof Updates[i]);
  }
  int result = TakeSources(count, sources);
  static ImportSummary summary;
  for (int f = 0; f < SourceCount; ++f) {
    int stock = MatchStock(SourcePath[f], StockNames, stocks);
    if (stock < 0) {
      printf("%s: matches no stock\n", SourcePath[f]);
      result = 1;
      continue;
    }
    if (MergeStockCsv(StockNames[stock], SourcePath[f], 0, !dryRun, &summary) != 0) {
      printf("%s: not merged\n", SourcePath[f]);
      result = 1;
      continue;
    }
    NoteMerge(&Updates[stock], summary);
  }
  PrintUpdates(stocks);
  return result;
}

}  // namespace

// The price table of a DataRec.
void TakePriceTable(const DatabaseRecord* rec, PriceTable* table) {
  table->count = CountPriceRows(rec->data, rec->length);
  for (int i = 0; i < table->count; ++i)
    ReadPriceRow(rec->data + kPriceTableOffset + kPriceRowSize * i, &table->row[i]);
}

// Puts `table` into the DataRec: its rows, then zeros to the end of the
// record (a record too short for the rows grows to a full DataRec).
void PutPriceTable(DatabaseRecord* rec, const PriceTable* table) {
  int32_t needed = kPriceTableOffset + kPriceRowSize * table->count;
  if (rec->length < needed) rec->length = kFullDataRecLength;
  memset(rec->data + kPriceTableOffset, 0, (size_t)(kRecordBufferSize - kPriceTableOffset));
  for (int i = 0; i < table->count; ++i)
    WritePriceRow(rec->data + kPriceTableOffset + kPriceRowSize * i, &table->row[i]);
}

int RunUpdate(int argc, char** argv) {
  CommandOption options[] = {{"--dry-run", "-n", false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 2, kAnyNumber,
                                kUpdateUsage);
      code >= 0)
    return code;
  int dryRun = options[0].given ? 1 : 0;
  if (ConsoleFolderProblem(argv[0]) == NULL) {
    if (argc < 3) {
      PrintConsoleText(kUpdateUsage, stderr);
      return 2;
    }
    if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
    return UpdateFolders(argc - 2, argv + 2, dryRun);
  }
  const char* dbPath = argv[0];
  Database* db = &TheDatabase;
  if (ReadDatabase(dbPath, db) != 0) return 1;
  int stocks = DatabaseStockCount(db);
  for (int i = 0; i < stocks && i < kMaxStocks; ++i) {
    DatabaseStockName(&db->record[DatabaseStockRecord(db, i)], StockNames[i]);
    memset(&Updates[i], 0, sizeof Updates[i]);
  }
  if (stocks > kMaxStocks) stocks = kMaxStocks;
  int result = TakeSources(argc - 1, argv + 1);
  static ImportSummary summary;
  static PriceTable table;
  int changed = 0;
  for (int f = 0; f < SourceCount; ++f) {
    int stock = MatchStock(SourcePath[f], StockNames, stocks);
    if (stock < 0) {
      printf("%s: matches no stock\n", SourcePath[f]);
      result = 1;
      continue;
    }
    DatabaseRecord* rec = &db->record[DatabaseStockRecord(db, stock)];
    TakePriceTable(rec, &table);
    if (MergePriceFile(SourcePath[f], &table, &summary) != 0) {
      printf("%s: not merged\n", SourcePath[f]);
      result = 1;
      continue;
    }
    PutPriceTable(rec, &table);
    NoteMerge(&Updates[stock], summary);
    changed = 1;
  }
  PrintUpdates(stocks);
  if (changed && !dryRun && WriteDatabase(dbPath, db) != 0) return 1;
  if (Verbose && changed)
    fprintf(stderr, dryRun ? "%s: not written (--dry-run)\n" : "%s: written, the old file kept as %s.bak\n",
            dbPath, dbPath);
  return result;
}

int RunList(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo list DB\n"
      "Lists the stocks of DB, a Palm database (RyvoDB.pdb) or a dump (Ryvo.dmp),\n"
      "in their order: position, name, rows, first and last date, flags.\n";
  if (int code = CheckArguments(&argc, argv, 1, 1, kUsage); code >= 0) return code;
  Database* db = &TheDatabase;
  if (ReadDatabase(argv[0], db) != 0) return 1;
  for (int n = 0, i; (i = DatabaseStockRecord(db, n)) >= 0; ++n) {
    const DatabaseRecord* rec = &db->record[i];
    char name[kStockNameSize + 1], shown[128], flags[48];
    DatabaseStockName(rec, name);
    int rows = CountPriceRows(rec->data, rec->length);
    printf("%d\t%s\t%d rows", n + 1, ConsoleDisplayText(name, shown, sizeof shown), rows);
    if (rows > 0) {
      PriceRow first, last;
      ReadPriceRow(rec->data + kPriceTableOffset, &first);
      ReadPriceRow(rec->data + kPriceTableOffset + kPriceRowSize * (rows - 1), &last);
      char from[kPackedDateTextSize], to[kPackedDateTextSize];
      printf("\t%s - %s", FormatPackedDate(from, sizeof from, first.date),
             FormatPackedDate(to, sizeof to, last.date));
    } else {
      printf("\t-");
    }
    printf("\t%s\n", FlagNames(rec->data[kDataFlags], flags));
  }
  return 0;
}
