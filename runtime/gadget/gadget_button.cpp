// Button gadgets: the platform's push buttons, registered under a gadget number. A click
// reaches the program through the parent window's command notification.
#include "runtime/core/runtime.h"
#include "runtime/core/wide_text.h"
#include "runtime/gadget/gadget.h"

namespace {

// WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP
constexpr DWORD BUTTON_STYLE = 0x50030000;

gadget_kind button_kind;
bool button_kind_filled;

intptr_t button_get_state(gadget_record* gadget) { return SendMessageA(gadget->window, BM_GETCHECK, 0, 0) & 1; }

intptr_t button_set_state(gadget_record* gadget, intptr_t value) {
  return SendMessageA(gadget->window, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

gadget_kind* button_kind_record() {
  if (!button_kind_filled) {
    button_kind = gadget_kind{};
    button_kind.type = GADGET_KIND_BUTTON;
    button_kind.size = GADGET_KIND_SIZE;
    button_kind.get_state = button_get_state;
    button_kind.set_state = button_set_state;
    button_kind_filled = true;
  }
  return &button_kind;
}

}  // namespace

intptr_t gadget_button(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                       uint32_t flags) {
  gadget_kind* kind = button_kind_record();
  gadget_library_state* state = gadget_state();
  if (!state || !state->table) return 0;
  const wide_text wide(text);
  if (!wide.ok()) return 0;
  // The flags are the platform's button styles, taken as they are (1: the default button).
  HWND control = CreateWindowExW(0, L"Button", wide.wide(), flags | BUTTON_STYLE, x, y, width, height,
                                 state->current_list, reinterpret_cast<HMENU>(intptr_t{-1}), program_module(), nullptr);
  if (!control) return 0;
  auto* record = static_cast<gadget_record*>(registry_create(state->table, number));
  if (!record) {
    // A number the table cannot hold: no gadget, and no control left without one.
    DestroyWindow(control);
    return 0;
  }
  return gadget_register(number, record, control, kind);
}
