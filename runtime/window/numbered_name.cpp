#include "runtime/window/numbered_name.h"

#include <cstring>

int32_t numbered_name(char* out, size_t size, const char* prefix, int64_t number) {
  if (!out || !size) return 0;
  out[0] = '\0';
  char digits[20];  // 2^63 has 19 digits
  size_t count = 0;
  // The magnitude as unsigned, so that the most negative number has one too.
  uint64_t magnitude = number < 0 ? 0u - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  size_t prefix_length = std::strlen(prefix);
  size_t length = prefix_length + (number < 0) + count;
  if (length >= size) return 0;
  std::memcpy(out, prefix, prefix_length);
  char* at = out + prefix_length;
  if (number < 0) *at++ = '-';
  while (count) *at++ = digits[--count];
  *at = '\0';
  return static_cast<int32_t>(length);
}
