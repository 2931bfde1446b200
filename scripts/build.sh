#!/usr/bin/env bash
# Configures (once) and builds, incrementally:
#   build/win     the Windows build: the DLL, the sample, the wine tests (mingw-w64)
#   build/native  the native build: pixel core and camera model tests under ASan+UBSan
#
#   scripts/build.sh [win|native]...     default: both
# BUILD_TYPE (default RelWithDebInfo) sets the configuration of a new build folder;
# BUILD_TARGETS limits what is built (e.g. BUILD_TARGETS="VidlynSdk vidlyn_sample").
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build_type=${BUILD_TYPE:-RelWithDebInfo}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(win native)

# Packages or third-party libraries missing: setup installs and builds them.
prefix=$("$here/setup.sh" | tail -n1)
[ -f "$prefix/.complete" ] || { echo "build: setup did not produce the third-party libraries" >&2; exit 1; }

configure() { # dir cmake-args...
    local dir=$1; shift
    [ -f "$dir/build.ninja" ] || cmake -G Ninja -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE="$build_type" "$@"
}

for t in "${targets[@]}"; do
    case $t in
        win)
            configure "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
                -DVIDLYN_DEPS_PREFIX:PATH="$prefix"
            # A new third-party prefix (new versions or recipe): point the build at it.
            # The cached type may differ (a folder configured by hand without one).
            [ "$(sed -n 's/^VIDLYN_DEPS_PREFIX:[A-Z]*=//p' "$root/build/win/CMakeCache.txt")" = "$prefix" ] ||
                cmake "$root/build/win" -DVIDLYN_DEPS_PREFIX:PATH="$prefix"
            ;;
        native)
            configure "$root/build/native"
            ;;
        *) echo "build: unknown build '$t' (win or native)" >&2; exit 2 ;;
    esac
    # shellcheck disable=SC2086
    cmake --build "$root/build/$t" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
done
