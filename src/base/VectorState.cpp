#include "base/VectorState.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QD_X86 1
#endif

namespace Qd::Core::Sys {

namespace {

#ifdef QD_X86
bool keepState() {
    const char* keep = std::getenv("QD_KEEP_VECTOR_STATE");
    return keep && std::strcmp(keep, "1") == 0;
}

bool hasAvx() {
    return __builtin_cpu_supports("avx");
}

// XGETBV with ECX = 1 needs the OS to have enabled XSAVE and the CPU to offer that leaf.
bool canReadInUse() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE))
        return false;
    if (!__get_cpuid_count(0xD, 1, &a, &b, &c, &d))
        return false;
    return (a & (1u << 2)) != 0;
}

__attribute__((target("avx"))) void zeroUpper() {
    _mm256_zeroupper();
}
#endif

}  // namespace

void resetVectorState() {
#ifdef QD_X86
    static const bool reset = hasAvx() && !keepState();
    if (reset)
        zeroUpper();
#endif
}

bool vectorStateDirty() {
#ifdef QD_X86
    static const bool readable = canReadInUse();
    if (!readable)
        return false;
    unsigned lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
    return (lo & (1u << 2)) != 0;
#else
    return false;
#endif
}

}  // namespace Qd::Core::Sys
