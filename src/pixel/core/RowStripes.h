// Splitting a frame into bands of rows that run side by side on the
// processor's cores. Each band is a disjoint range of output rows and every
// row is computed exactly as in one pass, so the bytes never depend on the
// number of bands. The helper threads are started on first need, at most one
// fewer than the bands asked for, and then wait between frames; they never run
// library code except for a band.
#pragma once
#include <functional>

namespace pixel {

// How many bands a frame is split into at most: the number of cores, lowered
// by the ceiling below.
int StripeLimit();

// Lowers (or restores, with 0) the number of bands, for tests and benchmarks;
// 1 runs every kernel on the calling thread alone.
void SetStripeCeiling(int bands);

// Runs band(first, end) over rows [0, rows) in up to StripeLimit() bands of
// at least minRows rows each; the calling thread runs bands too and returns
// when every band is done. Bands that no helper takes (none could be started,
// or all are busy with other callers' bands) run on the calling thread. A band
// that throws, on any thread, stops the bands not yet started; the call waits
// for those running and then throws the first exception on the calling thread.
void ForEachStripe(int rows, int minRows, const std::function<void(int first, int end)>& band);

}  // namespace pixel
