#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/core/number_text.h"
#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"

namespace {

class NumberText : public ::testing::Test {
 protected:
  void SetUp() override { runtime_start(); }
  void TearDown() override { runtime_end_libraries(); }

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

TEST_F(NumberText, Integers) {
  const struct {
    int64_t value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {-7, "-7"},
      {10, "10"},
      {2147483647, "2147483647"},
      {-2147483647 - 1, "-2147483648"},
      {2147483648LL, "2147483648"},
      {-2147483649LL, "-2147483649"},
      {9223372036854775807LL, "9223372036854775807"},
      {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, appended([&] { text_of_int(c.value); })) << "value " << c.value;
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

TEST_F(NumberText, DecimalsAreClampedTo512) {
  for (int32_t decimals : {512, 600, 100000}) {
    std::string text = appended([&] { text_of_float(1.5f, decimals); });
    ASSERT_EQ(2u + 512u, text.size()) << decimals << " decimals";
    EXPECT_EQ("1.5", text.substr(0, 3));
    EXPECT_EQ(std::string(511, '0'), text.substr(3));
  }
}

TEST_F(NumberText, LargestFloatFitsItsReservation) {
  std::string text = appended([&] { text_of_float(std::numeric_limits<float>::max(), 512); });
  EXPECT_EQ(39u + 1 + 512, text.size());
  EXPECT_EQ("340282346638528859811704183484516925440.", text.substr(0, 40));
}

TEST_F(NumberText, TextsFollowEachOtherInOneExpression) {
  int32_t p = strbuf_position();
  text_of_int(-12);
  strbuf_append("|");
  text_of_float(2.5f, 1);
  string_var v = nullptr;
  string_store(&v, p);
  EXPECT_STREQ("-12|2.5", v);
}

}  // namespace
