#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "runtime/core/pool.h"
#include "tests/test_runtime.h"
#include "tests/test_time.h"

namespace {

using Pool = test_runtime::RuntimeTest;

int count_blocks(const pool_block* block) {
  int count = 0;
  const pool_block* previous = nullptr;
  for (; block; block = block->next) {
    EXPECT_EQ(previous, block->previous) << "back link of block " << count;
    previous = block;
    ++count;
  }
  return count;
}

// The block an element was handed out from, read from the slot's header.
const pool_block* block_of(const void* element) {
  return *reinterpret_cast<pool_block* const*>(static_cast<const char*>(element) - POOL_SLOT_HEADER);
}

std::vector<void*> take(block_pool* pool, int count) {
  std::vector<void*> elements;
  for (int i = 0; i < count; ++i) elements.push_back(pool_alloc(pool));
  return elements;
}

TEST_F(Pool, StrideIsElementPlusHeaderRoundedToTheHeaderAndModeOneLocks) {
  const struct {
    int32_t element;
    int32_t stride4;  // with 4-byte pointers (PE32)
    int32_t stride8;  // with 8-byte pointers
    uint32_t flags;
    uint32_t locked;
  } cases[] = {
      {28, 32, 40, 0, 0},
      {29, 36, 40, POOL_LOCKED, 1},
      {0, 4, 8, POOL_UNLOCKED, 0},
      {1, 8, 16, 3, 0},
      {4, 8, 16, 8 | POOL_LOCKED, 1},
      {32, 36, 40, 0, 0},
      {33, 40, 48, 0, 0},
      {64, 68, 72, 0, 0},
  };
  for (const auto& c : cases) {
    block_pool* pool = pool_create(c.element, 16, 256, c.flags);
    ASSERT_NE(nullptr, pool) << "element " << c.element;
    EXPECT_EQ(sizeof(void*) == 4 ? c.stride4 : c.stride8, pool->stride) << "element " << c.element;
    EXPECT_EQ(c.locked, pool->locked) << "flags " << c.flags;
    void* element = pool_alloc(pool);
    EXPECT_NE(nullptr, element) << "flags " << c.flags;
    pool_free(pool, element);
    EXPECT_EQ(0, pool->total) << "flags " << c.flags << ": the emptied block is released";
    pool_destroy(pool);
  }
}

TEST_F(Pool, SeventeenthElementMakesASecondBlockAndEmptiedBlocksAreReleased) {
  // 29 bytes leave room for the stride's rounding: each element is written over its full
  // size, and a slot overlapping its neighbour or its header shows as a changed pattern
  // or a lost block link.
  block_pool* pool = pool_create(29, 16, 256, POOL_UNLOCKED);
  ASSERT_NE(nullptr, pool);
  std::vector<void*> elements = take(pool, 16);
  ASSERT_NE(nullptr, elements[0]);
  const pool_block* first = block_of(elements[0]);
  EXPECT_EQ(16, first->capacity);
  EXPECT_EQ(nullptr, pool->available) << "the 16th element fills the block";
  EXPECT_EQ(first, pool->full);

  elements.push_back(pool_alloc(pool));
  EXPECT_EQ(32, pool->total);
  ASSERT_NE(nullptr, pool->available);
  EXPECT_NE(first, pool->available);
  for (int i = 0; i < 17; ++i) {
    ASSERT_NE(nullptr, elements[i]) << "element " << i;
    std::memset(elements[i], i + 1, 29);
  }
  EXPECT_EQ(pool->available, block_of(elements[16]));
  // Sixteen consecutive slots of one block, each element behind its header.
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(first, block_of(elements[i])) << "element " << i;
    if (i) {
      EXPECT_EQ(pool->stride, static_cast<char*>(elements[i]) - static_cast<char*>(elements[i - 1])) << i;
    }
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(elements[i]) % sizeof(void*)) << "element " << i << " aligned";
  }
  // The full first block empties out of order and goes at its last return, the second
  // once its one element is back.
  for (int i : {7, 0, 15, 3, 1, 2, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 16}) {
    for (int b = 0; b < 29; ++b)
      ASSERT_EQ(i + 1, static_cast<unsigned char*>(elements[i])[b]) << "element " << i << " byte " << b;
    EXPECT_EQ(i == 16 ? 16 : 32, pool->total) << "before element " << i << " is back";
    pool_free(pool, elements[i]);
  }
  EXPECT_EQ(0, pool->total);
  EXPECT_EQ(nullptr, pool->available);
  EXPECT_EQ(nullptr, pool->full);
  EXPECT_NE(nullptr, pool_alloc(pool)) << "an emptied pool starts over with a fresh block";
  EXPECT_EQ(16, pool->total);
  pool_destroy(pool);
}

// A block leaves the full list from its head, middle or end for the head of the available
// list, and hands the returned slot out next; the same whether the pool is locked or not.
TEST_F(Pool, FullBlocksLeaveTheFullListFromAnyPlaceAndTheirSlotIsReusedNext) {
  for (uint32_t flags : {POOL_UNLOCKED, POOL_LOCKED}) {
    SCOPED_TRACE(flags == POOL_LOCKED ? "locked" : "unlocked");
    block_pool* pool = pool_create(24, 16, 256, flags);
    ASSERT_NE(nullptr, pool);
    std::vector<void*> elements = take(pool, 49);
    const pool_block* blocks[4] = {block_of(elements[0]), block_of(elements[16]), block_of(elements[32]),
                                   block_of(elements[48])};
    ASSERT_EQ(3, count_blocks(pool->full));
    ASSERT_EQ(blocks[2], pool->full);

    pool_free(pool, elements[40]);  // the head of the full list
    EXPECT_EQ(blocks[2], pool->available);
    EXPECT_EQ(blocks[3], pool->available->next);
    EXPECT_EQ(blocks[1], pool->full);
    EXPECT_EQ(1, blocks[2]->free_count);
    EXPECT_EQ(elements[40], pool_alloc(pool)) << "exactly the returned slot";
    EXPECT_EQ(blocks[2], pool->full) << "full once more";
    EXPECT_EQ(blocks[3], pool->available);

    pool_free(pool, elements[20]);  // the middle
    EXPECT_EQ(blocks[1], pool->available);
    EXPECT_EQ(blocks[3], pool->available->next);
    EXPECT_EQ(blocks[2], pool->full);
    EXPECT_EQ(blocks[0], pool->full->next);
    EXPECT_EQ(2, count_blocks(pool->full));

    pool_free(pool, elements[3]);  // the end
    EXPECT_EQ(blocks[0], pool->available);
    EXPECT_EQ(3, count_blocks(pool->available));
    EXPECT_EQ(1, count_blocks(pool->full));
    EXPECT_EQ(elements[3], pool_alloc(pool));
    EXPECT_EQ(blocks[0], pool->full) << "full again, at the head";
    EXPECT_EQ(blocks[2], pool->full->next);
    EXPECT_EQ(2, count_blocks(pool->available));

    // Returned slots come back newest first.
    pool_free(pool, elements[2]);
    pool_free(pool, elements[9]);
    EXPECT_EQ(elements[9], pool_alloc(pool));
    EXPECT_EQ(elements[2], pool_alloc(pool));
    EXPECT_EQ(64, pool->total);
    pool_destroy(pool);
  }
}

TEST_F(Pool, BlocksGrowWithThePoolUpToTheMaximum) {
  block_pool* pool = pool_create(8, 16, 256, POOL_UNLOCKED);
  ASSERT_NE(nullptr, pool);
  std::map<int32_t, int32_t> made;  // the capacity of the block made at each total
  std::vector<void*> elements;
  while (pool->total < 6000) {
    int32_t before = pool->total;
    elements.push_back(pool_alloc(pool));
    ASSERT_NE(nullptr, elements.back()) << "at a total of " << before;
    if (pool->total != before) made[before] = pool->total - before;
  }
  // A sixteenth of the total in steps of 16, from the minimum up to the maximum.
  int32_t previous = 0;
  for (const auto& [before, capacity] : made) {
    EXPECT_EQ(0, capacity % 16) << "at a total of " << before;
    EXPECT_GE(capacity, previous) << "at a total of " << before;
    if (before < 512) {
      EXPECT_EQ(16, capacity) << "at a total of " << before;
    }
    if (before >= 4096) {
      EXPECT_EQ(256, capacity) << "at a total of " << before;
    }
    previous = capacity;
  }
  EXPECT_EQ(32, made[512]);
  EXPECT_EQ(48, made[768]);

  for (void* element : elements) pool_free(pool, element);
  EXPECT_EQ(0, pool->total);
  pool_destroy(pool);
}

TEST_F(Pool, OneSlotBlocksLiveOnTheFullList) {
  block_pool* pool = pool_create(16, 1, 1, POOL_UNLOCKED);
  ASSERT_NE(nullptr, pool);
  std::vector<void*> e = take(pool, 3);
  ASSERT_TRUE(e[0] && e[1] && e[2]);
  EXPECT_EQ(3, pool->total);
  EXPECT_EQ(nullptr, pool->available);
  EXPECT_EQ(3, count_blocks(pool->full));

  pool_free(pool, e[1]);  // the middle of the list
  EXPECT_EQ(2, pool->total);
  EXPECT_EQ(2, count_blocks(pool->full));
  pool_free(pool, e[2]);  // the head
  pool_free(pool, e[0]);
  EXPECT_EQ(0, pool->total);
  EXPECT_EQ(nullptr, pool->full);
  pool_destroy(pool);
}

TEST_F(Pool, ClearDropsEveryBlockAndThePoolStaysUsable) {
  block_pool* pool = pool_create(24, 16, 256, POOL_LOCKED);
  ASSERT_NE(nullptr, pool);
  take(pool, 40);
  pool_clear(pool);
  EXPECT_EQ(0, pool->total);
  EXPECT_EQ(nullptr, pool->available);
  EXPECT_EQ(nullptr, pool->full);
  EXPECT_NE(nullptr, pool_alloc(pool));
  EXPECT_EQ(16, pool->total);
  pool_clear(pool);
  pool_clear(pool);  // clearing an empty pool is harmless
  pool_destroy(pool);
}

TEST_F(Pool, BadArgumentsFailWithoutACrash) {
  EXPECT_EQ(nullptr, pool_create(-1, 16, 256, 0));
  EXPECT_EQ(nullptr, pool_create(16, 0, 256, 0)) << "a block must hold a slot";
  EXPECT_EQ(nullptr, pool_create(16, 16, 0, 0));
  EXPECT_EQ(nullptr, pool_create(16, -3, 256, 0));
  EXPECT_EQ(nullptr, pool_create(INT32_MAX, 16, 256, 0)) << "stride beyond its range";
  EXPECT_EQ(nullptr, pool_create(-1, 16, 256, POOL_SHARED));

  EXPECT_EQ(nullptr, pool_alloc(nullptr));
  pool_free(nullptr, nullptr);
  pool_clear(nullptr);
  pool_destroy(nullptr);

  // A maximum below the minimum still gives blocks of at least one slot.
  block_pool* pool = pool_create(8, 4, 2, 0);
  ASSERT_NE(nullptr, pool);
  pool_free(pool, nullptr);
  for (void* element : take(pool, 10)) {
    ASSERT_NE(nullptr, element);
    pool_free(pool, element);
  }
  EXPECT_EQ(0, pool->total);
  pool_destroy(pool);
}

TEST_F(Pool, SharedPoolsAreFoundBySizeAndFlagsAndCounted) {
  block_pool* first = pool_create(24, 16, 256, POOL_SHARED | POOL_LOCKED);
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, first->shared);
  EXPECT_EQ(1, first->shared->references);
  EXPECT_EQ(1u, first->locked);

  block_pool* again = pool_create(24, 8, 64, POOL_SHARED | POOL_LOCKED);
  EXPECT_EQ(first, again) << "bounds are not compared";
  EXPECT_EQ(2, first->shared->references);
  block_pool* same_stride = pool_create(sizeof(void*) == 4 ? 21 : 17, 16, 256, POOL_SHARED | POOL_LOCKED);
  EXPECT_EQ(first, same_stride) << "sizes of one stride share";
  EXPECT_EQ(3, first->shared->references);

  block_pool* other_flags = pool_create(24, 16, 256, POOL_SHARED | POOL_UNLOCKED);
  block_pool* other_size = pool_create(48, 16, 256, POOL_SHARED | POOL_LOCKED);
  block_pool* private_pool = pool_create(24, 16, 256, POOL_LOCKED);
  ASSERT_TRUE(other_flags && other_size && private_pool);
  for (block_pool* other : {other_flags, other_size, private_pool}) EXPECT_NE(first, other);
  EXPECT_EQ(nullptr, private_pool->shared);
  EXPECT_EQ(0u, other_flags->locked);

  void* element = pool_alloc(first);
  ASSERT_NE(nullptr, element);
  pool_destroy(first);
  pool_destroy(again);
  EXPECT_EQ(1, first->shared->references) << "alive while referenced";
  pool_free(first, element);
  element = pool_alloc(first);
  EXPECT_NE(nullptr, element) << "still usable";
  pool_destroy(same_stride);  // the last reference: released with its blocks

  // The released pool's entry left the list: the next request makes a new pool. Under the
  // address sanitizer a stale entry would be caught being read here.
  block_pool* fresh = pool_create(24, 16, 256, POOL_SHARED | POOL_LOCKED);
  ASSERT_NE(nullptr, fresh);
  EXPECT_EQ(1, fresh->shared->references);
  EXPECT_EQ(other_flags, pool_create(24, 16, 256, POOL_SHARED | POOL_UNLOCKED)) << "the others stay listed";
  pool_destroy(other_flags);

  pool_destroy(fresh);
  pool_destroy(other_flags);
  pool_destroy(other_size);
  pool_destroy(private_pool);
}

TEST_F(Pool, LockedPoolServesTwoThreadsAtOnce) {
  block_pool* pool = pool_create(32, 16, 256, POOL_LOCKED);
  ASSERT_NE(nullptr, pool);
  std::atomic<int> go{0};
  std::atomic<int> damaged{0};
  auto work = [&](unsigned char mark) {
    while (!go.load()) std::this_thread::yield();
    std::vector<unsigned char*> held;
    for (int round = 0; round < 3000; ++round) {
      auto* element = static_cast<unsigned char*>(pool_alloc(pool));
      if (!element) {
        ++damaged;
        return;
      }
      std::memset(element, mark, 32);
      held.push_back(element);
      if (held.size() > 40 || (round % 7) == 0) {
        unsigned char* back = held[held.size() / 2];
        held.erase(held.begin() + static_cast<long>(held.size() / 2));
        for (int b = 0; b < 32; ++b)
          if (back[b] != mark) ++damaged;
        pool_free(pool, back);
      }
    }
    for (unsigned char* element : held) pool_free(pool, element);
  };
  std::thread a(work, static_cast<unsigned char>(0xA1));
  std::thread b(work, static_cast<unsigned char>(0xB2));
  go = 1;
  a.join();
  b.join();
  EXPECT_EQ(0, damaged.load()) << "an element was handed to both threads, or lost";
  EXPECT_EQ(0, pool->total);
  pool_destroy(pool);
}

// run_once: the first caller runs the init; a caller that comes while it runs returns only
// after it has finished.
struct once_probe {
  std::atomic<int> runs{0};
  std::atomic<bool> started{false};
  std::atomic<bool> second_calling{false};
  std::atomic<bool> finished{false};
};
once_probe* probe;

void slow_init() {
  probe->runs += 1;
  probe->started = true;
  test_time::wait_until([] { return probe->second_calling.load(); }, 5000, 1);
  // Let the second caller reach its wait while this init is still running.
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  probe->finished = true;
}

void expect_second_caller_waits(INIT_ONCE* word) {
  once_probe local;
  probe = &local;
  std::thread first([word] { run_once(word, slow_init); });
  ASSERT_TRUE(test_time::wait_until([&] { return local.started.load(); }, 5000, 1))
      << "the first caller never ran the init";
  local.second_calling = true;
  run_once(word, slow_init);
  EXPECT_TRUE(local.finished.load()) << "the second caller returned while the init was running";
  first.join();
  EXPECT_EQ(1, local.runs.load());

  run_once(word, slow_init);
  EXPECT_EQ(1, local.runs.load()) << "a later call does not run it again";
  probe = nullptr;
}

void expect_one_run_from_racing_threads(INIT_ONCE* word) {
  once_probe local;
  probe = &local;
  local.second_calling = true;  // no one to wait for: only the short sleep remains
  std::atomic<int> go{0};
  std::atomic<int> saw_unfinished{0};
  auto caller = [&] {
    while (!go.load()) std::this_thread::yield();
    run_once(word, slow_init);
    if (!local.finished) ++saw_unfinished;
  };
  std::thread a(caller), b(caller);
  go = 1;
  a.join();
  b.join();
  EXPECT_EQ(1, local.runs.load());
  EXPECT_EQ(0, saw_unfinished.load());
  probe = nullptr;
}

// With the platform's run-once service and, natively, without it: the native kernel layer
// hides the service on request, as an older platform lacks it; then the once-word itself
// does the work.
TEST(RunOnce, RunsTheInitOnceAndMakesTheSecondCallerWait) {
  INIT_ONCE word{}, raced{};
  expect_second_caller_waits(&word);
  expect_one_run_from_racing_threads(&raced);
#ifndef _WIN32
  ASSERT_EQ(0, setenv("TESSARIX_KERNEL_NO_INIT_ONCE", "1", 1));
  INIT_ONCE own{}, own_raced{};
  expect_second_caller_waits(&own);
  LONG first_bits;
  std::memcpy(&first_bits, &own, sizeof(first_bits));
  EXPECT_EQ(2, first_bits) << "the once-word ends at 2, where a later call returns at once";
  expect_one_run_from_racing_threads(&own_raced);
  unsetenv("TESSARIX_KERNEL_NO_INIT_ONCE");
#endif
}

}  // namespace
