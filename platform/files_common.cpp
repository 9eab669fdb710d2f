// The parts of the file services that are the same on every system: the
// last failure of a file call (PfTakeFileError), the names of temporary
// files, PfCloseFile, and PfCopyFile, which is
// made of the other file calls (a regular source, a temporary file beside
// the target, written through to the disk, put in place by PfReplaceFile).
#include "files_common.h"

#include <stdio.h>
#include <string.h>

#include "platform.h"

namespace {

char FailedPath[kPathSize];
char FailedReason[128];
unsigned long FailedCode;
int FailureKept;   // 0 none, 1 with FailedReason, 2 with FailedCode

}  // namespace

int KeepFileFailure(const char* path, const char* reason) {
  snprintf(FailedPath, sizeof FailedPath, "%s", path != NULL ? path : "");
  snprintf(FailedReason, sizeof FailedReason, "%s", reason);
  FailureKept = 1;
  return -1;
}

int KeepFileFailureCode(const char* path, unsigned long code) {
  snprintf(FailedPath, sizeof FailedPath, "%s", path != NULL ? path : "");
  FailedCode = code;
  FailureKept = 2;
  return -1;
}

int PfTakeFileError(char* path, char* reason, int size) {
  if (!FailureKept) return -1;
  snprintf(path, kPathSize, "%s", FailedPath);
  if (FailureKept == 2)
    DescribeSystemError(FailedCode, reason, size);
  else
    snprintf(reason, (size_t)size, "%s", FailedReason);
  FailureKept = 0;
  return 0;
}

void PfForgetFileError(void) { FailureKept = 0; }

int TemporaryName(const char* base, unsigned long process, unsigned count, char separator,
                  char* out) {
  int n = snprintf(out, kPathSize, "%s.%lu-%u", base, process, count);
  if (n >= 0 && n < kPathSize) return 0;
  const char* cut = strrchr(base, separator);
  int folder = cut != NULL ? (int)(cut - base) + 1 : 0;   // with its separator
  n = snprintf(out, kPathSize, "%.*s.ryvo-%lu-%u~", folder, base, process, count);
  if (n >= 0 && n < kPathSize) return 0;
  out[0] = '\0';
  return -1;
}

int PfCloseFile(FILE* file) {
  if (file == NULL) return -1;
  int failed = ferror(file);
  if (fclose(file) != 0) failed = 1;
  return failed ? -1 : 0;
}

int PfCopyFile(const char* from, const char* to) {
  FILE* in = PfOpenFile(from, "rb");
  if (in == NULL) return -1;
  PfFileCloser inCloser(in);
  char temporary[kPathSize];
  FILE* out = PfCreateTemporary(to, temporary);
  if (out == NULL) return -1;
  static char buffer[1 << 16];
  int ok = 1;
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
    if (fwrite(buffer, 1, n, out) != n) {
      ok = 0;
      break;
    }
  if (ferror(in)) ok = 0;
  if (ok && PfSyncFile(out) != 0) ok = 0;
  if (PfCloseFile(out) != 0) ok = 0;
  if (!ok) KeepFileFailure(temporary, "cannot be written");
  if (ok && PfReplaceFile(temporary, to) == 0) return 0;
  PfDeleteFile(temporary);
  return -1;
}
