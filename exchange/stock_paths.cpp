// File names made from stock names and folders: the one place that decides
// whether a stock name may be a file name, how the host spells it (UTF-8
// outside Windows) and how paths are formed; and the one place where a file
// is written in place of another through a temporary file.
#include "stock_paths.h"

#include <stdio.h>
#include <string.h>

#include "../platform/platform.h"
#ifndef _WIN32
#include "../shared/text_codec.h"
#endif

int IsLeadByte932(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

int IsStockFileName(const char* name) {
  if (name == NULL || name[0] == '\0') return 0;
  if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return 0;
  // A name Windows keeps for a device (CON, PRN, AUX, NUL, COM1 to COM9,
  // LPT1 to LPT9, any letter case), alone or before a dot and spaces
  // before that dot: "nul.x" and "CON .txt" open a device, not a file.
  size_t base = strcspn(name, ".");
  while (base > 0 && name[base - 1] == ' ') --base;
  if (base == 3 || base == 4) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "COM", "LPT"};
    char upper[5];
    for (size_t i = 0; i < base; ++i)
      upper[i] = name[i] >= 'a' && name[i] <= 'z' ? (char)(name[i] - 'a' + 'A') : name[i];
    upper[base] = '\0';
    for (int i = 0; i < 6; ++i) {
      if (strncmp(upper, kDevices[i], 3) != 0) continue;
      if (base == 3 && i < 4) return 0;
      if (base == 4 && i >= 4 && upper[3] >= '1' && upper[3] <= '9') return 0;
    }
  }
  const unsigned char* p = (const unsigned char*)name;
  while (*p != '\0') {
    if (IsLeadByte932(*p)) {
      if (p[1] == '\0') break;   // a lone lead byte at the end: no separator
      // Only a real trail byte (0x40-0x7E, 0x80-0xFC) pairs with the lead
      // byte; "/" or ":" after it would still part the path on Linux. A
      // trail byte may be "\\" (ソ is 83 5C) or "|" (ポ is 83 7C).
      if (p[1] < 0x40 || p[1] == 0x7F || p[1] > 0xFC) return 0;
      p += 2;
      continue;
    }
    // Separators, the wildcards and the other characters Windows refuses
    // in a file name, and control characters.
    if (*p < 0x20 || strchr("\\/:*?\"<>|", *p) != NULL) return 0;
    ++p;
  }
  return 1;
}

int FormatStockPath(char* path, const char* folder, const char* name,
                    const char* ext) {
  path[0] = '\0';
  if (!IsStockFileName(name)) return -1;
  char hostName[kPathSize];
  if (HostStockName(name, hostName, sizeof hostName) != 0) return -1;
  // folder, separator, name, ext, put together by hand: a path is made for
  // every file of every stock.
  size_t f = strlen(folder), h = strlen(hostName), e = strlen(ext);
  if (f + 1 + h + e >= (size_t)kPathSize) return -1;
  memcpy(path, folder, f);
  path[f] = kPathSeparator;
  memcpy(path + f + 1, hostName, h);
  memcpy(path + f + 1 + h, ext, e + 1);
  return 0;
}

int HostStockName(const char* name, char* out, int size) {
#ifdef _WIN32
  int n = snprintf(out, (size_t)size, "%s", name);
  if (n >= 0 && n < size) return 0;
  if (size > 0) out[0] = '\0';
  return -1;
#else
  return Cp932ToUtf8(name, out, size);
#endif
}

int FormatFolderPath(char* path, const char* folder, const char* file) {
  int n = snprintf(path, kPathSize, "%s%c%s", folder, kPathSeparator, file);
  if (n < 0 || n >= kPathSize) {
    path[0] = '\0';
    return -1;
  }
  return 0;
}

// 1 when the open file holds exactly `length` bytes equal to `bytes`. Reads
// no more than one piece past what differs.
static int FileHolds(FILE* file, const unsigned char* bytes, int length) {
  static unsigned char piece[16384];
  int offset = 0;
  for (;;) {
    size_t n = fread(piece, 1, sizeof piece, file);
    if (n > (size_t)(length - offset) || memcmp(piece, bytes + offset, n) != 0) return 0;
    offset += (int)n;
    if (n < sizeof piece) return !ferror(file) && offset == length;
  }
}

WholeFileResult WriteWholeFile(const char* path, const char* temporary,
                               WholeFileWriter write, void* context) {
  char written[kPathSize];
  FILE* file;
  if (temporary != NULL) {
    file = PfCreateTemporary(temporary, written);
  } else {
    snprintf(written, sizeof written, "%s", path);
    file = PfOpenFile(path, "wb");
  }
  if (file == NULL) return kWholeFileNotCreated;
  int failed = write(file, context) != 0;
  // What takes a file's place is on the disk before it does.
  if (!failed && temporary != NULL && PfSyncFile(file) != 0) failed = 1;
  if (PfCloseFile(file) != 0) failed = 1;
  if (failed) {
    PfDeleteFile(written);
    return kWholeFileWriteFailed;
  }
  if (temporary != NULL && PfReplaceFile(written, path) != 0) {
    PfDeleteFile(written);
    return kWholeFileNotReplaced;
  }
  return kWholeFileWritten;
}

namespace {

struct HeldBytes {
  const void* bytes;
  int length;
};

int WriteHeldBytes(FILE* out, void* context) {
  const HeldBytes* held = (const HeldBytes*)context;
  if (held->length <= 0) return 0;
  return fwrite(held->bytes, 1, (size_t)held->length, out) == (size_t)held->length ? 0 : -1;
}

}  // namespace

WholeFileResult ReplaceWholeFile(const char* path, const void* bytes, int length) {
  size_t n = strlen(path);
  if (n == 0 || n >= kPathSize) return kWholeFileNotCreated;
  HeldBytes held = {bytes, length};
  // The file as it is: left alone when it already holds these bytes, so
  // that its time stamp stays; written in place when there is none (then
  // there is nothing to keep, and a file cut short is deleted).
  FILE* old = PfOpenFile(path, "rb");
  if (old == NULL) {
    PfForgetFileError();   // only a probe
    if (PfFileMissing(path)) return WriteWholeFile(path, NULL, WriteHeldBytes, &held);
  } else {
    int same = FileHolds(old, (const unsigned char*)bytes, length);
    PfCloseFile(old);
    if (same) return kWholeFileWritten;
  }
  // A file that is there (or one that cannot be read): the bytes go beside
  // it, into a temporary file named after it with "~" for its last
  // character ("7203.cs~.<process>-<count>": never a stock's file), and
  // take its place only when whole.
  char temporary[kPathSize];
  memcpy(temporary, path, n + 1);
  temporary[n - 1] = '~';
  WholeFileResult result = WriteWholeFile(path, temporary, WriteHeldBytes, &held);
  return result == kWholeFileNotReplaced ? kWholeFileNotCreated : result;
}
