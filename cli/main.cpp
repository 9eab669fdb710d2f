// The ryvo tool: the exchange of RyvoWin from the command line, for
// scripts, tests and the benchmark. Routes the command to its function.
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "commands.h"
#include "text_codec.h"
#include "version.h"

namespace {

// The version of the product this tool belongs to.
const char kVersion[] = RYVO_VERSION_TEXT;

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Command kCommands[] = {
    {"info", RunInfo, "info DUMP                      show a dump's header and stocks"},
    {"load", RunLoad, "load WORKDIR                   load Ryvo.dmp: BeginRyvo.dmp, settings files"},
    {"export", RunExport, "export WORKDIR CSVDIR          write the price CSV files"},
    {"convert", RunConvert, "convert WORKDIR CSVDIR [NAME..] rebuild Ryvo.dmp from the files"},
    {"import", RunImport, "import WORKDIR CSVDIR NAME FILE merge a price history into NAME.csv"},
    {"check", RunCheck, "check WORKDIR CSVDIR [NAME..]   say what the conversion would lose"},
    {"sample", RunSample, "sample WORKDIR                 write the sample Ryvo.dmp"},
    {"chart", RunChart, "chart WORKDIR CSVDIR NAME      one stock's chart as SVG (or: chart DUMP NAME)"},
    {"report", RunReport, "report WORKDIR CSVDIR          every stock on one HTML page"},
    {"hotsync", RunHotsync, "hotsync WORKDIR PDBFILE        move RyvoDB between a .pdb and Ryvo.dmp"},
};

int Usage(FILE* out) {
  fputs("usage: ryvo COMMAND ARGS...   (ryvo COMMAND --help for more)\n", out);
  for (const Command& c : kCommands) fprintf(out, "  ryvo %s\n", c.summary);
  fputs("  ryvo --version                      print the version\n", out);
  fputs("Exit status: 0 success, 1 a reported failure, 2 a usage error.\n", out);
  return out == stdout ? 0 : 2;
}

#ifdef _WIN32
enum { kMaxArguments = 256, kArgumentSize = 2048 };
char ArgumentText[kMaxArguments][kArgumentSize];
char* Arguments[kMaxArguments + 1];

// The arguments as Windows holds them (UTF-16), in code page 932 like
// every text of the tool, whatever the system's code page is. -1 after a
// message when one cannot be written in code page 932 or is too long.
int ReadArguments(int* argc, char*** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == NULL) return 0;   // keep the runtime's arguments
  if (count > kMaxArguments) count = kMaxArguments;
  for (int i = 0; i < count; ++i) {
    if (WideToCp932(wide[i], ArgumentText[i], kArgumentSize) != 0) {
      fprintf(stderr, "ryvo: argument %d cannot be written in code page 932\n", i);
      LocalFree(wide);
      return -1;
    }
    Arguments[i] = ArgumentText[i];
  }
  Arguments[count] = NULL;
  LocalFree(wide);
  *argc = count;
  *argv = Arguments;
  return 0;
}
#endif

}  // namespace

int CheckArguments(int argc, char** argv, int least, int most, const char* usage) {
  bool help = false;
  for (int i = 0; i < argc; ++i)
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) help = true;
  if (!help && argc >= least && argc <= most) return -1;
  fputs(usage, help ? stdout : stderr);
  return help ? 0 : 2;
}

int main(int argc, char** argv) {
#ifdef _WIN32
  if (ReadArguments(&argc, &argv) != 0) return 2;
#endif
  if (argc < 2) return Usage(stderr);
  if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 ||
      strcmp(argv[1], "help") == 0)
    return Usage(stdout);
  if (strcmp(argv[1], "--version") == 0) {
    printf("ryvo %s\n", kVersion);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (strcmp(argv[1], c.name) == 0) {
      int code = c.run(argc - 2, argv + 2);
      fflush(stdout);
      return code;
    }
  }
  fprintf(stderr, "ryvo: unknown command '%s'\n", argv[1]);
  return Usage(stderr);
}
