// The dump format: byte order, record framing, packed dates and values, the
// price row layout; the stock file-name rule; text-mode line reading.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "dump_format.h"
#include "fake_platform.h"
#include "stock_paths.h"
#include "text_lines.h"

namespace {

const unsigned char kWorkedRow[15] = {0xC2, 0x2A, 0x1E, 0x23, 0xA6, 0x00, 0x7D, 0x1D,
                                      0x4D, 0x94, 0x04, 0xD8, 0x83, 0xA9, 0x80};

TEST(PriceRow, WorkedExampleDecodes) {
  PriceRow row;
  ReadPriceRow(kWorkedRow, &row);
  EXPECT_EQ(row.date, 0xC22Au);
  int y, m, d;
  DecodePackedDate(row.date, &y, &m, &d);
  EXPECT_EQ(y, 2001);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(d, 10);
  const uint32_t expected[5] = {EncodePackedValue(123450, -2), EncodePackedValue(125, 1),
                                EncodePackedValue(120025, -2), EncodePackedValue(1240, 0),
                                EncodePackedValue(15000, 2)};
  const double values[5] = {1234.50, 1250, 1200.25, 1240, 1500000};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(row.value[i], expected[i]) << "field " << i;
    EXPECT_DOUBLE_EQ(DecodePackedValue(row.value[i]), values[i]) << "field " << i;
  }
}

TEST(PriceRow, WorkedExampleEncodesByteExact) {
  PriceRow row;
  row.date = EncodePackedDate(2001, 1, 10);
  row.value[0] = EncodePackedValue(123450, -2);
  row.value[1] = EncodePackedValue(125, 1);
  row.value[2] = EncodePackedValue(120025, -2);
  row.value[3] = EncodePackedValue(1240, 0);
  row.value[4] = EncodePackedValue(15000, 2);
  unsigned char bytes[15];
  memset(bytes, 0xEE, sizeof bytes);
  WritePriceRow(bytes, &row);
  EXPECT_EQ(0, memcmp(bytes, kWorkedRow, 15));
}

// Every field position carries every value, alone and beside others, and
// the spare nibble stays zero.
TEST(PriceRow, EveryPackedValueInEveryPositionRoundTrips) {
  for (uint32_t v = 0; v < (1u << 20); ++v) {
    PriceRow row;
    row.date = 0x1234;
    for (int i = 0; i < 5; ++i) row.value[i] = (v + (uint32_t)i * 0x3A5C7u) & 0xFFFFFu;
    unsigned char bytes[15];
    WritePriceRow(bytes, &row);
    ASSERT_EQ(bytes[14] & 0xF, 0) << v;
    PriceRow back;
    ReadPriceRow(bytes, &back);
    ASSERT_EQ(back.date, 0x1234u);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(back.value[i], row.value[i]) << v << " field " << i;
  }
}

TEST(PackedValue, EveryMantissaAndExponentRoundTrips) {
  for (int e = -2; e <= 5; ++e) {
    for (int32_t m = 0; m <= 131071; ++m) {
      uint32_t field = EncodePackedValue(m, e);
      ASSERT_LT(field, 1u << 20);
      ASSERT_EQ((int)(field >> 17) - 2, e);
      ASSERT_EQ((int32_t)(field & 0x1FFFF), m);
    }
  }
}

TEST(PackedValue, DecodesEdgeValues) {
  struct Case { uint32_t field; double value; } cases[] = {
      {(0u << 17) | 1, 0.01},        {(7u << 17) | 131071, 13107100000.0},
      {(3u << 17) | 0, 0.0},         {(7u << 17) | 0, 0.0},
      {(2u << 17) | 131071, 131071}, {(1u << 17) | 5, 0.5},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(DecodePackedValue(c.field), c.value) << c.field;
}

TEST(PackedDate, EveryDateOf1904To2031RoundTrips) {
  for (int y = 1904; y <= 2031; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= 31; ++d) {
        unsigned packed = EncodePackedDate(y, m, d);
        ASSERT_LE(packed, 0xFFFFu);
        int yy, mm, dd;
        DecodePackedDate(packed, &yy, &mm, &dd);
        ASSERT_EQ(yy, y);
        ASSERT_EQ(mm, m);
        ASSERT_EQ(dd, d);
      }
}

TEST(PackedDate, OrderOfPackedDatesIsOrderOfDates) {
  unsigned previous = 0;
  for (int y = 1904; y <= 2031; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= 31; ++d) {
        unsigned packed = EncodePackedDate(y, m, d);
        ASSERT_GT(packed, previous);
        previous = packed;
      }
}

TEST(PackedDate, YearsWrapAndFieldsAreNotValidated) {
  struct Case { int y, m, d; unsigned packed; } cases[] = {
      {1904, 0, 0, 0x0000}, {1904, 0, 1, 0x0001}, {2001, 1, 10, 0xC22A},
      {1, 1, 10, EncodePackedDate(1921, 1, 10)}, {2032, 1, 1, EncodePackedDate(1904, 1, 1)},
      {1990, 0, 5, (86u << 9) | 5}, {2031, 15, 31, (127u << 9) | (15u << 5) | 31},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodePackedDate(c.y, c.m, c.d), c.packed) << c.y;
  int y, m, d;
  DecodePackedDate((86u << 9) | (0u << 5) | 5, &y, &m, &d);
  EXPECT_EQ(y, 1990);
  EXPECT_EQ(m, 0);
  EXPECT_EQ(d, 5);
}

// The text every listing, message and report gives a packed date: the
// fields as decoded, no leading zeros, cut whole at the buffer's end.
TEST(PackedDate, TextOfEdgeDatesAndSmallBuffers) {
  struct Case {
    const char* what;
    unsigned date;
    int size;
    const char* text;
  } cases[] = {
      {"the first day", EncodePackedDate(1904, 1, 1), kPackedDateTextSize, "1904/1/1"},
      {"the last day", EncodePackedDate(2031, 12, 31), kPackedDateTextSize, "2031/12/31"},
      {"single-digit month and day", EncodePackedDate(2024, 1, 5), kPackedDateTextSize, "2024/1/5"},
      {"a leap day", EncodePackedDate(2000, 2, 29), kPackedDateTextSize, "2000/2/29"},
      {"zero fields", 0x0000, kPackedDateTextSize, "1904/0/0"},
      {"every bit set: the longest text", 0xFFFF, kPackedDateTextSize, "2031/15/31"},
      {"bits above 16 are not part of the date", 0x1C22A, kPackedDateTextSize, "2001/1/10"},
      {"the longest text fits exactly", 0xFFFF, 11, "2031/15/31"},
      {"cut one byte short", 0xFFFF, 10, "2031/15/3"},
      {"room for the zero only", 0xFFFF, 1, ""},
  };
  for (const Case& c : cases) {
    char out[kPackedDateTextSize + 4];
    memset(out, '#', sizeof out);
    EXPECT_EQ(FormatPackedDate(out, c.size, c.date), out) << c.what;
    EXPECT_STREQ(out, c.text) << c.what;
    EXPECT_EQ(out[c.size], '#') << c.what << ": wrote past the buffer";
  }
  char untouched[4] = "abc";
  FormatPackedDate(untouched, 0, 0xFFFF);
  EXPECT_STREQ(untouched, "abc");
}

TEST(PackedDate, DaysInMonthOfTheGregorianCalendar) {
  struct Case {
    int year, month, days;
  } cases[] = {
      {2023, 1, 31}, {2023, 2, 28}, {2024, 2, 29}, {1900, 2, 28}, {2000, 2, 29},
      {2100, 2, 28}, {1904, 2, 29}, {2031, 4, 30}, {2031, 6, 30}, {2031, 9, 30},
      {2031, 11, 30}, {2031, 12, 31}, {2031, 7, 31}, {2031, 8, 31},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DaysInMonth(c.year, c.month), c.days) << c.year << "/" << c.month;
}

TEST(ByteOrder, ReadersAndWriters) {
  const unsigned char fffe[2] = {0xFF, 0xFE};
  const unsigned char all[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const unsigned char mixed[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(ReadBE16(fffe), -2);
  EXPECT_EQ(ReadBE32(all), -1);
  EXPECT_EQ(ReadBE32(mixed), 0x12345678);
  EXPECT_EQ(ReadLE32(mixed), 0x78563412);
  unsigned char out[4];
  EXPECT_EQ(WriteBE16(out, 70000), out);
  EXPECT_EQ(out[0], 0x11);   // 70000 = 0x11170: its low 16 bits
  EXPECT_EQ(out[1], 0x70);
  WriteBE16(out, -2);
  EXPECT_EQ(ReadBE16(out), -2);
  EXPECT_EQ(WriteBE32(out, -123456789), out);
  EXPECT_EQ(ReadBE32(out), -123456789);
  WriteLE32(out, 4412);
  EXPECT_EQ(out[0], 0x3C);
  EXPECT_EQ(out[1], 0x11);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(ReadLE32(out), 4412);
}

FILE* MemoryFile(const std::string& bytes) {
  FILE* f = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

std::string Le32(int32_t n) {
  unsigned char b[4];
  WriteLE32(b, n);
  return std::string(reinterpret_cast<char*>(b), 4);
}

TEST(DumpRecord, FramingAndBadLengths) {
  struct Case {
    const char* what;
    std::string bytes;
    int status;
    int32_t length;
    int read;   // bytes of the record in the buffer; zeros after them
  } cases[] = {
      {"empty file", "", kRecordEnd, 0, 0},
      {"3 bytes of length", std::string("\x05\x00\x00", 3), kRecordEnd, 0, 0},
      {"whole record", Le32(3) + "abc", kRecordRead, 3, 3},
      {"zero length", Le32(0), kRecordRead, 0, 0},
      {"cut short", Le32(10) + "abc", kRecordShort, 10, 3},
      {"largest", Le32(5120) + std::string(5120, 'x'), kRecordRead, 5120, 5120},
      {"above the buffer", Le32(5121) + std::string(5121, 'x'), kRecordBadLength, 5121, 0},
      {"negative", Le32(-1) + "abcd", kRecordBadLength, -1, 0},
  };
  for (const Case& c : cases) {
    memset(RecordBuffer, 0x77, sizeof RecordBuffer);
    FILE* f = MemoryFile(c.bytes);
    int32_t length = 12345;
    EXPECT_EQ(ReadDumpRecord(f, &length), c.status) << c.what;
    EXPECT_EQ(length, c.length) << c.what;
    if (c.read > 0) {
      EXPECT_EQ(std::string((const char*)RecordBuffer, (size_t)c.read), c.bytes.substr(4, (size_t)c.read))
          << c.what;
    }
    for (int i = c.read; i < kRecordBufferSize; ++i) ASSERT_EQ(RecordBuffer[i], 0) << c.what << " " << i;
    fclose(f);
  }
}

TEST(DumpRecord, ShortRecordReadsAsZeroPadded) {
  FILE* f = MemoryFile(Le32(600) + std::string(600, '\x41') + Le32(2) + "BC");
  int32_t length;
  ASSERT_EQ(ReadDumpRecord(f, &length), kRecordRead);
  EXPECT_EQ(RecordBuffer[599], 0x41);
  ASSERT_EQ(ReadDumpRecord(f, &length), kRecordRead);
  EXPECT_EQ(RecordBuffer[0], 'B');
  EXPECT_EQ(RecordBuffer[1], 'C');
  for (int i = 2; i < kRecordBufferSize; ++i) ASSERT_EQ(RecordBuffer[i], 0) << i;
  fclose(f);
}

TEST(TextField, FullWidthFieldHasNoTerminator) {
  const unsigned char field[20] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J',
                                   'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T'};
  char out[21];
  memset(out, 'z', sizeof out);
  ReadTextField(field, 20, out);
  EXPECT_STREQ(out, "ABCDEFGHIJKLMNOPQRST");
  const unsigned char shortField[20] = {'7', '2', '0', '3', 0, 'X'};
  ReadTextField(shortField, 20, out);
  EXPECT_STREQ(out, "7203");
}

TEST(StockFileName, Cp932AwareSeparatorRule) {
  struct Case { const char* name; int ok; } cases[] = {
      {"7203", 1},       {"ソニー", 1},     {"表示灯", 1},   {"日本電信電話株式会社", 1},
      {"", 0},           {".", 0},          {"..", 0},       {"...", 1},
      {"a\\b", 0},       {"a/b", 0},        {"C:", 0},       {"..\\x", 0},
      {"ソ\\", 0},       {"ソ/", 0},        {"ｱ\\", 0},      {"a.b", 1},
      {"\x83", 1},       {"\x83\\", 1},   // a trail byte, not a separator
  };
  for (const Case& c : cases) EXPECT_EQ(IsStockFileName(c.name), c.ok) << c.name;
}

// Names Windows cannot take as a file name, or takes for a device (the
// settings would go to the console or nowhere), are refused too.
TEST(StockFileName, WindowsDevicesAndReservedCharacters) {
  struct Case { const char* name; int ok; } cases[] = {
      {"CON", 0},      {"con", 0},      {"Nul", 0},       {"nul.x", 0},    {"PRN", 0},
      {"AUX.txt", 0},  {"COM1", 0},     {"com9.a.b", 0},  {"LPT1", 0},     {"lPt9", 0},
      {"CON .x", 0},   {"COM0", 1},     {"LPT10", 1},     {"CONS", 1},     {"xCON", 1},
      {"CO", 1},       {"COM", 1},      {"NUL_", 1},      {".CON", 1},     {"ＣＯＮ", 1},
      {"A*B", 0},      {"A?", 0},       {"\"x", 0},       {"<a", 0},       {"a>", 0},
      {"a|b", 0},      {"a\tb", 0},     {"\x1f", 0},      {"a\x01", 0},    {"a\x7f", 1},
      {"ポ", 1},       {"表", 1},       {"ソ*", 0},       {"ｱ|", 0},       {"a b", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(IsStockFileName(c.name), c.ok) << c.name;
}

TEST(StockPath, FormsPathsAndRefusesLongOnes) {
  char path[kPathSize];
  EXPECT_EQ(FormatStockPath(path, "C:\\Ryvo\\tmp", "ソニー", ".txt"), 0);
  EXPECT_STREQ(path, u8"C:\\Ryvo\\tmp/ソニー.txt");   // the name in UTF-8, "/" after the folder
  EXPECT_EQ(FormatStockPath(path, "C:\\x", "a/b", ".csv"), -1);
  EXPECT_STREQ(path, "");
  std::string folder(250, 'f');
  EXPECT_EQ(FormatStockPath(path, folder.c_str(), "1234", ".txt"), 0);   // 259 bytes
  EXPECT_EQ(strlen(path), 259u);
  EXPECT_EQ(FormatStockPath(path, folder.c_str(), "12345", ".txt"), -1);   // 260
  EXPECT_STREQ(path, "");
  EXPECT_EQ(FormatFolderPath(path, folder.c_str(), "Ryvo.dmp"), 0);
  EXPECT_EQ(FormatFolderPath(path, folder.c_str(), "SaveRyvo.dmp"), -1);
  EXPECT_STREQ(path, "");
}

TEST(StockPath, TheFolderIsTakenAsGivenABackslashIncluded) {
  char path[kPathSize];
  // あ is E3 81 82: read as code page 932 pairs, 82 would swallow a "\".
  ASSERT_EQ(FormatFolderPath(path, u8"/tmp/my\\あ", "Ryvo.dmp"), 0);
  EXPECT_STREQ(path, u8"/tmp/my\\あ/Ryvo.dmp");
  ASSERT_EQ(FormatStockPath(path, u8"/tmp/my\\csv", "\x83\x5C\x83\x6A\x81\x5B", ".csv"), 0);
  EXPECT_STREQ(path, u8"/tmp/my\\csv/ソニー.csv");
}

std::vector<std::string> ReadAllLines(const std::string& bytes, int size) {
  FILE* f = MemoryFile(bytes);
  static TextReader reader;
  TextReaderInit(&reader, f);
  std::vector<std::string> lines;
  char line[300];
  int n;
  while ((n = ReadTextLine(&reader, line, size)) >= 0) {
    EXPECT_EQ(n, (int)strlen(line));
    lines.push_back(line);
  }
  fclose(f);
  return lines;
}

TEST(TextLines, ReadsAsWindowsTextMode) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"CR LF", "a\r\nb\r\n", {"a\n", "b\n"}},
      {"LF alone", "a\nb", {"a\n", "b"}},
      {"lone CR stays", "a\rb\r\n", {"a\rb\n"}},
      {"CR at the end", "a\r", {"a\r"}},
      {"CR CR LF", "a\r\r\n", {"a\r\n"}},
      {"empty lines", "\r\n\r\n", {"\n", "\n"}},
      {"Ctrl-Z ends", "a\r\n\x1A" "b\r\n", {"a\n"}},
      {"Ctrl-Z before CR LF", "a\r\nbc\x1A\r\nd\r\n", {"a\n", "bc"}},
      {"CR LF after lone CRs", "\ra\rb\r\n\r\r\n", {"\ra\rb\n", "\r\n"}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadAllLines(c.bytes, 259), c.lines) << c.what;
}

TEST(TextLines, LongLinesComeInPieces) {
  std::string longLine(300, 'x');
  auto lines = ReadAllLines(longLine + "\r\n", 259);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(258, 'x'));
  EXPECT_EQ(lines[1], std::string(42, 'x') + "\n");
  // 257 characters and the line feed fill one read exactly.
  lines = ReadAllLines(std::string(257, 'y') + "\r\nz", 259);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(257, 'y') + "\n");
  // CR LF split across the reader's 16 KiB refills still reads as one LF.
  std::string big(16383, 'q');
  lines = ReadAllLines(big + "\r\n", 20000 > 300 ? 259 : 259);
  EXPECT_EQ(lines.back(), std::string(16383 % 258, 'q') + "\n");
}

TEST(TextLines, SettingsPairRule) {
  struct Case { const char* line; const char* first; const char* second; } cases[] = {
      {"12,34\n", "12", "34"}, {"12\n", "12", ""},       {",34\n", "34", ""},
      {"\n", "", ""},          {"12,34,56\n", "12", "34,56"}, {",,,7,8", "7", "8"},
      {"", "", ""},            {"-2,5\n", "-2", "5"},    {"a b,c d\n", "a b", "c d"},
  };
  for (const Case& c : cases) {
    char first[260], second[260];
    SplitSettingsPair(c.line, first, sizeof first, second, sizeof second);
    EXPECT_STREQ(first, c.first) << c.line;
    EXPECT_STREQ(second, c.second) << c.line;
  }
  char first[4], second[3];
  SplitSettingsPair("123456,7890\n", first, sizeof first, second, sizeof second);
  EXPECT_STREQ(first, "123");
  EXPECT_STREQ(second, "78");
  // Only the line feed goes: a CR before it is a lone CR of the text
  // ("abc" CR CR LF reads as "abc" CR LF).
  struct Strip { char line[8]; const char* text; } strips[] = {
      {"abc\n", "abc"}, {"abc\r\n", "abc\r"}, {"abc\r", "abc\r"}, {"\n", ""}, {"abc", "abc"}};
  for (Strip& c : strips) {
    StripLineEnd(c.line);
    EXPECT_STREQ(c.line, c.text);
  }
}

}  // namespace
