#include <gtest/gtest.h>

#include <cstring>

#include "runtime/window/numbered_name.h"

namespace {

TEST(NumberedName, WritesPrefixAndSignedDecimal) {
  struct row {
    int64_t number;
    const char* expected;
  } rows[] = {
      {0, "WindowClass_0"},
      {7, "WindowClass_7"},
      {-1, "WindowClass_-1"},
      {2147483647, "WindowClass_2147483647"},
      {-2147483648LL, "WindowClass_-2147483648"},
      {4294967296LL, "WindowClass_4294967296"},
      {INT64_MAX, "WindowClass_9223372036854775807"},
      {INT64_MIN, "WindowClass_-9223372036854775808"},
  };
  for (const row& r : rows) {
    char text[48];
    std::memset(text, 'x', sizeof text);
    int32_t length = numbered_name(text, sizeof text, "WindowClass_", r.number);
    EXPECT_STREQ(r.expected, text) << "number " << r.number;
    EXPECT_EQ(static_cast<int32_t>(std::strlen(r.expected)), length) << "number " << r.number;
  }
}

TEST(NumberedName, TooSmallLeavesTheNameEmpty) {
  // "QX_GadgetStack_12345" is 20 bytes; its zero byte needs a 21st.
  struct row {
    size_t size;
    int32_t expected_length;
    const char* expected;
  } rows[] = {
      {21, 20, "QX_GadgetStack_12345"},
      {20, 0, ""},
      {10, 0, ""},
      {1, 0, ""},
  };
  for (const row& r : rows) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    int32_t length = numbered_name(text, r.size, "QX_GadgetStack_", 12345);
    EXPECT_EQ(r.expected_length, length) << "size " << r.size;
    EXPECT_STREQ(r.expected, text) << "size " << r.size;
    EXPECT_EQ('x', text[r.size]) << "nothing written beyond size " << r.size;
  }
  EXPECT_EQ(0, numbered_name(nullptr, 8, "WindowClass_", 1)) << "no buffer";
}

}  // namespace
