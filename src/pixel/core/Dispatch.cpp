// Which row each level brings. A level keeps every row of the levels below it
// that it does not replace. A new level is one more block here; a new vector
// row is one line in the block of each level that has it.
#include "pixel/core/Dispatch.h"

#include <array>

#include "pixel/demosaic/DemosaicRows.h"
#include "pixel/filter/FilterRows.h"
#include "pixel/gray/GrayRows.h"
#include "pixel/output/OutputRows.h"
#include "pixel/placement/PlacementRows.h"

namespace pixel {

namespace {

RowTable Fill(SimdLevel level) {
    RowTable t{};
    t.level = level;
    if (level >= SimdLevel::Sse2) {
        t.demosaic8 = DemosaicRow8Sse2;
        t.demosaic16 = DemosaicRow16Sse2;
        t.sharpen = SharpenRowSse2;
        t.reorder = ReorderRowSse2;
        t.mirror = MirrorRowSse2;
        t.widen = WidenRowSse2;
        t.swapRows = SwapRowsSse2;
        t.narrow48 = NarrowSamplesSse2;
        t.grayCorrection = GrayCorrectionRowSse2;
        t.affineBytes = ApplyAffineRowSse2;
        t.affineWords = ApplyAffineWordRowSse2;
        t.hueSaturation = HueSaturationRowSse2;
    }
    if (level >= SimdLevel::Avx2) {
        t.demosaic8 = DemosaicRow8Avx2;
        t.demosaic16 = DemosaicRow16Avx2;
        t.demosaic8Copy = DemosaicRow8Avx2;
        t.byteTable = ApplyByteTableRowAvx2;
        t.wordTable = ApplyWordTableRowAvx2;
        t.affineBytes = ApplyAffineRowAvx2;
        t.affineWords = ApplyAffineWordRowAvx2;
        t.hueSaturation = HueSaturationRowAvx2;
        t.sharpen = SharpenRowAvx2;
        t.sharpenKeepsColumns = true;
        t.grayCorrection = GrayCorrectionRowAvx2;
        t.grayFromColor = GrayFromColorRowAvx2;
        t.reorder = ReorderRowAvx2;
        t.reorderStream = ReorderRowStreamAvx2;
        t.mirror = MirrorRowAvx2;
        t.widen = WidenRowAvx2;
        t.narrow48 = NarrowSamplesAvx2;
    }
    if (level >= SimdLevel::Avx512) {
        t.demosaic8 = DemosaicRow8Avx512;
        t.demosaic16 = DemosaicRow16Avx512;
        t.byteTable = ApplyByteTableRowAvx512;
        t.wordTable = ApplyWordTableRowAvx512;
        t.affineBytes = ApplyAffineRowAvx512;
        t.hueSaturation = HueSaturationRowAvx512;
        t.sharpen = SharpenRowAvx512;
        t.sharpenReadsOwnRow = true;
        t.grayCorrection = GrayCorrectionRowAvx512;
        // Gray from colour keeps the AVX2 row: measured faster than byte
        // permutes of 64-byte vectors, in the cache and out of it.
        t.narrow48 = NarrowSamplesAvx512;
        t.narrow64 = NarrowPixels64Avx512;
    }
    return t;
}

// One table per level, each filled for the lower of that level and the
// processor's, so that no row the processor cannot run is ever listed.
const std::array<RowTable, 4>& Tables() {
    static const std::array<RowTable, 4> tables = [] {
        std::array<RowTable, 4> t{};
        const int detected = static_cast<int>(DetectedSimdLevel());
        for (int l = 0; l < 4; ++l)
            t[static_cast<size_t>(l)] = Fill(static_cast<SimdLevel>(l < detected ? l : detected));
        return t;
    }();
    return tables;
}

}  // namespace

const RowTable& RowsAt(SimdLevel level) { return Tables()[static_cast<size_t>(level)]; }

const RowTable& Rows() { return RowsAt(ActiveSimdLevel()); }

}  // namespace pixel
