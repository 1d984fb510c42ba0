#include "runtime/window/placement.h"

#include "runtime/window/window.h"

namespace {
constexpr uint32_t STYLE_CAPTION = 0x00C00000;
constexpr uint32_t EX_STYLE_TOOL_WINDOW = 0x80;
// Runtime flags that are not platform styles; without any other bit the window gets a caption.
constexpr uint32_t NOT_STYLE_BITS = WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT | WINDOW_INVISIBLE;
// Clears WS_MINIMIZE, WS_MAXIMIZE, WS_MINIMIZEBOX and WS_MAXIMIZEBOX: a tool window has none.
constexpr uint32_t TOOL_WINDOW_KEEPS = 0xDEFCFFFF;
}  // namespace

window_style_plan window_style_from_flags(uint32_t flags) {
  window_style_plan plan{};
  if (flags & WINDOW_NO_GADGET_LIST) {
    plan.no_gadget_list = true;
    flags &= ~WINDOW_NO_GADGET_LIST;
  }
  if ((flags & ~NOT_STYLE_BITS) == 0) flags |= STYLE_CAPTION;
  if (flags & WINDOW_INVISIBLE) {
    plan.hidden = true;
    flags &= ~WINDOW_INVISIBLE;
  }
  if (flags & WINDOW_TOOL) {
    flags = (flags & TOOL_WINDOW_KEEPS) | STYLE_CAPTION;
    plan.ex_style = EX_STYLE_TOOL_WINDOW;
  }
  plan.style = flags & ~(WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT | WINDOW_TOOL);
  return plan;
}

window_placement window_place(uint32_t flags, int32_t x, int32_t y, int32_t width, int32_t height, int32_t screen_width,
                              int32_t screen_height, const placement_rect* reference) {
  window_placement place{x, y, width, height};
  bool centre_screen = flags & WINDOW_CENTRE_SCREEN;
  bool centre_parent = (flags & WINDOW_CENTRE_PARENT) && !centre_screen;
  bool position_ignored = x == IGNORE || y == IGNORE;
  // Centring on a parent that is not there leaves the given position; an IGNORE in it then
  // means the same as without centring, not a window at -65535.
  if (position_ignored && (!(centre_screen || centre_parent) || (centre_parent && !reference))) {
    place.x = PLACEMENT_DEFAULT;
    place.y = PLACEMENT_DEFAULT;
  }
  if (centre_screen) {
    if (place.width > screen_width) place.width = screen_width;
    if (place.height > screen_height) place.height = screen_height;
    place.x = (screen_width - place.width) / 2;
    place.y = (screen_height - place.height) / 2;
  } else if (centre_parent && reference) {
    place.x = reference->left + (reference->right - reference->left - width) / 2;
    place.y = reference->top + (reference->bottom - reference->top - height) / 2;
    if (place.x < 0) place.x = 0;
    if (place.y < 0) place.y = 0;
  }
  return place;
}

window_placement window_resize_target(const window_placement& now, const window_frame& frame, int32_t client_width,
                                      int32_t client_height, int32_t x, int32_t y, int32_t width, int32_t height) {
  return window_placement{x == IGNORE ? now.x : x, y == IGNORE ? now.y : y,
                          (width == IGNORE ? client_width : width) + frame.width,
                          (height == IGNORE ? client_height : height) + frame.height};
}
