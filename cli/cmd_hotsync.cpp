// The ryvo tool's "hotsync" command: plays the HotSync conduit's part for
// people without a handheld (a Palm OS emulator, a backup copy of the
// handheld's database). It moves RyvoDB between a Palm database file and
// Ryvo.dmp in the working folder, in the direction the transfer direction
// names, and after a transfer towards the handheld sets it back to "ToPC".
// The direction is the SyncDir value of the settings store on Windows and
// a text file named SyncDir in the working folder elsewhere.
#include <stdio.h>
#include <string.h>

#include "commands.h"
#include "folder_rules.h"
#include "database.h"
#include "exchange.h"
#include "platform_console.h"
#include "pdb_file.h"
#include "platform.h"
#include "sample_dump.h"
#include "settings.h"
#include "stock_paths.h"

namespace {

#ifdef _WIN32

void ReadDirection(const char* workFolder, char* direction) {
  (void)workFolder;
  ReadSetting(direction, kNameSize, kSettingsKey, "SyncDir");
}

int WriteDirection(const char* workFolder, const char* direction) {
  (void)workFolder;
  if (WriteSetting(direction, kSettingsKey, "SyncDir") != 0) {
    PfMessageBox("SyncDir write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

#else

// The direction file holds "ToPC" or "ToPalm"; blanks and line ends after
// the word do not count. A missing or unreadable file gives "" (ToPC).
void ReadDirection(const char* workFolder, char* direction) {
  direction[0] = '\0';
  char path[kPathSize];
  if (FormatFolderPath(path, workFolder, "SyncDir") != 0) return;
  FILE* file = PfOpenFile(path, "rb");
  if (!file) return;
  size_t n = fread(direction, 1, kNameSize - 1, file);
  PfCloseFile(file);
  direction[n] = '\0';
  while (n > 0 && (direction[n - 1] == '\n' || direction[n - 1] == '\r' ||
                   direction[n - 1] == ' ' || direction[n - 1] == '\t'))
    direction[--n] = '\0';
}

// Writes the text `context` into `out`: 0 or -1.
int WriteText(FILE* out, void* context) {
  const char* text = (const char*)context;
  size_t n = strlen(text);
  return fwrite(text, 1, n, out) == n ? 0 : -1;
}

int WriteDirection(const char* workFolder, const char* direction) {
  char path[kPathSize], tmp[kPathSize];
  if (FormatFolderPath(path, workFolder, "SyncDir") != 0 ||
      FormatFolderPath(tmp, workFolder, "SyncDir.tmp") != 0) {
    PfMessageBox("SyncDir file path error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  WholeFileResult result = WriteWholeFile(path, tmp, WriteText, (void*)direction);
  if (result != kWholeFileWritten) {
    // A temporary file that cannot be opened for writing is not kept either.
    if (result == kWholeFileNotCreated) PfDeleteFile(tmp);
    PfMessageBox("SyncDir file write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

#endif

}  // namespace

int RunHotsync(int argc, char** argv) {
  static const char kUsage[] =
      "usage: ryvo hotsync WORKDIR PDBFILE [--to-pc | --to-palm] [--force]\n"
      "Plays the HotSync conduit with a Palm database file (RyvoDB.pdb of an\n"
      "emulator or a backup). The direction:\n"
      "  ToPC:   PDBFILE -> WORKDIR/Ryvo.dmp; a Ryvo.dmp written later than\n"
      "          PDBFILE is kept unless --force is given.\n"
      "  ToPalm: WORKDIR/Ryvo.dmp -> PDBFILE, keeping its header, info blocks,\n"
      "          record attributes and unique IDs, the file replaced kept as\n"
      "          PDBFILE.bak; then the direction is ToPC.\n"
      "--to-pc and --to-palm name the direction; without them it is the\n"
#ifdef _WIN32
      "SyncDir value under HKCU\\Software\\RyvoWin (none: ToPC).\n"
#else
      "file WORKDIR/SyncDir (\"ToPC\" or \"ToPalm\"; missing counts as ToPC).\n"
#endif
      "A direction other than ToPC or ToPalm is an error. A PDBFILE that is\n"
      "not RyvoDB (its name, creator or type differ) is refused.\n";
  CommandOption options[] = {{"--to-pc", NULL, false, false, NULL},
                             {"--to-palm", NULL, false, false, NULL},
                             {"--force", NULL, false, false, NULL}};
  if (int code = ParseArguments(&argc, argv, options, OptionCount(options), 2, 2, kUsage);
      code >= 0)
    return code;
  if (options[0].given && options[1].given) {
    fprintf(stderr, "ryvo hotsync: --to-pc and --to-palm exclude each other\n");
    PrintConsoleText(kUsage, stderr);
    return 2;
  }
  const char* workFolder = argv[0];
  const char* pdbPath = argv[1];
  char dumpPath[kPathSize];
  if (FormatFolderPath(dumpPath, workFolder, "Ryvo.dmp") != 0) {
    PfMessageBox("RyvoDB file path error", kSystemErrorCaption, PF_MB_OK);
    return 1;
  }
  // One writer at a time in the working folder (Ryvo.dmp, SyncDir).
  FolderLock lock(workFolder);
  if (!lock.held) return 1;
  char direction[kNameSize];
  bool named = options[0].given || options[1].given;
  if (named) {
    snprintf(direction, sizeof direction, "%s", options[1].given ? "ToPalm" : "ToPC");
  } else {
    ReadDirection(workFolder, direction);
    if (direction[0] == '\0') snprintf(direction, sizeof direction, "ToPC");
    if (strcmp(direction, "ToPC") != 0 && strcmp(direction, "ToPalm") != 0) {
      char shown[256];
      fprintf(stderr, "ryvo hotsync: the direction SyncDir is \"%s\", neither ToPC nor ToPalm\n",
              ConsoleDisplayText(direction, shown, sizeof shown));
      return 1;
    }
  }
  char what[128];
  if (IdentifyPdb(pdbPath, what, sizeof what) == kPdbIsOther) {
    fprintf(stderr, "ryvo hotsync: %s is not RyvoDB: %s\n", pdbPath, what);
    return 1;
  }

  if (strcmp(direction, "ToPalm") != 0) {
    if (!options[2].given && ConsoleFileIsNewer(dumpPath, pdbPath)) {
      fprintf(stderr,
              "ryvo hotsync: %s was written later than %s: not replaced (--force replaces it)\n",
              dumpPath, pdbPath);
      return 1;
    }
    if (ConvertPdbToDump(pdbPath, dumpPath) != 0) return 1;
    if (Verbose) fprintf(stderr, "ToPC: %s -> %s\n", pdbPath, dumpPath);
    return 0;
  }
  if (!PfFileMissing(pdbPath)) {
    char bak[kPathSize], bakTmp[kPathSize];
    int n = snprintf(bak, sizeof bak, "%s.bak", pdbPath);
    int m = snprintf(bakTmp, sizeof bakTmp, "%s.bak.tmp", pdbPath);
    if (n <= 0 || n >= (int)sizeof bak || m <= 0 || m >= (int)sizeof bakTmp ||
        CopyFileWhole(pdbPath, bak, bakTmp) != 0) {
      PfMessageBox("Palm DB file copy error", kSystemErrorCaption, PF_MB_OK);
      return 1;
    }
  }
  if (ConvertDumpToPdb(dumpPath, pdbPath, kPdbKeepExisting) != 0) return 1;
  if (Verbose) fprintf(stderr, "ToPalm: %s -> %s\n", dumpPath, pdbPath);
  if (named) return 0;
  if (WriteDirection(workFolder, "ToPC") != 0) return 1;
  if (Verbose) fprintf(stderr, "SyncDir: ToPC\n");
  return 0;
}

int WriteSamplePdb(const char* pdbPath) {
  char dumpPath[kPathSize];
  int n = snprintf(dumpPath, sizeof dumpPath, "%s.sample.tmp", pdbPath);
  if (n < 0 || n >= (int)sizeof dumpPath) {
    fprintf(stderr, "ryvo sample: the file path is too long\n");
    return 2;
  }
  if (WriteSampleDump(dumpPath) != 0) {
    PfDeleteFile(dumpPath);
    PfMessageBox("RyvoDB file write error", kSystemErrorCaption, PF_MB_OK);
    return 1;
  }
  int result = ConvertDumpToPdb(dumpPath, pdbPath, kPdbFreshFile);
  PfDeleteFile(dumpPath);
  return result == 0 ? 0 : 1;
}
