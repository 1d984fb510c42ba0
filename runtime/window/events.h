// Events: the codes that window_wait_event returns, the current event's record, and the
// queue of events that later waits deliver first.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"

#ifndef _WIN32
// The platform-free build of the queue has no window messages; these are the widths the
// platform gives a message's parameters, so the records keep their layout.
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
#endif

constexpr int32_t EVENT_NONE = 0;
constexpr int32_t EVENT_MOVE_WINDOW = 3;
constexpr int32_t EVENT_SIZE_WINDOW = 5;
constexpr int32_t EVENT_REPAINT = 15;
constexpr int32_t EVENT_CLOSE_WINDOW = 16;
constexpr int32_t EVENT_GADGET = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_ICON = 13102;
constexpr int32_t EVENT_ACTIVATE_WINDOW = 13104;
constexpr int32_t EVENT_WINDOW_DATA = 13105;
constexpr int32_t EVENT_GADGET_DATA = 13106;
constexpr int32_t EVENT_MINIMIZE_WINDOW = 13107;
constexpr int32_t EVENT_MAXIMIZE_WINDOW = 13108;
constexpr int32_t EVENT_RESTORE_WINDOW = 13109;
constexpr int32_t EVENT_TIMER = 13110;

using event_data_release = void (*)(intptr_t data);

// Object and window hold object numbers, which are as wide as an address; data and the
// message parameters are pointer-sized too.
struct event_record {
  intptr_t object;       // gadget number, menu command, timer identifier or window number
  intptr_t window;       // window number, or -1
  int32_t type;          // sub-kind of the event, -1 when none
  int32_t pending_code;  // immediate event marked by the window procedure during a dispatch
  WPARAM wparam;         // the retrieved message's parameters, for events that are message numbers
  LPARAM lparam;
  intptr_t data;  // a value that came with a queued event, 0 = none
  event_data_release data_release;
};

// A data block delivered with EVENT_WINDOW_DATA or EVENT_GADGET_DATA: a main-heap block
// whose inner buffer (0 = none), also from the main heap, follows five 32-bit fields.
struct window_data_block {
  int32_t header[5];
  void* buffer;
};

#ifdef _WIN32
// A message callback: anything but CALLBACK_DEFAULT takes the message entirely.
using window_message_callback = LRESULT(CALLBACK*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
#else
using window_message_callback = void*;  // no windows in the platform-free build
#endif

struct object_registry;
struct sizing_record;

// The window library's state: the event records that the wait fills and the accessors
// read, and the library's globals.
struct window_library_record {
  event_record working;                     // filled while a wait runs
  event_record current;                     // copied from the working record at the end of a wait; accessors read it
  window_message_callback global_callback;  // for windows without a callback of their own
  window_data_block* held_block;            // delivered with 13105 / 13106, released by the next wait
  object_registry* windows;                 // the window table
  sizing_record* sizing;                    // the one window sizing of the program
  HANDLE class_icon;                        // icon and cursor of every window class
  HANDLE class_cursor;
  DWORD wake_mask;  // the input that ends the wait's sleep, chosen for the platform at start
};

// Makes the zeroed record (window_init does this at start-up) and returns it.
window_library_record* window_library_create();
// The record, or null before the library started.
extern window_library_record* window_library_state;
inline window_library_record* window_library() { return window_library_state; }
// Frees the held data block and its inner buffer, if any.
void window_release_held_block(window_library_record* library);

// Waits up to timeout ms (-1 without limit, 0 not at all) and returns one event code.
int32_t window_wait_event(int32_t timeout);
// The object of the current event (a gadget number after EVENT_GADGET).
intptr_t event_gadget();

void event_queue_init();
// Queued events (for tests and diagnostics).
int32_t event_queue_length();
// event_queue_add, event_post and event_queue_take are inline, below: the window
// procedure queues as often as messages arrive, and the wait takes each one back.
void event_queue_remove_window(intptr_t window);
// -1 in any argument matches any value.
void event_queue_remove_matching(int32_t code, intptr_t object, intptr_t window, int32_t type);

#include "runtime/window/event_queue.h"
