#include <gtest/gtest.h>

#include "runtime/image/dib_layout.h"

namespace {

TEST(DibLayout, RowStrideIsAMultipleOfFourBytes) {
  const struct {
    int32_t width, bits, stride;
  } cases[] = {
      {1, 1, 4},  {32, 1, 4},  {33, 1, 8},  {300, 4, 152}, {1, 4, 4},      {9, 4, 8},
      {1, 8, 4},  {5, 8, 8},   {3, 15, 8},  {3, 16, 8},    {300, 24, 900}, {1, 24, 4},
      {2, 24, 8}, {5, 24, 16}, {7, 32, 28}, {7, 2, 28},    {0, 24, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.stride, dib_row_stride(c.width, c.bits)) << c.width << " pixels at " << c.bits << " bits";
}

std::vector<uint8_t> pixels(int32_t stride, int32_t height, uint8_t alpha) {
  std::vector<uint8_t> p(static_cast<size_t>(stride) * height, 0x40);
  for (size_t i = 3; i < p.size(); i += 4) p[i] = alpha;
  return p;
}

TEST(DibLayout, PicturesWithoutAlphaBecomeOpaque) {
  // Two pixels wide, rows 12 bytes apart: the padding pixel is not part of the picture.
  std::vector<uint8_t> p = pixels(12, 3, 0);
  p[8 + 3] = 0x99;  // padding of row 0
  ASSERT_EQ(1, dib_make_opaque_without_alpha(p.data(), 2, 3, 12));
  for (int row = 0; row < 3; ++row)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(255, p[row * 12 + x * 4 + 3]) << "row " << row << " x " << x;
  EXPECT_EQ(0x40, p[0]) << "colours stay";
  EXPECT_EQ(0x99, p[8 + 3]) << "padding untouched";

  // Any non-zero alpha, even in the last pixel, keeps every alpha byte.
  p = pixels(8, 2, 0);
  p[8 + 4 + 3] = 1;
  EXPECT_EQ(0, dib_make_opaque_without_alpha(p.data(), 2, 2, 8));
  EXPECT_EQ(0, p[3]);
  EXPECT_EQ(1, p[15]);

  p = pixels(8, 2, 0);
  EXPECT_EQ(0, dib_make_opaque_without_alpha(p.data(), 2, -2, 8)) << "no rows for a negative height";
  EXPECT_EQ(0, p[3]);
  EXPECT_EQ(0, dib_make_opaque_without_alpha(nullptr, 2, 2, 8));
}

TEST(DibLayout, PremultipliesBelowFullAlphaOnly) {
  std::vector<uint8_t> p = {200, 100, 50, 128, 200, 100, 50, 255, 200, 100, 50, 0, 255, 255, 255, 254};
  dib_premultiply(p.data(), 4);
  const std::vector<uint8_t> expected = {100, 50, 25, 128, 200, 100, 50, 255, 0, 0, 0, 0, 253, 253, 253, 254};
  EXPECT_EQ(expected, p);
}

}  // namespace
