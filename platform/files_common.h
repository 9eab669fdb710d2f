// What the file services of both systems share (files_common.cpp): the
// last failure kept for PfTakeFileError, and the copy made of the other
// file calls. Internal to platform/.
#pragma once

// Keeps the failure of a file call: its path and the reason as the system
// says it. Returns -1, so that a failing call can end with it.
int KeepFileFailure(const char* path, const char* reason);
// The same with the system's error code (errno, GetLastError), put into
// words only when PfTakeFileError asks: most failures kept are never told.
int KeepFileFailureCode(const char* path, unsigned long code);
// The system's words for an error code (files_posix.cpp, files_win32.cpp).
void DescribeSystemError(unsigned long code, char* out, int size);

// The name of a new temporary file for `base` into `out` (kPathSize
// bytes): `base` followed by ".<process>-<count>", or, when that is too
// long, ".ryvo-<process>-<count>~" in the folder of `base` (the folder
// ends at the last `separator`). 0, or -1 when neither fits.
int TemporaryName(const char* base, unsigned long process, unsigned count, char separator,
                  char* out);
