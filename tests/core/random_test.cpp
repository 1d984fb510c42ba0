#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "runtime/core/platform.h"
#include "runtime/core/random.h"

namespace {

TEST(RandomGenerator, ReproducesTheKnownSequences) {
  random_seed(0);
  const uint32_t words[] = {0x8B910D61u, 0xC8AFE081u, 0xA90E502Fu};
  for (int n = 0; n < 3; ++n) EXPECT_EQ(words[n], random_next()) << "word " << n << " after seed 0";

  random_seed(0);
  const uint32_t throws[] = {3, 4, 3, 2, 1, 3, 3, 2, 1, 2};
  for (int n = 0; n < 10; ++n) EXPECT_EQ(throws[n], random_int(5)) << "throw " << n << " after seed 0";

  random_seed(12345);
  EXPECT_EQ(0x47752D85u, random_next()) << "first word after seed 12345";
}

TEST(RandomGenerator, ScalesTheWordOntoTheRange) {
  // The first three words after seed 0 are 0x8B910D61, 0xC8AFE081 and 0xA90E502F.
  struct {
    int32_t max;
    uint32_t expected[3];
  } const cases[] = {
      {-1, {0x8B910D61u, 0xC8AFE081u, 0xA90E502Fu}},  // the word itself
      {-2, {0x8B910D60u, 0xC8AFE080u, 0xA90E502Eu}},  // one value short of the full range
      {INT32_MAX, {0x45C886B0u, 0x6457F040u, 0x54872817u}},
      {0, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    random_seed(0);
    for (int n = 0; n < 3; ++n) EXPECT_EQ(c.expected[n], random_int(c.max)) << "max " << c.max << ", word " << n;
  }
}

TEST(RandomGenerator, SeedsItselfFromThreadAndTickOnFirstUse) {
  random_generator().seeded = 0;
  DWORD before = GetTickCount();
  uint32_t word = random_int(-1);
  DWORD after = GetTickCount();
  EXPECT_EQ(1, random_generator().seeded);

  bool matched = false;
  for (DWORD step = 0; step <= after - before && !matched; ++step) {
    random_seed(GetCurrentThreadId() ^ (before + step));
    matched = random_next() == word;
  }
  EXPECT_TRUE(matched) << "word " << word << " came from no seed thread id ^ tick in " << before << ".." << after;

  // An explicit seed counts as seeding: the next draw continues it instead of reseeding.
  random_generator().seeded = 0;
  random_seed(0);
  EXPECT_EQ(3u, random_int(5));
}

// The source stays open for the rest of the process once acquired, so each test starts
// from a closed record and puts the process-wide one back afterwards.
class CryptoSource : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = crypto_source();
    crypto_source() = crypto_source_record{};
  }
  void TearDown() override {
#ifndef _WIN32
    posix_kernel_fail_crypto(false);
    posix_kernel_fail_crypto_draws(false);
#endif
    if (saved_.open) crypto_source() = saved_;
  }
  crypto_source_record saved_{};
};

TEST_F(CryptoSource, DrawsNothingBeforeItIsOpen) {
  for (int32_t max : {5, 0, -1, INT32_MAX}) {
    EXPECT_EQ(0u, crypto_random_int(max)) << "max " << max;
    EXPECT_EQ(1, crypto_random_failed()) << "max " << max;
  }
}

TEST_F(CryptoSource, DrawnZeroIsToldFromAFailedDraw) {
  ASSERT_EQ(1, crypto_random_open());
  // max 0 draws 0 every time, and every one of them is a real draw.
  for (int n = 0; n < 1000; ++n) {
    ASSERT_EQ(0u, crypto_random_int(0));
    ASSERT_EQ(0, crypto_random_failed()) << "draw " << n;
  }
#ifndef _WIN32
  posix_kernel_fail_crypto_draws(true);
  EXPECT_EQ(0u, crypto_random_int(5)) << "a failed draw still answers 0";
  EXPECT_EQ(1, crypto_random_failed());
  posix_kernel_fail_crypto_draws(false);
  crypto_random_int(5);
  EXPECT_EQ(0, crypto_random_failed()) << "the next good draw clears it";
#endif
}

TEST_F(CryptoSource, OpensTheProviderOnlyOnceAndDrawsFullRangeWordsThatVary) {
#ifndef _WIN32
  long acquired = posix_kernel_counts().crypt_acquire_calls;
#endif
  ASSERT_EQ(1, crypto_random_open());
  EXPECT_EQ(1, crypto_source().open);
  HCRYPTPROV provider = crypto_source().provider;
  EXPECT_NE(HCRYPTPROV{0}, provider);

  EXPECT_EQ(1, crypto_random_open()) << "a second open succeeds too";
  EXPECT_EQ(provider, crypto_source().provider) << "and keeps the provider it has";
#ifndef _WIN32
  EXPECT_EQ(acquired + 1, posix_kernel_counts().crypt_acquire_calls) << "acquired once for two opens";
#endif
  // Sixteen equal 32-bit words from a working source would happen once in 2^480 runs.
  uint32_t first = crypto_random_int(-1);
  bool varied = false;
  for (int n = 0; n < 16 && !varied; ++n) varied = crypto_random_int(-1) != first;
  EXPECT_TRUE(varied) << "every word was " << first;
}

#ifndef _WIN32
TEST_F(CryptoSource, FailedOpenStaysClosedAndIsTriedAgain) {
  long acquired = posix_kernel_counts().crypt_acquire_calls;
  posix_kernel_fail_crypto(true);
  EXPECT_EQ(0, crypto_random_open());
  EXPECT_EQ(0, crypto_source().open);
  EXPECT_EQ(0u, crypto_random_int(5)) << "no source, no draw";

  posix_kernel_fail_crypto(false);
  EXPECT_EQ(1, crypto_random_open()) << "a later open tries again";
  EXPECT_EQ(acquired + 2, posix_kernel_counts().crypt_acquire_calls);
}
#endif

}  // namespace
