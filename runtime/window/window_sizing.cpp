// The runtime's own window sizing. With full-window dragging on, the platform would run a
// sizing loop of its own inside the default processing, and the program's event loop would
// stand still until the sizing ends; sizing here keeps every message flowing through
// window_wait_event.
#include "runtime/window/sizing_rules.h"
#include "runtime/window/window_object.h"

#ifndef SPI_GETDRAGFULLWINDOWS
#  define SPI_GETDRAGFULLWINDOWS 0x0026
#endif
#ifndef WM_CAPTURECHANGED
#  define WM_CAPTURECHANGED 0x0215
#endif

namespace {

constexpr WPARAM SYSTEM_COMMAND_MASK = 0xFFF0;
constexpr WPARAM SIZING_EDGE_MASK = 0xF;

void show_cursor(int32_t cursor_id) {
  auto cursor = static_cast<HCURSOR>(
      LoadImageA(nullptr, MAKEINTRESOURCEA(cursor_id), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
  SetCursor(cursor);
}

sizing_box box_of(const RECT& rect) { return sizing_box{rect.left, rect.top, rect.right, rect.bottom}; }

void store_box(RECT& rect, const sizing_box& box) {
  rect.left = box.left;
  rect.top = box.top;
  rect.right = box.right;
  rect.bottom = box.bottom;
}

sizing_track track_of(const MINMAXINFO& limits) {
  return sizing_track{limits.ptMinTrackSize.x, limits.ptMinTrackSize.y, limits.ptMaxTrackSize.x,
                      limits.ptMaxTrackSize.y};
}

// The window's limits as the platform would give them, then the window's own (WM_GETMINMAXINFO).
void fill_limits(HWND window, MINMAXINFO& limits) {
  limits.ptReserved = POINT{0, 0};
  limits.ptMaxSize = POINT{GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  if (GetWindowLongA(window, GWL_STYLE) & WS_BORDER) {
    limits.ptMaxPosition = POINT{GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  } else if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) {
    limits.ptMaxPosition = POINT{GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  } else {
    limits.ptMaxPosition = POINT{0, 0};
  }
  limits.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  limits.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
}

void move_window(HWND window, const RECT& rect) {
  RECT placed = rect;
  if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&placed), 2);
  MoveWindow(window, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top, TRUE);
}

// Moves the edge being dragged to the screen point, lets the window correct the rectangle,
// and shows the window at it.
void follow_point(HWND window, sizing_record& sizing, POINT point) {
  sizing_box box = box_of(sizing.rect);
  sizing_apply_point(box, sizing.edge, point.x, point.y, track_of(sizing.limits));
  store_box(sizing.rect, box);
  SendMessageA(window, WM_SIZING, static_cast<WPARAM>(sizing.edge), reinterpret_cast<LPARAM>(&sizing.rect));
  move_window(window, sizing.rect);
}

LRESULT start_sizing(HWND window, sizing_record& sizing, WPARAM wparam) {
  BOOL full_window_dragging = FALSE;
  SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &full_window_dragging, 0);
  if (!full_window_dragging) return NOT_HANDLED;
  sizing.edge = static_cast<int32_t>(wparam & SIZING_EDGE_MASK);
  sizing.active = 1;
  GetWindowRect(window, &sizing.rect);
  fill_limits(window, sizing.limits);
  if (GetKeyState(VK_LBUTTON) == 0) SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  if (sizing.edge == SIZING_EDGE_NONE) {
    // Begun from the system menu: the keys choose the edge, and the pointer goes back where
    // it was if the mouse is not used meanwhile.
    sizing.restore_cursor = 1;
    GetCursorPos(&sizing.saved_cursor);
    show_cursor(SIZING_CURSOR_ALL);
  } else {
    sizing.restore_cursor = 0;
  }
  return 0;
}

void arrow_key(HWND window, sizing_record& sizing, int32_t key) {
  POINT cursor;
  GetCursorPos(&cursor);
  sizing_arrow_step step = sizing_arrow_key(sizing.edge, key, box_of(sizing.rect), cursor.x, cursor.y);
  sizing.edge = step.edge;
  SetCursorPos(step.x, step.y);
  if (step.place_cursor) {
    show_cursor(step.cursor_id);
  } else {
    follow_point(window, sizing, POINT{step.x, step.y});
  }
}

}  // namespace

LRESULT window_sizing(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  window_library_record* library = window_library();
  if (!library || !library->sizing) return NOT_HANDLED;
  sizing_record& sizing = *library->sizing;
  if (!sizing.active) {
    if (message == WM_SYSCOMMAND && (wparam & SYSTEM_COMMAND_MASK) == SC_SIZE)
      return start_sizing(window, sizing, wparam);
    return NOT_HANDLED;
  }
  switch (message) {
    case WM_MOUSEMOVE: {
      sizing.restore_cursor = 0;
      POINT point{static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
      MapWindowPoints(window, HWND_DESKTOP, &point, 1);
      follow_point(window, sizing, point);
      return 0;
    }
    case WM_KEYDOWN:
      switch (wparam) {
        case VK_RETURN:
        case VK_ESCAPE:
          // The window keeps the size it has reached; losing the capture ends the sizing.
          ReleaseCapture();
          return 0;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: arrow_key(window, sizing, static_cast<int32_t>(wparam)); return NOT_HANDLED;
        default: return NOT_HANDLED;
      }
    case WM_LBUTTONUP: ReleaseCapture(); return 0;
    case WM_CAPTURECHANGED:
      PostMessageA(window, WM_EXITSIZEMOVE, 0, 0);
      sizing.active = 0;
      if (sizing.restore_cursor == 1) SetCursorPos(sizing.saved_cursor.x, sizing.saved_cursor.y);
      return 0;
    default: return NOT_HANDLED;
  }
}
