// The runtime as the library tests have it: started for each test, its libraries ended
// after it, and the queued events taken back as records.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "runtime/core/runtime.h"
#include "runtime/window/events.h"

namespace test_runtime {

// Each test starts the runtime and ends its libraries again.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { runtime_start(); }
  void TearDown() override { runtime_end_libraries(); }
};

// An event as a wait or the queue gave it back.
struct event_seen {
  int32_t code;
  intptr_t object;
  intptr_t window;
  int32_t type;
};

inline bool operator==(const event_seen& a, const event_seen& b) {
  return a.code == b.code && a.object == b.object && a.window == b.window && a.type == b.type;
}

inline std::ostream& operator<<(std::ostream& out, const event_seen& e) {
  return out << "{" << e.code << ", object " << e.object << ", window " << e.window << ", type " << e.type << "}";
}

inline std::ostream& operator<<(std::ostream& out, const std::vector<event_seen>& list) {
  out << "[";
  for (const event_seen& e : list) out << " " << e;
  return out << " ]";
}

// Takes every queued event, oldest first.
inline std::vector<event_seen> take_queued() {
  std::vector<event_seen> events;
  while (int32_t code = event_queue_take()) {
    const event_record& r = window_library()->working;
    events.push_back(event_seen{code, r.object, r.window, r.type});
  }
  return events;
}

}  // namespace test_runtime

#ifdef _WIN32
#  include "tests/rectangles.h"
#endif
