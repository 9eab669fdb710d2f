// The price lines of the export's layout made and read with the
// processor's vector instructions (AVX2), chosen at run time: the five
// values of a line side by side in one register. Each function gives
// exactly what the plain code in export_csv.cpp and convert.cpp gives, or
// declines and leaves the line to it.
#include "line_vectors.h"

#include <string.h>

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

// The shuffle that makes a value's twelve characters and the comma after
// them from its source bytes, for each exponent code and count of
// mantissa digits. Source bytes: 0 to 5 the mantissa's six digits (the
// first the highest, leading zeros included), 8 a zero, 9 a space, 10 the
// point, 11 a comma.
enum { kSourceZero = 8, kSourceSpace = 9, kSourcePoint = 10, kSourceComma = 11 };
struct ValueShuffleTable {
  unsigned char s[8 * 8][16];
};

static constexpr ValueShuffleTable MakeValueShuffles(void) {
  ValueShuffleTable t = {};
  for (int code = 0; code < 8; ++code)
    for (int digits = 0; digits < 8; ++digits) {
      unsigned char* s = t.s[code * 8 + digits];
      for (int q = 0; q < 16; ++q) {
        // r: the place of the character among the hundredths' digits,
        // counted from the last decimal.
        int r = q < 9 ? 10 - q : 11 - q;
        if (q == 9)
          s[q] = kSourcePoint;
        else if (q == 12)
          s[q] = kSourceComma;
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

#define RYVO_AVX2 __attribute__((target("avx2")))

// The 64 characters of one row's values at `out` (16 bytes written past
// them); 0 when a value is wider than twelve characters.
static inline RYVO_AVX2 __attribute__((always_inline)) int FormatOneRow(char* out,
                                                                       const unsigned char* row) {
  // Each field's three bytes, high byte first, into a lane of its own:
  // bytes 2 to 4, 4 to 6, 7 to 9, 9 to 11 and 12 to 14 of the row; the
  // first, third and fifth field are the high 20 bits of theirs, the
  // others the low 20. Lanes 5 to 7 are zero.
  __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i*)row));
  const __m256i gather = _mm256_setr_epi8(4, 3, 2, -1, 6, 5, 4, -1, 9, 8, 7, -1, 11, 10, 9, -1,  //
                                          14, 13, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                          -1, -1);
  __m256i f = _mm256_srlv_epi32(_mm256_shuffle_epi8(bytes, gather),
                                _mm256_setr_epi32(4, 0, 4, 0, 4, 0, 0, 0));
  __m256i m = _mm256_and_si256(f, _mm256_set1_epi32(0x1FFFF));
  __m256i code = _mm256_and_si256(_mm256_srli_epi32(f, 17), _mm256_set1_epi32(7));
  // Zero has no digits and is "0.00" whatever its code.
  __m256i zero = _mm256_cmpeq_epi32(m, _mm256_setzero_si256());
  code = _mm256_andnot_si256(zero, code);
  // The mantissa in three pairs of digits: m = 10000 * high + 100 * mid +
  // low. m / 100 in single precision is exact for m below 2^17: the
  // quotient of m + 1/2 lies at least 1/200 from a whole number, far more
  // than the rounding error.
  __m256i hundreds = _mm256_cvttps_epi32(
      _mm256_mul_ps(_mm256_add_ps(_mm256_cvtepi32_ps(m), _mm256_set1_ps(0.5f)), _mm256_set1_ps(0.01f)));
  __m256i lowPair = _mm256_sub_epi32(m, _mm256_mullo_epi32(hundreds, _mm256_set1_epi32(100)));
  __m256i highPair = _mm256_srli_epi32(_mm256_mullo_epi32(hundreds, _mm256_set1_epi32(5243)), 19);
  __m256i midPair = _mm256_sub_epi32(hundreds, _mm256_mullo_epi32(highPair, _mm256_set1_epi32(100)));
  // Tens and ones of each pair in 16-bit halves (x * 6554 >> 16 is x / 10
  // below 100): high pair in the low half, middle pair in the high half,
  // low pair alone.
  __m256i pairs = _mm256_or_si256(highPair, _mm256_slli_epi32(midPair, 16));
  __m256i tens = _mm256_mulhi_epu16(pairs, _mm256_set1_epi16(6554));
  __m256i ones = _mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, _mm256_set1_epi16(10)));
  __m256i lowTens = _mm256_mulhi_epu16(lowPair, _mm256_set1_epi16(6554));
  __m256i lowOnes = _mm256_sub_epi16(lowPair, _mm256_mullo_epi16(lowTens, _mm256_set1_epi16(10)));
  __m256i first4 = _mm256_add_epi32(_mm256_or_si256(tens, _mm256_slli_epi32(ones, 8)),
                                    _mm256_set1_epi32(0x30303030));
  __m256i last2 = _mm256_add_epi32(_mm256_or_si256(lowTens, _mm256_slli_epi32(lowOnes, 8)),
                                   _mm256_set1_epi32(0x3030));
  // The count of the mantissa's digits, 0 for zero.
  __m256i digits = _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_cmpgt_epi32(m, _mm256_setzero_si256()));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(9)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(99)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(999)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(9999)));
  digits = _mm256_sub_epi32(digits, _mm256_cmpgt_epi32(m, _mm256_set1_epi32(99999)));
  // Wider than twelve characters: more than eleven digits in hundredths.
  __m256i width = _mm256_add_epi32(digits, code);
  if (_mm256_movemask_epi8(_mm256_cmpgt_epi32(width, _mm256_set1_epi32(11))) != 0) return 0;
  __m256i shuffle = _mm256_add_epi32(_mm256_slli_epi32(code, 3), digits);
  __m128i shuffleLow = _mm256_castsi256_si128(shuffle);
  // Each value's six digit characters in eight bytes: values 0 and 1 in
  // the low unpack, 2 and 3 in the high one, 4 in the low one's upper
  // half.
  __m256i low = _mm256_unpacklo_epi32(first4, last2);
  __m256i high = _mm256_unpackhi_epi32(first4, last2);
  const __m128i fill = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, '0', ' ', '.', ',', 0, 0, 0, 0);
  __m128i source[5] = {
      _mm_move_epi64(_mm256_castsi256_si128(low)), _mm_srli_si128(_mm256_castsi256_si128(low), 8),
      _mm_move_epi64(_mm256_castsi256_si128(high)), _mm_srli_si128(_mm256_castsi256_si128(high), 8),
      _mm_move_epi64(_mm256_extracti128_si256(low, 1))};
  int index[5] = {_mm_cvtsi128_si32(shuffleLow), _mm_extract_epi32(shuffleLow, 1),
                  _mm_extract_epi32(shuffleLow, 2), _mm_extract_epi32(shuffleLow, 3),
                  _mm_cvtsi128_si32(_mm256_extracti128_si256(shuffle, 1))};
  for (int i = 0; i < 5; ++i) {
    __m128i s = _mm_load_si128((const __m128i*)ValueShuffles.s[index[i]]);
    _mm_storeu_si128((__m128i*)(out + 13 * i), _mm_shuffle_epi8(_mm_or_si128(source[i], fill), s));
  }
  return 1;
}

RYVO_AVX2 int FormatRowValuesVector(char* out, const unsigned char* rows, int count) {
  int done = 0;
  for (; done < count; ++done)
    if (!FormatOneRow(out + kRowValuesStride * done, rows + 15 * done)) break;
  return done;
}

#else

int LineVectorsAvailable(void) { return 0; }
int FormatRowValuesVector(char*, const unsigned char*, int) { return 0; }

#endif
