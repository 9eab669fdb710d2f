// The platform of the native unit tests: shared/platform.h and
// shared/settings.h implemented over real files in a scratch folder, an
// in-memory stock list and settings store, recorded message boxes with
// scripted answers, and injected file faults.
//
// Use from any test file in tests/unit (they all link fake_platform.cpp):
//
//   FakeReset();                         // at the start of every test
//   std::string work = FakeFolder("work");   // creates <scratch>/work
//   strcpy(WorkFolder, work.c_str());    // folders are host paths; the
//                                        // "\" the code adds becomes "/"
//   (or FakeResetWithFolders(&work, &csv) for both folders at once)
//   FakeListSet({"7203", "ソニー"});     // the stock list (CP932 literals)
//   FakeFailOpen("SaveRyvo.dmp");        // the next opens of that path fail
//   ... call the code under test ...
//   EXPECT_EQ(FakeMessages().size(), 1u);
//   EXPECT_EQ(FakeMessages()[0].text, "RyvoDB file open error");
//
// Paths given to the Pf* file calls are DOS-style ("<folder>\<name>"); a
// fault pattern matches when it occurs anywhere in such a path (plain
// substring, case-sensitive). Every fault stays until FakeReset. A stock's
// file is named in UTF-8 on disk and in those paths (FakeHostName); a
// pattern with a Japanese name is written u8"ソニー.cs~".
#pragma once

#include <string>
#include <vector>

#include "platform.h"
#include "settings.h"

struct FakeMessage {
  std::string text;
  std::string caption;
  int buttons;   // PF_MB_OK or PF_MB_OKCANCEL
};

// Forgets messages, answers, the list, the settings and every fault, and
// gives a new empty scratch folder (the previous one is removed).
void FakeReset(void);
// The scratch folder, and a folder inside it (created, with parents).
const std::string& FakeRoot(void);
std::string FakeFolder(const char* relative);
// FakeReset, then the folders "work" and "csv" of the scratch folder as
// the exchange's WorkFolder and CsvFolder; gives their paths.
void FakeResetWithFolders(std::string* work, std::string* csv);

// Message boxes shown since the last reset, oldest first.
const std::vector<FakeMessage>& FakeMessages(void);
void FakeClearMessages(void);
// Answers for the next OK/Cancel boxes, in order; when none is queued a
// box is answered PF_IDOK.
void FakeQueueAnswer(int answer);

// The one stock list of the tests; FakeStockList() is the handle to pass
// (any non-null handle reaches the same list).
StockList FakeStockList(void);
void FakeListSet(const std::vector<std::string>& names);
std::vector<std::string> FakeListItems(void);

// Settings store in memory (key "Software\RyvoWin" only).
void FakeSettingsSet(const char* name, const char* value);
// Makes every WriteSetting fail until the next reset.
void FakeSettingsFailWrites(void);

// File faults.
// PfOpenFile gives NULL; the pattern is matched against "<path> (<mode>)",
// so "Ryvo.dmp (r+b)" fails only that open of that file.
void FakeFailOpen(const char* pattern);
void FakeFailWriteAfter(const char* pattern, long bytes);   // writes fail after N bytes
void FakeFailClose(const char* pattern);                // PfCloseFile gives -1
void FakeFailCopy(const char* pattern);                 // source or destination
void FakeFailReplace(const char* pattern);              // source or destination
void FakeFailDelete(const char* pattern);
void FakeFailRead(const char* pattern);                 // reads of a file opened for reading fail
// A read-only file: the host path ends with `suffix` (so "/1111.csv" does
// not match "/1111.csv.tmp"). It can be opened for reading only; copies
// and renames onto it and its deletion fail.
void FakeReadOnlyFile(const char* suffix);
// A read-only folder (host path): no file directly inside it can be
// created, written, replaced, copied onto or deleted.
void FakeReadOnlyFolder(const std::string& hostFolder);
// Folder locks: PfLockFolder of a folder whose path holds `pattern` finds
// it busy; FakeLocksHeld counts the locks held now (0 once every
// operation has ended).
void FakeFolderBusy(const char* pattern);
int FakeLocksHeld(void);
// A file deleted between two steps: when an open matches `pattern` (as
// FakeFailOpen), the file at `hostPath` is removed first, once.
void FakeRemoveOnOpen(const char* pattern, const std::string& hostPath);
// Every open since the reset as "<path> (<mode>)", oldest first.
const std::vector<std::string>& FakeOpenLog(void);

// A stock name (code page 932) as the base name of its files on disk: its
// UTF-8 form, "" when it has none. work + "/" + FakeHostName(n) + ".txt".
std::string FakeHostName(const std::string& cp932Name);

// Test file helpers on host paths.
std::string FakeReadFile(const std::string& hostPath);      // "" when missing
bool FakeFileExists(const std::string& hostPath);
void FakeWriteFile(const std::string& hostPath, const std::string& bytes);
