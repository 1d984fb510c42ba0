#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/core/number_text.h"
#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"
#include "tests/test_runtime.h"

namespace {

class StringBuffer : public test_runtime::RuntimeTest {
 protected:
  static size_t block_size(const void* block) { return HeapSize(string_library().heap, 0, block); }
};

TEST_F(StringBuffer, StartsEmptyWithSixteenBytesAndGrowsWhenTheEndReachesCapacityLessFour) {
  EXPECT_EQ(0, string_library().position);
  ASSERT_NE(nullptr, string_library().base);
  EXPECT_EQ(16u, block_size(string_library().base));
  char* first = strbuf_reserve(11, 0);
  EXPECT_EQ(string_library().base, first);
  EXPECT_EQ(16, string_library().capacity) << "an end of 11 stays below 16 - 4";
  EXPECT_EQ(11, string_library().position);
  strbuf_give_back(11);

  strbuf_reserve(12, 0);
  EXPECT_EQ(16396, string_library().capacity) << "an end of 12 reaches 16 - 4: 12 + 16384";
  EXPECT_EQ(16401u, block_size(string_library().base)) << "capacity plus the 5 bytes of slack";
  EXPECT_EQ(12, string_library().position);
}

TEST_F(StringBuffer, GrowthKeepsAssembledText) {
  strbuf_append("kept");
  std::string big(20000, 'x');
  strbuf_append(big.c_str());
  EXPECT_EQ(0, std::memcmp(string_library().base, "kept", 4));
  EXPECT_EQ(20004, string_library().position);
  EXPECT_EQ('\0', string_library().base[20004]);
  EXPECT_EQ(20004 + 16384, string_library().capacity);
}

TEST_F(StringBuffer, EmptyAndNullAppendsWriteOnlyTheZeroByte) {
  strbuf_append("ab");
  for (const char* text : {"", static_cast<const char*>(nullptr)}) {
    string_library().base[2] = '#';
    strbuf_append(text);
    EXPECT_EQ(2, string_library().position) << (text ? "empty" : "null");
    EXPECT_EQ('\0', string_library().base[2]) << (text ? "empty" : "null");
  }
}

TEST_F(StringBuffer, StoreCopiesAndSetsThePositionBack) {
  string_var var = nullptr;
  int32_t p = strbuf_position();
  strbuf_append("Es wurde ");
  text_of_int(5);
  strbuf_append("mal");
  string_store(&var, p);
  ASSERT_NE(nullptr, var);
  EXPECT_STREQ("Es wurde 5mal", var);
  EXPECT_EQ(p, strbuf_position());
  EXPECT_EQ(13u + 5, block_size(var));
}

TEST_F(StringBuffer, EmptyStoreGivesAFiveByteBlockAndAShorterReStoreResizesIt) {
  string_var var = nullptr;
  int32_t p = strbuf_position();
  string_store(&var, p);
  ASSERT_NE(nullptr, var) << "an empty text is stored, not a null variable";
  EXPECT_STREQ("", var);
  EXPECT_EQ(5u, block_size(var));
  strbuf_append("a longer text of 29 bytes....");
  string_store(&var, p);
  EXPECT_EQ(29u + 5, block_size(var));
  strbuf_append("short");
  string_store(&var, p);
  EXPECT_STREQ("short", var);
  EXPECT_EQ(5u + 5, block_size(var));
}

TEST_F(StringBuffer, StoreInsideAnOuterExpressionKeepsTheOuterText) {
  string_var inner = nullptr;
  strbuf_append("outer ");
  int32_t p = strbuf_position();
  strbuf_append("inner");
  string_store(&inner, p);
  EXPECT_EQ(6, strbuf_position());
  EXPECT_EQ(0, std::memcmp(string_library().base, "outer ", 6));
  EXPECT_STREQ("inner", inner);
}

TEST_F(StringBuffer, ArgumentIsZeroTerminatedAndProtectedFromTheCallee) {
  int32_t p = strbuf_position();
  strbuf_append("title ");
  text_of_int(42);
  const char* argument = strbuf_argument(p);
  EXPECT_STREQ("title 42", argument);
  EXPECT_EQ(p + 9, strbuf_position()) << "the zero byte lies inside the used region";
  // A callee assembling text of its own writes behind the argument.
  strbuf_append("callee");
  EXPECT_STREQ("title 42", string_library().base + p);
  strbuf_argument_done(p);
  EXPECT_EQ(p, strbuf_position());

  EXPECT_STREQ("", strbuf_argument(strbuf_position())) << "an empty expression is an empty text";
  strbuf_argument_done(0);
}

TEST_F(StringBuffer, ImpossibleReservationChangesNothing) {
  strbuf_append("abc");
  EXPECT_EQ(nullptr, strbuf_reserve(-1, strbuf_position()));
  EXPECT_EQ(nullptr, strbuf_reserve(INT32_MAX, strbuf_position()));
  EXPECT_EQ(3, strbuf_position());
  EXPECT_EQ(16, string_library().capacity);
}

}  // namespace
