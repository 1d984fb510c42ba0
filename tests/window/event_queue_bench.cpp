// The event queue against a std::deque of the same records doing the same work: each
// round queues a burst of different events (so none merge) and takes them all back, each
// taken event's fields copied into the window library's working record. Both sides write
// that one record in memory: a local record would let the compiler drop every copy but
// the one the sum reads.
#include <benchmark/benchmark.h>

#include <deque>

#include "runtime/core/runtime.h"
#include "runtime/window/events.h"

namespace {

struct queued_event {
  int32_t code;
  intptr_t object;
  intptr_t window;
  int32_t type;
  intptr_t data;
  event_data_release release;
};

void BM_EventQueue(benchmark::State& state) {
  runtime_start();
  event_queue_init();
  window_library_record* library = window_library_create();
  const int burst = static_cast<int>(state.range(0));
  intptr_t sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < burst; ++i) event_queue_add(EVENT_GADGET, i, 0, 0, 0, nullptr);
    while (event_queue_take()) sum += library->working.object;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * burst);
  runtime_end_libraries();
}

void BM_StdDeque(benchmark::State& state) {
  runtime_start();
  window_library_record* library = window_library_create();
  std::deque<queued_event> queue;
  event_record& working = library->working;
  const int burst = static_cast<int>(state.range(0));
  intptr_t sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < burst; ++i) {
      // The same tail comparison as the queue makes.
      if (!queue.empty()) {
        const queued_event& tail = queue.back();
        if (tail.code == EVENT_GADGET && tail.object == i && tail.window == 0 && tail.type == 0) continue;
      }
      queue.push_back(queued_event{EVENT_GADGET, i, 0, 0, 0, nullptr});
    }
    // Taken as event_queue_take takes: the code comes back, 0 once the queue is empty.
    auto take = [&]() -> int32_t {
      if (queue.empty()) return 0;
      const queued_event& head = queue.front();
      working.object = head.object;
      working.window = head.window;
      working.type = head.type;
      working.data = head.data;
      working.data_release = head.release;
      int32_t code = head.code;
      queue.pop_front();
      return code;
    };
    while (take()) sum += working.object;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * burst);
  runtime_end_libraries();
}

// Each pair runs back to back, so that the two sides of one ratio see the same load on a
// shared machine.
BENCHMARK(BM_EventQueue)->Arg(4);
BENCHMARK(BM_StdDeque)->Arg(4);
BENCHMARK(BM_EventQueue)->Arg(64);
BENCHMARK(BM_StdDeque)->Arg(64);
BENCHMARK(BM_EventQueue)->Arg(1024);
BENCHMARK(BM_StdDeque)->Arg(1024);

}  // namespace
