// Waiting for the next event: queued events first, one per call; otherwise one message is
// retrieved (within the time-out), translated and dispatched, and the event that the
// window procedure marked for it, or else the message's own number, is returned.
#include "runtime/core/runtime.h"
#include "runtime/window/window_object.h"

// Windows 8's pointer and touch input: missing from the headers of an older target.
#ifndef QS_TOUCH
#  define QS_TOUCH 0x0800
#endif
#ifndef QS_POINTER
#  define QS_POINTER 0x1000
#endif

namespace {

constexpr UINT PEEK_REMOVE_NO_YIELD = PM_REMOVE | PM_NOYIELD;
// Without Windows 8's input bits, whatever the target's headers count as all input.
constexpr DWORD WAKE_ON_ANY_INPUT = (QS_ALLINPUT | QS_ALLPOSTMESSAGE) & ~(QS_TOUCH | QS_POINTER);
constexpr int32_t WAIT_WITHOUT_LIMIT = -1;

// One message into msg; false when none came within the time-out.
bool get_message(MSG& msg, int32_t timeout, DWORD wake_mask) {
  if (timeout == WAIT_WITHOUT_LIMIT) {
    // Its failure and WM_QUIT are handed on like any message.
    GetMessageA(&msg, nullptr, 0, 0);
    return true;
  }
  if (PeekMessageA(&msg, nullptr, 0, 0, PEEK_REMOVE_NO_YIELD)) return true;
  if (timeout == 0) return false;
  // One wait only: a wake-up whose message cannot be taken here ends the call early.
  if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), wake_mask) == WAIT_TIMEOUT)
    return false;
  return PeekMessageA(&msg, nullptr, 0, 0, PEEK_REMOVE_NO_YIELD) != 0;
}

void release_previous_event(window_library_record& library) {
  event_record& current = library.current;
  if (current.data && current.data_release) {
    current.data_release(current.data);
    current.data = 0;
    current.data_release = nullptr;
  }
  window_release_held_block(&library);
}

}  // namespace

DWORD window_wake_mask(DWORD major_version, DWORD minor_version) {
  const bool has_pointer_input = major_version > 6 || (major_version == 6 && minor_version >= 2);
  return has_pointer_input ? WAKE_ON_ANY_INPUT | QS_TOUCH | QS_POINTER : WAKE_ON_ANY_INPUT;
}

// NOTE: from Windows 8 on, touch and pen arrive first as pointer messages, which end the
// wait's sleep only with the pointer and touch bits; Windows 7 refuses a mask with them.
// The version is the one the manifest lets the program see; for this choice it is true
// on every platform (8.1 and later report at least 8 without a manifest, too).
DWORD window_platform_wake_mask() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return WAKE_ON_ANY_INPUT;
  return window_wake_mask(version.dwMajorVersion, version.dwMinorVersion);
}

int32_t window_wait_event(int32_t timeout) {
  window_library_record* library = window_library();
  if (!library) return 0;
  release_previous_event(*library);
  event_record& working = library->working;
  working.type = -1;
  working.pending_code = 0;
  working.data = 0;
  working.data_release = nullptr;

  int32_t result = event_queue_take();
  if (result) {
    working.pending_code = result;
    working.wparam = 0;
    working.lparam = 0;
  } else {
    MSG msg{};
    if (!get_message(msg, timeout, library->wake_mask ? library->wake_mask : WAKE_ON_ANY_INPUT)) return 0;
    HWND active = GetActiveWindow();
    HACCEL table = window_accelerators_for(active);
    if (table && TranslateAcceleratorA(active, table, &msg)) {
      if (active) window_focus_cues(active, 1);
    } else {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (working.pending_code) {
      result = working.pending_code;
      working.pending_code = 0;
    } else {
      result = static_cast<int32_t>(msg.message);
      working.wparam = msg.wParam;
      working.lparam = msg.lParam;
    }
  }
  library->current = working;
  return result;
}
