#include <gtest/gtest.h>

#include "runtime/window/placement.h"
#include "runtime/window/window.h"

namespace {

constexpr uint32_t CAPTION = 0x00C00000, SYSMENU = 0x00080000, MINIMIZEBOX = 0x00020000, MAXIMIZEBOX = 0x00010000,
                   THICKFRAME = 0x00040000, MINIMIZE = 0x20000000, MAXIMIZE = 0x01000000, POPUP = 0x80000000;

TEST(WindowFlags, SplitIntoStyleExtendedStyleAndRuntimeChoices) {
  struct row {
    uint32_t flags;
    uint32_t style;
    uint32_t ex_style;
    bool hidden;
    bool no_list;
  } rows[] = {
      {0xCA0001, CAPTION | SYSMENU | MINIMIZEBOX, 0, false, false},
      {0, CAPTION, 0, false, false},
      {WINDOW_INVISIBLE, CAPTION, 0, true, false},
      {WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT, CAPTION, 0, false, false},
      {WINDOW_NO_GADGET_LIST, CAPTION, 0, false, true},
      {WINDOW_NO_GADGET_LIST | POPUP, POPUP, 0, false, true},
      {POPUP | WINDOW_INVISIBLE, POPUP, 0, true, false},
      // A tool window always has a caption and never the minimise or maximise parts.
      {WINDOW_TOOL, CAPTION, 0x80, false, false},
      {WINDOW_TOOL | SYSMENU | MINIMIZEBOX | MAXIMIZEBOX | MINIMIZE | MAXIMIZE | THICKFRAME,
       CAPTION | SYSMENU | THICKFRAME, 0x80, false, false},
      {MAXIMIZE | MAXIMIZEBOX | THICKFRAME, MAXIMIZE | MAXIMIZEBOX | THICKFRAME, 0, false, false},
  };
  for (const row& r : rows) {
    window_style_plan plan = window_style_from_flags(r.flags);
    EXPECT_EQ(r.style, plan.style) << std::hex << "flags 0x" << r.flags;
    EXPECT_EQ(r.ex_style, plan.ex_style) << std::hex << "flags 0x" << r.flags;
    EXPECT_EQ(r.hidden, plan.hidden) << std::hex << "flags 0x" << r.flags;
    EXPECT_EQ(r.no_list, plan.no_gadget_list) << std::hex << "flags 0x" << r.flags;
  }
}

TEST(WindowPlacement, CentresOnTheScreenOrTheReference) {
  constexpr int32_t DEFAULT = PLACEMENT_DEFAULT;   // the platform places it, not at -65535
  const placement_rect owner{100, 200, 501, 500};  // 401 x 300
  struct row {
    uint32_t flags;
    int32_t x, y, width, height;
    const placement_rect* reference;
    window_placement expected;
    const char* what;
  } rows[] = {
      {WINDOW_CENTRE_SCREEN, 100, 100, 326, 389, nullptr, {349, 189, 326, 389}, "the given position is not used"},
      {WINDOW_CENTRE_SCREEN, 0, 0, 1500, 900, nullptr, {0, 0, 1024, 768}, "larger than the screen: cut, at 0, 0"},
      {WINDOW_CENTRE_SCREEN, IGNORE, IGNORE, 101, 101, nullptr, {461, 333, 101, 101}, "odd differences truncate"},
      {WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT, 5, 5, 100, 100, &owner, {462, 334, 100, 100}, "the screen wins"},
      {WINDOW_CENTRE_PARENT, 5, 5, 200, 100, &owner, {200, 300, 200, 100}, "centred on the reference"},
      {WINDOW_CENTRE_PARENT, 5, 5, 800, 700, &owner, {0, 0, 800, 700}, "negative becomes 0, the size is not cut"},
      {WINDOW_CENTRE_PARENT, 5, 7, 200, 100, nullptr, {5, 7, 200, 100}, "no reference: the given position"},
      {WINDOW_CENTRE_PARENT, IGNORE, 7, 200, 100, nullptr, {DEFAULT, DEFAULT, 200, 100}, "IGNORE, no reference"},
      {0, IGNORE, 7, 200, 100, nullptr, {DEFAULT, DEFAULT, 200, 100}, "IGNORE: both default"},
      {0, 30, 40, 200, 100, nullptr, {30, 40, 200, 100}, "no centring: as given"},
  };
  for (const row& r : rows) {
    window_placement place = window_place(r.flags, r.x, r.y, r.width, r.height, 1024, 768, r.reference);
    EXPECT_EQ(r.expected.x, place.x) << r.what;
    EXPECT_EQ(r.expected.y, place.y) << r.what;
    EXPECT_EQ(r.expected.width, place.width) << r.what;
    EXPECT_EQ(r.expected.height, place.height) << r.what;
  }
}

}  // namespace
