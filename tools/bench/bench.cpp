// The benchmark of the exchange: loading, export and conversion of a dump
// of 2,000 stocks with full 260-row price tables, each timed against a
// floor measured in the same run: the same number of files with the same
// bytes written and read back, with no formatting or parsing. Prints the
// time, the throughput and the ratio to the floor of each.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <string>
#include <vector>

#include "console_platform.h"
#include "exchange.h"
#include "sample_dump.h"
#include "stock_paths.h"

namespace {

enum { kStocks = 2000, kRows = 260, kRounds = 7 };

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

std::string Root;

[[maybe_unused]] std::string Host(const std::string& dos) {
  char out[1024];
  HostPathFromDosPath(out, sizeof out, dos.c_str());
  return out;
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

void WriteWhole(const std::string& dosPath, const std::string& bytes) {
  FILE* f = PfOpenFile(dosPath.c_str(), "wb");
  if (f == NULL) {
    fprintf(stderr, "bench: cannot write %s\n", dosPath.c_str());
    exit(1);
  }
  fwrite(bytes.data(), 1, bytes.size(), f);
  PfCloseFile(f);
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

// Removes the files `names` + `suffix` of a folder before a timed run, so
// that every run creates its files: overwriting a file the file system has
// not yet written back makes it wait for the disk, which would time the
// disk instead of the program.
void RemoveFiles(const std::string& folder, const std::vector<std::string>& names,
                 const char* suffix) {
  for (const std::string& name : names)
    PfDeleteFile((folder + "\\" + name + suffix).c_str());
}

struct Result {
  double best;   // wall-clock seconds, best round
  double bytes;  // bytes read and written by one run
  double cpu;    // user-mode processor seconds of that round
};

template <typename F>
void Time(Result* result, F run) {
  double wall = Now(), cpu = Cpu();
  run();
  wall = Now() - wall;
  cpu = Cpu() - cpu;
  if (wall < result->best) {
    result->best = wall;
    result->cpu = cpu;
  }
}

void Report(const char* what, Result op, Result floor) {
  double ratio = op.best / floor.best;
  printf("%-8s %7.1f ms %6.0f MB/s (user %6.1f ms)  floor %7.1f ms %6.0f MB/s (user %6.1f ms)"
         "  ratio %5.2f %s\n",
         what, op.best * 1e3, op.bytes / op.best / 1e6, op.cpu * 1e3, floor.best * 1e3,
         floor.bytes / floor.best / 1e6, floor.cpu * 1e3, ratio,
         ratio <= 1.5 ? "(target <= 1.5: met)" : "(target <= 1.5: missed)");
}

}  // namespace

int main(void) {
  char pattern[] = "/tmp/ryvo-bench-XXXXXX";
#ifndef _WIN32
  if (mkdtemp(pattern) == NULL) {
    perror("bench: mkdtemp");
    return 1;
  }
#endif
  Root = pattern;
  std::string work = Root + "/work", csv = Root + "/csv", floorDir = Root + "/floor";
  std::string command = "mkdir -p '" + work + "' '" + csv + "' '" + floorDir + "'";
  if (system(command.c_str()) != 0) return 1;
  snprintf(WorkFolder, sizeof WorkFolder, "%s", work.c_str());
  snprintf(CsvFolder, sizeof CsvFolder, "%s", csv.c_str());
  ConsoleSetQuiet(1);

  std::string dumpPath = work + "\\Ryvo.dmp";
  if (WriteSyntheticDump(dumpPath.c_str(), kStocks, kRows) != 0) {
    fprintf(stderr, "bench: cannot write the dump\n");
    return 1;
  }
  std::string dump = ReadWhole(dumpPath);
  printf("dump: %d stocks x %d rows, %.1f MB\n", kStocks, kRows, dump.size() / 1e6);

  // One run of each operation first, for the files the floors copy.
  StockList list = ConsoleStockList();
  ConsoleListClear();
  if (LoadDump(list) != 0 || ExportCsv() != 0 || ConvertToHandheld(list) != 0 ||
      ConsoleMessageCount() != 0) {
    fprintf(stderr, "bench: the exchange failed\n");
    return 1;
  }
  std::vector<std::string> names, settings, prices;
  double settingsBytes = 0, csvBytes = 0;
  char name[81];
  for (int i = 0; i < PfListCount(list); ++i) {
    PfListGetText(list, i, name, sizeof name);
    names.push_back(name);
    settings.push_back(ReadWhole(work + "\\" + name + ".txt"));
    prices.push_back(ReadWhole(csv + "\\" + name + ".csv"));
    settingsBytes += (double)settings.back().size();
    csvBytes += (double)prices.back().size();
  }
  double dumpBytes = (double)dump.size();

  Result load = {1e9, 2 * dumpBytes + dumpBytes + settingsBytes, 0};
  Result loadFloor = load;
  Result exportOp = {1e9, dumpBytes + csvBytes, 0};
  Result exportFloor = exportOp;
  Result convert = {1e9, 2 * dumpBytes + settingsBytes + csvBytes + dumpBytes, 0};
  Result convertFloor = convert;

  for (int round = 0; round < kRounds; ++round) {
    // Loading: copy to BeginRyvo.dmp, read the dump, write the settings files.
    WriteWhole(dumpPath, dump);
    ConsoleListClear();
    RemoveFiles(work, names, ".txt");
    RemoveFiles(floorDir, names, ".txt");
    PfDeleteFile((work + "\\BeginRyvo.dmp").c_str());
    PfDeleteFile((floorDir + "\\BeginRyvo.dmp").c_str());
    Time(&load, [&] { LoadDump(list); });
    Time(&loadFloor, [&] {
      PfCopyFile(dumpPath.c_str(), (floorDir + "\\BeginRyvo.dmp").c_str());
      ReadThrough(dumpPath);
      for (size_t i = 0; i < names.size(); ++i)
        WriteWhole(floorDir + "\\" + names[i] + ".txt", settings[i]);
    });

    // Export: read the dump, write the CSV files.
    RemoveFiles(csv, names, ".csv");
    RemoveFiles(floorDir, names, ".csv");
    Time(&exportOp, [&] { ExportCsv(); });
    Time(&exportFloor, [&] {
      ReadThrough(dumpPath);
      for (size_t i = 0; i < names.size(); ++i)
        WriteWhole(floorDir + "\\" + names[i] + ".csv", prices[i]);
    });

    // Conversion: copy to SaveRyvo.dmp, read both files of every stock,
    // write the new dump and put it in place.
    PfDeleteFile((work + "\\SaveRyvo.dmp").c_str());
    PfDeleteFile((floorDir + "\\SaveRyvo.dmp").c_str());
    Time(&convert, [&] { ConvertToHandheld(list); });
    Time(&convertFloor, [&] {
      PfCopyFile(dumpPath.c_str(), (floorDir + "\\SaveRyvo.dmp").c_str());
      for (size_t i = 0; i < names.size(); ++i) {
        ReadThrough(work + "\\" + names[i] + ".txt");
        ReadThrough(csv + "\\" + names[i] + ".csv");
      }
      WriteWhole(floorDir + "\\Ryvo.dmp.tmp", dump);
      PfReplaceFile((floorDir + "\\Ryvo.dmp.tmp").c_str(), (floorDir + "\\Ryvo.dmp").c_str());
    });
  }
  if (ConsoleMessageCount() != 0 || ReadWhole(dumpPath) != dump) {
    fprintf(stderr, "bench: the exchange reported a failure or changed the data\n");
    return 1;
  }
  printf("best of %d rounds; MB/s counts the bytes read and written\n", kRounds);
  Report("load", load, loadFloor);
  Report("export", exportOp, exportFloor);
  Report("convert", convert, convertFloor);

  command = "rm -rf '" + Root + "'";
  if (system(command.c_str()) != 0) return 1;
  return 0;
}
