// The stocks added to a working folder since its dump was last converted:
// the file Added.txt of the working folder, one code page 932 stock name a
// line, CR LF after each, written whole. A stock is put there when it gets
// its files without being in Ryvo.dmp (ryvo import of a new stock, ryvo
// add), so that the next conversion takes it after the dump's stocks; the
// names the new dump holds are taken out after the conversion.
#pragma once

#include "dump_format.h"

enum { kMaxAddedStocks = 1024 };
extern char AddedStockNames[kMaxAddedStocks][kStockNameSize + 1];
extern int AddedStockCount;

// Reads Added.txt of `workFolder` into AddedStockNames: 0 (no file: no
// names; empty lines, names longer than 20 bytes and repeated names passed
// over), or -1 after "RyvoDB Added file read error" when it cannot be read.
int ReadAddedStocks(const char* workFolder);

// Puts `name` at the end of Added.txt unless it is there: 0, or -1 after
// "RyvoDB Added file write error" (the file then as it was).
int AddAddedStock(const char* workFolder, const char* name);

// Takes the `count` names of `held` out of Added.txt (the file is deleted
// when no name is left, left alone when none was taken): 0, or -1 after
// "RyvoDB Added file write error".
int DropAddedStocks(const char* workFolder, const char (*held)[kStockNameSize + 1], int count);
