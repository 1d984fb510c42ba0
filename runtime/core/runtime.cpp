#include "runtime/core/runtime.h"

#include "runtime/core/strbuf.h"
#include "runtime/core/system_library.h"

#ifdef _WIN32
#  include "runtime/core/libraries.h"
#  include <mmsystem.h>
#endif

namespace {
runtime_record globals;

#ifdef _WIN32
// NOTE: the multimedia timer's DLL is loaded at the first pause, not with the program:
// as an import it (and the codec manager it brings along) would load before the window's
// first paint, which needs neither. A missing entry leaves the timer's resolution alone.
using timer_period_function = MMRESULT(WINAPI*)(UINT);

struct timer_period_record {
  bool looked_up;
  timer_period_function begin;
  timer_period_function end;
};

timer_period_record timer_period;

const timer_period_record& timer_period_entries() {
  if (!timer_period.looked_up) {
    timer_period.looked_up = true;
    if (HMODULE module = system_library_load("winmm.dll")) {
      timer_period.begin = reinterpret_cast<timer_period_function>(
          reinterpret_cast<void*>(GetProcAddress(module, "timeBeginPeriod")));
      timer_period.end = reinterpret_cast<timer_period_function>(
          reinterpret_cast<void*>(GetProcAddress(module, "timeEndPeriod")));
    }
  }
  return timer_period;
}

void begin_timer_period() {
  if (timer_period_function begin = timer_period_entries().begin) begin(1);
}

void end_timer_period() {
  if (timer_period_function end = timer_period_entries().end) end(1);
}
#else
void begin_timer_period() { timeBeginPeriod(1); }
void end_timer_period() { timeEndPeriod(1); }
#endif
}  // namespace

runtime_record& runtime_globals() { return globals; }

void* main_heap_alloc(size_t bytes) { return HeapAlloc(globals.main_heap, HEAP_ZERO_MEMORY, bytes); }

void* main_heap_alloc_raw(size_t bytes) { return HeapAlloc(globals.main_heap, 0, bytes); }

void* main_heap_realloc(void* block, size_t bytes) {
  if (!block) return main_heap_alloc(bytes);
  return HeapReAlloc(globals.main_heap, HEAP_ZERO_MEMORY, block, bytes);
}

void main_heap_free(void* block) {
  if (block) HeapFree(globals.main_heap, 0, block);
}

void runtime_start() {
  globals = runtime_record{};
  globals.module = GetModuleHandleA(nullptr);
  // Before any library loads a DLL, and before the platform's own DLLs bring theirs along.
  system_library_restrict_search();
  globals.main_heap = HeapCreate(0, 4096, 0);
  string_library_start();
#ifdef _WIN32
  image_decoder_init();
  image_init();
  drawing_support_init();
  event_queue_init();
  window_init();
  gadget_init();
  program_library_start();
  requester_library_start();
#endif
}

void runtime_end_libraries() {
#ifdef _WIN32
  sound_end();
  gadget_end();
  window_end();
  drawing_support_end();
  image_end();
#endif
  string_library_end();
  if (globals.main_heap) HeapDestroy(globals.main_heap);
  globals.main_heap = nullptr;
}

void runtime_end() {
  runtime_end_libraries();
  ExitProcess(0);
}

void delay_ms(int32_t ms) {
  begin_timer_period();
  // NOTE: a negative count would become the platform's INFINITE-like huge wait; a pause
  // below zero is no pause.
  Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
  end_timer_period();
}
