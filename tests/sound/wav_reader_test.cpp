#include <gtest/gtest.h>

#include <cstring>

#include "app/assets.h"
#include "runtime/sound/wav_reader.h"
#include "tests/sound/wav_images.h"

namespace {

using wav_test::chunk;
using wav_test::pcm_format;
using wav_test::riff_image;
using wav_test::set_u32;
using wav_test::square_wave;

uint16_t u16_at(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32_at(const uint8_t* p) { return u16_at(p) | static_cast<uint32_t>(u16_at(p + 2)) << 16; }

// Reads an image with the length its own header gives, as sounds from memory do.
bool read_image(const std::vector<uint8_t>& image, wav_image* out) {
  size_t length = wav_image_length(image.data());
  return length && length <= image.size() && wav_read(image.data(), length, out);
}

TEST(WavReader, FindsTheSamplesOfBothCarriedLayouts) {
  const struct {
    const char* name;
    std::vector<uint8_t> image;
    size_t file_bytes;
    uint16_t channels;
    uint32_t rate;
    uint32_t sample_bytes;
  } cases[] = {
      {"click", wav_test::click_image(), 1404, 1, 22050, 1360},
      {"roll", wav_test::roll_image(), 34646, 2, 16000, 34540},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.file_bytes, c.image.size()) << "the test image itself";
    EXPECT_EQ(c.file_bytes, wav_image_length(c.image.data()));
    wav_image image{};
    ASSERT_TRUE(read_image(c.image, &image));
    EXPECT_EQ(c.image.data() + 20, image.format) << "the format record is read where it lies";
    EXPECT_EQ(16u, image.format_size);
    EXPECT_EQ(1, u16_at(image.format)) << "PCM";
    EXPECT_EQ(c.channels, u16_at(image.format + 2));
    EXPECT_EQ(c.rate, u32_at(image.format + 4));
    EXPECT_EQ(16, u16_at(image.format + 14)) << "bits per sample";
    EXPECT_EQ(c.image.data() + 44, image.samples) << "the data chunk follows the format chunk at 36";
    EXPECT_EQ(c.sample_bytes, image.sample_bytes);
  }
}

TEST(WavReader, ReadsTheProgramsOwnSounds) {
  const struct {
    const char* name;
    const uint8_t* file;
    size_t file_bytes;
    uint16_t channels;
    uint32_t rate;
    uint32_t sample_bytes;
  } cases[] = {
      {"click", dice_click_sound, DICE_CLICK_BYTES, 1, 22050, 1360},
      {"roll", dice_roll_sound, DICE_ROLL_BYTES, 2, 16000, 34540},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.file_bytes, wav_image_length(c.file));
    wav_image image{};
    ASSERT_TRUE(wav_read(c.file, c.file_bytes, &image));
    EXPECT_EQ(c.channels, u16_at(image.format + 2));
    EXPECT_EQ(c.rate, u32_at(image.format + 4));
    EXPECT_EQ(c.file + 44, image.samples);
    EXPECT_EQ(c.sample_bytes, image.sample_bytes);
  }
}

TEST(WavReader, AcceptsWhatOnlyTheTwoChunksNeed) {
  std::vector<uint8_t> samples = square_wave(100);
  std::vector<uint8_t> odd_tag = {'a', 'b', 'c'};
  const struct {
    const char* name;
    std::vector<uint8_t> image;
    uint32_t format_size;
    size_t samples_at;
  } cases[] = {
      {"a LIST chunk between format and data",
       riff_image({{"fmt ", pcm_format(1, 22050, 16)}, {"LIST", std::vector<uint8_t>(54)}, {"data", samples}}), 16,
       36 + 8 + 54 + 8},
      {"an 18-byte format chunk: the walk starts at 38",
       riff_image({{"fmt ", pcm_format(1, 22050, 16, 0)}, {"data", samples}}), 18, 38 + 8},
      {"a form type other than WAVE", riff_image({{"fmt ", pcm_format(2, 16000, 16)}, {"data", samples}}, "AVI "), 16,
       44},
      {"an odd chunk size is not padded",
       riff_image({{"fmt ", pcm_format(1, 8000, 8)}, {"note", odd_tag}, {"data", samples}}), 16, 36 + 8 + 3 + 8},
      {"no samples at all", riff_image({{"fmt ", pcm_format(1, 8000, 8)}, {"data", {}}}), 16, 44},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wav_image image{};
    ASSERT_TRUE(read_image(c.image, &image));
    EXPECT_EQ(c.format_size, image.format_size);
    EXPECT_EQ(c.image.data() + c.samples_at, image.samples);
    EXPECT_EQ(c.image.size() - c.samples_at, image.sample_bytes);
  }
}

TEST(WavReader, RefusesImagesWithoutTheTwoChunksInTheirPlaces) {
  std::vector<uint8_t> format = pcm_format(1, 22050, 16);
  std::vector<uint8_t> samples = square_wave(100);
  std::vector<uint8_t> ogg = wav_test::click_image();
  std::memcpy(ogg.data(), "OggS", 4);
  const struct {
    const char* name;
    std::vector<uint8_t> image;
  } cases[] = {
      {"a chunk before the format chunk",
       riff_image({{"LIST", std::vector<uint8_t>(4)}, {"fmt ", format}, {"data", samples}})},
      {"no data chunk", riff_image({{"fmt ", format}, {"LIST", std::vector<uint8_t>(54)}})},
      {"no format chunk", riff_image({{"data", samples}})},
      {"the format chunk's ID in the wrong case", riff_image({{"FMT ", format}, {"data", samples}})},
      {"Ogg data", ogg},
      {"raw samples", square_wave(800)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wav_image image{};
    EXPECT_FALSE(read_image(c.image, &image));
    EXPECT_FALSE(wav_read(c.image.data(), c.image.size(), &image)) << "refused whatever the length";
  }
  wav_image image{};
  EXPECT_FALSE(wav_read(nullptr, 1404, &image));
  EXPECT_EQ(0u, wav_image_length(nullptr));
  EXPECT_EQ(0u, wav_image_length(ogg.data()));
}

// Every length short of the whole data chunk is refused; the walk never reads past it.
TEST(WavReader, RefusesEveryTruncation) {
  const struct {
    const char* name;
    std::vector<uint8_t> image;
    size_t needed;  // bytes up to the end of the data chunk
  } cases[] = {
      {"click", wav_test::click_image(), 1404},
      {"roll", wav_test::roll_image(), 44 + 34540},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t length = 0; length < c.image.size(); ++length) {
      // A copy of exactly that length, so that a read beyond it would be caught.
      std::vector<uint8_t> cut(c.image.begin(), c.image.begin() + length);
      wav_image image{};
      bool read = wav_read(length ? cut.data() : c.image.data(), length, &image);
      ASSERT_EQ(length >= c.needed, read) << "length " << length;
    }
  }
}

TEST(WavReader, RefusesSizesThatReachBeyondTheImage) {
  const std::vector<uint8_t> click = wav_test::click_image();
  const std::vector<uint8_t> between = riff_image(
      {{"fmt ", pcm_format(1, 22050, 16)}, {"LIST", std::vector<uint8_t>(8)}, {"data", square_wave(100)}});
  const struct {
    const char* name;
    const std::vector<uint8_t>* image;
    size_t offset;  // of the size field changed
    uint32_t size;
  } cases[] = {
      {"data one byte too long", &click, 40, 1361},
      {"data size wrapping 32 bits", &click, 40, 0xFFFFFFD4},  // 44 + size = 2^32
      {"data size all ones", &click, 40, 0xFFFFFFFF},
      {"format past the end", &click, 16, 1385},
      {"format size wrapping 32 bits", &click, 16, 0xFFFFFFEC},  // 20 + size = 2^32: back to 0
      {"format size all ones", &click, 16, 0xFFFFFFFF},
      {"chunk between, wrapping back onto itself", &between, 40, 0xFFFFFFF8},  // 8 + size = 2^32
      {"chunk between, half the range", &between, 40, 0x80000000},
      {"chunk between, past the data", &between, 40, 9},
      {"RIFF size short of the data", &click, 4, 1395},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> image = *c.image;
    set_u32(image, c.offset, c.size);
    wav_image found{};
    EXPECT_FALSE(read_image(image, &found));
  }
}

TEST(WavReader, ImageLengthComesFromTheRiffSize) {
  std::vector<uint8_t> image = wav_test::click_image();
  const struct {
    uint32_t riff_size;
    uint64_t length;
  } cases[] = {{0, 8}, {1396, 1404}, {0xFFFFFFF7, 0xFFFFFFFFull}, {0xFFFFFFFF, 0x100000007ull}};
  for (const auto& c : cases) {
    set_u32(image, 4, c.riff_size);
    // A length beyond the address space (32-bit builds) is refused, not wrapped.
    uint64_t expected = c.length > SIZE_MAX || c.length > UINTPTR_MAX - reinterpret_cast<uintptr_t>(image.data())
                            ? 0
                            : c.length;
    EXPECT_EQ(expected, wav_image_length(image.data())) << "RIFF size " << c.riff_size;
  }
}

TEST(WavReader, FormatRecordIsWholeOnlyWithItsExtraBytes) {
  const struct {
    std::vector<uint8_t> body;
    bool whole;
  } cases[] = {
      {pcm_format(1, 22050, 16), false},  // no extra-size field of its own
      {pcm_format(1, 22050, 16, 0), true},
      {pcm_format(1, 22050, 16, 2), false},
      {[] {
         auto f = pcm_format(1, 22050, 16, 2);
         f.push_back(0);
         f.push_back(0);
         return f;
       }(),
       true},
      {pcm_format(1, 22050, 16, 0xFFFF), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.whole, wav_format_is_whole(c.body.data(), static_cast<uint32_t>(c.body.size())))
        << "format chunk of " << c.body.size() << " bytes";
}

}  // namespace
