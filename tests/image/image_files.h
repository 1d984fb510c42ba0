// Image files made in memory for the tests: BMP files of any bit count and icon files with
// any set of entries, so that every test states exactly the picture it decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace test_files {

inline void put16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// One cut or damaged field of an otherwise sound file, for the readers' refusal tables.
struct damage {
  const char* what;
  size_t at;
  uint32_t value;
  int width;          // bytes of the field set to value: 2, 4, or 0 for none
  size_t length = 0;  // the length cut to; 0 for the whole file
};

// A copy of exactly the damaged length, so that a read beyond it shows under the sanitizers.
inline std::vector<uint8_t> damaged(std::vector<uint8_t> file, const damage& d) {
  if (d.width == 2) put16(file, d.at, d.value);
  if (d.width == 4) put32(file, d.at, d.value);
  return std::vector<uint8_t>(file.begin(),
                              file.begin() + static_cast<std::ptrdiff_t>(d.length ? d.length : file.size()));
}

inline uint32_t row_bytes(int32_t width, int32_t bits) { return ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4; }

// A pixel's raw value at (x, file row): a palette index for up to 8 bits, a 5-5-5 value for
// 16 bits, 0xRRGGBB for 24 bits and 0xAARRGGBB for 32 bits.
using pixel_function = std::function<uint32_t(int32_t x, int32_t file_row)>;

// Writes the bitmap-information header, the colour table and the pixel rows.
inline void put_dib(std::vector<uint8_t>& out, size_t at, int32_t width, int32_t rows, int32_t header_height,
                    int32_t bits, const std::vector<uint32_t>& palette, const pixel_function& pixel) {
  put32(out, at, 40);
  put32(out, at + 4, static_cast<uint32_t>(width));
  put32(out, at + 8, static_cast<uint32_t>(header_height));
  put16(out, at + 12, 1);
  put16(out, at + 14, static_cast<uint32_t>(bits));
  put32(out, at + 32, static_cast<uint32_t>(palette.size()));
  size_t p = at + 40;
  for (uint32_t colour : palette) {
    put32(out, p, colour & 0xFFFFFF);
    p += 4;
  }
  const uint32_t stride = row_bytes(width, bits);
  for (int32_t y = 0; y < rows; ++y) {
    uint8_t* row = out.data() + p + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = pixel(x, y);
      switch (bits) {
        case 1: row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
        case 4: row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
        default:  // 8 bits and more: whole bytes, little-endian
          for (int i = 0; i < bits / 8; ++i) row[x * (bits / 8) + i] = static_cast<uint8_t>(v >> (8 * i));
      }
    }
  }
}

inline size_t dib_bytes(int32_t width, int32_t rows, int32_t bits, size_t palette_entries) {
  return 40 + palette_entries * 4 + static_cast<size_t>(row_bytes(width, bits)) * rows;
}

// A complete uncompressed BMP file. The pixel data starts right after the colour table.
inline std::vector<uint8_t> bmp(int32_t width, int32_t height, int32_t bits, const std::vector<uint32_t>& palette,
                                const pixel_function& pixel) {
  const int32_t rows = height < 0 ? -height : height;
  std::vector<uint8_t> out(14 + dib_bytes(width, rows, bits, palette.size()));
  out[0] = 'B';
  out[1] = 'M';
  put32(out, 2, static_cast<uint32_t>(out.size()));
  put32(out, 10, static_cast<uint32_t>(14 + 40 + palette.size() * 4));
  put_dib(out, 14, width, rows, height, bits, palette, pixel);
  return out;
}

// The sixteen colours of the pictures that the dice roller embeds: distinct values in
// every byte, so that a swapped channel or a wrong index shows.
inline std::vector<uint32_t> sixteen_colours() {
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < 16; ++i) palette.push_back(((i * 16 + 3) << 16) | ((255 - i * 13) << 8) | (i * 7 + 40));
  return palette;
}

struct icon_entry_spec {
  int32_t width;
  int32_t height;
  int32_t bits;
  uint32_t colour;  // 0xRRGGBB of every pixel of the entry
};

// An icon file whose entries are filled with one colour each, fully opaque, in the given
// order. type 1 is an icon file, type 2 a cursor file.
inline std::vector<uint8_t> icon(const std::vector<icon_entry_spec>& entries, uint16_t type = 1) {
  std::vector<std::vector<uint8_t>> images;
  for (const icon_entry_spec& e : entries) {
    std::vector<uint32_t> palette;
    pixel_function colour_pixel;
    if (e.bits <= 8) {
      palette.assign(size_t{1} << e.bits, 0);
      palette[1] = e.colour;
      colour_pixel = [](int32_t, int32_t) { return 1u; };
    } else if (e.bits == 32) {
      colour_pixel = [c = e.colour](int32_t, int32_t) { return 0xFF000000u | c; };
    } else {
      colour_pixel = [c = e.colour](int32_t, int32_t) { return c; };
    }
    const size_t colour_part = dib_bytes(e.width, e.height, e.bits, palette.size());
    const size_t mask_part = static_cast<size_t>(row_bytes(e.width, 1)) * e.height;
    std::vector<uint8_t> image(colour_part + mask_part);  // a zero mask: every pixel shows
    put_dib(image, 0, e.width, e.height, e.height * 2, e.bits, palette, colour_pixel);
    images.push_back(std::move(image));
  }
  size_t offset = 6 + 16 * entries.size();
  std::vector<uint8_t> out(offset);
  put16(out, 2, type);
  put16(out, 4, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = 6 + 16 * i;
    out[at] = static_cast<uint8_t>(entries[i].width);
    out[at + 1] = static_cast<uint8_t>(entries[i].height);
    put16(out, at + 4, 1);
    put16(out, at + 6, static_cast<uint32_t>(entries[i].bits));
    put32(out, at + 8, static_cast<uint32_t>(images[i].size()));
    put32(out, at + 12, static_cast<uint32_t>(offset));
    out.insert(out.end(), images[i].begin(), images[i].end());
    offset += images[i].size();
  }
  return out;
}

}  // namespace test_files
