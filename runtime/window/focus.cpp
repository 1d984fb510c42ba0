// Keyboard focus: which accelerator table the wait translates with, the focus cues, and
// moving the focus between tab stops for Tab and Shift+Tab.
#include <cstring>

#include "runtime/window/window_object.h"

#ifndef EM_GETOPTIONS
#  define EM_GETOPTIONS (WM_USER + 78)
#endif
#ifndef ECO_READONLY
#  define ECO_READONLY 0x00000800
#endif

namespace {

constexpr char WINDOW_ID_PROPERTY[] = "QX_WindowID";
constexpr char HOTKEY_PROPERTY[] = "QX_Hotkey";
// Both focus-cue flags: focus rectangles and keyboard underlines.
constexpr WORD BOTH_CUES = UISF_HIDEFOCUS | UISF_HIDEACCEL;

bool key_down(int key) { return (GetKeyState(key) & 0x80) != 0; }

// A writable rich edit control takes the Tab key itself.
bool rich_edit_takes_tab(HWND focus) {
  if (!key_down(VK_TAB) || key_down(VK_CONTROL) || key_down(VK_SHIFT) || key_down(VK_MENU)) return false;
  char class_name[5];
  if (!GetClassNameA(focus, class_name, sizeof class_name)) return false;
  return std::strncmp(class_name, "Rich", 4) == 0 && !(SendMessageA(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
}

bool is_tab_stop(HWND window) {
  return IsWindowEnabled(window) && IsWindowVisible(window) && (GetWindowLongA(window, GWL_STYLE) & WS_TABSTOP);
}

struct tab_walk {
  HWND current;  // the control that has the focus, or none
  bool backward;
  bool current_seen;
  HWND first;   // first tab stop met
  HWND last;    // last tab stop met (so far)
  HWND target;  // where the focus goes, once found
};

BOOL CALLBACK visit_tab_stop(HWND window, LPARAM parameter) {
  auto& walk = *reinterpret_cast<tab_walk*>(parameter);
  if (!is_tab_stop(window)) return TRUE;
  if (!walk.first) walk.first = window;
  if (walk.backward) {
    if (window == walk.current && walk.last) {
      walk.target = walk.last;
      return FALSE;
    }
  } else if (!walk.current || walk.current_seen) {
    walk.target = window;
    return FALSE;
  } else if (window == walk.current) {
    walk.current_seen = true;
  }
  walk.last = window;
  return TRUE;
}

// The control that counts as the present tab stop: a compound control (an extended combo
// box with an edit field, an IP address field) counts as one, whichever inner part has the
// focus. Inside an MDI child, the child is the root of the walk.
HWND present_tab_stop(HWND focus, HWND& root) {
  HWND current = focus;
  for (HWND window = focus; window; window = GetParent(window)) {
    char class_name[50];
    if (!GetClassNameA(window, class_name, sizeof class_name)) continue;
    if (std::strcmp(class_name, "MDI_ChildClass") == 0) {
      root = window;
      if (window == focus) current = nullptr;
    } else if ((std::strcmp(class_name, "ComboBoxEx32") == 0 && (GetWindowLongA(window, GWL_STYLE) & 1)) ||
               std::strcmp(class_name, "SysIPAddress32") == 0) {
      current = window;
    }
  }
  return current;
}

}  // namespace

HACCEL window_accelerators_for(HWND active) {
  HWND focus = GetFocus();
  if (focus && rich_edit_takes_tab(focus)) return nullptr;
  if (active && (key_down(VK_CONTROL) || key_down(VK_SHIFT) || key_down(VK_MENU))) window_focus_cues(active, 1);
  // A control that takes every key itself (a hot-key field) gets Tab too.
  if (focus && GetPropA(focus, HOTKEY_PROPERTY)) return nullptr;
  if (!active) return nullptr;
  auto id = reinterpret_cast<intptr_t>(GetPropA(active, WINDOW_ID_PROPERTY));
  DWORD process = 0;
  if (!id || !GetWindowThreadProcessId(active, &process) || process != GetCurrentProcessId()) return nullptr;
  window_object* object = window_lookup(id - 1);
  return object ? object->accel_table : nullptr;
}

void window_focus_cues(HWND window, int32_t show) {
  auto state = static_cast<DWORD>(SendMessageA(window, WM_QUERYUISTATE, 0, 0));
  if (show) {
    if (state & BOTH_CUES) SendMessageA(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, BOTH_CUES), 0);
  } else if ((state & BOTH_CUES) != BOTH_CUES) {
    SendMessageA(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, BOTH_CUES), 0);
  }
}

void focus_move(int32_t backward) {
  HWND root = GetActiveWindow();
  HWND focus = GetFocus();
  HWND current = nullptr;
  if (root && focus && IsChild(root, focus)) current = present_tab_stop(focus, root);
  if (!root) return;

  tab_walk walk{current, backward != 0, false, nullptr, nullptr, nullptr};
  EnumChildWindows(root, visit_tab_stop, reinterpret_cast<LPARAM>(&walk));
  if (!walk.target) {
    if (walk.backward) {
      // From the first tab stop, or from none, Shift+Tab goes round to the last one.
      walk.target = walk.last;
    } else if (walk.current_seen) {
      // From the last tab stop, Tab goes round to the first one.
      walk.target = walk.first;
    }
  }
  if (walk.target) SetFocus(walk.target);
}
