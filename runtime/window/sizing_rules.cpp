#include "runtime/window/sizing_rules.h"

namespace {

bool edge_is_one_of(int32_t edge, int32_t a, int32_t b, int32_t c) { return edge == a || edge == b || edge == c; }

struct arrow_row {
  int32_t key;
  int32_t edge_before;
  int32_t edge_after;
  int32_t cursor_id;
};

// An arrow key on a sizing without an edge picks that side; on a side at right angles it
// makes the corner of the two.
constexpr arrow_row arrow_rows[] = {
    {SIZING_KEY_LEFT, SIZING_EDGE_NONE, SIZING_EDGE_LEFT, SIZING_CURSOR_WE},
    {SIZING_KEY_LEFT, SIZING_EDGE_TOP, SIZING_EDGE_TOP_LEFT, SIZING_CURSOR_NWSE},
    {SIZING_KEY_LEFT, SIZING_EDGE_BOTTOM, SIZING_EDGE_BOTTOM_LEFT, SIZING_CURSOR_NESW},
    {SIZING_KEY_UP, SIZING_EDGE_NONE, SIZING_EDGE_TOP, SIZING_CURSOR_NS},
    {SIZING_KEY_UP, SIZING_EDGE_RIGHT, SIZING_EDGE_TOP_RIGHT, SIZING_CURSOR_NESW},
    {SIZING_KEY_UP, SIZING_EDGE_LEFT, SIZING_EDGE_TOP_LEFT, SIZING_CURSOR_NWSE},
    {SIZING_KEY_RIGHT, SIZING_EDGE_NONE, SIZING_EDGE_RIGHT, SIZING_CURSOR_WE},
    {SIZING_KEY_RIGHT, SIZING_EDGE_TOP, SIZING_EDGE_TOP_RIGHT, SIZING_CURSOR_NESW},
    {SIZING_KEY_RIGHT, SIZING_EDGE_BOTTOM, SIZING_EDGE_BOTTOM_RIGHT, SIZING_CURSOR_NWSE},
    {SIZING_KEY_DOWN, SIZING_EDGE_NONE, SIZING_EDGE_BOTTOM, SIZING_CURSOR_NS},
    {SIZING_KEY_DOWN, SIZING_EDGE_RIGHT, SIZING_EDGE_BOTTOM_RIGHT, SIZING_CURSOR_NWSE},
    {SIZING_KEY_DOWN, SIZING_EDGE_LEFT, SIZING_EDGE_BOTTOM_LEFT, SIZING_CURSOR_NESW},
};

// Where the cursor goes when an edge is picked: on the moving edge, two pixels inside on
// the right and bottom because a point there maps back to the same edge (R = x + 2).
void cursor_for_edge(int32_t edge, const sizing_box& box, int32_t& x, int32_t& y) {
  switch (edge) {
    case SIZING_EDGE_LEFT: x = box.left; break;
    case SIZING_EDGE_RIGHT: x = box.right - 2; break;
    case SIZING_EDGE_TOP: y = box.top; break;
    case SIZING_EDGE_BOTTOM: y = box.bottom - 2; break;
    case SIZING_EDGE_TOP_LEFT:
      x = box.left + 2;
      y = box.top + 2;
      break;
    case SIZING_EDGE_TOP_RIGHT:
      x = box.right - 2;
      y = box.top;
      break;
    case SIZING_EDGE_BOTTOM_LEFT:
      x = box.left;
      y = box.bottom - 2;
      break;
    case SIZING_EDGE_BOTTOM_RIGHT:
      x = box.right - 2;
      y = box.bottom - 2;
      break;
    default: break;
  }
}

}  // namespace

namespace {

// The span an edge may leave between itself and the opposite edge: raised to the minimum
// when below it, else lowered to the maximum when above it.
int32_t allowed_span(int32_t span, int32_t minimum, int32_t maximum) {
  if (span < minimum) return minimum;
  if (span > maximum) return maximum;
  return span;
}

}  // namespace

void sizing_apply_point(sizing_box& box, int32_t edge, int32_t x, int32_t y, const sizing_track& track) {
  if (edge_is_one_of(edge, SIZING_EDGE_LEFT, SIZING_EDGE_TOP_LEFT, SIZING_EDGE_BOTTOM_LEFT)) {
    box.left = edge == SIZING_EDGE_TOP_LEFT ? x - 2 : x;
    box.left = box.right - allowed_span(box.right - box.left, track.min_width, track.max_width);
  }
  if (edge_is_one_of(edge, SIZING_EDGE_RIGHT, SIZING_EDGE_TOP_RIGHT, SIZING_EDGE_BOTTOM_RIGHT)) {
    box.right = x + 2;
    box.right = box.left + allowed_span(box.right - box.left, track.min_width, track.max_width);
  }
  if (edge_is_one_of(edge, SIZING_EDGE_TOP, SIZING_EDGE_TOP_LEFT, SIZING_EDGE_TOP_RIGHT)) {
    box.top = edge == SIZING_EDGE_TOP_LEFT ? y - 2 : y;
    box.top = box.bottom - allowed_span(box.bottom - box.top, track.min_height, track.max_height);
  }
  if (edge_is_one_of(edge, SIZING_EDGE_BOTTOM, SIZING_EDGE_BOTTOM_LEFT, SIZING_EDGE_BOTTOM_RIGHT)) {
    box.bottom = y + 2;
    box.bottom = box.top + allowed_span(box.bottom - box.top, track.min_height, track.max_height);
  }
}

sizing_arrow_step sizing_arrow_key(int32_t edge, int32_t key, const sizing_box& box, int32_t x, int32_t y) {
  for (const arrow_row& row : arrow_rows) {
    if (row.key != key || row.edge_before != edge) continue;
    sizing_arrow_step step{row.edge_after, true, x, y, row.cursor_id};
    cursor_for_edge(row.edge_after, box, step.x, step.y);
    return step;
  }
  sizing_arrow_step step{edge, false, x, y, 0};
  switch (key) {
    case SIZING_KEY_LEFT: step.x -= 10; break;
    case SIZING_KEY_UP: step.y -= 10; break;
    case SIZING_KEY_RIGHT: step.x += 10; break;
    case SIZING_KEY_DOWN: step.y += 10; break;
    default: break;
  }
  return step;
}
