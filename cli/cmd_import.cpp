// The import command of the ryvo tool: a price history from a quotes site,
// a spreadsheet or a broker merged into a stock's price CSV file, and the
// settings file of a new stock; then the summary of what it did.
#include <stdio.h>
#include <string.h>

#include "commands.h"
#include "added_stocks.h"
#include "folder_rules.h"
#include "platform_console.h"
#include "exchange.h"
#include "import_prices.h"
#include "stock_paths.h"
#include "stock_settings.h"

namespace {

const char kUsage[] =
    "usage: ryvo import WORKDIR CSVDIR NAME FILE [--replace]\n"
    "Reads the price history FILE and merges it by date into the price CSV file\n"
    "CSVDIR/NAME.csv: a date already there takes the imported row, new dates are\n"
    "added; with --replace the file holds the imported rows alone. The file keeps\n"
    "the 260 latest dates, oldest first, in the export's format, each value\n"
    "rounded half up to what the handheld holds (two decimals, 17 significant\n"
    "bits). When WORKDIR/NAME.txt does not exist, a new stock's settings file\n"
    "with empty fields is written there.\n"
    "FILE: a header line naming the columns in any order (Date Open High Low\n"
    "Close Volume, Adj Close not used; 日付 始値 高値 安値 終値 出来高 or 売買高),\n"
    "or no header and the columns date, open, high, low, close, volume; fields\n"
    "separated by commas, semicolons or tabs, quoted or not; UTF-8 or code page\n"
    "932; dates 2025-01-06, 2025/01/06, 2025/1/6, 20250106 or 2025年1月6日.\n"
    "Lines with a missing value (empty, null, NaN, -), a value the handheld cannot\n"
    "hold or a date outside 1904-2031 are skipped and counted.\n"
    "Exit status: 0 imported; 1 nothing imported or a file not written (the price\n"
    "file then as it was); 2 a usage error.\n";

const char* EncodingName(int encoding) {
  switch (encoding) {
    case kEncodingUtf8: return "UTF-8";
    case kEncodingUtf8Bom: return "UTF-8 with byte-order mark";
    case kEncodingCp932: return "code page 932";
    default: return "ASCII";
  }
}

const char* SeparatorName(char separator) {
  return separator == '\t' ? "tab" : separator == ';' ? "semicolon" : "comma";
}

void PrintDate(unsigned date) {
  char text[kPackedDateTextSize];
  fputs(FormatPackedDate(text, sizeof text, date), stderr);
}

void PrintColumns(const ImportSummary& s) {
  static const char* const kNames[kImportColumns] = {"date", "open", "high",
                                                     "low",  "close", "volume"};
  fprintf(stderr, "columns:");
  for (int i = 0; i < kImportColumns; ++i) {
    if (s.column[i] >= 0)
      fprintf(stderr, " %s %d", kNames[i], s.column[i] + 1);
    else
      fprintf(stderr, " %s -%s", kNames[i], i == kImportVolume ? " (0)" : " (the close)");
    fprintf(stderr, i + 1 < kImportColumns ? "," : "\n");
  }
}

// A path as the host names it, as the console shows it.
const char* ShownPath(const char* path, char* out, int size) {
  return ConsoleDisplayPath(path, out, size);
}

void PrintSummary(const ImportSummary& s, const char* csvPath, const char* settingsPath) {
  char shown[1024];
  fprintf(stderr, "read: %d data line%s (%s, %s separated, ", s.linesRead,
          s.linesRead == 1 ? "" : "s", EncodingName(s.encoding), SeparatorName(s.separator));
  if (s.headerLine > 0)
    fprintf(stderr, "header on line %d)\n", s.headerLine);
  else
    fprintf(stderr, "no header line)\n");
  if (s.linesPassedOver > 0) fprintf(stderr, "passed over: %d lines above the data\n", s.linesPassedOver);
  PrintColumns(s);
  fprintf(stderr, "used: %d row%s\n", s.rowsUsed, s.rowsUsed == 1 ? "" : "s");
  fprintf(stderr, "skipped: %d row%s\n", s.rowsSkipped, s.rowsSkipped == 1 ? "" : "s");
  for (int r = kSkipNone + 1; r < kSkipReasonCount; ++r) {
    if (s.skipped[r] == 0) continue;
    fprintf(stderr, "  %d %s: line", s.skipped[r], ImportSkipText(r));
    int listed = s.skipped[r] < kImportListedLines ? s.skipped[r] : kImportListedLines;
    for (int i = 0; i < listed; ++i) fprintf(stderr, "%s %d", i > 0 ? "," : "", s.skippedLine[r][i]);
    fprintf(stderr, s.skipped[r] > listed ? ", ...\n" : "\n");
  }
  if (s.duplicateDates > 0)
    fprintf(stderr, "duplicates: %d dates given more than once (the last line kept)\n", s.duplicateDates);
  fprintf(stderr, "rounded: %d values", s.valuesRounded);
  if (s.valuesRounded > 0) fprintf(stderr, ", largest change %.6f%%", s.largestChange * 100.0);
  fprintf(stderr, "\n");
  fprintf(stderr, "existing: %d rows in %s\n", s.existingRows, ShownPath(csvPath, shown, sizeof shown));
  if (s.existingStopLine > 0)
    fprintf(stderr, "  its line %d ends the conversion's reading: it and the lines after it are not kept\n",
           s.existingStopLine);
  if (s.rowsStored == 0) return;
  fprintf(stderr, "merged: %d dates replaced, %d added, %d older dates left out beyond 260\n",
         s.datesReplaced, s.datesAdded, s.datesLeftOut);
  fprintf(stderr, "stored: %d rows, ", s.rowsStored);
  PrintDate(s.firstDate);
  fprintf(stderr, " - ");
  PrintDate(s.lastDate);
  fprintf(stderr, "\n");
  if (s.settingsWritten)
    fprintf(stderr, "new stock: %s written with empty settings\n",
           ShownPath(settingsPath, shown, sizeof shown));
}

bool FileExists(const char* path) {
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL) return false;
  PfCloseFile(file);
  return true;
}

}  // namespace

int RunImport(int argc, char** argv) {
  CommandOption options[] = {{"--replace", NULL, false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 4, 4, kUsage);
      code >= 0)
    return code;
  int replace = options[0].given ? 1 : 0;
  if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
  // One writer at a time in both folders; the merge starts from whole files.
  FolderLock workLock(WorkFolder);
  FolderLock csvLock(CsvFolder);
  if (!workLock.held || !csvLock.held || CheckExportFinished(CsvFolder) != 0) return 1;
  char name[81];
  char csvPath[kPathSize], settingsPath[kPathSize];
  if (ConsoleArgumentText(argv[2], name, sizeof name) != 0 || strlen(name) > kStockNameSize ||
      FormatStockPath(csvPath, CsvFolder, name, ".csv") != 0 ||
      FormatStockPath(settingsPath, WorkFolder, name, ".txt") != 0) {
    fprintf(stderr,
            "ryvo import: '%s' is not a stock name: at most 20 bytes, none of \\ / :, "
            "not . or ..\n",
            argv[2]);
    return 2;
  }
  if (strlen(argv[3]) >= kPathSize) {
    fprintf(stderr, "ryvo import: the file path must be at most 259 bytes long\n");
    return 2;
  }

  static ImportSummary summary;
  int newPriceFile = PfFileMissing(csvPath);
  int result = ImportPrices(name, argv[3], replace, &summary);
  if (result == 0 && !FileExists(settingsPath)) {
    // A new stock: the settings file the settings dialog writes for it.
    static StockFields fields;
    char written[kNameSize];
    ClearStockFields(&fields);
    memcpy(fields.name, name, strlen(name) + 1);
    if (SaveStockFields(name, &fields, written) != 0) {
      char shown[1024];
      fprintf(stderr, "ryvo import: %s cannot be written\n",
              ShownPath(settingsPath, shown, sizeof shown));
      // Then the new stock is not added at all: its price file goes too.
      if (newPriceFile) PfDeleteFile(csvPath);
      result = -1;
    } else {
      summary.settingsWritten = 1;
      // Taken by the next conversion after the dump's stocks.
      if (AddAddedStock(WorkFolder, name) != 0) result = -1;
    }
  }
  // What was read and stored, with -v, once it is stored.
  if (Verbose && result == 0 && (summary.linesRead > 0 || summary.headerLine > 0))
    PrintSummary(summary, csvPath, settingsPath);
  return result == 0 ? 0 : 1;
}
