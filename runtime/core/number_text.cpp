#include "runtime/core/number_text.h"

#include <cstring>

#include "runtime/core/strbuf.h"

namespace {

// Two digits per division: the pairs 00 to 99 side by side.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr uint64_t kPowersOfTen[] = {1u,
                                     10u,
                                     100u,
                                     1000u,
                                     10000u,
                                     100000u,
                                     1000000u,
                                     10000000u,
                                     100000000u,
                                     1000000000u,
                                     10000000000u,
                                     100000000000u,
                                     1000000000000u,
                                     10000000000000u,
                                     100000000000000u,
                                     1000000000000000u,
                                     10000000000000000u,
                                     100000000000000000u,
                                     1000000000000000000u,
                                     10000000000000000000u};

[[gnu::always_inline]] inline int digit_count(uint32_t v) {
  if (v < 10) return 1;
  if (v < 100) return 2;
  if (v < 1000) return 3;
  if (v < 10000) return 4;
  if (v < 100000) return 5;
  if (v < 1000000) return 6;
  if (v < 10000000) return 7;
  if (v < 100000000) return 8;
  if (v < 1000000000) return 9;
  return 10;
}

// Number of decimal digits of v (1 for 0).
[[gnu::always_inline]] inline int digit_count(uint64_t v) {
  if (v <= 0xFFFFFFFFu) return digit_count(static_cast<uint32_t>(v));
  uint64_t rest = v / 100000000u;
  if (rest <= 0xFFFFFFFFu) return 8 + digit_count(static_cast<uint32_t>(rest));
  return 16 + digit_count(static_cast<uint32_t>(rest / 100000000u));
}

// Writes exactly count digits of v (zero-padded on the left, count at least its digit
// count) ending just before end, two digits per division, least significant first.
[[gnu::always_inline]] inline void write_digits_backward(char* end, int count, uint32_t v) {
  char* digit = end;
  char* first = end - count;
  while (digit - first >= 2) {
    unsigned pair = (v % 100) * 2;
    v /= 100;
    *--digit = kDigitPairs[pair + 1];
    *--digit = kDigitPairs[pair];
  }
  if (digit > first) *--digit = static_cast<char>('0' + v % 10);
}

// The same for 64-bit values: eight digits at a time are split off until the rest fits
// 32 bits, so that most divisions stay 32-bit.
[[gnu::always_inline]] inline void write_digits_backward(char* end, int count, uint64_t v) {
  while (v > 0xFFFFFFFFu) {
    write_digits_backward(end, 8, static_cast<uint32_t>(v % 100000000u));
    v /= 100000000u;
    end -= 8;
    count -= 8;
  }
  write_digits_backward(end, count, static_cast<uint32_t>(v));
}

// Writes sign and digits at out, with a zero byte behind; returns the text's length
// (sign included). The length is known before the first digit, so the digits go straight
// to their place, least significant first.
template <class Unsigned>
[[gnu::always_inline]] inline int32_t write_decimal(char* out, bool negative, Unsigned magnitude) {
  int32_t length = negative ? 1 : 0;
  out[0] = '-';
  length += digit_count(magnitude);
  write_digits_backward(out + length, length - (negative ? 1 : 0), magnitude);
  out[length] = '\0';
  return length;
}

// Fixed-point text of a float, exact. A finite float is m * 2^e with m < 2^24 and e from
// -149 to 104, so its exact decimal expansion is finite: an integer part of at most 39
// digits and a fraction of at most 149 digits. The text is that expansion cut to the
// wanted decimals and rounded on the exact remainder: up when the remainder is half a unit
// of the last decimal or more, down when less. An exact half thus goes away from zero
// (0.125 with two decimals gives 0.13, 2.5 with none gives 3, -0.375 gives -0.38), as the
// shipped program's C library (msvcrt) rounds it and as a reader of the report rounds it by
// hand; the halfway test is made on the value's exact binary remainder, never on a decimal
// that was rounded already, so a value just below a half still goes down.

constexpr int kFractionLimbs = 6;  // 2^149 * 10^9 < 2^192

// The exact path for every finite value and decimals count. Returns the text's length.
int32_t write_fixed_exact(char* out, bool negative, uint32_t m, int e, int32_t decimals) {
  // Integer part (up to 2^128) and fraction numerator over 2^k, in 32-bit limbs.
  uint32_t whole[5] = {};
  uint32_t fraction[kFractionLimbs] = {};
  int k = 0;
  if (e >= 0) {
    int limb = e / 32, bit = e % 32;
    uint64_t shifted = static_cast<uint64_t>(m) << bit;
    whole[limb] = static_cast<uint32_t>(shifted);
    whole[limb + 1] = static_cast<uint32_t>(shifted >> 32);
  } else {
    k = -e;
    if (k < 32) {
      whole[0] = m >> k;
      fraction[0] = m & ((1u << k) - 1u);
    } else {
      fraction[0] = m;
    }
  }

  // digits[0] is a spare for a carry out of the integer part when rounding up.
  char digits[1 + 40 + 512];
  int count = 1;
  digits[0] = '0';

  // Integer digits: nine at a time by division of the limbs by 10^9.
  uint32_t chunks[5];
  int chunk_count = 0;
  int top = 4;
  while (top >= 0 && whole[top] == 0) --top;
  while (top >= 0) {
    uint64_t remainder = 0;
    for (int i = top; i >= 0; --i) {
      uint64_t current = (remainder << 32) | whole[i];
      whole[i] = static_cast<uint32_t>(current / 1000000000u);
      remainder = current % 1000000000u;
    }
    chunks[chunk_count++] = static_cast<uint32_t>(remainder);
    while (top >= 0 && whole[top] == 0) --top;
  }
  if (chunk_count == 0) {
    digits[count++] = '0';
  } else {
    int lead = digit_count(chunks[chunk_count - 1]);
    write_digits_backward(digits + count + lead, lead, chunks[chunk_count - 1]);
    count += lead;
    for (int i = chunk_count - 2; i >= 0; --i) {
      write_digits_backward(digits + count + 9, 9, chunks[i]);
      count += 9;
    }
  }
  int whole_end = count;

  // Fraction digits: multiply the numerator by 10^c; the part at or above 2^k is the next
  // c digits, the rest stays as the numerator.
  int32_t produced = 0;
  bool fraction_left = fraction[0] != 0;
  while (produced < decimals) {
    if (!fraction_left) {
      std::memset(digits + count, '0', static_cast<size_t>(decimals - produced));
      count += decimals - produced;
      break;
    }
    int c = decimals - produced < 9 ? decimals - produced : 9;
    uint64_t carry = 0;
    for (uint32_t& limb : fraction) {
      uint64_t product = static_cast<uint64_t>(limb) * kPowersOfTen[c] + carry;
      limb = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    int limb = k / 32, bit = k % 32;
    uint64_t high = limb + 1 < kFractionLimbs ? fraction[limb + 1] : 0;
    uint32_t chunk = static_cast<uint32_t>(((high << 32) | fraction[limb]) >> bit);
    fraction[limb] &= (1u << bit) - 1u;  // bit < 32: k's limb keeps its low bits
    for (int i = limb + 1; i < kFractionLimbs; ++i) fraction[i] = 0;
    write_digits_backward(digits + count + c, c, chunk);
    count += c;
    produced += c;
    fraction_left = false;
    for (uint32_t limb_value : fraction) fraction_left |= limb_value != 0;
  }

  // The remainder, below 2^k, against half a unit of the last digit, 2^(k-1): at or above
  // it exactly when that bit is set.
  if (fraction_left) {
    int half_limb = (k - 1) / 32, half_bit = (k - 1) % 32;
    if ((fraction[half_limb] >> half_bit) & 1u) {
      int i = count - 1;
      while (digits[i] == '9') digits[i--] = '0';
      digits[i] += 1;
    }
  }

  int32_t length = 0;
  if (negative) out[length++] = '-';
  int first = digits[0] == '0' ? 1 : 0;
  std::memcpy(out + length, digits + first, static_cast<size_t>(whole_end - first));
  length += whole_end - first;
  if (decimals > 0) {
    out[length++] = '.';
    std::memcpy(out + length, digits + whole_end, static_cast<size_t>(decimals));
    length += decimals;
  }
  out[length] = '\0';
  return length;
}

// The common case of the same rounding in 64-bit integers: a value below 2^24 whose
// fraction has at most 32 bits, with at most nine decimals, or an integer below 2^64.
// Returns -1 when the value is not such a case.
int32_t write_fixed_fast(char* out, bool negative, uint32_t m, int e, int32_t decimals) {
  uint64_t whole;
  uint64_t scaled = 0;  // the decimals as an integer
  if (e >= 0) {
    if (e > 40) return -1;
    whole = static_cast<uint64_t>(m) << e;
  } else {
    int k = -e;
    if (k > 32 || decimals > 9) return -1;
    whole = k < 32 ? m >> k : 0;
    uint64_t fraction = static_cast<uint64_t>(m) & ((uint64_t{1} << k) - 1u);
    uint64_t product = fraction * kPowersOfTen[decimals];  // < 2^32 * 10^9 < 2^62
    scaled = product >> k;
    uint64_t remainder = product & ((uint64_t{1} << k) - 1u);
    if (remainder >= uint64_t{1} << (k - 1)) {
      if (++scaled == kPowersOfTen[decimals]) {
        scaled = 0;
        ++whole;
      }
    }
  }
  int32_t length = write_decimal(out, negative, whole);
  if (decimals > 0) {
    out[length++] = '.';
    if (decimals <= 9) {
      write_digits_backward(out + length + decimals, decimals, scaled);
    } else {
      std::memset(out + length, '0', static_cast<size_t>(decimals));
    }
    length += decimals;
    out[length] = '\0';
  }
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
  strbuf_give_back(reserved - decimal_text(out, value));
}

int32_t decimal_text(char* out, int64_t value) {
  // The most negative value has no positive counterpart; its magnitude fits unsigned.
  uint64_t magnitude = value < 0 ? 0u - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return write_decimal(out, value < 0, magnitude);
}

void text_of_float(float value, int32_t decimals) {
  constexpr int32_t reserved = 1024;
  char* out = strbuf_reserve(reserved, strbuf_position());
  if (!out) return;
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  uint32_t exponent_bits = (bits >> 23) & 0xFFu;
  uint32_t fraction_bits = bits & 0x7FFFFFu;
  const char* fixed = nullptr;
  if (bits == 0x7F800000u)
    fixed = "+Infinity";
  else if (bits == 0xFF800000u)
    fixed = "-Infinity";
  else if (exponent_bits == 0xFFu)
    fixed = "NaN";  // all exponent bits and some fraction bits: a NaN, also as a double
  int32_t length;
  if (fixed) {
    length = static_cast<int32_t>(std::strlen(fixed));
    std::memcpy(out, fixed, static_cast<size_t>(length) + 1);
  } else {
    int32_t d = decimals == -1 ? 10 : (decimals > 512 ? 512 : (decimals < 0 ? 0 : decimals));
    // m * 2^e exactly; subnormals have no implicit leading bit.
    uint32_t m = exponent_bits ? (fraction_bits | 0x800000u) : fraction_bits;
    int e = exponent_bits ? static_cast<int>(exponent_bits) - 150 : -149;
    bool negative = (bits >> 31) && m != 0;  // negative zero prints without a sign
    if (m == 0) e = 0;
    length = write_fixed_fast(out, negative, m, e, d);
    if (length < 0) length = write_fixed_exact(out, negative, m, e, d);
  }
  strbuf_give_back(reserved - length);
}
