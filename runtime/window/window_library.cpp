// Start and end of the window library, and looking windows up by number.
#include "runtime/core/libraries.h"
#include "runtime/core/registry.h"
#include "runtime/core/runtime.h"
#include "runtime/window/window_object.h"

namespace {
constexpr int32_t WINDOW_TABLE_STEP = 16;
constexpr int CLASS_ICON_RESOURCE = 1;
}  // namespace

void window_init() {
  window_library_record* library = window_library_create();
  if (!library) return;
  library->windows = registry_new(sizeof(window_object), WINDOW_TABLE_STEP, window_free);
  library->sizing = static_cast<sizing_record*>(main_heap_alloc(sizeof(sizing_record)));
  library->class_icon = LoadIconA(program_module(), MAKEINTRESOURCEA(CLASS_ICON_RESOURCE));
  library->class_cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  library->wake_mask = window_platform_wake_mask();
}

void window_end() {
  window_library_record* library = window_library();
  if (!library) return;
  if (library->windows) registry_free_all(library->windows);
  window_release_held_block(library);
}

window_object* window_lookup(intptr_t number) {
  window_library_record* library = window_library();
  if (!library || !library->windows) return nullptr;
  return static_cast<window_object*>(registry_lookup(library->windows, number));
}

HWND window_handle(intptr_t number) {
  window_object* object = window_lookup(number);
  return object ? object->handle : nullptr;
}
