// The Conduit Manager calls the installer makes. CONDMGR.dll is bound at
// load time through an import library that names each export by ordinal
// only; the names below, with their stdcall argument sizes, are those of
// its module-definition file. Every call returns an int; the creator ID is
// a zero-terminated text.
#pragma once

#include <windows.h>

extern "C" {
// Ordinal 88: Palm Desktop folder into `folder` (`*size` bytes).
// 0 = Palm Desktop installed; non-zero = it is not.
int WINAPI CmGetPalmDesktopFolder(char* folder, int* size);
// Ordinal 47: 0 when a conduit is registered for `creator`; the text
// written to `buffer` (`*size` bytes) is not used.
int WINAPI CmQueryConduit(const char* creator, char* buffer, int* size);
// Ordinal 67: creates the registration for `creator` with `type`.
int WINAPI CmInstallCreator(const char* creator, int type);
// Ordinal 46: full path of the conduit DLL.
int WINAPI CmSetCreatorName(const char* creator, const char* name);
// Ordinal 48: the conduit's folder under the user's HotSync folder.
int WINAPI CmSetCreatorDirectory(const char* creator, const char* directory);
// Ordinal 63: the database file the conduit keeps.
int WINAPI CmSetCreatorFile(const char* creator, const char* file);
// Ordinal 40: the conduit's priority.
int WINAPI CmSetCreatorPriority(const char* creator, int priority);
// Ordinal 65: removes the registration; exactly 1 on success.
int WINAPI CmRemoveConduitByCreatorID(const char* creator);
}
