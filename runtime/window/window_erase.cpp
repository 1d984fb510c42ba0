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
  // NOTE: a themed control paints its parent's background under itself through its own
  // device context (DrawThemeParentBackground): the erase then arrives with the control's
  // device context, its origin moved so that the window's client coordinates fall on the
  // control. Drawing follows that origin, clipping does not: the cut-outs are taken from
  // client to device coordinates here. The control that asked is not cut out, since its
  // background is what it asked for.
  HWND painting = WindowFromDC(dc);

  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == painting || !IsWindowVisible(child) || painted_under(child)) continue;
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    LPtoDP(dc, reinterpret_cast<POINT*>(&rect), 2);
    if (HRGN cut = CreateRectRgnIndirect(&rect)) {
      ExtSelectClipRgn(dc, cut, RGN_DIFF);
      DeleteObject(cut);
    }
  }

  FillRect(dc, &client, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
  SelectClipRgn(dc, had_clip > 0 ? saved_clip : nullptr);
  if (saved_clip) DeleteObject(saved_clip);
  return 0;
}
