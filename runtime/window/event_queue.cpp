// The queue of events that later waits deliver first, oldest first. Its nodes come from an
// unlocked block pool: queueing happens inside the window procedure as often as messages
// arrive, and must not touch the heap each time.
#include "runtime/core/pool.h"
#include "runtime/core/runtime.h"
#include "runtime/window/events.h"

event_queue* event_queue_state;

namespace {
event_queue*& queue = event_queue_state;

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
