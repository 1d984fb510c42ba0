// Text of numbers, appended at the string buffer's position (see strbuf.h): the position
// ends right behind the text and a zero byte follows it.
#pragma once

#include <cstdint>

// Signed decimal, no leading zeros, no plus sign, no grouping.
void text_of_int(int64_t value);
// The same text written at out, outside the string buffer, with a zero byte behind it
// (at most DECIMAL_TEXT_SIZE bytes in all); returns its length.
constexpr int32_t DECIMAL_TEXT_SIZE = 21;  // "-9223372036854775808" and its zero byte
int32_t decimal_text(char* out, int64_t value);
// Fixed-point with the given decimals (clamped to 0..512; -1 means ten), a point as the
// decimal separator, the exact value rounded to the nearest text and an exact half away
// from zero; "+Infinity", "-Infinity" and "NaN" whatever the decimals; zero of either sign
// prints without a sign.
void text_of_float(float value, int32_t decimals);
