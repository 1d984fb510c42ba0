// Playing, restarting, silencing and freeing numbered sounds.
#include "runtime/core/runtime.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_library.h"

namespace {

intptr_t instance_handle(sound_instance* instance) { return reinterpret_cast<intptr_t>(&instance->buffer); }

// Calls action on the selected buffers of a sound: its main buffer, the main buffer and
// every instance, or the one instance whose handle is given. A handle is only compared
// with the sound's own instances, never followed: it may be stale. The count of buffers.
template <class Action>
int for_selected_buffers(sound_record* sound, intptr_t instance, Action action) {
  if (instance == SOUND_MAIN_BUFFER || instance == SOUND_EVERY_BUFFER) {
    action(sound->buffer);
    int count = 1;
    if (instance == SOUND_EVERY_BUFFER)
      for (sound_instance* node = sound->instances; node; node = node->next, ++count) action(node->buffer);
    return count;
  }
  for (sound_instance* node = sound->instances; node; node = node->next)
    if (instance_handle(node) == instance) {
      action(node->buffer);
      return 1;
    }
  return 0;
}

// Releases the instances that have finished playing; those still playing stay.
void reap_finished_instances(sound_record* sound) {
  sound_instance** link = &sound->instances;
  while (sound_instance* node = *link) {
    DWORD status = 0;
    node->buffer->GetStatus(&status);
    if (status & DSBSTATUS_PLAYING) {
      link = &node->next;
      continue;
    }
    node->buffer->Release();
    *link = node->next;
    main_heap_free(node);
  }
}

intptr_t play_instance(intptr_t number, sound_record* sound, DWORD play_flags, int32_t volume) {
  sound_library_record* library = sound_library();
  reap_finished_instances(sound);
  IDirectSoundBuffer* duplicate = nullptr;
  if (FAILED(library->device->DuplicateSoundBuffer(sound->buffer, &duplicate)) || !duplicate) return 0;
  auto* node = static_cast<sound_instance*>(main_heap_alloc(sizeof(sound_instance)));
  if (!node) {
    duplicate->Release();
    return 0;
  }
  node->buffer = duplicate;
  node->next = sound->instances;
  sound->instances = node;

  duplicate->SetFrequency(sound->frequency);
  duplicate->SetPan(sound->pan);
  intptr_t handle = instance_handle(node);
  if (volume != SOUND_VOLUME_UNCHANGED)
    sound_set_volume(number, volume, handle);
  else
    duplicate->SetVolume(sound->volume);
  duplicate->Play(0, 0, play_flags);
  return handle;
}

}  // namespace

intptr_t sound_play(intptr_t number, uint32_t flags, int32_t volume) {
  sound_record* sound = sound_lookup(number);
  if (!sound) return 0;
  DWORD play_flags = (flags & SOUND_LOOP) ? DSBPLAY_LOOPING : 0;
  if (flags & SOUND_INSTANCE) return play_instance(number, sound, play_flags, volume);

  // Playing again cuts the sound off and starts it from its beginning: one copy only.
  sound->buffer->Stop();
  sound->buffer->SetCurrentPosition(0);
  if (volume != SOUND_VOLUME_UNCHANGED) sound_set_volume(number, volume, SOUND_MAIN_BUFFER);
  return SUCCEEDED(sound->buffer->Play(0, 0, play_flags)) ? 1 : 0;
}

intptr_t sound_set_volume(intptr_t number, int32_t volume, intptr_t instance) {
  sound_record* sound = sound_lookup(number);
  if (!sound) return 0;
  if (volume > 100) volume = 100;
  if (volume < 0) volume = 0;
  LONG attenuation = sound_library()->volume_table[volume] - 10000;
  int count = for_selected_buffers(sound, instance,
                                   [&](IDirectSoundBuffer* buffer) { buffer->SetVolume(attenuation); });
  return count ? 1 : 0;
}

void sound_stop(intptr_t number, intptr_t instance) {
  if (number == -1) {
    sound_library_record* library = sound_library();
    if (!library || !library->sounds) return;
    registry_first(library->sounds);
    intptr_t each = 0;
    while (registry_next(library->sounds, &each)) sound_stop(each, SOUND_MAIN_BUFFER);
    return;
  }
  sound_record* sound = sound_lookup(number);
  if (!sound) return;
  for_selected_buffers(sound, instance, [](IDirectSoundBuffer* buffer) {
    buffer->Stop();
    buffer->SetCurrentPosition(0);
  });
}

intptr_t sound_free(intptr_t number) {
  sound_record* sound = sound_lookup(number);
  if (!sound) return 0;
  while (sound_instance* node = sound->instances) {
    node->buffer->Release();
    sound->instances = node->next;
    main_heap_free(node);
  }
  sound->buffer->Release();
  registry_free(sound_library()->sounds, number);
  return 1;
}
