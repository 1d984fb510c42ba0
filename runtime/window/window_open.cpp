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
  RECT window_rect;
  GetWindowRect(handle, &window_rect);
  POINT corner{window_rect.left, window_rect.top};
  if (object->mdi_client) ScreenToClient(object->mdi_client, &corner);
  if (x == IGNORE) x = corner.x;
  if (y == IGNORE) y = corner.y;
  RECT rect{0, 0, width, height};
  BOOL menu_counted = FALSE;
  if (width == IGNORE || height == IGNORE) {
    GetClientRect(handle, &rect);
    if (width != IGNORE) rect.right = width;
    if (height != IGNORE) rect.bottom = height;
    // A given height is taken as the client height without the menu bar.
    menu_counted = height == IGNORE && !object->mdi_client && GetMenu(handle) != nullptr;
  }
  AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE)), menu_counted,
                     static_cast<DWORD>(GetWindowLongA(handle, GWL_EXSTYLE)));
  int32_t outer_width = rect.right - rect.left, outer_height = rect.bottom - rect.top;
  // The window already has this geometry: a move to where it is would still reach the
  // window system, which answers it with messages of its own (a position change, and on
  // some systems a wake-up and a mouse move under a resting pointer), for nothing.
  if (x == corner.x && y == corner.y && outer_width == window_rect.right - window_rect.left &&
      outer_height == window_rect.bottom - window_rect.top)
    return 1;
  return SetWindowPos(handle, nullptr, x, y, outer_width, outer_height, SWP_NOZORDER | SWP_NOACTIVATE);
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
