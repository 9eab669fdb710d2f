// The Palm Conduit Manager calls that RyvoWin and the installer make. On a
// user's machine CONDMGR.dll comes with Palm Desktop; the tests and the
// demo use the stand-in of tests/fixtures/condmgr, which exports these
// functions by the same ordinals (condmgr.def beside this header).
//
// The programs do not import the library at load time: LoadConduitManager
// (condmgr_load.cpp) finds CONDMGR.dll when it is first needed, binds each
// call by its ordinal (kCmOrdinal...) and the functions below then forward
// to it. Before a successful LoadConduitManager every call returns
// kCmErrNotInstalled.
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

// Export ordinals of CONDMGR.dll (the same numbers as in condmgr.def).
enum {
  kCmOrdinalSetCreatorPriority = 40,
  kCmOrdinalSetCreatorName = 46,
  kCmOrdinalQueryConduit = 47,
  kCmOrdinalSetCreatorDirectory = 48,
  kCmOrdinalSetCreatorFile = 63,
  kCmOrdinalRemoveConduitByCreatorID = 65,
  kCmOrdinalInstallCreator = 67,
  kCmOrdinalGetPalmDesktopFolder = 88,
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

// Finds CONDMGR.dll and binds the calls above; once bound, later calls
// return 0 at once. The library is looked for, by full path only, beside
// the running program, then in the Palm Desktop folder recorded by Palm
// Desktop (HKCU\Software\U.S. Robotics\Pilot Desktop\Core, value Path),
// then in each absolute folder of PATH; never in the current directory. A
// library that lacks one of the eight ordinals does not count. Returns 0,
// or -1 when it is nowhere; it shows nothing, each program says in its own
// words that Palm Desktop is missing.
int LoadConduitManager(void);
