#!/usr/bin/env bash
# The SDK's main job, end to end: builds the DLL and the sample application and runs
# the sample under wine. The sample loads the DLL, prints its version, opens a camera
# session, prints the errors the session reported and closes it.
#
#   scripts/demo.sh [sample arguments...]
#
# Steps: build; (camera: a virtual camera is attached to the wine prefix here, as
# physicaldriveN plus the disk enumeration key, once the daemon exists); run the sample.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$root/build/win

BUILD_TARGETS="VidlynSdk vidlyn_sample" "$here/build.sh" win

echo "=== running the sample application under wine"
"$here/wine-emulator.sh" "$build/bin/vidlyn_sample.exe" "$@" | tr -d '\r'
