// The Palm Conduit Manager calls that RyvoWin and the installer make, bound
// at load time by export ordinal from CONDMGR.dll (condmgr.def beside this
// header; the import library is the target condmgr_import). On a user's
// machine the library comes with Palm Desktop; the tests and the demo use
// the stand-in of tests/fixtures/condmgr, built from the same .def.
//
// Every call is stdcall. Creator IDs are zero-terminated texts ("Ryvo").
// Results: 0 on success (the removal call: 1); failures are codes below
// -1000 (kCmErr...). A caller must treat every non-zero result of the
// queries, and every result other than 0 (removal: other than 1), as a
// failure.
#pragma once

#include <windows.h>

enum {
  kCmErrNotInstalled = -1001,   // Palm Desktop is not installed
  kCmErrBadArgument = -1002,    // missing text or creator ID not 4 bytes
  kCmErrNoConduit = -1003,      // no conduit registered for the creator ID
  kCmErrBufferTooSmall = -1004, // the caller's buffer cannot hold the text
  kCmErrCreatorInUse = -1005,   // the creator ID is already registered
  kCmErrRegistry = -1006,       // the registration store refused
};

#ifdef __cplusplus
extern "C" {
#endif

// Ordinal 88: the Palm Desktop folder into `folder` (*size bytes with the
// terminating zero). 0 when Palm Desktop is installed.
int WINAPI CmGetPalmDesktopFolder(char* folder, int* size);
// Ordinal 47: 0 when a conduit is registered for `creator`; `buffer`
// (*size bytes) then holds the conduit's name. kCmErrNoConduit otherwise.
int WINAPI CmQueryConduit(const char* creator, char* buffer, int* size);
// Ordinal 67: registers `creator` with the conduit type `type`.
int WINAPI CmInstallCreator(const char* creator, int type);
// Ordinals 46, 48, 63, 40: set the conduit's name (its full path), its
// folder, its file and its priority. The creator must be registered.
int WINAPI CmSetCreatorName(const char* creator, const char* name);
int WINAPI CmSetCreatorDirectory(const char* creator, const char* directory);
int WINAPI CmSetCreatorFile(const char* creator, const char* file);
int WINAPI CmSetCreatorPriority(const char* creator, int priority);
// Ordinal 65: removes the registration; 1 on success.
int WINAPI CmRemoveConduitByCreatorID(const char* creator);

#ifdef __cplusplus
}
#endif
