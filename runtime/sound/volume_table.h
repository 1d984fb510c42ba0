// The volume table: a linear volume 0 to 100 turned into the attenuation that sound
// buffers take, in hundredths of a decibel above -10000 (silence).
#pragma once

#include <cstdint>

constexpr int32_t SOUND_VOLUME_ENTRIES = 101;

// Fills entries 0 to 100. Entry v, less 10000, is the buffer volume for the linear
// volume v: 20 * log10(v / 100) decibels, with 0 the device's minimum.
void sound_volume_table_fill(int32_t table[SOUND_VOLUME_ENTRIES]);
