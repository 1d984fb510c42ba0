// Placeholder start and end routines; the library's own code replaces this file.
#include "runtime/core/libraries.h"
#include "runtime/gadget/gadget.h"
void gadget_init() {}
void gadget_end() {}
gadget_library_state* gadget_state() {
  static gadget_library_state state;
  return &state;
}
gadget_record* gadget_lookup(intptr_t) { return nullptr; }
