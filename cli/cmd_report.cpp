// The picture commands of the ryvo tool: chart (one stock as SVG) and
// report (every stock on one HTML page). The drawing is report/'s; here the
// arguments are read, the stocks found and the text written out.
#include <stdio.h>
#include <string.h>

#include "commands.h"
#include "database.h"
#include "folder_rules.h"
#include "platform_console.h"
#include "exchange.h"
#include "stock_chart.h"
#include "stock_check.h"
#include "stock_paths.h"
#include "stock_report.h"

namespace {

enum { kChartTextSize = 1 << 20, kReportTextSize = 64 << 20 };
char ChartText[kChartTextSize];
ChartLayout Layout;
char ReportText[kReportTextSize];
StockCheck Check;

// Writes the text to FILE (replaced whole or left as it was) or to
// standard output (no -o, or "-o -"). 0, or 1 after a message.
int WriteOut(const char* command, const char* output, const TextSink* text) {
  if (output == NULL || strcmp(output, "-") == 0) {
    return fwrite(text->data, 1, (size_t)text->length, stdout) == (size_t)text->length ? 0 : 1;
  }
  if (ReplaceWholeFile(output, text->data, text->length) != kWholeFileWritten) {
    fprintf(stderr, "ryvo %s: cannot write %s\n", command, output);
    return 1;
  }
  return 0;
}

bool StockNameArgument(const char* command, const char* argument, char* name) {
  if (ConsoleArgumentText(argument, name, 81) != 0 || name[0] == '\0' ||
      strlen(name) > kStockNameSize) {
    fprintf(stderr, "ryvo %s: '%s' is not a stock name of 1 to 20 bytes\n", command, argument);
    return false;
  }
  return true;
}

// The DataRec of stock `name` in the dump at `path`, left in RecordBuffer.
// 0, or -1 after a message.
int FindDumpStock(const char* path, const char* name, int32_t* length) {
  FILE* dump = PfOpenFile(path, "rb");
  if (dump == NULL) {
    PfMessageBox("RyvoDB file open error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  PfFileCloser closer(dump);
  if (CheckDumpRecords(dump) != 0 || ReadDumpHeader(dump, length) != 0) return -1;
  int status;
  while ((status = ReadDumpRecord(dump, length)) == kRecordRead) {
    char stock[kStockNameSize + 1];
    ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, stock);
    if (strcmp(stock, name) == 0) return 0;
  }
  if (status != kRecordEnd) {
    PfMessageBox("RyvoDB file Data.Rec. read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  char shown[128];
  fprintf(stderr, "ryvo chart: the dump holds no stock '%s'\n",
          ConsoleDisplayText(name, shown, sizeof shown));
  return -1;
}

int DrawChart(const char* output, int32_t length) {
  LayoutChart(RecordBuffer, length, &Layout);
  TextSink text;
  SinkInit(&text, ChartText, sizeof ChartText);
  SinkPut(&text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  DrawChartSvg(&Layout, &text, NULL);
  if (text.full) {
    fprintf(stderr, "ryvo chart: the chart is larger than %d bytes\n", kChartTextSize);
    return 1;
  }
  return WriteOut("chart", output, &text);
}

void PrintFindings(const StockCheck* check) {
  char shown[1024], text[512], path[520];
  for (int i = 0; i < check->findingCount; ++i) {
    const CheckFinding& f = check->findings[i];
    const char* file = f.file == kCheckCsvFile ? check->csvPath : check->settingsPath;
    if (file[0] == '\0')
      ConsoleDisplayText(check->name, path, sizeof path);
    else
      ConsoleDisplayPath(file, path, sizeof path);
    if (f.line > 0)
      fprintf(stderr, "%s:%d: %s: ", path, f.line, CheckKindName(f.kind));
    else
      fprintf(stderr, "%s: %s: ", path, CheckKindName(f.kind));
    if (f.text[0] != '\0') fprintf(stderr, "\"%s\" ", ConsoleDisplayText(f.text, text, sizeof text));
    fprintf(stderr, "%s\n", ConsoleDisplayText(f.message, shown, sizeof shown));
  }
}

int ChartFromFiles(char** argv, const char* output) {
  char name[81];
  if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
  if (CheckExportFinished(CsvFolder) != 0) return 1;
  if (!StockNameArgument("chart", argv[2], name))
    return 2;
  int32_t recordLength = CheckRecordLength();
  if (CheckStock(name, recordLength, &Check) != 0) {
    char shown[128];
    fprintf(stderr, "ryvo chart: the conversion stops at '%s':\n",
            ConsoleDisplayText(name, shown, sizeof shown));
    PrintFindings(&Check);
    return 1;
  }
  return DrawChart(output, recordLength);
}

// The stock `name` of TheDatabase as the handheld holds it: its DataRec
// into RecordBuffer and what a report shows of it (no findings: nothing
// is read from files). -1 when the database holds no such stock.
int ReadDatabaseStock(const char* name, int32_t recordLength, StockCheck* check) {
  (void)recordLength;
  memset(check, 0, sizeof *check);
  snprintf(check->name, sizeof check->name, "%s", name);
  int at = FindDatabaseStock(&TheDatabase, name);
  if (at < 0) {
    check->stopsConversion = 1;
    return -1;
  }
  const DatabaseRecord* rec = &TheDatabase.record[at];
  memcpy(RecordBuffer, rec->data, sizeof RecordBuffer);
  check->rows = CountPriceRows(RecordBuffer, rec->length);
  check->flags = RecordBuffer[kDataFlags];
  if (check->rows > 0) {
    PriceRow row;
    ReadPriceRow(RecordBuffer + kPriceTableOffset, &row);
    check->firstDate = row.date;
    ReadPriceRow(RecordBuffer + kPriceTableOffset + kPriceRowSize * (check->rows - 1), &row);
    check->lastDate = row.date;
  }
  return 0;
}

// "report DB": every stock of the database on one page.
int ReportDatabase(const char* path, const char* output) {
  if (ReadDatabase(path, &TheDatabase) != 0) return 1;
  ConsoleListClear();
  StockList list = ConsoleStockList();
  char name[kStockNameSize + 1];
  for (int n = 0, i; (i = DatabaseStockRecord(&TheDatabase, n)) >= 0; ++n) {
    DatabaseStockName(&TheDatabase.record[i], name);
    PfListAppend(list, name);
  }
  if (PfListCount(list) == 0) {
    fprintf(stderr, "ryvo report: %s holds no stocks\n", path);
    return 1;
  }
  int first = DatabaseStockRecord(&TheDatabase, 0);
  ReportSource source = {path, path, TheDatabase.record[first].length, ReadDatabaseStock};
  TextSink text;
  SinkInit(&text, ReportText, sizeof ReportText);
  if (WriteStockReport(list, &source, &text) != 0) {
    fprintf(stderr, "ryvo report: the page is larger than %d MB\n", kReportTextSize >> 20);
    return 1;
  }
  return WriteOut("report", output, &text);
}

}  // namespace

int RunChart(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo chart WORKDIR CSVDIR NAME [-o FILE.svg]\n"
      "       ryvo chart DB NAME [-o FILE.svg]\n"
      "Draws the chart of stock NAME as SVG: from its settings and price CSV\n"
      "files as the conversion will send it to the handheld, or from DB, a Palm\n"
      "database (RyvoDB.pdb) or a dump (Ryvo.dmp), as the handheld holds it\n"
      "now. Candles (a close line for 1本値), volume, and with 固定スケール\n"
      "the stock's Max and Min as axes, prices beyond them clipped and marked.\n"
      "Writes FILE.svg, or standard output.\n";
  CommandOption options[] = {{"-o", "--output", true, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 2, 3, kUsage);
      code >= 0)
    return code;
  const char* output = options[0].value;
  if (argc == 3) return ChartFromFiles(argv, output);
  char name[81];
  if (!StockNameArgument("chart", argv[1], name)) return 2;
  char problem[256];
  if (DatabaseKindOfFile(argv[0], problem, sizeof problem) == kDatabasePdb &&
      IdentifyPdb(argv[0], problem, sizeof problem) == kPdbIsRyvoDB) {
    // A Palm database: the stock's record as the handheld holds it.
    if (ReadDatabase(argv[0], &TheDatabase) != 0) return 1;
    if (ReadDatabaseStock(name, 0, &Check) != 0) {
      char shown[128];
      fprintf(stderr, "ryvo chart: %s holds no stock '%s'\n", argv[0],
              ConsoleDisplayText(name, shown, sizeof shown));
      return 1;
    }
    return DrawChart(output, TheDatabase.record[FindDatabaseStock(&TheDatabase, name)].length);
  }
  int32_t length;
  if (FindDumpStock(argv[0], name, &length) != 0) return 1;
  return DrawChart(output, length);
}

int RunReport(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo report WORKDIR CSVDIR [NAME ...] [--only] [-o FILE.html]\n"
      "       ryvo report DB [-o FILE.html]\n"
      "Writes one self-contained HTML page of the stocks as the conversion will\n"
      "send them (the stocks ryvo convert takes from the same NAMEs and --only:\n"
      "by default those of WORKDIR/Ryvo.dmp and the stocks added since): a\n"
      "table of all stocks, then per stock\n"
      "its chart, its settings and what the check finds in its files. Writes\n"
      "FILE.html, or standard output. With DB, a Palm database (RyvoDB.pdb)\n"
      "or a dump (Ryvo.dmp), the page shows the stocks as the handheld holds\n"
      "them now.\n";
  CommandOption options[] = {{"-o", "--output", true, false, NULL},
                             {"--only", NULL, false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 1, kAnyNumber,
                                kUsage);
      code >= 0)
    return code;
  const char* output = options[0].value;
  if (argc == 1) return ReportDatabase(argv[0], output);
  if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
  if (CheckExportFinished(CsvFolder) != 0) return 1;
  // The stocks as the conversion takes them.
  if (int code = TakeStockList("report", argc - 2, argv + 2, options[1].given); code != 0)
    return code;
  StockList list = ConsoleStockList();
  if (PfListCount(list) == 0) {
    fprintf(stderr, "ryvo report: no stocks (no readable Ryvo.dmp, or one without stocks)\n");
    return 1;
  }
  ReportSource source = {WorkFolder, CsvFolder, CheckRecordLength(), CheckStock};
  TextSink text;
  SinkInit(&text, ReportText, sizeof ReportText);
  if (WriteStockReport(list, &source, &text) != 0) {
    fprintf(stderr, "ryvo report: the page is larger than %d MB\n", kReportTextSize >> 20);
    return 1;
  }
  return WriteOut("report", output, &text);
}
