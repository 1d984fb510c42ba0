// Handing out and taking back an element of a pool against the C library's malloc and
// free of the same size, in one run so that the ratio compares like with like. The size
// is that of a queued event on a 64-bit build; the pool keeps one element out, as the
// event queue does, so that its first block stays between pairs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "runtime/core/pool.h"
#include "runtime/core/runtime.h"

namespace {

constexpr int32_t ELEMENT_SIZE = 56;
constexpr int BURST = 64;

void pool_pair(benchmark::State& state, uint32_t flags) {
  runtime_start();
  block_pool* pool = pool_create(ELEMENT_SIZE, 16, 256, flags);
  void* keeper = pool_alloc(pool);
  for (auto _ : state) {
    void* element = pool_alloc(pool);
    benchmark::DoNotOptimize(element);
    pool_free(pool, element);
  }
  pool_free(pool, keeper);
  pool_destroy(pool);
  runtime_end_libraries();
}

void BM_PoolAllocFree(benchmark::State& state) { pool_pair(state, POOL_UNLOCKED); }
BENCHMARK(BM_PoolAllocFree);

void BM_LockedPoolAllocFree(benchmark::State& state) { pool_pair(state, POOL_LOCKED); }
BENCHMARK(BM_LockedPoolAllocFree);

void BM_MallocFree(benchmark::State& state) {
  for (auto _ : state) {
    void* element = std::malloc(ELEMENT_SIZE);
    benchmark::DoNotOptimize(element);
    std::free(element);
  }
}
BENCHMARK(BM_MallocFree);

// A burst of queued events: 64 out, then 64 back, per iteration.
void BM_PoolBurst(benchmark::State& state) {
  runtime_start();
  block_pool* pool = pool_create(ELEMENT_SIZE, 16, 256, POOL_UNLOCKED);
  void* keeper = pool_alloc(pool);
  std::vector<void*> held(BURST);
  for (auto _ : state) {
    for (void*& element : held) element = pool_alloc(pool);
    benchmark::DoNotOptimize(held.data());
    for (void* element : held) pool_free(pool, element);
  }
  pool_free(pool, keeper);
  pool_destroy(pool);
  runtime_end_libraries();
}
BENCHMARK(BM_PoolBurst);

void BM_MallocBurst(benchmark::State& state) {
  std::vector<void*> held(BURST);
  for (auto _ : state) {
    for (void*& element : held) element = std::malloc(ELEMENT_SIZE);
    benchmark::DoNotOptimize(held.data());
    for (void* element : held) std::free(element);
  }
}
BENCHMARK(BM_MallocBurst);

}  // namespace
