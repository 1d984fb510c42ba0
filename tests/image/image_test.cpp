// Images decoded into the platform's bitmaps and icons, checked pixel by pixel.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/core/runtime.h"
#include "runtime/image/image.h"
#include "tests/test_runtime.h"
#include "tests/image/image_files.h"

namespace {

using Image = test_runtime::RuntimeTest;

// The DIB section behind a handle; dsBm.bmBits is null when the handle is none.
DIBSECTION section_of(HANDLE handle) {
  DIBSECTION section{};
  if (GetObjectA(handle, sizeof(section), &section) != sizeof(section)) section = DIBSECTION{};
  return section;
}

// A 24- or 32-bit DIB section's pixel at memory row r (bottom-up: r 0 is the bottom row)
// as 0xRRGGBB, or 0xAARRGGBB at 32 bits.
uint32_t memory_pixel(const DIBSECTION& s, int32_t x, int32_t r) {
  const auto* p = static_cast<const uint8_t*>(s.dsBm.bmBits) + static_cast<size_t>(r) * s.dsBm.bmWidthBytes +
                  x * (s.dsBm.bmBitsPixel / 8);
  return (s.dsBm.bmBitsPixel == 32 ? static_cast<uint32_t>(p[3]) << 24 : 0) | (p[2] << 16) | (p[1] << 8) | p[0];
}

// The number of live and dynamic records that an enumeration of the image table returns.
int32_t table_entries() {
  object_registry* table = image_library().table;
  registry_first(table);
  int32_t count = 0;
  intptr_t number;
  while (registry_next(table, &number)) ++count;
  return count;
}

// Pictures of up to 16 bits become bottom-up 24-bit DIB sections of their colours; a
// fixed number gives the native handle.
TEST_F(Image, PicturesOfUpTo16BitsBecome24BitBitmapsOfTheirColours) {
  const std::vector<uint32_t> sixteen = test_files::sixteen_colours();
  std::vector<uint32_t> two_used(256, 0x102030);
  two_used[200] = 0xA1B2C3;
  const struct {
    int32_t bits, size;
    std::vector<uint32_t> palette;
    test_files::pixel_function raw;
    std::function<uint32_t(uint32_t)> colour;  // 0xRRGGBB of a raw value
  } cases[] = {
      {4, 300, sixteen, [](int32_t x, int32_t row) { return static_cast<uint32_t>((x / 7 + row * 3) % 16); },
       [&](uint32_t v) { return sixteen[v]; }},
      {8, 5, two_used, [](int32_t x, int32_t) { return x % 2 ? 200u : 0u; }, [&](uint32_t v) { return two_used[v]; }},
      // 5-5-5 red and blue; the platform widens 5-bit channels, so the top bits tell the colour.
      {16,
       5,
       {},
       [](int32_t x, int32_t) { return x % 2 ? 0x7C00u : 0x001Fu; },
       [](uint32_t v) { return v == 0x7C00 ? 0xFF0000u : 0x0000FFu; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits");
    const std::vector<uint8_t> file = test_files::bmp(c.size, c.size, c.bits, c.palette, c.raw);
    const intptr_t result = image_from_memory(0, file.data());
    ASSERT_NE(0, result);
    HANDLE handle = image_handle(0);
    EXPECT_EQ(reinterpret_cast<intptr_t>(handle), result);
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(handle));
    const DIBSECTION s = section_of(handle);
    ASSERT_NE(nullptr, s.dsBm.bmBits) << "a DIB section with addressable pixels";
    EXPECT_EQ(c.size, s.dsBm.bmWidth);
    EXPECT_EQ(24, s.dsBm.bmBitsPixel);
    EXPECT_EQ(c.size, s.dsBmih.biHeight) << "bottom-up";
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), s.dsBmih.biCompression);
    const uint32_t mask = c.bits == 16 ? 0xF8F8F8 : 0xFFFFFF;
    int32_t wrong = 0;
    for (int32_t row = 0; row < c.size; ++row)
      for (int32_t x = 0; x < c.size; ++x)
        if ((memory_pixel(s, x, row) & mask) != (c.colour(c.raw(x, row)) & mask) && wrong++ < 5)
          ADD_FAILURE() << "pixel " << x << "," << row << ": expected " << std::hex << c.colour(c.raw(x, row))
                        << " got " << memory_pixel(s, x, row);
    EXPECT_EQ(0, wrong);
    const image_record* record = image_lookup(0);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(c.size, record->width);
    EXPECT_EQ(c.size, record->height);
    EXPECT_EQ(24, record->depth);
    EXPECT_EQ(c.bits, record->source_depth);
  }
}

TEST_F(Image, ThirtyTwoBitAlphaIsKeptOrMadeOpaque) {
  // All alpha 0: written without alpha, so it comes out opaque with its colours.
  auto colour = [](int32_t x, int32_t row) {
    return static_cast<uint32_t>(0x00102030 + x * 0x010000 + row * 0x000100);
  };
  std::vector<uint8_t> file = test_files::bmp(6, 4, 32, {}, colour);
  ASSERT_NE(0, image_from_memory(0, file.data()));
  DIBSECTION s = section_of(image_handle(0));
  ASSERT_EQ(32, s.dsBm.bmBitsPixel);
  for (int32_t row = 0; row < 4; ++row)
    for (int32_t x = 0; x < 6; ++x)
      EXPECT_EQ(0xFF000000u | colour(x, row), memory_pixel(s, x, row)) << "opaque colour at " << x << "," << row;
  EXPECT_EQ(32, image_lookup(0)->depth);

  // One non-zero alpha byte, in the last pixel: every pixel keeps its four bytes.
  auto translucent = [&](int32_t x, int32_t row) { return colour(x, row) | (x == 5 && row == 3 ? 0x80000000u : 0u); };
  file = test_files::bmp(6, 4, 32, {}, translucent);
  ASSERT_NE(0, image_from_memory(0, file.data()));
  s = section_of(image_handle(0));
  const size_t pixels_at = 14 + 40;
  ASSERT_EQ(0, std::memcmp(file.data() + pixels_at, s.dsBm.bmBits, 6 * 4 * 4)) << "pixels copied exactly";
}

TEST_F(Image, IconTakesTheDeepestEntryOfTheFirstEntrysSize) {
  const std::vector<uint8_t> file = test_files::icon(
      {{32, 32, 4, 0x0000FF}, {32, 32, 8, 0x00FF00}, {32, 32, 32, 0xFF0000}, {48, 48, 32, 0xFFFF00}});
  const intptr_t result = image_from_memory(3, file.data());
  ASSERT_NE(0, result);
  HANDLE handle = image_handle(3);
  EXPECT_EQ(reinterpret_cast<intptr_t>(handle), result);
  EXPECT_NE(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(handle)) << "an icon, not a bitmap";
  const image_record* record = image_lookup(3);
  EXPECT_EQ(32, record->width);
  EXPECT_EQ(32, record->height);

  // Drawn, it shows the colour of the 32 x 32 entry at 32 bits.
  HBITMAP target = dib_create(48, 48, 24);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  ASSERT_TRUE(DrawIconEx(dc, 0, 0, static_cast<HICON>(handle), 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(RGB(0xFF, 0, 0), GetPixel(dc, 10, 10));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);

  // Freeing it destroys the icon.
  image_free(3);
  EXPECT_EQ(nullptr, image_handle(3));
  ICONINFO info{};
  EXPECT_FALSE(GetIconInfo(static_cast<HICON>(handle), &info)) << "the icon is gone";
}

TEST_F(Image, UndecodableDataFailsAndLeavesNoNumberBehind) {
  const std::vector<uint8_t> cursor = test_files::icon({{32, 32, 32, 0xFF0000}}, 2);
  std::vector<uint8_t> unknown(64, 0x5A);
  const std::vector<uint8_t> bmp = test_files::bmp(4, 4, 24, {}, [](int32_t, int32_t) { return 0u; });
  std::vector<uint8_t> odd_depth = bmp;
  test_files::put16(odd_depth, 28, 27);  // a depth no bitmap can have
  const struct {
    const char* what;
    const void* data;
    size_t length;
  } cases[] = {
      {"cursor file", cursor.data(), cursor.size()},
      {"unknown data", unknown.data(), unknown.size()},
      {"null data", nullptr, 0},
      {"a BMP one byte short of its last row", bmp.data(), bmp.size() - 1},
      {"a BMP of 27 bits per pixel", odd_depth.data(), odd_depth.size()},
  };
  ASSERT_EQ(0, table_entries());
  for (const auto& c : cases) {
    EXPECT_EQ(0, image_from_memory_sized(OBJECT_ANY, c.data, c.length, 0)) << c.what;
    EXPECT_EQ(0, table_entries()) << c.what << ": no dynamic record left";
    EXPECT_EQ(0, image_from_memory_sized(5, c.data, c.length, 0)) << c.what;
    EXPECT_EQ(nullptr, image_handle(5)) << c.what;
  }
  // Without a length the nominal one stands in; a cursor is still no icon.
  EXPECT_EQ(0, image_from_memory(OBJECT_ANY, cursor.data()));
  EXPECT_EQ(0, table_entries());
}

TEST_F(Image, ReusingANumberFreesTheFirstBitmap) {
  const std::vector<uint8_t> red = test_files::bmp(2, 2, 24, {}, [](int32_t, int32_t) { return 0xFF0000u; });
  const std::vector<uint8_t> blue = test_files::bmp(3, 3, 24, {}, [](int32_t, int32_t) { return 0x0000FFu; });
  ASSERT_NE(0, image_from_memory(2, red.data()));
  HANDLE first = image_handle(2);
  ASSERT_NE(0, image_from_memory(2, blue.data()));
  HANDLE second = image_handle(2);
  ASSERT_NE(first, second);
  EXPECT_EQ(0u, GetObjectType(first)) << "the first bitmap is deleted";
  EXPECT_EQ(3, section_of(second).dsBm.bmWidth);

  // A failed decode on the number leaves it empty, the second bitmap deleted as well.
  const std::vector<uint8_t> unknown(32, 1);
  EXPECT_EQ(0, image_from_memory(2, unknown.data()));
  EXPECT_EQ(nullptr, image_handle(2));
  EXPECT_EQ(0u, GetObjectType(second));

  // Numbers that never held an image, and freed ones, answer 0 and free nothing.
  EXPECT_EQ(nullptr, image_handle(7));
  EXPECT_EQ(nullptr, image_handle(1000));
  image_free(7);
  image_free(2);
  image_free(OBJECT_ANY);
  EXPECT_EQ(nullptr, image_handle(2));
}

TEST_F(Image, DynamicImagesAndTheEndOfTheLibrary) {
  const std::vector<uint8_t> file = test_files::bmp(2, 2, 24, {}, [](int32_t, int32_t) { return 0x00FF00u; });
  const intptr_t dynamic = image_from_memory(OBJECT_ANY, file.data());
  ASSERT_NE(0, dynamic);
  HANDLE dynamic_handle = image_handle(dynamic);
  ASSERT_NE(nullptr, dynamic_handle);
  EXPECT_NE(reinterpret_cast<intptr_t>(dynamic_handle), dynamic) << "OBJECT_ANY gives the number, not the handle";
  ASSERT_NE(0, image_from_memory(4, file.data()));
  HANDLE fixed_handle = image_handle(4);
  EXPECT_EQ(2, table_entries());

  image_end();
  EXPECT_EQ(0u, GetObjectType(dynamic_handle)) << "every image is freed at the end";
  EXPECT_EQ(0u, GetObjectType(fixed_handle));
  EXPECT_EQ(nullptr, image_handle(4));
  EXPECT_EQ(0, image_from_memory(4, file.data())) << "no table after the end";
}

// A decoder of a made-up format: "TXD" then width and height bytes; 32 bits per pixel.
struct decoder_log {
  int32_t checks, closes, stride, mode;
} decoder_calls;

int32_t txd_check(image_decoder_state* state) {
  ++decoder_calls.checks;
  const auto* bytes = static_cast<const uint8_t*>(state->data);
  if (!bytes || state->length < 5 || std::memcmp(bytes, "TXD", 3) != 0) return 0;
  state->width = bytes[3];
  state->height = bytes[4];
  state->bits_per_pixel = 32;
  state->source_depth = 12;
  return 1;
}

intptr_t txd_decode(image_decoder_state* state, void* pixels, int32_t stride, int32_t mode) {
  decoder_calls.stride = stride;
  decoder_calls.mode = mode;
  for (int32_t row = 0; row < state->height; ++row)
    for (int32_t x = 0; x < state->width; ++x)
      static_cast<uint32_t*>(pixels)[row * stride / 4 + x] = 0xFF000000u | (row << 8) | x;
  return 1;
}

void txd_close(image_decoder_state*) { ++decoder_calls.closes; }

TEST_F(Image, DecoderTableIsTriedAfterBmpAndIcon) {
  static const image_decoder txd = {txd_check, txd_decode, txd_close};
  decoder_calls = {};
  const uint8_t unknown[] = {'X', 'Y', 'Z', 3, 2};
  EXPECT_EQ(0, image_from_memory(0, unknown)) << "an empty table accepts nothing";

  ASSERT_EQ(1, image_decoder_register(&txd));
  const uint8_t data[] = {'T', 'X', 'D', 3, 2};
  ASSERT_NE(0, image_from_memory(0, data));
  EXPECT_EQ(1, decoder_calls.checks);
  EXPECT_EQ(1, decoder_calls.closes);
  EXPECT_EQ(12, decoder_calls.stride);
  EXPECT_EQ(2, decoder_calls.mode);
  const DIBSECTION s = section_of(image_handle(0));
  EXPECT_EQ(3, s.dsBm.bmWidth);
  EXPECT_EQ(32, s.dsBm.bmBitsPixel);
  EXPECT_EQ(0xFF000102u, memory_pixel(s, 2, 1));
  EXPECT_EQ(12, image_lookup(0)->source_depth);

  // Accepted but of a size no bitmap can have: the decoder is closed and the call fails.
  const uint8_t empty[] = {'T', 'X', 'D', 0, 0};
  EXPECT_EQ(0, image_from_memory(OBJECT_ANY, empty));
  EXPECT_EQ(2, decoder_calls.closes);
  EXPECT_EQ(1, table_entries()) << "only image 0";

  // BMP data never reaches the table.
  const std::vector<uint8_t> file = test_files::bmp(1, 1, 24, {}, [](int32_t, int32_t) { return 0u; });
  ASSERT_NE(0, image_from_memory(1, file.data()));
  EXPECT_EQ(2, decoder_calls.checks);
}

}  // namespace
