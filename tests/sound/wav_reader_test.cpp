#include <gtest/gtest.h>

#include <cstring>

#include "app/assets.h"
#include "runtime/sound/wav_reader.h"
#include "tests/sound/wav_images.h"

namespace {

using wav_test::pcm_format;
using wav_test::riff_image;
using wav_test::set_u32;
using wav_test::square_wave;

// Reads an image with the length its own header gives, as sounds from memory do.
bool read_image(const std::vector<uint8_t>& image, wav_image* out) {
  size_t length = wav_image_length(image.data());
  return length && length <= image.size() && wav_read(image.data(), length, out);
}

std::vector<uint8_t> with_u32(std::vector<uint8_t> image, size_t offset, uint32_t value) {
  set_u32(image, offset, value);
  return image;
}

// The two layouts the program carries, as the tests build them and as the program has them.
TEST(WavReader, FindsTheFormatAndSamplesOfTheCarriedLayouts) {
  const std::vector<uint8_t> click = wav_test::click_image(), roll = wav_test::roll_image();
  const struct {
    const char* name;
    const uint8_t* file;
    size_t file_bytes;
    uint16_t channels;
    uint32_t rate;
    uint32_t sample_bytes;
  } cases[] = {
      {"click", click.data(), click.size(), 1, 22050, 1360},
      {"roll", roll.data(), roll.size(), 2, 16000, 34540},
      {"the program's click", dice_click_sound, DICE_CLICK_BYTES, 1, 22050, 1360},
      {"the program's roll", dice_roll_sound, DICE_ROLL_BYTES, 2, 16000, 34540},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.file_bytes, wav_image_length(c.file));
    wav_image image{};
    ASSERT_TRUE(wav_read(c.file, c.file_bytes, &image));
    EXPECT_EQ(c.file + 20, image.format) << "the format record is read where it lies";
    EXPECT_EQ(pcm_format(c.channels, c.rate, 16), std::vector<uint8_t>(image.format, image.format + image.format_size));
    EXPECT_EQ(c.file + 44, image.samples) << "the data chunk follows the format chunk at 36";
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

// Images without the two chunks in their places, or with sizes that reach beyond the image.
TEST(WavReader, RefusesMalformedImages) {
  const std::vector<uint8_t> format = pcm_format(1, 22050, 16), samples = square_wave(100);
  const std::vector<uint8_t> click = wav_test::click_image();
  const std::vector<uint8_t> between = riff_image(
      {{"fmt ", format}, {"LIST", std::vector<uint8_t>(8)}, {"data", samples}});
  std::vector<uint8_t> ogg = click;
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
      {"data one byte too long", with_u32(click, 40, 1361)},
      {"data size wrapping 32 bits", with_u32(click, 40, 0xFFFFFFD4)},  // 44 + size = 2^32
      {"data size all ones", with_u32(click, 40, 0xFFFFFFFF)},
      {"format past the end", with_u32(click, 16, 1385)},
      {"format size wrapping 32 bits", with_u32(click, 16, 0xFFFFFFEC)},  // 20 + size = 2^32: back to 0
      {"format size all ones", with_u32(click, 16, 0xFFFFFFFF)},
      {"chunk between, wrapping back onto itself", with_u32(between, 40, 0xFFFFFFF8)},  // 8 + size = 2^32
      {"chunk between, half the range", with_u32(between, 40, 0x80000000)},
      {"chunk between, past the data", with_u32(between, 40, 9)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    wav_image image{};
    EXPECT_FALSE(read_image(c.image, &image));
    EXPECT_FALSE(wav_read(c.image.data(), c.image.size(), &image)) << "with the whole vector's length";
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

TEST(WavReader, ImageLengthComesFromTheRiffSize) {
  std::vector<uint8_t> image = wav_test::click_image();
  const struct {
    uint32_t riff_size;
    uint64_t length;
  } cases[] = {{0, 8}, {1395, 1403}, {0xFFFFFFF7, 0xFFFFFFFFull}, {0xFFFFFFFF, 0x100000007ull}};
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
         f.resize(20);
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
