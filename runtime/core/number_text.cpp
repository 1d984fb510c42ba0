#include "runtime/core/number_text.h"

#include <cfloat>
#include <cstdio>
#include <cstring>

#include "runtime/core/platform.h"
#include "runtime/core/strbuf.h"

namespace {

// Two digits per division: the pairs 00 to 99 side by side.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes sign and digits at out, with a zero byte behind; returns the text's length
// (sign included). The digits are formed from the least significant end in a scratch
// area, then copied out most significant first.
template <class Unsigned>
int32_t write_decimal(char* out, bool negative, Unsigned magnitude) {
  char scratch[24];
  char* end = scratch + sizeof scratch;
  char* digit = end;
  while (magnitude >= 100) {
    unsigned pair = static_cast<unsigned>(magnitude % 100) * 2;
    magnitude /= 100;
    *--digit = kDigitPairs[pair + 1];
    *--digit = kDigitPairs[pair];
  }
  if (magnitude >= 10) {
    unsigned pair = static_cast<unsigned>(magnitude) * 2;
    *--digit = kDigitPairs[pair + 1];
    *--digit = kDigitPairs[pair];
  } else {
    *--digit = static_cast<char>('0' + magnitude);
  }
  int32_t length = 0;
  if (negative) out[length++] = '-';
  std::memcpy(out + length, digit, static_cast<size_t>(end - digit));
  length += static_cast<int32_t>(end - digit);
  out[length] = '\0';
  return length;
}

}  // namespace

void text_of_int(int64_t value) {
  if (value >= INT32_MIN && value <= INT32_MAX) {
    constexpr int32_t reserved = 32;
    char* out = strbuf_reserve(reserved, strbuf_position());
    if (!out) return;
    auto v = static_cast<int32_t>(value);
    // -2147483648 has no positive 32-bit counterpart; its magnitude fits unsigned.
    uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    strbuf_give_back(reserved - write_decimal(out, v < 0, magnitude));
    return;
  }
  constexpr int32_t reserved = 64;
  char* out = strbuf_reserve(reserved, strbuf_position());
  if (!out) return;
  uint64_t magnitude = value < 0 ? 0u - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  strbuf_give_back(reserved - write_decimal(out, value < 0, magnitude));
}

void text_of_float(float value, int32_t decimals) {
  constexpr int32_t reserved = 1024;
  char* out = strbuf_reserve(reserved, strbuf_position());
  if (!out) return;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const char* fixed = nullptr;
  if (bits == 0x7F800000u)
    fixed = "+Infinity";
  else if (bits == 0xFF800000u)
    fixed = "-Infinity";
  else if (_isnan(static_cast<double>(value)))
    fixed = "NaN";
  int length;
  if (fixed) {
    length = std::snprintf(out, reserved, "%s", fixed);
  } else {
    char format[16];
    if (decimals == -1) {
      std::strcpy(format, "%.10f");
    } else {
      int32_t d = decimals > 512 ? 512 : (decimals < 0 ? 0 : decimals);
      std::snprintf(format, sizeof format, "%%.%df", static_cast<int>(d));
    }
    if (value == 0.0f) value = 0.0f;  // negative zero prints without a sign
    length = std::snprintf(out, reserved, format, static_cast<double>(value));
  }
  if (length < 0) length = 0;
  if (length >= reserved) length = reserved - 1;
  out[length] = '\0';
  strbuf_give_back(reserved - length);
}
