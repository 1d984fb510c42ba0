#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/core/random.h"
#include "tests/fairness/fairness_stats.h"

namespace {

// 600,000 throws of a source, the faces and the pairs of successive throws: at this count
// a die made from a single byte (four faces at 43/256, two at 42/256) fails the faces'
// test. The generator starts from a fixed seed, so its figures are the same on every run;
// the cryptographic source differs every run, so each of its checks is a bound that a
// fair die exceeds in fewer than one run in a million.
constexpr int kThrows = 600000;
constexpr double kSmallestP = 1e-6;

std::string counts_text(const fairness::throw_tally& tally) {
  std::string text;
  for (uint64_t c : tally.faces) text += std::to_string(c) + " ";
  return text;
}

void expect_fair(const char* source, uint32_t (*draw)()) {
  fairness::throw_tally tally;
  for (int n = 0; n < kThrows; ++n) {
    uint32_t face = draw();
    ASSERT_TRUE(fairness::tally_add(tally, face)) << source << ": throw " << n << " gave " << face;
  }
  fairness::tally_close(tally);

  struct {
    const char* name;
    fairness::test_result result;
  } const tests[] = {
      {"faces", fairness::face_test(tally)},
      {"pairs (first difference)", fairness::serial_test(tally)},
      {"pairs (second difference)", fairness::serial_second_difference(tally)},
  };
  for (const auto& t : tests)
    EXPECT_GE(t.result.p, kSmallestP) << source << ", " << t.name << ": chi-square " << t.result.statistic << " with "
                                      << t.result.df << " degrees of freedom; faces " << counts_text(tally);
  fairness::repeat_result repeats = fairness::repeat_test(tally);
  EXPECT_GE(repeats.p, kSmallestP) << source << ": " << repeats.repeats << " repeated faces, expected "
                                   << repeats.expected;
}

#ifdef TESSARIX_FAIR_GENERATOR
TEST(FairDice, GeneratorFromAFixedSeed) {
  random_seed(12345);
  expect_fair("generator, seed 12345", [] { return random_int(5); });
}
#endif

#ifdef TESSARIX_FAIR_PLATFORM_SOURCE
TEST(FairDice, CryptographicSource) {
  ASSERT_EQ(1, crypto_random_open());
  expect_fair("cryptographic source", [] { return crypto_random_int(5); });
}
#endif

}  // namespace
