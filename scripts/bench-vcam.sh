#!/usr/bin/env bash
# The virtual camera's speed, in one run:
#  1. the daemon's file path with the link limit off (one full raw frame per
#     read, MB/s) beside a plain read of the same bytes from /dev/shm;
#  2. the frames per second the sample's `stream` receives through the DLL at
#     full resolution in colour modes 8, 24 and 48, with the default link,
#     beside the link's own frame rate.
#
#   scripts/bench-vcam.sh [SECONDS per stream, default 5]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
seconds=${1:-5}
build=$root/build/win
export VIDLYN_BUILD_DIR=$build

"$here/bench.sh" --benchmark_filter=NONE >/dev/null 2>&1  # configures build/bench and installs the peers
ninja -C "$root/build/bench" vidlyn_vcam_bench >/dev/null
echo "=== the daemon's file path, link limit off"
"$root/build/bench/bench/vidlyn_vcam_bench" --benchmark_min_time=1 2>&1 | grep -E '^(BM_|-|Benchmark)'

BUILD_TARGETS="VidlynSdk vidlyn_sample vidlyn_vcamd_host" "$here/build.sh" win >/dev/null
"$here/wine-emulator.sh" reg delete 'HKCU\Software\Norvex\VidlynQM77203Sdk' /f >/dev/null 2>&1 || true
[ -f "$build/vcam.pid" ] && "$here/vcam.sh" stop >/dev/null 2>&1 || true
"$here/vcam.sh" start --drives 1 >/dev/null
trap '"$here/vcam.sh" stop >/dev/null' EXIT
mount=$(sed -n 's/.*(\(.*\)); ready$/\1/p' "$build/vcam.log")
rate=$(sed -n 's/^link_bytes_per_second //p' "$mount/physicaldrive1.state")
echo
echo "=== the sample's stream through the DLL, full resolution, default link"
awk -v r="$rate" 'BEGIN { printf "link: %.0f MB/s, %d bytes per frame: %.1f frames per second\n", r / 1e6, 4896 * 3264, r / (4896 * 3264) }'
for mode in 8 24 48; do
    "$here/wine-emulator.sh" "$build/bin/vidlyn_sample.exe" --mode "$mode" stream "$seconds" | tr '\r' '\n' | grep '^stream:'
done
