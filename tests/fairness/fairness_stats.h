// The arithmetic behind the fairness evidence: chi-square tail probabilities, the face
// and pair statistics of a run of throws, the normal band around an expected count and
// the exact share of 32-bit words that the scaling gives each face, and the reading of the
// tools' numbers. Plain functions; the tools and tests that throw the dice only count.
#pragma once

#include <array>
#include <cstdint>

namespace fairness {

constexpr int kFaces = 6;

// Regularised upper incomplete gamma function Q(a, x) = Gamma(a, x) / Gamma(a), for a > 0
// and x >= 0; NaN for anything else.
double gamma_q(double a, double x);

// Probability that a chi-square variable with df degrees of freedom exceeds statistic.
double chi_square_p(double statistic, int df);

// Two-sided normal probability of |Z| >= z.
double normal_two_sided_p(double z);

// The z with probability central inside -z..z (0.999 gives 3.29...); NaN outside 0..1.
double normal_central_z(double central);

// Counts of one run of throws: faces 0..5, and pairs of successive throws counted
// cyclically (the last throw is followed by the first), so every row and every column
// of the pair table sums to the count of its face.
struct throw_tally {
  uint64_t throws = 0;
  std::array<uint64_t, kFaces> faces{};
  std::array<std::array<uint64_t, kFaces>, kFaces> pairs{};  // [earlier][later]
  uint32_t first = 0;
  uint32_t previous = 0;
};

// Counts one face; a face outside 0..5 is not counted and gives false.
bool tally_add(throw_tally& tally, uint32_t face);
// Closes the cycle: counts the pair of the last and the first throw.
void tally_close(throw_tally& tally);

struct test_result {
  double statistic;
  int df;
  double p;  // probability of a statistic at least this large for a fair, independent die
};

// Pearson's chi-square of the face counts against 1/6 each (5 degrees of freedom).
test_result face_test(const throw_tally& tally);

// Good's serial tests over overlapping pairs. The 36 pair counts of a sequence share
// throws, so the plain chi-square over them is not chi-square distributed; the first
// difference psi2(pairs) - psi2(faces) is, with 36 - 6 = 30 degrees of freedom, and the
// second difference psi2(pairs) - 2 psi2(faces), with 36 - 12 + 1 = 25, which leaves out
// the faces' own imbalance and so measures only how a throw depends on the one before.
test_result serial_test(const throw_tally& tally);
test_result serial_second_difference(const throw_tally& tally);

// Throws that repeat the throw before them (the diagonal of the pair table), against the
// expected sixth: successive repeats are pairwise independent for a fair die, so the
// count's variance is n * 1/6 * 5/6 exactly.
struct repeat_result {
  uint64_t repeats;
  double expected;
  double z;
  double p;  // two-sided
};
repeat_result repeat_test(const throw_tally& tally);

// The band that holds one face's count of n throws with probability central
// (binomial with p = 1/6, normal approximation).
struct count_band {
  double expected;
  double low;
  double high;
};
count_band face_band(uint64_t throws, double central);

// How many of the 2^32 words the high half of word * faces maps to each face: face k gets
// the words from ceil(k * 2^32 / faces) up to ceil((k + 1) * 2^32 / faces) - 1. faces
// at least 1; words has room for faces counts. Nothing is written for 0 faces.
void words_per_face(uint32_t faces, uint64_t* words);

// Throws after which a difference delta between two faces' chances has grown to one
// standard deviation of a face's count, for a face of chance p: p (1 - p) / delta^2.
double throws_to_show_difference(double p, double delta);

// A command-line number: decimal, or hexadecimal after 0x; no sign, nothing after it.
bool parse_unsigned(const char* text, unsigned long long& value);

// Probability of at least k successes in n independent trials of chance p each.
double binomial_at_least(uint64_t n, uint64_t k, double p);

}  // namespace fairness
