#include <gtest/gtest.h>

#include <chrono>

#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"
#include "tests/test_runtime.h"

namespace {

using RuntimeStarted = test_runtime::RuntimeTest;

TEST(Runtime, StartMakesTheHeapsAndEndReleasesThem) {
  runtime_start();
  EXPECT_NE(nullptr, main_heap());
  EXPECT_NE(nullptr, program_module());
  EXPECT_NE(nullptr, string_library().heap);
  void* block = main_heap_alloc(64);
  ASSERT_NE(nullptr, block);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(0, static_cast<unsigned char*>(block)[i]) << "byte " << i;
  runtime_end_libraries();
  EXPECT_EQ(nullptr, main_heap());
  EXPECT_EQ(nullptr, string_library().heap);
}

TEST_F(RuntimeStarted, ReallocZeroesTheAddedBytes) {
  auto* block = static_cast<unsigned char*>(main_heap_alloc(8));
  block[7] = 0xAB;
  block = static_cast<unsigned char*>(main_heap_realloc(block, 32));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(0xAB, block[7]);
  for (int i = 8; i < 32; ++i) ASSERT_EQ(0, block[i]) << "byte " << i;
}

TEST_F(RuntimeStarted, DelayPausesAboutTheGivenTime) {
  auto start = std::chrono::steady_clock::now();
  delay_ms(100);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(ms, 95);
  EXPECT_LT(ms, 2000) << "generous bound: the machine may be busy";

  start = std::chrono::steady_clock::now();
  delay_ms(-5);
  ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(ms, 2000) << "a negative pause is no pause, not an endless one";
}

#ifndef _WIN32
TEST_F(RuntimeStarted, DelayRaisesTheTimerResolutionOnlyDuringThePause) {
  auto& counts = posix_kernel_counts();
  long begin = counts.time_begin_period, end = counts.time_end_period;
  delay_ms(1);
  EXPECT_EQ(begin + 1, counts.time_begin_period);
  EXPECT_EQ(end + 1, counts.time_end_period);
}
#endif

TEST(RuntimeDeathTest, EndLeavesTheProcessWithCodeZero) {
  EXPECT_EXIT(
      {
        runtime_start();
        runtime_end();
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
