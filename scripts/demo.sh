#!/usr/bin/env bash
# The SDK's main job, end to end, without a real camera: builds the DLL, the
# command-line sample and the virtual camera daemon, starts a virtual QM7720E
# in the project's wine prefix (linked as \\.\PhysicalDrive1 and listed in the
# system's disk list, as a real camera is), runs the sample under wine against
# the unmodified DLL and stops the camera again. Exits non-zero when any step fails.
#
#   scripts/demo.sh
#
# VIDLYN_DEMO_VCAM_OPTIONS adds daemon options (scripts/vcam.sh), for example
# --remove-after 5 to see how a camera unplugged mid-stream is reported (the SDK
# gives a camera up 2 s after its last answer, within the 3 s stream only when
# the unplug comes in the stream's first second).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$root/build/win
export VIDLYN_BUILD_DIR=$build

step() { printf '\n=== %s\n' "$*"; }
sample() {
    echo "\$ vidlyn_sample $*"
    "$here/wine-emulator.sh" "$build/bin/vidlyn_sample.exe" "$@" | sed 's/\r$//'
}

step "building the DLL, the sample and the virtual camera"
BUILD_TARGETS="VidlynSdk vidlyn_sample vidlyn_vcamd_host" "$here/build.sh" win

step "starting the virtual camera"
# A camera left running by an interrupted demo is stopped first.
[ -f "$build/vcam.pid" ] && "$here/vcam.sh" stop >/dev/null 2>&1 || true
# The demo starts from the SDK's default settings (tests leave theirs behind),
# and from an empty disk list: a test that was stopped midway leaves its
# simulated camera listed, which the SDK would count as a second camera.
"$here/wine-emulator.sh" reg delete 'HKCU\Software\Norvex\VidlynQM77203Sdk' /f >/dev/null 2>&1 || true
"$here/wine-emulator.sh" reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum' /f >/dev/null 2>&1 || true
# shellcheck disable=SC2086
"$here/vcam.sh" start --drives 1 ${VIDLYN_DEMO_VCAM_OPTIONS:-} >/dev/null
trap 'status=$?; echo; echo "=== stopping the virtual camera"; "$here/vcam.sh" stop || status=1; exit $status' EXIT
sed -n 's/^vidlyn_vcamd: //p' "$build/vcam.log"

step "the cameras the SDK finds"
sample list

step "streaming 3 seconds at full resolution, 24 bits per pixel"
echo "(the virtual camera's link: 400 MB/s, 15 980 544 bytes per frame: at most 25.0 frames per second)"
sample --mode 24 stream 3

step "one still in each format"
out=$root/build/demo
rm -rf "$out"
mkdir -p "$out"
for format in bmp raw jpeg png tiff; do
    sample snap "Z:$out/still.$format" "$format"
done

step "recording 2 seconds of AVI"
sample record "Z:$out/clip.avi" 2

step "files written"
ls -l "$out"
