// The die's pictures as their files hold them: 300 x 300, 4 bits a pixel, rows from the
// bottom, 16 palette entries of blue, green, red and a zero byte before the pixels.
#pragma once

#include <cstdint>

namespace dice_pictures {

constexpr int kSide = 300, kStride = 152, kPalette = 54, kPixels = 118;

// The palette index at (x, y) from the top left.
inline int index_at(const uint8_t* file, int x, int y) {
  uint8_t pair = file[kPixels + (kSide - 1 - y) * kStride + x / 2];
  return x % 2 ? pair & 15 : pair >> 4;
}

// The colour at (x, y) as 0x00RRGGBB.
inline uint32_t colour_at(const uint8_t* file, int x, int y) {
  const uint8_t* c = file + kPalette + 4 * index_at(file, x, y);
  return static_cast<uint32_t>(c[2]) << 16 | c[1] << 8 | c[0];
}

}  // namespace dice_pictures
