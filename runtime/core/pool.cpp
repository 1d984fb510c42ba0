// The block allocator: pools of fixed-size elements carved from main-heap blocks, the
// process-wide list of shared pools, and run_once.
#include "runtime/core/pool.h"

#include <cstddef>

#include "runtime/core/runtime.h"
#include "runtime/core/system_library.h"

namespace {

// Every shared pool of the process, found again by stride and flags. The list and its
// critical section are set up on first use through run_once.
struct shared_pool_list {
  INIT_ONCE once;
  CRITICAL_SECTION section;
  pool_shared_entry* head;
};
shared_pool_list shared_pools;

void shared_pool_list_init() {
  InitializeCriticalSection(&shared_pools.section);
  shared_pools.head = nullptr;
}

constexpr uint32_t POOL_MODE_MASK = 3;

void free_blocks(pool_block* block) {
  while (block) {
    pool_block* next = block->next;
    main_heap_free(block);
    block = next;
  }
}

// The block for capacity slots, or null when its size cannot be had.
pool_block* allocate_block(int32_t capacity, int32_t stride) {
  // Checked without a division: a block is made each time a burst outgrows the pool.
  size_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<size_t>(capacity), static_cast<size_t>(stride), &bytes) ||
      __builtin_add_overflow(bytes, sizeof(pool_block), &bytes))
    return nullptr;
  return static_cast<pool_block*>(main_heap_alloc_raw(bytes));
}

// Blocks grow with the pool: a sixteenth of what it holds, in steps of 16, within bounds.
int32_t next_block_capacity(const block_pool* pool) {
  int32_t capacity = (pool->total / 16) & ~15;
  if (capacity < pool->minimum)
    capacity = pool->minimum;
  else if (capacity > pool->maximum)
    capacity = pool->maximum;
  return capacity;
}

void* take_slot(block_pool* pool) {
  if (void* element = pool_take_available(pool)) return element;
  int32_t capacity = next_block_capacity(pool);
  if (capacity > INT32_MAX - pool->total) return nullptr;
  pool_block* block = allocate_block(capacity, pool->stride);
  if (!block && capacity > 1) {
    capacity = 1;
    block = allocate_block(capacity, pool->stride);
  }
  if (!block) return nullptr;
  block->capacity = capacity;
  block->used = 1;
  block->free_count = 0;
  block->free_list = nullptr;
  pool->total += capacity;
  pool_push_block(capacity > 1 ? &pool->available : &pool->full, block);
  char* slot = pool_block_slots(block);
  *reinterpret_cast<pool_block**>(slot) = block;
  return slot + POOL_SLOT_HEADER;
}

void give_back_slot(block_pool* pool, void* element) {
  if (pool_return_keeping_block(pool, element)) return;
  // The block's last element: nothing of it is handed out any more. A block of one slot
  // never left the full list; any larger one went back to the available list with its
  // first return.
  pool_block* block = *reinterpret_cast<pool_block**>(static_cast<char*>(element) - POOL_SLOT_HEADER);
  pool_unlink_block(block->capacity == 1 ? &pool->full : &pool->available, block);
  pool->total -= block->capacity;
  main_heap_free(block);
}

void clear_blocks(block_pool* pool) {
  free_blocks(pool->available);
  free_blocks(pool->full);
  pool->available = nullptr;
  pool->full = nullptr;
  pool->total = 0;
}

block_pool* create_private_pool(int32_t stride, int32_t minimum, int32_t maximum, uint32_t flags) {
  auto* pool = static_cast<block_pool*>(main_heap_alloc(sizeof(block_pool)));
  if (!pool) return nullptr;
  pool->stride = stride;
  pool->minimum = minimum;
  pool->maximum = maximum;
  if ((flags & POOL_MODE_MASK) == POOL_LOCKED) {
    pool->locked = 1;
    InitializeCriticalSection(&pool->lock);
  }
  return pool;
}

void destroy_private_pool(block_pool* pool) {
  pool_clear(pool);
  if (pool->locked) DeleteCriticalSection(&pool->lock);
  main_heap_free(pool);
}

#ifdef _WIN32
using init_once_execute = BOOL(WINAPI*)(INIT_ONCE* once, PINIT_ONCE_FN callback, void* parameter, void** context);
#else
using init_once_execute = BOOL (*)(INIT_ONCE* once, PINIT_ONCE_FN callback, void* parameter, void** context);
#endif

// The platform's run-once callback; its parameter points at the init function to run.
BOOL CALLBACK run_init_function(INIT_ONCE*, void* parameter, void**) {
  (*static_cast<void (**)()>(parameter))();
  return TRUE;
}

}  // namespace

block_pool* pool_create(int32_t element_size, int32_t minimum, int32_t maximum, uint32_t flags) {
  // A block must hold at least one slot whatever the bounds give, and the stride must stay
  // inside its 32-bit field.
  if (element_size < 0 || minimum < 1 || maximum < 1) return nullptr;
  if (element_size > INT32_MAX - 2 * POOL_SLOT_HEADER) return nullptr;
  int32_t stride = (element_size + 2 * POOL_SLOT_HEADER - 1) / POOL_SLOT_HEADER * POOL_SLOT_HEADER;

  if (!(flags & POOL_SHARED)) return create_private_pool(stride, minimum, maximum, flags);

  run_once(&shared_pools.once, shared_pool_list_init);
  EnterCriticalSection(&shared_pools.section);
  block_pool* pool = nullptr;
  for (pool_shared_entry* entry = shared_pools.head; entry; entry = entry->next) {
    if (entry->stride == stride && entry->flags == flags && entry->pool) {
      entry->references += 1;
      pool = entry->pool;
      break;
    }
  }
  if (!pool) {
    pool = create_private_pool(stride, minimum, maximum, flags & ~POOL_SHARED);
    auto* entry = pool ? static_cast<pool_shared_entry*>(main_heap_alloc(sizeof(pool_shared_entry))) : nullptr;
    if (entry) {
      entry->pool = pool;
      entry->stride = stride;
      entry->flags = flags;
      entry->references = 1;
      entry->previous = nullptr;
      entry->next = shared_pools.head;
      if (shared_pools.head) shared_pools.head->previous = entry;
      shared_pools.head = entry;
      pool->shared = entry;
    } else if (pool) {
      destroy_private_pool(pool);
      pool = nullptr;
    }
  }
  LeaveCriticalSection(&shared_pools.section);
  return pool;
}

void* pool_alloc_slow(block_pool* pool) {
  if (!pool) return nullptr;
  if (pool->locked) EnterCriticalSection(&pool->lock);
  void* element = take_slot(pool);
  if (pool->locked) LeaveCriticalSection(&pool->lock);
  return element;
}

void pool_free_slow(block_pool* pool, void* element) {
  if (!pool || !element) return;
  if (pool->locked) EnterCriticalSection(&pool->lock);
  give_back_slot(pool, element);
  if (pool->locked) LeaveCriticalSection(&pool->lock);
}

void pool_clear(block_pool* pool) {
  if (!pool) return;
  if (pool->locked) EnterCriticalSection(&pool->lock);
  clear_blocks(pool);
  if (pool->locked) LeaveCriticalSection(&pool->lock);
}

void pool_destroy(block_pool* pool) {
  if (!pool) return;
  pool_shared_entry* entry = pool->shared;
  if (!entry) {
    destroy_private_pool(pool);
    return;
  }
  // Lock order: the shared-pool list first, then (in pool_clear) the pool's own lock.
  EnterCriticalSection(&shared_pools.section);
  entry->references -= 1;
  if (entry->references <= 0) {
    pool->shared = nullptr;
    destroy_private_pool(pool);
    if (entry->previous)
      entry->previous->next = entry->next;
    else
      shared_pools.head = entry->next;
    if (entry->next) entry->next->previous = entry->previous;
    main_heap_free(entry);
  }
  LeaveCriticalSection(&shared_pools.section);
}

void run_once(INIT_ONCE* once_word, void (*init_function)()) {
  if (!once_word || !init_function) return;
  // NOTE: the platform's run-once service is missing from older kernels, so it is looked
  // up here rather than imported; without it the once-word's first 32 bits serve instead.
  HMODULE kernel = system_library_load("Kernel32.dll");
  FARPROC entry = kernel ? GetProcAddress(kernel, "InitOnceExecuteOnce") : nullptr;
  if (entry) {
    auto execute = reinterpret_cast<init_once_execute>(reinterpret_cast<void*>(entry));
    execute(once_word, run_init_function, &init_function, nullptr);
    FreeLibrary(kernel);
    return;
  }
  if (kernel) FreeLibrary(kernel);

  auto* word = reinterpret_cast<volatile LONG*>(once_word);
  LONG was = InterlockedCompareExchange(word, 1, 0);
  if (was == 0) {
    init_function();
    InterlockedExchange(word, 2);
    return;
  }
  if (was != 1) return;  // 2: done long ago
  // Another thread is running the init: wait until it has finished.
  while (InterlockedCompareExchange(word, 2, 2) != 2) Sleep(0);
}
