// The embedded pictures and sounds: their exact file layouts, what the pictures show, that
// the program's data holds exactly the committed files in order, and that the generator in
// the repository makes the same bytes again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/assets.h"
#include "tests/app/dice_pictures.h"

namespace {

using bytes = std::vector<uint8_t>;

bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(in), {});
}

uint32_t u32(const bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t u16(const bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
std::string tag(const bytes& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

// A little-endian number of a file's header.
struct field {
  size_t offset, width;
  uint32_t value;
};
uint32_t value_at(const bytes& b, const field& f) {
  return f.width == 4 ? u32(b, f.offset) : f.width == 2 ? u16(b, f.offset) : b[f.offset];
}

// The embedded files in their order (the pictures first), then the icon.
const char* const FILES[10] = {"start.bmp",  "face_1.bmp", "face_2.bmp", "face_3.bmp", "face_4.bmp",
                               "face_5.bmp", "face_6.bmp", "click.wav",  "roll.wav",   "tessarix.ico"};
const std::vector<const char*> PICTURE_FILES(FILES, FILES + 7);
const std::string DIR = TESSARIX_ASSET_DIR;

int index_at(const bytes& bmp, int x, int y) { return dice_pictures::index_at(bmp.data(), x, y); }

constexpr int BLACK = 0, RED = 9, YELLOW = 11, WHITE = 15;

}  // namespace

TEST(picture_files, header_and_palette_of_every_picture) {
  // Each entry's blue, green, red and zero bytes, read as one number: 0x00RRGGBB.
  const uint32_t palette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
                                0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  const field fields[] = {{2, 4, 45718}, {6, 4, 0},  {10, 4, 118}, {14, 4, 40}, {18, 4, 300},
                          {22, 4, 300},  {26, 2, 1}, {28, 2, 4},   {30, 4, 0},  {34, 4, 45600},
                          {38, 4, 0},    {42, 4, 0}, {46, 4, 16},  {50, 4, 0}};
  for (const char* name : PICTURE_FILES) {
    bytes b = read_file(DIR + "/" + name);
    ASSERT_EQ(45718u, b.size()) << name;
    EXPECT_EQ("BM", std::string(b.begin(), b.begin() + 2)) << name;
    for (const field& f : fields) EXPECT_EQ(f.value, value_at(b, f)) << name << " at byte " << f.offset;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(palette[i], u32(b, 54 + 4 * i)) << name << " colour " << i;
    for (int row = 0; row < 300; ++row)
      EXPECT_EQ(0, u16(b, 118 + row * 152 + 150)) << name << " row fill, stored row " << row;
  }
}

TEST(picture_files, colours_used_and_rounded_corners) {
  for (const char* name : PICTURE_FILES) {
    bytes b = read_file(DIR + "/" + name);
    ASSERT_EQ(45718u, b.size()) << name;
    // White lies only in the corners, and each corner pixel is white.
    int counts[16] = {};
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 300; ++x) {
        const int i = index_at(b, x, y);
        ++counts[i];
        if (i == WHITE && !((x < 40 || x > 259) && (y < 40 || y > 259)))
          ADD_FAILURE() << name << ": white at " << x << "," << y << ", outside the corners";
      }
    for (int i = 0; i < 16; ++i)  // none but the four colours
      EXPECT_EQ(0, i == BLACK || i == RED || i == YELLOW || i == WHITE ? 0 : counts[i]) << name << " colour " << i;
    EXPECT_EQ(933, counts[WHITE]) << name;
    EXPECT_GT(counts[YELLOW], 0) << name;
    for (int corner : {0, 1, 2, 3})
      EXPECT_EQ(WHITE, index_at(b, corner % 2 * 299, corner / 2 * 299)) << name << " corner " << corner;
    EXPECT_EQ(RED, index_at(b, 150, 0)) << name << " middle of the top edge";
    EXPECT_EQ(RED, index_at(b, 0, 150)) << name << " middle of the left edge";
  }
}

TEST(picture_files, pips_of_each_face) {
  const int column[3] = {73, 150, 226}, row[3] = {73, 149, 224};
  // Which of the nine places (row by row, top left first) carry a pip on each face.
  const char* const layout[7] = {"", ".........", "..#...#..", "..#.#.#..", "#.#...#.#", "#.#.#.#.#", "#.##.##.#"};
  for (int face = 1; face <= 6; ++face) {
    bytes b = read_file(DIR + "/" + PICTURE_FILES[face]);
    ASSERT_EQ(45718u, b.size());
    int pips = 0;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) {
        bool expected = (face == 1 && r == 1 && c == 1) || layout[face][3 * r + c] == '#';
        int cx = column[c], cy = row[r];
        EXPECT_EQ(expected ? YELLOW : RED, index_at(b, cx, cy)) << "face " << face << " place " << c << "," << r;
        if (!expected) continue;
        ++pips;
        // About 38 pixels across, measured through the centre both ways.
        int left = cx, right = cx, up = cy, down = cy;
        while (index_at(b, left - 1, cy) != RED) --left;
        while (index_at(b, right + 1, cy) != RED) ++right;
        while (index_at(b, cx, up - 1) != RED) --up;
        while (index_at(b, cx, down + 1) != RED) ++down;
        EXPECT_NEAR(38, right - left + 1, 2) << "face " << face << " pip width at " << cx << "," << cy;
        EXPECT_NEAR(38, down - up + 1, 2) << "face " << face << " pip height at " << cx << "," << cy;
        EXPECT_EQ(cx - left, right - cx) << "face " << face << " pip centred at column " << cx;
      }
    EXPECT_EQ(face, pips) << "face " << face;
    int black = 0;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 300; ++x) black += index_at(b, x, y) == BLACK;
    EXPECT_GT(black, 0) << "face " << face << ": pips have a few black rim pixels";
    EXPECT_LT(black, 20 * face) << "face " << face;
  }
}

TEST(picture_files, start_picture_lettering_is_centred_on_three_lines) {
  bytes b = read_file(DIR + "/start.bmp");
  ASSERT_EQ(45718u, b.size());
  int left = 300, right = -1, top = 300, bottom = -1, black = 0;
  std::vector<int> inked_rows(300);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 300; ++x) {
      int i = index_at(b, x, y);
      black += i == BLACK;
      if (i != YELLOW) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
      inked_rows[y] = 1;
    }
  EXPECT_EQ(0, black) << "the start picture has no pips";
  EXPECT_NEAR(299 - right, left, 6) << "left and right margins of the lettering";
  EXPECT_NEAR(299 - bottom, top, 6) << "top and bottom margins of the lettering";
  // Three bands of ink (the quotes of the third line join its band) with empty rows between.
  int bands = 0;
  for (int y = 0; y < 300; ++y) bands += inked_rows[y] && (y == 0 || !inked_rows[y - 1]);
  EXPECT_EQ(3, bands);
}

TEST(sound_files, click_and_roll_layouts) {
  struct expected_wav {
    const char* name;
    uint32_t size, riff, channels, rate, per_second, align, data;
  };
  const expected_wav wavs[] = {{"click.wav", 1404, 1396, 1, 22050, 44100, 2, 1360},
                               {"roll.wav", 34646, 34638, 2, 16000, 64000, 4, 34540}};
  for (const expected_wav& w : wavs) {
    bytes b = read_file(DIR + "/" + w.name);
    ASSERT_EQ(w.size, b.size()) << w.name;
    EXPECT_EQ("RIFF WAVE fmt  data", tag(b, 0) + " " + tag(b, 8) + " " + tag(b, 12) + " " + tag(b, 36)) << w.name;
    const field fields[] = {{4, 4, w.riff},        {16, 4, 16},      {20, 2, 1},  {22, 2, w.channels}, {24, 4, w.rate},
                            {28, 4, w.per_second}, {32, 2, w.align}, {34, 2, 16}, {40, 4, w.data}};
    for (const field& f : fields) EXPECT_EQ(f.value, value_at(b, f)) << w.name << " at byte " << f.offset;
    // Audible, and not clipped flat: some samples loud, none at the rails for long.
    int peak = 0, railed = 0;
    for (uint32_t i = 0; i < w.data; i += 2) {
      int v = static_cast<int16_t>(u16(b, 44 + i));
      peak = std::max(peak, std::abs(v));
      railed += v == 32767 || v == -32768;
    }
    EXPECT_GT(peak, 4000) << w.name;
    EXPECT_LT(railed, 10) << w.name;
  }
  // The roll's trailing "LIST" chunk: 54 bytes of body, type "INFO", sub-chunks that fill it.
  bytes roll = read_file(DIR + "/roll.wav");
  ASSERT_EQ(34646u, roll.size());
  size_t list = 44 + 34540;
  EXPECT_EQ("LIST", tag(roll, list));
  EXPECT_EQ(54u, u32(roll, list + 4));
  EXPECT_EQ("INFO", tag(roll, list + 8));
  size_t at = list + 12, end = list + 8 + 54;
  int tags = 0;
  while (at + 8 <= end) {
    uint32_t n = u32(roll, at + 4);
    ASSERT_LE(at + 8 + n, end) << "sub-chunk " << tag(roll, at) << " overruns the list";
    EXPECT_EQ(0, roll[at + 8 + n - 1]) << "text of " << tag(roll, at) << " ends in a zero byte";
    at += 8 + n + (n & 1);
    ++tags;
  }
  EXPECT_EQ(end, at);
  EXPECT_GE(tags, 1);
}

TEST(icon_file, one_image_47_by_37_at_24_bits) {
  bytes b = read_file(DIR + "/tessarix.ico");
  ASSERT_GE(b.size(), 22u + 40u);
  uint32_t size = u32(b, 14), offset = u32(b, 18);
  ASSERT_EQ(b.size(), offset + size);
  // The directory: reserved, icon (not cursor), one entry of 47 x 37 at 24 bits; the image's
  // header, with its colour and mask rows (74).
  const field fields[] = {{0, 2, 0},   {2, 2, 1},       {4, 2, 1},           {6, 1, 47},          {7, 1, 37},
                          {12, 2, 24}, {offset, 4, 40}, {offset + 4, 4, 47}, {offset + 8, 4, 74}, {offset + 14, 2, 24}};
  for (const field& f : fields) EXPECT_EQ(f.value, value_at(b, f)) << "at byte " << f.offset;
  EXPECT_EQ(40u + 144u * 37u + 8u * 37u, size) << "rows of 144 colour bytes and 8 mask bytes";
}

TEST(embedded_assets, files_lie_back_to_back_in_order) {
  const uint8_t* starts[9] = {dice_start_picture, dice_face_1, dice_face_2,      dice_face_3,    dice_face_4,
                              dice_face_5,        dice_face_6, dice_click_sound, dice_roll_sound};
  const uint8_t* expected = dice_start_picture;
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(expected, starts[i]) << FILES[i] << " follows the previous file directly";
    bytes file = read_file(DIR + "/" + FILES[i]);
    ASSERT_FALSE(file.empty()) << FILES[i];
    EXPECT_TRUE(std::equal(file.begin(), file.end(), starts[i])) << FILES[i] << " embedded unchanged";
    expected = starts[i] + file.size();
  }
  EXPECT_EQ(expected, dice_assets_end);
  EXPECT_EQ(DICE_ASSET_BYTES, static_cast<size_t>(dice_assets_end - dice_start_picture));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(starts[i], dice_picture(i)) << "picture " << i;
  EXPECT_EQ(nullptr, dice_picture(-1));
  EXPECT_EQ(nullptr, dice_picture(7));
}

TEST(asset_generator, makes_the_committed_files_again) {
  char dir[] = "/tmp/tessarix-assets-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  std::string command = std::string("'") + TESSARIX_ASSET_GENERATOR + "' " + dir;
  ASSERT_EQ(0, std::system(command.c_str())) << command;
  for (const char* name : FILES) {
    bytes made = read_file(std::string(dir) + "/" + name);
    bytes committed = read_file(DIR + "/" + name);
    EXPECT_FALSE(made.empty()) << name;
    EXPECT_TRUE(made == committed) << name << " differs from the committed file (" << made.size() << " bytes made, "
                                   << committed.size() << " committed)";
    std::remove((std::string(dir) + "/" + name).c_str());
  }
  std::remove(dir);
}
