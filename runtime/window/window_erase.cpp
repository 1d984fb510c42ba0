// Erasing a window's background everywhere but under its visible controls, so that the
// controls do not flicker when the window is erased behind them.
#include "runtime/window/window_object.h"

namespace {

// Check boxes, radio buttons, group boxes and the like draw a transparent background and
// need the window's background under them; push buttons (style type 0) cover their area.
bool painted_under(HWND child) {
  char class_name[31];
  if (!GetClassNameA(child, class_name, sizeof class_name)) return false;
  return lstrcmpiA(class_name, "BUTTON") == 0 && (GetWindowLongA(child, GWL_STYLE) & 7) != 0;
}

}  // namespace

LRESULT window_erase_around_gadgets(HDC dc, HWND window) {
  RECT client;
  GetClientRect(window, &client);
  HRGN saved_clip = CreateRectRgnIndirect(&client);
  int had_clip = saved_clip ? GetClipRgn(dc, saved_clip) : 0;

  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child) || painted_under(child)) continue;
    RECT rect;
    GetWindowRect(child, &rect);
    POINT top_left{rect.left, rect.top};
    POINT bottom_right{rect.right, rect.bottom};
    ScreenToClient(window, &top_left);
    ScreenToClient(window, &bottom_right);
    if (HRGN cut = CreateRectRgn(top_left.x, top_left.y, bottom_right.x, bottom_right.y)) {
      ExtSelectClipRgn(dc, cut, RGN_DIFF);
      DeleteObject(cut);
    }
  }

  FillRect(dc, &client, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
  SelectClipRgn(dc, had_clip > 0 ? saved_clip : nullptr);
  if (saved_clip) DeleteObject(saved_clip);
  return 0;
}
