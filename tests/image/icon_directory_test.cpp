#include <gtest/gtest.h>

#include "runtime/image/icon_directory.h"
#include "tests/image/image_files.h"

namespace {

using test_files::icon_entry_spec;
using test_files::put32;

// Which entry an icon file of entries of these sizes and bit counts gives.
TEST(IconDirectory, ChoosesTheDeepestEntryOfTheFirstEntrysSize) {
  const struct {
    const char* what;
    std::vector<icon_entry_spec> entries;
    int32_t chosen;
  } cases[] = {
      {"32x32 at 4, 8, 32 bits and 48x48 at 32 bits",
       {{32, 32, 4, 1}, {32, 32, 8, 2}, {32, 32, 32, 3}, {48, 48, 32, 4}},
       2},
      {"a deeper entry of another size is never chosen", {{16, 16, 4, 1}, {32, 32, 32, 2}, {16, 16, 8, 3}}, 2},
      {"the earliest of equal bit counts", {{32, 32, 4, 1}, {32, 32, 8, 2}, {32, 32, 8, 3}}, 1},
      {"a shallower later entry is not taken", {{32, 32, 32, 1}, {32, 32, 8, 2}, {32, 32, 24, 3}}, 0},
      {"same width, other height", {{32, 32, 4, 1}, {32, 16, 32, 2}}, 0},
      {"a single entry", {{48, 48, 8, 1}}, 0},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> file = test_files::icon(c.entries);
    icon_entry entry{};
    int32_t index = -1;
    ASSERT_EQ(1, icon_directory_choose(file.data(), file.size(), &entry, &index)) << c.what;
    EXPECT_EQ(c.chosen, index) << c.what;
    EXPECT_EQ(c.entries[c.chosen].bits, entry.bit_count) << c.what;
    EXPECT_EQ(c.entries[c.chosen].width, entry.width) << c.what;
  }
}

// Each row cuts or damages one field of an icon file whose second entry is the one chosen.
TEST(IconDirectory, RefusesWhatIsNoIconFileAndEntriesOutsideTheLength) {
  const std::vector<uint8_t> sound = test_files::icon({{32, 32, 8, 1}, {32, 32, 32, 2}});
  const size_t second = 6 + 16;
  icon_entry entry{};
  ASSERT_EQ(1, icon_directory_choose(sound.data(), sound.size(), &entry, nullptr));
  const test_files::damage cases[] = {
      {"shorter than the directory", 0, 0, 0, 5},
      {"second entry cut off", 0, 0, 0, second + 15},
      {"last data byte cut off", 0, 0, 0, sound.size() - 1},
      {"reserved field set", 0, 1, 2},
      {"cursor file", 2, 2, 2},
      {"no entries", 4, 0, 2},
      {"more entries than the data holds", 4, 0xFFFF, 2},
      {"offset past the end", second + 12, static_cast<uint32_t>(sound.size()) + 1, 4},
      {"offset whose sum with the size wraps 32 bits", second + 12, 0xFFFFFFF0u, 4},
      {"size past the end", second + 8, static_cast<uint32_t>(sound.size()), 4},
      {"the largest size", second + 8, 0xFFFFFFFFu, 4},
      {"too small for the header the size is read from", second + 8, 39, 4},
      {"no data at all", second + 8, 0, 4},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> file = test_files::damaged(sound, c);
    EXPECT_EQ(0, icon_directory_choose(file.data(), file.size(), &entry, nullptr)) << c.what;
  }
  EXPECT_EQ(0, icon_directory_choose(nullptr, sound.size(), &entry, nullptr));

  // Only the chosen entry's data is read: a broken entry that loses the choice does not
  // spoil the file.
  std::vector<uint8_t> file = sound;
  put32(file, 6 + 12, 0xFFFFFFF0u);
  int32_t index = -1;
  EXPECT_EQ(1, icon_directory_choose(file.data(), file.size(), &entry, &index));
  EXPECT_EQ(1, index);
}

TEST(IconDirectory, ImageSizeIsTheHeadersWidthAndHalfItsHeight) {
  const std::vector<uint8_t> file = test_files::icon({{32, 32, 32, 1}});
  icon_entry entry{};
  ASSERT_EQ(1, icon_directory_choose(file.data(), file.size(), &entry, nullptr));
  icon_image_size size{};
  ASSERT_EQ(1, icon_image_size_read(file.data() + entry.offset, entry.size, &size));
  EXPECT_EQ(32, size.width);
  EXPECT_EQ(32, size.height) << "the stored 64 covers colour and mask";
  EXPECT_EQ(32, size.bit_count);

  std::vector<uint8_t> odd(40);
  put32(odd, 8, static_cast<uint32_t>(-7));
  ASSERT_EQ(1, icon_image_size_read(odd.data(), odd.size(), &size));
  EXPECT_EQ(-3, size.height) << "signed division";
  EXPECT_EQ(0, icon_image_size_read(odd.data(), 39, &size));
}

}  // namespace
