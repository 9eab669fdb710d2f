// bmpgen: turns the text pixel art of the button pictures and program
// icons into Windows .bmp and .ico files at build time. It owns the text
// format (see README.md), the derivation of a pressed picture from its
// normal one, and the byte layout of the files it writes.
//
//   bmpgen normal  SRC OUT.bmp           the picture as drawn
//   bmpgen pressed SRC OUT.bmp [BITS]    its darker, sunken pressed look
//   bmpgen icon    SRC OUT.ico           an icon (the picture and, for a
//                                        32x32 source, a 16x16 copy)
//
// Exit 0 on success, 1 with a message on standard error otherwise.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum { kMaxSide = 256, kMaxColours = 256 };

struct Rgb {
  int r, g, b;
};

bool SameRgb(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// A picture in true colour; transparent pixels (icons only) are flagged.
struct Picture {
  int width, height, bits;
  Rgb pixel[kMaxSide][kMaxSide];
  bool clear[kMaxSide][kMaxSide];
  bool hasClear;
};

Picture g_picture;
Picture g_derived;

const char* g_sourceName = "";

void Fail(int line, const char* what) {
  if (line > 0)
    fprintf(stderr, "bmpgen: %s:%d: %s\n", g_sourceName, line, what);
  else
    fprintf(stderr, "bmpgen: %s: %s\n", g_sourceName, what);
  exit(1);
}

// Strips the line end (LF or CR LF) in place; returns the length.
int Chomp(char* line) {
  int n = (int)strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
  return n;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the text format into g_picture.
void ReadSource(const char* path) {
  g_sourceName = path;
  FILE* in = fopen(path, "rb");
  if (!in) Fail(0, "cannot open");
  char line[1024];
  int lineNo = 0;

  // Header, with '#' comment lines allowed before it.
  for (;;) {
    if (!fgets(line, sizeof line, in)) Fail(lineNo, "no header line");
    ++lineNo;
    Chomp(line);
    if (line[0] != '#') break;
  }
  Picture& p = g_picture;
  char magic[32];
  if (sscanf(line, "%31s %d %d %d", magic, &p.width, &p.height, &p.bits) != 4 ||
      strcmp(magic, "ryvo-bitmap") != 0)
    Fail(lineNo, "header must read: ryvo-bitmap WIDTH HEIGHT BITS");
  if (p.width < 1 || p.width > kMaxSide || p.height < 1 || p.height > kMaxSide)
    Fail(lineNo, "width and height must be 1..256");
  if (p.bits != 4 && p.bits != 8) Fail(lineNo, "BITS must be 4 or 8");

  // Palette up to the blank line.
  bool known[256] = {};
  bool transparent[256] = {};
  Rgb colour[256] = {};
  int opaqueCount = 0;
  for (;;) {
    if (!fgets(line, sizeof line, in)) Fail(lineNo, "no blank line after the palette");
    ++lineNo;
    int n = Chomp(line);
    if (n == 0) break;
    if (line[0] == '#' && line[1] == ' ') continue;   // comment
    unsigned char key = (unsigned char)line[0];
    if (key <= ' ' || key >= 0x7F || line[1] != ' ')
      Fail(lineNo, "palette line must read: <char> RRGGBB (or: <char> none)");
    if (known[key]) Fail(lineNo, "character defined twice");
    known[key] = true;
    const char* value = line + 2;
    if (strcmp(value, "none") == 0) {
      transparent[key] = true;
      continue;
    }
    if (strlen(value) != 6) Fail(lineNo, "colour must be six hex digits");
    int v[6];
    for (int i = 0; i < 6; ++i)
      if ((v[i] = HexDigit(value[i])) < 0) Fail(lineNo, "colour must be six hex digits");
    colour[key] = Rgb{v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]};
    ++opaqueCount;
  }
  if (opaqueCount > (1 << p.bits)) Fail(lineNo, "more colours than BITS allow");

  p.hasClear = false;
  for (int y = 0; y < p.height; ++y) {
    if (!fgets(line, sizeof line, in)) Fail(lineNo, "fewer rows than HEIGHT");
    ++lineNo;
    if (Chomp(line) != p.width) Fail(lineNo, "row length differs from WIDTH");
    for (int x = 0; x < p.width; ++x) {
      unsigned char key = (unsigned char)line[x];
      if (!known[key]) Fail(lineNo, "character not in the palette");
      p.clear[y][x] = transparent[key];
      p.pixel[y][x] = transparent[key] ? Rgb{0, 0, 0} : colour[key];
      if (transparent[key]) p.hasClear = true;
    }
  }
  while (fgets(line, sizeof line, in)) {
    ++lineNo;
    if (Chomp(line) != 0) Fail(lineNo, "text after the last row");
  }
  fclose(in);
}

// The pressed look: every colour darkened to 70 %, the content moved one
// pixel down and right, and a dark edge along the top and left with a
// lighter one along the bottom and right, as a button pushed into the
// surface looks.
Rgb Darken(Rgb c) { return Rgb{c.r * 7 / 10, c.g * 7 / 10, c.b * 7 / 10}; }

void DerivePressed(int bits) {
  const Picture& src = g_picture;
  Picture& dst = g_derived;
  dst.width = src.width;
  dst.height = src.height;
  dst.bits = bits;
  dst.hasClear = false;
  const Rgb shadow = {0x20, 0x20, 0x20};
  const Rgb inner = {0x50, 0x50, 0x50};
  for (int y = 0; y < dst.height; ++y)
    for (int x = 0; x < dst.width; ++x) {
      int sx = x > 0 ? x - 1 : 0;
      int sy = y > 0 ? y - 1 : 0;
      Rgb c = Darken(src.pixel[sy][sx]);
      if (x == 0 || y == 0) c = shadow;
      else if (x == 1 || y == 1) c = inner;
      dst.pixel[y][x] = c;
      dst.clear[y][x] = false;
    }
}

// Palette of a picture: its distinct colours, merged pairwise (nearest
// first, weighted by pixel count) until they fit 2^bits entries.
struct Palette {
  int count;
  Rgb entry[kMaxColours * 4];   // distinct colours before merging
  long weight[kMaxColours * 4];
};

Palette g_palette;

long Distance(Rgb a, Rgb b) {
  long dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

int Nearest(const Palette& pal, Rgb c) {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < pal.count; ++i) {
    long d = Distance(pal.entry[i], c);
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

void BuildPalette(const Picture& p) {
  Palette& pal = g_palette;
  const int limit = 1 << p.bits;
  const int room = (int)(sizeof pal.entry / sizeof pal.entry[0]);
  pal.count = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      if (p.clear[y][x]) continue;
      int i = 0;
      while (i < pal.count && !SameRgb(pal.entry[i], p.pixel[y][x])) ++i;
      if (i == pal.count) {
        if (pal.count == room) {   // far too many: fold into the nearest
          ++pal.weight[Nearest(pal, p.pixel[y][x])];
          continue;
        }
        pal.entry[pal.count] = p.pixel[y][x];
        pal.weight[pal.count++] = 0;
      }
      ++pal.weight[i];
    }
  if (pal.count == 0) pal.entry[pal.count++] = Rgb{0, 0, 0};
  while (pal.count > limit) {
    int a = 0, b = 1;
    long best = -1;
    for (int i = 0; i < pal.count; ++i)
      for (int j = i + 1; j < pal.count; ++j) {
        long d = Distance(pal.entry[i], pal.entry[j]);
        if (best < 0 || d < best) {
          best = d;
          a = i;
          b = j;
        }
      }
    long wa = pal.weight[a] + 1, wb = pal.weight[b] + 1;
    Rgb m = {(int)((pal.entry[a].r * wa + pal.entry[b].r * wb) / (wa + wb)),
             (int)((pal.entry[a].g * wa + pal.entry[b].g * wb) / (wa + wb)),
             (int)((pal.entry[a].b * wa + pal.entry[b].b * wb) / (wa + wb))};
    pal.entry[a] = m;
    pal.weight[a] += pal.weight[b];
    pal.entry[b] = pal.entry[pal.count - 1];
    pal.weight[b] = pal.weight[pal.count - 1];
    --pal.count;
  }
}

// Little-endian writers.
void Put16(FILE* out, unsigned v) {
  fputc(v & 0xFF, out);
  fputc((v >> 8) & 0xFF, out);
}
void Put32(FILE* out, unsigned long v) {
  Put16(out, v & 0xFFFF);
  Put16(out, (v >> 16) & 0xFFFF);
}

int RowBytes(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

// BITMAPINFOHEADER, the colour table (all 2^bits entries) and the pixel
// rows bottom-up; `heightField` is the header's height (doubled in icons).
void WriteDib(FILE* out, const Picture& p, int heightField, bool withMask) {
  const Palette& pal = g_palette;
  const int colours = 1 << p.bits;
  const int row = RowBytes(p.width, p.bits);
  const int maskRow = RowBytes(p.width, 1);
  unsigned long image = (unsigned long)row * p.height;
  if (withMask) image += (unsigned long)maskRow * p.height;
  Put32(out, 40);
  Put32(out, p.width);
  Put32(out, heightField);
  Put16(out, 1);
  Put16(out, p.bits);
  Put32(out, 0);            // BI_RGB
  Put32(out, image);
  Put32(out, 2835);         // 72 dpi
  Put32(out, 2835);
  Put32(out, withMask ? 0 : colours);
  Put32(out, 0);
  for (int i = 0; i < colours; ++i) {
    Rgb c = i < pal.count ? pal.entry[i] : Rgb{0, 0, 0};
    fputc(c.b, out);
    fputc(c.g, out);
    fputc(c.r, out);
    fputc(0, out);
  }
  unsigned char bytes[kMaxSide];
  for (int y = p.height - 1; y >= 0; --y) {
    memset(bytes, 0, sizeof bytes);
    for (int x = 0; x < p.width; ++x) {
      int index = p.clear[y][x] ? 0 : Nearest(pal, p.pixel[y][x]);
      if (p.bits == 8)
        bytes[x] = (unsigned char)index;
      else
        bytes[x / 2] |= (unsigned char)(x % 2 ? index : index << 4);
    }
    fwrite(bytes, 1, row, out);
  }
  if (!withMask) return;
  for (int y = p.height - 1; y >= 0; --y) {
    memset(bytes, 0, sizeof bytes);
    for (int x = 0; x < p.width; ++x)
      if (p.clear[y][x]) bytes[x / 8] |= (unsigned char)(0x80 >> (x % 8));
    fwrite(bytes, 1, maskRow, out);
  }
}

unsigned long DibSize(const Picture& p, bool withMask) {
  unsigned long size = 40 + 4ul * (1u << p.bits) +
                       (unsigned long)RowBytes(p.width, p.bits) * p.height;
  if (withMask) size += (unsigned long)RowBytes(p.width, 1) * p.height;
  return size;
}

FILE* OpenOutput(const char* path) {
  FILE* out = fopen(path, "wb");
  if (!out) {
    fprintf(stderr, "bmpgen: %s: cannot create\n", path);
    exit(1);
  }
  return out;
}

void CloseOutput(FILE* out, const char* path) {
  if (ferror(out) || fclose(out) != 0) {
    fprintf(stderr, "bmpgen: %s: write error\n", path);
    remove(path);
    exit(1);
  }
}

void WriteBmp(const Picture& p, const char* path) {
  if (p.hasClear) Fail(0, "a .bmp picture cannot have transparent pixels");
  BuildPalette(p);
  FILE* out = OpenOutput(path);
  const unsigned long offset = 14 + 40 + 4ul * (1u << p.bits);
  fputc('B', out);
  fputc('M', out);
  Put32(out, offset + (unsigned long)RowBytes(p.width, p.bits) * p.height);
  Put32(out, 0);
  Put32(out, offset);
  WriteDib(out, p, p.height, false);
  CloseOutput(out, path);
}

// The icon holds the picture itself and, when it is 32x32, a 16x16 copy
// made from every second pixel, so that small icons stay crisp.
void WriteIcon(const char* path) {
  const Picture& big = g_picture;
  if (big.width > 255 || big.height > 255) Fail(0, "icons are at most 255 pixels");
  Picture& small = g_derived;
  int images = 1;
  if (big.width == 32 && big.height == 32) {
    images = 2;
    small.width = small.height = 16;
    small.bits = big.bits;
    small.hasClear = big.hasClear;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        small.pixel[y][x] = big.pixel[y * 2 + 1][x * 2 + 1];
        small.clear[y][x] = big.clear[y * 2 + 1][x * 2 + 1];
      }
  }
  const Picture* list[2] = {&big, &small};
  FILE* out = OpenOutput(path);
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, images);
  unsigned long offset = 6 + 16ul * images;
  for (int i = 0; i < images; ++i) {
    const Picture& p = *list[i];
    fputc(p.width, out);
    fputc(p.height, out);
    fputc(p.bits == 4 ? 16 : 0, out);
    fputc(0, out);
    Put16(out, 1);
    Put16(out, p.bits);
    Put32(out, DibSize(p, true));
    Put32(out, offset);
    offset += DibSize(p, true);
  }
  for (int i = 0; i < images; ++i) {
    BuildPalette(*list[i]);
    WriteDib(out, *list[i], list[i]->height * 2, true);
  }
  CloseOutput(out, path);
}

void Usage() {
  fprintf(stderr,
          "usage: bmpgen normal  SRC OUT.bmp\n"
          "       bmpgen pressed SRC OUT.bmp [BITS]\n"
          "       bmpgen icon    SRC OUT.ico\n");
  exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) Usage();
  const char* mode = argv[1];
  ReadSource(argv[2]);
  if (strcmp(mode, "normal") == 0 && argc == 4) {
    WriteBmp(g_picture, argv[3]);
  } else if (strcmp(mode, "pressed") == 0 && (argc == 4 || argc == 5)) {
    if (g_picture.hasClear) Fail(0, "a button picture cannot have transparent pixels");
    int bits = g_picture.bits;
    if (argc == 5) {
      bits = atoi(argv[4]);
      if (bits != 4 && bits != 8) Usage();
    }
    DerivePressed(bits);
    WriteBmp(g_derived, argv[3]);
  } else if (strcmp(mode, "icon") == 0 && argc == 4) {
    WriteIcon(argv[3]);
  } else {
    Usage();
  }
  return 0;
}
