// The gadget table and what every kind of gadget shares: the creation tail that ties a
// control to its gadget number, the procedure on every control that cleans up when the
// control goes, states set through the kind, and the gadget events of a control.
#include "runtime/core/libraries.h"
#include "runtime/core/runtime.h"
#include "runtime/core/wide_text.h"
#include "runtime/gadget/gadget.h"
#include "runtime/window/events.h"

// After the platform's main header, which these two extend.
#include <commctrl.h>
#include <ole2.h>

namespace {

gadget_library_state* state;

constexpr char GADGET_ID_PROPERTY[] = "QX_ID";
constexpr char DROP_ACCEPT_PROPERTY[] = "QX_DropAccept";
constexpr char WINDOW_ID_PROPERTY[] = "QX_WindowID";
constexpr int32_t CONTAINER_STACK_CAPACITY = 10;
constexpr int32_t GADGET_TABLE_STEP = 50;
// Tab, hot-key, date, extended combo box and internet address controls.
constexpr DWORD COMMON_CONTROL_CLASSES = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                                         ICC_INTERNET_CLASSES;

void state_start(void* record) {
  auto* s = static_cast<gadget_library_state*>(record);
  s->stack = static_cast<HWND*>(main_heap_alloc(sizeof(HWND) * CONTAINER_STACK_CAPACITY));
  s->depth = 0;
  s->capacity = s->stack ? CONTAINER_STACK_CAPACITY : 0;
  s->font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  s->table = registry_new(sizeof(gadget_record), GADGET_TABLE_STEP, gadget_free);
}

}  // namespace

gadget_library_state* gadget_state() { return state; }

gadget_record* gadget_lookup(intptr_t number) {
  if (!state || !state->table) return nullptr;
  return static_cast<gadget_record*>(registry_lookup(state->table, number));
}

void gadget_init() {
  state = static_cast<gadget_library_state*>(library_state_new(sizeof(gadget_library_state), state_start));
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), COMMON_CONTROL_CLASSES};
  InitCommonControlsEx(&classes);
}

// Gadgets end with their windows (the window library destroys them after this routine,
// and gadget_procedure cleans each one up), so the table and state stay until then.
void gadget_end() {
  if (state && state->aux_window) {
    DestroyWindow(state->aux_window);
    state->aux_window = nullptr;
  }
}

void gadget_free(intptr_t number) {
  gadget_record* record = gadget_lookup(number);
  if (!record) return;
  // The rest of the clean-up runs in gadget_procedure while the control is destroyed.
  DestroyWindow(record->window);
  // A control that is already gone (or was never ours to destroy) cannot report its
  // destruction: its record is released here instead, so the number is free either way.
  if (gadget_lookup(number) == record && record->window) registry_free(state->table, number);
}

intptr_t gadget_register(intptr_t number, gadget_record* record, HWND control, gadget_kind* kind) {
  const bool dynamic = number == OBJECT_ANY;
  if (dynamic) number = registry_dynamic_number(record);
  record->window = control;
  record->kind = kind;
  // Wide, as every procedure of the runtime's windows: a narrow one in the chain would pass
  // the control's text, which assistive tools read as its name, through the system's code
  // page.
  record->previous_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gadget_procedure)));
  SetWindowLongPtrA(control, GWLP_ID, number);
  SetPropA(control, GADGET_ID_PROPERTY, reinterpret_cast<HANDLE>(number));
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), TRUE);
  state->unread_word = 0;
  return dynamic ? number : reinterpret_cast<intptr_t>(control);
}

LRESULT CALLBACK gadget_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const intptr_t number = GetWindowLongPtrA(window, GWLP_ID);
  // -1: not, or no longer, a registered gadget.
  if (number == -1) return DefWindowProcW(window, message, wparam, lparam);
  gadget_record* record = gadget_lookup(number);
  if (!record || record->window != window) return DefWindowProcW(window, message, wparam, lparam);
  const LRESULT result = CallWindowProcW(record->previous_procedure, window, message, wparam, lparam);

  if (message == WM_NCDESTROY) {
    if (record->kind && record->kind->free_hook) record->kind->free_hook(record);
    RemovePropA(window, GADGET_ID_PROPERTY);
    if (RemovePropA(window, DROP_ACCEPT_PROPERTY)) RevokeDragDrop(window);
    SetWindowLongPtrA(window, GWLP_ID, -1);
    // No event of a gadget outlives it: a later gadget of the same number must not
    // receive its predecessor's clicks.
    event_queue_remove_matching(EVENT_GADGET, number, -1, -1);
    registry_free(state->table, number);
  }
  return result;
}

intptr_t gadget_set_state(intptr_t number, intptr_t value) {
  gadget_record* record = gadget_lookup(number);
  if (!record || !record->kind || !record->kind->set_state) return 0;
  return record->kind->set_state(record, value);
}

int32_t gadget_set_name(intptr_t number, const char* name) {
  gadget_record* record = gadget_lookup(number);
  if (!record) return 0;
  const wide_text wide_name(name);
  if (!wide_name.ok()) return 0;
  return SetWindowTextW(record->window, wide_name.wide()) ? 1 : 0;
}

HWND gadget_top_window(HWND control) {
  HWND window = control;
  while (HWND parent = GetParent(window)) {
    if (GetPropA(window, WINDOW_ID_PROPERTY)) break;
    window = parent;
  }
  return window;
}

void gadget_post_event(HWND control, int32_t type) {
  const intptr_t number = GetWindowLongPtrA(control, GWLP_ID);
  // The property holds the window number plus one, so that window 0 is told from none.
  const intptr_t window = reinterpret_cast<intptr_t>(GetPropA(gadget_top_window(control), WINDOW_ID_PROPERTY)) - 1;
  event_post(EVENT_GADGET, number, window, type);
}
