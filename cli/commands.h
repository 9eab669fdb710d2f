// The commands of the ryvo tool. Each takes the arguments after its own
// name and returns the exit code: 0 on success, 1 after a reported
// failure, 2 on a usage error (after a short usage text).
#pragma once

// -v/--verbose: what a command did goes to standard error. -q/--quiet:
// nothing but errors on standard error. Set by ParseArguments.
extern int Verbose;
extern int Quiet;

// One option a command knows besides -h/--help, -q/--quiet, -v/--verbose.
struct CommandOption {
  const char* name;     // "--json", "-o"
  const char* alias;    // another spelling ("--output"), or NULL
  bool takesValue;      // the next argument (or "=VALUE") is its value
  bool given;           // set by ParseArguments
  const char* value;    // set by ParseArguments when takesValue
};
template <int N> constexpr int OptionCount(const CommandOption (&)[N]) { return N; }

// The arguments of a command, taken as POSIX tools take them: options may
// stand anywhere among the operands, "--" ends the options, "-" alone is an
// operand. -h/--help prints `usage` to standard output (result 0);
// -q/-v set Quiet/Verbose; the `options` given are marked. An unknown
// option, a missing value or an operand count outside `least`..`most`
// prints `usage` to standard error (result 2). Otherwise the operands are
// moved to argv[0 .. *argc - 1] in their order and the result is -1.
// `usage` is code page 932 text, printed as the terminal shows text.
enum { kAnyNumber = 1 << 30 };
int ParseArguments(int* argc, char** argv, CommandOption* options, int optionCount, int least,
                   int most, const char* usage);
// A command without options of its own.
inline int CheckArguments(int* argc, char** argv, int least, int most, const char* usage) {
  return ParseArguments(argc, argv, nullptr, 0, least, most, usage);
}
// Prints code page 932 text as the terminal shows it.
void PrintConsoleText(const char* cp932, FILE* out);

// Copies a folder argument into WorkFolder or CsvFolder (`what` names it
// in the message): 0, or the exit code after a message: 2 when it is empty
// or too long, 1 when it is not a folder ("ryvo: FOLDER: REASON").
int SetFolder(char* folder, const char* argument, const char* what);
// SetFolder of the working folder, then of the CSV folder.
int SetFolders(const char* workFolder, const char* csvFolder);

// The stocks of convert, check and report into the console stock list:
// the `count` NAMEs in that order, else those of WorkFolder's Ryvo.dmp in
// file order followed by the stocks of its Added.txt that the dump does
// not hold; the dump's carriedBytes are kept. NAMEs that leave out a stock
// of the dump or of Added.txt are refused, the stocks left out listed on
// standard error, unless `only`. 0, 1 after a damaged dump or list, or 2
// after a usage message.
int TakeStockList(const char* command, int count, char** names, bool only = false);

// Before a file at `path` is replaced by a command that does not replace
// files by default: 0 when there is none, or with `force` once the file is
// copied to PATH.bak; -1 after a message otherwise.
int KeepEarlierFile(const char* path, bool force);
// The flags of a DataRec as words ("OnlyClose WebScrap FixedScale"), "-"
// for none; `out` holds 48 bytes.
const char* FlagNames(int flags, char* out);

// The price table of a DataRec, and the table put back into it (its rows,
// then zeros to the record's end; a record too short for the rows grows to
// a full DataRec).
struct DatabaseRecord;
struct PriceTable;
void TakePriceTable(const DatabaseRecord* rec, PriceTable* table);
void PutPriceTable(DatabaseRecord* rec, const PriceTable* table);

int RunInfo(int argc, char** argv);
int RunCheck(int argc, char** argv);
int RunLoad(int argc, char** argv);
int RunExport(int argc, char** argv);
int RunConvert(int argc, char** argv);
int RunSample(int argc, char** argv);
int RunImport(int argc, char** argv);
int RunChart(int argc, char** argv);
int RunReport(int argc, char** argv);
int RunHotsync(int argc, char** argv);
int RunUpdate(int argc, char** argv);
int RunList(int argc, char** argv);
int RunAdd(int argc, char** argv);
int RunRemove(int argc, char** argv);
int RunMove(int argc, char** argv);
int RunSet(int argc, char** argv);
// "sample --pdb PDBFILE": the embedded sample as a Palm database file
// (database RyvoDB, creator Ryvo); the exit code.
int WriteSamplePdb(const char* pdbPath);
