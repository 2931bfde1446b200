// The paths a kernel family runs on this processor: every vector level it has
// (SSE2 is the floor of x64) and a number of row bands chosen by the input.
#pragma once
#include <functional>
#include <vector>

#include "FuzzInput.h"
#include "pixel/core/RowStripes.h"
#include "pixel/core/SimdLevel.h"

namespace fuzz {

inline std::vector<pixel::SimdLevel> Levels() {
    std::vector<pixel::SimdLevel> levels{pixel::SimdLevel::Sse2};
    for (const auto l : {pixel::SimdLevel::Avx2, pixel::SimdLevel::Avx512})
        if (pixel::DetectedSimdLevel() >= l) levels.push_back(l);
    return levels;
}

// Runs body at every level with 1 to 3 bands (from the input); restores both after.
inline void ForEachLevel(Input& in, const std::function<void()>& body) {
    pixel::SetStripeCeiling(in.Range(1, 3));
    for (const auto level : Levels()) {
        pixel::SetSimdCeiling(level);
        body();
    }
    pixel::SetSimdCeiling(pixel::SimdLevel::Avx512);
    pixel::SetStripeCeiling(0);
}

// A width: mostly small, now and then past the widest vectors' steps.
inline int AnyWidth(Input& in) { return in.Bool() ? in.Range(1, 40) : in.Range(1, 300); }

}  // namespace fuzz
