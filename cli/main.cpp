// The ryvo tool: the exchange of RyvoWin from the command line, for
// scripts, tests and the benchmark. Routes the command to its function.
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "commands.h"
#include "platform_console.h"
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
    {"list", RunList, "list DB                        the stocks of a .pdb or dump"},
    {"update", RunUpdate, "update DB SOURCE...            merge price downloads into a .pdb or dump"},
    {"add", RunAdd, "add DB NAME [SOURCE]           add a stock (or: add WORKDIR CSVDIR NAME [SOURCE])"},
    {"remove", RunRemove, "remove DB NAME...              remove stocks from a .pdb or dump"},
    {"move", RunMove, "move DB NAME POSITION          move a stock to a position of the list"},
    {"set", RunSet, "set DB NAME FIELD=VALUE...     set a stock's settings"},
    {"hotsync", RunHotsync, "hotsync WORKDIR PDBFILE        move RyvoDB between a .pdb and Ryvo.dmp"},
};

int Usage(FILE* out) {
  fputs("usage: ryvo COMMAND ARGS...   (ryvo COMMAND --help for more)\n", out);
  for (const Command& c : kCommands) fprintf(out, "  ryvo %s\n", c.summary);
  fputs("  ryvo --version                      print the version\n", out);
  fputs("  ryvo help COMMAND                   the same as ryvo COMMAND --help\n", out);
  fputs("Every command takes -h/--help, -q/--quiet (errors only), -v/--verbose (say\n"
        "what was done, on standard error); -- ends the options.\n", out);
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

int Verbose;
int Quiet;

void PrintConsoleText(const char* cp932, FILE* out) {
  static char shown[16384];
  fputs(ConsoleDisplayText(cp932, shown, sizeof shown), out);
}

int ParseArguments(int* argc, char** argv, CommandOption* options, int optionCount, int least,
                   int most, const char* usage) {
  int operands = 0;
  bool help = false, wrong = false, optionsEnd = false;
  for (int i = 0; i < *argc; ++i) {
    char* arg = argv[i];
    if (optionsEnd || arg[0] != '-' || arg[1] == '\0') {
      argv[operands++] = arg;
      continue;
    }
    if (strcmp(arg, "--") == 0) {
      optionsEnd = true;
    } else if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
      help = true;
    } else if (strcmp(arg, "-q") == 0 || strcmp(arg, "--quiet") == 0) {
      Quiet = 1;
    } else if (strcmp(arg, "-v") == 0 || strcmp(arg, "--verbose") == 0) {
      Verbose = 1;
    } else {
      const char* equals = strchr(arg, '=');
      size_t length = equals != NULL && arg[1] == '-' ? (size_t)(equals - arg) : strlen(arg);
      CommandOption* found = NULL;
      for (int k = 0; k < optionCount && found == NULL; ++k) {
        const char* names[2] = {options[k].name, options[k].alias};
        for (const char* name : names)
          if (name != NULL && strlen(name) == length && strncmp(arg, name, length) == 0)
            found = &options[k];
      }
      if (found == NULL) {
        fprintf(stderr, "ryvo: unknown option '%s'\n", arg);
        wrong = true;
      } else if (!found->takesValue) {
        if (length != strlen(arg)) {
          fprintf(stderr, "ryvo: option '%.*s' takes no value\n", (int)length, arg);
          wrong = true;
        }
        found->given = true;
      } else if (length != strlen(arg)) {
        found->given = true;
        found->value = arg + length + 1;
      } else if (i + 1 < *argc) {
        found->given = true;
        found->value = argv[++i];
      } else {
        fprintf(stderr, "ryvo: option '%s' needs a value\n", arg);
        wrong = true;
      }
    }
  }
  *argc = operands;
  if (help) {
    PrintConsoleText(usage, stdout);
    return 0;
  }
  if (!wrong && operands >= least && operands <= most) return -1;
  PrintConsoleText(usage, stderr);
  return 2;
}

int main(int argc, char** argv) {
#ifdef _WIN32
  if (ReadArguments(&argc, &argv) != 0) return 2;
#endif
  if (argc < 2) return Usage(stderr);
  if (strcmp(argv[1], "help") == 0 && argc >= 3) {
    // "ryvo help COMMAND" is "ryvo COMMAND --help".
    static char help[] = "--help";
    argv[1] = argv[2];
    argv[2] = help;
  } else if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 ||
             strcmp(argv[1], "help") == 0) {
    return Usage(stdout);
  }
  if (strcmp(argv[1], "--version") == 0) {
    printf("ryvo %s\n", kVersion);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (strcmp(argv[1], c.name) == 0) {
      int code = c.run(argc - 2, argv + 2);
      // A failure that no message told: the file and the system's reason.
      char path[kPathSize], reason[128];
      if (code != 0 && PfTakeFileError(path, reason, sizeof reason) == 0)
        fprintf(stderr, "ryvo: %s: %s\n", path, reason);
      fflush(stdout);
      return code;
    }
  }
  fprintf(stderr, "ryvo: unknown command '%s'\n", argv[1]);
  return Usage(stderr);
}
