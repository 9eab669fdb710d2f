// The commands of the ryvo tool. Each takes the arguments after its own
// name and returns the exit code: 0 on success, 1 after a reported
// failure, 2 on a usage error (after a short usage text).
#pragma once

// The argument check of a command: -1 when it has from `least` to `most`
// arguments and none is "--help" or "-h"; otherwise prints `usage` (to
// standard output for a help request, to standard error otherwise) and
// returns the exit code, 0 or 2. `most` may be kAnyNumber.
enum { kAnyNumber = 1 << 30 };
int CheckArguments(int argc, char** argv, int least, int most, const char* usage);

// Copies a folder argument into WorkFolder or CsvFolder (`what` names it
// in the message); false after a message when it is empty or too long.
bool SetFolder(char* folder, const char* argument, const char* what);

// The stocks of convert and check into the console stock list: the
// `count` NAMEs in that order, else those of WorkFolder's Ryvo.dmp in file
// order; the dump's carriedBytes are kept. 0, or 2 after a usage message.
int TakeStockList(const char* command, int count, char** names);

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
// "sample --pdb FILE": the sample as a Palm database file (with hotsync).
int RunSamplePdb(int argc, char** argv);
