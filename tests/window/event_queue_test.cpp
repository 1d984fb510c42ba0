#include <gtest/gtest.h>

#include <vector>

#include "tests/test_runtime.h"

namespace {

using queued = test_runtime::event_seen;
using test_runtime::take_queued;

class EventQueue : public test_runtime::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
#ifndef _WIN32
    // Natively the start-up runs no window library; the queue and its record are made here.
    event_queue_init();
    window_library_create();
#endif
    library = window_library();
    ASSERT_NE(nullptr, library);
    take_queued();
  }
  void post(const queued& e) { event_post(e.code, e.object, e.window, e.type); }

  window_library_record* library = nullptr;
};

intptr_t released_data;
void remember_release(intptr_t data) { released_data = data; }
void other_release(intptr_t) {}

TEST_F(EventQueue, EqualEventsMergeOnlyWithTheLastOneQueued) {
  const queued repaint{EVENT_REPAINT, 0, 0, 0};
  const queued close{EVENT_CLOSE_WINDOW, 0, 0, 0};
  post(repaint);
  post(repaint);
  post(close);
  post(repaint);
  post(repaint);
  EXPECT_EQ((std::vector<queued>{repaint, close, repaint}), take_queued());

  // Events that differ in any one field are different events.
  const queued differing[] = {{EVENT_GADGET, 1, 0, 0},
                              {EVENT_MENU, 1, 0, 0},
                              {EVENT_MENU, 2, 0, 0},
                              {EVENT_MENU, 2, 1, 0},
                              {EVENT_MENU, 2, 1, 3}};
  for (const queued& e : differing) post(e);
  EXPECT_EQ(std::vector<queued>(std::begin(differing), std::end(differing)), take_queued());
}

TEST_F(EventQueue, TakeFillsTheWorkingRecordAndKeepsTheFirstDataOfMergedEvents) {
  event_queue_add(EVENT_GADGET, 7, 2, 1, 1234, remember_release);
  event_queue_add(EVENT_GADGET, 7, 2, 1, 5678, other_release);
  EXPECT_EQ(1, event_queue_length()) << "the second event merged";

  library->working.wparam = 99;
  EXPECT_EQ(EVENT_GADGET, event_queue_take());
  const event_record& w = library->working;
  EXPECT_EQ(7, w.object);
  EXPECT_EQ(2, w.window);
  EXPECT_EQ(1, w.type);
  EXPECT_EQ(1234, w.data) << "the merged event's data is dropped";
  EXPECT_EQ(&remember_release, w.data_release);
  EXPECT_EQ(99u, w.wparam) << "take leaves the message fields to the wait";

  // An empty queue gives 0 and leaves the record alone.
  EXPECT_EQ(0, event_queue_take());
  EXPECT_EQ(7, w.object);
  EXPECT_EQ(1234, w.data);

  // After the queue emptied, the same event is a new one, not a merge with a taken one.
  event_post(EVENT_GADGET, 7, 2, 1);
  EXPECT_EQ(1, event_queue_length());
  EXPECT_EQ(EVENT_GADGET, event_queue_take());
  EXPECT_EQ(0, library->working.data);
}

TEST_F(EventQueue, RemovingAWindowKeepsTheOthersInOrderAndTheTailRight) {
  post({EVENT_MOVE_WINDOW, 1, 1, 0});
  post({EVENT_REPAINT, 0, 0, 0});
  post({EVENT_SIZE_WINDOW, 0, 2, 0});
  post({EVENT_CLOSE_WINDOW, 0, 0, 0});
  event_queue_remove_window(0);
  EXPECT_EQ(2, event_queue_length());
  // The last node went: the tail must be the last one kept, so an equal event merges with it
  // and a new one comes after it.
  post({EVENT_SIZE_WINDOW, 0, 2, 0});
  post({EVENT_REPAINT, 0, 3, 0});
  EXPECT_EQ((std::vector<queued>{{EVENT_MOVE_WINDOW, 1, 1, 0}, {EVENT_SIZE_WINDOW, 0, 2, 0}, {EVENT_REPAINT, 0, 3, 0}}),
            take_queued());

  // Removing every event empties the queue, and it fills again from the start.
  post({EVENT_REPAINT, 0, 4, 0});
  post({EVENT_MOVE_WINDOW, 4, 4, 0});
  event_queue_remove_window(4);
  EXPECT_EQ(0, event_queue_length());
  EXPECT_EQ(0, event_queue_take());
  post({EVENT_MOVE_WINDOW, 4, 4, 0});
  EXPECT_EQ((std::vector<queued>{{EVENT_MOVE_WINDOW, 4, 4, 0}}), take_queued());

  // Window -1 (events of no program window) is a window number like any other here.
  post({EVENT_ACTIVATE_WINDOW, 0, -1, 0});
  post({EVENT_ACTIVATE_WINDOW, 0, 5, 0});
  event_queue_remove_window(-1);
  EXPECT_EQ((std::vector<queued>{{EVENT_ACTIVATE_WINDOW, 0, 5, 0}}), take_queued());
}

TEST_F(EventQueue, RemoveMatchingTakesMinusOneAsAnyValue) {
  const std::vector<queued> filled = {
      {EVENT_GADGET, 3, 0, 0}, {EVENT_GADGET, 4, 0, 0}, {EVENT_REPAINT, 0, 0, 0},
      {EVENT_GADGET, 3, 1, 2}, {EVENT_MENU, 3, 0, -1},  {EVENT_GADGET, 3, 0, 0},
  };
  struct row {
    queued pattern;
    std::vector<int> kept;  // indexes into filled
  } rows[] = {
      {{EVENT_GADGET, 3, -1, -1}, {1, 2, 4}},  // a gadget goes: its gadget events, any window, any type
      {{EVENT_GADGET, -1, -1, -1}, {2, 4}},
      {{-1, 3, -1, -1}, {1, 2}},
      {{EVENT_GADGET, 3, 1, 2}, {0, 1, 2, 4, 5}},
      {{EVENT_GADGET, 3, 0, 5}, {0, 1, 2, 3, 4, 5}},  // nothing matches
      {{-1, -1, -1, -1}, {}},
  };
  for (const row& r : rows) {
    for (const queued& e : filled) post(e);
    event_queue_remove_matching(r.pattern.code, r.pattern.object, r.pattern.window, r.pattern.type);
    std::vector<queued> expected;
    for (int i : r.kept) expected.push_back(filled[i]);
    EXPECT_EQ(expected, take_queued()) << "pattern " << r.pattern;
  }
  // The tail after removal: an event equal to the last kept one merges with it.
  post({EVENT_REPAINT, 0, 0, 0});
  post({EVENT_GADGET, 3, 0, 0});
  event_queue_remove_matching(EVENT_GADGET, 3, -1, -1);
  post({EVENT_REPAINT, 0, 0, 0});
  EXPECT_EQ((std::vector<queued>{{EVENT_REPAINT, 0, 0, 0}}), take_queued());
}

TEST_F(EventQueue, ManyEventsComeBackInOrderAcrossAllocatorBlocks) {
  // More than the largest block holds, twice over, so blocks are made, released and made again.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 600; ++i) event_post(EVENT_GADGET, i, round, 0);
    ASSERT_EQ(600, event_queue_length());
    for (int i = 0; i < 600; ++i) {
      ASSERT_EQ(EVENT_GADGET, event_queue_take()) << "event " << i;
      ASSERT_EQ(i, library->working.object) << "event " << i;
      ASSERT_EQ(round, library->working.window);
    }
    EXPECT_EQ(0, event_queue_take());
  }
}

TEST_F(EventQueue, EventGadgetReadsTheCurrentRecordOnly) {
  library->current.object = 42;
  library->working.object = 7;
  EXPECT_EQ(42, event_gadget());
}

}  // namespace
