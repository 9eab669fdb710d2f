// The platform of the fuzz targets: shared/platform.h and shared/settings.h
// over real files in a scratch folder of the process, with every write
// confined to the folders a target names. A write, copy, rename or delete
// anywhere else stops the process at once (__builtin_trap), so that the
// fuzzer reports it as a finding. Messages are counted, not shown; the
// stock list and the settings store live in memory.
#pragma once

#include <string>
#include <vector>

// Creates ryvo-fuzz-<target>-<pid> in /dev/shm (else /tmp) with the subfolders "work", "csv"
// and "db" (once per process) and empties them. Only files directly inside
// these three folders may be written.
void FuzzPlatformInit(const char* target);
const std::string& FuzzFolder(const char* sub);   // "work", "csv" or "db"

// Empties the three folders, the message record and the stock list.
void FuzzResetRun(void);

// The start of one run of a target that works in the folders: the folders
// made (the first time) or emptied, and "work" and "csv" set as the
// exchange's WorkFolder and CsvFolder.
void FuzzBeginRun(const char* target);

// The folder entry of a stock's file in folder `sub` as the exchange names
// it outside Windows: the code page 932 name in UTF-8, then `ext`. False
// (file empty) when the name has no UTF-8 form or the path
// "<folder>\<file>" would pass 259 bytes: no such file is created or
// opened. The name's other rules are IsStockFileName's.
bool FuzzStockFile(const char* sub, const std::string& name, const char* ext, std::string* file);

// Names of the regular files in a folder, sorted.
std::vector<std::string> FuzzListFolder(const char* sub);
std::string FuzzReadFile(const std::string& path);   // "" when missing
void FuzzWriteFile(const std::string& path, const unsigned char* data, size_t size);

// Files opened through PfOpenFile and not yet closed.
int FuzzOpenFiles(void);

// Message boxes since FuzzResetRun.
int FuzzMessageCount(void);
const std::string& FuzzLastMessage(void);

// The stock list handle and its entries.
void* FuzzStockList(void);
const std::vector<std::string>& FuzzListItems(void);
void FuzzListSet(const std::vector<std::string>& names);

// Marks the independent model code of a target: not instrumented for
// coverage, so that the fuzzer is guided by the code under test alone and
// the model's loops cost no tracing.
#define FUZZ_MODEL __attribute__((no_sanitize("coverage")))

// Stops the process with a message on standard error: a property failed.
[[noreturn]] void FuzzFail(const char* what);
#define FUZZ_CHECK(cond) \
  do { if (!(cond)) FuzzFail(#cond); } while (0)
