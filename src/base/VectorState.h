#pragma once

// The x86 vector unit's upper register state. Code that uses 256-bit AVX registers and returns
// without clearing their upper halves (vzeroupper) leaves that state "in use"; on some CPUs
// every legacy SSE instruction then pays for merging it, which slows SSE-heavy code such as the
// embedded database's row loop and memmove by a third or more. Hot loops start from a clean
// state by calling resetVectorState() first. docs/performance.md tells how to see the state.

namespace Qd::Core::Sys {

// Clears the upper halves of the vector registers where the CPU has AVX (checked once); nothing
// on other CPUs, or when the environment sets QD_KEEP_VECTOR_STATE=1 (to measure without it).
void resetVectorState();

// Whether the AVX upper state is in use at this moment, as XGETBV(1) reports it (XINUSE bit 2);
// false where the CPU cannot tell.
bool vectorStateDirty();

}  // namespace Qd::Core::Sys
