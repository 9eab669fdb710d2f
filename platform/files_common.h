// What the file services of both systems share (files_common.cpp): the
// last failure kept for PfTakeFileError, and the copy made of the other
// file calls. Internal to platform/.
#pragma once

// Keeps the failure of a file call: its path and the reason as the system
// says it. Returns -1, so that a failing call can end with it.
int KeepFileFailure(const char* path, const char* reason);
