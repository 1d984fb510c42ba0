// Random numbers: a pseudo-random generator that seeds itself on first use, and the
// platform's cryptographic source.
#pragma once

#include <cstdint>

// 0 to max inclusive for max >= 0; the raw 32-bit word for max = -1.
uint32_t random_int(int32_t max);
void random_seed(uint32_t seed);
uint32_t random_next();
// 1 when the cryptographic source is (or already was) open, 0 when it cannot be opened.
int32_t crypto_random_open();
// 0 to max inclusive, or 0 when the source is not open or a draw fails.
uint32_t crypto_random_int(int32_t max);
