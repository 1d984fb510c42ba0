#include "tests/fairness/fairness_stats.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace fairness {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEpsilon = 1e-16;
constexpr int kMaxTerms = 10000;

// P(a, x) by its power series, good for x < a + 1 where the terms shrink quickly:
// P = x^a e^-x / Gamma(a) * sum over n of x^n / (a (a + 1) ... (a + n)).
double gamma_p_series(double a, double x, double log_prefix) {
  double term = 1.0 / a;
  double sum = term;
  for (int n = 1; n < kMaxTerms; ++n) {
    term *= x / (a + n);
    sum += term;
    if (std::fabs(term) < std::fabs(sum) * kEpsilon) break;
  }
  return sum * std::exp(log_prefix);
}

// Q(a, x) by its continued fraction, good for x >= a + 1 and exact in the far tail
// where 1 - P would lose every digit:
// Q = x^a e^-x / Gamma(a) * 1 / (x + 1 - a - 1 (1 - a) / (x + 3 - a - 2 (2 - a) / ...)),
// evaluated from the front by the modified Lentz method.
double gamma_q_fraction(double a, double x, double log_prefix) {
  constexpr double tiny = 1e-300;
  double b = x + 1.0 - a;
  double c = 1.0 / tiny;
  double d = 1.0 / b;
  double h = d;
  for (int n = 1; n < kMaxTerms; ++n) {
    double an = -n * (n - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < tiny) d = tiny;
    c = b + an / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    double step = d * c;
    h *= step;
    if (std::fabs(step - 1.0) < kEpsilon) break;
  }
  return h * std::exp(log_prefix);
}

double psi_square(const uint64_t* counts, int cells, uint64_t total) {
  const double expected = static_cast<double>(total) / cells;
  double sum = 0;
  for (int k = 0; k < cells; ++k) {
    double deviation = static_cast<double>(counts[k]) - expected;
    sum += deviation * deviation / expected;
  }
  return sum;
}

double pairs_psi_square(const throw_tally& tally) {
  return psi_square(&tally.pairs[0][0], kFaces * kFaces, tally.throws);
}

}  // namespace

double gamma_q(double a, double x) {
  if (!(a > 0) || !(x >= 0) || std::isinf(a)) return kNaN;
  if (x == 0) return 1.0;
  if (std::isinf(x)) return 0.0;
  const double log_prefix = a * std::log(x) - x - std::lgamma(a);
  if (x < a + 1.0) return 1.0 - gamma_p_series(a, x, log_prefix);
  return gamma_q_fraction(a, x, log_prefix);
}

double chi_square_p(double statistic, int df) {
  if (df <= 0) return kNaN;
  return gamma_q(df / 2.0, statistic / 2.0);
}

double normal_two_sided_p(double z) { return std::erfc(std::fabs(z) / std::sqrt(2.0)); }

double normal_central_z(double central) {
  if (!(central >= 0 && central < 1)) return kNaN;
  // The tail probability falls steadily with z: halve the bracket until it is exact.
  double low = 0, high = 40;
  for (int n = 0; n < 200 && high - low > 0; ++n) {
    double middle = (low + high) / 2;
    if (middle == low || middle == high) break;
    if (normal_two_sided_p(middle) > 1 - central)
      low = middle;
    else
      high = middle;
  }
  return (low + high) / 2;
}

bool tally_add(throw_tally& tally, uint32_t face) {
  if (face >= kFaces) return false;
  if (tally.throws == 0)
    tally.first = face;
  else
    ++tally.pairs[tally.previous][face];
  ++tally.faces[face];
  ++tally.throws;
  tally.previous = face;
  return true;
}

void tally_close(throw_tally& tally) {
  if (tally.throws > 0) ++tally.pairs[tally.previous][tally.first];
}

test_result face_test(const throw_tally& tally) {
  test_result r{psi_square(tally.faces.data(), kFaces, tally.throws), kFaces - 1, 0};
  r.p = chi_square_p(r.statistic, r.df);
  return r;
}

test_result serial_test(const throw_tally& tally) {
  test_result r{pairs_psi_square(tally) - psi_square(tally.faces.data(), kFaces, tally.throws),
                kFaces * kFaces - kFaces, 0};
  r.p = chi_square_p(r.statistic, r.df);
  return r;
}

test_result serial_second_difference(const throw_tally& tally) {
  test_result r{pairs_psi_square(tally) - 2 * psi_square(tally.faces.data(), kFaces, tally.throws),
                kFaces * kFaces - 2 * kFaces + 1, 0};
  r.p = chi_square_p(r.statistic, r.df);
  return r;
}

repeat_result repeat_test(const throw_tally& tally) {
  repeat_result r{};
  for (int k = 0; k < kFaces; ++k) r.repeats += tally.pairs[k][k];
  const double n = static_cast<double>(tally.throws);
  const double chance = 1.0 / kFaces;
  r.expected = n * chance;
  const double sd = std::sqrt(n * chance * (1 - chance));
  r.z = sd > 0 ? (static_cast<double>(r.repeats) - r.expected) / sd : 0;
  r.p = normal_two_sided_p(r.z);
  return r;
}

count_band face_band(uint64_t throws, double central) {
  const double n = static_cast<double>(throws);
  const double chance = 1.0 / kFaces;
  const double spread = normal_central_z(central) * std::sqrt(n * chance * (1 - chance));
  return {n * chance, n * chance - spread, n * chance + spread};
}

void words_per_face(uint32_t faces, uint64_t* words) {
  // ceil(k * 2^32 / faces) stays below 2^64 for every k up to faces.
  auto first_word = [faces](uint64_t k) { return ((k << 32) + faces - 1) / faces; };
  for (uint32_t k = 0; k < faces; ++k) words[k] = first_word(k + 1) - first_word(k);
}

double throws_to_show_difference(double p, double delta) { return p * (1 - p) / (delta * delta); }

double binomial_at_least(uint64_t n, uint64_t k, double p) {
  if (!(p >= 0 && p <= 1)) return kNaN;
  if (k == 0) return 1.0;
  if (k > n) return 0.0;
  // Sum the upper terms directly: they are small where it matters, and 1 - (lower sum)
  // would lose them.
  double sum = 0;
  for (uint64_t i = k; i <= n; ++i) {
    double log_term = std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0);
    double term = p == 0   ? (i == 0)
                  : p == 1 ? (i == n)
                           : std::exp(log_term + i * std::log(p) + (n - i) * std::log1p(-p));
    sum += term;
  }
  return sum > 1 ? 1.0 : sum;
}

bool parse_unsigned(const char* text, unsigned long long& value) {
  // strtoull would also take a sign or leading blanks: only a digit may start the text.
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 0);
  return errno == 0 && *end == 0;
}

}  // namespace fairness
