#include "runtime/image/dib_layout.h"

int32_t dib_row_stride(int32_t width, int32_t bits_per_pixel) {
  // Worked in 64 bits so that an absurd width wraps like the 32-bit result instead of
  // overflowing; the platform refuses such bitmaps anyway.
  const int64_t w = width;
  int64_t stride;
  switch (bits_per_pixel) {
    case 1: stride = ((w + 31) / 32) * 4; break;
    case 4: stride = ((w + 7) / 8) * 4; break;
    case 8: stride = ((w + 3) / 4) * 4; break;
    case 15:
    case 16: stride = ((w + 1) / 2) * 4; break;
    case 24: stride = ((w * 3 + 3) / 4) * 4; break;
    default: stride = w * 4; break;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(stride)));
}

int32_t dib_make_opaque_without_alpha(uint8_t* pixels, int32_t width, int32_t height, int32_t stride) {
  if (!pixels || width <= 0 || height <= 0) return 0;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* pixel = pixels + static_cast<size_t>(row) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < width; ++x)
      if (pixel[x * 4 + 3] != 0) return 0;
  }
  for (int32_t row = 0; row < height; ++row) {
    uint8_t* pixel = pixels + static_cast<size_t>(row) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < width; ++x) pixel[x * 4 + 3] = 255;
  }
  return 1;
}

void dib_premultiply(uint8_t* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* pixel = pixels + i * 4;
    const uint32_t alpha = pixel[3];
    if (alpha == 255) continue;
    pixel[0] = static_cast<uint8_t>((pixel[0] * alpha) >> 8);
    pixel[1] = static_cast<uint8_t>((pixel[1] * alpha) >> 8);
    pixel[2] = static_cast<uint8_t>((pixel[2] * alpha) >> 8);
  }
}
