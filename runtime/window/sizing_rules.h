// The arithmetic of the runtime's own window sizing: how a pointer position moves the edge
// being dragged, and how the arrow keys pick an edge or corner. Plain values in and out.
#pragma once

#include <cstdint>

// Edge codes, as the platform numbers the edges and corners of a sizing (WMSZ_*).
constexpr int32_t SIZING_EDGE_NONE = 0;
constexpr int32_t SIZING_EDGE_LEFT = 1;
constexpr int32_t SIZING_EDGE_RIGHT = 2;
constexpr int32_t SIZING_EDGE_TOP = 3;
constexpr int32_t SIZING_EDGE_TOP_LEFT = 4;
constexpr int32_t SIZING_EDGE_TOP_RIGHT = 5;
constexpr int32_t SIZING_EDGE_BOTTOM = 6;
constexpr int32_t SIZING_EDGE_BOTTOM_LEFT = 7;
constexpr int32_t SIZING_EDGE_BOTTOM_RIGHT = 8;

// System cursor identifiers that a keyboard sizing shows.
constexpr int32_t SIZING_CURSOR_NWSE = 32642;
constexpr int32_t SIZING_CURSOR_NESW = 32643;
constexpr int32_t SIZING_CURSOR_WE = 32644;
constexpr int32_t SIZING_CURSOR_NS = 32645;
constexpr int32_t SIZING_CURSOR_ALL = 32646;

// Virtual key codes of the arrow keys.
constexpr int32_t SIZING_KEY_LEFT = 37;
constexpr int32_t SIZING_KEY_UP = 38;
constexpr int32_t SIZING_KEY_RIGHT = 39;
constexpr int32_t SIZING_KEY_DOWN = 40;

// Screen coordinates of the window being formed (same layout as the platform's RECT).
struct sizing_box {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// The window's smallest and largest outer size.
struct sizing_track {
  int32_t min_width;
  int32_t min_height;
  int32_t max_width;
  int32_t max_height;
};

// Moves the edge or corner being dragged to the point (x, y), held within the size limits.
// A corner applies its horizontal rule first. Edge 0 changes nothing.
void sizing_apply_point(sizing_box& box, int32_t edge, int32_t x, int32_t y, const sizing_track& track);

// What one arrow key does during a sizing: either it picks an edge or corner and places the
// cursor on it (the window does not change), or it moves the pointer 10 pixels.
struct sizing_arrow_step {
  int32_t edge;       // the edge after the key
  bool place_cursor;  // true: the key chose an edge; set the cursor to (x, y) and show cursor_id
  int32_t x;          // the cursor's new position
  int32_t y;
  int32_t cursor_id;  // system cursor to show when place_cursor is true
};

// key: one of the SIZING_KEY_* codes; (x, y): the present cursor position.
sizing_arrow_step sizing_arrow_key(int32_t edge, int32_t key, const sizing_box& box, int32_t x, int32_t y);
