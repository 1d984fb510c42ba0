#include "runtime/core/random.h"

namespace {

random_generator_record generator;
crypto_source_record source;

// The provider is asked for no key container and must never show a user interface: the
// source only ever hands out random bytes.
constexpr DWORD kProviderType = 1;            // PROV_RSA_FULL
constexpr DWORD kProviderFlags = 0xF0000040;  // CRYPT_VERIFYCONTEXT | CRYPT_SILENT
static_assert(kProviderType == PROV_RSA_FULL);
static_assert(kProviderFlags == (CRYPT_VERIFYCONTEXT | CRYPT_SILENT));

constexpr uint32_t kSeedFactor = 0x53A9B4FB;
constexpr int32_t kLast = 16;  // highest table index
constexpr int kWarmUp = 31;    // steps discarded after seeding

uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// A word scaled onto 0..max by the high half of a 64-bit product instead of a modulo; for
// a die the faces' chances differ by less than one part in 700 million. max + 1 is formed
// unsigned, which makes max = -1 the full range and keeps max = INT32_MAX defined.
uint32_t scale(uint32_t word, int32_t max) {
  uint32_t m = static_cast<uint32_t>(max) + 1u;
  if (m == 0) return word;
  return static_cast<uint32_t>((static_cast<uint64_t>(word) * m) >> 32);
}

}  // namespace

random_generator_record& random_generator() { return generator; }
crypto_source_record& crypto_source() { return source; }

uint32_t random_next() {
  random_generator_record& g = generator;
  uint32_t a = rotr(g.b[g.i], 13) + g.b[g.j];
  uint32_t b = rotr(g.a[g.i], 5) + g.a[g.j];
  g.a[g.i] = a;
  g.b[g.i] = b;
  g.i = g.i == 0 ? kLast : g.i - 1;
  g.j = g.j == 0 ? kLast : g.j - 1;
  return a;
}

void random_seed(uint32_t seed) {
  random_generator_record& g = generator;
  uint32_t x = seed;
  for (int k = 0; k <= kLast; ++k) {
    x = 1u - x * kSeedFactor;
    g.b[k] = x;
    x = 1u - x * kSeedFactor;
    g.a[k] = x;
  }
  g.i = 0;
  g.j = 10;
  g.seeded = 1;
  for (int k = 0; k < kWarmUp; ++k) random_next();
}

uint32_t random_int(int32_t max) {
  if (!generator.seeded) random_seed(GetCurrentThreadId() ^ GetTickCount());
  return scale(random_next(), max);
}

int32_t crypto_random_open() {
  if (source.open) return 1;
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, kProviderType, kProviderFlags)) return 0;
  source.provider = provider;
  source.open = 1;
  return 1;
}

uint32_t crypto_random_int(int32_t max) {
  source.last_failed = 1;
  if (!source.open) return 0;
  BYTE bytes[4] = {};
  if (!CryptGenRandom(source.provider, sizeof bytes, bytes)) return 0;
  source.last_failed = 0;
  uint32_t word = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                  static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return scale(word, max);
}

int32_t crypto_random_failed() { return source.last_failed; }
