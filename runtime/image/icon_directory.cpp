#include "runtime/image/icon_directory.h"

#include "runtime/image/byte_order.h"

icon_entry icon_entry_at(const uint8_t* data, size_t index) {
  const uint8_t* p = data + ICON_DIRECTORY_SIZE + index * ICON_ENTRY_SIZE;
  icon_entry entry;
  entry.width = p[0];
  entry.height = p[1];
  entry.colour_count = p[2];
  entry.reserved = p[3];
  entry.planes = read_u16(p + 4);
  entry.bit_count = read_u16(p + 6);
  entry.size = read_u32(p + 8);
  entry.offset = read_u32(p + 12);
  return entry;
}

int32_t icon_directory_choose(const void* data, size_t length, icon_entry* chosen, int32_t* index) {
  if (!data || length < ICON_DIRECTORY_SIZE) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (read_u16(bytes) != 0 || read_u16(bytes + 2) != ICON_TYPE_ICON) return 0;
  const size_t count = read_u16(bytes + 4);
  if (count == 0) return 0;
  if (count > (length - ICON_DIRECTORY_SIZE) / ICON_ENTRY_SIZE) return 0;

  const icon_entry first = icon_entry_at(bytes, 0);
  icon_entry best = first;
  size_t best_index = 0;
  for (size_t i = 1; i < count; ++i) {
    const icon_entry entry = icon_entry_at(bytes, i);
    // Only entries of the first entry's size compete; the deepest colour wins.
    if (entry.width == first.width && entry.height == first.height && entry.bit_count > best.bit_count) {
      best = entry;
      best_index = i;
    }
  }
  if (best.offset > length || best.size > length - best.offset) return 0;
  if (best.size < ICON_IMAGE_HEADER_SIZE) return 0;
  if (chosen) *chosen = best;
  if (index) *index = static_cast<int32_t>(best_index);
  return 1;
}

int32_t icon_image_size_read(const void* image, size_t size, icon_image_size* out) {
  if (!image || size < ICON_IMAGE_HEADER_SIZE) return 0;
  const auto* bytes = static_cast<const uint8_t*>(image);
  icon_image_size s;
  s.width = static_cast<int32_t>(read_u32(bytes + 4));
  s.height = static_cast<int32_t>(read_u32(bytes + 8)) / 2;
  s.bit_count = read_u16(bytes + 14);
  if (out) *out = s;
  return 1;
}
