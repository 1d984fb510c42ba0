#include "runtime/sound/wav_reader.h"

#include <cstring>

namespace {

constexpr uint32_t kFormatOffset = 20;  // body of the "fmt " chunk
constexpr uint32_t kChunkHeader = 8;    // ID and 32-bit size
constexpr uint32_t kFormatRecord = 18;  // the wave-format record up to its extra size

uint32_t read_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

bool has_id(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

}  // namespace

size_t wav_image_length(const void* data) {
  if (!data) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (!has_id(bytes, "RIFF")) return 0;
  uint64_t length = uint64_t{kChunkHeader} + read_u32(bytes + 4);
  // NOTE: on 32-bit Windows 8 + a RIFF size near 4 GB does not fit an address, and no
  // image can reach past the end of the address space; such a header is refused here.
  if (length > SIZE_MAX) return 0;
  if (length > UINTPTR_MAX - reinterpret_cast<uintptr_t>(data)) return 0;
  return static_cast<size_t>(length);
}

bool wav_read(const void* data, size_t length, wav_image* image) {
  if (!data || length < kFormatOffset) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (!has_id(bytes, "RIFF")) return false;
  // The format chunk must come first; the form type and the RIFF size are not examined
  // (the caller's length already comes from the RIFF size).
  if (!has_id(bytes + 12, "fmt ")) return false;
  uint32_t format_size = read_u32(bytes + 16);

  // Positions are 64-bit: a size near 4 GB must neither wrap the walk back to an earlier
  // chunk nor let it run forever.
  uint64_t position = uint64_t{kFormatOffset} + format_size;
  while (position + kChunkHeader <= length) {
    const uint8_t* chunk = bytes + position;
    uint32_t size = read_u32(chunk + 4);
    if (has_id(chunk, "data")) {
      if (position + kChunkHeader + size > length) return false;
      image->format = bytes + kFormatOffset;
      image->format_size = format_size;
      image->samples = chunk + kChunkHeader;
      image->sample_bytes = size;
      return true;
    }
    // Sizes are taken unchanged: an odd size is not padded to even.
    position += uint64_t{kChunkHeader} + size;
  }
  return false;
}

bool wav_format_is_whole(const uint8_t* format, uint32_t format_size) {
  if (format_size < kFormatRecord) return false;
  uint32_t extra = static_cast<uint32_t>(format[16]) | static_cast<uint32_t>(format[17]) << 8;
  return extra <= format_size - kFormatRecord;
}
