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
