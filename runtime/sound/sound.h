// The sound device, numbered sounds decoded from WAV files in memory, and playback.
#pragma once

#include <cstdint>

// Play flags of sound_play.
constexpr uint32_t SOUND_LOOP = 1;      // play until stopped
constexpr uint32_t SOUND_INSTANCE = 2;  // play an extra copy beside the playing ones
// Buffer selection of sound_set_volume and sound_stop: the main buffer, or the main
// buffer and every instance; any other value is an instance handle from sound_play.
constexpr intptr_t SOUND_MAIN_BUFFER = 0;
constexpr intptr_t SOUND_EVERY_BUFFER = -1;
// Volume argument of sound_play that leaves the volume as it is.
constexpr int32_t SOUND_VOLUME_UNCHANGED = -1;

// The sound table (non-zero) when the device is ready, 0 otherwise.
intptr_t sound_init();
// Frees every sound, lets go of the device and the sound module.
void sound_end();
// The buffer (non-zero) for a fixed number, the dynamic number for OBJECT_ANY, 0 on failure.
// The image's length comes from its RIFF header; a failed call leaves an existing sound
// of that number as it was.
intptr_t sound_from_memory(intptr_t number, const void* data);
// Without SOUND_INSTANCE: restarts the main buffer from its beginning; 1 when it plays.
// With it: the new instance's handle. 0 when the number holds no sound.
intptr_t sound_play(intptr_t number, uint32_t flags = 0, int32_t volume = -1);
// Volume 0 to 100 (clamped). 1 when a buffer was set, 0 for no sound or an instance
// handle that is not (or no longer) one of this sound's.
intptr_t sound_set_volume(intptr_t number, int32_t volume, intptr_t instance = 0);
// Stops and rewinds the selected buffers; number -1 does so for every sound's main buffer.
void sound_stop(intptr_t number, intptr_t instance = 0);
// 1 when the sound was freed, 0 when the number held none.
intptr_t sound_free(intptr_t number);
