// The current gadget list: the window into which new gadgets go. The gadget library keeps
// the current list's state (parent and container stack); when another window becomes the
// current list, that state is parked in the old window's gadget_list_record and comes back
// when the old window is made current again.
#include "runtime/core/runtime.h"
#include "runtime/gadget/gadget.h"
#include "runtime/window/numbered_name.h"
#include "runtime/window/window_object.h"

namespace {

constexpr int32_t STACK_CAPACITY = 10;

struct property_name_text {
  char text[48];
};

// "QX_GadgetStack_" with the module handle as a decimal number, so that two modules of one
// process each keep their own record on a shared window.
property_name_text stack_property_name() {
  property_name_text name;
  numbered_name(name.text, sizeof name.text, "QX_GadgetStack_", reinterpret_cast<intptr_t>(program_module()));
  return name;
}

gadget_list_record* list_record_of(HWND window, const property_name_text& name) {
  return static_cast<gadget_list_record*>(GetPropA(window, name.text));
}

HWND current_list(const gadget_library_state* state) {
  return state->depth && state->stack ? state->stack[0] : state->current_list;
}

}  // namespace

HWND gadget_list_use(HWND window) {
  gadget_library_state* state = gadget_state();
  if (!state) return nullptr;
  HWND previous = current_list(state);
  if (!window) return previous;
  if (!IsWindow(window)) return nullptr;
  property_name_text name = stack_property_name();

  if (previous) {
    if (gadget_list_record* parked = list_record_of(previous, name)) {
      parked->saved_parent = state->current_list;
      parked->saved_stack = state->stack;
      parked->saved_depth = state->depth;
      parked->saved_capacity = state->capacity;
      state->stack = nullptr;
    }
  }

  if (gadget_list_record* record = list_record_of(window, name)) {
    main_heap_free(state->stack);
    state->current_list = record->saved_parent;
    state->stack = record->saved_stack;
    state->depth = record->saved_depth;
    state->capacity = record->saved_capacity;
    record->saved_stack = nullptr;
  } else {
    if (state->stack) {
      state->depth = 0;
    } else {
      state->stack = static_cast<HWND*>(main_heap_alloc(sizeof(HWND) * STACK_CAPACITY));
      state->depth = 0;
      state->capacity = state->stack ? STACK_CAPACITY : 0;
    }
    state->current_list = window;
    record = static_cast<gadget_list_record*>(main_heap_alloc(sizeof(gadget_list_record)));
    if (record) {
      record->window = window;
      SetPropA(window, name.text, record);
      // Wide, as every procedure of the runtime's windows: a narrow one in the chain would
      // pass the window's text through the system's code page.
      record->previous_procedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gadget_list_procedure)));
    }
  }
  state->unread_word = 0;
  return previous;
}

LRESULT CALLBACK gadget_list_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  property_name_text name = stack_property_name();
  gadget_list_record* record = list_record_of(window, name);
  if (!record) return DefWindowProcW(window, message, wparam, lparam);
  WNDPROC previous_procedure = record->previous_procedure;
  if (message == WM_NCDESTROY) {
    gadget_library_state* state = gadget_state();
    if (state && current_list(state) == window) {
      state->current_list = nullptr;
      state->depth = 0;
    }
    main_heap_free(record->saved_stack);
    main_heap_free(record);
    RemovePropA(window, name.text);
  }
  if (previous_procedure) return CallWindowProcW(previous_procedure, window, message, wparam, lparam);
  return DefWindowProcW(window, message, wparam, lparam);
}
