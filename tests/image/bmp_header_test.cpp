#include <gtest/gtest.h>

#include <climits>

#include "runtime/image/bmp_header.h"
#include "tests/image/image_files.h"

namespace {

using test_files::put16;
using test_files::put32;

std::vector<uint8_t> four_bit_picture() {
  return test_files::bmp(300, 300, 4, test_files::sixteen_colours(),
                         [](int32_t x, int32_t y) { return (x + y) % 16u; });
}

// The file's first 54 bytes, then room for an information block of block bytes and for
// pixel_bytes, with the pixel offset pointing behind the block.
std::vector<uint8_t> reshaped(const std::vector<uint8_t>& file, uint32_t block, size_t pixel_bytes) {
  std::vector<uint8_t> out(14 + block + pixel_bytes);
  std::copy(file.begin(), file.begin() + 54, out.begin());
  put32(out, 10, 14 + block);
  return out;
}

TEST(BmpHeader, ThePicturesOfTheDiceRollerFitExactly) {
  const std::vector<uint8_t> file = four_bit_picture();
  ASSERT_EQ(45718u, file.size()) << "300 x 300 at 4 bits with 16 colours";
  bmp_header h{};
  ASSERT_EQ(1, bmp_header_read(file.data(), file.size(), &h));
  EXPECT_EQ(118u, h.pixel_offset);
  EXPECT_EQ(300, h.width);
  EXPECT_EQ(300, h.height);
  EXPECT_EQ(4, h.bit_count);
  EXPECT_EQ(40u + 64u, h.info_block_bytes);
  EXPECT_EQ(152u * 300u, h.pixel_bytes) << "rows padded to 152 bytes";
  // The nominal length of data passed without one accepts the same header.
  EXPECT_EQ(1, bmp_header_read(file.data(), 10000000, &h));
  EXPECT_EQ(1, bmp_is_bitmap(file.data(), 2));
  EXPECT_EQ(0, bmp_is_bitmap(file.data(), 1));
}

TEST(BmpHeader, TargetDepthIsAtLeast24) {
  const struct {
    uint16_t bits;
    int32_t depth;
  } cases[] = {{1, 24}, {4, 24}, {8, 24}, {16, 24}, {24, 24}, {32, 32}, {28, 28}};
  for (const auto& c : cases) EXPECT_EQ(c.depth, bmp_target_depth(c.bits)) << "bit count " << c.bits;
}

// Each row cuts or damages one field of an otherwise sound 4-bit file.
TEST(BmpHeader, RefusesWhatIsNoWholeHeaderOrPointsOutsideTheLength) {
  const std::vector<uint8_t> sound = four_bit_picture();
  const test_files::damage cases[] = {
      {"shorter than the signature", 0, 0, 0, 1},
      {"shorter than the two headers", 0, 0, 0, 53},
      {"one byte short of the last row", 0, 0, 0, sound.size() - 1},
      {"no BM signature", 0, 'B' | 'A' << 8, 2},
      {"pixel offset past the end", 10, 45719, 4},
      {"pixel offset far past the end", 10, 0xFFFFFFFFu, 4},
      {"pixel offset leaves too few bytes for the rows", 10, 119, 4},
      {"information header larger than the file", 14, 0x7FFFFFFFu, 4},
      {"information header of the size that wraps a 32-bit sum", 14, 0xFFFFFFF8u, 4},
      {"core header, whose fields lie elsewhere", 14, 12, 4},
      {"more rows than the file holds", 22, 301, 4},
      {"more top-down rows than the file holds", 22, static_cast<uint32_t>(-301), 4},
      {"the most negative height", 22, static_cast<uint32_t>(INT_MIN), 4},
      {"a wider row than the file holds", 18, 305, 4},
      {"a width whose rows overflow 32 bits", 18, 0x7FFFFFFFu, 4},
      {"a bit count whose rows overflow 32 bits", 28, 0xFFFF, 2},
      {"no width", 18, 0, 4},
      {"a negative width", 18, static_cast<uint32_t>(-300), 4},
      {"no height", 22, 0, 4},
      {"run-length data without an image size", 30, 2, 4},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> file = test_files::damaged(sound, c);
    bmp_header h{};
    EXPECT_EQ(0, bmp_header_read(file.data(), file.size(), &h)) << c.what;
  }
  EXPECT_EQ(0, bmp_header_read(nullptr, 100, nullptr));
}

TEST(BmpHeader, AcceptsTopDownAndShortColourTables) {
  // A top-down file counts its rows by the height's magnitude.
  std::vector<uint8_t> file = four_bit_picture();
  put32(file, 22, static_cast<uint32_t>(-300));
  bmp_header h{};
  ASSERT_EQ(1, bmp_header_read(file.data(), file.size(), &h));
  EXPECT_EQ(-300, h.height);
  EXPECT_EQ(152u * 300u, h.pixel_bytes);

  // An 8-bit file with two colours used holds only those two entries: it fits in 66 bytes,
  // far short of a full 256-entry table.
  file = test_files::bmp(1, 1, 8, {0x112233, 0x445566}, [](int32_t, int32_t) { return 1u; });
  ASSERT_EQ(14u + 40u + 8u + 4u, file.size());
  ASSERT_EQ(1, bmp_header_read(file.data(), file.size(), &h));
  EXPECT_EQ(48u, h.info_block_bytes);

  // With no count the full table is read, and must be there.
  put32(file, 46, 0);
  EXPECT_EQ(0, bmp_header_read(file.data(), file.size(), &h)) << "256 entries do not lie inside 66 bytes";
  // A count beyond what 8 bits index reads no more than 256 entries.
  std::vector<uint8_t> large = reshaped(file, 40 + 1024, 4);
  put32(large, 46, 100000);
  EXPECT_EQ(1, bmp_header_read(large.data(), large.size(), &h));
  EXPECT_EQ(40u + 1024u, h.info_block_bytes);
}

TEST(BmpHeader, CountsTheColourMasksOfBitFieldPictures) {
  std::vector<uint8_t> file = test_files::bmp(2, 2, 16, {}, [](int32_t x, int32_t) { return 0x7C00u >> (5 * x); });
  put32(file, 30, 3);  // bit fields: three masks behind the 40-byte header
  bmp_header h{};
  EXPECT_EQ(0, bmp_header_read(file.data(), 14 + 40 + 8, &h)) << "masks cut off";
  std::vector<uint8_t> masked = reshaped(file, 40 + 12, 8);
  ASSERT_EQ(1, bmp_header_read(masked.data(), masked.size(), &h));
  EXPECT_EQ(52u, h.info_block_bytes);
  EXPECT_EQ(8u, h.pixel_bytes);

  // A 108-byte header holds its masks itself; the 12 bytes behind 40 lie inside it.
  std::vector<uint8_t> v4 = reshaped(file, 108, 8);
  put32(v4, 14, 108);
  ASSERT_EQ(1, bmp_header_read(v4.data(), v4.size(), &h));
  EXPECT_EQ(108u, h.info_block_bytes);
}

TEST(BmpHeader, CompressedDataRunsAsLongAsTheImageSize) {
  std::vector<uint8_t> file = test_files::bmp(4, 4, 8, {0, 0xFFFFFF}, [](int32_t, int32_t) { return 0u; });
  put32(file, 30, 1);  // run-length, 8 bits
  const uint32_t room = static_cast<uint32_t>(file.size()) - (14 + 40 + 8);
  const struct {
    uint32_t image_size;
    int32_t accepted;
  } cases[] = {{room, 1}, {room + 1, 0}, {0xFFFFFFFFu, 0}};
  for (const auto& c : cases) {
    put32(file, 34, c.image_size);
    bmp_header h{};
    EXPECT_EQ(c.accepted, bmp_header_read(file.data(), file.size(), &h)) << "image size " << c.image_size;
    EXPECT_EQ(c.accepted ? room : 0u, h.pixel_bytes) << "image size " << c.image_size << ", untouched when refused";
  }
}

}  // namespace
