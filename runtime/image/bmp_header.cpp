#include "runtime/image/bmp_header.h"

#include <algorithm>

#include "runtime/image/byte_order.h"

int32_t bmp_is_bitmap(const void* data, size_t length) {
  if (!data || length < 2) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  return bytes[0] == 0x42 && bytes[1] == 0x4D ? 1 : 0;
}

uint64_t bmp_row_bytes(int32_t width, uint16_t bit_count) {
  if (width <= 0) return 0;
  return (static_cast<uint64_t>(width) * bit_count + 31) / 32 * 4;
}

int32_t bmp_target_depth(uint16_t bit_count) { return bit_count >= 24 ? bit_count : 24; }

namespace {

// Colour-table entries the conversion takes from behind the header: a paletted picture
// has its entries-used count, or the full palette when that count is 0, never more than
// its bit count can index; other pictures may carry an optimisation palette of up to 256
// entries.
uint64_t colour_table_bytes(const bmp_header& h) {
  uint64_t entries;
  if (h.bit_count <= 8) {
    const uint64_t full = uint64_t{1} << h.bit_count;
    entries = h.colours_used ? std::min<uint64_t>(h.colours_used, full) : full;
  } else {
    entries = std::min<uint64_t>(h.colours_used, 256);
  }
  return entries * 4;
}

}  // namespace

int32_t bmp_header_read(const void* data, size_t length, bmp_header* header) {
  if (!bmp_is_bitmap(data, length)) return 0;
  if (length < BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  bmp_header h{};
  h.pixel_offset = read_u32(bytes + 10);
  h.info_size = read_u32(bytes + 14);
  h.width = static_cast<int32_t>(read_u32(bytes + 18));
  h.height = static_cast<int32_t>(read_u32(bytes + 22));
  h.bit_count = read_u16(bytes + 28);
  h.compression = read_u32(bytes + 30);
  h.image_size = read_u32(bytes + 34);
  h.colours_used = read_u32(bytes + 46);

  // A smaller (core) header keeps its width, height and bit count elsewhere; read at the
  // fixed places above they would describe another picture than the one converted.
  if (h.info_size < BMP_INFO_HEADER_SIZE) return 0;
  if (h.width <= 0 || h.height == 0) return 0;

  // The colour masks of a bit-field picture are taken from right behind the 40-byte
  // header, even when a larger header holds masks of its own.
  uint64_t block = h.info_size;
  if (h.compression == BMP_BITFIELDS || h.compression == BMP_ALPHABITFIELDS) {
    const uint64_t masks = h.compression == BMP_BITFIELDS ? 12 : 16;
    block = std::max<uint64_t>(block, BMP_INFO_HEADER_SIZE + masks);
  } else {
    block += colour_table_bytes(h);
  }
  h.info_block_bytes = block;
  if (block > length - BMP_FILE_HEADER_SIZE) return 0;

  if (h.pixel_offset > length) return 0;
  const uint64_t available = length - h.pixel_offset;
  if (h.compression == BMP_RGB || h.compression == BMP_BITFIELDS || h.compression == BMP_ALPHABITFIELDS) {
    const uint64_t row = bmp_row_bytes(h.width, h.bit_count);
    // Rows are counted either way up: a negative height is a top-down picture.
    const uint64_t rows = h.height < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(h.height))
                                       : static_cast<uint64_t>(h.height);
    if (row == 0 || rows > available / row) return 0;
    h.pixel_bytes = row * rows;
  } else {
    // Run-length and embedded compressed data run as long as the header's image size.
    if (h.image_size == 0 || h.image_size > available) return 0;
    h.pixel_bytes = h.image_size;
  }
  if (header) *header = h;
  return 1;
}
