#include "runtime/sound/volume_table.h"

#include <cmath>

void sound_volume_table_fill(int32_t table[SOUND_VOLUME_ENTRIES]) {
  for (int32_t i = 1; i < SOUND_VOLUME_ENTRIES - 1; ++i) {
    // NOTE: each step is rounded to double on its own, so that an x87 build (32-bit
    // Windows) truncates the same value as an SSE build; 10 must give exactly 8000.
    double decades = static_cast<double>(std::log10(1000.0 * i));
    double hundredths = static_cast<double>(static_cast<double>(decades * 20.0) * 100.0);
    table[i] = static_cast<int32_t>(hundredths);
  }
  // log10(0) has no value: volume 0 is the device's silence, and 100 is full volume.
  table[0] = 0;
  table[SOUND_VOLUME_ENTRIES - 1] = 10000;
}
