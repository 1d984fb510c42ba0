// The WAV reader: finds the format record and the samples of a RIFF WAVE image in
// memory, without copying. Platform-free, so that it can be tested and fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>

struct wav_image {
  const uint8_t* format;   // the format record (a wave-format record), where it lies
  uint32_t format_size;    // bytes of the format chunk's body
  const uint8_t* samples;  // the first sample byte
  uint32_t sample_bytes;   // bytes of the data chunk's body
};

// The length of the image that starts at data, taken from its own header: 8 plus the
// RIFF size. 0 when data is null, does not start with "RIFF", or the length would run
// past the end of the address space. Reads the first 8 bytes only.
size_t wav_image_length(const void* data);

// Reads the image of length bytes at data: "RIFF" at 0, "fmt " as the first chunk at 12,
// then chunks up to the first "data" chunk; nothing else of the header is examined.
// True with *image filled when the format chunk and a whole "data" chunk lie inside the
// length; false (and *image untouched) otherwise.
bool wav_read(const void* data, size_t length, wav_image* image);

// True when a wave-format record of format_size bytes holds its extra bytes as well:
// at least the 18 bytes of the record, and the extra size it announces.
bool wav_format_is_whole(const uint8_t* format, uint32_t format_size);
