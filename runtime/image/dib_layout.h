// Layout of device-independent bitmap pixels: row strides and the opacity rule of 32-bit
// pictures. Plain arithmetic on bytes, shared by the image and gadget libraries and built
// natively as well.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes per row, a multiple of 4. Bit counts other than 1, 4, 8, 15, 16 and 24 are taken
// as 4 bytes per pixel.
int32_t dib_row_stride(int32_t width, int32_t bits_per_pixel);

// A 32-bit picture whose alpha bytes are all 0 was written without alpha: make it fully
// opaque. One with any non-zero alpha byte keeps its alpha. Looks at height rows of width
// pixels (blue, green, red, alpha), rows stride bytes apart; nothing for a height or width
// that is not positive. Returns 1 when the pixels were made opaque.
int32_t dib_make_opaque_without_alpha(uint8_t* pixels, int32_t width, int32_t height, int32_t stride);

// Premultiplies count 32-bit pixels in place for alpha drawing: where alpha is below 255,
// each colour byte becomes (byte * alpha) >> 8; fully opaque pixels stay as they are.
void dib_premultiply(uint8_t* pixels, size_t count);
