// The commands of the ryvo tool that change the stock list of RyvoDB (a
// Palm database file or a dump, database.h) as RyvoWin's list and settings
// dialog change it: add a stock, remove stocks, move a stock, set a
// stock's settings. The settings go through the dialog's own fields,
// checks and lines (stock_settings.h) and into the DataRec as the
// conversion reads them (StoreStockSettings). Also add for a working
// folder and its CSV folder.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "added_stocks.h"
#include "commands.h"
#include "database.h"
#include "exchange.h"
#include "folder_rules.h"
#include "import_prices.h"
#include "platform_console.h"
#include "stock_paths.h"
#include "stock_reading.h"
#include "stock_settings.h"

namespace {

StockFields Fields;
char FieldsText[kStockFieldsTextSize];
char SettingsText[1024];
PriceTable Table;
ImportSummary Summary;

// A stock name argument as code page 932 text into `name` (kFieldSize
// bytes): 0, or 2 after "ryvo COMMAND: ..." when it is empty or cannot be
// code page 932 text.
int TakeNameArgument(const char* command, const char* argument, char* name) {
  if (argument[0] == '\0' || ConsoleArgumentText(argument, name, kFieldSize) != 0) {
    fprintf(stderr, "ryvo %s: '%s' is not a stock name\n", command, argument);
    return 2;
  }
  return 0;
}

// The stock of `db` called `name` (record index), or -1 after "ryvo
// COMMAND: NAME: no such stock in DB".
int FindStockOrSay(const char* command, const Database* db, const char* name,
                   const char* dbPath) {
  int at = FindDatabaseStock(db, name);
  if (at < 0) {
    char shown[128];
    fprintf(stderr, "ryvo %s: %s: no such stock in %s\n", command,
            ConsoleDisplayText(name, shown, sizeof shown), dbPath);
  }
  return at;
}

// 1 when `name` would be a second stock of that name among `count` names,
// or would share its files with one of them (MarkSharedFileNames), after
// saying so; else 0. `except` (-1: none) is the position of the stock that
// is being renamed.
enum { kMaxListed = 4096 };
char Listed[kMaxListed + 1][kStockNameSize + 1];
unsigned char Shared[kMaxListed + 1];
int NameTaken(const char* command, const char* name, int count, int except) {
  char shown[128];
  ConsoleDisplayText(name, shown, sizeof shown);
  int n = 0;
  for (int i = 0; i < count && n < kMaxListed; ++i) {
    if (i == except) continue;
    if (strcmp(Listed[i], name) == 0) {
      fprintf(stderr, "ryvo %s: %s: already a stock\n", command, shown);
      return 1;
    }
    memcpy(Listed[n++], Listed[i], kStockNameSize + 1);
  }
  size_t length = strlen(name);
  if (length > (size_t)kStockNameSize) length = kStockNameSize;
  memcpy(Listed[n], name, length);
  Listed[n][length] = '\0';
  MarkSharedFileNames(Listed, n + 1, Shared);
  if (Shared[n]) {
    fprintf(stderr, "ryvo %s: %s: its files would be those of another stock\n", command, shown);
    return 1;
  }
  return 0;
}

// The stock names of `db` into Listed; their count.
int ListDatabaseStocks(const Database* db) {
  int n = 0;
  for (int i; n < kMaxListed && (i = DatabaseStockRecord(db, n)) >= 0; ++n)
    DatabaseStockName(&db->record[i], Listed[n]);
  return n;
}

// Checks the name of `Fields` as the settings dialog does: 0, or 1 after
// the dialog's reason.
int CheckFields(void) {
  return ValidateStockFields(&Fields) == kFieldsValid ? 0 : 1;
}

// Puts Fields into the DataRec `rec` (its other bytes kept): 0 or -1.
int StoreFields(DatabaseRecord* rec) {
  if (rec->length < kPriceTableOffset) rec->length = kPriceTableOffset;
  memcpy(RecordBuffer, rec->data, sizeof RecordBuffer);
  int length = FormatStockFields(FieldsText, &Fields);
  if (StoreStockSettings(FieldsText, length) != 0) return -1;
  memcpy(rec->data, RecordBuffer, sizeof RecordBuffer);
  return 0;
}

// Writes the database and says so with -v.
int WriteChanged(const char* dbPath, Database* db, const char* what) {
  CountDatabaseStocks(db);
  if (WriteDatabase(dbPath, db) != 0) return 1;
  if (Verbose) fprintf(stderr, "%s: %s, the old file kept as %s.bak\n", dbPath, what, dbPath);
  return 0;
}

// The settings fields `set` knows: the settings file's 14 lines, the pairs
// of lines 8 to 14 as two fields each.
enum FieldKind { kFieldText, kFieldFlag, kFieldNumber16, kFieldNumber32 };
struct SettingField {
  const char* name;
  FieldKind kind;
  int line;     // 1..14
  int second;   // lines 8..14: 0 the first number, 1 the second
};
const SettingField kSettingFields[] = {
    {"name", kFieldText, 1, 0},          {"onlyclose", kFieldFlag, 2, 0},
    {"webscrap", kFieldFlag, 3, 0},      {"fixedscale", kFieldFlag, 4, 0},
    {"document", kFieldText, 5, 0},      {"keyword", kFieldText, 6, 0},
    {"purchase", kFieldNumber32, 7, 0},  {"open-row", kFieldNumber16, 8, 0},
    {"open-tag", kFieldNumber16, 8, 1},  {"high-row", kFieldNumber16, 9, 0},
    {"high-tag", kFieldNumber16, 9, 1},  {"low-row", kFieldNumber16, 10, 0},
    {"low-tag", kFieldNumber16, 10, 1},  {"close-row", kFieldNumber16, 11, 0},
    {"close-tag", kFieldNumber16, 11, 1}, {"volume-row", kFieldNumber16, 12, 0},
    {"volume-tag", kFieldNumber16, 12, 1}, {"price-max", kFieldNumber32, 13, 0},
    {"price-min", kFieldNumber32, 13, 1}, {"volume-max", kFieldNumber32, 14, 0},
    {"volume-min", kFieldNumber32, 14, 1},
};

const SettingField* FindSettingField(const char* name, size_t length) {
  for (const SettingField& f : kSettingFields)
    if (strlen(f.name) == length && strncmp(f.name, name, length) == 0) return &f;
  return NULL;
}

// Why `value` cannot be the value of `field`, or NULL when it can: a flag
// is 0 or 1; a number is empty (0) or a whole number in the field's range,
// digits with an optional minus sign; no value holds a line break.
const char* ValueProblem(const SettingField* field, const char* value) {
  if (strchr(value, '\n') != NULL || strchr(value, '\r') != NULL)
    return "a value holds no line break";
  if (field->kind == kFieldFlag)
    return strcmp(value, "0") == 0 || strcmp(value, "1") == 0 ? NULL : "the value is 0 or 1";
  if (field->kind == kFieldText) return NULL;
  const char* range = field->kind == kFieldNumber16
                          ? "the value is a whole number from -32768 to 32767"
                          : "the value is a whole number from -2147483648 to 2147483647";
  if (value[0] == '\0') return NULL;
  const char* p = value[0] == '-' ? value + 1 : value;
  if (*p == '\0' || strspn(p, "0123456789") != strlen(p) || strlen(p) > 11) return range;
  long long n = strtoll(value, NULL, 10);
  long long low = field->kind == kFieldNumber16 ? -32768 : -2147483648LL;
  long long high = field->kind == kFieldNumber16 ? 32767 : 2147483647LL;
  return n < low || n > high ? range : NULL;
}

// The text of `field` in Fields.
char* FieldText(const SettingField* field) {
  switch (field->line) {
    case 1: return Fields.name;
    case 5: return Fields.document;
    case 6: return Fields.keyword;
    case 7: return Fields.purchaseCount;
    default: break;
  }
  return field->second ? Fields.pairSecond[field->line - 8] : Fields.pairFirst[field->line - 8];
}

// Puts one FIELD=VALUE into Fields: 0, 2 after a usage message (no "=",
// an unknown field), 1 after the reason a value is refused.
int ApplySetting(const char* argument) {
  const char* equals = strchr(argument, '=');
  const SettingField* field =
      equals != NULL ? FindSettingField(argument, (size_t)(equals - argument)) : NULL;
  if (field == NULL) {
    fprintf(stderr, "ryvo set: '%s' is not FIELD=VALUE of a known field (ryvo set --help)\n",
            argument);
    return 2;
  }
  char value[kFieldSize];
  if (ConsoleArgumentText(equals + 1, value, sizeof value) != 0) {
    fprintf(stderr, "ryvo set: %s: the value is longer than %d bytes or not code page 932 text\n",
            field->name, kFieldSize - 1);
    return 1;
  }
  if (const char* problem = ValueProblem(field, value); problem != NULL) {
    fprintf(stderr, "ryvo set: %s=%s: %s\n", field->name, equals + 1, problem);
    return 1;
  }
  switch (field->line) {
    case 2: Fields.onlyClose = value[0] == '1'; break;
    case 3: Fields.webScrap = value[0] == '1'; break;
    case 4: Fields.fixedScale = value[0] == '1'; break;
    default:
      // An empty number is 0: written out, so that the pair keeps its order.
      if (field->kind != kFieldText && value[0] == '\0') memcpy(value, "0", 2);
      memcpy(FieldText(field), value, strlen(value) + 1);
      break;
  }
  return 0;
}

const char kAddUsage[] =
    "usage: ryvo add DB NAME [SOURCE]\n"
    "       ryvo add WORKDIR CSVDIR NAME [SOURCE]\n"
    "Adds the stock NAME at the end of the stocks of DB, a Palm database\n"
    "(RyvoDB.pdb) or a dump (Ryvo.dmp), with the empty settings of RyvoWin's\n"
    "settings dialog and the prices of the price file SOURCE (any form ryvo\n"
    "import reads, merged as ryvo update merges). NAME obeys the dialog's\n"
    "rules: at most 20 bytes, usable as a file name, not already a stock.\n"
    "DB is written whole; the file it replaces is kept as DB.bak.\n"
    "With WORKDIR and CSVDIR: the settings file WORKDIR/NAME.txt as the dialog\n"
    "writes it for a new stock and the price file CSVDIR/NAME.csv (the header\n"
    "line alone, or SOURCE imported as ryvo import does); the stock is taken\n"
    "by the next convert, check and report after the dump's stocks.\n"
    "Exit status: 0 added; 1 a refused name or a failure (nothing added);\n"
    "2 a usage error.\n";

// add WORKDIR CSVDIR NAME [SOURCE].
int AddToFolders(int argc, char** argv) {
  if (argc < 3) {
    PrintConsoleText(kAddUsage, stderr);
    return 2;
  }
  if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
  ClearStockFields(&Fields);
  if (int code = TakeNameArgument("add", argv[2], Fields.name); code != 0) return code;
  if (CheckFields() != 0) return 1;
  const char* name = Fields.name;
  if (TakeStockList("add", 0, NULL) != 0) return 1;
  StockList list = ConsoleStockList();
  int count = 0;
  for (int i = 0; i < PfListCount(list) && count < kMaxListed; ++i) {
    char entry[kNameSize];
    if (PfListGetText(list, i, entry, sizeof entry) < 0) entry[0] = '\0';
    entry[kStockNameSize] = '\0';
    memcpy(Listed[count++], entry, strlen(entry) + 1);
  }
  if (NameTaken("add", name, count, -1)) return 1;
  FolderLock workLock(WorkFolder);
  FolderLock csvLock(CsvFolder);
  if (!workLock.held || !csvLock.held || CheckExportFinished(CsvFolder) != 0) return 1;
  char csvPath[kPathSize], settingsPath[kPathSize];
  FormatStockPath(csvPath, CsvFolder, name, ".csv");
  FormatStockPath(settingsPath, WorkFolder, name, ".txt");
  char shown[1024];
  const char* paths[2] = {settingsPath, csvPath};
  for (const char* path : paths) {
    FILE* file = PfOpenFile(path, "rb");
    if (file != NULL) {
      PfCloseFile(file);
      fprintf(stderr, "ryvo add: %s is there already: the stock's files are not replaced\n",
              ConsoleDisplayPath(path, shown, sizeof shown));
      return 1;
    }
    PfForgetFileError();
  }
  if (argc > 3) {
    if (ImportPrices(name, argv[3], 0, &Summary) != 0) return 1;
  } else if (ReplaceWholeFile(csvPath, kCsvHeaderLine, (int)strlen(kCsvHeaderLine)) !=
             kWholeFileWritten) {
    fprintf(stderr, "ryvo add: %s cannot be written\n",
            ConsoleDisplayPath(csvPath, shown, sizeof shown));
    return 1;
  }
  char written[kNameSize];
  if (SaveStockFields(name, &Fields, written) != 0) {
    fprintf(stderr, "ryvo add: %s cannot be written\n",
            ConsoleDisplayPath(settingsPath, shown, sizeof shown));
    return 1;
  }
  if (AddAddedStock(WorkFolder, name) != 0) return 1;
  if (Verbose)
    fprintf(stderr, "%s: added after the stocks of Ryvo.dmp\n",
            ConsoleDisplayText(name, shown, sizeof shown));
  return 0;
}

}  // namespace

int RunAdd(int argc, char** argv) {
  if (int code = ParseArguments(&argc, argv, NULL, 0, 2, 4, kAddUsage); code >= 0) return code;
  if (ConsoleFolderProblem(argv[0]) == NULL) return AddToFolders(argc, argv);
  if (argc > 3) {
    PrintConsoleText(kAddUsage, stderr);
    return 2;
  }
  const char* dbPath = argv[0];
  ClearStockFields(&Fields);
  if (int code = TakeNameArgument("add", argv[1], Fields.name); code != 0) return code;
  if (CheckFields() != 0) return 1;
  Database* db = &TheDatabase;
  if (ReadDatabase(dbPath, db) != 0) return 1;
  if (NameTaken("add", Fields.name, ListDatabaseStocks(db), -1)) return 1;
  // The new record as long as the stock records before it (a full DataRec
  // when there are none).
  int first = DatabaseStockRecord(db, 0);
  int32_t length = first >= 0 ? db->record[first].length : kFullDataRecLength;
  Table.count = 0;
  if (argc > 2 && MergePriceFile(argv[2], &Table, &Summary) != 0) return 1;
  DatabaseRecord* rec = InsertDatabaseRecord(db, db->count);
  if (rec == NULL) return 1;
  rec->length = length;
  WriteBE16(rec->data + kDataRecordVersion, kWrittenVersion);
  if (StoreFields(rec) != 0) return 1;
  PutPriceTable(rec, &Table);
  return WriteChanged(dbPath, db, "stock added");
}

int RunRemove(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo remove DB NAME...\n"
      "Removes the stocks NAME from DB, a Palm database (RyvoDB.pdb) or a dump\n"
      "(Ryvo.dmp). Every NAME must be a stock of DB, else nothing is removed.\n"
      "DB is written whole; the file it replaces is kept as DB.bak.\n"
      "Exit status: 0 removed; 1 a NAME that is no stock, or a failure; 2 a\n"
      "usage error.\n";
  if (int code = CheckArguments(&argc, argv, 2, kAnyNumber, kUsage); code >= 0) return code;
  const char* dbPath = argv[0];
  Database* db = &TheDatabase;
  if (ReadDatabase(dbPath, db) != 0) return 1;
  static unsigned char removed[kPdbMaxRecords];
  memset(removed, 0, sizeof removed);
  int result = 0;
  for (int i = 1; i < argc; ++i) {
    char name[kFieldSize];
    if (int code = TakeNameArgument("remove", argv[i], name); code != 0) return code;
    int at = FindStockOrSay("remove", db, name, dbPath);
    if (at < 0) result = 1;
    else removed[at] = 1;
  }
  if (result != 0) return result;
  for (int at = db->count - 1; at >= 0; --at)
    if (removed[at]) RemoveDatabaseRecord(db, at);
  return WriteChanged(dbPath, db, "stocks removed");
}

int RunMove(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo move DB NAME POSITION\n"
      "Moves the stock NAME of DB, a Palm database (RyvoDB.pdb) or a dump\n"
      "(Ryvo.dmp), to POSITION in the stock list (1 is the first, as ryvo list\n"
      "numbers them); the stocks between shift by one.\n"
      "DB is written whole; the file it replaces is kept as DB.bak.\n"
      "Exit status: 0 moved; 1 no such stock or a failure; 2 a usage error\n"
      "(also a POSITION outside 1 to the stock count).\n";
  if (int code = CheckArguments(&argc, argv, 3, 3, kUsage); code >= 0) return code;
  const char* dbPath = argv[0];
  char name[kFieldSize];
  if (int code = TakeNameArgument("move", argv[1], name); code != 0) return code;
  char* end = NULL;
  long position = strtol(argv[2], &end, 10);
  if (argv[2][0] == '\0' || *end != '\0') {
    fprintf(stderr, "ryvo move: '%s' is not a position\n", argv[2]);
    return 2;
  }
  Database* db = &TheDatabase;
  if (ReadDatabase(dbPath, db) != 0) return 1;
  int from = FindStockOrSay("move", db, name, dbPath);
  if (from < 0) return 1;
  int stocks = DatabaseStockCount(db);
  if (position < 1 || position > stocks) {
    fprintf(stderr, "ryvo move: position %s: %s holds %d stocks\n", argv[2], dbPath, stocks);
    return 2;
  }
  MoveDatabaseRecord(db, from, DatabaseStockRecord(db, (int)position - 1));
  return WriteChanged(dbPath, db, "stock moved");
}

int RunSet(int argc, char** argv) {
  static const char kUsage[] =
                   "usage: ryvo set DB NAME FIELD=VALUE...\n"
                   "Sets settings of the stock NAME of DB, a Palm database (RyvoDB.pdb) or a\n"
                   "dump (Ryvo.dmp), as RyvoWin's settings dialog sets them. The fields:\n"
                   "  name                   the stock name (20 bytes, a file name, no other stock's)\n"
                   "  onlyclose webscrap fixedscale   flags: 0 or 1\n"
                   "  document               the Web document (120 bytes)\n"
                   "  keyword                the keyword (20 bytes)\n"
                   "  purchase               the purchase count\n"
                   "  open-row open-tag high-row high-tag low-row low-tag close-row close-tag\n"
                   "  volume-row volume-tag  the Web fetch pairs (-32768 to 32767)\n"
                   "  price-max price-min volume-max volume-min   the fixed scales\n"
                   "Numbers are whole numbers (an empty value is 0); the purchase count and\n"
                   "the scales from -2147483648 to 2147483647. The settings are checked as\n"
                   "the dialog checks them; a value refused changes nothing.\n"
                   "DB is written whole; the file it replaces is kept as DB.bak.\n"
                   "Exit status: 0 set; 1 a refused value, no such stock or a failure;\n"
                   "2 a usage error (an unknown field).\n";
  if (int code = CheckArguments(&argc, argv, 3, kAnyNumber, kUsage); code >= 0) return code;
  const char* dbPath = argv[0];
  char name[kFieldSize];
  if (int code = TakeNameArgument("set", argv[1], name); code != 0) return code;
  for (int i = 2; i < argc; ++i)
    if (strchr(argv[i], '=') == NULL ||
        FindSettingField(argv[i], (size_t)(strchr(argv[i], '=') - argv[i])) == NULL)
      return ApplySetting(argv[i]);   // the usage message
  Database* db = &TheDatabase;
  if (ReadDatabase(dbPath, db) != 0) return 1;
  int at = FindStockOrSay("set", db, name, dbPath);
  if (at < 0) return 1;
  DatabaseRecord* rec = &db->record[at];
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  memcpy(RecordBuffer, rec->data, (size_t)rec->length);
  int length = FormatStockSettings(SettingsText);
  if (ReadStockFieldsText(SettingsText, length, &Fields) != kFieldsReady) return 1;
  for (int i = 2; i < argc; ++i)
    if (int code = ApplySetting(argv[i]); code != 0) return code;
  if (Fields.name[0] == '\0') {
    fprintf(stderr, "ryvo set: name: a stock has a name\n");
    return 1;
  }
  if (CheckFields() != 0) return 1;
  if (strcmp(Fields.name, name) != 0) {
    int count = ListDatabaseStocks(db);
    int self = -1;
    for (int i = 0; i < count && self < 0; ++i)
      if (DatabaseStockRecord(db, i) == at) self = i;
    if (NameTaken("set", Fields.name, count, self)) return 1;
  }
  if (StoreFields(rec) != 0) return 1;
  rec->attributes |= kPdbRecDirty;
  return WriteChanged(dbPath, db, "settings written");
}
