#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <numeric>
#include <vector>

#include "tests/fairness/fairness_stats.h"

namespace {

using fairness::chi_square_p;

// The chi-square tail in closed form for small degrees of freedom, from the recurrence
// Q(a + 1, x) = Q(a, x) + x^a e^-x / Gamma(a + 1).
double closed_form_tail(int df, double x) {
  const double h = x / 2;
  switch (df) {
    case 1: return std::erfc(std::sqrt(h));
    case 2: return std::exp(-h);
    case 3: return std::erfc(std::sqrt(h)) + std::sqrt(2 * x / std::numbers::pi) * std::exp(-h);
    case 4: return std::exp(-h) * (1 + h);
    case 5: return std::erfc(std::sqrt(h)) + std::sqrt(2 * x / std::numbers::pi) * std::exp(-h) * (1 + x / 3);
    case 6: return std::exp(-h) * (1 + h + h * h / 2);
  }
  return NAN;
}

TEST(ChiSquareTail, MatchesTheClosedForms) {
  // Both sides of x = a + 1, where the series hands over to the continued fraction, and
  // far enough into the tail that 1 - P would have lost every digit.
  const double statistics[] = {1e-6, 0.01, 0.5, 1.9, 2.0, 2.1, 3.5, 4.0, 7.0, 11.07, 30.0, 80.0, 200.0, 600.0};
  for (int df = 1; df <= 6; ++df) {
    for (double x : statistics) {
      double expected = closed_form_tail(df, x);
      double actual = chi_square_p(x, df);
      EXPECT_NEAR(expected, actual, 1e-13 + 1e-11 * expected) << "df " << df << ", statistic " << x;
    }
  }
}

TEST(ChiSquareTail, MatchesPublishedCriticalValues) {
  // Upper critical values of the chi-square distribution as tabulated to many digits.
  struct {
    int df;
    double statistic;
    double p;
  } const table[] = {
      {5, 11.070497693516351, 0.05}, {5, 15.086272469388987, 0.01},   {5, 20.515005652432873, 0.001},
      {25, 37.65248413348279, 0.05}, {25, 52.61965577617284, 0.001},  {30, 43.77297182574219, 0.05},
      {30, 50.892181311517, 0.01},   {100, 124.34211340400407, 0.05}, {1, 3.841458820694124, 0.05},
  };
  for (const auto& row : table)
    EXPECT_NEAR(row.p, chi_square_p(row.statistic, row.df), row.p * 1e-9)
        << "df " << row.df << ", statistic " << row.statistic;
}

TEST(ChiSquareTail, RejectsWhatHasNoTail) {
  EXPECT_TRUE(std::isnan(chi_square_p(1.0, 0))) << "no degrees of freedom";
  EXPECT_TRUE(std::isnan(chi_square_p(1.0, -3)));
  EXPECT_TRUE(std::isnan(chi_square_p(-0.5, 5))) << "negative statistic";
  EXPECT_TRUE(std::isnan(chi_square_p(NAN, 5)));
  EXPECT_TRUE(std::isnan(fairness::gamma_q(0.0, 1.0)));
  EXPECT_TRUE(std::isnan(fairness::gamma_q(INFINITY, 1.0)));
  EXPECT_EQ(1.0, chi_square_p(0.0, 5)) << "a perfect fit";
  EXPECT_EQ(0.0, chi_square_p(INFINITY, 5));
}

TEST(NormalQuantile, GivesTheTabulatedValues) {
  struct {
    double central;
    double z;
  } const table[] = {{0.5, 0.6744897501960817}, {0.95, 1.959963984540054}, {0.999, 3.2905267314919255}, {0.0, 0.0}};
  for (const auto& row : table) {
    EXPECT_NEAR(row.z, fairness::normal_central_z(row.central), 1e-12) << "central " << row.central;
    EXPECT_NEAR(1 - row.central, fairness::normal_two_sided_p(row.z), 1e-14) << "z " << row.z;
  }
  EXPECT_TRUE(std::isnan(fairness::normal_central_z(1.0)));
  EXPECT_TRUE(std::isnan(fairness::normal_central_z(-0.1)));
  EXPECT_NEAR(fairness::normal_two_sided_p(1.5), fairness::normal_two_sided_p(-1.5), 0) << "symmetric";
}

TEST(ScalingShares, SplitsTheWordsExactly) {
  // 2^32 = 6 * 715827882 + 4: four faces get one word more than the other two.
  uint64_t six[6];
  fairness::words_per_face(6, six);
  const uint64_t expected[6] = {715827883, 715827883, 715827882, 715827883, 715827883, 715827882};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(expected[k], six[k]) << "face " << k + 1;

  // Each share's first word is where the scaling (high half of word * faces) steps up, and
  // the shares add up to every word.
  for (uint32_t faces : {1u, 2u, 3u, 6u, 7u, 1000u, 65537u}) {
    std::vector<uint64_t> words(faces);
    fairness::words_per_face(faces, words.data());
    EXPECT_EQ(uint64_t{1} << 32, std::accumulate(words.begin(), words.end(), uint64_t{0})) << faces << " faces";
    auto face_of = [faces](uint64_t word) { return static_cast<uint32_t>((word * faces) >> 32); };
    uint64_t first = 0;
    for (uint32_t k = 0; k < faces; ++k) {
      ASSERT_EQ(k, face_of(first)) << faces << " faces, first word " << first;
      if (first > 0) {
        ASSERT_EQ(k - 1, face_of(first - 1)) << faces << " faces, word before " << first;
      }
      first += words[k];
    }
  }
}

TEST(ScalingShares, TheDifferenceTakesLongToShow) {
  EXPECT_NEAR(2.5620477880152159e18, fairness::throws_to_show_difference(1.0 / 6, 1.0 / 4294967296.0), 1e6);
  EXPECT_NEAR(25.0, fairness::throws_to_show_difference(0.5, 0.1), 1e-9);
}

fairness::throw_tally tally_of(const std::vector<uint32_t>& faces) {
  fairness::throw_tally tally;
  for (uint32_t f : faces) EXPECT_TRUE(fairness::tally_add(tally, f)) << "face " << f;
  fairness::tally_close(tally);
  return tally;
}

TEST(ThrowTally, CountsPairsAroundTheCycle) {
  fairness::throw_tally tally = tally_of({2, 2, 5, 0});
  EXPECT_EQ(4u, tally.throws);
  const uint64_t faces[6] = {1, 0, 2, 0, 0, 1};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(faces[k], tally.faces[k]) << "face " << k;
  // 2-2, 2-5, 5-0 and, closing the cycle, 0-2.
  for (int a = 0; a < 6; ++a)
    for (int b = 0; b < 6; ++b) {
      uint64_t expected = (a == 2 && b == 2) || (a == 2 && b == 5) || (a == 5 && b == 0) || (a == 0 && b == 2);
      EXPECT_EQ(expected, tally.pairs[a][b]) << "pair " << a << "-" << b;
    }

  EXPECT_FALSE(fairness::tally_add(tally, 6)) << "no seventh face";
  EXPECT_FALSE(fairness::tally_add(tally, UINT32_MAX));
  EXPECT_EQ(4u, tally.throws) << "a rejected face is not counted";

  fairness::throw_tally empty;
  fairness::tally_close(empty);
  for (const auto& row : empty.pairs)
    for (uint64_t c : row) EXPECT_EQ(0u, c) << "closing an empty tally counts nothing";
}

TEST(SerialTests, SeeWhatTheFaceCountsCannot) {
  // Every ordered pair exactly once around the cycle (a de Bruijn sequence of order 2):
  // faces and pairs both as even as they can be.
  fairness::throw_tally even = tally_of(
      {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 1, 1, 2, 1, 3, 1, 4, 1, 5, 2, 2, 3, 2, 4, 2, 5, 3, 3, 4, 3, 5, 4, 4, 5, 5});
  for (const auto& row : even.pairs)
    for (uint64_t c : row) ASSERT_EQ(1u, c);
  EXPECT_NEAR(0.0, fairness::face_test(even).statistic, 1e-12);
  EXPECT_NEAR(0.0, fairness::serial_test(even).statistic, 1e-12);
  EXPECT_NEAR(1.0, fairness::serial_test(even).p, 1e-12);
  EXPECT_EQ(6u, fairness::repeat_test(even).repeats);

  // 1, 2, 3, 4, 5, 6 over and over: perfect face counts, yet every throw decides the next.
  std::vector<uint32_t> cycle;
  for (int n = 0; n < 600; ++n) cycle.push_back(n % 6);
  fairness::throw_tally cycled = tally_of(cycle);
  fairness::test_result faces = fairness::face_test(cycled);
  EXPECT_EQ(5, faces.df);
  EXPECT_NEAR(1.0, faces.p, 1e-12);
  struct {
    const char* name;
    fairness::test_result result;
    int df;
    double statistic;  // six of the 36 cells hold 100 each, where 600 / 36 are expected
  } const serial[] = {
      {"first difference", fairness::serial_test(cycled), 30, 3000.0},
      {"second difference", fairness::serial_second_difference(cycled), 25, 3000.0},
  };
  for (const auto& s : serial) {
    EXPECT_EQ(s.df, s.result.df) << s.name;
    EXPECT_NEAR(s.statistic, s.result.statistic, 1e-9) << s.name;
    EXPECT_LT(s.result.p, 1e-300) << s.name;
  }
  fairness::repeat_result repeats = fairness::repeat_test(cycled);
  EXPECT_EQ(0u, repeats.repeats);
  EXPECT_NEAR(100.0, repeats.expected, 1e-12);
  EXPECT_NEAR(-100.0 / std::sqrt(600.0 * 5 / 36), repeats.z, 1e-12);

  // One face only: the faces' imbalance counts in the first difference and not the second.
  fairness::throw_tally same = tally_of(std::vector<uint32_t>(60, 3));
  EXPECT_NEAR(300.0, fairness::face_test(same).statistic, 1e-9);
  EXPECT_NEAR(36 * 60 - 60 - 300.0, fairness::serial_test(same).statistic, 1e-9);
  EXPECT_NEAR(36 * 60 - 60 - 600.0, fairness::serial_second_difference(same).statistic, 1e-9);
  EXPECT_EQ(60u, fairness::repeat_test(same).repeats);
}

TEST(BinomialTail, CountsTheChanceOfSoManyWeakResults) {
  struct {
    uint64_t n, k;
    double p, expected;
  } const table[] = {
      {2, 1, 0.5, 0.75},
      {2, 2, 0.5, 0.25},
      {10, 0, 0.3, 1.0},
      {10, 11, 0.3, 0.0},
      {114, 1, 0.01, 1 - 0.3179890638191435},  // 1 - 0.99^114
      {5, 5, 1.0, 1.0},
      {5, 1, 0.0, 0.0},
  };
  for (const auto& row : table)
    EXPECT_NEAR(row.expected, fairness::binomial_at_least(row.n, row.k, row.p), 1e-12)
        << row.k << " or more of " << row.n << " at " << row.p;
  EXPECT_TRUE(std::isnan(fairness::binomial_at_least(10, 1, 1.5)));
}

TEST(CommandLine, ReadsOnlyWholeUnsignedNumbers) {
  struct {
    const char* text;
    bool ok;
    unsigned long long value;
  } const table[] = {
      {"12345", true, 12345}, {"0x10", true, 16},
      {"0", true, 0},         {"18446744073709551615", true, UINT64_MAX},
      {"", false, 0},         {"-1", false, 0},
      {"+1", false, 0},       {"12x", false, 0},
      {" 1", false, 0},       {"18446744073709551616", false, 0},
  };
  for (const auto& row : table) {
    unsigned long long value = 0xdeadbeef;
    EXPECT_EQ(row.ok, fairness::parse_unsigned(row.text, value)) << "\"" << row.text << "\"";
    if (row.ok) {
      EXPECT_EQ(row.value, value) << "\"" << row.text << "\"";
    }
  }
  unsigned long long value = 0;
  EXPECT_FALSE(fairness::parse_unsigned(nullptr, value));
}

TEST(FaceBand, HoldsTheCountOfAFairFace) {
  fairness::count_band band = fairness::face_band(6000000, 0.999);
  EXPECT_NEAR(1000000.0, band.expected, 1e-6);
  const double spread = 3.2905267314919255 * std::sqrt(6000000.0 * 5 / 36);
  EXPECT_NEAR(1000000.0 - spread, band.low, 1e-6);
  EXPECT_NEAR(1000000.0 + spread, band.high, 1e-6);
}

}  // namespace
