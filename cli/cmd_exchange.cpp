// The exchange commands of the ryvo tool: info, load, export, convert and
// sample. They run the same exchange code as RyvoWin and write the same
// files under the same names.
#include <stdio.h>
#include <string.h>

#include "commands.h"
#include "database.h"
#include "platform_console.h"
#include "exchange.h"
#include "sample_dump.h"
#include "added_stocks.h"
#include "folder_rules.h"
#include "stock_paths.h"
#include "stock_reading.h"

int SetFolder(char* folder, const char* argument, const char* what) {
  size_t n = strlen(argument);
  if (n == 0 || n >= kPathSize) {
    fprintf(stderr, "ryvo: the %s must be 1 to 259 bytes long\n", what);
    return 2;
  }
  if (const char* problem = ConsoleFolderProblem(argument)) {
    fprintf(stderr, "ryvo: %s: %s\n", argument, problem);
    return 1;
  }
  memcpy(folder, argument, n + 1);
  return 0;
}

int SetFolders(const char* workFolder, const char* csvFolder) {
  if (int code = SetFolder(WorkFolder, workFolder, "working folder"); code != 0) return code;
  return SetFolder(CsvFolder, csvFolder, "CSV folder");
}

const char* FlagNames(int flags, char* out) {
  out[0] = '\0';
  if (flags & kFlagOnlyClose) strcat(out, " OnlyClose");
  if (flags & kFlagWebScrap) strcat(out, " WebScrap");
  if (flags & kFlagFixedScale) strcat(out, " FixedScale");
  return out[0] != '\0' ? out + 1 : "-";
}

namespace {

// The stocks of the list, one per line, to standard error (with -v).
void PrintStockList(void) {
  if (!Verbose) return;
  char name[81];
  char shown[256];
  StockList list = ConsoleStockList();
  for (int i = 0; i < PfListCount(list); ++i) {
    PfListGetText(list, i, name, sizeof name);
    fprintf(stderr, "%s\n", ConsoleDisplayText(name, shown, sizeof shown));
  }
}


// Reads the header of the dump at `path` for its carriedBytes and, when
// `list` is given, appends the stock names in file order. 0, also when
// there is no dump (the conversion says so), or -1 after the message of a
// damaged dump.
int ReadDumpStocks(const char* path, StockList list) {
  memset(CarriedBytes, 0, sizeof CarriedBytes);
  FILE* dump = PfOpenFile(path, "rb");
  if (dump == NULL) {
    PfForgetFileError();   // told by the conversion
    return 0;
  }
  PfFileCloser closer(dump);
  if (CheckDumpRecords(dump) != 0) return -1;
  int32_t length;
  if (ReadDumpRecord(dump, &length) == kRecordRead) KeepCarriedBytes(RecordBuffer);
  for (int i = 0; list != NULL && i < DumpStockCount; ++i) PfListAppend(list, DumpStockNames[i]);
  return 0;
}

}  // namespace

int RunInfo(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo info DUMP\n"
      "Shows the header record of the dump file DUMP (its length, the format\n"
      "version, the number of stocks, its further words and the carried bytes)\n"
      "and, per stock, its name, flags, row count, first and last date and\n"
      "record length.\n";
  if (int code = CheckArguments(&argc, argv, 1, 1, kUsage); code >= 0) return code;
  FILE* dump = PfOpenFile(argv[0], "rb");
  if (dump == NULL) {
    PfMessageBox("RyvoDB file open error", kSystemErrorCaption, PF_MB_OK);
    return 1;
  }
  int32_t length;
  if (CheckDumpRecords(dump) != 0 || ReadDumpHeader(dump, &length) != 0) {
    PfCloseFile(dump);
    return 1;
  }
  const unsigned char* h = RecordBuffer;
  // The header record in the words of the README: its length, the format
  // version (210 for Ryvo 2.10), the number of stock records it counts, its
  // three further words, and the carried bytes the conversion keeps.
  printf("header record: %d bytes, format version %u (%02X %02X), %u stocks, "
         "further words %d %d %d, carried bytes",
         (int)length, (unsigned)(ReadBE16(h + kContVersion) & 0xFFFF), h[0], h[1],
         (unsigned)(ReadBE16(h + kContRecordCount) & 0xFFFF), ReadBE16(h + kContWordA),
         ReadBE16(h + kContWordB), ReadBE16(h + kContWordC));
  for (int i = 0; i < kCarriedSize; ++i) printf(" %02X", h[kCarriedOffset + i]);
  printf("\n");
  int index = 0;
  int result = 0;
  for (;;) {
    int status = ReadDumpRecord(dump, &length);
    if (status == kRecordEnd) break;
    if (status != kRecordRead) {
      PfMessageBox("RyvoDB file Data.Rec. read error", kSystemErrorCaption, PF_MB_OK);
      result = 1;
      break;
    }
    char name[kStockNameSize + 1];
    char shown[128];
    char flags[48];
    ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, name);
    int rows = CountPriceRows(RecordBuffer, length);
    printf("%d\t%s\tflags %s\trows %d", ++index, ConsoleDisplayText(name, shown, sizeof shown),
           FlagNames(RecordBuffer[kDataFlags], flags), rows);
    if (rows > 0) {
      const unsigned char* first = RecordBuffer + kPriceTableOffset;
      const unsigned char* last = first + kPriceRowSize * (rows - 1);
      char from[kPackedDateTextSize], to[kPackedDateTextSize];
      unsigned firstDate = ((unsigned)first[0] << 8) | first[1];
      unsigned lastDate = ((unsigned)last[0] << 8) | last[1];
      printf("\t%s - %s", FormatPackedDate(from, sizeof from, firstDate),
             FormatPackedDate(to, sizeof to, lastDate));
    }
    printf("\tlength %d\n", (int)length);
  }
  PfCloseFile(dump);
  return result;
}

int KeepEarlierFile(const char* path, bool force) {
  if (PfFileMissing(path)) return 0;
  if (!force) {
    fprintf(stderr, "ryvo: %s: is there already; --force replaces it (kept as %s.bak)\n", path,
            path);
    return -1;
  }
  char backup[kPathSize];
  int n = snprintf(backup, sizeof backup, "%s.bak", path);
  if (n < 0 || n >= (int)sizeof backup || PfCopyFile(path, backup) != 0) {
    char failed[kPathSize], reason[128];
    if (PfTakeFileError(failed, reason, sizeof reason) == 0)
      fprintf(stderr, "ryvo: %s: %s\n", failed, reason);
    fprintf(stderr, "ryvo: %s: cannot be kept as %s.bak; nothing replaced\n", path, path);
    return -1;
  }
  return 0;
}

// 1 when `name` is one of the entries of `list`.
static int ListHolds(StockList list, const char* name) {
  for (int i = 0; i < PfListCount(list); ++i) {
    char entry[kNameSize];
    if (PfListGetText(list, i, entry, sizeof entry) >= 0 && strcmp(entry, name) == 0) return 1;
  }
  return 0;
}

// 1 when `name` is one of the dump's stocks (DumpStockNames).
static int DumpHolds(const char* name) {
  for (int i = 0; i < DumpStockCount; ++i)
    if (strcmp(DumpStockNames[i], name) == 0) return 1;
  return 0;
}

int TakeStockList(const char* command, int count, char** names, bool only) {
  StockList list = ConsoleStockList();
  ConsoleListClear();
  for (int i = 0; i < count; ++i) {
    char name[81];
    if (ConsoleArgumentText(names[i], name, sizeof name) != 0 || strlen(name) > kStockNameSize) {
      fprintf(stderr, "ryvo %s: '%s' is not a stock name of at most 20 bytes\n", command, names[i]);
      return 2;
    }
    if (PfListAppend(list, name) < 0) {
      fprintf(stderr, "ryvo %s: too many stocks\n", command);
      return 2;
    }
  }
  char dumpPath[kPathSize];
  DumpStockCount = 0;
  if (FormatFolderPath(dumpPath, WorkFolder, "Ryvo.dmp") == 0 &&
      ReadDumpStocks(dumpPath, count > 0 ? NULL : list) != 0)
    return 1;
  if (ReadAddedStocks(WorkFolder) != 0) return 1;
  if (count == 0) {
    // The stocks added since the last conversion, after the dump's.
    for (int i = 0; i < AddedStockCount; ++i)
      if (!DumpHolds(AddedStockNames[i]) && PfListAppend(list, AddedStockNames[i]) < 0) {
        fprintf(stderr, "ryvo %s: too many stocks\n", command);
        return 2;
      }
  } else if (!only) {
    // Names that leave out a stock of the folder are refused unless meant.
    int left = 0;
    char shown[128];
    for (int i = 0; i < DumpStockCount + AddedStockCount; ++i) {
      const char* name = i < DumpStockCount ? DumpStockNames[i] : AddedStockNames[i - DumpStockCount];
      if (ListHolds(list, name) || (i >= DumpStockCount && DumpHolds(name))) continue;
      if (left++ == 0)
        fprintf(stderr, "ryvo %s: the NAMEs leave out these stocks of %s (--only: the list is meant):\n",
                command, WorkFolder);
      fprintf(stderr, "  %s\n", ConsoleDisplayText(name, shown, sizeof shown));
    }
    if (left > 0) return 2;
  }
  NoteSharedFileNames(list);
  return 0;
}

namespace {

// The bytes of the file at `path` into `out` (`size` bytes): their count,
// `size` when the file holds more, -1 when it cannot be read.
int ReadSmallFile(const char* path, char* out, int size) {
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL) {
    PfForgetFileError();
    return -1;
  }
  PfFileCloser closer(file);
  return (int)fread(out, 1, (size_t)size, file);
}

// 1 when the `length` bytes of `text` are what the file at `path` holds.
int FileHolds(const char* path, const char* text, int length) {
  static char held[2048];
  return ReadSmallFile(path, held, sizeof held) == length && memcmp(held, text, (size_t)length) == 0;
}

// 1 when the files `a` and `b` differ in their bytes or cannot be read.
int FilesDiffer(const char* a, const char* b) {
  static char bytesA[1 << 16], bytesB[1 << 16];
  FILE* fa = PfOpenFile(a, "rb");
  PfFileCloser closeA(fa);
  FILE* fb = fa != NULL ? PfOpenFile(b, "rb") : NULL;
  PfFileCloser closeB(fb);
  if (fa == NULL || fb == NULL) return 1;
  for (;;) {
    size_t na = fread(bytesA, 1, sizeof bytesA, fa), nb = fread(bytesB, 1, sizeof bytesB, fb);
    if (na != nb || memcmp(bytesA, bytesB, na) != 0) return 1;
    if (na < sizeof bytesA) return ferror(fa) || ferror(fb) ? 1 : 0;
  }
}

// 1 when the settings file at `path` holds the settings of the DataRec in
// RecordBuffer (the conversion would store the same bytes from it), so
// that replacing it loses nothing; RecordBuffer is kept.
int SameSettings(const char* path) {
  static char text[8192];
  static unsigned char saved[kRecordBufferSize];
  int length = ReadSmallFile(path, text, sizeof text);
  if (length < 0 || length == (int)sizeof text) return 0;
  memcpy(saved, RecordBuffer, sizeof saved);
  ConsoleSetQuiet(1);
  int same = StoreStockSettings(text, length) == 0 &&
             memcmp(saved, RecordBuffer, kPriceTableOffset) == 0;
  ConsoleSetQuiet(0);
  memcpy(RecordBuffer, saved, sizeof saved);
  return same;
}

// What a load of WorkFolder's Ryvo.dmp replaces, said on standard error
// (without -q): BeginRyvo.dmp when it differs, each settings file whose
// bytes differ from the dump's. A settings file edited after the last
// load (newer than BeginRyvo.dmp, and not what BeginRyvo.dmp gives for the
// stock) is named and refused unless `force`. 0, or 1 after the names.
int CheckLoadReplaces(bool force) {
  char dumpPath[kPathSize], beginPath[kPathSize];
  if (FormatFolderPath(dumpPath, WorkFolder, "Ryvo.dmp") != 0 ||
      FormatFolderPath(beginPath, WorkFolder, "BeginRyvo.dmp") != 0)
    return 0;
  char shown[1024];
  // BeginRyvo.dmp as the last load left it (none: nothing to keep).
  Database* begin = &TheDatabase;
  int haveBegin = 0;
  if (ReadSmallFile(beginPath, shown, 1) >= 0) {
    // Quietly: a damaged BeginRyvo.dmp only means no earlier settings.
    ConsoleSetQuiet(1);
    haveBegin = ReadDatabase(beginPath, begin) == 0 && begin->kind == kDatabaseDump;
    ConsoleSetQuiet(0);
    if (!Quiet && FilesDiffer(dumpPath, beginPath))
      fprintf(stderr, "load: replaces %s\n", ConsoleDisplayPath(beginPath, shown, sizeof shown));
  }
  FILE* dump = PfOpenFile(dumpPath, "rb");
  if (dump == NULL) {
    PfForgetFileError();   // told by the load
    return 0;
  }
  PfFileCloser closer(dump);
  int32_t length;
  if (CheckDumpRecords(dump) != 0 || ReadDumpRecord(dump, &length) != kRecordRead) return 0;
  static char text[1024], earlier[1024];
  int refused = 0;
  while (ReadDumpRecord(dump, &length) == kRecordRead) {
    char name[kStockNameSize + 1], path[kPathSize];
    ReadTextField(RecordBuffer + kDataStockName, kStockNameSize, name);
    if (FormatStockPath(path, WorkFolder, name, ".txt") != 0) continue;
    int n = FormatStockSettings(text);
    if (FileHolds(path, text, n) || ReadSmallFile(path, earlier, 1) < 0) continue;
    int at = haveBegin ? FindDatabaseStock(begin, name) : -1;
    int edited = ConsoleFileIsNewer(path, beginPath) && !SameSettings(path);
    if (edited && at >= 0) {
      static unsigned char saved[kRecordBufferSize];
      memcpy(saved, RecordBuffer, sizeof saved);
      memset(RecordBuffer, 0, sizeof RecordBuffer);
      memcpy(RecordBuffer, begin->record[at].data, (size_t)begin->record[at].length);
      int m = FormatStockSettings(earlier);
      memcpy(RecordBuffer, saved, sizeof saved);
      edited = !FileHolds(path, earlier, m);
    }
    ConsoleDisplayPath(path, shown, sizeof shown);
    if (edited && !force) {
      if (refused++ == 0)
        fprintf(stderr, "ryvo load: settings files edited after the last load (--force replaces them):\n");
      fprintf(stderr, "  %s\n", shown);
    } else if (!Quiet) {
      fprintf(stderr, "load: replaces %s%s\n", shown, edited ? " (edited after the last load)" : "");
    }
  }
  return refused > 0 ? 1 : 0;
}

}  // namespace

int RunLoad(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo load [--force] WORKDIR\n"
      "Loads WORKDIR/Ryvo.dmp as RyvoWin does when it opens: copies it to\n"
      "BeginRyvo.dmp and writes one stock settings file per stock (-v: the\n"
      "stock list on standard error). Says on standard error what it replaces:\n"
      "BeginRyvo.dmp, and each settings file that differs from the dump.\n"
      "A settings file edited after the last load (newer than BeginRyvo.dmp)\n"
      "is not replaced: the load stops before anything is written, names the\n"
      "files and exits with 1.\n"
      "  --force   replace the edited settings files too\n";
  CommandOption options[] = {{"--force", NULL, false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 1, 1, kUsage);
      code >= 0)
    return code;
  if (int code = SetFolder(WorkFolder, argv[0], "working folder"); code != 0) return code;
  {
    FolderLock lock(WorkFolder);
    if (!lock.held) return 1;
    if (CheckLoadReplaces(options[0].given) != 0) return 1;
  }
  int messages = ConsoleMessageCount();
  ConsoleListClear();
  int result = LoadDump(ConsoleStockList());
  PrintStockList();
  // A failed settings file ends the load with 0 after its message.
  return result == 0 && ConsoleMessageCount() == messages ? 0 : 1;
}

int RunExport(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo export WORKDIR CSVDIR\n"
      "Writes one price CSV file per stock of WORKDIR/Ryvo.dmp into CSVDIR, as\n"
      "RyvoWin's export button does.\n";
  if (int code = CheckArguments(&argc, argv, 2, 2, kUsage); code >= 0) return code;
  if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
  if (ExportCsv() != 0) return 1;
  if (Verbose) PfMessageBox("変換完了", "RyvoWin", PF_MB_OK);
  return 0;
}

int RunConvert(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo convert WORKDIR CSVDIR [NAME ...] [--only]\n"
      "Rebuilds WORKDIR/Ryvo.dmp from the stock settings files in WORKDIR and\n"
      "the price CSV files in CSVDIR, as RyvoWin's direction button does, after\n"
      "copying it to SaveRyvo.dmp. The stocks are the NAMEs in that order, or\n"
      "by default those of the current Ryvo.dmp in file order, then the stocks\n"
      "added since (ryvo add, ryvo import of a new stock; WORKDIR/Added.txt).\n"
      "NAMEs that leave out a stock of the folder are refused (exit status 2,\n"
      "the stocks left out on standard error) unless --only is given.\n"
      "  --only   the NAMEs are the stocks meant: the others are left out\n";
  CommandOption options[] = {{"--only", NULL, false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 2, kAnyNumber, kUsage);
      code >= 0)
    return code;
  if (int code = SetFolders(argv[0], argv[1]); code != 0) return code;
  if (int code = TakeStockList("convert", argc - 2, argv + 2, options[0].given); code != 0)
    return code;
  StockList list = ConsoleStockList();
  if (PfListCount(list) == 0) {
    fprintf(stderr, "ryvo convert: no stocks to convert\n");
    return 1;
  }
  if (ConvertToHandheld(list) != 0) return 1;
  // The stocks the new dump holds are no longer added ones.
  static char converted[kMaxStocks][kStockNameSize + 1];
  int count = 0;
  for (int i = 0; i < PfListCount(list) && count < kMaxStocks; ++i) {
    char entry[kNameSize];
    if (PfListGetText(list, i, entry, sizeof entry) < 0) continue;
    entry[kStockNameSize] = '\0';
    memcpy(converted[count++], entry, strlen(entry) + 1);
  }
  if (DropAddedStocks(WorkFolder, converted, count) != 0) return 1;
  PrintStockList();
  return 0;
}

int RunSample(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo sample [--force] WORKDIR\n"
      "       ryvo sample [--force] --pdb PDBFILE\n"
      "Writes the embedded sample dump as WORKDIR/Ryvo.dmp, or as a Palm\n"
      "database file PDBFILE (database RyvoDB, creator Ryvo), ready to install\n"
      "on a handheld or an emulator. An existing file is never replaced unless\n"
      "--force is given; it is then kept as FILE.bak.\n";
  CommandOption options[] = {{"--pdb", NULL, true, false, NULL},
                             {"--force", NULL, false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 0, 1, kUsage);
      code >= 0)
    return code;
  if (options[0].given) {
    if (argc != 0) {
      PrintConsoleText(kUsage, stderr);
      return 2;
    }
    if (KeepEarlierFile(options[0].value, options[1].given) != 0) return 1;
    return WriteSamplePdb(options[0].value);
  }
  if (argc != 1) {
    PrintConsoleText(kUsage, stderr);
    return 2;
  }
  if (int code = SetFolder(WorkFolder, argv[0], "working folder"); code != 0) return code;
  char path[kPathSize];
  if (FormatFolderPath(path, WorkFolder, "Ryvo.dmp") != 0) {
    fprintf(stderr, "ryvo sample: the working folder path is too long\n");
    return 2;
  }
  FolderLock lock(WorkFolder);
  if (!lock.held) return 1;
  if (KeepEarlierFile(path, options[1].given) != 0) return 1;
  if (WriteSampleDump(path) != 0) {
    PfMessageBox("RyvoDB file write error", kSystemErrorCaption, PF_MB_OK);
    return 1;
  }
  return 0;
}
