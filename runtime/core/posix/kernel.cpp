// POSIX implementation of the kernel services in win32_kernel.h (native build only).
#include "runtime/core/posix/win32_kernel.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Each block carries a header that links it into its heap; the header keeps the
// block's payload aligned to 16 bytes, as the platform's heaps do.
struct alignas(16) block_header {
  block_header* next;
  block_header* previous;
  size_t size;
  bool low;  // carved from the low arena: never handed back to the C library
};

// Blocks at low addresses on request: one mapping, handed out from the bottom up and never
// reused; enough for the few blocks a test places there.
struct low_arena_record {
  char* base;
  size_t size, used;
  bool on;
};
low_arena_record low_arena;

block_header* low_block(size_t bytes) {
  size_t need = (sizeof(block_header) + bytes + 15) & ~size_t{15};
  if (!low_arena.base || need > low_arena.size - low_arena.used) return nullptr;
  auto* header = reinterpret_cast<block_header*>(low_arena.base + low_arena.used);
  low_arena.used += need;
  std::memset(header, 0, need);
  header->low = true;
  return header;
}

void free_block(block_header* header) {
  if (!header->low) std::free(header);
}

struct posix_heap {
  std::mutex lock;
  block_header* head = nullptr;
};

block_header* header_of(void* block) { return static_cast<block_header*>(block) - 1; }

void link(posix_heap* heap, block_header* header) {
  header->previous = nullptr;
  header->next = heap->head;
  if (heap->head) heap->head->previous = header;
  heap->head = header;
}

void unlink(posix_heap* heap, block_header* header) {
  if (header->previous)
    header->previous->next = header->next;
  else
    heap->head = header->next;
  if (header->next) header->next->previous = header->previous;
}

posix_kernel_counters counters;
bool crypto_fails = false;
bool crypto_draws_fail = false;
int kernel32_module;  // the address stands for the loaded "Kernel32.dll"

}  // namespace

HANDLE HeapCreate(DWORD, size_t, size_t) { return new (std::nothrow) posix_heap; }

BOOL HeapDestroy(HANDLE handle) {
  auto* heap = static_cast<posix_heap*>(handle);
  if (!heap) return FALSE;
  for (block_header* h = heap->head; h;) {
    block_header* next = h->next;
    free_block(h);
    h = next;
  }
  delete heap;
  return TRUE;
}

void* HeapAlloc(HANDLE handle, DWORD flags, size_t bytes) {
  auto* heap = static_cast<posix_heap*>(handle);
  if (!heap || bytes > (SIZE_MAX >> 1)) return nullptr;
  block_header* header = nullptr;
  if (low_arena.on) {
    header = low_block(bytes);
  } else {
    header = static_cast<block_header*>((flags & HEAP_ZERO_MEMORY) ? std::calloc(1, sizeof(block_header) + bytes)
                                                                   : std::malloc(sizeof(block_header) + bytes));
    if (header) header->low = false;
  }
  if (!header) return nullptr;
  header->size = bytes;
  std::lock_guard<std::mutex> guard(heap->lock);
  link(heap, header);
  return header + 1;
}

void* HeapReAlloc(HANDLE handle, DWORD flags, void* block, size_t bytes) {
  auto* heap = static_cast<posix_heap*>(handle);
  if (!heap || !block || bytes > (SIZE_MAX >> 1)) return nullptr;
  std::lock_guard<std::mutex> guard(heap->lock);
  block_header* old = header_of(block);
  size_t old_size = old->size;
  if (old->low) {
    // A low block cannot grow in place: it moves to the C library's memory.
    auto* moved = static_cast<block_header*>(std::calloc(1, sizeof(block_header) + bytes));
    if (!moved) return nullptr;
    std::memcpy(moved + 1, block, old_size < bytes ? old_size : bytes);
    moved->size = bytes;
    unlink(heap, old);
    link(heap, moved);
    return moved + 1;
  }
  unlink(heap, old);
  auto* header = static_cast<block_header*>(std::realloc(old, sizeof(block_header) + bytes));
  if (!header) {
    link(heap, old);  // the old block stays valid, as the platform promises
    return nullptr;
  }
  if ((flags & HEAP_ZERO_MEMORY) && bytes > old_size)
    std::memset(reinterpret_cast<char*>(header + 1) + old_size, 0, bytes - old_size);
  header->size = bytes;
  link(heap, header);
  return header + 1;
}

BOOL HeapFree(HANDLE handle, DWORD, void* block) {
  auto* heap = static_cast<posix_heap*>(handle);
  if (!heap) return FALSE;
  if (!block) return TRUE;
  std::lock_guard<std::mutex> guard(heap->lock);
  block_header* header = header_of(block);
  unlink(heap, header);
  free_block(header);
  return TRUE;
}

HANDLE GetProcessHeap() {
  static posix_heap process_heap;
  return &process_heap;
}

size_t HeapSize(HANDLE, DWORD, const void* block) {
  return block ? (static_cast<const block_header*>(block) - 1)->size : static_cast<size_t>(-1);
}

void InitializeCriticalSection(CRITICAL_SECTION* section) { section->lock = new std::recursive_mutex; }
void EnterCriticalSection(CRITICAL_SECTION* section) { static_cast<std::recursive_mutex*>(section->lock)->lock(); }
void LeaveCriticalSection(CRITICAL_SECTION* section) { static_cast<std::recursive_mutex*>(section->lock)->unlock(); }
void DeleteCriticalSection(CRITICAL_SECTION* section) {
  delete static_cast<std::recursive_mutex*>(section->lock);
  section->lock = nullptr;
}

// The once-word of the platform's service: 0 untouched, 1 running, 2 done.
BOOL InitOnceExecuteOnce(INIT_ONCE* once, PINIT_ONCE_FN fn, void* parameter, void** context) {
  static_assert(sizeof(void*) >= sizeof(LONG));
  auto* word = reinterpret_cast<volatile intptr_t*>(&once->Ptr);
  intptr_t expected = 0;
  if (__atomic_compare_exchange_n(word, &expected, 1, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    BOOL ok = fn(once, parameter, context);
    __atomic_store_n(word, ok ? 2 : 0, __ATOMIC_RELEASE);
    return ok;
  }
  while (__atomic_load_n(word, __ATOMIC_ACQUIRE) == 1) sched_yield();
  return __atomic_load_n(word, __ATOMIC_ACQUIRE) == 2;
}

HMODULE LoadLibraryA(const char* name) {
  if (!name) return nullptr;
  const char* folder_end = std::strrchr(name, '\\');
  if (strcasecmp(folder_end ? folder_end + 1 : name, "kernel32.dll") == 0) return &kernel32_module;
  return nullptr;
}

HMODULE LoadLibraryExA(const char* name, HANDLE, DWORD) { return LoadLibraryA(name); }

UINT GetSystemDirectoryA(char* buffer, UINT size) {
  static constexpr char directory[] = "C:\\windows\\system32";
  if (!buffer || size < sizeof(directory)) return sizeof(directory);
  std::memcpy(buffer, directory, sizeof(directory));
  return sizeof(directory) - 1;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (module != &kernel32_module || !name) return nullptr;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): tests set it before start-up; nothing sets it later
  if (std::strcmp(name, "InitOnceExecuteOnce") == 0 && !std::getenv("TESSARIX_KERNEL_NO_INIT_ONCE"))
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&InitOnceExecuteOnce));
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) { return module == &kernel32_module; }

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

void Sleep(DWORD ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) == -1 && errno == EINTR) {
  }
}

DWORD GetTickCount() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<DWORD>(static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u);
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

UINT timeBeginPeriod(UINT) {
  ++counters.time_begin_period;
  return 0;
}
UINT timeEndPeriod(UINT) {
  ++counters.time_end_period;
  return 0;
}

HMODULE GetModuleHandleA(const char*) {
  static int program_module;
  return &program_module;
}

// NOLINTNEXTLINE(concurrency-mt-unsafe): the process ends here, as the platform's ExitProcess does
void ExitProcess(UINT code) { std::exit(static_cast<int>(code)); }

BOOL CryptAcquireContextA(HCRYPTPROV* provider, const char*, const char*, DWORD type, DWORD) {
  ++counters.crypt_acquire_calls;
  if (crypto_fails || type != PROV_RSA_FULL || !provider) return FALSE;
  *provider = 1;
  return TRUE;
}

BOOL CryptGenRandom(HCRYPTPROV provider, DWORD length, BYTE* buffer) {
  if (!provider || crypto_draws_fail) return FALSE;
  size_t done = 0;
  while (done < length) {
    ssize_t n = getrandom(buffer + done, length - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FALSE;
    }
    done += static_cast<size_t>(n);
  }
  return TRUE;
}

posix_kernel_counters& posix_kernel_counts() { return counters; }
void posix_kernel_fail_crypto(bool fail) { crypto_fails = fail; }
void posix_kernel_fail_crypto_draws(bool fail) { crypto_draws_fail = fail; }

bool posix_kernel_low_heap_blocks(bool on) {
  constexpr size_t kArenaSize = size_t{1} << 20;
  if (on && !low_arena.base) {
    // Above the lowest pages the kernel keeps unmapped, below where programs load.
    for (uintptr_t hint = 0x200000; hint < 0x400000 && !low_arena.base; hint += kArenaSize) {
      void* p = mmap(reinterpret_cast<void*>(hint), kArenaSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
      if (p == MAP_FAILED) continue;
      if (p != reinterpret_cast<void*>(hint)) {
        munmap(p, kArenaSize);
        continue;
      }
      low_arena = low_arena_record{static_cast<char*>(p), kArenaSize, 0, false};
    }
  }
  low_arena.on = on && low_arena.base;
  return low_arena.on == on;
}
