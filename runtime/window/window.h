// Numbered top-level windows, the current gadget list, and drawing support.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"

// NOTE: the platform's headers define IGNORE as a macro for their serial-port calls; the
// runtime's own IGNORE takes its place here.
#ifdef IGNORE
#  undef IGNORE
#endif
constexpr int32_t IGNORE = -65535;

constexpr uint32_t WINDOW_CENTRE_SCREEN = 0x00000001;
constexpr uint32_t WINDOW_CENTRE_PARENT = 0x00000002;
constexpr uint32_t WINDOW_TOOL = 0x00000004;
constexpr uint32_t WINDOW_NO_GADGET_LIST = 0x00000008;
constexpr uint32_t WINDOW_INVISIBLE = 0x10000000;

#ifdef _WIN32
// Results by which message handlers and callbacks ask for default processing.
constexpr LRESULT NOT_HANDLED = static_cast<LRESULT>(static_cast<int32_t>(0xD0D0D0D1u));
constexpr LRESULT CALLBACK_DEFAULT = static_cast<LRESULT>(static_cast<int32_t>(0xE0E0E0E1u));

// For a fixed number the window handle (as a number), for OBJECT_ANY the dynamic number, 0 on failure.
intptr_t window_open(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                     uint32_t flags);
intptr_t window_open_owned(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                           uint32_t flags, HWND owner);
// Client sizes; IGNORE keeps a coordinate or size. SetWindowPos's result, 0 without a window;
// non-zero without a platform call when the window already has that geometry, or is
// minimised and everything is kept.
int32_t window_resize(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height);
void window_set_erase_around_gadgets(intptr_t number, int32_t state);
LRESULT window_erase_around_gadgets(HDC dc, HWND window);
void window_free(intptr_t number);
// The window's native handle, or 0.
HWND window_handle(intptr_t number);

void window_init();
void window_end();

// Makes window the current gadget list (the parent of new gadgets) and returns the
// previous one; with 0 it only returns the current one.
HWND gadget_list_use(HWND window);

// The subclass procedure that gadget_list_use installs: it drops the window's saved gadget
// list state when the window goes.
LRESULT CALLBACK gadget_list_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Commands of the two accelerators every window has, and the control identifier whose
// commands count as menu commands.
constexpr int32_t CMD_TAB_NEXT = 64001;
constexpr int32_t CMD_TAB_PREVIOUS = 64002;
constexpr int32_t COMMAND_AS_MENU_ID = -10000;

// The procedure of every window class: window_procedure, then the default processing.
LRESULT CALLBACK window_class_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Turns a message into events; NOT_HANDLED asks for the default processing.
LRESULT window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Hands a message about a control to its gadget's kind; NOT_HANDLED when no gadget takes it.
LRESULT gadget_forward_message(HWND control, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The accelerator table that the wait translates with for the active window, or none.
HACCEL window_accelerators_for(HWND active);
// show non-zero shows focus rectangles and keyboard underlines, 0 hides them.
void window_focus_cues(HWND window, int32_t show);
// Moves the focus to the next (backward 0) or previous tab stop of the active window.
void focus_move(int32_t backward);
// The runtime's own sizing while full-window dragging is on: 0 when it took the message,
// else NOT_HANDLED.
LRESULT window_sizing(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The optional AlphaBlend entry point of msimg32.dll, null when missing.
using alpha_blend_function = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
alpha_blend_function drawing_alpha_blend();
void drawing_support_init();
void drawing_support_end();
#endif  // _WIN32
