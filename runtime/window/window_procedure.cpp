// The procedure of every program window: the runtime's own sizing first, then the
// window's message callback, then the messages that become events. Whatever is left goes
// to the platform's default processing.
#include "runtime/gadget/gadget.h"
#include "runtime/window/window_object.h"

namespace {

constexpr char WINDOW_ID_PROPERTY[] = "QX_WindowID";
constexpr char FOCUS_PROPERTY[] = "QX_Focus";
constexpr char MDI_GADGET_PROPERTY[] = "QX_MDI_Gadget";
constexpr char GADGET_ID_PROPERTY[] = "QX_ID";

// Private messages of the runtime.
constexpr UINT MESSAGE_OBJECT_MOUSE = 12501;  // wParam: object, lParam: a mouse message number
constexpr UINT MESSAGE_WINDOW_DATA = 13105;   // lParam: data block
constexpr UINT MESSAGE_GADGET_DATA = 13106;   // wParam: gadget number, lParam: data block
constexpr UINT MESSAGE_TO_GADGET = 13120;     // forwarded to the gadget's handler

constexpr int32_t NO_WINDOW = -1;

struct program_window {
  intptr_t number;        // -1 when the message belongs to no program window
  window_object* object;  // null then
};

// The program window a message belongs to: the first window up the parent chain that
// carries a window number.
program_window find_program_window(HWND window) {
  for (HWND up = window; up; up = GetParent(up)) {
    if (auto id = reinterpret_cast<intptr_t>(GetPropA(up, WINDOW_ID_PROPERTY))) {
      intptr_t number = id - 1;
      return program_window{number, window_lookup(number)};
    }
  }
  return program_window{NO_WINDOW, nullptr};
}

BOOL CALLBACK send_system_colour_change(HWND child, LPARAM) {
  SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

void mark_event(int32_t code) { window_library()->working.pending_code = code; }

LRESULT on_size(HWND window, const program_window& program, WPARAM kind) {
  window_object* object = program.object;
  if (!object || window != object->handle) return 1;
  intptr_t number = program.number;
  switch (kind) {
    case SIZE_MINIMIZED:
      object->min_max_state = 1;
      event_post(EVENT_MINIMIZE_WINDOW, 0, number, 0);
      break;
    case SIZE_MAXIMIZED:
      // A maximised window is told of every later change of its size as maximised too (the
      // window manager settling its frame, the work area changing): only the first is the
      // change of state.
      if (object->min_max_state != 2) event_post(EVENT_MAXIMIZE_WINDOW, 0, number, 0);
      object->min_max_state = 2;
      event_post(EVENT_SIZE_WINDOW, 0, number, 0);
      break;
    case SIZE_RESTORED:
      if (object->min_max_state != 0) {
        object->min_max_state = 0;
        event_post(EVENT_RESTORE_WINDOW, 0, number, 0);
      }
      event_post(EVENT_SIZE_WINDOW, 0, number, 0);
      break;
    default: event_post(EVENT_SIZE_WINDOW, 0, number, 0); break;
  }
  return 0;
}

LRESULT on_activate(HWND window, const program_window& program, WPARAM wparam) {
  if (LOWORD(wparam)) {
    // Give the focus back to the control that had it when the window was left.
    if (auto focus = static_cast<HWND>(GetPropA(window, FOCUS_PROPERTY))) SetFocus(focus);
    event_post(EVENT_ACTIVATE_WINDOW, 0, program.number, 0);
  } else {
    SetPropA(window, FOCUS_PROPERTY, GetFocus());
    window_focus_cues(window, 0);
  }
  return 1;
}

LRESULT on_erase_background(HWND window, const program_window& program, HDC dc) {
  LRESULT result = NOT_HANDLED;
  if (window_object* object = program.object) {
    if (object->background_brush) {
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, object->background_brush);
      result = 1;
    } else if (window == object->handle && object->erase_routine) {
      result = object->erase_routine(dc, window);
    }
  }
  event_post(EVENT_REPAINT, 0, program.number, 0);
  return result;
}

LRESULT on_min_max_info(HWND window, const program_window& program, MINMAXINFO* info) {
  window_object* object = program.object;
  if (!object || !info) return NOT_HANDLED;
  if (object->min_width) {
    info->ptMinTrackSize.x = object->min_width;
  } else if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) {
    info->ptMinTrackSize.x = 1;
  }
  if (object->min_height) info->ptMinTrackSize.y = object->min_height;
  if (object->max_width) info->ptMaxTrackSize.x = object->max_width;
  if (object->max_height) info->ptMaxTrackSize.y = object->max_height;
  return 0;
}

LRESULT on_command(HWND window, WPARAM wparam, LPARAM lparam) {
  auto control = reinterpret_cast<HWND>(lparam);
  if (gadget_forward_message(control, window, WM_COMMAND, wparam, lparam) != NOT_HANDLED) return 0;
  event_record& working = window_library()->working;
  if (control) {
    working.pending_code = EVENT_GADGET;
    working.type = HIWORD(wparam);
    working.object = GetWindowLongPtrA(control, GWLP_ID);
    if (working.object == COMMAND_AS_MENU_ID) {
      working.object = LOWORD(wparam);
      working.pending_code = EVENT_MENU;
    }
  } else if (HIWORD(wparam) == 0) {  // NOLINT(bugprone-branch-clone): the last branch too; tab keys come between
    working.object = LOWORD(wparam);
    working.pending_code = EVENT_MENU;
  } else if (LOWORD(wparam) == CMD_TAB_NEXT) {
    focus_move(0);
  } else if (LOWORD(wparam) == CMD_TAB_PREVIOUS) {
    focus_move(1);
  } else {
    working.object = LOWORD(wparam);
    working.pending_code = EVENT_MENU;
  }
  return 0;
}

LRESULT on_object_mouse(HWND window, const program_window& program, WPARAM wparam, LPARAM lparam) {
  int32_t type = -1;
  switch (lparam) {
    case WM_LBUTTONDOWN: type = 0; break;
    case WM_RBUTTONDOWN: type = 1; break;
    case WM_LBUTTONDBLCLK: type = 2; break;
    case WM_RBUTTONDBLCLK: type = 3; break;
    default: break;
  }
  if (type >= 0) event_post(EVENT_ICON, static_cast<intptr_t>(wparam), program.number, type);
  // Wakes a wait that is blocked in the message retrieval, so the event is seen at once.
  PostMessageA(window, WM_NULL, 0, 0);
  return 0;
}

// A data block replaces one that no wait has released yet; the older one is released
// here, since nothing else holds it.
void hold_data_block(LPARAM lparam) {
  window_library_record* library = window_library();
  auto* block = reinterpret_cast<window_data_block*>(lparam);
  if (library->held_block != block) window_release_held_block(library);
  library->held_block = block;
}

}  // namespace

LRESULT gadget_forward_message(HWND control, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!control) return NOT_HANDLED;
  auto number = reinterpret_cast<intptr_t>(GetPropA(control, GADGET_ID_PROPERTY));
  if (number != GetWindowLongPtrA(control, GWLP_ID)) return NOT_HANDLED;
  gadget_record* gadget = gadget_lookup(number);
  // The gadget of that number must be this very control: a foreign control whose
  // identifier happens to be a gadget number (0 for one without properties) is no gadget.
  if (!gadget || gadget->window != control || !gadget->kind || !gadget->kind->message_handler) return NOT_HANDLED;
  return gadget->kind->message_handler(gadget, window, message, wparam, lparam);
}

LRESULT window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = window_sizing(window, message, wparam, lparam);
  if (result != NOT_HANDLED) return result;
  window_library_record* library = window_library();
  if (!library) return NOT_HANDLED;

  program_window program = find_program_window(window);
  window_message_callback callback = program.object && program.object->callback ? program.object->callback
                                                                                : library->global_callback;
  if (callback) {
    result = callback(window, message, wparam, lparam);
    if (result != CALLBACK_DEFAULT) return result;
  }
  library->working.window = program.number;
  window_object* object = program.object;

  switch (message) {
    case WM_MOVE:
    case WM_CLOSE:
      // The close box only reports; the window stays until the program frees it.
      if (object && window == object->handle)
        event_post(static_cast<int32_t>(message), program.number, program.number, 0);
      return 0;
    case WM_SIZE: return on_size(window, program, wparam);
    case WM_ACTIVATE: return on_activate(window, program, wparam);
    case WM_ERASEBKGND: return on_erase_background(window, program, reinterpret_cast<HDC>(wparam));
    case WM_SYSCOLORCHANGE:
      if (object && !object->mdi_client) EnumChildWindows(window, send_system_colour_change, 0);
      return NOT_HANDLED;
    case WM_GETMINMAXINFO: return on_min_max_info(window, program, reinterpret_cast<MINMAXINFO*>(lparam));
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (!header) return NOT_HANDLED;
      return gadget_forward_message(header->hwndFrom, window, message, wparam, lparam);
    }
    case WM_NCDESTROY: RemovePropA(window, FOCUS_PROPERTY); return 1;
    case WM_COMMAND: return on_command(window, wparam, lparam);
    case WM_TIMER:
      if (!object) return NOT_HANDLED;
      mark_event(EVENT_TIMER);
      library->working.object = static_cast<intptr_t>(wparam);
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case MESSAGE_TO_GADGET:
      return gadget_forward_message(reinterpret_cast<HWND>(lparam), window, message, wparam, lparam);
    case MESSAGE_OBJECT_MOUSE: return on_object_mouse(window, program, wparam, lparam);
    case MESSAGE_WINDOW_DATA:
      mark_event(EVENT_WINDOW_DATA);
      hold_data_block(lparam);
      return 0;
    case MESSAGE_GADGET_DATA:
      mark_event(EVENT_GADGET_DATA);
      library->working.object = static_cast<intptr_t>(wparam);
      hold_data_block(lparam);
      return 0;
    default: return NOT_HANDLED;
  }
}

// A wide procedure (the class is registered wide): the platform's default processing is
// the wide one, which keeps and hands out the window's text as the characters it is.
LRESULT CALLBACK window_class_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = window_procedure(window, message, wparam, lparam);
  if (message != WM_SIZE) {
    if (auto mdi_client = static_cast<HWND>(GetPropA(window, MDI_GADGET_PROPERTY))) {
      bool frame_default = result == NOT_HANDLED || message == WM_SETFOCUS || message == WM_MENUCHAR ||
                           (message == WM_COMMAND && lparam == 0);
      return frame_default ? DefFrameProcW(window, mdi_client, message, wparam, lparam) : result;
    }
  }
  if (result != NOT_HANDLED) return result;
  SetLastError(0);
  return DefWindowProcW(window, message, wparam, lparam);
}
