// Which vector instructions the fast kernels use. Every x64 processor has
// SSE2; AVX2, and AVX-512 (with byte permutes, VBMI), are used when the
// processor and the operating system support them.
// The choice is made once, on first use; the scalar kernels stay as the
// reference every fast path must match byte for byte.
#pragma once

namespace pixel {

// Ordered: a level includes every level below it.
enum class SimdLevel : int { Scalar = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };

// What this processor offers (probed once).
SimdLevel DetectedSimdLevel();

// What the kernels use: the detected level, lowered by the ceiling.
SimdLevel ActiveSimdLevel();

// Lowers (or restores) the level the kernels may use, for tests and
// benchmarks that compare the paths on one machine. Never raises it above the
// detected level.
void SetSimdCeiling(SimdLevel ceiling);

}  // namespace pixel
