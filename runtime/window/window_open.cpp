// Opening, resizing and freeing numbered windows. Each window has a class of its own, named
// for its number, so that freeing a window can take its class along.
#include <ole2.h>

#include "runtime/core/registry.h"
#include "runtime/core/runtime.h"
#include "runtime/core/wide_text.h"
#include "runtime/window/numbered_name.h"
#include "runtime/window/placement.h"
#include "runtime/window/window_object.h"

namespace {

constexpr char WINDOW_ID_PROPERTY[] = "QX_WindowID";
constexpr char DROP_ACCEPT_PROPERTY[] = "QX_DropAccept";
constexpr int32_t ACCEL_ENTRY_COUNT = 2;
constexpr uint32_t STYLE_MINIMIZE_OR_MAXIMIZE = WS_MINIMIZE | WS_MAXIMIZE;

struct class_name_text {
  char text[40];
};

// "WindowClass_%d" with the number; a dynamic number is an address, so it is written at
// its full width.
class_name_text class_name_for(intptr_t number) {
  class_name_text name;
  numbered_name(name.text, sizeof name.text, "WindowClass_", number);
  return name;
}

// The class's procedure is a wide one, so the window is: its texts are held and handed out
// as the characters they are, and only a reader that asks for bytes gets them in the
// system's code page.
void register_window_class(const wchar_t* name) {
  window_library_record* library = window_library();
  WNDCLASSW window_class{};
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = window_class_procedure;
  window_class.hInstance = program_module();
  window_class.hIcon = static_cast<HICON>(library->class_icon);
  window_class.hCursor = static_cast<HCURSOR>(library->class_cursor);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  window_class.lpszClassName = name;
  // An existing class of the same name is used as it is.
  RegisterClassW(&window_class);
}

// The reference rectangle for centring on the parent: the owner, else the active window.
bool centring_reference(HWND owner, placement_rect& reference) {
  HWND window = owner ? owner : GetActiveWindow();
  RECT rect;
  if (!window || !GetWindowRect(window, &rect)) return false;
  reference = placement_rect{rect.left, rect.top, rect.right, rect.bottom};
  return true;
}

// NOTE: the platform answers "how large is a window's frame" twice, with its formula
// (AdjustWindowRectEx) and with the window it makes, and the two can differ: Wine 10,
// scaling a program that is not DPI-aware to 150 %, gives the application's window a frame
// of 6 x 45 by the formula (the caption at the system's scale) but of 6 x 32 on the window
// (at the program's); Windows widens or narrows frames for compatibility and rescales a
// window moved to a monitor of another scale. A window re-applied through the formula then
// grows by the difference each time. So the runtime fits a window's outer size to its
// client area by the frame the window has: its rectangle less its client rectangle. Used
// by window_open_owned once before showing the window, and by window_resize. False for a
// window that has nothing to measure against (minimised: its rectangle is the icon's; or
// smaller than its own frame, without a client area), which takes the formula's frame.
bool measured_frame(HWND handle, window_frame& frame) {
  RECT window_rect, client;
  if (IsIconic(handle) || !GetWindowRect(handle, &window_rect) || !GetClientRect(handle, &client) ||
      client.right <= 0 || client.bottom <= 0)
    return false;
  frame = window_frame{window_rect.right - window_rect.left - client.right,
                       window_rect.bottom - window_rect.top - client.bottom};
  return true;
}

void make_accelerators(window_object& object) {
  object.accel_count = ACCEL_ENTRY_COUNT;
  object.accel_entries = static_cast<ACCEL*>(main_heap_alloc(sizeof(ACCEL) * ACCEL_ENTRY_COUNT));
  if (!object.accel_entries) return;
  object.accel_entries[0] = ACCEL{FVIRTKEY | FNOINVERT, VK_TAB, CMD_TAB_NEXT};
  object.accel_entries[1] = ACCEL{FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CMD_TAB_PREVIOUS};
  object.accel_table = CreateAcceleratorTableA(object.accel_entries, ACCEL_ENTRY_COUNT);
}

}  // namespace

intptr_t window_open(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                     uint32_t flags) {
  return window_open_owned(number, x, y, width, height, title, flags, nullptr);
}

intptr_t window_open_owned(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                           uint32_t flags, HWND owner) {
  window_library_record* library = window_library();
  if (!library || !library->windows || number < OBJECT_ANY) return 0;
  // A number that already holds a window is freed first (the registry calls window_free).
  auto* object = static_cast<window_object*>(registry_create(library->windows, number));
  if (!object) return 0;
  bool dynamic = number == OBJECT_ANY;
  if (dynamic) number = registry_dynamic_number(object);

  class_name_text class_name = class_name_for(number);
  const wide_text wide_class_name(class_name.text), wide_title(title);
  if (!wide_title.ok()) {
    registry_free(library->windows, number);
    return 0;
  }
  register_window_class(wide_class_name.wide());

  window_style_plan plan = window_style_from_flags(flags);
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, plan.style, FALSE, plan.ex_style);
  placement_rect reference;
  bool has_reference = (flags & WINDOW_CENTRE_PARENT) && centring_reference(owner, reference);
  window_placement place = window_place(flags, x, y, outer.right - outer.left, outer.bottom - outer.top,
                                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                        has_reference ? &reference : nullptr);

  HWND handle = CreateWindowExW(plan.ex_style, wide_class_name.wide(), wide_title.wide(), plan.style, place.x, place.y,
                                place.width, place.height, owner, nullptr, program_module(), nullptr);
  if (!handle) {
    UnregisterClassA(class_name.text, program_module());
    registry_free(library->windows, number);
    return 0;
  }
  // The frame the window got, where it differs from the formula's: the window is made the
  // size of the client area asked for, and centred again with that size, once and before
  // it is shown or known as a program window (so no event comes of it). A window made
  // minimised or maximised has the state's rectangle, not its own.
  window_frame frame;
  if (!(plan.style & STYLE_MINIMIZE_OR_MAXIMIZE) && measured_frame(handle, frame)) {
    window_placement fitted = window_place(flags, x, y, width + frame.width, height + frame.height,
                                           GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                           has_reference ? &reference : nullptr);
    if (fitted.width != place.width || fitted.height != place.height) {
      UINT keep_place = fitted.x == PLACEMENT_DEFAULT ? SWP_NOMOVE : 0;
      SetWindowPos(handle, nullptr, fitted.x, fitted.y, fitted.width, fitted.height,
                   SWP_NOZORDER | SWP_NOACTIVATE | keep_place);
    }
  }
  object->handle = handle;
  SetPropA(handle, WINDOW_ID_PROPERTY, reinterpret_cast<HANDLE>(number + 1));

  // Set before the window is shown: showing it reports its state, which updates this.
  object->min_max_state = (plan.style & STYLE_MINIMIZE_OR_MAXIMIZE) ? 1 : 0;
  if (!plan.hidden) {
    int show = SW_SHOWNORMAL;
    if (plan.style & WS_MAXIMIZE) {
      show = SW_MAXIMIZE;
    } else if (plan.style & WS_MINIMIZE) {
      show = SW_SHOWMINIMIZED;
    }
    ShowWindow(handle, show);
  }
  make_accelerators(*object);
  object->reserved = -1;
  object->mdi_client = nullptr;

  if (!plan.no_gadget_list) gadget_list_use(handle);
  return dynamic ? number : reinterpret_cast<intptr_t>(handle);
}

int32_t window_resize(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
  window_object* object = window_lookup(number);
  if (!object) return 0;
  HWND handle = object->handle;
  bool all_kept = x == IGNORE && y == IGNORE && width == IGNORE && height == IGNORE;
  // NOTE: while a window is minimised its rectangle is the icon's; applying that again
  // moves the window on some Wine versions (8 puts it elsewhere on the next restore, 10
  // leaves it), and there is nothing to keep: the restored placement is not the icon.
  if (all_kept && IsIconic(handle)) return 1;
  RECT window_rect, client;
  GetWindowRect(handle, &window_rect);
  GetClientRect(handle, &client);
  POINT corner{window_rect.left, window_rect.top};
  if (object->mdi_client) ScreenToClient(object->mdi_client, &corner);
  const window_placement now{corner.x, corner.y, window_rect.right - window_rect.left,
                             window_rect.bottom - window_rect.top};
  // A given height is taken as the client height without the menu bar: the frame is taken
  // without it, so the client area comes out smaller by the bar's height.
  const bool menu_uncounted = height != IGNORE;
  window_frame frame;
  if (measured_frame(handle, frame)) {
    // NOTE: the bar's height is taken from its own rectangle; under Wine the distance from
    // the bar's top to the client area's is one pixel less than the height the bar takes.
    MENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    if (menu_uncounted && GetMenuBarInfo(handle, OBJID_MENU, 0, &bar)) frame.height -= bar.rcBar.bottom - bar.rcBar.top;
  } else {
    RECT formula{0, 0, 0, 0};
    BOOL menu_counted = !menu_uncounted && !object->mdi_client && GetMenu(handle) != nullptr;
    AdjustWindowRectEx(&formula, static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE)), menu_counted,
                       static_cast<DWORD>(GetWindowLongA(handle, GWL_EXSTYLE)));
    frame = window_frame{formula.right - formula.left, formula.bottom - formula.top};
  }
  const window_placement target = window_resize_target(now, frame, client.right, client.bottom, x, y, width, height);
  // The window already has this geometry: a move to where it is would still reach the
  // window system, which answers it with messages of its own (a position change, and on
  // some systems a wake-up and a mouse move under a resting pointer), for nothing.
  if (target.x == now.x && target.y == now.y && target.width == now.width && target.height == now.height) return 1;
  return SetWindowPos(handle, nullptr, target.x, target.y, target.width, target.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void window_set_erase_around_gadgets(intptr_t number, int32_t state) {
  window_object* object = window_lookup(number);
  if (object) object->erase_routine = state ? window_erase_around_gadgets : nullptr;
}

void window_free(intptr_t number) {
  window_library_record* library = window_library();
  window_object* object = window_lookup(number);
  if (!object) return;
  HWND handle = object->handle;
  // Hand the activation back to the owner before the window goes, so that the owner, not
  // some other program, comes to the front.
  HWND owner = GetWindow(handle, GW_OWNER);
  if (owner && !object->mdi_client) SetActiveWindow(owner);
  RemovePropA(handle, WINDOW_ID_PROPERTY);
  if (RemovePropA(handle, DROP_ACCEPT_PROPERTY)) RevokeDragDrop(handle);
  if (object->mdi_client) {
    SendMessageA(object->mdi_client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(handle), 0);
  } else {
    DestroyWindow(handle);
    UnregisterClassA(class_name_for(number).text, program_module());
  }
  if (object->accel_entries) {
    main_heap_free(object->accel_entries);
    DestroyAcceleratorTable(object->accel_table);
  }
  if (object->background_brush) DeleteObject(object->background_brush);
  event_queue_remove_window(number);
  registry_free(library->windows, number);
}
