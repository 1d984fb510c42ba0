// The window library's state record, shared by the wait, the queue, the window procedure
// and the accessors of the current event. Platform-free, so that the queue builds natively.
#include "runtime/core/registry.h"
#include "runtime/core/runtime.h"
#include "runtime/window/events.h"

window_library_record* window_library_state;

window_library_record* window_library_create() {
  window_library_state = static_cast<window_library_record*>(library_state_new(sizeof(window_library_record), nullptr));
  return window_library_state;
}

void window_release_held_block(window_library_record* library) {
  if (!library || !library->held_block) return;
  main_heap_free(library->held_block->buffer);
  main_heap_free(library->held_block);
  library->held_block = nullptr;
}

intptr_t event_gadget() {
  window_library_record* library = window_library();
  return library ? library->current.object : 0;
}
