#!/usr/bin/env bash
# Prepares a Debian 12 machine (as root) for building and testing the SDK:
# installs the missing Debian packages (apt is skipped when all are present) and
# cross-builds the third-party libraries into their cache (skipped when cached).
# Prints the third-party prefix. Takes a fraction of a second when all is there.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

packages=(
    # Windows cross toolchain and the runtime the tests run on
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64
    # build tools; dpkg-dev unpacks Debian source packages, nasm builds libjpeg-turbo's SIMD code
    cmake ninja-build make g++ pkg-config nasm dpkg-dev googletest
    # native build: pixel-core tests, benchmarks with OpenCV as the peer, the virtual camera
    libgtest-dev libbenchmark-dev libopencv-dev libfuse3-dev fuse3
    # windows with real pixels for screenshots; a Japanese font for the Japanese dialogs
    xvfb xauth fonts-ipafont-gothic
    # the Japanese locale of the Japanese-language tests
    locales
    # the package (scripts/package.sh): MSVC import library, MSI, zip; lld-link and
    # unzip for its tests
    llvm-14 lld-14 wixl msitools zip unzip
)

# One dpkg-query for all: packages it does not know are missing as well.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null | awk '$4 == "installed" { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
    grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    [ "$(id -u)" = 0 ] || { echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; }
    echo "setup: installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    # Another install may hold the package manager: wait for it rather than fail.
    "$here/apt-get-wait.sh" update -qq </dev/null
    "$here/apt-get-wait.sh" install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

# A Japanese wine process (LC_ALL=ja_JP.UTF-8) names its Unix files in that
# locale's encoding; without the locale it cannot create a file with a Japanese name.
if ! locale -a 2>/dev/null | grep -qixF ja_jp.utf8; then
    [ "$(id -u)" = 0 ] || { echo "setup: run as root to generate the ja_JP.UTF-8 locale" >&2; exit 1; }
    localedef -i ja_JP -c -f UTF-8 -A /usr/share/locale/locale.alias ja_JP.UTF-8
fi

"$here/build-deps.sh"
