// Gadgets: numbered controls inside the current gadget list window.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"
#include "runtime/core/registry.h"

constexpr int32_t GADGET_KIND_BUTTON = 1;
constexpr int32_t GADGET_KIND_IMAGE = 9;
constexpr int32_t GADGET_EVENT_RIGHT_CLICK = 1;
constexpr int32_t GADGET_EVENT_LEFT_DOUBLE_CLICK = 2;
constexpr int32_t GADGET_EVENT_RIGHT_DOUBLE_CLICK = 3;
constexpr int32_t GADGET_EVENT_DRAG_START = 14002;
// The size that every kind's record gives for itself.
constexpr int32_t GADGET_KIND_SIZE = 160;

struct gadget_record;

// Per-kind operations, filled the first time a gadget of the kind is made.
struct gadget_kind {
  int32_t type;
  int32_t size;
  // Messages the parent window receives on behalf of the control (WM_COMMAND, WM_NOTIFY ...).
  LRESULT (*message_handler)(gadget_record* gadget, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void (*free_hook)(gadget_record* gadget);
  intptr_t (*get_state)(gadget_record* gadget);
  intptr_t (*set_state)(gadget_record* gadget, intptr_t state);
  void* further[34];
};

struct gadget_record {
  HWND window;  // the control; 0 means the slot holds no gadget
  gadget_kind* kind;
  WNDPROC previous_procedure;
  // Image gadgets only.
  HANDLE image;        // the native image shown (borrowed)
  HBITMAP alpha_copy;  // premultiplied copy of a 32-bit picture, owned by the gadget
  int32_t dragging;
  int16_t press_x;
  int16_t press_y;
};

struct gadget_library_state {
  HWND current_list;    // the parent of new gadgets; set by gadget_list_use
  int32_t unread_word;  // cleared by gadget_register and gadget_list_use
  HFONT font;           // the stock GUI font
  HWND* stack;          // container stack, saved and restored by gadget_list_use
  int32_t depth;
  int32_t capacity;
  HWND aux_window;  // destroyed by gadget_end when set
  object_registry* table;
};

gadget_library_state* gadget_state();
// The live gadget of that number, or null.
gadget_record* gadget_lookup(intptr_t number);

void gadget_init();
void gadget_end();
void gadget_free(intptr_t number);
intptr_t gadget_register(intptr_t number, gadget_record* record, HWND control, gadget_kind* kind);
LRESULT CALLBACK gadget_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
intptr_t gadget_set_state(intptr_t number, intptr_t state);
// The gadget's text; an image gadget keeps it, undrawn, as its name for assistive tools
// and tells them that the name changed. 1 when set, 0 for an unknown number (or a long
// name without memory to convert it).
int32_t gadget_set_name(intptr_t number, const char* name);
HWND gadget_top_window(HWND control);
void gadget_post_event(HWND control, int32_t type);

// For a fixed number the control's handle (as a number), for OBJECT_ANY the dynamic number, 0 on failure.
intptr_t gadget_button(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                       uint32_t flags = 0);
intptr_t gadget_image(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, HANDLE image,
                      uint32_t flags = 0);

// The image gadget's procedure, between gadget_procedure and the "STATIC" class's own.
LRESULT CALLBACK image_gadget_procedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam);
// Renews the parent window's background under a control that does not cover it (no
// picture, an icon, or a picture with alpha).
void image_gadget_refresh_parent(gadget_record* gadget, HWND control);

// Alpha drawing of 32-bit pictures. Every routine does nothing (result 0) while the
// platform's AlphaBlend is missing.
// 1 for a 32-bit DIB section, or a 32-bit bitmap with any non-zero alpha byte; else 0.
int32_t bitmap_has_alpha(HANDLE handle);
// The bitmap's 32-bit pixels: its own memory (*copied 0), or a main-heap copy made with
// rows top-down (*copied 1, the caller frees it); null when they cannot be had.
void* bitmap_pixels32(HANDLE handle, int32_t* copied);
// A premultiplied 32-bit bottom-up copy of the bitmap, owned by the caller; 0 on failure.
// dc may be null: a memory device context is made for the copy.
HBITMAP alpha_copy_create(HANDLE handle, HDC dc);
// Blends the premultiplied bitmap onto dc; a width or height of 0 takes the bitmap's size,
// a null source makes a memory context. 1 when drawn.
int32_t alpha_draw(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, HBITMAP bitmap, HDC source,
                   uint8_t constant_alpha);
void alpha_delete(HBITMAP bitmap);
