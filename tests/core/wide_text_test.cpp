#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/core/runtime.h"
#include "runtime/core/wide_text.h"

#ifndef _WIN32
#  include <iconv.h>
#endif

namespace {

// 1252's character for one byte as an independent table gives it: the platform's own
// conversion on Windows, the C library's converter natively; 0 where the table has none.
char16_t reference_of_1252(unsigned char byte) {
  const char text[2] = {static_cast<char>(byte), 0};
#ifdef _WIN32
  wchar_t unit[2] = {};
  if (MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, text, 1, unit, 2) != 1) return 0;
  return static_cast<char16_t>(unit[0]);
#else
  iconv_t converter = iconv_open("UTF-16LE", "CP1252");
  if (converter == reinterpret_cast<iconv_t>(-1)) return 0;
  char* in = const_cast<char*>(text);
  unsigned char out_bytes[4] = {};
  char* out = reinterpret_cast<char*>(out_bytes);
  size_t in_left = 1, out_left = sizeof out_bytes;
  const size_t converted = iconv(converter, &in, &in_left, &out, &out_left);
  iconv_close(converter);
  if (converted == static_cast<size_t>(-1) || out_left != 2) return 0;
  return static_cast<char16_t>(out_bytes[0] | out_bytes[1] << 8);
#endif
}

bool undefined_in_1252(unsigned char byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

TEST(WideText, EveryByteIsItsCharacterIn1252) {
  const struct {
    unsigned char byte;
    char16_t unit;
  } landmarks[] = {{0x41, u'A'},   {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160},
                   {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x9D, 0x009D}, {0x9F, 0x0178},
                   {0xA0, 0x00A0}, {0xDF, 0x00DF}, {0xFC, 0x00FC}, {0xFF, 0x00FF}};
  for (const auto& l : landmarks) EXPECT_EQ(l.unit, utf16_of_1252(l.byte)) << "byte 0x" << std::hex << int{l.byte};

  for (int byte = 1; byte <= 0xFF; ++byte) {
    const auto b = static_cast<unsigned char>(byte);
    const char16_t expected = reference_of_1252(b);
    if (expected == 0 || undefined_in_1252(b)) {
      // The five bytes without a character keep their value; no other byte lacks one.
      EXPECT_TRUE(undefined_in_1252(b)) << "byte 0x" << std::hex << byte << ": the reference has no character";
      EXPECT_EQ(char16_t{b}, utf16_of_1252(b)) << "byte 0x" << std::hex << byte;
    } else {
      EXPECT_EQ(expected, utf16_of_1252(b))
          << "byte 0x" << std::hex << byte << ": U+" << int{utf16_of_1252(b)} << ", the reference U+" << int{expected};
    }
  }
}

// Short texts stay in the record; a long one takes a block from the main heap while the
// runtime lives and from the process heap outside its life (a requester shown then).
TEST(WideText, KeepsTheLengthOfShortLongAndMissingTextsInAndOutsideTheRuntime) {
  const std::string long_text = std::string(300, 'x') + "gew\xFCrfelt";
  const std::string fills_record(127, 'y'), just_too_long(128, 'z');  // the record holds 128 units
  const struct {
    const char* text;
    std::u16string expected;
  } cases[] = {{nullptr, u""},
               {"", u""},
               {"W\xFCrfel: 4", u"W\u00FCrfel: 4"},
               {"\x80\x93\x94", u"\u20AC\u201C\u201D"},
               {fills_record.c_str(), std::u16string(127, u'y')},
               {just_too_long.c_str(), std::u16string(128, u'z')},
               {long_text.c_str(), std::u16string(300, u'x') + u"gew\u00FCrfelt"}};
  for (const bool running : {true, false}) {
    if (running) runtime_start();
    for (const auto& c : cases) {
      const wide_text wide(c.text);
      ASSERT_TRUE(wide.ok()) << (running ? "runtime started" : "no runtime");
      EXPECT_TRUE(c.expected == std::u16string(wide.units()))
          << (running ? "runtime started, " : "no runtime, ") << (c.text ? c.text : "(null)") << ": "
          << std::u16string(wide.units()).size() << " units, expected " << c.expected.size();
    }
    if (running) runtime_end_libraries();
  }
}

}  // namespace
