#!/usr/bin/env bash
# The virtual camera's speed, in one run:
#  1. the daemon's file path with the link limit off (one full raw frame per
#     read, MB/s) beside a plain read of the same bytes from /dev/shm;
#  2. the frames per second the sample's `stream` receives through the DLL at
#     full resolution in colour modes 8, 24 and 48, with the default link,
#     beside the link's own frame rate;
#  3. the latency of starting, stopping and single frames (scripts/bench-latency.sh);
#  4. the recorder at 8, 24 and 48 bits beside a plain sequential write of the
#     same bytes to the same folder, with the frames it lost (the stream's rate
#     is the bound where the camera is slower than the write), and once more
#     at 24 bits with the camera as fast as it is read;
#  5. frames lost by the sample's `stream` (Vidlyn_GetImage) and by the callback
#     mode while two busy loops keep both cores busy, with the camera at 10 frames
#     per second and at the link's rate.
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

BUILD_TARGETS="VidlynSdk vidlyn_sample vidlyn_vcamd_host vidlyn_latency_bench" "$here/build.sh" win >/dev/null
# The SDK's defaults, and an empty disk list (a test stopped midway leaves its camera listed).
clean() {
    "$here/wine-emulator.sh" reg delete 'HKCU\Software\Norvex\VidlynQM77203Sdk' /f >/dev/null 2>&1 || true
    "$here/wine-emulator.sh" reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum' /f >/dev/null 2>&1 || true
}
[ -f "$build/vcam.pid" ] && "$here/vcam.sh" stop >/dev/null 2>&1 || true
clean
"$here/vcam.sh" start --drives 1 >/dev/null
trap '[ -f "$build/vcam.pid" ] && "$here/vcam.sh" stop >/dev/null' EXIT
mount=$(sed -n 's/.*(\(.*\)); ready$/\1/p' "$build/vcam.log")
rate=$(sed -n 's/^link_bytes_per_second //p' "$mount/physicaldrive1.state")
echo
echo "=== the sample's stream through the DLL, full resolution, default link"
awk -v r="$rate" 'BEGIN { printf "link: %.0f MB/s, %d bytes per frame: %.1f frames per second\n", r / 1e6, 4896 * 3264, r / (4896 * 3264) }'
sample() { "$here/wine-emulator.sh" "$build/bin/vidlyn_sample.exe" "$@" | tr '\r' '\n'; }
for mode in 8 24 48; do
    sample --mode "$mode" stream "$seconds" | grep '^stream:'
done

bench() { "$here/wine-emulator.sh" "$build/bin/vidlyn_latency_bench.exe" "$@" | tr -d '\r'; }
echo
echo "=== latency, default link ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
bench latency 5
echo
echo "=== the recorder, full resolution, default link"
bench record 3 8 24 48
"$here/vcam.sh" stop >/dev/null
echo
echo "=== the recorder, 24 bits, the camera as fast as it is read (no link limit, no frame rate)"
clean
"$here/vcam.sh" start --drives 1 --link 0 --fps 0 >/dev/null
bench record 3 24
"$here/vcam.sh" stop >/dev/null

echo
echo "=== frames lost with two busy loops on the cores, 24 bits, $seconds s"
busy=()
trap 'for p in "${busy[@]}"; do kill "$p" 2>/dev/null; done; [ -f "$build/vcam.pid" ] && "$here/vcam.sh" stop >/dev/null' EXIT
for _ in 1 2; do
    (while :; do :; done) >/dev/null 2>&1 </dev/null &
    busy+=($!)
done
for fps in 10 0; do
    clean
    if [ "$fps" = 0 ]; then "$here/vcam.sh" start --drives 1 >/dev/null; else "$here/vcam.sh" start --drives 1 --fps "$fps" >/dev/null; fi
    echo "camera at $([ "$fps" = 0 ] && echo "the link's rate" || echo "$fps fps"):"
    sample --mode 24 stream "$seconds" | grep '^stream:'
    bench callback "$seconds"
    "$here/vcam.sh" stop >/dev/null
done
