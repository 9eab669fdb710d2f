// Text sink, escaping and number formats of the chart and the report.
#include "report_text.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "dump_format.h"
#include "text_codec.h"

namespace {

void Append(TextSink* sink, const char* bytes, int n) {
  if (sink->full) return;
  if (n > sink->capacity - 1 - sink->length) {
    sink->full = 1;
    return;
  }
  memcpy(sink->data + sink->length, bytes, (size_t)n);
  sink->length += n;
  sink->data[sink->length] = '\0';
}

// UTF-8 text with <, >, &, " and ' as references and control characters
// other than tab and line ends as U+FFFD.
void AppendEscaped(TextSink* sink, const char* utf8) {
  const char* start = utf8;
  const char* p = utf8;
  for (; *p != '\0'; ++p) {
    const char* replacement = NULL;
    switch (*p) {
      case '<': replacement = "&lt;"; break;
      case '>': replacement = "&gt;"; break;
      case '&': replacement = "&amp;"; break;
      case '"': replacement = "&quot;"; break;
      case '\'': replacement = "&#39;"; break;
      case '\t': case '\n': case '\r': break;
      default:
        if ((unsigned char)*p < 0x20) replacement = "\xEF\xBF\xBD";   // U+FFFD
        break;
    }
    if (replacement == NULL) continue;
    Append(sink, start, (int)(p - start));
    Append(sink, replacement, (int)strlen(replacement));
    start = p + 1;
  }
  Append(sink, start, (int)(p - start));
}

}  // namespace

void SinkInit(TextSink* sink, char* buffer, int capacity) {
  sink->data = buffer;
  sink->capacity = capacity;
  sink->length = 0;
  sink->full = capacity <= 0;
  if (capacity > 0) buffer[0] = '\0';
}

void SinkPut(TextSink* sink, const char* text) { Append(sink, text, (int)strlen(text)); }

void SinkPrintf(TextSink* sink, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 0 || n >= (int)sizeof text) {
    sink->full = 1;   // never cut a formed text in the middle
    return;
  }
  Append(sink, text, n);
}

void SinkText(TextSink* sink, const char* cp932) {
  // A text of the files is at most a line of 258 bytes or a finding's
  // message; three UTF-8 bytes per code page 932 byte is the worst case.
  static char utf8[4 * 1024];
  Cp932ToUtf8Shown(cp932, utf8, sizeof utf8);
  AppendEscaped(sink, utf8);
}

void SinkHostText(TextSink* sink, const char* text) {
#ifdef _WIN32
  SinkText(sink, text);
#else
  // Valid UTF-8 passes; anything else becomes "?" byte by byte.
  static char checked[4 * 1024];
  const unsigned char* p = (const unsigned char*)text;
  int n = 0;
  while (*p != '\0' && n < (int)sizeof checked - 5) {
    int length = *p < 0x80 ? 1 : (*p >> 5) == 6 ? 2 : (*p >> 4) == 14 ? 3 : (*p >> 3) == 30 ? 4 : 0;
    for (int k = 1; k < length; ++k)
      if ((p[k] & 0xC0) != 0x80) {
        length = 0;   // a zero byte ends the loop here too
        break;
      }
    if (length == 0) {
      checked[n++] = '?';
      ++p;
      continue;
    }
    for (int k = 0; k < length; ++k) checked[n++] = (char)*p++;
  }
  checked[n] = '\0';
  AppendEscaped(sink, checked);
#endif
}

const char* FormatGrouped(int64_t value, char* out, int size) {
  char digits[32];
  uint64_t magnitude = value < 0 ? (uint64_t)0 - (uint64_t)value : (uint64_t)value;
  int n = snprintf(digits, sizeof digits, "%llu", (unsigned long long)magnitude);
  char text[48];
  int k = 0;
  if (value < 0) text[k++] = '-';
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) text[k++] = ',';
    text[k++] = digits[i];
  }
  text[k] = '\0';
  snprintf(out, (size_t)size, "%s", text);
  return out;
}

const char* FormatPackedText(uint32_t field, char* out, int size) {
  int exponent = (int)((field >> 17) & 7) - 2;
  int64_t mantissa = field & 0x1FFFF;
  char whole[48];
  if (exponent >= 0) {
    for (int i = 0; i < exponent; ++i) mantissa *= 10;
    return FormatGrouped(mantissa, out, size);
  }
  int64_t scale = exponent == -1 ? 10 : 100;
  FormatGrouped(mantissa / scale, whole, sizeof whole);
  snprintf(out, (size_t)size, "%s.%0*lld", whole, -exponent, (long long)(mantissa % scale));
  return out;
}

const char* FormatDecimal(double value, int decimals, char* out, int size) {
  if (decimals < 0) decimals = 0;
  if (decimals > 2) decimals = 2;
  int64_t scale = decimals == 0 ? 1 : decimals == 1 ? 10 : 100;
  double scaled = floor(fabs(value) * (double)scale + 0.5);
  int64_t units = (int64_t)scaled;
  char whole[48];
  FormatGrouped(units / scale, whole, sizeof whole);
  const char* sign = value < 0 && units != 0 ? "-" : "";
  if (decimals == 0)
    snprintf(out, (size_t)size, "%s%s", sign, whole);
  else
    snprintf(out, (size_t)size, "%s%s.%0*lld", sign, whole, decimals, (long long)(units % scale));
  return out;
}

const char* FormatVolumeText(double value, char* out, int size) {
  char number[48];
  if (value >= 1e8) {
    double oku = value / 1e8;
    FormatDecimal(oku, oku == floor(oku) ? 0 : oku * 10 == floor(oku * 10) ? 1 : 2, number,
                  sizeof number);
    snprintf(out, (size_t)size, "%s億", number);
  } else if (value >= 1e4 && fmod(value, 1e4) == 0) {
    snprintf(out, (size_t)size, "%s万", FormatDecimal(value / 1e4, 0, number, sizeof number));
  } else {
    FormatDecimal(value, 0, out, size);
  }
  return out;
}

