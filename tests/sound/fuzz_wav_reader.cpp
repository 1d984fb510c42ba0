// The WAV reader over arbitrary bytes: the input is the whole image, and the reader is
// given both the input's own length and the length the image's RIFF header claims (as
// long as that lies inside the input), as sounds from memory would use it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/sound/wav_reader.h"

namespace {

// Touches every byte the reader points at, so that a pointer outside the input trips the
// address sanitizer.
volatile uint8_t observed;

void use(const uint8_t* data, size_t size, const wav_image& image) {
  uint8_t fold = 0;
  for (uint32_t i = 0; i < image.format_size; ++i) fold ^= image.format[i];
  for (uint32_t i = 0; i < image.sample_bytes; ++i) fold ^= image.samples[i];
  observed = fold;
  if (image.samples < data || image.samples + image.sample_bytes > data + size) __builtin_trap();
  if (image.format_size >= 18) wav_format_is_whole(image.format, image.format_size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wav_image image;
  if (wav_read(data, size, &image)) use(data, size, image);
  if (size >= 8) {
    size_t length = wav_image_length(data);
    if (length && length <= size && wav_read(data, length, &image)) use(data, length, image);
  }
  return 0;
}
