// The queue of events that later waits deliver first, oldest first. Its nodes come from an
// unlocked block pool: queueing happens inside the window procedure as often as messages
// arrive, and must not touch the heap each time. Adding and taking are inline so that the
// window procedure and the wait pay no call for them. Included by events.h.
#pragma once

#include <cstdint>

#include "runtime/core/pool.h"

struct event_node {
  event_node* next;
  int32_t code;
  intptr_t object;
  intptr_t window;
  int32_t type;
  intptr_t data;
  event_data_release release;
};

struct event_queue {
  block_pool* nodes;
  event_node* head;
  event_node* tail;
  int32_t suspended;  // non-zero: nothing is added
  // Taken at start-up and never given back, so that the pool's first block stays for the
  // life of the process instead of coming and going with the first and last event.
  void* first_block_keeper;
};

// The queue, or null before event_queue_init.
extern event_queue* event_queue_state;

inline void event_queue_add(int32_t code, intptr_t object, intptr_t window, int32_t type, intptr_t data,
                            event_data_release release) {
  event_queue* queue = event_queue_state;
  if (!queue || !queue->nodes || queue->suspended) return;
  // An event equal to the last one queued adds nothing: a burst of erases or moves of one
  // window comes back once. Only the tail is compared, so the order of different events stays.
  event_node* tail = queue->tail;
  if (tail && tail->code == code && tail->object == object && tail->window == window && tail->type == type) return;
  // event_queue_init made the pool unlocked, so the lock test is left out here and in take.
  auto* node = static_cast<event_node*>(pool_alloc_unlocked(queue->nodes));
  if (!node) return;
  *node = event_node{nullptr, code, object, window, type, data, release};
  if (tail) {
    tail->next = node;
  } else {
    queue->head = node;
  }
  queue->tail = node;
}

inline void event_post(int32_t code, intptr_t object, intptr_t window, int32_t type) {
  event_queue_add(code, object, window, type, 0, nullptr);
}

// The oldest event's code, its fields copied into the working record; 0 when none.
inline int32_t event_queue_take() {
  event_queue* queue = event_queue_state;
  if (!queue || !queue->head) return 0;
  window_library_record* library = window_library();
  if (!library) return 0;
  event_node* node = queue->head;
  event_record& working = library->working;
  working.object = node->object;
  working.window = node->window;
  working.type = node->type;
  working.data = node->data;
  working.data_release = node->release;
  int32_t code = node->code;
  queue->head = node->next;
  if (!queue->head) queue->tail = nullptr;
  pool_free_unlocked(queue->nodes, node);
  return code;
}
