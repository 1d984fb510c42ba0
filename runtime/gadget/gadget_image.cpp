// Image gadgets: a "STATIC" control that paints a borrowed native image itself, takes the
// picture's size whenever one is set, and reports mouse actions as gadget events.
#include "runtime/core/runtime.h"
#include "runtime/gadget/gadget.h"

namespace {

// WS_CHILD | WS_VISIBLE | SS_NOTIFY: the class's click notification reaches the parent.
constexpr DWORD IMAGE_STYLE = 0x50000100;
constexpr int32_t CLIENT_EDGE_EXTRA = 4;  // WS_EX_CLIENTEDGE adds 2 pixels on every side

// Shared by every image gadget.
struct image_gadget_shared {
  gadget_kind kind;
  bool kind_filled;
  int32_t drag_x;  // drag distances, read on the first creation
  int32_t drag_y;
  WNDPROC class_procedure;  // the "STATIC" class's own procedure
  int32_t right_double_click_seen;
};

image_gadget_shared shared;

void image_free_hook(gadget_record* gadget) {
  if (gadget->alpha_copy) {
    alpha_delete(gadget->alpha_copy);
    gadget->alpha_copy = nullptr;
  }
}

intptr_t image_get_state(gadget_record* gadget) { return SendMessageA(gadget->window, STM_GETIMAGE, 0, 0); }

intptr_t image_set_state(gadget_record* gadget, intptr_t value) {
  return SendMessageA(gadget->window, STM_SETIMAGE, 0, value);
}

void fill_kind() {
  if (shared.kind_filled) return;
  shared.kind = gadget_kind{};
  shared.kind.type = GADGET_KIND_IMAGE;
  shared.kind.size = GADGET_KIND_SIZE;
  shared.kind.free_hook = image_free_hook;
  shared.kind.get_state = image_get_state;
  shared.kind.set_state = image_set_state;
  shared.drag_x = GetSystemMetrics(SM_CXDRAG);
  shared.drag_y = GetSystemMetrics(SM_CYDRAG);
  shared.kind_filled = true;
}

bool is_bitmap(HANDLE handle) { return handle && GetObjectType(handle) == OBJ_BITMAP; }

// The picture's own size: a bitmap's, or an icon's colour bitmap's (its mask's upper half
// for a monochrome icon). False when the handle describes no picture.
bool picture_size(HANDLE handle, int32_t* width, int32_t* height) {
  if (is_bitmap(handle)) {
    BITMAP description{};
    if (!GetObjectA(handle, sizeof(description), &description)) return false;
    *width = description.bmWidth;
    *height = description.bmHeight;
    return true;
  }
  ICONINFO info{};
  if (!GetIconInfo(static_cast<HICON>(handle), &info)) return false;
  BITMAP description{};
  bool known = false;
  if (info.hbmColor && GetObjectA(info.hbmColor, sizeof(description), &description)) {
    *width = description.bmWidth;
    *height = description.bmHeight;
    known = true;
  } else if (info.hbmMask && GetObjectA(info.hbmMask, sizeof(description), &description)) {
    *width = description.bmWidth;
    *height = description.bmHeight / 2;
    known = true;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return known;
}

// Draws the picture at the top left in its own size; the class's painting never runs.
void paint(gadget_record* gadget, HDC dc) {
  if (!dc || !gadget->image) return;
  if (gadget->alpha_copy) {
    alpha_draw(dc, 0, 0, 0, 0, gadget->alpha_copy, nullptr, 255);
    return;
  }
  // No state flag: the picture looks the same whether the control is enabled or not.
  const UINT type = is_bitmap(gadget->image) ? DST_BITMAP : DST_ICON;
  DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(gadget->image), 0, 0, 0, 0, 0, type);
}

// Shows a new picture (0: none) and returns it. The control takes the picture's size and,
// for an opaque picture, is repainted before this returns: a caller that switches pictures
// without handling messages in between still sees every one on screen.
HANDLE set_image(gadget_record* gadget, HWND control, HANDLE image) {
  gadget->image = image;
  if (gadget->alpha_copy) {
    alpha_delete(gadget->alpha_copy);
    gadget->alpha_copy = nullptr;
  }
  if (image && bitmap_has_alpha(image) == 1) gadget->alpha_copy = alpha_copy_create(image, nullptr);
  image_gadget_refresh_parent(gadget, control);
  if (!image) return image;

  int32_t width = 0, height = 0;
  // A handle that describes no picture keeps the control's size.
  if (picture_size(image, &width, &height)) {
    if (GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
      width += CLIENT_EDGE_EXTRA;
      height += CLIENT_EDGE_EXTRA;
    }
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  }
  if (bitmap_has_alpha(image) == 0) {
    // NOTE: the class repaints the control inside WM_SETFONT during registration, before
    // the first picture is set, so no paint is pending any more: the picture is painted
    // here, synchronously, or not until something else invalidates the control.
    InvalidateRect(control, nullptr, FALSE);
    UpdateWindow(control);
  }
  return image;
}

LRESULT pass_on(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!shared.class_procedure) return DefWindowProcW(control, message, wparam, lparam);
  return CallWindowProcW(shared.class_procedure, control, message, wparam, lparam);
}

}  // namespace

void image_gadget_refresh_parent(gadget_record* gadget, HWND control) {
  // An opaque bitmap covers the control; anything else shows the parent through it.
  if (is_bitmap(gadget->image) && !gadget->alpha_copy) return;
  HWND top = gadget_top_window(control);
  RECT area{};
  if (!GetWindowRect(control, &area)) return;
  POINT corners[2] = {{area.left, area.top}, {area.right, area.bottom}};
  ScreenToClient(top, &corners[0]);
  ScreenToClient(top, &corners[1]);
  area = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  RedrawWindow(top, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CALLBACK image_gadget_procedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  gadget_record* gadget = gadget_lookup(GetWindowLongPtrA(control, GWLP_ID));
  // Before the control is registered, and after its record is gone, the class handles all.
  if (!gadget || gadget->window != control) return pass_on(control, message, wparam, lparam);

  switch (message) {
    case STM_SETIMAGE: return reinterpret_cast<LRESULT>(set_image(gadget, control, reinterpret_cast<HANDLE>(lparam)));
    case STM_SETICON:
      // The icon of STM_SETICON comes in wparam, as the class itself takes it.
      return reinterpret_cast<LRESULT>(set_image(gadget, control, reinterpret_cast<HANDLE>(wparam)));
    case STM_GETIMAGE:
    case STM_GETICON: return reinterpret_cast<LRESULT>(gadget->image);
    case WM_PAINT: {
      PAINTSTRUCT paint_record;
      HDC dc = BeginPaint(control, &paint_record);
      paint(gadget, dc);
      EndPaint(control, &paint_record);
      return 0;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT: paint(gadget, reinterpret_cast<HDC>(wparam)); return 0;
    case WM_ENABLE: RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); return 0;
    case WM_SETTEXT: {
      // The text is the picture's name for assistive tools and is never drawn. NOTE: the
      // class's own handler would paint it over the picture at once (Wine) or load a
      // picture of that name (image styles); the window's text is kept without it, and
      // assistive tools read that text as the control's name.
      const LRESULT result = DefWindowProcW(control, message, wparam, lparam);
      NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
      return result;
    }
    case WM_MOVE: image_gadget_refresh_parent(gadget, control); break;
    case WM_LBUTTONDOWN:
      gadget->dragging = 1;
      gadget->press_x = static_cast<int16_t>(LOWORD(lparam));
      gadget->press_y = static_cast<int16_t>(HIWORD(lparam));
      SetCapture(control);
      break;
    case WM_MOUSEMOVE:
      if (gadget->dragging) {
        const int32_t dx = static_cast<int16_t>(LOWORD(lparam)) - gadget->press_x;
        const int32_t dy = static_cast<int16_t>(HIWORD(lparam)) - gadget->press_y;
        if (dx > shared.drag_x || dx < -shared.drag_x || dy > shared.drag_y || dy < -shared.drag_y) {
          gadget->dragging = 0;
          ReleaseCapture();
          gadget_post_event(control, GADGET_EVENT_DRAG_START);
        }
      }
      break;
    case WM_LBUTTONUP:
      if (gadget->dragging) {
        gadget->dragging = 0;
        ReleaseCapture();
      }
      break;
    case WM_LBUTTONDBLCLK: gadget_post_event(control, GADGET_EVENT_LEFT_DOUBLE_CLICK); return 0;
    case WM_RBUTTONUP:
      // The release that ends a right double click is part of it, not a click of its own.
      if (shared.right_double_click_seen)
        shared.right_double_click_seen = 0;
      else
        gadget_post_event(control, GADGET_EVENT_RIGHT_CLICK);
      return 0;
    case WM_RBUTTONDBLCLK:
      gadget_post_event(control, GADGET_EVENT_RIGHT_DOUBLE_CLICK);
      shared.right_double_click_seen = 1;
      return 0;
    default: break;
  }
  return pass_on(control, message, wparam, lparam);
}

intptr_t gadget_image(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, HANDLE image,
                      uint32_t flags) {
  fill_kind();
  gadget_library_state* state = gadget_state();
  if (!state || !state->table) return 0;
  HWND control = CreateWindowExW(flags, L"STATIC", nullptr, IMAGE_STYLE, x, y, width, height, state->current_list,
                                 reinterpret_cast<HMENU>(intptr_t{-1}), program_module(), nullptr);
  if (!control) return 0;
  // Wide, as every procedure of the runtime's windows: the name that assistive tools read
  // passes through it as the characters it is.
  shared.class_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(image_gadget_procedure)));
  auto* record = static_cast<gadget_record*>(registry_create(state->table, number));
  if (!record) {
    DestroyWindow(control);
    return 0;
  }
  const intptr_t result = gadget_register(number, record, control, &shared.kind);
  // The control takes the picture's size at once, whatever size was asked for.
  SendMessageA(control, STM_SETIMAGE, 0, reinterpret_cast<LPARAM>(image));
  return result;
}
