// Line reading of the per-stock text files with the rules of a Windows
// text-mode stream, and the settings-file line rules shared by the
// converter and the settings dialog.
#include "text_lines.h"

#include <string.h>

void TextReaderInit(TextReader* reader, FILE* file) {
  reader->file = file;
  reader->pos = 0;
  reader->len = 0;
  reader->ended = 0;
  reader->drained = 0;
}

void TextReaderInitBytes(TextReader* reader, const void* bytes, int length) {
  if (length < 0) length = 0;
  if (length > (int)sizeof reader->data) length = (int)sizeof reader->data;
  memcpy(reader->data, bytes, (size_t)length);
  reader->file = NULL;
  reader->pos = 0;
  reader->len = length;
  reader->ended = 0;
  reader->drained = 1;   // no file behind the bytes
}

// The next raw byte, or -1 at the end; Ctrl-Z ends the file for good.
static int PeekByte(TextReader* reader) {
  if (reader->ended) return -1;
  if (reader->pos >= reader->len) {
    // A short read means the end of the file or an error: no read after it.
    size_t n = reader->drained ? 0 : fread(reader->data, 1, sizeof reader->data, reader->file);
    reader->drained = n < sizeof reader->data;
    reader->pos = 0;
    reader->len = (int)n;
    if (n == 0) {
      reader->ended = 1;
      return -1;
    }
  }
  int c = reader->data[reader->pos];
  if (c == 0x1A) {
    reader->ended = 1;
    return -1;
  }
  return c;
}

int ReadTextLine(TextReader* reader, char* line, int size) {
  int count = 0;
  if (size <= 0) return -1;
  while (count < size - 1) {
    if (PeekByte(reader) < 0) break;
    // Take the plain bytes of the buffer at once: up to the line feed, a
    // CR, a Ctrl-Z or the room left, whichever comes first.
    const unsigned char* from = reader->data + reader->pos;
    int room = size - 1 - count;
    int avail = reader->len - reader->pos;
    int n = avail < room ? avail : room;
    const unsigned char* stop = (const unsigned char*)memchr(from, '\n', (size_t)n);
    int take = stop != NULL ? (int)(stop - from) + 1 : n;
    const unsigned char* cr = (const unsigned char*)memchr(from, '\r', (size_t)take);
    if (cr != NULL) take = (int)(cr - from);
    const unsigned char* eof = (const unsigned char*)memchr(from, 0x1A, (size_t)take);
    if (eof != NULL) {
      take = (int)(eof - from);
    } else if (cr != NULL && cr + 1 == stop) {
      // The line ends in CR LF within the bytes read: one line feed.
      memcpy(line + count, from, (size_t)take);
      count += take;
      line[count++] = '\n';
      reader->pos += take + 2;
      break;
    }
    if (take > 0) {
      memcpy(line + count, from, (size_t)take);
      count += take;
      reader->pos += take;
      if (line[count - 1] == '\n') break;
      continue;
    }
    // A CR (Ctrl-Z is taken by PeekByte): CR LF reads as one line feed.
    int c = PeekByte(reader);
    if (c < 0) break;
    reader->pos++;
    if (c == '\r' && PeekByte(reader) == '\n') {
      reader->pos++;
      c = '\n';
    }
    line[count++] = (char)c;
    if (c == '\n') break;
  }
  line[count] = '\0';
  return count == 0 ? -1 : count;
}

static void CopyPiece(char* out, int size, const char* from, int length) {
  if (size <= 0) return;
  if (length > size - 1) length = size - 1;
  memcpy(out, from, (size_t)length);
  out[length] = '\0';
}

void SplitSettingsPair(const char* line, char* first, int firstSize,
                       char* second, int secondSize) {
  const char* p = line;
  while (*p == ',' || *p == '\n') ++p;
  const char* end = p;
  while (*end != '\0' && *end != ',' && *end != '\n') ++end;
  CopyPiece(first, firstSize, p, (int)(end - p));
  const char* rest = end;
  int restLength = 0;
  if (*rest == ',') {
    ++rest;
    while (rest[restLength] != '\0' && rest[restLength] != '\n') ++restLength;
  }
  CopyPiece(second, secondSize, rest, restLength);
}

void StripLineEnd(char* line) {
  // ReadTextLine has already made CR LF one line feed; a CR before it is a
  // lone CR ("abc" CR CR LF) and belongs to the text.
  size_t n = strlen(line);
  if (n > 0 && line[n - 1] == '\n') line[n - 1] = '\0';
}
