// Feeds arbitrary bytes to the icon directory reader. Whenever it accepts, the chosen
// entry's image data is read completely (as the icon path copies it) and its header is
// read, so that any range let through beyond the input shows under AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "runtime/image/icon_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  icon_entry entry;
  int32_t index = -1;
  if (!icon_directory_choose(data, size, &entry, &index)) return 0;
  if (index < 0 || index >= (data[4] | (data[5] << 8))) abort();
  // The copy has exactly the entry's size, as the platform gets it.
  std::vector<uint8_t> copy(data + entry.offset, data + entry.offset + entry.size);
  icon_image_size image;
  if (!icon_image_size_read(copy.data(), copy.size(), &image)) abort();
  return 0;
}
