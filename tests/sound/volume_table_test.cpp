#include <gtest/gtest.h>

#include "runtime/sound/volume_table.h"

namespace {

TEST(VolumeTable, EntriesAreTwentyLogTenOfTheShareInHundredthsOfADecibel) {
  int32_t table[SOUND_VOLUME_ENTRIES];
  for (int32_t& entry : table) entry = -1;
  sound_volume_table_fill(table);

  // Powers of ten must come out exact: a logarithm a hair below 3 or 4 would truncate
  // to 5999 or 7999.
  const struct {
    int volume;
    int32_t entry;
  } cases[] = {{0, 0}, {1, 6000}, {2, 6602}, {10, 8000}, {50, 9397}, {90, 9908}, {99, 9991}, {100, 10000}};
  for (const auto& c : cases) EXPECT_EQ(c.entry, table[c.volume]) << "volume " << c.volume;

  // Louder is never quieter, and every entry is a valid attenuation once 10000 is taken off.
  for (int v = 1; v < SOUND_VOLUME_ENTRIES; ++v) {
    EXPECT_LT(table[v - 1], table[v]) << "volume " << v;
    EXPECT_LE(table[v], 10000) << "volume " << v;
  }
}

}  // namespace
