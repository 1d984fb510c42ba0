// The directory of an icon file that lies in memory, and the choice of the entry that
// becomes the image: plain functions on bytes that refuse any entry, offset or size that
// does not lie inside the length.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t ICON_DIRECTORY_SIZE = 6;  // reserved, type, entry count
constexpr size_t ICON_ENTRY_SIZE = 16;
constexpr uint16_t ICON_TYPE_ICON = 1;
constexpr uint16_t ICON_TYPE_CURSOR = 2;
// The entry's image data starts with a bitmap-information header, from which the icon's
// size is taken.
constexpr uint32_t ICON_IMAGE_HEADER_SIZE = 40;

struct icon_entry {
  uint8_t width;
  uint8_t height;
  uint8_t colour_count;
  uint8_t reserved;
  uint16_t planes;
  uint16_t bit_count;
  uint32_t size;    // bytes of the entry's image data
  uint32_t offset;  // where they start, from the start of the file
};

// The width, half the height (the stored height covers colour and mask) and the bit count
// of an entry's bitmap-information header.
struct icon_image_size {
  int32_t width;
  int32_t height;
  uint16_t bit_count;
};

// Reads the entry at index of a directory; the caller has checked that it lies inside.
icon_entry icon_entry_at(const uint8_t* data, size_t index);

// Chooses the entry of the icon file of length bytes at data: entry 0, or a later one of
// the same width and height bytes with a strictly greater bit count (the earliest of equal
// bit counts). 1 with *chosen and *index filled when the file is an icon file (reserved 0,
// type 1) with at least one entry, all its entries lie inside the length, and the chosen
// entry's image data lies inside the length and holds a bitmap-information header; 0
// otherwise (a cursor file included).
int32_t icon_directory_choose(const void* data, size_t length, icon_entry* chosen, int32_t* index);

// Reads the size of an entry's image from the first bytes of its image data. 1 when the
// data holds the 40-byte header, 0 otherwise.
int32_t icon_image_size_read(const void* image, size_t size, icon_image_size* out);
