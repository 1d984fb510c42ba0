// How window_open reads its flag word and where it puts the window: plain arithmetic over
// the flags, the sizes and the reference rectangles, apart from the platform calls.
#pragma once

#include <cstdint>

// What a flag word asks for.
struct window_style_plan {
  uint32_t style;       // the platform window style
  uint32_t ex_style;    // the extended style
  bool hidden;          // create without showing
  bool no_gadget_list;  // do not make the window the current gadget list
};

window_style_plan window_style_from_flags(uint32_t flags);

// A rectangle in screen coordinates.
struct placement_rect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct window_placement {
  int32_t x;
  int32_t y;
  int32_t width;  // outer size
  int32_t height;
};

// What a window's frame (caption, borders, menu bar) adds to its client size.
struct window_frame {
  int32_t width;
  int32_t height;
};

// Where window_resize puts a window that stands at now (its corner and outer size) with a
// client area of client_width x client_height inside the given frame: x and y as given or,
// for IGNORE, its own corner; the outer size of the client size asked for, or for IGNORE
// the one it has, with the frame around it.
window_placement window_resize_target(const window_placement& now, const window_frame& frame, int32_t client_width,
                                      int32_t client_height, int32_t x, int32_t y, int32_t width, int32_t height);

// The platform's "place it where you like" coordinate.
constexpr int32_t PLACEMENT_DEFAULT = static_cast<int32_t>(0x80000000u);

// x, y as given (IGNORE allowed); width, height: the outer size. reference: the owner or
// active window for centring on the parent, or null when there is none.
window_placement window_place(uint32_t flags, int32_t x, int32_t y, int32_t width, int32_t height, int32_t screen_width,
                              int32_t screen_height, const placement_rect* reference);
