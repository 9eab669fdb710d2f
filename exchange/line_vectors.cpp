// The price lines of the export's layout made and read with the
// processor's vector instructions (AVX2), chosen at run time: a table's
// values worked eight at a time, each line's characters moved by
// shuffles. Each function gives exactly what the plain code in
// export_csv.cpp and convert.cpp gives, or declines and leaves the line to
// it.
#include "line_vectors.h"

#include <string.h>

#include "exchange.h"
#include "exported_layout.h"

#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define RYVO_LINE_VECTORS 1
#include <immintrin.h>
#endif

int LineVectorsAllowed = 1;

#if RYVO_LINE_VECTORS

int LineVectorsAvailable(void) {
  static int available = -1;
  if (available < 0) {
    __builtin_cpu_init();
    available = __builtin_cpu_supports("avx2") ? 1 : 0;
  }
  return LineVectorsAllowed && available;
}

// The shuffle that makes a value's twelve characters and what follows
// them (a comma, or CR LF after the last value) from its source bytes,
// for each exponent code and count of mantissa digits. Source bytes: 0 to
// 5 the mantissa's six digits (the first the highest, leading zeros
// included), 8 a zero, 9 a space, 10 the point, 11 a comma, 12 CR, 13 LF.
enum {
  kSourceZero = 8, kSourceSpace = 9, kSourcePoint = 10, kSourceComma = 11, kSourceReturn = 12,
  kSourceLineFeed = 13,
};
struct ValueShuffleTable {
  unsigned char s[2][8 * 8][16];   // [last value of the line][code * 8 + digits]
};

static constexpr ValueShuffleTable MakeValueShuffles(void) {
  ValueShuffleTable t = {};
  for (int last = 0; last < 2; ++last)
    for (int code = 0; code < 8; ++code)
      for (int digits = 0; digits < 8; ++digits) {
        unsigned char* s = t.s[last][code * 8 + digits];
        for (int q = 0; q < 16; ++q) {
          // r: the place of the character among the hundredths' digits,
          // counted from the last decimal.
          int r = q < 9 ? 10 - q : 11 - q;
          if (q == 9)
            s[q] = kSourcePoint;
          else if (q == 12)
            s[q] = last ? kSourceReturn : kSourceComma;
          else if (q == 13 && last)
            s[q] = kSourceLineFeed;
          else if (q > 12)
            s[q] = kSourceSpace;
          else if (r < code)
            s[q] = kSourceZero;
          else if (r - code < digits)
            s[q] = (unsigned char)(5 - (r - code));
          else
            s[q] = r < 3 ? kSourceZero : kSourceSpace;
        }
      }
  return t;
}

alignas(16) static constexpr ValueShuffleTable ValueShuffles = MakeValueShuffles();

// The shuffles that make "y/m/d," from a date's source bytes: 0 to 3 the
// year's digits, 4 and 5 the month's two, 6 and 7 the day's two, 8 a
// slash, 9 a comma; a month or day below 10 is written with one digit.
// Indexed by 2 * (month >= 10) + (day >= 10).
alignas(16) static const unsigned char DateShuffles[4][16] = {
    {0, 1, 2, 3, 8, 5, 8, 7, 9, 9, 9, 9, 9, 9, 9, 9},
    {0, 1, 2, 3, 8, 5, 8, 6, 7, 9, 9, 9, 9, 9, 9, 9},
    {0, 1, 2, 3, 8, 4, 5, 8, 7, 9, 9, 9, 9, 9, 9, 9},
    {0, 1, 2, 3, 8, 4, 5, 8, 6, 7, 9, 9, 9, 9, 9, 9}};

#define RYVO_AVX2 __attribute__((target("avx2")))

// A constant the compiler may not see through: it would otherwise turn
// each multiplication by a small constant into shifts and adds, several
// instructions where the processor needs one.
static inline RYVO_AVX2 __m256i Opaque32(int32_t value) {
  __m256i x = _mm256_set1_epi32(value);
  __asm__("" : "+x"(x));
  return x;
}

static inline RYVO_AVX2 __m256i Opaque16(int16_t value) {
  __m256i x = _mm256_set1_epi16(value);
  __asm__("" : "+x"(x));
  return x;
}

// The five fields of a 15-byte price row in lanes 0 to 4 (16 bytes are
// read), lanes 5 to 7 zero: each field's three bytes, high byte first,
// into a lane of its own (bytes 2 to 4, 4 to 6, 7 to 9, 9 to 11 and 12 to
// 14); the first, third and fifth field are the high 20 bits of theirs,
// the others the low 20.
static inline RYVO_AVX2 __m256i RowFields(const unsigned char* row) {
  __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i*)row));
  const __m256i gather = _mm256_setr_epi8(4, 3, 2, -1, 6, 5, 4, -1, 9, 8, 7, -1, 11, 10, 9, -1,  //
                                          14, 13, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                          -1, -1);
  __m256i f = _mm256_srlv_epi32(_mm256_shuffle_epi8(bytes, gather),
                                _mm256_setr_epi32(4, 0, 4, 0, 4, 0, 0, 0));
  return _mm256_and_si256(f, _mm256_set1_epi32(0xFFFFF));
}

// The characters of two numbers below 100 in each lane, one in the low
// 16 bits and one in the high: tens, ones, tens, ones (x * 6554 >> 16 is
// x / 10 below 100).
static inline RYVO_AVX2 __m256i PairCharacters(__m256i pairs) {
  __m256i tens = _mm256_mulhi_epu16(pairs, _mm256_set1_epi16(6554));
  __m256i ones = _mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, Opaque16(10)));
  return _mm256_add_epi32(_mm256_or_si256(tens, _mm256_slli_epi32(ones, 8)),
                          _mm256_set1_epi32(0x30303030));
}

// Eight words of eight bytes from the low and high four bytes of eight
// lanes: words 0 to 3 and 4 to 7.
static inline RYVO_AVX2 void JoinWords(__m256i first4, __m256i last4, __m256i* words0123,
                                       __m256i* words4567) {
  __m256i low = _mm256_unpacklo_epi32(first4, last4);    // lanes 0, 1, 4, 5
  __m256i high = _mm256_unpackhi_epi32(first4, last4);   // lanes 2, 3, 6, 7
  *words0123 = _mm256_permute2x128_si256(low, high, 0x20);
  *words4567 = _mm256_permute2x128_si256(low, high, 0x31);
}

// The texts of eight packed values: each value's six mantissa digits
// (leading zeros included) in the low six bytes of a word, for values 0
// to 3 and 4 to 7, and the index of the shuffle that makes its field.
// Returns a bit for each value wider than twelve characters.
static inline RYVO_AVX2 int ValueTexts(__m256i f, __m256i* words0123, __m256i* words4567,
                                       __m256i* shuffle) {
  __m256i m = _mm256_and_si256(f, _mm256_set1_epi32(0x1FFFF));
  __m256i code = _mm256_srli_epi32(f, 17);
  // Zero has no digits and is "0.00" whatever its code.
  __m256i zero = _mm256_cmpeq_epi32(m, _mm256_setzero_si256());
  code = _mm256_andnot_si256(zero, code);
  // The mantissa in three pairs of digits: m = 10000 * high + 100 * mid +
  // low. m / 100 in single precision is exact for m below 2^17: the
  // quotient of m + 1/2 lies at least 1/200 from a whole number, far more
  // than the rounding error.
  __m256i hundreds = _mm256_cvttps_epi32(
      _mm256_mul_ps(_mm256_add_ps(_mm256_cvtepi32_ps(m), _mm256_set1_ps(0.5f)), _mm256_set1_ps(0.01f)));
  __m256i lowPair = _mm256_sub_epi32(m, _mm256_mullo_epi32(hundreds, Opaque32(100)));
  __m256i highPair = _mm256_srli_epi32(_mm256_mullo_epi32(hundreds, Opaque32(5243)), 19);
  __m256i midPair = _mm256_sub_epi32(hundreds, _mm256_mullo_epi32(highPair, Opaque32(100)));
  __m256i first4 = PairCharacters(_mm256_or_si256(highPair, _mm256_slli_epi32(midPair, 16)));
  // The low pair alone: its high half's characters are cleared.
  __m256i last2 = _mm256_and_si256(PairCharacters(lowPair), _mm256_set1_epi32(0xFFFF));
  JoinWords(first4, last2, words0123, words4567);
  // The count of the mantissa's digits, 0 for zero.
  __m256i digits = _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_cmpgt_epi32(m, _mm256_setzero_si256()));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(9)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(99)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(999)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(9999)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(99999)));
  *shuffle = _mm256_add_epi32(_mm256_slli_epi32(code, 3), digits);
  // Wider than twelve characters: more than eleven digits in hundredths.
  __m256i wide = _mm256_cmpgt_epi32(_mm256_add_epi32(digits, code), _mm256_set1_epi32(11));
  return _mm256_movemask_ps(_mm256_castsi256_ps(wide));
}

// The texts of eight packed dates: the year's four digits and the month's
// and day's two each in a word, and the index of the date's shuffle.
static inline RYVO_AVX2 void DateTexts(__m256i date, __m256i* words0123, __m256i* words4567,
                                       __m256i* shuffle) {
  __m256i year = _mm256_add_epi32(_mm256_srli_epi32(date, 9), _mm256_set1_epi32(1904));
  __m256i month = _mm256_and_si256(_mm256_srli_epi32(date, 5), _mm256_set1_epi32(15));
  __m256i day = _mm256_and_si256(date, _mm256_set1_epi32(31));
  // year / 100 for years below 43699.
  __m256i century = _mm256_srli_epi32(_mm256_mullo_epi32(year, Opaque32(5243)), 19);
  __m256i rest = _mm256_sub_epi32(year, _mm256_mullo_epi32(century, Opaque32(100)));
  __m256i first4 = PairCharacters(_mm256_or_si256(century, _mm256_slli_epi32(rest, 16)));
  __m256i last4 = PairCharacters(_mm256_or_si256(month, _mm256_slli_epi32(day, 16)));
  JoinWords(first4, last4, words0123, words4567);
  // 2 * (month >= 10) + (day >= 10), from compares that give -1 or 0.
  __m256i nine = _mm256_set1_epi32(9);
  *shuffle = _mm256_sub_epi32(_mm256_setzero_si256(),
                              _mm256_add_epi32(_mm256_slli_epi32(_mm256_cmpgt_epi32(month, nine), 1),
                                               _mm256_cmpgt_epi32(day, nine)));
}

RYVO_AVX2 int FormatPriceLinesVector(char* out, const unsigned char* rows, int count, int* length) {
  if (count > kMaxPriceRows) count = kMaxPriceRows;
  // The fields and dates of all rows one after the other, then the texts
  // of eight values and eight dates at a time, then each line made from
  // its texts.
  enum { kValues = 5 * kMaxPriceRows };
  static uint32_t fields[kValues + 8] __attribute__((aligned(32)));
  static uint64_t words[kValues + 8] __attribute__((aligned(32)));
  static int32_t shuffles[kValues + 8] __attribute__((aligned(32)));
  static int32_t dates[kMaxPriceRows + 8] __attribute__((aligned(32)));
  static uint64_t dateWords[kMaxPriceRows + 8] __attribute__((aligned(32)));
  static int32_t dateShuffles[kMaxPriceRows + 8] __attribute__((aligned(32)));
  for (int j = 0; j < count; ++j) {
    const unsigned char* row = rows + kPriceRowSize * j;
    _mm256_storeu_si256((__m256i*)(fields + 5 * j), RowFields(row));
    dates[j] = (int32_t)((unsigned)row[0] << 8 | row[1]);
  }
  int values = 5 * count;
  for (int v = 0; v < values; v += 8) {
    __m256i low, high, shuffle;
    int wide = ValueTexts(_mm256_load_si256((const __m256i*)(fields + v)), &low, &high, &shuffle);
    _mm256_store_si256((__m256i*)(words + v), low);
    _mm256_store_si256((__m256i*)(words + v + 4), high);
    _mm256_store_si256((__m256i*)(shuffles + v), shuffle);
    if (wide != 0) {
      values = v + __builtin_ctz((unsigned)wide);
      break;
    }
  }
  // Lanes past the last row hold what earlier tables left there.
  int made = values < 5 * count ? values / 5 : count;
  for (int j = 0; j < made; j += 8) {
    __m256i low, high, shuffle;
    DateTexts(_mm256_load_si256((const __m256i*)(dates + j)), &low, &high, &shuffle);
    _mm256_store_si256((__m256i*)(dateWords + j), low);
    _mm256_store_si256((__m256i*)(dateWords + j + 4), high);
    _mm256_store_si256((__m256i*)(dateShuffles + j), shuffle);
  }
  const __m128i dateFill = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, '/', ',', 0, 0, 0, 0, 0, 0);
  const __m128i fill = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, '0', ' ', '.', ',', '\r', '\n', 0, 0);
  char* p = out;
  for (int j = 0; j < made; ++j) {
    int d = dateShuffles[j];
    __m128i date = _mm_or_si128(_mm_loadl_epi64((const __m128i*)(dateWords + j)), dateFill);
    _mm_storeu_si128((__m128i*)p, _mm_shuffle_epi8(date, _mm_load_si128((const __m128i*)DateShuffles[d])));
    p += 9 + (d >> 1) + (d & 1);
    for (int i = 0; i < 5; ++i) {
      int v = 5 * j + i;
      __m128i source = _mm_or_si128(_mm_loadl_epi64((const __m128i*)(words + v)), fill);
      __m128i s = _mm_load_si128((const __m128i*)ValueShuffles.s[i == 4][shuffles[v]]);
      _mm_storeu_si128((__m128i*)(p + 13 * i), _mm_shuffle_epi8(source, s));
    }
    p += kExportedTail;
  }
  *length = (int)(p - out);
  return made;
}

// The 64 characters of a line's values (five fields and the commas
// between them, CR LF not included) as a pattern: each character XOR its
// expected one ('0' for a digit place) must be at most its limit (9 for a
// digit, 0 for a character that must be just that); a space counts as
// a digit in a whole part's places. Bit q of `whole` is character q.
struct TailPattern {
  alignas(32) unsigned char expected[64];
  alignas(32) unsigned char limit[64];
  alignas(32) unsigned char wholePlaces[64];
  uint64_t whole;
};

static constexpr TailPattern MakeTailPattern(void) {
  TailPattern t = {};
  for (int q = 0; q < 64; ++q) {
    int r = q % (kExportedValueWidth + 1);
    bool exact = r == 0 || r == 9 || r == 12;
    t.expected[q] = r == 0 ? ' ' : r == 9 ? '.' : r == 12 ? ',' : '0';
    t.limit[q] = exact ? 0 : 9;
    t.wholePlaces[q] = r >= 1 && r <= 8 ? 0xFF : 0;
    if (r >= 1 && r <= 8) t.whole |= 1ull << q;
  }
  return t;
}

static constexpr TailPattern kTail = MakeTailPattern();

// The fit of 32 characters to the pattern from place `at` on; sets the
// bits of the spaces.
static inline RYVO_AVX2 uint32_t TailHalfFits(__m256i x, int at, uint32_t* spaces) {
  __m256i space = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(' '));
  __m256i z = _mm256_xor_si256(x, _mm256_load_si256((const __m256i*)(kTail.expected + at)));
  z = _mm256_andnot_si256(
      _mm256_and_si256(space, _mm256_load_si256((const __m256i*)(kTail.wholePlaces + at))), z);
  __m256i limit = _mm256_load_si256((const __m256i*)(kTail.limit + at));
  *spaces = (uint32_t)_mm256_movemask_epi8(space);
  return (uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(z, limit), z));
}

// Whether the 64 characters at `t` are five fields of the layout: a space,
// eight characters of spaces then digits, the point, two digits, and a
// comma after each field but the last.
static inline RYVO_AVX2 int TailIsExported(const unsigned char* t) {
  uint32_t spacesLow, spacesHigh;
  uint64_t fits = TailHalfFits(_mm256_loadu_si256((const __m256i*)t), 0, &spacesLow) |
                  (uint64_t)TailHalfFits(_mm256_loadu_si256((const __m256i*)(t + 32)), 32, &spacesHigh)
                      << 32;
  uint64_t spaces = spacesLow | (uint64_t)spacesHigh << 32;
  // Spaces before digits: no digit of a whole part is followed by a space.
  uint64_t digits = kTail.whole & ~spaces;
  return fits == ~0ull && ((digits << 1) & spaces & kTail.whole) == 0;
}

// The packed pairs of eight values given as whole parts and hundredths (0
// to 99), by the conversion's rule: decimals that are all zero count as
// none; the mantissa is the number cut to at most 131071 by the fewest
// powers of ten, the digits cut off dropped. Returns a bit for each value
// whose number of hundredths would not fit 31 bits (a whole part above
// 21474835 with decimals), which the plain code takes.
static inline RYVO_AVX2 int FitLanes(__m256i whole, __m256i cents, __m256i* mantissa,
                                     __m256i* exponent) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i none = _mm256_cmpeq_epi32(cents, zero);   // all ones: no decimals
  __m256i tooLarge = _mm256_andnot_si256(none, _mm256_cmpgt_epi32(whole, _mm256_set1_epi32(21474835)));
  __m256i hundredths = _mm256_add_epi32(_mm256_mullo_epi32(whole, Opaque32(100)), cents);
  __m256i v = _mm256_blendv_epi8(hundredths, whole, none);
  // The count k of powers of ten that v needs, as minus the sum of the
  // compares.
  __m256i minusK = _mm256_add_epi32(
      _mm256_add_epi32(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(131071)),
                       _mm256_cmpgt_epi32(v, _mm256_set1_epi32(1310710))),
      _mm256_add_epi32(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(13107100)),
                       _mm256_cmpgt_epi32(v, _mm256_set1_epi32(131071000))));
  minusK = _mm256_add_epi32(minusK, _mm256_cmpgt_epi32(v, _mm256_set1_epi32(1310710000)));
  __m256i k = _mm256_sub_epi32(zero, minusK);
  __m256i power = _mm256_permutevar8x32_epi32(_mm256_setr_epi32(1, 10, 100, 1000, 10000, 100000, 0, 0), k);
  __m256 inverse = _mm256_permutevar8x32_ps(_mm256_setr_ps(1.0f, 1e-1f, 1e-2f, 1e-3f, 1e-4f, 1e-5f, 0, 0), k);
  // v / 10^k in single precision is within 1 of the quotient (its error
  // is below 0.03); the remainder puts it right.
  __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(v), inverse));
  __m256i remainder = _mm256_sub_epi32(v, _mm256_mullo_epi32(q, power));
  q = _mm256_sub_epi32(q, _mm256_cmpgt_epi32(remainder, _mm256_sub_epi32(power, _mm256_set1_epi32(1))));
  q = _mm256_add_epi32(q, _mm256_cmpgt_epi32(zero, remainder));
  *mantissa = q;
  // k - 2, or k when there are no decimals.
  *exponent = _mm256_sub_epi32(_mm256_sub_epi32(k, _mm256_set1_epi32(2)), _mm256_add_epi32(none, none));
  return _mm256_movemask_ps(_mm256_castsi256_ps(tooLarge));
}

RYVO_AVX2 int ReadExportedLinesVector(const unsigned char* bytes, int available, PriceSlot* slots,
                                      int room, int* taken) {
  if (room > kMaxPriceRows) room = kMaxPriceRows;
  // Each line's whole parts and hundredths one after the other, then the
  // packed pairs of eight values at a time, then the slots.
  enum { kValues = 5 * kMaxPriceRows };
  static int32_t wholes[kValues + 8] __attribute__((aligned(32)));
  static int32_t hundredths[kValues + 8] __attribute__((aligned(32)));
  static int32_t mantissas[kValues + 8] __attribute__((aligned(32)));
  static signed char exponents[kValues + 8] __attribute__((aligned(32)));
  static uint16_t dates[kMaxPriceRows];
  static int ends[kMaxPriceRows];   // where each line ends
  // Each field's characters from its first digit place: the whole part in
  // bytes 0 to 7, the point in 8, the decimals in 9 and 10. The last field
  // is read from three characters earlier, so as not to read past the line.
  const __m256i weights = _mm256_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 0, 10, 1, 0, 0, 0, 0, 0,  //
                                           10, 1, 10, 1, 10, 1, 10, 1, 0, 10, 1, 0, 0, 0, 0, 0);
  const __m256i lastWeights = _mm256_setr_epi8(0, 0, 0, 0, 10, 1, 10, 1, 10, 1, 10, 1, 0, 10, 1, 0,  //
                                               0, 0, 0, 0, 10, 1, 10, 1, 10, 1, 10, 1, 0, 10, 1, 0);
  const __m256i groups = _mm256_setr_epi16(100, 1, 100, 1, 1, 1, 0, 0, 100, 1, 100, 1, 1, 1, 0, 0);
  const __m256i lastGroups = _mm256_setr_epi16(0, 0, 100, 1, 100, 1, 1, 1, 0, 0, 100, 1, 100, 1, 1, 1);
  const __m256i join = _mm256_setr_epi16(10000, 1, 1, 0, 10000, 1, 1, 0, 10000, 1, 1, 0, 10000, 1, 1, 0);
  const __m256i zeroChar = _mm256_set1_epi8('0');
  const __m256i wholeLanes = _mm256_setr_epi32(0, 4, 2, 6, 0, 0, 0, 0);
  const __m256i centsLanes = _mm256_setr_epi32(1, 5, 3, 7, 1, 1, 1, 1);
  int used = 0, lines = 0;
  while (lines < room) {
    const unsigned char* line = bytes + used;
    int rest = available - used;
    if (rest < kExportedShortest) break;
    int32_t year, month, day;
    const unsigned char* t = ReadExportedDate(line, &year, &month, &day);
    if (t == NULL) break;
    int length = (int)(t - line) + kExportedTail;
    if (length > rest || t[kExportedTail - 2] != '\r' || t[kExportedTail - 1] != '\n' ||
        !TailIsExported(t))
      break;
    // Digits as 0 to 9, every other character as 0 (they are all below
    // '0'); pairs, then groups of four, then whole part and hundredths.
    __m256i f01 = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i*)(t + 1))),
                                          _mm_loadu_si128((const __m128i*)(t + 14)), 1);
    __m256i f23 = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i*)(t + 27))),
                                          _mm_loadu_si128((const __m128i*)(t + 40)), 1);
    __m256i f4 = _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i*)(t + 49)));
    __m256i g01 = _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_subs_epu8(f01, zeroChar), weights), groups);
    __m256i g23 = _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_subs_epu8(f23, zeroChar), weights), groups);
    __m256i g4 = _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_subs_epu8(f4, zeroChar), lastWeights), lastGroups);
    g4 = _mm256_shuffle_epi32(g4, _MM_SHUFFLE(0, 3, 2, 1));
    // Whole parts and hundredths: fields 0, 2 and 1, 3 in pairs of lanes,
    // field 4 in every pair; then one lane a field. Lanes 5 to 7 are
    // written over by the next line.
    __m256i n0213 = _mm256_madd_epi16(_mm256_packus_epi32(g01, g23), join);
    __m256i n4 = _mm256_madd_epi16(_mm256_packus_epi32(g4, g4), join);
    _mm256_storeu_si256((__m256i*)(wholes + 5 * lines),
                        _mm256_blend_epi32(_mm256_permutevar8x32_epi32(n0213, wholeLanes), n4, 0x10));
    _mm256_storeu_si256((__m256i*)(hundredths + 5 * lines),
                        _mm256_blend_epi32(_mm256_permutevar8x32_epi32(n0213, centsLanes),
                                           _mm256_srli_epi64(n4, 32), 0x10));
    dates[lines] = (uint16_t)EncodePackedDate(year, month, day);
    used += length;
    ends[lines] = used;
    ++lines;
  }
  int values = 5 * lines;
  for (int v = 0; v < values; v += 8) {
    __m256i mantissa, exponent;
    int tooLarge = FitLanes(_mm256_load_si256((const __m256i*)(wholes + v)),
                            _mm256_load_si256((const __m256i*)(hundredths + v)), &mantissa, &exponent);
    _mm256_store_si256((__m256i*)(mantissas + v), mantissa);
    __m128i e = _mm_packs_epi32(_mm256_castsi256_si128(exponent), _mm256_extracti128_si256(exponent, 1));
    _mm_storel_epi64((__m128i*)(exponents + v), _mm_packs_epi16(e, e));
    if (tooLarge != 0) {
      values = v + __builtin_ctz((unsigned)tooLarge);
      break;
    }
  }
  // Lanes past the last line hold what earlier runs left there.
  if (values < 5 * lines) lines = values / 5;
  for (int j = 0; j < lines; ++j) {
    PriceSlot* slot = &slots[j];
    slot->date = dates[j];
    memcpy(slot->mantissa, mantissas + 5 * j, sizeof slot->mantissa);
    memcpy(slot->exponent, exponents + 5 * j, sizeof slot->exponent);
  }
  *taken = lines > 0 ? ends[lines - 1] : 0;
  return lines;
}

#else

int LineVectorsAvailable(void) { return 0; }
int FormatPriceLinesVector(char*, const unsigned char*, int, int* length) {
  *length = 0;
  return 0;
}
int ReadExportedLinesVector(const unsigned char*, int, PriceSlot*, int, int* taken) {
  *taken = 0;
  return 0;
}

#endif
