// An independent reading of text files for the fuzz targets: the bytes a
// Windows text-mode stream gives, and the integer reading of a field.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_platform.h"

// The bytes as a text-mode stream gives them: Ctrl-Z ends the file, CR LF
// is one line feed, any other CR stays.
FUZZ_MODEL inline std::string TextModeBytes(const std::string& bytes) {
  size_t end = bytes.find('\x1a');
  if (end == std::string::npos) end = bytes.size();
  std::string text;
  for (size_t i = 0; i < end; ++i) {
    if (bytes[i] == '\r' && i + 1 < end && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

// The lines of a text file as the conversion and the settings dialog read
// them: the text-mode bytes, each line ending after its line feed or after
// 258 characters (the rest of a longer line is the next line).
FUZZ_MODEL inline std::vector<std::string> TextLines(const std::string& bytes) {
  const std::string text = TextModeBytes(bytes);
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    line += c;
    if (c == '\n' || line.size() == 258) {
      lines.push_back(line);
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// A line as the C string the reader sees: up to its first zero byte.
inline std::string CText(const std::string& s) { return std::string(s.c_str()); }

// The integer of a field: blanks, a sign, decimal digits, modulo 2^32.
FUZZ_MODEL inline int32_t ReferenceInt(const char* p) {
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint32_t v = 0;
  while (*p >= '0' && *p <= '9') v = v * 10u + (uint32_t)(*p++ - '0');
  if (negative) v = 0u - v;
  int32_t out;
  memcpy(&out, &v, sizeof out);
  return out;
}
FUZZ_MODEL inline int32_t ReferenceInt(const std::string& text) {
  return ReferenceInt(text.c_str());
}

// The input of a target that takes several files, cut at "\n#@#\n" into at
// most `most` pieces (the last one keeps any further marks); a piece that
// is not there is a file that is not there.
FUZZ_MODEL inline std::vector<std::string> FuzzPieces(const uint8_t* data, size_t size,
                                                       size_t most) {
  static const char kSplit[] = "\n#@#\n";
  const std::string input((const char*)data, size);
  std::vector<std::string> pieces;
  for (size_t start = 0;;) {
    size_t at = pieces.size() + 1 < most ? input.find(kSplit, start) : std::string::npos;
    if (at == std::string::npos) {
      pieces.push_back(input.substr(start));
      return pieces;
    }
    pieces.push_back(input.substr(start, at - start));
    start = at + strlen(kSplit);
  }
}
