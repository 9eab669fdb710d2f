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

#ifdef _WIN32
// At the boundary to Windows: the wide (W) calls take and give UTF-16,
// converted here from and to code page 932 whatever the system's code
// page is.

// Code page 932 text to UTF-16 into `out` (`count` wide characters with the
// terminating zero), as Windows shows such text. Returns 0, or -1 when it
// does not fit (`out` then empty).
int Cp932ToWide(const char* cp932, wchar_t* out, int count);

// UTF-16 text to code page 932 into `out` (`size` bytes). Returns 0, or -1
// when a character has no code page 932 form (never replaced by a look-
// alike) or the text does not fit (`out` then empty).
int WideToCp932(const wchar_t* wide, char* out, int size);

// The same as a Japanese Windows hands typed text to a program: a
// character without code page 932 form becomes its look-alike or "?", and
// the text is cut at a character boundary to fit `size` bytes. Returns
// `out`.
const char* WideToCp932Shown(const wchar_t* wide, char* out, int size);

// Control texts of a dialog, as code page 932 (SetDlgItemTextW,
// GetDlgItemTextW). GetDialogText cuts the text to `size` bytes as above.
void SetDialogText(struct HWND__* dialog, int id, const char* text);
void GetDialogText(struct HWND__* dialog, int id, char* text, int size);
#endif
