// The block allocator: fixed-size elements carved from blocks of the main heap, and
// run_once, the one-time initialisation that the shared-pool list needs.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"

// The header in front of every slot: the slot's block while the element is handed out,
// the next returned slot while it waits in its block's free list.
constexpr int32_t POOL_SLOT_HEADER = static_cast<int32_t>(sizeof(void*));

// A block of capacity slots of the pool's stride, which follow this record.
struct pool_block {
  pool_block* next;      // next block of the list that holds this one
  pool_block* previous;  // null at the head
  void* free_list;       // the block's returned slots
  int32_t capacity;
  int32_t used;        // slots ever handed out from the fresh area (a high-water mark)
  int32_t free_count;  // slots now in the free list
};

struct block_pool;

// A shared pool's entry in the process-wide list (head newest).
struct pool_shared_entry {
  pool_shared_entry* next;
  pool_shared_entry* previous;
  block_pool* pool;
  int32_t stride;
  uint32_t flags;
  int32_t references;
};

// Flags of pool_create: the low two bits are the mode (1 = locked), 4 asks for a shared pool.
constexpr uint32_t POOL_LOCKED = 1;
constexpr uint32_t POOL_UNLOCKED = 2;
constexpr uint32_t POOL_SHARED = 4;

struct block_pool {
  pool_block* full;           // blocks with nothing left to hand out
  pool_block* available;      // blocks that can still hand out an element
  pool_shared_entry* shared;  // entry in the shared-pool list, null for a private pool
  int32_t total;              // sum of the capacities of all blocks
  int32_t stride;             // bytes per slot: element + header, rounded to the header's size
  int32_t minimum;            // fewest elements in a new block
  int32_t maximum;            // most elements in a new block
  uint32_t locked;
  CRITICAL_SECTION lock;  // initialised only when locked
};

block_pool* pool_create(int32_t element_size, int32_t minimum, int32_t maximum, uint32_t flags);

// The slots follow the block record, which keeps them pointer-aligned.
inline char* pool_block_slots(pool_block* block) { return reinterpret_cast<char*>(block) + sizeof(pool_block); }

// The block lists are doubly linked; a block joins at the head.
inline void pool_push_block(pool_block** head, pool_block* block) {
  block->previous = nullptr;
  block->next = *head;
  if (*head) (*head)->previous = block;
  *head = block;
}

inline void pool_unlink_block(pool_block** head, pool_block* block) {
  if (block->previous)
    block->previous->next = block->next;
  else
    *head = block->next;
  if (block->next) block->next->previous = block->previous;
}

// An element from the pool's first available block (a returned slot first, then the
// block's fresh area), or null when no block is available. The block moves to the full
// list when this was its last slot.
inline void* pool_take_available(block_pool* pool) {
  pool_block* block = pool->available;
  if (!block) return nullptr;
  char* slot;
  bool last;
  int32_t free_count = block->free_count;
  if (free_count > 0) {
    slot = static_cast<char*>(block->free_list);
    block->free_list = *reinterpret_cast<void**>(slot);
    block->free_count = free_count - 1;
    last = free_count == 1 && block->used >= block->capacity;
  } else {
    int32_t used = block->used;
    slot = pool_block_slots(block) + static_cast<size_t>(used) * static_cast<size_t>(pool->stride);
    block->used = used + 1;
    last = used + 1 >= block->capacity;
  }
  if (last) [[unlikely]] {
    pool_unlink_block(&pool->available, block);
    pool_push_block(&pool->full, block);
  }
  *reinterpret_cast<pool_block**>(slot) = block;
  return slot + POOL_SLOT_HEADER;
}

// Puts an element back into its block's free list and returns true, unless it is the
// block's last element out: then nothing is done and the caller releases the block. A
// full block that gets a slot back moves to the head of the available list.
inline bool pool_return_keeping_block(block_pool* pool, void* element) {
  char* slot = static_cast<char*>(element) - POOL_SLOT_HEADER;
  pool_block* block = *reinterpret_cast<pool_block**>(slot);
  int32_t free_count = block->free_count;
  if (free_count + 1 == block->used) return false;
  bool was_full = free_count == 0 && block->used >= block->capacity;
  *reinterpret_cast<void**>(slot) = block->free_list;
  block->free_list = slot;
  block->free_count = free_count + 1;
  if (was_full) [[unlikely]] {
    pool_unlink_block(&pool->full, block);
    pool_push_block(&pool->available, block);
  }
  return true;
}

// pool_alloc and pool_free for every case the inline paths below leave: locked pools, a
// new block, a block that empties.
void* pool_alloc_slow(block_pool* pool);
void pool_free_slow(block_pool* pool, void* element);

// pool_alloc for a pool created unlocked, which its owner knows. Only a new block takes a
// call; everything else happens here, in the caller.
inline void* pool_alloc_unlocked(block_pool* pool) {
  if (void* element = pool_take_available(pool)) [[likely]]
    return element;
  return pool_alloc_slow(pool);
}

// pool_free for a pool created unlocked: only a block that empties takes a call.
inline void pool_free_unlocked(block_pool* pool, void* element) {
  if (!pool_return_keeping_block(pool, element)) [[unlikely]]
    pool_free_slow(pool, element);
}

// An element of the pool, or null.
inline void* pool_alloc(block_pool* pool) {
  if (pool && !pool->locked) return pool_alloc_unlocked(pool);
  return pool_alloc_slow(pool);
}

// Gives an element back.
inline void pool_free(block_pool* pool, void* element) {
  if (pool && element && !pool->locked) {
    pool_free_unlocked(pool, element);
    return;
  }
  pool_free_slow(pool, element);
}
void pool_clear(block_pool* pool);
void pool_destroy(block_pool* pool);

// Runs init_function exactly once for the once-word, however many threads call; later
// callers return when it has finished. The word is the platform's INIT_ONCE (zero-initialised);
// without the platform's run-once service its first 32 bits go 0 -> 1 (running) -> 2 (done).
void run_once(INIT_ONCE* once_word, void (*init_function)());
