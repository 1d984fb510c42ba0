// Deadlines of tests that wait on the platform. Each is written for 64-bit Wine and scaled
// by the run's time factor: NOTE: 32-bit Wine runs emulated here (qemu-i386), about ten
// times slower, and its runner (tests/wine/wine-run.in) sets TESSARIX_TIME_FACTOR. Unset,
// the factor is 1, so no run but the slow one waits longer.
#pragma once

#include <cstdlib>

namespace test_time {

// The run's time factor: a whole number from 1 to 100; anything else counts as 1.
inline int factor() {
  static const int value = [] {
    const char* text = std::getenv("TESSARIX_TIME_FACTOR");
    if (!text) return 1;
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && parsed >= 1 && parsed <= 100 ? static_cast<int>(parsed) : 1;
  }();
  return value;
}

// A wait of ms milliseconds on 64-bit Wine, as long as this run needs.
inline int scaled_ms(int ms) { return ms * factor(); }

}  // namespace test_time
