// File names made from stock names and folders, and the writing of a file
// whole (WriteWholeFile, ReplaceWholeFile). A stock name is the base
// name of its settings file (.txt in the working folder) and of its price
// CSV file (.csv in the CSV folder); a name that could leave the folder is
// never used as a file name.
//
// Encodings: on Windows a path is code page 932 from end to end. Elsewhere
// file names are UTF-8, as Linux and Wine keep them: the folders are taken
// as given (the command line's UTF-8) and only the stock name, code page
// 932 inside the files, is converted when a path is formed, so that the
// native tool and RyvoWin under Wine name the same stock's files alike.
#pragma once

#include <stdio.h>

#include "../platform/platform.h"   // kPathSize

// 1 when `name` can be a file name on Windows and elsewhere: not empty,
// not "." or "..", not a device name (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9 in any letter case, alone or before a dot: "nul.x"), and no
// "\", "/", ":", "*", "?", "<", ">", "|", double quote or byte below 0x20
// as a character. Code page 932 aware: the second byte of a double-byte
// character (ソ is 83 5C, 表 95 5C, ポ 83 7C) is never taken for one of them.
int IsStockFileName(const char* name);

// The separator the exchange puts between a folder and a file name: "\" on
// Windows, "/" elsewhere, where a folder argument is taken as given and a
// "\" in it is a character of a name.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Forms "<folder><separator><name><ext>" into `path` (kPathSize bytes), the name as
// HostStockName gives it. Returns 0, or -1 (path empty) when the name
// cannot be a file name (IsStockFileName), has no host form, or the path
// would be longer than 259 bytes; such a file counts as one that cannot
// be created or opened.
int FormatStockPath(char* path, const char* folder, const char* name,
                    const char* ext);

// The stock name as the host's file names spell it, into `out` (`size`
// bytes): on Windows the code page 932 bytes themselves; elsewhere the
// name converted to UTF-8 (ソニー, 83 5C 83 6A 81 5B, becomes E3 82 BD E3
// 83 8B E3 83 BC). Returns 0, or -1 (out empty) when the name holds a
// byte sequence that is not code page 932 or does not fit.
int HostStockName(const char* name, char* out, int size);

// Forms "<folder><separator><file>" into `path`; -1 (path empty) when too
// long.
int FormatFolderPath(char* path, const char* folder, const char* file);

// 1 when `c` is the first byte of a code page 932 double-byte character.
int IsLeadByte932(unsigned char c);


// Writing a file whole. Every file the exchange, the editor and the ryvo
// tool write in place of an earlier one is written here, so that the file
// is either replaced whole or left as it was.
enum WholeFileResult {
  kWholeFileWritten = 0,       // the file holds the new bytes
  kWholeFileNotCreated = 1,    // the file (or its temporary file) could not be
                               // created: nothing written, nothing changed
  kWholeFileWriteFailed = -1,  // the writer or the close failed (a full disk):
                               // nothing changed
  kWholeFileNotReplaced = 2,   // the temporary file could not take the file's
                               // place: nothing changed
};

// Writes the bytes of a file into `out`, a file just created: 0, or -1
// when it failed (what it reports, it reports itself).
typedef int (*WholeFileWriter)(FILE* out, void* context);

// Writes the file at `path` with `write`:
// - with a `temporary` base name (a file of the same folder that no user's
//   file may be called), the bytes go to a new temporary file of that base
//   (PfCreateTemporary: exclusive, a name no other run uses), which is
//   written through to the disk and then replaces `path` (PfReplaceFile:
//   never a link or non-file, never a read-only file, the mode kept) only
//   once `write`, the sync and the close have succeeded;
// - with `temporary` NULL, `path` itself is created exclusively and
//   written; this is for a file that does not exist (PfFileMissing), where
//   there is nothing to keep.
// On any failure the file written (the temporary file, or `path` when it
// was written in place) is deleted, so that no temporary file and no file
// cut short is left. Reports nothing itself.
WholeFileResult WriteWholeFile(const char* path, const char* temporary,
                               WholeFileWriter write, void* context);

// Puts `length` bytes of `bytes` in place of the file at `path` (a path
// from FormatStockPath) through WriteWholeFile:
// - a file that already holds exactly these bytes is left alone (read and
//   compared; it keeps its time stamp);
// - a file that cannot be opened for reading while PfFileMissing tells
//   that nothing is under its name is created and written in place;
// - any other file: the bytes go to a temporary file of the same folder
//   whose base is the path with its last character replaced by "~"
//   ("7203.tx~", "7203.cs~": never a stock's file), which then replaces
//   the file; a link, a non-file or a read-only file is not replaced.
// Returns kWholeFileWritten when the file holds the bytes;
// kWholeFileNotCreated when the file (or the temporary file) cannot be
// created or the temporary file cannot take the file's place (the file
// cannot be written, as one that cannot be created: nothing changed), and
// for a path that is empty or longer than 259 bytes; kWholeFileWriteFailed
// when writing or closing failed (a full disk: nothing changed). Never
// kWholeFileNotReplaced. No temporary file is left.
WholeFileResult ReplaceWholeFile(const char* path, const void* bytes, int length);
