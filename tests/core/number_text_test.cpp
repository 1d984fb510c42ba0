#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/core/number_text.h"
#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"
#include "tests/test_runtime.h"

namespace {

class NumberText : public test_runtime::RuntimeTest {
 protected:
  // Appends behind a marker and checks the position and the zero byte behind the text.
  template <class Append>
  std::string appended(Append append) {
    strbuf_append("<");
    int32_t before = strbuf_position();
    append();
    int32_t after = strbuf_position();
    const char* text = string_library().base + before;
    std::string result(text, static_cast<size_t>(after - before));
    EXPECT_EQ('\0', string_library().base[after]) << "zero byte behind \"" << result << "\"";
    EXPECT_EQ(std::strlen(text), result.size()) << "position advanced by the text's length";
    EXPECT_EQ('<', string_library().base[before - 1]) << "text before it untouched";
    strbuf_give_back(after - before + 1);
    return result;
  }
};

// The edges of the 32- and 64-bit ranges and of the digit counts, then values of every
// length: shifting by 0 to 63 gives every digit count, both signs.
TEST_F(NumberText, IntegersAgainstToChars) {
  std::vector<int64_t> values = {
      0,         INT32_MIN, -2147483649LL, 4294967296LL, -10000000000LL, 999999999999999999LL, 1000000000000000000LL,
      INT64_MAX, INT64_MIN};
  uint64_t state = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 100000; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    values.push_back(static_cast<int64_t>(state) >> (i % 64));
  }
  for (int64_t value : values) {
    char expected[32];
    *std::to_chars(expected, expected + sizeof expected - 1, value).ptr = '\0';
    ASSERT_EQ(expected, appended([&] { text_of_int(value); })) << "value " << value;
  }
}

TEST_F(NumberText, Floats) {
  const struct {
    float value;
    int32_t decimals;
    const char* text;
  } cases[] = {
      {33.333332f, 2, "33.33"},
      {66.666664f, 2, "66.67"},
      {20.0f, 2, "20.00"},
      {100.0f, 2, "100.00"},
      {-0.0f, 2, "0.00"},
      {-0.001f, 2, "-0.00"},
      {1.75f, 0, "2"},
      {1.75f, -5, "2"},
      {1.75f, -1, "1.7500000000"},
      // Exact halves go away from zero, on either side of it and through carries; a value
      // one step beside a half goes to its own side, 1.005f (just below) goes down.
      {3.125f, 2, "3.13"},
      {std::nextafter(3.125f, 0.0f), 2, "3.12"},
      {std::nextafter(3.125f, 4.0f), 2, "3.13"},
      {0.125f, 2, "0.13"},
      {2.5f, 0, "3"},
      {0.5f, 0, "1"},
      {-0.375f, 2, "-0.38"},
      {-2.5f, 0, "-3"},
      {std::nextafter(-2.5f, 0.0f), 0, "-2"},
      {99.5f, 0, "100"},
      {9.875f, 2, "9.88"},
      {1.005f, 2, "1.00"},
      {0.00048828125f, 10, "0.0004882813"},                               // 2^-11: a half beyond nine decimals
      {std::ldexp(1.0f, -33), 32, "0.00000000011641532182693481445313"},  // beyond 32 fraction bits
      {std::numeric_limits<float>::infinity(), 2, "+Infinity"},
      {-std::numeric_limits<float>::infinity(), 7, "-Infinity"},
      {std::numeric_limits<float>::quiet_NaN(), 2, "NaN"},
      {-std::numeric_limits<float>::quiet_NaN(), -1, "NaN"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, appended([&] { text_of_float(c.value, c.decimals); }))
        << "value " << c.value << " with " << c.decimals << " decimals";
  }
}

TEST_F(NumberText, DecimalsAreClampedTo512AndTheLargestFloatFitsItsReservation) {
  for (int32_t decimals : {512, 600, 100000}) {
    std::string text = appended([&] { text_of_float(1.5f, decimals); });
    ASSERT_EQ(2u + 512u, text.size()) << decimals << " decimals";
    EXPECT_EQ("1.5" + std::string(511, '0'), text) << decimals << " decimals";
  }
  std::string text = appended([&] { text_of_float(std::numeric_limits<float>::max(), 512); });
  EXPECT_EQ(39u + 1 + 512, text.size());
  EXPECT_EQ("340282346638528859811704183484516925440.", text.substr(0, 40));
}

#ifdef __GLIBC__
// The C library's exact expansion is the reference for every finite value: the same digits,
// cut at the decimals and rounded there by its next digit, an exact half (a 5 followed by
// zeros) away from zero. The library's own rounding takes a half to the even digit.
class NumberTextAgainstLibrary : public NumberText {
 protected:
  static std::string rounded_half_away(double value, int d) {
    // 150 decimals hold every float's fraction exactly.
    const int exact_decimals = 150;
    char exact[600];
    std::snprintf(exact, sizeof exact, "%.*f", exact_decimals, value);
    std::string text = exact;
    if (d >= exact_decimals) return text + std::string(static_cast<size_t>(d - exact_decimals), '0');
    size_t point = text.find('.');
    bool up = text[point + 1 + static_cast<size_t>(d)] >= '5';
    text.resize(d > 0 ? point + 1 + static_cast<size_t>(d) : point);
    for (size_t i = text.size(); up && i-- > 0;) {
      if (text[i] == '.') continue;
      if (text[i] == '-') break;
      up = text[i] == '9';
      text[i] = up ? '0' : static_cast<char>(text[i] + 1);
    }
    if (up) text.insert(text[0] == '-' ? 1 : 0, "1");
    return text;
  }

  // Compares one value and decimals count; returns false on the first mismatch so that a
  // sweep stops instead of printing thousands of failures.
  bool same_as_library(float value, int32_t decimals) {
    int d = decimals == -1 ? 10 : (decimals > 512 ? 512 : (decimals < 0 ? 0 : decimals));
    std::string expected = rounded_half_away(value == 0.0f ? 0.0 : static_cast<double>(value), d);
    std::string actual = appended([&] { text_of_float(value, decimals); });
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    EXPECT_EQ(expected, actual) << "bits 0x" << std::hex << bits << std::dec << " with " << decimals << " decimals";
    return actual == expected;
  }
};

TEST_F(NumberTextAgainstLibrary, ExtremesAndRandomBitPatterns) {
  const int32_t decimals[] = {0,  1,  2,  3,   4,   5,   6,   8,   9,   10,  -1,     11, 15, 20,       33,
                              40, 45, 60, 100, 149, 150, 160, 511, 512, 513, 100000, -2, -5, INT32_MIN};
  const uint32_t patterns[] = {
      0x00000000u, 0x80000000u,                                                      // both zeros
      0x00000001u, 0x80000001u, 0x00000002u, 0x00000003u, 0x007FFFFFu, 0x00400000u,  // subnormals
      0x00800000u, 0x00800001u,                                                      // smallest normals
      0x7F7FFFFFu, 0xFF7FFFFFu, 0x7F000000u, 0x5F800000u, 0x4F800000u, 0x4F7FFFFFu,  // huge, 2^64, 2^32
      0x3F000000u, 0x3FC00000u, 0x40200000u, 0xBF000000u, 0x3E000000u,               // 0.5, 1.5, 2.5, -0.5, 0.125
      0x3F7FFFFFu, 0x4479FFFFu, 0x461C3FFFu, 0x3C23D70Au, 0x3DCCCCCDu,               // nines that carry
  };
  float value;
  for (uint32_t bits : patterns) {
    std::memcpy(&value, &bits, sizeof value);
    for (int32_t d : decimals) {
      if (!same_as_library(value, d)) return;
    }
  }
  uint32_t state = 0x2545F491u;
  for (int i = 0; i < 200000; ++i) {
    state = state * 1664525u + 1013904223u;
    uint32_t bits = state;
    // Every fourth value is narrowed to the range the statistics report meets.
    if ((i & 3) == 0) bits = (bits & 0x807FFFFFu) | ((120u + (bits >> 23) % 16u) << 23);
    std::memcpy(&value, &bits, sizeof value);
    if (std::isnan(value) || std::isinf(value)) continue;
    if (!same_as_library(value, decimals[(state >> 8) % std::size(decimals)])) return;
  }
}

TEST_F(NumberTextAgainstLibrary, HalfwayCases) {
  // An odd multiple of 2^-(d+1) ends in the digit 5 at decimal d+1: exactly halfway
  // between two texts with d decimals (0.125 with 2, 2.5 with 0).
  for (int32_t d = 0; d <= 12; ++d) {
    for (int64_t j = 1; j < 4000; j += 2) {
      float value = std::ldexp(static_cast<float>(j), -(d + 1));
      if (!same_as_library(value, d) || !same_as_library(-value, d)) return;
      if (!same_as_library(value, d + 1) || !same_as_library(value, d > 0 ? d - 1 : 0)) return;
    }
  }
  // Large odd mantissas at every fraction length: ties with all 24 bits in use.
  for (int k = 1; k <= 40; ++k) {
    for (uint32_t m = 0xFFFFFFu; m > 0xFFFF00u; m -= 2) {
      float value = std::ldexp(static_cast<float>(m), -k);
      for (int32_t d : {k - 1, k, 0, 2, 9, 10}) {
        if (d >= 0 && !same_as_library(value, d)) return;
      }
    }
  }
}

#endif

}  // namespace
