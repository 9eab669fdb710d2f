// File names made from stock names and folders. A stock name is the base
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

#include "../platform/platform.h"   // kPathSize

// 1 when `name` can be a file name on Windows and elsewhere: not empty,
// not "." or "..", not a device name (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9 in any letter case, alone or before a dot: "nul.x"), and no
// "\", "/", ":", "*", "?", "<", ">", "|", double quote or byte below 0x20
// as a character. Code page 932 aware: the second byte of a double-byte
// character (ソ is 83 5C, 表 95 5C, ポ 83 7C) is never taken for one of them.
int IsStockFileName(const char* name);

// Forms "<folder>\<name><ext>" into `path` (kPathSize bytes), the name as
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

// Forms "<folder>\<file>" into `path`; -1 (path empty) when too long.
int FormatFolderPath(char* path, const char* folder, const char* file);

// 1 when `c` is the first byte of a code page 932 double-byte character.
int IsLeadByte932(unsigned char c);

// The path as the host names it: on Windows a copy; elsewhere every "\"
// becomes "/", the path being UTF-8 there (no byte of a UTF-8 character
// other than "\" itself is 0x5C). Used by the native platforms (the ryvo
// tool, the tests). Returns 0, or -1 (out empty) when it does not fit
// `size`.
int HostPathFromDosPath(char* out, int size, const char* path);

// Puts `length` bytes of `bytes` in place of the file at `path` (a path
// from FormatStockPath) so that the file is either replaced whole or left
// as it was:
// - a file that already holds exactly these bytes is left alone (read and
//   compared; it keeps its time stamp);
// - a file that does not exist (the open for reading fails with ENOENT) is
//   created and written; when writing or closing fails it is deleted, so
//   that no file cut short is left under the name;
// - any other file: the bytes go to a temporary file of the same folder
//   and the same length of path, the path with its last character
//   replaced by "~" ("7203.tx~", "7203.cs~": never a stock's file), which
//   then replaces the file.
// Returns 0 when the file holds the bytes; 1 when the file (or the
// temporary file) cannot be created, or the temporary file cannot take the
// file's place (the file cannot be written, as one that cannot be created:
// nothing changed); -1 when writing or closing failed (a full disk:
// nothing changed). No temporary file is left.
int ReplaceWholeFile(const char* path, const void* bytes, int length);
