// Fuzz target: the number readers of the price CSV file and the settings
// file. ParseDecimalField always gives a mantissa of 0 to 131071 and an
// exponent of -2 to 5; its value never exceeds the text's own value, and
// it is that value cut (never rounded) to two decimals and to the
// mantissa's last place, or 0 when the whole part exceeds 13107100000.
// ParseIntOrZero is the decimal reading with blanks and a sign, modulo
// 2^32.
#include <stdint.h>
#include <string.h>

#include <string>

#include "exchange.h"
#include "fuzz_platform.h"
#include "fuzz_text_model.h"

namespace {

const uint64_t kLimit = 13107100000ull;

// The text's own value as the field reader sees it: blanks and commas
// skipped, one decimal point, digits up to any other character. Gives the
// value in hundredths cut to two decimals, and whether the whole part
// exceeds the limit.
void TextValue(const char* text, uint64_t* hundredths, bool* tooLarge) {
  uint64_t whole = 0;
  int decimals = 0;
  uint64_t fraction = 0;
  bool point = false;
  *tooLarge = false;
  for (const char* p = text; *p; ++p) {
    char c = *p;
    if (c == ' ' || c == ',') continue;
    if (c == '.') {
      if (point) break;
      point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    if (!point) {
      if (!*tooLarge) whole = whole * 10 + (uint64_t)(c - '0');
      if (whole > kLimit) *tooLarge = true;
    } else if (decimals < 2) {
      fraction = fraction * 10 + (uint64_t)(c - '0');
      ++decimals;
    }
  }
  while (decimals < 2) {
    fraction *= 10;
    ++decimals;
  }
  *hundredths = *tooLarge ? 0 : whole * 100 + fraction;
}

void CheckDecimal(const char* text) {
  signed char exponent = 99;
  int32_t mantissa = -1;
  ParseDecimalField(text, &exponent, &mantissa);
  FUZZ_CHECK(mantissa >= 0 && mantissa <= 131071);
  FUZZ_CHECK(exponent >= -2 && exponent <= 5);
  uint64_t unit = 1;   // 10^(exponent + 2): the mantissa's last place in hundredths
  for (int i = 0; i < exponent + 2; ++i) unit *= 10;
  uint64_t value = (uint64_t)mantissa * unit;
  uint64_t own;
  bool tooLarge;
  TextValue(text, &own, &tooLarge);
  if (tooLarge) {
    FUZZ_CHECK(mantissa == 0);
    return;
  }
  FUZZ_CHECK(value <= own);
  FUZZ_CHECK(own - value < unit);
  if (mantissa == 0) FUZZ_CHECK(exponent == 0);
  // The packed field gives the same value back.
  double decoded = DecodePackedValue(EncodePackedValue(mantissa, exponent));
  FUZZ_CHECK(decoded * 100.0 >= (double)value * (1 - 1e-12) &&
             decoded * 100.0 <= (double)value * (1 + 1e-12));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string text((const char*)data, size);
  // Each zero byte ends one field text; every text is checked by itself.
  size_t start = 0;
  for (;;) {
    const char* piece = text.c_str() + start;
    CheckDecimal(piece);
    FUZZ_CHECK(ParseIntOrZero(piece) == ReferenceInt(piece));
    size_t next = text.find('\0', start);
    if (next == std::string::npos) break;
    start = next + 1;
  }
  FUZZ_CHECK(ParseIntOrZero(nullptr) == 0);
  return 0;
}
