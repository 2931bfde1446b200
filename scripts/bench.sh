#!/usr/bin/env bash
# Builds and runs the pixel-core benchmarks: an optimized native build
# (-O2, no sanitizers) in build/bench, then one run with a summary table of
# every hot path against OpenCV's Bayer conversion and memcpy.
# Extra arguments go to the benchmark program (e.g. --benchmark_filter=Demosaic).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ -d /usr/include/opencv4 ] || need+=(libopencv-dev)
[ -d /usr/src/googletest ] || need+=(libgtest-dev)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    "$root/scripts/apt-get-wait.sh" install -y "${need[@]}" </dev/null
  else
    echo "bench.sh: missing packages: ${need[*]} (apt-get install them as root)" >&2
    exit 1
  fi
fi

cmake -S "$root" -B "$build" -G Ninja -DVIDLYN_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
ninja -C "$build" vidlyn_pixel_bench
"$build/bench/vidlyn_pixel_bench" --benchmark_min_time=0.3 "$@"
