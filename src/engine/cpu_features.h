#pragma once
// What the processor can do beyond the build's baseline, asked once: the
// per-byte loops of the scan pick their vector version by it.

namespace tarnwick {

#if defined(__x86_64__) && defined(__GNUC__)
#define TARNWICK_X86_VECTORS 1
inline bool hasAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

} // namespace tarnwick
