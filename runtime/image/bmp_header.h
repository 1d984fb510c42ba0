// The header of a BMP file that lies in memory. The platform's conversion reads the
// file's bitmap-information block (its header and colour table) and its pixel rows
// straight from the data, so every part it will read is checked against the length here
// first, in plain functions on bytes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t BMP_FILE_HEADER_SIZE = 14;  // "BM", file size, reserved, pixel offset
constexpr uint32_t BMP_INFO_HEADER_SIZE = 40;
constexpr uint32_t BMP_RGB = 0;
constexpr uint32_t BMP_BITFIELDS = 3;
constexpr uint32_t BMP_ALPHABITFIELDS = 6;

struct bmp_header {
  uint32_t pixel_offset;  // file byte 10: where the pixel rows start
  uint32_t info_size;     // file byte 14: size of the bitmap-information header
  int32_t width;          // file byte 18
  int32_t height;         // file byte 22; positive for rows stored bottom-up
  uint16_t bit_count;     // file byte 28
  uint32_t compression;   // file byte 30
  uint32_t image_size;    // file byte 34
  uint32_t colours_used;  // file byte 46
  // What the conversion reads: the information block from byte 14, the pixels from
  // pixel_offset.
  uint64_t info_block_bytes;
  uint64_t pixel_bytes;
};

// True (1) when the data begins with "BM".
int32_t bmp_is_bitmap(const void* data, size_t length);

// Reads the header of the BMP file of length bytes at data. 1 with *header filled when
// the data begins with "BM", holds a bitmap-information header of at least 40 bytes, a
// positive width, a non-zero height, and when the information block (header, colour
// table, colour masks) and the pixel data both lie inside the length. 0 otherwise, and
// nothing outside the length is read.
int32_t bmp_header_read(const void* data, size_t length, bmp_header* header);

// Bytes of one source row of width pixels at bit_count bits, padded to 4 bytes.
uint64_t bmp_row_bytes(int32_t width, uint16_t bit_count);

// Bits per pixel of the bitmap that holds a picture of bit_count bits: at least 24.
int32_t bmp_target_depth(uint16_t bit_count);
