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
#include "pdb_file.h"
#include "platform.h"
#include "sample_dump.h"
#include "settings.h"
#include "stock_paths.h"

namespace {

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

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
// the word do not count. A missing or unreadable file counts as "ToPC".
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
      "usage: ryvo hotsync WORKDIR PDBFILE\n"
      "Plays the HotSync conduit with a Palm database file (RyvoDB.pdb of an\n"
      "emulator or a backup). The transfer direction decides the way:\n"
      "  ToPC (or anything else): PDBFILE -> WORKDIR/Ryvo.dmp\n"
      "  ToPalm: WORKDIR/Ryvo.dmp -> PDBFILE, keeping its header, info blocks,\n"
      "          record attributes and unique IDs; then the direction is ToPC.\n"
#ifdef _WIN32
      "The direction is the SyncDir value under HKCU\\Software\\RyvoWin.\n";
#else
      "The direction is the file WORKDIR/SyncDir (\"ToPC\" or \"ToPalm\";\n"
      "missing counts as ToPC).\n";
#endif
  if (int code = CheckArguments(&argc, argv, 2, 2, kUsage); code >= 0) return code;
  const char* workFolder = argv[0];
  const char* pdbPath = argv[1];
  char dumpPath[kPathSize];
  if (FormatFolderPath(dumpPath, workFolder, "Ryvo.dmp") != 0) {
    PfMessageBox("RyvoDB file path error", kSystemErrorCaption, PF_MB_OK);
    return 1;
  }
  char direction[kNameSize];
  ReadDirection(workFolder, direction);

  if (strcmp(direction, "ToPalm") != 0) {
    if (ConvertPdbToDump(pdbPath, dumpPath) != 0) return 1;
    printf("ToPC: %s -> %s%cRyvo.dmp\n", pdbPath, workFolder, kSeparator);
    return 0;
  }
  if (ConvertDumpToPdb(dumpPath, pdbPath, kPdbKeepExisting) != 0) return 1;
  printf("ToPalm: %s%cRyvo.dmp -> %s\n", workFolder, kSeparator, pdbPath);
  if (WriteDirection(workFolder, "ToPC") != 0) return 1;
  printf("SyncDir: ToPC\n");
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
