// The kernel services of the platform-free core, for the native Linux build: the same
// names, types and results as the Win32 calls the core makes, over POSIX. Only what the
// core uses is here; user interface, graphics, sound and shell have no stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cmath>

typedef void* HANDLE;
typedef HANDLE HMODULE;
typedef HANDLE HINSTANCE;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int BOOL;
typedef unsigned char BYTE;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t HCRYPTPROV;
typedef intptr_t (*FARPROC)();
typedef void* PVOID;
typedef const char* LPCSTR;

#ifndef TRUE
#  define TRUE 1
#  define FALSE 0
#endif
#define WINAPI
#define CALLBACK

#define HEAP_ZERO_MEMORY 0x00000008
#define INFINITE 0xFFFFFFFFu
#define PROV_RSA_FULL 1
#define CRYPT_VERIFYCONTEXT 0xF0000000u
#define CRYPT_SILENT 0x00000040u
#define MAX_PATH 260
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u

// Heaps: every block is linked into its heap, so that HeapDestroy frees what is left.
HANDLE HeapCreate(DWORD options, size_t initial, size_t maximum);
BOOL HeapDestroy(HANDLE heap);
void* HeapAlloc(HANDLE heap, DWORD flags, size_t bytes);
void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, size_t bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);
size_t HeapSize(HANDLE heap, DWORD flags, const void* block);
// The process's own heap: there from the start and never destroyed.
HANDLE GetProcessHeap();

// Critical sections: a recursive mutex, as the platform's are.
struct CRITICAL_SECTION {
  void* lock;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

// The run-once service. "Kernel32.dll" is the one module this layer can load, by its bare
// name or by a path that ends in it, and "InitOnceExecuteOnce" its one entry point;
// anything else is missing, as on an old platform (whose loader has no search flags either,
// so the system directory is named in full). TESSARIX_KERNEL_NO_INIT_ONCE in the environment hides the entry point too,
// so that the fallback can be exercised.
union INIT_ONCE {
  void* Ptr;
};
typedef BOOL(CALLBACK* PINIT_ONCE_FN)(INIT_ONCE* once, void* parameter, void** context);
BOOL InitOnceExecuteOnce(INIT_ONCE* once, PINIT_ONCE_FN fn, void* parameter, void** context);
HMODULE LoadLibraryA(const char* name);
HMODULE LoadLibraryExA(const char* name, HANDLE file, DWORD flags);
UINT GetSystemDirectoryA(char* buffer, UINT size);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);
LONG InterlockedExchange(volatile LONG* target, LONG value);

void Sleep(DWORD ms);
DWORD GetTickCount();
DWORD GetCurrentThreadId();
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
HMODULE GetModuleHandleA(const char* name);
[[noreturn]] void ExitProcess(UINT code);

// The cryptographic source: the kernel's random source (getrandom).
BOOL CryptAcquireContextA(HCRYPTPROV* provider, const char* container, const char* name, DWORD type, DWORD flags);
BOOL CryptGenRandom(HCRYPTPROV provider, DWORD length, BYTE* buffer);

// NOLINTNEXTLINE(bugprone-reserved-identifier): the platform C library's own name, stood in for
inline int _isnan(double value) { return std::isnan(value) ? 1 : 0; }

// Counters for tests of the layer's users: how often each service was asked.
struct posix_kernel_counters {
  long crypt_acquire_calls;
  long time_begin_period;
  long time_end_period;
};
posix_kernel_counters& posix_kernel_counts();
// Makes the next CryptAcquireContextA calls fail (a system without the source).
void posix_kernel_fail_crypto(bool fail);
// While on, HeapAlloc places blocks at low addresses (from a few megabytes up), where a
// 32-bit system's heap lies; false when no such memory could be mapped.
bool posix_kernel_low_heap_blocks(bool on);
// Makes the next CryptGenRandom calls fail (a source that breaks after it was opened).
void posix_kernel_fail_crypto_draws(bool fail);
