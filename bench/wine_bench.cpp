// The Windows side of the Wine benchmark (scripts/bench-wine.sh): the floors
// of loading, export and conversion as a Windows program meets them under
// Wine, and the time RyvoWin takes from its start to a filled stock list
// and for its export. Each command prints one line "<what> <ms> ms".
//
//   ryvo_wine_bench nothing                 (the cost of a process start)
//   ryvo_wine_bench dump PATH STOCKS        a dump of STOCKS stocks
//   ryvo_wine_bench spoil FOLDER EXT        one more line in every *EXT file
//   ryvo_wine_bench floor-load safe|plain WORK REFWORK
//   ryvo_wine_bench floor-export safe|plain WORK CSV REFCSV
//   ryvo_wine_bench floor-convert safe|plain WORK CSV
//   ryvo_wine_bench ryvowin RYVOWIN.EXE WORK CSV STOCKS [export]
//
// A floor does the operation's file work on files made beforehand (the
// REF folders hold what the operation wrote): "safe" the way the operation
// does it (ReplaceWholeFile, CopyFileA, a new dump put in place), "plain"
// straight into the files. Only the file work is timed, not the reading of
// the REF folders.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "exchange.h"
#include "sample_dump.h"
#include "settings.h"
#include "stock_paths.h"

namespace {

double Now(void) {
  static LARGE_INTEGER frequency;
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart / (double)frequency.QuadPart;
}

void Fail(const char* what, const std::string& path) {
  fprintf(stderr, "ryvo_wine_bench: %s %s\n", what, path.c_str());
  exit(1);
}

std::string ReadWhole(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == NULL) Fail("cannot read", path);
  static char buffer[1 << 16];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

void WritePlain(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == NULL || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("cannot write", path);
  fclose(f);
}

void WriteSafe(const std::string& path, const std::string& bytes) {
  if (ReplaceWholeFile(path.c_str(), bytes.data(), (int)bytes.size()) != 0)
    Fail("cannot write", path);
}

void ReadThrough(const std::string& path) {
  static char buffer[16384];
  FILE* f = fopen(path.c_str(), "rb");
  if (f == NULL) Fail("cannot read", path);
  while (fread(buffer, 1, sizeof buffer, f) > 0) {
  }
  fclose(f);
}

// The names (without folder) of the files *ext of a folder.
std::vector<std::string> FilesOf(const std::string& folder, const char* ext) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*" + ext).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return names;
}

struct Files {
  std::vector<std::string> names, bytes;
};

Files ReadFolder(const std::string& folder, const char* ext) {
  Files files;
  files.names = FilesOf(folder, ext);
  for (const std::string& name : files.names) files.bytes.push_back(ReadWhole(folder + "\\" + name));
  return files;
}

void WriteFiles(bool safe, const std::string& folder, const Files& files) {
  for (size_t i = 0; i < files.names.size(); ++i) {
    std::string path = folder + "\\" + files.names[i];
    if (safe)
      WriteSafe(path, files.bytes[i]);
    else
      WritePlain(path, files.bytes[i]);
  }
}

void Copy(bool safe, const std::string& from, const std::string& to) {
  if (safe) {
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) Fail("cannot copy to", to);
  } else {
    WritePlain(to, ReadWhole(from));
  }
}

void Print(const char* what, double seconds) { printf("%s %.0f ms\n", what, seconds * 1e3); }

int FloorLoad(bool safe, const std::string& work, const std::string& reference) {
  Files settings = ReadFolder(reference, ".txt");
  double start = Now();
  Copy(safe, work + "\\Ryvo.dmp", work + "\\BeginRyvo.dmp");
  ReadThrough(work + "\\Ryvo.dmp");
  WriteFiles(safe, work, settings);
  Print("floor-load", Now() - start);
  return 0;
}

int FloorExport(bool safe, const std::string& work, const std::string& csv,
                const std::string& reference) {
  Files prices = ReadFolder(reference, ".csv");
  double start = Now();
  ReadThrough(work + "\\Ryvo.dmp");
  WriteFiles(safe, csv, prices);
  Print("floor-export", Now() - start);
  return 0;
}

int FloorConvert(bool safe, const std::string& work, const std::string& csv) {
  std::vector<std::string> settings = FilesOf(work, ".txt"), prices = FilesOf(csv, ".csv");
  std::string dump = ReadWhole(work + "\\Ryvo.dmp");
  double start = Now();
  Copy(safe, work + "\\Ryvo.dmp", work + "\\SaveRyvo.dmp");
  for (const std::string& name : settings) ReadThrough(work + "\\" + name);
  for (const std::string& name : prices) ReadThrough(csv + "\\" + name);
  if (safe) {
    WritePlain(work + "\\Ryvo.dmp.tmp", dump);
    if (!MoveFileExA((work + "\\Ryvo.dmp.tmp").c_str(), (work + "\\Ryvo.dmp").c_str(),
                     MOVEFILE_REPLACE_EXISTING))
      Fail("cannot put in place", work + "\\Ryvo.dmp");
  } else {
    WritePlain(work + "\\Ryvo.dmp", dump);
  }
  Print("floor-convert", Now() - start);
  return 0;
}

int Spoil(const std::string& folder, const char* ext) {
  for (const std::string& name : FilesOf(folder, ext)) {
    std::string path = folder + "\\" + name;
    WritePlain(path, ReadWhole(path) + "0\r\n");
  }
  return 0;
}

// ---- RyvoWin ----

struct Search {
  DWORD pid;
  HWND found;
};

// A message box of the process: a dialog holding the static text 0xFFFF.
BOOL CALLBACK FindBox(HWND window, LPARAM data) {
  Search* search = (Search*)data;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char name[16];
  if (pid == search->pid && IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
      strcmp(name, "#32770") == 0 && GetDlgItem(window, 0xFFFF) != NULL) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND MessageBoxOf(DWORD pid) {
  Search search = {pid, NULL};
  EnumWindows(FindBox, (LPARAM)&search);
  return search.found;
}

int RyvoWin(const char* exe, const char* work, const char* csv, int stocks, bool exportToo) {
  static const char kKey[] = "Software\\RyvoWin";
  WriteSetting(csv, kKey, "RyvoWinDir");
  WriteSetting(work, kKey, "RyvoWinTmp");
  WriteSetting("ToPC", kKey, "SyncDir");
  char folder[MAX_PATH];
  snprintf(folder, sizeof folder, "%s", exe);
  char* slash = strrchr(folder, '\\');
  if (slash != NULL) *slash = '\0';
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  char command[MAX_PATH + 2];
  snprintf(command, sizeof command, "\"%s\"", exe);
  double start = Now();
  if (!CreateProcessA(exe, command, NULL, NULL, FALSE, 0, NULL, slash ? folder : NULL, &startup,
                      &process))
    Fail("cannot start", exe);
  HWND main = NULL;
  int status = 1;
  for (double limit = start + 60; Now() < limit; Sleep(2)) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    main = FindWindowA(NULL, "Ryvo Data Excange");
    if (main == NULL || !IsWindowVisible(main)) continue;
    DWORD_PTR count = 0;
    if (SendMessageTimeoutA(GetDlgItem(main, 150), LB_GETCOUNT, 0, 0, SMTO_NORMAL, 200, &count) &&
        (int)count >= stocks) {
      Print("ryvowin-list", Now() - start);
      status = 0;
      break;
    }
  }
  if (status == 0 && exportToo) {
    status = 1;
    double begin = Now();
    PostMessageA(main, WM_COMMAND, 100, 0);
    for (double limit = begin + 120; Now() < limit; Sleep(2)) {
      HWND box = MessageBoxOf(process.dwProcessId);
      if (box == NULL) continue;
      char text[256] = "";
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      double took = Now() - begin;
      if (strcmp(text, "変換完了") == 0) {
        Print("ryvowin-export", took);
        status = 0;
      } else {
        fprintf(stderr, "ryvo_wine_bench: RyvoWin says: %s\n", text);
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      break;
    }
  }
  if (status != 0) fprintf(stderr, "ryvo_wine_bench: RyvoWin did not get there\n");
  if (main != NULL) PostMessageA(main, WM_COMMAND, 104, 0);
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

int Usage(void) {
  fputs("usage: ryvo_wine_bench nothing | dump PATH STOCKS | spoil FOLDER EXT |\n"
        "  floor-load safe|plain WORK REFWORK | floor-export safe|plain WORK CSV REFCSV |\n"
        "  floor-convert safe|plain WORK CSV | ryvowin EXE WORK CSV STOCKS [export]\n",
        stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "nothing") return 0;
  if (command == "dump" && argc == 4)
    return WriteSyntheticDump(argv[2], atoi(argv[3]), kMaxPriceRows) == 0 ? 0 : 1;
  if (command == "spoil" && argc == 4) return Spoil(argv[2], argv[3]);
  if (command.compare(0, 6, "floor-") == 0 && argc >= 5) {
    bool safe = strcmp(argv[2], "safe") == 0;
    if (!safe && strcmp(argv[2], "plain") != 0) return Usage();
    if (command == "floor-load" && argc == 5) return FloorLoad(safe, argv[3], argv[4]);
    if (command == "floor-export" && argc == 6) return FloorExport(safe, argv[3], argv[4], argv[5]);
    if (command == "floor-convert" && argc == 5) return FloorConvert(safe, argv[3], argv[4]);
  }
  if (command == "ryvowin" && (argc == 6 || argc == 7))
    return RyvoWin(argv[2], argv[3], argv[4], atoi(argv[5]),
                   argc == 7 && strcmp(argv[6], "export") == 0);
  return Usage();
}
