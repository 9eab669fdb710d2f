// The console platform of the ryvo tool and the benchmark: message boxes
// go to standard error as "[caption] text" (UTF-8 on Linux, code page 932
// bytes on Windows) and are answered OK; files are the host's, with "\"
// separators turned into "/" outside Windows; the stock list is in memory.
// On Linux the settings store is in memory too; on Windows it is the
// registry (shared/settings_win32.cpp).
#pragma once

#include "platform.h"

// The one stock list of the tool.
StockList ConsoleStockList(void);
void ConsoleListClear(void);

// NULL when `folder` is a folder (or a link to one); otherwise why it is
// not, as strerror says it ("No such file or directory", "Not a
// directory").
const char* ConsoleFolderProblem(const char* folder);

// Calls `each` with the name of every file in `folder` (files only, no
// folders, in no set order): 0, or -1 when the folder cannot be read.
int ConsoleFolderFiles(const char* folder, void (*each)(void* context, const char* name),
                       void* context);

// 1 when the files `a` and `b` both exist and `a` was last written later
// than `b`; else 0.
int ConsoleFileIsNewer(const char* a, const char* b);

// Number of message boxes shown so far.
int ConsoleMessageCount(void);
// With quiet set, messages are counted but not printed (benchmark).
void ConsoleSetQuiet(int quiet);

// Code page 932 text as the console shows it (UTF-8 on Linux) into `out`;
// undecodable bytes are shown as "?", control bytes other than line feed
// and tab as "\xNN". Returns `out`.
const char* ConsoleDisplayText(const char* cp932, char* out, int size);
// A path as the console shows it, into `out`: the host's path (outside
// Windows "\" as "/", and UTF-8 already: the folders as given, the stock
// names as FormatStockPath spells them), so no conversion; the path as it
// is when the host form does not fit. Returns `out`.
const char* ConsoleDisplayPath(const char* path, char* out, int size);
// A command-line argument (UTF-8 on Linux, the ANSI code page on Windows)
// as code page 932 text; 0, or -1 when it cannot be converted or is too
// long for `size`.
int ConsoleArgumentText(const char* argument, char* out, int size);
