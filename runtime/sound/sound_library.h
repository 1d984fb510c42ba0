// The sound library's state and records, shared by the device, loading and playback.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <dsound.h>

#include <cstdint>

#include "runtime/core/registry.h"
#include "runtime/sound/volume_table.h"

// One extra playing copy of a sound. Its handle, as the program sees it, is the address
// of its buffer field.
struct sound_instance {
  sound_instance* next;
  IDirectSoundBuffer* buffer;  // a duplicate sharing the samples of the main buffer
};

struct sound_record {
  IDirectSoundBuffer* buffer;  // non-null for every existing sound (the registry's mark)
  sound_instance* instances;   // newest first
  // The buffer's settings right after creation: every instance starts with them.
  int32_t pan;
  uint32_t frequency;
  int32_t volume;
  // Room for sounds that a format decoder streams; no decoder exists, so these stay 0.
  void* decoder;
  uint32_t ring_bytes;
  uint8_t stream_active;
  uint8_t stream_thread_running;
  uint32_t stream_flags;
};

struct sound_library_record {
  object_registry* sounds;
  int32_t volume_table[SOUND_VOLUME_ENTRIES];
  HMODULE module;               // "DSOUND.DLL", once loaded
  IDirectSound* device;         // set only once the device is ready
  IDirectSoundBuffer* primary;  // kept only to be released at the end
  HWND window;                  // the hidden multimedia window
  int32_t window_made;
};

// The library's state between sound_init and sound_end; null outside.
sound_library_record* sound_library();
// The sound of that number, or null.
sound_record* sound_lookup(intptr_t number);
