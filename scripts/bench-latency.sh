#!/usr/bin/env bash
# The camera path's latency through the virtual camera daemon, in one run:
# start to first frame, stop, Vidlyn_SnapShot from idle and with a capture
# armed, at full size and subsampled (medians of repetitions), and where the
# time goes (bench/win/latency_bench.cpp).
#
#   scripts/bench-latency.sh [REPETITIONS, default 7]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
runs=${1:-7}
build=$root/build/win
export VIDLYN_BUILD_DIR=$build

BUILD_TARGETS="vidlyn_latency_bench vidlyn_vcamd_host" "$here/build.sh" win >/dev/null
# A camera left running by an interrupted run goes first; the SDK's defaults and
# an empty disk list (a test stopped midway leaves its camera listed).
[ -f "$build/vcam.pid" ] && "$here/vcam.sh" stop >/dev/null 2>&1 || true
"$here/wine-emulator.sh" reg delete 'HKCU\Software\Norvex\VidlynQM77203Sdk' /f >/dev/null 2>&1 || true
"$here/wine-emulator.sh" reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum' /f >/dev/null 2>&1 || true
echo "=== latency through the virtual camera, default link ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
"$here/vcam.sh" run --drives 1 -- \
    "$here/wine-emulator.sh" "$build/bin/vidlyn_latency_bench.exe" latency "$runs" | tr -d '\r'
