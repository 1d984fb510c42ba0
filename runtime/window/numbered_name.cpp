#include "runtime/window/numbered_name.h"

#include <cstring>

#include "runtime/core/number_text.h"

int32_t numbered_name(char* out, size_t size, const char* prefix, int64_t number) {
  if (!out || !size) return 0;
  out[0] = '\0';
  char digits[DECIMAL_TEXT_SIZE];
  size_t count = static_cast<size_t>(decimal_text(digits, number));
  size_t prefix_length = std::strlen(prefix);
  size_t length = prefix_length + count;
  if (length >= size) return 0;
  std::memcpy(out, prefix, prefix_length);
  std::memcpy(out + prefix_length, digits, count + 1);
  return static_cast<int32_t>(length);
}
