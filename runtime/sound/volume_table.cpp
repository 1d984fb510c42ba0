#include "runtime/sound/volume_table.h"

#include <cmath>

void sound_volume_table_fill(int32_t table[SOUND_VOLUME_ENTRIES]) {
  for (int32_t i = 1; i < SOUND_VOLUME_ENTRIES - 1; ++i) {
    // NOTE: an x87 build (32-bit Windows) would otherwise keep the steps in extended
    // precision and could truncate differently from an SSE build; the volatile stores
    // round each step to double, so that both builds give one table.
    volatile double decades = std::log10(1000.0 * i);
    volatile double decibels = decades * 20.0;
    volatile double hundredths = decibels * 100.0;
    table[i] = static_cast<int32_t>(hundredths);
  }
  // log10(0) has no value: volume 0 is the device's silence, and 100 is full volume.
  table[0] = 0;
  table[SOUND_VOLUME_ENTRIES - 1] = 10000;
}
