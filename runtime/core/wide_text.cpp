#include "runtime/core/wide_text.h"

#include <cstdint>
#include <cstring>

#include "runtime/core/runtime.h"

namespace {

// 0x80 to 0x9F, the only bytes whose character is not their own value.
constexpr char16_t HIGH_CONTROL_BLOCK[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

}  // namespace

char16_t utf16_of_1252(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return HIGH_CONTROL_BLOCK[byte - 0x80];
  return byte;
}

wide_text::wide_text(const char* text) : units_(inline_units_), heap_(nullptr) {
  if (!text) text = "";
  const size_t length = std::strlen(text);
  if (length >= INLINE_UNITS) {
    // The runtime's blocks come from its heaps, never from the language's allocator: the
    // main heap while the runtime lives, the process heap when a requester is shown
    // outside its life. A wide text lives no longer than the call that made it, so its
    // block never outlives its heap.
    heap_ = main_heap() ? main_heap() : GetProcessHeap();
    units_ = length < SIZE_MAX / sizeof(char16_t)
                 ? static_cast<char16_t*>(HeapAlloc(heap_, 0, (length + 1) * sizeof(char16_t)))
                 : nullptr;
  }
  if (!units_) return;
  for (size_t i = 0; i < length; ++i) units_[i] = utf16_of_1252(static_cast<unsigned char>(text[i]));
  units_[length] = 0;
}

wide_text::~wide_text() {
  if (units_ && units_ != inline_units_) HeapFree(heap_, 0, units_);
}
