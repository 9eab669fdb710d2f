// The benchmark of the exchange: loading, export and conversion of a dump
// of 2,000 stocks with full 260-row price tables, each timed against
// floors measured in the same run on the same files:
// - the safe floor writes the same files the same safe way (through
//   ReplaceWholeFile, and PfCopyFile / a temporary dump put in place where
//   the operation does that) from bytes made beforehand, and reads the
//   same inputs, with no formatting or parsing;
// - the plain floor writes the same bytes straight into the files, so the
//   cost of the safe way shows on its own.
// Loading and export run on a folder without the files (new), with the
// same files already there (same) and with other files there (changed).
// Prints the best of several rounds and the ratio of each operation to its
// safe floor.
//
//   ryvo_bench [--rounds N] [--dir FOLDER] [--only load|export|convert]
//                                            the benchmark (FOLDER: where the
//                                            scratch folder goes: /dev/shm or
//                                            /tmp), or one operation of it
//   ryvo_bench --dump PATH STOCKS            writes a dump of STOCKS stocks
//                                            with 260 rows each
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform_console.h"
#include "exchange.h"
#include "sample_dump.h"
#include "stock_paths.h"

// The separator the exchange puts between a folder and a file name.
static const std::string kSep(1, kPathSeparator);

namespace {

enum { kStocks = 2000, kRows = 260, kDefaultRounds = 7 };
const double kTarget = 3.0;

double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

// Processor time in user mode: the formatting and parsing, without the
// kernel's share of the file work.
double Cpu(void) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec * 1e-6;
}

std::string ReadWhole(const std::string& dosPath) {
  std::string bytes;
  FILE* f = PfOpenFile(dosPath.c_str(), "rb");
  if (f == NULL) return bytes;
  static char buffer[1 << 16];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  PfCloseFile(f);
  return bytes;
}

// The plain write: straight into the file, truncating what is there (not
// the platform's exclusive creation, which the safe way uses).
void WriteWhole(const std::string& dosPath, const std::string& bytes) {
  FILE* f = fopen(dosPath.c_str(), "wb");
  if (f == NULL) {
    fprintf(stderr, "bench: cannot write %s\n", dosPath.c_str());
    exit(1);
  }
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// The plain copy: read and written in buffer-sized pieces.
void CopyPlainly(const std::string& from, const std::string& to) {
  static char buffer[1 << 16];
  FILE* in = PfOpenFile(from.c_str(), "rb");
  FILE* out = fopen(to.c_str(), "wb");
  if (in == NULL || out == NULL) {
    fprintf(stderr, "bench: cannot copy %s\n", from.c_str());
    exit(1);
  }
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) fwrite(buffer, 1, n, out);
  PfCloseFile(in);
  fclose(out);
}

// The safe write of a per-stock file, as the operations write theirs.
void WriteSafely(const std::string& dosPath, const std::string& bytes) {
  if (ReplaceWholeFile(dosPath.c_str(), bytes.data(), (int)bytes.size()) != 0) {
    fprintf(stderr, "bench: cannot write %s\n", dosPath.c_str());
    exit(1);
  }
}

// Reads a file front to back in buffer-sized pieces, as the readers do.
size_t ReadThrough(const std::string& dosPath) {
  static char buffer[16384];
  FILE* f = PfOpenFile(dosPath.c_str(), "rb");
  if (f == NULL) return 0;
  size_t total = 0, n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) total += n;
  PfCloseFile(f);
  return total;
}

void MakeFolder(const std::string& folder) {
  std::string command = "mkdir -p '" + folder + "'";
  if (system(command.c_str()) != 0) exit(1);
}

// What a folder holds before a timed run of loading or export.
enum State { kNew, kSame, kChanged };
const char* const kStateNames[] = {"new", "same", "changed"};

// Puts the per-stock files of a folder in `state`: none; the bytes the
// operation writes; other bytes (one more line). Files just written may be
// waiting for the disk; every folder of a comparison is prepared alike.
void Prepare(const std::string& folder, const std::vector<std::string>& names,
             const char* ext, const std::vector<std::string>& bytes, State state) {
  for (size_t i = 0; i < names.size(); ++i) {
    std::string path = folder + kSep + names[i] + ext;
    if (state == kNew)
      PfDeleteFile(path.c_str());
    else
      WriteWhole(path, state == kSame ? bytes[i] : bytes[i] + "0\r\n");
  }
}

struct Timing {
  double best = 1e9;   // wall-clock seconds, best round
  double cpu = 0;      // user-mode processor seconds of that round
};

template <typename F>
void Time(Timing* timing, F run) {
  double wall = Now(), cpu = Cpu();
  run();
  wall = Now() - wall;
  cpu = Cpu() - cpu;
  if (wall < timing->best) {
    timing->best = wall;
    timing->cpu = cpu;
  }
}

struct Line {
  std::string what;
  Timing op, safe, plain;
};

// The operation and its floors, taking turns at going first: whoever runs
// first after the folders are prepared pays for work the system put off
// while preparing them (a few milliseconds for 2,000 files deleted), and
// the best rounds of each then compare alike.
template <typename F, typename G, typename H>
void TimeInTurn(Line* line, int round, F op, G safe, H plain) {
  if (round % 2 == 0) Time(&line->op, op);
  Time(&line->safe, safe);
  Time(&line->plain, plain);
  if (round % 2 != 0) Time(&line->op, op);
}

void Report(const std::vector<Line>& lines) {
  printf("%-18s %9s %9s %11s %11s %6s\n", "", "time", "user", "safe floor", "plain floor",
         "ratio");
  int missed = 0;
  for (const Line& l : lines) {
    if (l.op.best >= 1e9) continue;   // not run
    double ratio = l.op.best / l.safe.best;
    missed += ratio > kTarget;
    printf("%-18s %6.1f ms %6.1f ms %8.1f ms %8.1f ms %6.2f %s\n", l.what.c_str(),
           l.op.best * 1e3, l.op.cpu * 1e3, l.safe.best * 1e3, l.plain.best * 1e3, ratio,
           ratio <= kTarget ? "met" : "MISSED");
  }
  printf("ratio: time / safe floor, target <= %.1f: %s\n", kTarget,
         missed == 0 ? "all met" : "missed");
}

// Whether the operation runs: all of them, or the one asked for.
bool Runs(const char* only, const char* operation) {
  return only[0] == '\0' || strcmp(only, operation) == 0;
}

int WriteDumpOnly(const char* path, const char* stocks) {
  int count = atoi(stocks);
  if (count < 1 || count > 8000 || WriteSyntheticDump(path, count, kRows) != 0) {
    fprintf(stderr, "bench: cannot write a dump of %s stocks to %s\n", stocks, path);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = kDefaultRounds;
  const char* only = "";
  // In memory where there is a memory file system: the program and its
  // floors, not the disk's write-back.
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--dump") == 0 && i + 2 < argc) return WriteDumpOnly(argv[i + 1], argv[i + 2]);
    if (strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = atoi(argv[++i]);
    } else if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      base = argv[++i];
    } else if (strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only = argv[++i];
    } else {
      fprintf(stderr,
              "usage: ryvo_bench [--rounds N] [--dir FOLDER] [--only load|export|convert] | "
              "--dump PATH STOCKS\n");
      return 2;
    }
  }
  if (rounds < 1) rounds = 1;
  std::string pattern = std::string(base) + "/ryvo-bench-XXXXXX";
  std::vector<char> root(pattern.begin(), pattern.end());
  root.push_back('\0');
  if (mkdtemp(root.data()) == NULL) {
    perror("bench: mkdtemp");
    return 1;
  }
  const std::string Root = root.data();
  // The operation's folders, and those of the two floors.
  const std::string work = Root + "/op/work", csv = Root + "/op/csv";
  const std::string safeWork = Root + "/safe/work", safeCsv = Root + "/safe/csv";
  const std::string plainWork = Root + "/plain/work", plainCsv = Root + "/plain/csv";
  for (const std::string* f : {&work, &csv, &safeWork, &safeCsv, &plainWork, &plainCsv})
    MakeFolder(*f);
  snprintf(WorkFolder, sizeof WorkFolder, "%s", work.c_str());
  snprintf(CsvFolder, sizeof CsvFolder, "%s", csv.c_str());
  ConsoleSetQuiet(1);

  const std::string dumpPath = work + kSep + "Ryvo.dmp";
  if (WriteSyntheticDump(dumpPath.c_str(), kStocks, kRows) != 0) {
    fprintf(stderr, "bench: cannot write the dump\n");
    return 1;
  }
  const std::string dump = ReadWhole(dumpPath);
  printf("dump: %d stocks x %d rows, %.1f MB; files in %s\n", kStocks, kRows, dump.size() / 1e6,
         Root.c_str());

  // One run of each operation first, for the bytes the floors write.
  StockList list = ConsoleStockList();
  ConsoleListClear();
  if (LoadDump(list) != 0 || ExportCsv() != 0 || ConvertToHandheld(list) != 0 ||
      ConsoleMessageCount() != 0) {
    fprintf(stderr, "bench: the exchange failed\n");
    return 1;
  }
  std::vector<std::string> names, settings, prices;
  char name[81];
  for (int i = 0; i < PfListCount(list); ++i) {
    PfListGetText(list, i, name, sizeof name);
    names.push_back(name);
    settings.push_back(ReadWhole(work + kSep + name + ".txt"));
    prices.push_back(ReadWhole(csv + kSep + name + ".csv"));
  }

  std::vector<Line> lines(7);
  for (int s = 0; s < 3; ++s) {
    lines[s].what = std::string("load, ") + kStateNames[s];
    lines[3 + s].what = std::string("export, ") + kStateNames[s];
  }
  lines[6].what = "convert";

  for (int round = 0; round < rounds; ++round) {
    // Loading: copy to BeginRyvo.dmp, read the dump, write the settings files.
    for (int s = 0; s < 3 && Runs(only, "load"); ++s) {
      State state = (State)s;
      Prepare(work, names, ".txt", settings, state);
      Prepare(safeWork, names, ".txt", settings, state);
      Prepare(plainWork, names, ".txt", settings, state);
      auto load = [&] {
        ConsoleListClear();
        LoadDump(list);
      };
      auto safe = [&] {
        PfCopyFile(dumpPath.c_str(), (safeWork + kSep + "BeginRyvo.dmp").c_str());
        ReadThrough(dumpPath);
        for (size_t i = 0; i < names.size(); ++i)
          WriteSafely(safeWork + kSep + names[i] + ".txt", settings[i]);
      };
      auto plain = [&] {
        CopyPlainly(dumpPath, plainWork + kSep + "BeginRyvo.dmp");
        ReadThrough(dumpPath);
        for (size_t i = 0; i < names.size(); ++i)
          WriteWhole(plainWork + kSep + names[i] + ".txt", settings[i]);
      };
      TimeInTurn(&lines[s], round, load, safe, plain);
    }

    // Export: read the dump, write the CSV files.
    for (int s = 0; s < 3 && Runs(only, "export"); ++s) {
      State state = (State)s;
      Prepare(csv, names, ".csv", prices, state);
      Prepare(safeCsv, names, ".csv", prices, state);
      Prepare(plainCsv, names, ".csv", prices, state);
      auto safe = [&] {
        ReadThrough(dumpPath);
        for (size_t i = 0; i < names.size(); ++i)
          WriteSafely(safeCsv + kSep + names[i] + ".csv", prices[i]);
      };
      auto plain = [&] {
        ReadThrough(dumpPath);
        for (size_t i = 0; i < names.size(); ++i)
          WriteWhole(plainCsv + kSep + names[i] + ".csv", prices[i]);
      };
      TimeInTurn(&lines[3 + s], round, [&] { ExportCsv(); }, safe, plain);
    }

    // Conversion: copy to SaveRyvo.dmp, look at the dump's first lengths,
    // read both files of every stock, write the new dump beside and put it
    // in place (the plain floor writes Ryvo.dmp itself). Each floor reads
    // its own copies of the files, written just before as the operation's
    // are: the first read of a file just written costs more (its access
    // time is set), and no one may find it paid by another.
    if (!Runs(only, "convert")) continue;
    for (const std::string* folder : {&work, &safeWork, &plainWork})
      Prepare(*folder, names, ".txt", settings, kSame);
    for (const std::string* folder : {&csv, &safeCsv, &plainCsv})
      Prepare(*folder, names, ".csv", prices, kSame);
    WriteWhole(safeWork + kSep + "Ryvo.dmp", dump);
    WriteWhole(plainWork + kSep + "Ryvo.dmp", dump);
    auto safe = [&] {
      std::string target = safeWork + kSep + "Ryvo.dmp", beside = safeWork + kSep + "Ryvo.dmp.tmp";
      PfCopyFile(target.c_str(), (safeWork + kSep + "SaveRyvo.dmp").c_str());
      char lengths[8];
      FILE* old = PfOpenFile(target.c_str(), "r+b");
      if (old == NULL || fread(lengths, 1, sizeof lengths, old) != sizeof lengths) exit(1);
      PfCloseFile(old);
      for (size_t i = 0; i < names.size(); ++i) {
        ReadThrough(safeWork + kSep + names[i] + ".txt");
        ReadThrough(safeCsv + kSep + names[i] + ".csv");
      }
      WriteWhole(beside, dump);
      PfReplaceFile(beside.c_str(), target.c_str());
    };
    auto plain = [&] {
      std::string target = plainWork + kSep + "Ryvo.dmp";
      CopyPlainly(target, plainWork + kSep + "SaveRyvo.dmp");
      for (size_t i = 0; i < names.size(); ++i) {
        ReadThrough(plainWork + kSep + names[i] + ".txt");
        ReadThrough(plainCsv + kSep + names[i] + ".csv");
      }
      WriteWhole(target, dump);
    };
    TimeInTurn(&lines[6], round, [&] { ConvertToHandheld(list); }, safe, plain);
  }

  if (ConsoleMessageCount() != 0 || ReadWhole(dumpPath) != dump) {
    fprintf(stderr, "bench: the exchange reported a failure or changed the data\n");
    return 1;
  }
  printf("best of %d rounds\n", rounds);
  Report(lines);

  std::string command = "rm -rf '" + Root + "'";
  return system(command.c_str()) == 0 ? 0 : 1;
}
