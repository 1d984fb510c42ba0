// The window library's records: one per open window, the per-window gadget list state,
// and the one window sizing of the program.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"
#include "runtime/window/events.h"
#include "runtime/window/window.h"

using window_erase_routine = LRESULT (*)(HDC dc, HWND window);

struct window_object {
  HWND handle;           // 0: the slot holds no window
  ACCEL* accel_entries;  // main-heap block with the two accelerator entries
  HACCEL accel_table;
  window_message_callback callback;  // 0 = none
  int32_t accel_count;
  int32_t reserved;         // -1 from creation on
  HBRUSH background_brush;  // 0 = the class background; deleted with the window
  HWND mdi_client;          // the MDI client of an MDI child, else 0
  window_erase_routine erase_routine;
  uint16_t min_width;  // size limits, 0 = none
  uint16_t min_height;
  uint16_t max_width;
  uint16_t max_height;
  int32_t min_max_state;  // 0 normal, 1 minimised (or opened so), 2 maximised
};

// The gadget library's current-list state of one window, kept while another window is
// the current gadget list.
struct gadget_list_record {
  HWND window;
  HWND saved_parent;
  HWND* saved_stack;
  int32_t saved_depth;
  int32_t saved_capacity;
  WNDPROC previous_procedure;
};

struct sizing_record {
  int32_t active;          // 1 while a sizing runs
  int32_t restore_cursor;  // 1: begun from the keyboard and the pointer has not moved since
  POINT saved_cursor;      // where the pointer was when a keyboard sizing began
  RECT rect;               // the window being formed, screen coordinates
  int32_t edge;            // WMSZ code of the edge or corner being moved, 0 none yet
  MINMAXINFO limits;
};

// The live window of that number, or null.
window_object* window_lookup(intptr_t number);
// The wait's wake mask for a platform version: all input and posted messages, and from
// Windows 8 (6.2) on pointer and touch input too. window_platform_wake_mask asks the
// platform for its version.
DWORD window_wake_mask(DWORD major_version, DWORD minor_version);
DWORD window_platform_wake_mask();
