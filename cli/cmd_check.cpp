// ryvo check: what the next conversion would make of each stock's files,
// told before the HotSync, in the manner of a compiler or as JSON.
#include <stdio.h>
#include <string.h>

#include "commands.h"
#include "database.h"
#include "folder_rules.h"
#include "platform_console.h"
#include "exchange.h"
#include "stock_check.h"
#include "stock_paths.h"
#include "text_codec.h"

namespace {

StockCheck Check;   // one stock at a time

const char* const kColumnNames[5] = {"始値", "高値", "安値", "終値", "売買高"};

// A file of the check as the host names it, in the console's encoding;
// a stock whose name cannot be a file name has no path: its name is shown.
const char* ShownPath(const StockCheck* c, int file, char* out, int size) {
  const char* path = file == kCheckSettingsFile ? c->settingsPath : c->csvPath;
  if (path[0] == '\0') return ConsoleDisplayText(c->name, out, size);
  return ConsoleDisplayPath(path, out, size);
}

void FlagList(int flags, char* out) {
  out[0] = '\0';
  if (flags & kFlagOnlyClose) strcat(out, " OnlyClose");
  if (flags & kFlagWebScrap) strcat(out, " WebScrap");
  if (flags & kFlagFixedScale) strcat(out, " FixedScale");
}

void PrintStock(const StockCheck* c) {
  static char shown[2048];
  static char path[1024];
  char first[kPackedDateTextSize], last[kPackedDateTextSize], flags[48];
  FlagList(c->flags, flags);
  printf("%s: ", ConsoleDisplayText(c->name, shown, sizeof shown));
  if (c->stopsConversion)
    printf("the conversion stops at this stock\n");
  else if (c->rows == 0)
    printf("0 rows, flags%s\n", flags[0] != '\0' ? flags : " -");
  else
    printf("%d rows, %s - %s, flags%s\n", c->rows,
           FormatPackedDate(first, sizeof first, c->firstDate),
           FormatPackedDate(last, sizeof last, c->lastDate), flags[0] != '\0' ? flags : " -");
  for (int i = 0; i < c->findingCount; ++i) {
    const CheckFinding* f = &c->findings[i];
    ShownPath(c, f->file, path, sizeof path);
    if (f->line > 0)
      printf("%s:%d: %s: ", path, f->line, CheckKindName(f->kind));
    else
      printf("%s: %s: ", path, CheckKindName(f->kind));
    if (f->text[0] != '\0') printf("\"%s\" ", ConsoleDisplayText(f->text, shown, sizeof shown));
    printf("%s\n", ConsoleDisplayText(f->message, shown, sizeof shown));
  }
  if (c->findingsLeftOut > 0) printf("(%d more findings not shown)\n", c->findingsLeftOut);
}

// A UTF-8 text as a JSON string.
void PrintJsonUtf8(const char* utf8) {
  putchar('"');
  for (const unsigned char* p = (const unsigned char*)utf8; *p != '\0'; ++p) {
    if (*p == '"' || *p == '\\')
      printf("\\%c", *p);
    else if (*p < 0x20)
      printf("\\u%04x", *p);
    else
      putchar(*p);
  }
  putchar('"');
}

// A code page 932 text as a JSON string in UTF-8.
void PrintJsonString(const char* cp932) {
  static char utf8[4096];
  PrintJsonUtf8(Cp932ToUtf8Shown(cp932, utf8, sizeof utf8));
}

// A file of the check as a JSON string: outside Windows the host's path
// is UTF-8 already; on Windows it is code page 932.
void PrintJsonPath(const StockCheck* c, int file) {
  static char host[1024];
  ShownPath(c, file, host, sizeof host);
#ifdef _WIN32
  PrintJsonString(host);
#else
  PrintJsonUtf8(host);
#endif
}

void PrintJsonStock(const StockCheck* c, int first) {
  char date[kPackedDateTextSize], flags[48];
  printf("%s\n    {\"name\": ", first ? "" : ",");
  PrintJsonString(c->name);
  printf(", \"rows\": %d, \"first\": ", c->rows);
  if (c->rows > 0)
    PrintJsonString(FormatPackedDate(date, sizeof date, c->firstDate));
  else
    printf("null");
  printf(", \"last\": ");
  if (c->rows > 0)
    PrintJsonString(FormatPackedDate(date, sizeof date, c->lastDate));
  else
    printf("null");
  FlagList(c->flags, flags);
  printf(", \"flags\": [");
  for (char* f = strtok(flags, " "); f != NULL; f = strtok(NULL, " "))
    printf("%s\"%s\"", f == flags + 1 ? "" : ", ", f);
  printf("], \"stops_conversion\": %s, \"findings\": [", c->stopsConversion ? "true" : "false");
  for (int i = 0; i < c->findingCount; ++i) {
    const CheckFinding* f = &c->findings[i];
    printf("%s\n      {\"kind\": \"%s\", \"file\": ", i == 0 ? "" : ",", CheckKindName(f->kind));
    PrintJsonPath(c, f->file);
    printf(", \"line\": %d, \"last_line\": %d, \"count\": %d, \"loses\": %s", f->line,
           f->lastLine, f->count, CheckFindingLoses(f) ? "true" : "false");
    if (f->column >= 0) {
      printf(", \"column\": ");
      PrintJsonString(kColumnNames[f->column]);
    }
    if (f->text[0] != '\0') {
      printf(", \"text\": ");
      PrintJsonString(f->text);
    }
    printf(", \"message\": ");
    PrintJsonString(f->message);
    printf("}");
  }
  printf("%s]}", c->findingCount > 0 ? "\n    " : "");
}

}  // namespace

namespace {

// One finding of "check DB" on standard output; counts it.
int DatabaseFindings;
void SayFinding(const char* db, int position, const char* name, const char* kind,
                const char* what) {
  char shown[128];
  printf("%s: stock %d %s: %s: %s\n", db, position, ConsoleDisplayText(name, shown, sizeof shown),
         kind, what);
  ++DatabaseFindings;
}

// "check DB": what the handheld holds now. A damaged dump is told by
// CheckDumpRecords (its record), a damaged Palm database by ReadDatabase;
// then per stock a name that cannot be a file name or that makes the
// same files as another stock's (load writes no settings file for it), and
// price rows whose date is no calendar date or lies out of order (a year
// beyond 2031 that wrapped to the 1900s, sorted before the others).
int CheckDatabase(const char* path) {
  char problem[256];
  if (DatabaseKindOfFile(path, problem, sizeof problem) != kDatabasePdb ||
      IdentifyPdb(path, problem, sizeof problem) != kPdbIsRyvoDB) {
    FILE* dump = PfOpenFile(path, "rb");
    if (dump != NULL) {
      PfFileCloser closer(dump);
      if (CheckDumpRecords(dump) != 0) return 1;
    }
  }
  Database* db = &TheDatabase;
  if (ReadDatabase(path, db) != 0) return 1;
  static char names[kMaxStocks][kStockNameSize + 1];
  static unsigned char shared[kMaxStocks];
  int count = 0;
  for (int i; count < kMaxStocks && (i = DatabaseStockRecord(db, count)) >= 0; ++count)
    DatabaseStockName(&db->record[i], names[count]);
  MarkSharedFileNames(names, count, shared);
  DatabaseFindings = 0;
  char host[kPathSize], what[256];
  for (int n = 0; n < count; ++n) {
    const DatabaseRecord* rec = &db->record[DatabaseStockRecord(db, n)];
    if (!IsStockFileName(names[n]) || HostStockName(names[n], host, sizeof host) != 0)
      SayFinding(path, n + 1, names[n], "name-unusable",
                 "the name cannot be a file name: load writes no settings file for it");
    else if (shared[n])
      SayFinding(path, n + 1, names[n], "name-shared",
                 "another stock's name makes the same files: load writes no settings file for it");
    int rows = CountPriceRows(rec->data, rec->length);
    unsigned previous = 0;
    for (int r = 0; r < rows; ++r) {
      PriceRow row;
      ReadPriceRow(rec->data + kPriceTableOffset + kPriceRowSize * r, &row);
      int y, m, d;
      DecodePackedDate(row.date, &y, &m, &d);
      char date[kPackedDateTextSize];
      FormatPackedDate(date, sizeof date, row.date);
      if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) {
        snprintf(what, sizeof what, "row %d: %s is no calendar date", r + 1, date);
        SayFinding(path, n + 1, names[n], "date-invalid", what);
      }
      if (r + 1 < rows) {
        PriceRow next;
        ReadPriceRow(rec->data + kPriceTableOffset + kPriceRowSize * (r + 1), &next);
        int ny, nm, nd;
        DecodePackedDate(next.date, &ny, &nm, &nd);
        // Rows are kept oldest first; a year more than 64 years before the
        // next row's is a year beyond 2031 that wrapped.
        if (ny - y > 64) {
          snprintf(what, sizeof what, "row %d: %s is a year beyond 2031 that wrapped to %d", r + 1,
                   date, y);
          SayFinding(path, n + 1, names[n], "date-wraps", what);
        }
      }
      if (r > 0 && row.date < previous) {
        snprintf(what, sizeof what, "row %d: %s is before the row above it", r + 1, date);
        SayFinding(path, n + 1, names[n], "date-order", what);
      }
      previous = row.date;
    }
  }
  return DatabaseFindings > 0 ? 1 : 0;
}

}  // namespace

int RunCheck(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo check WORKDIR CSVDIR [NAME ...] [--only] [--json]\n"
      "       ryvo check DB\n"
      "Reads each stock's settings file in WORKDIR and price CSV file in CSVDIR\n"
      "exactly as 'ryvo convert' (and RyvoWin's direction button) would, writes\n"
      "nothing, and says everything the handheld would not get as the files say\n"
      "it: a line that ends the prices, lines beyond the 260 kept, values stored\n"
      "as 0 or cut, dates that wrap or do not exist, texts and numbers cut, the\n"
      "forms the conversion does not read (pieces after the volume, exponents,\n"
      "dates other than year/month/day, a settings file in UTF-8, control bytes\n"
      "in texts), and the failures that stop the conversion. The stocks are the\n"
      "NAMEs in that order, or those of WORKDIR/Ryvo.dmp in file order and the\n"
      "stocks added since; NAMEs that leave out a stock are refused unless\n"
      "--only is given, as ryvo convert takes them. One line\n"
      "per finding, one for a cause on 3 or more lines of a file:\n"
      "  FILE:LINE: KIND: \"TEXT\" what happens\n"
      "--json prints the same as one JSON document in UTF-8.\n"
      "Exit status: 0 when the handheld would get exactly what the files say\n"
      "(date-duplicate, name-differs and the findings that only inform, such\n"
      "as the oldest days dropped from a file in date order), 1 when anything\n"
      "would be lost or changed or the conversion would stop, 2 for a usage\n"
      "error or when there is no stock to check.\n"
      "With DB, a Palm database (RyvoDB.pdb) or a dump (Ryvo.dmp): what the\n"
      "handheld holds now: a damaged record, names that cannot be file names or\n"
      "that make one file for two stocks, dates that are no calendar date or\n"
      "wrapped; one line per finding, exit status 1 when there is any.\n";
  CommandOption options[] = {{"--json", NULL, false, false, NULL},
                             {"--only", NULL, false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 1, kAnyNumber, kUsage);
      code >= 0)
    return code;
  if (argc == 1) {
    if (ConsoleFolderProblem(argv[0]) == NULL || options[0].given || options[1].given) {
      PrintConsoleText(kUsage, stderr);
      return 2;
    }
    return CheckDatabase(argv[0]);
  }
  int json = options[0].given ? 1 : 0;
  if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
  if (CheckExportFinished(CsvFolder) != 0) return 1;
  if (int code = TakeStockList("check", argc - 2, argv + 2, options[1].given); code != 0)
    return code;
  StockList list = ConsoleStockList();
  int count = PfListCount(list);
  if (count == 0) {
    fprintf(stderr, "ryvo check: no stocks to check (no NAME, and no readable Ryvo.dmp)\n");
    return 2;
  }
  int32_t recordLength = CheckRecordLength();
  int loses = 0;
  int stoppedAt = -1;
  int findings = 0;
  if (json) printf("{\"stocks\": [");
  for (int i = 0; i < count; ++i) {
    char name[81];
    PfListGetText(list, i, name, sizeof name);
    CheckStock(name, recordLength, &Check);
    for (int k = 0; k < Check.findingCount; ++k)
      if (CheckFindingLoses(&Check.findings[k])) loses = 1;
    findings += Check.findingCount + Check.findingsLeftOut;
    if (Check.findingsLeftOut > 0) loses = 1;
    if (json)
      PrintJsonStock(&Check, i == 0);
    else
      PrintStock(&Check);
    if (Check.stopsConversion && stoppedAt < 0) stoppedAt = i;
  }
  if (stoppedAt >= 0) loses = 1;
  static char shown[256];
  if (json) {
    printf("\n  ], \"stops_at\": ");
    if (stoppedAt >= 0) {
      char name[81];
      PfListGetText(list, stoppedAt, name, sizeof name);
      PrintJsonString(name);
    } else {
      printf("null");
    }
    printf(", \"not_reached\": [");
    for (int i = stoppedAt + 1; stoppedAt >= 0 && i < count; ++i) {
      char name[81];
      PfListGetText(list, i, name, sizeof name);
      if (i > stoppedAt + 1) printf(", ");
      PrintJsonString(name);
    }
    printf("], \"exact\": %s}\n", loses ? "false" : "true");
    return loses;
  }
  if (stoppedAt >= 0) {
    char name[81];
    PfListGetText(list, stoppedAt, name, sizeof name);
    printf("ryvo check: the conversion stops at %s", ConsoleDisplayText(name, shown, sizeof shown));
    if (stoppedAt + 1 < count) {
      printf("; not reached:");
      for (int i = stoppedAt + 1; i < count; ++i) {
        PfListGetText(list, i, name, sizeof name);
        printf(" %s", ConsoleDisplayText(name, shown, sizeof shown));
      }
    }
    printf("\n");
  }
  printf("ryvo check: %d stock%s, %d finding%s; %s\n", count, count == 1 ? "" : "s", findings,
         findings == 1 ? "" : "s",
         loses ? "the handheld would not get what the files say"
               : "the handheld would get exactly what the files say");
  return loses;
}
