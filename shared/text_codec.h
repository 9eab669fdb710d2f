// Text encodings at the edges of the system. Inside, every text is code
// page 932 as it stands in the files; what leaves for a Linux console, a
// Linux file name, JSON, SVG or HTML is UTF-8. Portable: iconv on POSIX,
// the Win32 code page functions on Windows; no other module converts.
#pragma once

// Code page 932 text to UTF-8 into `out` (`size` bytes, zero-terminated).
// Returns 0, or -1 when a byte sequence is not code page 932 or the text
// does not fit (`out` then holds an empty string).
int Cp932ToUtf8(const char* cp932, char* out, int size);

// The same for display: a byte sequence that is not code page 932 shows as
// "?"; the text is cut at a character boundary when `out` is full.
// Returns `out`.
const char* Cp932ToUtf8Shown(const char* cp932, char* out, int size);

// UTF-8 text to code page 932 into `out`; 0, or -1 when a character has no
// code page 932 form or the text does not fit (`out` then empty).
int Utf8ToCp932(const char* utf8, char* out, int size);
