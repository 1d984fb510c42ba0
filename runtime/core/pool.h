// The block allocator: fixed-size elements carved from blocks of the main heap, and
// run_once, the one-time initialisation that the shared-pool list needs.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"

struct pool_block;
struct pool_shared_entry;

// Flags of pool_create: the low two bits are the mode (1 = locked), 4 asks for a shared pool.
constexpr uint32_t POOL_LOCKED = 1;
constexpr uint32_t POOL_UNLOCKED = 2;
constexpr uint32_t POOL_SHARED = 4;

struct block_pool {
  pool_block* full;          // blocks with nothing left to hand out
  pool_block* available;     // blocks that can still hand out an element
  pool_shared_entry* shared; // entry in the shared-pool list, null for a private pool
  int32_t total;             // sum of the capacities of all blocks
  int32_t stride;            // bytes per slot: element + header, rounded to the header's size
  int32_t minimum;           // fewest elements in a new block
  int32_t maximum;           // most elements in a new block
  uint32_t locked;
  CRITICAL_SECTION lock;     // initialised only when locked
};

block_pool* pool_create(int32_t element_size, int32_t minimum, int32_t maximum, uint32_t flags);
void* pool_alloc(block_pool* pool);
void pool_free(block_pool* pool, void* element);
void pool_clear(block_pool* pool);
void pool_destroy(block_pool* pool);

// Runs init_function exactly once for the once-word, however many threads call; later
// callers return when it has finished. The word is the platform's INIT_ONCE (zero-initialised);
// without the platform's run-once service its first 32 bits go 0 -> 1 (running) -> 2 (done).
void run_once(INIT_ONCE* once_word, void (*init_function)());
