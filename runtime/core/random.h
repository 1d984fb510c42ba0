// Random numbers: a pseudo-random generator that seeds itself on first use, and the
// platform's cryptographic source.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"

// 0 to max inclusive for max >= 0; the raw 32-bit word for max = -1.
uint32_t random_int(int32_t max);
void random_seed(uint32_t seed);
uint32_t random_next();
// 1 when the cryptographic source is (or already was) open, 0 when it cannot be opened.
int32_t crypto_random_open();
// 0 to max inclusive, or 0 when the source is not open or a draw fails.
uint32_t crypto_random_int(int32_t max);
// 1 when the last crypto_random_int drew nothing (source not open, or the draw failed),
// so that a caller can tell that 0 from a drawn 0; 0 after a successful draw.
int32_t crypto_random_failed();

// The generator's state: two lagged tables stepped together, i and j never equal once seeded.
struct random_generator_record {
  int32_t i;  // first index, 0..16
  int32_t j;  // second index, 0..16
  uint32_t a[17];
  uint32_t b[17];
  int32_t seeded;  // 0 until the first seeding; random_int then seeds itself
};

// The cryptographic source's state. The provider is never released: it lives until the
// process ends, so a second open finds it here instead of acquiring another.
struct crypto_source_record {
  HCRYPTPROV provider;  // pointer-sized platform handle
  int32_t open;         // 1 once the provider was acquired
  int32_t last_failed;  // 1 when the last draw gave nothing
};

random_generator_record& random_generator();
crypto_source_record& crypto_source();
