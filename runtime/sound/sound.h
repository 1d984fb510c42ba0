// The sound device, numbered sounds decoded from WAV files in memory, and playback.
#pragma once

#include <cstdint>

// The sound table (non-zero) when the device is ready, 0 otherwise.
intptr_t sound_init();
void sound_end();
// The buffer (non-zero) for a fixed number, the dynamic number for OBJECT_ANY, 0 on failure.
intptr_t sound_from_memory(intptr_t number, const void* data);
intptr_t sound_play(intptr_t number, uint32_t flags = 0, int32_t volume = -1);
intptr_t sound_set_volume(intptr_t number, int32_t volume, intptr_t instance = 0);
void sound_stop(intptr_t number, intptr_t instance = 0);
intptr_t sound_free(intptr_t number);
