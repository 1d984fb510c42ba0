// The figures of docs/fairness.md, one per line ("name value..."), for scripts/fairness.sh:
//   fairness_figures generator THROWS SEED   throws of the pseudo-random generator, seeded
//   fairness_figures crypto THROWS           throws of the platform's cryptographic source
//   fairness_figures scaling FACES           how many 32-bit words the scaling gives each face
//   fairness_figures verdicts RESULTS WEAK   what WEAK verdicts among RESULTS mean by chance
// A throw is exactly the application's: random_int(5) or crypto_random_int(5).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
#  include <fcntl.h>
#  include <io.h>
#endif

#include "runtime/core/platform.h"
#include "runtime/core/random.h"
#include "tests/fairness/fairness_stats.h"

namespace {

constexpr double kBand = 0.999;

void print_result(const char* name, const fairness::test_result& r) {
  std::printf("%s %.6f %d %.6g\n", name, r.statistic, r.df, r.p);
}

template <class Draw>
int throw_and_report(Draw draw, unsigned long long throws) {
  fairness::throw_tally tally;
  for (unsigned long long n = 0; n < throws; ++n) {
    uint32_t face = draw();
    if (!fairness::tally_add(tally, face)) {
      std::fprintf(stderr, "throw %llu gave %u, outside 0..5\n", n, face);
      return 1;
    }
  }
  fairness::tally_close(tally);

  std::printf("throws %llu\n", static_cast<unsigned long long>(tally.throws));
  for (int k = 0; k < fairness::kFaces; ++k)
    std::printf("face %d %llu\n", k + 1, static_cast<unsigned long long>(tally.faces[k]));
  fairness::count_band band = fairness::face_band(tally.throws, kBand);
  std::printf("band %g %.3f %.3f %.3f\n", kBand * 100, band.expected, band.low, band.high);
  print_result("face_test", fairness::face_test(tally));
  for (int a = 0; a < fairness::kFaces; ++a)
    for (int b = 0; b < fairness::kFaces; ++b)
      std::printf("pair %d %d %llu\n", a + 1, b + 1, static_cast<unsigned long long>(tally.pairs[a][b]));
  print_result("serial_test", fairness::serial_test(tally));
  print_result("serial_second_difference", fairness::serial_second_difference(tally));
  fairness::repeat_result repeats = fairness::repeat_test(tally);
  std::printf("repeats %llu %.3f %.4f %.6g\n", static_cast<unsigned long long>(repeats.repeats), repeats.expected,
              repeats.z, repeats.p);
  return 0;
}

int report_scaling(uint32_t faces) {
  std::vector<uint64_t> words(faces);
  fairness::words_per_face(faces, words.data());
  uint64_t most = 0, least = UINT64_MAX;
  for (uint32_t k = 0; k < faces; ++k) {
    std::printf("words %u %llu\n", k + 1, static_cast<unsigned long long>(words[k]));
    if (words[k] > most) most = words[k];
    if (words[k] < least) least = words[k];
  }
  const double all_words = 4294967296.0;
  std::printf("remainder %llu\n", static_cast<unsigned long long>((uint64_t{1} << 32) % faces));
  std::printf("chance_most %.17g\n", most / all_words);
  std::printf("chance_least %.17g\n", least / all_words);
  std::printf("chance_difference %.6e\n", (most - least) / all_words);
  std::printf("ratio_excess %.6e\n", static_cast<double>(most - least) / least);
  std::printf("throws_to_show %.6e\n", fairness::throws_to_show_difference(1.0 / faces, (most - least) / all_words));
  return 0;
}

// A battery marks a p-value WEAK when it lies within 0.005 of 0 or 1: a fair source's
// result does so with chance 0.01.
constexpr double kWeakChance = 0.01;

int report_verdicts(uint64_t results, uint64_t weak) {
  std::printf("weak_expected %.4f\n", results * kWeakChance);
  std::printf("weak_at_least %llu %.6g\n", static_cast<unsigned long long>(weak),
              fairness::binomial_at_least(results, weak, kWeakChance));
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: fairness_figures generator THROWS SEED\n"
               "       fairness_figures crypto THROWS\n"
               "       fairness_figures scaling FACES\n"
               "       fairness_figures verdicts RESULTS WEAK\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // NOTE: the C library would turn each line end into CR LF; the script reads plain lines.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (argc < 3) return usage();
  unsigned long long number = 0;
  if (!fairness::parse_unsigned(argv[2], number) || number == 0) return usage();

  if (std::strcmp(argv[1], "scaling") == 0 && argc == 3) {
    // One count per face is printed: a million faces is already more than anyone reads.
    if (number > 1000000) return usage();
    return report_scaling(static_cast<uint32_t>(number));
  }
  if (std::strcmp(argv[1], "verdicts") == 0 && argc == 4) {
    unsigned long long weak = 0;
    if (!fairness::parse_unsigned(argv[3], weak) || weak > number) return usage();
    return report_verdicts(number, weak);
  }
  if (std::strcmp(argv[1], "generator") == 0 && argc == 4) {
    unsigned long long seed = 0;
    if (!fairness::parse_unsigned(argv[3], seed) || seed > UINT32_MAX) return usage();
    random_seed(static_cast<uint32_t>(seed));
    std::printf("source generator\nseed %llu\n", seed);
    return throw_and_report([] { return random_int(5); }, number);
  }
  if (std::strcmp(argv[1], "crypto") == 0 && argc == 3) {
    if (!crypto_random_open()) {
      std::fprintf(stderr, "the cryptographic source could not be opened\n");
      return 1;
    }
    std::printf("source crypto\n");
#ifdef _WIN32
    char name[256] = {};
    DWORD size = sizeof name - 1;
    if (CryptGetProvParam(crypto_source().provider, PP_NAME, reinterpret_cast<BYTE*>(name), &size, 0))
      std::printf("provider %s\n", name);
#endif
    return throw_and_report([] { return crypto_random_int(5); }, number);
  }
  return usage();
}
