// GCC's -fsanitize-coverage=trace-pc calls this at every edge of the instrumented code.
// AFL++'s GCC plugin does not load with this compiler, and GCC has no trace-pc-guard, so
// the edge is made here: the caller's address hashed, combined with the previous one,
// counted in AFL++'s map. afl-compiler-rt.o maps __afl_area_ptr to the fuzzer's shared
// memory; before that it points at a private buffer of the same size.
#include <stdint.h>

extern unsigned char* __afl_area_ptr;

enum { kMapMask = (1 << 16) - 1 };  // AFL++'s default map of 64 KiB

static __thread uintptr_t previous;

__attribute__((no_sanitize_coverage, no_sanitize_address, no_sanitize_undefined)) void
__sanitizer_cov_trace_pc(void) {
    const uintptr_t pc = (uintptr_t)__builtin_return_address(0);
    // Fibonacci hashing spreads neighbouring addresses over the whole map.
    const uintptr_t current = (uintptr_t)(((uint64_t)pc * 0x9E3779B97F4A7C15ull) >> 48);
    __afl_area_ptr[(current ^ previous) & kMapMask]++;
    previous = current >> 1;
}
