// Numbered sounds made from complete WAV images in memory.
#include <cstring>

#include "runtime/sound/sound.h"
#include "runtime/sound/sound_library.h"
#include "runtime/sound/wav_reader.h"

namespace {

constexpr DWORD kSoundBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                    DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;

// The format record the device is given. A record that holds all it announces is handed
// over where it lies. NOTE: the usual 16-byte format chunk has no extra-size field of its
// own: the bytes behind it are the next chunk's ID, which a device reads as an extra size
// for any format but PCM and would then read that far past the chunk. Such a record (and
// any other that announces more than its chunk holds) goes over as a copy without extra
// bytes, which for PCM is what the device makes of it anyway.
const WAVEFORMATEX* device_format(const wav_image& image, WAVEFORMATEX* copy) {
  if (wav_format_is_whole(image.format, image.format_size)) return reinterpret_cast<const WAVEFORMATEX*>(image.format);
  std::memset(copy, 0, sizeof(*copy));
  size_t known = image.format_size < sizeof(PCMWAVEFORMAT) ? image.format_size : sizeof(PCMWAVEFORMAT);
  std::memcpy(copy, image.format, known);
  copy->cbSize = 0;
  return copy;
}

}  // namespace

intptr_t sound_from_memory(intptr_t number, const void* data) {
  sound_library_record* library = sound_library();
  if (!library || !library->device || !library->sounds) return 0;
  if (number < OBJECT_ANY) return 0;

  // The call has no length: the image is as long as its RIFF header says, and neither
  // the chunk walk nor the copy of the samples goes beyond that.
  size_t length = wav_image_length(data);
  wav_image image;
  if (!length || !wav_read(data, length, &image)) return 0;

  WAVEFORMATEX copy;
  DSBUFFERDESC description{};
  description.dwSize = sizeof(description);
  description.dwFlags = kSoundBufferFlags;
  description.dwBufferBytes = image.sample_bytes;
  description.lpwfxFormat = const_cast<WAVEFORMATEX*>(device_format(image, &copy));
  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(library->device->CreateSoundBuffer(&description, &buffer, nullptr)) || !buffer) return 0;

  void* part = nullptr;
  DWORD part_bytes = 0;
  if (FAILED(buffer->Lock(0, image.sample_bytes, &part, &part_bytes, nullptr, nullptr, 0)) || !part) {
    buffer->Release();
    return 0;
  }
  std::memcpy(part, image.samples, part_bytes < image.sample_bytes ? part_bytes : image.sample_bytes);

  // Only now, with the buffer made and filled, is an older sound of this number freed.
  auto* record = static_cast<sound_record*>(registry_create(library->sounds, number));
  if (!record) {
    buffer->Unlock(part, part_bytes, nullptr, 0);
    buffer->Release();
    return 0;
  }
  record->buffer = buffer;
  LONG pan = 0, volume = 0;
  DWORD frequency = 0;
  buffer->GetPan(&pan);
  buffer->GetFrequency(&frequency);
  buffer->GetVolume(&volume);
  record->pan = pan;
  record->frequency = frequency;
  record->volume = volume;
  buffer->Unlock(part, part_bytes, nullptr, 0);

  if (number == OBJECT_ANY) return registry_dynamic_number(record);
  return reinterpret_cast<intptr_t>(buffer);
}
