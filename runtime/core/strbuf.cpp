#include "runtime/core/strbuf.h"

#include <climits>
#include <cstring>

string_library_record string_library_state;

namespace {
string_library_record& strings = string_library_state;

// Growth leaves STRBUF_MARGIN bytes beyond a reserved text before the capacity, and the
// allocation adds kSlack more, so a text, its zero byte and a copy in 4-byte units fit.
constexpr int32_t kMargin = STRBUF_MARGIN;
constexpr int32_t kSlack = 5;
constexpr int32_t kGrowth = 16384;
}  // namespace

void string_library_start() {
  strings = string_library_record{};
  strings.heap = HeapCreate(0, 4096, 0);
  strings.position = 0;
  strings.capacity = 16;
  strings.base = strings.heap ? static_cast<char*>(HeapAlloc(strings.heap, 0, 16)) : nullptr;
  if (strings.base) strings.base[0] = '\0';
}

void string_library_end() {
  if (strings.heap) {
    if (strings.base) HeapFree(strings.heap, 0, strings.base);
    HeapDestroy(strings.heap);
  }
  strings = string_library_record{};
}

char* strbuf_reserve_growing(int32_t n, int32_t p) {
  // NOTE: the buffer has no error path of its own. A reservation that cannot be met (no
  // heap, a size past the 32-bit range, or a failed growth) answers null and changes
  // nothing, so callers skip their text instead of writing past the buffer.
  if (!strings.base || n < 0 || strings.position > INT32_MAX - kGrowth - kSlack - n) return nullptr;
  int32_t end = strings.position + n;
  if (end >= strings.capacity - kMargin) {
    int32_t capacity = end + kGrowth;
    auto* grown = static_cast<char*>(
        HeapReAlloc(strings.heap, 0, strings.base, static_cast<size_t>(capacity) + kSlack));
    if (!grown) return nullptr;
    strings.base = grown;
    strings.capacity = capacity;
  }
  strings.position = p + n;
  return strings.base + p;
}

void strbuf_append(const char* text) {
  if (!strings.base) return;
  if (!text) {
    strings.base[strings.position] = '\0';
    return;
  }
  size_t len = std::strlen(text);
  if (len > static_cast<size_t>(INT32_MAX)) return;
  char* dst = strbuf_reserve(static_cast<int32_t>(len), strings.position);
  if (!dst) return;
  std::memcpy(dst, text, len);
  dst[len] = '\0';
}

const char* strbuf_argument(int32_t p) {
  // The zero byte behind the operands becomes part of the used region, so a callee that
  // assembles strings of its own writes behind it.
  char* zero = strbuf_reserve(1, strings.position);
  if (!zero) return strings.base ? strings.base + p : "";
  *zero = '\0';
  return strings.base + p;
}

void strbuf_argument_done(int32_t p) { strings.position = p; }

void string_store(string_var* var, int32_t p) {
  int32_t len = strings.position - p;
  if (!strings.base || len < 0) {
    strings.position = p;
    return;
  }
  size_t size = static_cast<size_t>(len) + 5;
  char* block = *var ? static_cast<char*>(HeapReAlloc(strings.heap, 0, *var, size))
                     : static_cast<char*>(HeapAlloc(strings.heap, 0, size));
  if (block) {
    std::memcpy(block, strings.base + p, static_cast<size_t>(len));
    block[len] = '\0';
    *var = block;
  }
  strings.position = p;
}
