#!/usr/bin/env bash
# Writes the package's THIRD_PARTY_NOTICES.txt: the license texts of every library
# linked into the DLL and the sample.
#
#   scripts/notices.sh DEPS_PREFIX CACHE_DIR OUT_FILE
#
# zlib, libpng, libjpeg-turbo and libtiff: their license files, taken from the very
# source packages that scripts/build-deps.sh built (DEPS_PREFIX/VERSIONS names them);
# fetched once into CACHE_DIR. The C++ runtime (libstdc++, libgcc), the mingw-w64
# runtime and its threads library (winpthreads): the copyright records of the
# toolchain's Debian packages, which are made from those sources, and the GPL text
# that the GCC runtime library exception refers to.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 DEPS_PREFIX CACHE_DIR OUT_FILE" >&2; exit 2; }
prefix=$1 cache=$2 out=$3
die() { echo "notices: $*" >&2; exit 1; }
[ -f "$prefix/VERSIONS" ] || die "$prefix/VERSIONS is missing (run scripts/build-deps.sh)"

# Source package: title, license files in its source tree.
title() {
    case $1 in
        zlib) echo "zlib" ;;
        libpng1.6) echo "libpng" ;;
        libjpeg-turbo) echo "libjpeg-turbo (the libjpeg library)" ;;
        tiff) echo "LibTIFF" ;;
        *) return 1 ;;
    esac
}
license_files() {
    case $1 in
        zlib | libpng1.6) echo LICENSE ;;
        libjpeg-turbo) echo LICENSE.md README.ijg ;;
        tiff) echo LICENSE.md ;;
    esac
}

# The license files of one source package version, from the archive's sources.
fetch() { # name version dir
    local name=$1 ver=$2 dir=$3 tmp f
    tmp=$(mktemp -d)
    # apt's download user writes into the folder.
    chmod 777 "$tmp"
    (cd "$tmp" && apt-get source --download-only -qq "$name=$ver" >/dev/null) ||
        { rm -rf "$tmp"; die "apt-get source $name=$ver failed"; }
    dpkg-source --no-check -x "$tmp/${name}_${ver#*:}.dsc" "$tmp/src" >/dev/null
    rm -rf "$dir"
    mkdir -p "$dir"
    for f in $(license_files "$name"); do
        [ -f "$tmp/src/$f" ] || { rm -rf "$tmp"; die "$name $ver has no $f"; }
        cp "$tmp/src/$f" "$dir/"
    done
    rm -rf "$tmp"
    touch "$dir/.complete"
}

rule() { printf '\n%s\n' "================================================================================"; }
section() { # heading
    rule
    printf '%s\n' "$1"
    printf '%s\n\n' "================================================================================"
}

tmp_out=$out.tmp
{
    cat <<'EOF'
Third-party software in the Vidlyn QM7720E SDK

VidlynSdk_USB3_QM7720E.dll and vidlyn_sample.exe contain the following libraries,
linked in statically. Their copyright notices and license texts follow.

EOF
    while IFS='=' read -r name ver; do
        [ -n "$name" ] || continue
        t=$(title "$name") || die "unknown library $name in $prefix/VERSIONS"
        upstream=${ver#*:}
        upstream=${upstream%%-*}
        upstream=${upstream%.dfsg}
        echo "- $t $upstream"
    done <"$prefix/VERSIONS"
    gcc_ver=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-base)
    mingw_ver=$(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev)
    gcc_ver=${gcc_ver#*:}
    mingw_ver=${mingw_ver#*:}
    echo "- GCC runtime libraries: libstdc++ (the C++ runtime) and libgcc, GCC ${gcc_ver%%-*}"
    echo "- mingw-w64 runtime and winpthreads (the threads library), mingw-w64 ${mingw_ver%%-*}"

    while IFS='=' read -r name ver; do
        [ -n "$name" ] || continue
        dir=$cache/${name}_${ver#*:}
        [ -f "$dir/.complete" ] || fetch "$name" "$ver" "$dir"
        for f in $(license_files "$name"); do
            section "$(title "$name"): $f"
            cat "$dir/$f"
        done
    done <"$prefix/VERSIONS"

    section "GCC runtime libraries (libstdc++, libgcc): GNU General Public License version 3 with the GCC Runtime Library Exception 3.1"
    cat /usr/share/doc/gcc-mingw-w64-base/copyright
    section "GNU General Public License version 3 (referred to above)"
    cat /usr/share/common-licenses/GPL-3
    section "mingw-w64 runtime and winpthreads"
    cat /usr/share/doc/mingw-w64-x86-64-dev/copyright
} >"$tmp_out"
mv "$tmp_out" "$out"
