// Start-up and shutdown of the runtime, the main heap, and delays.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/platform.h"

// The runtime's start-up globals: what runtime_start sets before any library starts.
struct runtime_record {
  HMODULE module;    // the program's module handle; window classes and icons come from it
  HANDLE main_heap;  // every record, table, state record and allocator block lives here
};

runtime_record& runtime_globals();

inline HANDLE main_heap() { return runtime_globals().main_heap; }
inline HMODULE program_module() { return runtime_globals().module; }

// Main-heap blocks. main_heap_alloc zeroes; main_heap_alloc_raw does not (allocator blocks).
void* main_heap_alloc(size_t bytes);
void* main_heap_alloc_raw(size_t bytes);
// Resizes a block; bytes added at the end are zeroed. Null on failure (the block stays).
void* main_heap_realloc(void* block, size_t bytes);
void main_heap_free(void* block);

// Clears the globals, makes the main heap and starts the libraries in their fixed order.
void runtime_start();
// Ends the libraries in their fixed order and destroys the heaps, without leaving the
// process: the part of runtime_end that tests can run and then start again.
void runtime_end_libraries();
// runtime_end_libraries, then the process ends with exit code 0.
[[noreturn]] void runtime_end();

// Pauses the calling thread with a 1 ms timer resolution in force during the pause only.
// Window messages wait meanwhile; the next window_wait_event handles them.
void delay_ms(int32_t ms);
