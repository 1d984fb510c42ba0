// Feeds arbitrary bytes to the BMP header reader. Whenever it accepts, every byte that the
// platform's conversion would then read (the information block and the pixel data) is
// read here, so that a range the reader let through beyond the input shows as an
// out-of-bounds read under AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runtime/image/bmp_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bmp_header header;
  if (!bmp_header_read(data, size, &header)) return 0;
  if (header.width <= 0 || header.height == 0 || header.info_size < BMP_INFO_HEADER_SIZE) abort();
  if (header.pixel_bytes == 0) abort();
  volatile uint8_t sum = 0;
  const uint8_t* info = data + BMP_FILE_HEADER_SIZE;
  for (uint64_t i = 0; i < header.info_block_bytes; ++i) sum = sum + info[i];
  const uint8_t* pixels = data + header.pixel_offset;
  for (uint64_t i = 0; i < header.pixel_bytes; ++i) sum = sum + pixels[i];
  (void)bmp_target_depth(header.bit_count);
  return 0;
}
