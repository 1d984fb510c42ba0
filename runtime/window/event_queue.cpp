// The queue of events that later waits deliver first, oldest first. Its nodes come from an
// unlocked block pool: queueing happens inside the window procedure as often as messages
// arrive, and must not touch the heap each time.
#include "runtime/core/pool.h"
#include "runtime/core/runtime.h"
#include "runtime/window/events.h"

namespace {

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

event_queue* queue;

constexpr int32_t NODE_BLOCK_MINIMUM = 16;
constexpr int32_t NODE_BLOCK_MAXIMUM = 256;

bool matches(intptr_t wanted, intptr_t value) { return wanted == -1 || wanted == value; }

// Unlinks every node for which drop() holds, keeping the others in their order.
template <class Predicate>
void remove_nodes(Predicate drop) {
  if (!queue) return;
  event_node* kept_tail = nullptr;
  event_node** link = &queue->head;
  while (event_node* node = *link) {
    if (drop(*node)) {
      *link = node->next;
      pool_free(queue->nodes, node);
    } else {
      kept_tail = node;
      link = &node->next;
    }
  }
  queue->tail = kept_tail;
}

}  // namespace

void event_queue_init() {
  queue = static_cast<event_queue*>(main_heap_alloc(sizeof(event_queue)));
  if (!queue) return;
  queue->nodes = pool_create(sizeof(event_node), NODE_BLOCK_MINIMUM, NODE_BLOCK_MAXIMUM, POOL_UNLOCKED);
  if (queue->nodes) queue->first_block_keeper = pool_alloc(queue->nodes);
}

void event_queue_add(int32_t code, intptr_t object, intptr_t window, int32_t type, intptr_t data,
                     event_data_release release) {
  if (!queue || !queue->nodes || queue->suspended) return;
  // An event equal to the last one queued adds nothing: a burst of erases or moves of one
  // window comes back once. Only the tail is compared, so the order of different events stays.
  event_node* tail = queue->tail;
  if (tail && tail->code == code && tail->object == object && tail->window == window && tail->type == type) return;
  auto* node = static_cast<event_node*>(pool_alloc(queue->nodes));
  if (!node) return;
  *node = event_node{nullptr, code, object, window, type, data, release};
  if (tail) {
    tail->next = node;
  } else {
    queue->head = node;
  }
  queue->tail = node;
}

void event_post(int32_t code, intptr_t object, intptr_t window, int32_t type) {
  event_queue_add(code, object, window, type, 0, nullptr);
}

int32_t event_queue_take() {
  window_library_record* library = window_library();
  if (!queue || !queue->head || !library) return 0;
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
  pool_free(queue->nodes, node);
  return code;
}

void event_queue_remove_window(intptr_t window) {
  remove_nodes([window](const event_node& node) { return node.window == window; });
}

void event_queue_remove_matching(int32_t code, intptr_t object, intptr_t window, int32_t type) {
  remove_nodes([=](const event_node& node) {
    return matches(code, node.code) && matches(object, node.object) && matches(window, node.window) &&
           matches(type, node.type);
  });
}

int32_t event_queue_length() {
  int32_t length = 0;
  if (queue)
    for (const event_node* node = queue->head; node; node = node->next) ++length;
  return length;
}
