// The runtime's texts are Windows-1252 bytes whatever the system's ANSI code page; the
// platform's wide functions take UTF-16. Texts cross over here, at the edge, so that they
// reach the platform as the characters they are.
#pragma once

#include <cstddef>

#include "runtime/core/platform.h"

// The UTF-16 unit of one 1252 byte. Every byte has one, in the Basic Multilingual Plane,
// so a text keeps its length. The five bytes that 1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stay the control characters of the same value, as the platform's own
// conversion keeps them, so that they come back as the same bytes.
char16_t utf16_of_1252(unsigned char byte);

// A text of the runtime as zero-terminated UTF-16, for as long as the record lives: held
// in the record when short, in a heap block of its own otherwise (the main heap while the
// runtime lives, the process heap outside its life). A null text is the empty one.
class wide_text {
 public:
  explicit wide_text(const char* text);
  ~wide_text();
  wide_text(const wide_text&) = delete;
  wide_text& operator=(const wide_text&) = delete;

  // False only when a long text found no memory; units() is null then.
  bool ok() const { return units_ != nullptr; }
  const char16_t* units() const { return units_; }
#ifdef _WIN32
  // The platform's own name for UTF-16 units.
  const wchar_t* wide() const { return reinterpret_cast<const wchar_t*>(units_); }
#endif

 private:
  static constexpr size_t INLINE_UNITS = 128;
  char16_t inline_units_[INLINE_UNITS];
  char16_t* units_;
  HANDLE heap_;  // the heap of a long text's block
};

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "the platform's wide characters are UTF-16 units");
#endif
