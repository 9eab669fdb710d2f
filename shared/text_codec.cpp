// Conversions between code page 932 and UTF-8 (see text_codec.h).
#include "text_codec.h"

#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

enum { kWideSize = 4096 };

#ifdef _WIN32
int Convert(unsigned fromPage, unsigned toPage, const char* text, char* out, int size) {
  static wchar_t wide[kWideSize];
  out[0] = '\0';
  if (size <= 0) return -1;
  if (text[0] == '\0') return 0;
  int n = MultiByteToWideChar(fromPage, MB_ERR_INVALID_CHARS, text, -1, wide, kWideSize);
  if (n <= 0) return -1;
  BOOL lost = FALSE;
  int m = WideCharToMultiByte(toPage, 0, wide, -1, out, size, NULL,
                              toPage == CP_UTF8 ? NULL : &lost);
  if (m <= 0 || lost) {
    out[0] = '\0';
    return -1;
  }
  return 0;
}
#else
// One converter per direction, opened once for the whole run.
iconv_t Converter(int toUtf8) {
  static iconv_t cd[2] = {(iconv_t)-1, (iconv_t)-1};
  if (cd[toUtf8] == (iconv_t)-1)
    cd[toUtf8] = toUtf8 ? iconv_open("UTF-8", "CP932") : iconv_open("CP932", "UTF-8");
  return cd[toUtf8];
}

int Convert(int toUtf8, const char* text, char* out, int size) {
  out[0] = '\0';
  if (size <= 0) return -1;
  // ASCII is the same in both: no converter for it (file names of stocks
  // with numbers for names are made thousands of times a run).
  size_t ascii = 0;
  while (text[ascii] != '\0' && (unsigned char)text[ascii] < 0x80) ++ascii;
  if (text[ascii] == '\0') {
    if (ascii + 1 > (size_t)size) return -1;
    memcpy(out, text, ascii + 1);
    return 0;
  }
  iconv_t cd = Converter(toUtf8);
  if (cd == (iconv_t)-1) return -1;
  iconv(cd, NULL, NULL, NULL, NULL);
  char* in = const_cast<char*>(text);
  size_t inLeft = strlen(text);
  char* o = out;
  size_t outLeft = (size_t)size - 1;
  size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  if (r == (size_t)-1 || inLeft != 0) {
    out[0] = '\0';
    return -1;
  }
  *o = '\0';
  return 0;
}
#endif

int IsLead932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

int Cp932ToUtf8(const char* cp932, char* out, int size) {
#ifdef _WIN32
  return Convert(932, CP_UTF8, cp932, out, size);
#else
  return Convert(1, cp932, out, size);
#endif
}

int Utf8ToCp932(const char* utf8, char* out, int size) {
#ifdef _WIN32
  return Convert(CP_UTF8, 932, utf8, out, size);
#else
  return Convert(0, utf8, out, size);
#endif
}

#ifdef _WIN32
int Cp932ToWide(const char* cp932, wchar_t* out, int count) {
  if (count <= 0) return -1;
  out[0] = L'\0';
  if (cp932[0] == '\0') return 0;
  if (MultiByteToWideChar(932, 0, cp932, -1, out, count) <= 0) {
    out[0] = L'\0';
    return -1;
  }
  return 0;
}

int WideToCp932(const wchar_t* wide, char* out, int size) {
  if (size <= 0) return -1;
  out[0] = '\0';
  if (wide[0] == L'\0') return 0;
  BOOL lost = FALSE;
  int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, -1, out, size, NULL, &lost);
  if (n <= 0 || lost) {
    out[0] = '\0';
    return -1;
  }
  return 0;
}

const char* WideToCp932Shown(const wchar_t* wide, char* out, int size) {
  static char whole[2 * kWideSize + 2];
  if (size <= 0) return out;
  out[0] = '\0';
  if (WideCharToMultiByte(932, 0, wide, -1, whole, sizeof whole, NULL, NULL) <= 0) return out;
  int used = 0;
  const unsigned char* p = (const unsigned char*)whole;
  while (p[used] != '\0') {
    int n = IsLead932(p[used]) && p[used + 1] != '\0' ? 2 : 1;
    if (used + n > size - 1) break;
    used += n;
  }
  memcpy(out, whole, (size_t)used);
  out[used] = '\0';
  return out;
}

void SetDialogText(HWND dialog, int id, const char* text) {
  static wchar_t wide[kWideSize];
  Cp932ToWide(text, wide, kWideSize);
  SetDlgItemTextW(dialog, id, wide);
}

void GetDialogText(HWND dialog, int id, char* text, int size) {
  static wchar_t wide[kWideSize];
  wide[0] = L'\0';
  GetDlgItemTextW(dialog, id, wide, kWideSize);
  WideToCp932Shown(wide, text, size);
}
#endif

const char* Cp932ToUtf8Shown(const char* cp932, char* out, int size) {
  // Character by character, so that one bad byte shows as "?" and no more.
  int used = 0;
  if (size <= 0) return out;
  out[0] = '\0';
  const unsigned char* p = (const unsigned char*)cp932;
  while (*p != '\0') {
    char piece[3] = {(char)p[0], 0, 0};
    int n = 1;
    if (IsLead932(p[0]) && p[1] != '\0') {
      piece[1] = (char)p[1];
      n = 2;
    }
    char utf8[8];
    if (Cp932ToUtf8(piece, utf8, sizeof utf8) != 0) strcpy(utf8, "?");
    int len = (int)strlen(utf8);
    if (used + len > size - 1) break;
    memcpy(out + used, utf8, (size_t)len);
    used += len;
    out[used] = '\0';
    p += n;
  }
  return out;
}
