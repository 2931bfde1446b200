#!/usr/bin/env bash
# The command-line sample as a user runs it, against two virtual cameras (run
# through scripts/vcam.sh): what it prints, and that every failure gives the
# SDK's error code with its meaning and a non-zero exit status.
#
#   sample_test.sh SAMPLE.exe
set -uo pipefail
sample=$1
emulator=$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-emulator.sh
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# run ARGS...: sets $out (stdout and stderr, without CR) and $status.
run() {
    out=$("$emulator" "$sample" "$@" 2>&1 </dev/null | tr -d '\r')
    status=${PIPESTATUS[0]}
    echo "\$ vidlyn_sample $*"
    echo "$out"
}

# The sample's settings stay in the prefix's registry: start and end without them.
forget_settings() { "$emulator" reg delete 'HKCU\Software\Norvex\VidlynQM77203Sdk' /f >/dev/null 2>&1; }
forget_settings

run list
[ "$status" = 0 ] || fail "list exited with $status"
grep -q '^SDK version 0x013A0519, 2 cameras$' <<<"$out" || fail "list does not count two cameras"
grep -q '^  2  VidlynQM7720E_02: 4896 x 3264 pixels, gain 0..1023, exposure 1..3335$' <<<"$out" ||
    fail "list does not describe the second camera"

run --camera 2 set exposure 2000 gain 300 mirror-h 1
[ "$status" = 0 ] || fail "set exited with $status"
grep -q '^exposure = 2000 (115787 us)$' <<<"$out" || fail "set does not confirm the exposure"
grep -q '^gain = 300$' <<<"$out" || fail "set does not confirm the gain"
grep -q '^mirror-h = 1$' <<<"$out" || fail "set does not confirm the mirror"
[ "$(grep '^reg 0x2004 ' "$VIDLYN_VCAM_MOUNT/physicaldrive7.state")" = "reg 0x2004 2000" ] ||
    fail "the exposure did not reach camera 2 (drive 7)"

# One still in each format, parsed back from the file's own header.
dir=$(mktemp -d)
trap 'forget_settings; rm -rf "$dir"' EXIT
u32le() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
u16le() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
hex() { od -An -tx1 -j"$2" -N"$3" "$1" | tr -d ' \n'; }
for format in bmp raw jpeg png tiff; do
    run snap "Z:$dir/still.$format" "$format"
    [ "$status" = 0 ] || fail "snap $format exited with $status"
    grep -q "^saved Z:$dir/still.$format ([0-9]* bytes, 24 bits per pixel)$" <<<"$out" || fail "snap $format: no confirmation"
done
f=$dir/still.bmp
[ "$(hex "$f" 0 2)" = 424d ] && [ "$(u32le "$f" 18)" = 4896 ] && [ "$(u32le "$f" 22)" = 3264 ] &&
    [ "$(u16le "$f" 28)" = 24 ] && [ "$(u32le "$f" 2)" = "$(stat -c %s "$f")" ] || fail "the BMP header is not a 4896 x 3264 24-bit bitmap"
[ "$(stat -c %s "$dir/still.raw")" = $((4896 * 3 * 3264)) ] || fail "the raw file is not one 24-bit frame"
f=$dir/still.png
[ "$(hex "$f" 0 8)" = 89504e470d0a1a0a ] && [ "$(hex "$f" 16 8)" = 0000132000000cc0 ] ||
    fail "the PNG is not 4896 x 3264"
f=$dir/still.jpeg
[ "$(hex "$f" 0 2)" = ffd8 ] && [ "$(hex "$f" $(($(stat -c %s "$f") - 2)) 2)" = ffd9 ] || fail "the JPEG is not whole"
f=$dir/still.tiff
[ "$(hex "$f" 0 4)" = 49492a00 ] || fail "the TIFF is not a classic little-endian TIFF"

# A short stream: frames arrive, and the camera's counter is read from them.
run --mode 8 stream 2
[ "$status" = 0 ] || fail "stream exited with $status"
grep -q '^stream: 4896 x 3264, 8 bits per pixel: [1-9][0-9]* frames in .* fps), [0-9]* dropped by the frame counter$' \
    <<<"$out" || fail "stream reports no frames"

# A short recording: a complete AVI of full frames (RIFF size, main header, index).
run record "Z:$dir/clip.avi" 0.2
[ "$status" = 0 ] || fail "record exited with $status"
f=$dir/clip.avi
[ "$(hex "$f" 0 4)" = 52494646 ] && [ "$(hex "$f" 8 4)" = 41564920 ] &&
    [ $(($(u32le "$f" 4) + 8)) = "$(stat -c %s "$f")" ] || fail "the AVI is not one whole RIFF file"
[ "$(hex "$f" 24 4)" = 61766968 ] && [ "$(u32le "$f" 64)" = 4896 ] && [ "$(u32le "$f" 68)" = 3264 ] &&
    [ "$(u32le "$f" 48)" -ge 1 ] || fail "the AVI main header does not describe 4896 x 3264 frames"
grep -qa idx1 "$f" || fail "the AVI has no index"

# Failures: the SDK's code and its meaning, exit status 1; a wrong command line 2.
run set exposure 4000
[ "$status" = 1 ] || fail "a refused exposure exited with $status"
grep -q 'Vidlyn_SetFilterValue failed: code 9, an argument is out of range' <<<"$out" || fail "no code for a refused value"
run --camera 3 set gain 1
[ "$status" = 1 ] || fail "a missing camera exited with $status"
grep -q 'Vidlyn_SetDeviceNumber failed: code 2, ' <<<"$out" || fail "no code for a missing camera"
run frobnicate
[ "$status" = 2 ] || fail "an unknown command exited with $status"

[ $failures -eq 0 ] && echo "all sample checks passed"
exit $((failures > 0))
