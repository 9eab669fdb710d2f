// Code page 932 and UTF-8 at the edges: names with a trail byte 0x5C, a
// full 20-byte name, bytes that are no code page 932, texts that do not fit.
#include <gtest/gtest.h>

#include <string.h>

#include "text_codec.h"

namespace {

struct CodecCase {
  const char* cp932;   // bytes as they stand in the files
  const char* utf8;    // NULL: not code page 932
};

const CodecCase kCases[] = {
    {"7203", "7203"},
    {"\x83\x5c\x83\x6a\x81\x5b", "\xe3\x82\xbd\xe3\x83\x8b\xe3\x83\xbc"},   // ソニー
    {"\x95\x5c\x8e\xa6\x93\x94", "\xe8\xa1\xa8\xe7\xa4\xba\xe7\x81\xaf"},   // 表示灯
    {"\x83\x67\x83\x88\x83\x5e\x8e\xa9\x93\xae\x8e\xd4\x32\x30\x32\x35\x41\x42",
     "\xe3\x83\x88\xe3\x83\xa8\xe3\x82\xbf\xe8\x87\xaa\xe5\x8b\x95\xe8\xbb\x8a" "2025AB"},
    {"\xb1\xb2", "\xef\xbd\xb1\xef\xbd\xb2"},   // half-width katakana
    {"", ""},
    {"\\~ 1001.x", "\\~ 1001.x"},   // ASCII, backslash and tilde too, is the same in both
    {"\x83", NULL},           // a lead byte alone
    {"A\x85\x40", NULL},      // an unassigned double-byte code
};

TEST(TextCodec, ConvertsBothWaysOrRefuses) {
  for (const CodecCase& c : kCases) {
    char out[64];
    int result = Cp932ToUtf8(c.cp932, out, sizeof out);
    if (c.utf8 == NULL) {
      EXPECT_EQ(-1, result) << c.cp932;
      EXPECT_STREQ("", out);
      continue;
    }
    ASSERT_EQ(0, result) << c.cp932;
    EXPECT_STREQ(c.utf8, out);
    char back[64];
    ASSERT_EQ(0, Utf8ToCp932(out, back, sizeof back));
    EXPECT_STREQ(c.cp932, back);
  }
}

TEST(TextCodec, TooSmallOrUnmappableGivesEmpty) {
  char out[6];
  EXPECT_EQ(-1, Cp932ToUtf8("\x83\x5c\x83\x6a", out, sizeof out));   // 6 bytes + zero
  EXPECT_STREQ("", out);
  EXPECT_EQ(-1, Utf8ToCp932("\xf0\x9f\x98\x80", out, sizeof out));   // no code page 932 form
  EXPECT_STREQ("", out);
  EXPECT_EQ(-1, Cp932ToUtf8("ABCDEF", out, sizeof out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, Utf8ToCp932("ABCDE", out, sizeof out));
  EXPECT_STREQ("ABCDE", out);
}

TEST(TextCodec, ShownTextMarksBadBytesAndCutsWholeCharacters) {
  char out[64];
  EXPECT_STREQ("A?\xe3\x82\xbd", Cp932ToUtf8Shown("A\x85\x40\x83\x5c", out, sizeof out));
  char small[5];   // room for "A" and one three-byte character
  EXPECT_STREQ("A\xe3\x82\xbd", Cp932ToUtf8Shown("A\x83\x5c\x83\x6a", small, sizeof small));
}

}  // namespace
