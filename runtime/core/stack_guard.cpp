// The stack protector's guard value and its failure routine, which the checks of the
// release build call: every function that keeps an array or the address of a local on
// its stack compares the guard in its frame before it returns.
#ifdef _WIN32
#  include <windows.h>

#  include <cstdint>

// NOTE: the C library is to provide these two, and the platform's C library of this
// toolchain does not. The compiler's own protector library would, but it seeds its guard
// through the cryptographic provider at load: a draw from the program's random source
// that no throw asked for. This guard is seeded from what differs between two starts.
extern "C" {
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the compiler's checks read
uintptr_t __stack_chk_guard;

// A frame's guard was overwritten, so nothing on this stack is to be trusted: no handler,
// no unwinding and no message, only the end of the process with the platform's code for
// a stack buffer overrun.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the compiler's checks call
[[noreturn]] void __stack_chk_fail() {
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  ExitProcess(STATUS_STACK_BUFFER_OVERRUN);  // only should the platform refuse the first
}
}

namespace {

// Runs among the constructors that the C runtime's start-up calls before the main
// routine, from frames of its own that carry no guard, so that no guarded frame outlives
// the change of value. Its own frame keeps addresses of locals, and is kept unguarded too.
__attribute__((constructor, no_stack_protector)) void seed_stack_guard() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  // What differs between two starts: the time, the ids, the counter, and where the
  // randomised stack lies.
  const uint64_t time = uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime;
  const uint64_t ids = uint64_t{GetCurrentProcessId()} << 32 | GetCurrentThreadId();
  uint64_t seed = time ^ ids ^ static_cast<uint64_t>(counter.QuadPart) ^ static_cast<uint64_t>(GetTickCount()) << 16;
  seed ^= reinterpret_cast<uintptr_t>(&seed);
  __stack_chk_guard = static_cast<uintptr_t>(seed ^ seed >> 32);
  // Not 0: that is what the end of a copied text writes, and such a copy would match it.
  if (!__stack_chk_guard) __stack_chk_guard = 0x2F6D5A91u;
}

}  // namespace
#endif
