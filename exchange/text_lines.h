// Reading the per-stock text files (stock settings file, price CSV file)
// line by line as a Windows program in text mode reads them: CR LF reads
// as one line feed, a CR not followed by LF stays as it is, and a Ctrl-Z
// (0x1A) ends the file. Files are opened in binary mode everywhere, so the
// same bytes give the same lines on every platform.
#pragma once

#include <stdio.h>

enum { kLineBufferSize = 260, kMaxLineChars = 258 };

struct TextReader {
  FILE* file;
  int pos;
  int len;
  int ended;     // no more bytes: end of file, read error or Ctrl-Z
  int drained;   // the last read came short: the file has no more bytes
  unsigned char data[16384];
};

// Starts reading `file` (open in binary mode) from its current position.
// The reader does not own the file; the caller closes it.
void TextReaderInit(TextReader* reader, FILE* file);
// Starts reading `length` bytes of `bytes` as the text of a file (at most
// the reader's 16384 bytes are taken; the rest is left out).
void TextReaderInitBytes(TextReader* reader, const void* bytes, int length);

// Reads one line as fgets(line, size, ...) would in text mode: at most
// size - 1 characters, up to and including the line feed; a longer line is
// read in pieces. Returns the number of characters stored (the line is
// zero-terminated), or -1 at the end of the file with nothing read.
int ReadTextLine(TextReader* reader, char* line, int size);

// The settings-file pair rule: commas and line feeds at the start are
// skipped; `first` gets the text up to the next comma or line feed,
// `second` the rest of the line after that comma up to the line feed
// ("12,34,56" gives "12" and "34,56"). Missing pieces are empty; each
// piece is cut to its buffer's size - 1.
void SplitSettingsPair(const char* line, char* first, int firstSize,
                       char* second, int secondSize);

// The line without its line end: the line feed at its end, if any, is
// removed. A line from ReadTextLine ends in "\n" for CR LF, so a CR before
// it is a lone CR of the text and stays, as in a text-mode read.
void StripLineEnd(char* line);
