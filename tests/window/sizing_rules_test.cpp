#include <gtest/gtest.h>

#include "runtime/window/sizing_rules.h"

// Found by argument lookup, so beside the record's own namespace.
static bool operator==(const sizing_box& a, const sizing_box& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const sizing_box& b) {
  return out << "(" << b.left << ", " << b.top << ", " << b.right << ", " << b.bottom << ")";
}

namespace {

const sizing_box start{100, 50, 400, 350};  // 300 x 300
const sizing_track limits{120, 80, 500, 450};

TEST(SizingPointRule, MovesTheDraggedEdgeWithinTheLimits) {
  struct row {
    int32_t edge;
    int32_t x, y;
    sizing_box expected;
    const char* what;
  } rows[] = {
      {SIZING_EDGE_LEFT, 150, 0, {150, 50, 400, 350}, "left edge follows x"},
      {SIZING_EDGE_LEFT, 390, 0, {280, 50, 400, 350}, "left edge stops at right - minimum width"},
      {SIZING_EDGE_LEFT, -300, 0, {-100, 50, 400, 350}, "left edge stops at right - maximum width"},
      {SIZING_EDGE_RIGHT, 500, 0, {100, 50, 502, 350}, "right edge is two pixels beyond the point"},
      {SIZING_EDGE_RIGHT, 0, 0, {100, 50, 220, 350}, "right edge stops at left + minimum width"},
      {SIZING_EDGE_RIGHT, 900, 0, {100, 50, 600, 350}, "right edge stops at left + maximum width"},
      {SIZING_EDGE_TOP, 0, 100, {100, 100, 400, 350}, "top edge follows y"},
      {SIZING_EDGE_TOP, 0, 349, {100, 270, 400, 350}, "top edge stops at bottom - minimum height"},
      {SIZING_EDGE_BOTTOM, 0, 10, {100, 50, 400, 130}, "bottom edge stops at top + minimum height"},
      {SIZING_EDGE_BOTTOM, 0, 700, {100, 50, 400, 500}, "bottom edge stops at top + maximum height"},
      {SIZING_EDGE_TOP_LEFT, 60, 40, {58, 38, 400, 350}, "top-left corner is two pixels before the point"},
      {SIZING_EDGE_TOP_RIGHT, 450, 40, {100, 40, 452, 350}, "top-right corner"},
      {SIZING_EDGE_BOTTOM_LEFT, 60, 400, {60, 50, 400, 402}, "bottom-left corner"},
      {SIZING_EDGE_BOTTOM_RIGHT, 0, 0, {100, 50, 220, 130}, "bottom-right corner held at the minimum on both axes"},
      {SIZING_EDGE_NONE, 10, 10, start, "no edge chosen yet: nothing moves"},
  };
  for (const row& r : rows) {
    sizing_box box = start;
    sizing_apply_point(box, r.edge, r.x, r.y, limits);
    EXPECT_EQ(r.expected, box) << r.what << " (edge " << r.edge << ")";
  }
}

TEST(SizingArrowKeys, PickEdgesAndCornersThenMoveTheirPointer) {
  struct row {
    int32_t edge, key;
    int32_t edge_after;
    bool placed;
    int32_t x, y;
    int32_t cursor;
  } rows[] = {
      {SIZING_EDGE_NONE, SIZING_KEY_LEFT, SIZING_EDGE_LEFT, true, 100, 200, SIZING_CURSOR_WE},
      {SIZING_EDGE_TOP, SIZING_KEY_LEFT, SIZING_EDGE_TOP_LEFT, true, 102, 52, SIZING_CURSOR_NWSE},
      {SIZING_EDGE_BOTTOM, SIZING_KEY_LEFT, SIZING_EDGE_BOTTOM_LEFT, true, 100, 348, SIZING_CURSOR_NESW},
      {SIZING_EDGE_NONE, SIZING_KEY_UP, SIZING_EDGE_TOP, true, 250, 50, SIZING_CURSOR_NS},
      {SIZING_EDGE_RIGHT, SIZING_KEY_UP, SIZING_EDGE_TOP_RIGHT, true, 398, 50, SIZING_CURSOR_NESW},
      {SIZING_EDGE_LEFT, SIZING_KEY_UP, SIZING_EDGE_TOP_LEFT, true, 102, 52, SIZING_CURSOR_NWSE},
      {SIZING_EDGE_NONE, SIZING_KEY_RIGHT, SIZING_EDGE_RIGHT, true, 398, 200, SIZING_CURSOR_WE},
      {SIZING_EDGE_TOP, SIZING_KEY_RIGHT, SIZING_EDGE_TOP_RIGHT, true, 398, 50, SIZING_CURSOR_NESW},
      {SIZING_EDGE_BOTTOM, SIZING_KEY_RIGHT, SIZING_EDGE_BOTTOM_RIGHT, true, 398, 348, SIZING_CURSOR_NWSE},
      {SIZING_EDGE_NONE, SIZING_KEY_DOWN, SIZING_EDGE_BOTTOM, true, 250, 348, SIZING_CURSOR_NS},
      {SIZING_EDGE_RIGHT, SIZING_KEY_DOWN, SIZING_EDGE_BOTTOM_RIGHT, true, 398, 348, SIZING_CURSOR_NWSE},
      {SIZING_EDGE_LEFT, SIZING_KEY_DOWN, SIZING_EDGE_BOTTOM_LEFT, true, 100, 348, SIZING_CURSOR_NESW},
      // An edge that is already chosen: the key moves the pointer 10 pixels its way.
      {SIZING_EDGE_LEFT, SIZING_KEY_LEFT, SIZING_EDGE_LEFT, false, 240, 200, 0},
      {SIZING_EDGE_BOTTOM, SIZING_KEY_UP, SIZING_EDGE_BOTTOM, false, 250, 190, 0},
      {SIZING_EDGE_BOTTOM_RIGHT, SIZING_KEY_RIGHT, SIZING_EDGE_BOTTOM_RIGHT, false, 260, 200, 0},
      {SIZING_EDGE_TOP_LEFT, SIZING_KEY_DOWN, SIZING_EDGE_TOP_LEFT, false, 250, 210, 0},
      {SIZING_EDGE_RIGHT, SIZING_KEY_RIGHT, SIZING_EDGE_RIGHT, false, 260, 200, 0},
  };
  for (const row& r : rows) {
    sizing_arrow_step step = sizing_arrow_key(r.edge, r.key, start, 250, 200);
    EXPECT_EQ(r.edge_after, step.edge) << "edge " << r.edge << ", key " << r.key;
    EXPECT_EQ(r.placed, step.place_cursor) << "edge " << r.edge << ", key " << r.key;
    EXPECT_EQ(r.x, step.x) << "edge " << r.edge << ", key " << r.key;
    EXPECT_EQ(r.y, step.y) << "edge " << r.edge << ", key " << r.key;
    if (r.placed) {
      EXPECT_EQ(r.cursor, step.cursor_id) << "edge " << r.edge << ", key " << r.key;
    }
  }
}

// Wherever a key places the pointer on a newly chosen edge, a mouse move reported there
// must leave the window as it is; otherwise the first move after the key would jump.
TEST(SizingArrowKeys, APlacedPointerMapsBackToTheSameRectangle) {
  const sizing_track wide{1, 1, 10000, 10000};
  for (int32_t edge = SIZING_EDGE_NONE; edge <= SIZING_EDGE_BOTTOM_RIGHT; ++edge) {
    for (int32_t key = SIZING_KEY_LEFT; key <= SIZING_KEY_DOWN; ++key) {
      sizing_arrow_step step = sizing_arrow_key(edge, key, start, 250, 200);
      if (!step.place_cursor) continue;
      sizing_box box = start;
      sizing_apply_point(box, step.edge, step.x, step.y, wide);
      EXPECT_EQ(start, box) << "edge " << edge << ", key " << key << " -> edge " << step.edge;
    }
  }
}

}  // namespace
