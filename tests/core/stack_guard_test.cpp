// The stack protector of the Windows builds: a guarded frame whose guard is overwritten
// ends the process with the platform's code for a stack buffer overrun before it returns.
// This file is compiled with every frame guarded, so its own functions are checked.
#include <gtest/gtest.h>

#ifdef _WIN32
#  include <windows.h>

#  include <cstdint>
#  include <cstring>

extern "C" uintptr_t __stack_chk_guard;  // NOLINT(bugprone-reserved-identifier): the checks' name

namespace {

// Writes `count` bytes into a local array of 8, past its end when count is larger.
__attribute__((noinline)) int fill_local(size_t count) {
  char buffer[8];
  std::memset(buffer, 'x', count);
  return buffer[0] + buffer[7];
}

size_t (*volatile count_of)(size_t) = [](size_t n) { return n; };  // hides the count from the optimiser

TEST(StackGuardDeathTest, AnOverrunEndsTheProcessBeforeTheFrameReturns) {
  EXPECT_NE(uintptr_t{0}, __stack_chk_guard) << "the guard is seeded before the first guarded frame";
  EXPECT_EQ('x' + 'x', fill_local(count_of(8))) << "a write within the array";
  EXPECT_EXIT(fill_local(count_of(40)), ::testing::ExitedWithCode(static_cast<int>(STATUS_STACK_BUFFER_OVERRUN)), "");
}

}  // namespace
#endif
