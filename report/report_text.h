// Text written for SVG and HTML: a growing text in a fixed buffer, numbers
// as people read them, and every text that comes from the user's files
// turned into UTF-8 and escaped. The chart and the report write through
// these functions only, so that no file text reaches the page unescaped.
#pragma once

#include <stdint.h>

// A text in a caller's buffer. Once a write does not fit, `full` is set,
// the text stays as it was before that write and later writes are dropped.
struct TextSink {
  char* data;
  int capacity;   // bytes of `data`, the terminating zero included
  int length;
  int full;
};
void SinkInit(TextSink* sink, char* buffer, int capacity);
// Markup and numbers the program forms itself (ASCII).
void SinkPut(TextSink* sink, const char* text);
void SinkPrintf(TextSink* sink, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// Code page 932 text (from the files, or the program's own Japanese
// literals) as UTF-8 with <, >, &, " and ' escaped; a byte that is not code
// page 932 shows as "?", a control character (other than tab and line
// ends) as U+FFFD, so that the page stays well-formed XML whatever the
// files hold.
void SinkText(TextSink* sink, const char* cp932);
// A file name or folder as the host spells it (on Windows code page 932,
// elsewhere UTF-8, the names of the stocks' files included), escaped in the
// same way; outside Windows a byte that is not UTF-8 shows as "?".
void SinkHostText(TextSink* sink, const char* text);

// Numbers with thousands separators: "1,234", "-2,000".
const char* FormatGrouped(int64_t value, char* out, int size);
// A packed value with the decimals it was stored with: mantissa 123450
// with exponent -2 is "1,234.50", mantissa 125 with exponent 1 is "1,250".
const char* FormatPackedText(uint32_t field, char* out, int size);
// A value with `decimals` decimals (0 to 2), grouped: 2500 gives "2,500".
const char* FormatDecimal(double value, int decimals, char* out, int size);
// A volume as Japanese counts it: "9,500", "3,000万", "4.5億".
const char* FormatVolumeText(double value, char* out, int size);
