// Writes the generator's raw 32-bit words to standard output, in the machine's byte order,
// for a statistical test battery reading them from a pipe:
//   random_words SEED [COUNT]
// Without COUNT the stream runs until the reader closes the pipe.
#include <cstdint>
#include <cstdio>

#include "runtime/core/random.h"
#include "tests/fairness/fairness_stats.h"

int main(int argc, char** argv) {
  unsigned long long seed = 0;
  unsigned long long count = 0;
  if (argc < 2 || argc > 3 || !fairness::parse_unsigned(argv[1], seed) || seed > UINT32_MAX ||
      (argc == 3 && !fairness::parse_unsigned(argv[2], count))) {
    std::fprintf(stderr, "usage: random_words SEED [COUNT]\n");
    return 2;
  }
  const bool endless = argc == 2;
  random_seed(static_cast<uint32_t>(seed));

  static uint32_t block[1 << 16];
  while (endless || count > 0) {
    size_t n = sizeof block / sizeof block[0];
    if (!endless && count < n) n = static_cast<size_t>(count);
    for (size_t k = 0; k < n; ++k) block[k] = random_next();
    // A reader that has seen enough closes the pipe: that ends the stream, not an error.
    if (std::fwrite(block, sizeof block[0], n, stdout) != n) return endless ? 0 : 1;
    if (!endless) count -= n;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
