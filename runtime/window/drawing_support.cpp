// The optional drawing entry point that image gadgets use for pictures with an alpha
// channel; a platform without it draws them without blending.
#include "runtime/core/libraries.h"
#include "runtime/core/runtime.h"
#include "runtime/core/system_library.h"
#include "runtime/window/window.h"

namespace {

struct drawing_support_record {
  HMODULE module;
  alpha_blend_function alpha_blend;
};

drawing_support_record* drawing;

}  // namespace

void drawing_support_init() {
  drawing = static_cast<drawing_support_record*>(main_heap_alloc(sizeof(drawing_support_record)));
  if (!drawing) return;
  drawing->module = system_library_load("msimg32.dll");
  if (drawing->module)
    drawing->alpha_blend = reinterpret_cast<alpha_blend_function>(
        reinterpret_cast<void*>(GetProcAddress(drawing->module, "AlphaBlend")));
}

void drawing_support_end() {
  if (!drawing) return;
  if (drawing->module) FreeLibrary(drawing->module);
  main_heap_free(drawing);
  drawing = nullptr;
}

alpha_blend_function drawing_alpha_blend() { return drawing ? drawing->alpha_blend : nullptr; }
