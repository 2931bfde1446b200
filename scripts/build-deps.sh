#!/usr/bin/env bash
# Cross-builds the third-party libraries of the Windows build (zlib, libpng 1.6,
# libjpeg-turbo, libtiff 4, GoogleTest) as static libraries from Debian's own
# source packages, into a cache folder outside the work tree keyed by the package
# versions, the cross compiler and this recipe. A warm run only checks the key.
#
#   scripts/build-deps.sh                 build if needed, print the prefix
#   scripts/build-deps.sh --print-prefix  print the prefix that matches now (no build)
#
# The prefix of the last successful run is also written to $VIDLYN_DEPS_CACHE/current,
# which cmake/VidlynDeps.cmake reads when VIDLYN_DEPS_PREFIX is not given.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root_dir=$(dirname "$here")
toolchain=$root_dir/cmake/mingw-w64-x86_64.cmake
cache=${VIDLYN_DEPS_CACHE:-/var/cache/vidlyn-deps}
triple=x86_64-w64-mingw32
jobs=$(nproc)
src_pkgs=(zlib libpng1.6 libjpeg-turbo tiff)

log() { echo "build-deps: $*" >&2; }
die() { log "error: $*"; exit 1; }

# --- Debian source archive -------------------------------------------------------
have_deb_src() { [ -n "$(apt-cache showsrc --only-source zlib 2>/dev/null | sed -n "s/^Version: //p")" ]; }

# Adds deb-src entries mirroring the configured Debian archive entries (deb822
# *.sources and one-line *.list files alike), then refreshes the package lists.
ensure_deb_src() {
    have_deb_src && return 0
    local list=/etc/apt/sources.list.d/vidlyn-deb-src.list
    local sources=/etc/apt/sources.list.d/vidlyn-deb-src.sources
    if ! grep -qsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
        log "adding deb-src entries for the Debian archive"
        shopt -s nullglob
        local f files=()
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && files+=("$f"); done
        if [ ${#files[@]} -gt 0 ]; then
            grep -hE '^[[:space:]]*deb[[:space:]]' "${files[@]}" | grep -i debian |
                sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >"$list" || true
            [ -s "$list" ] || rm -f "$list"
        fi
        files=(/etc/apt/sources.list.d/*.sources)
        shopt -u nullglob
        if [ ${#files[@]} -gt 0 ]; then
            # Copy every stanza of type deb that points at a Debian archive, as deb-src.
            awk 'BEGIN { RS=""; ORS="\n\n"; FS="\n" }
                 {
                   deb = 0; debian = 0; out = ""
                   for (i = 1; i <= NF; i++) {
                     line = $i
                     if (line ~ /^#/) continue
                     if (line ~ /^Types:/) { if (line ~ /[[:space:]]deb([[:space:]]|$)/) deb = 1; line = "Types: deb-src" }
                     if (line ~ /^URIs:/ && tolower(line) ~ /debian/) debian = 1
                     out = out line "\n"
                   }
                   if (deb && debian) printf "%s\n", out
                 }' "${files[@]}" >"$sources"
            [ -s "$sources" ] || rm -f "$sources"
        fi
        if [ ! -s "$list" ] && [ ! -s "$sources" ]; then
            local codename
            codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
            echo "deb-src http://deb.debian.org/debian $codename main" >"$list"
        fi
    fi
    log "apt-get update (source package lists)"
    "$here/apt-get-wait.sh" update -qq </dev/null
    have_deb_src || die "apt-get source still finds no source packages"
}

# --- the cache key -------------------------------------------------------------------
# Source versions the archive offers for a package, newest first.
declare -A offered=()
offered_versions() {
    if [ -z "${offered[$1]:-}" ]; then
        offered[$1]=$(apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u | sort -rV)
    fi
    printf '%s\n' "${offered[$1]}"
}

# The key: the source versions offered now, googletest's and the cross compiler's
# package versions, and a hash of this recipe and the toolchain file. The version
# actually built (the newest one the archive serves) is recorded in $prefix/VERSIONS.
compute_key() {
    local name vers upstream="" hash
    key_text=""
    for name in "${src_pkgs[@]}"; do
        offered_versions "$name" >/dev/null
        vers=$(offered_versions "$name" | tr '\n' ' ')
        [ -n "$vers" ] || die "the archive offers no source package $name"
        key_text+="$name=$vers"$'\n'
    done
    key_text+="googletest=$(dpkg-query -W -f='${Version}' googletest)"$'\n'
    key_text+="gcc=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)"$'\n'
    key_text+="recipe=$(cat "${BASH_SOURCE[0]}" "$toolchain" | sha256sum | cut -c1-16)"$'\n'
    hash=$(printf '%s' "$key_text" | sha256sum | cut -c1-12)
    upstream=$(upstream_of zlib z)-$(upstream_of libpng1.6 png)-$(upstream_of libjpeg-turbo jpeg)-$(upstream_of tiff tiff)
    prefix=$cache/$upstream-$hash
}

upstream_of() { # package short-name: e.g. "png1.6.39"
    local v
    v=$(offered_versions "$1" | head -n1)
    v=${v#*:}
    v=${v%%-*}
    echo "$2${v%.dfsg}"
}

# --- the builds ------------------------------------------------------------------------
cmake_cross() { # source-dir build-dir extra-args...
    local src=$1 bld=$2; shift 2
    cmake -G Ninja -S "$src" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
        -DBUILD_SHARED_LIBS=OFF -Wno-dev "$@"
}

build_zlib() {
    cd "$work/zlib"
    # zlib's own configure gives a plain static libz.a (its CMake names it differently on Windows).
    CHOST=$triple CC=$triple-gcc-posix AR=$triple-ar RANLIB=$triple-ranlib CFLAGS="-O2" \
        ./configure --static --prefix="$prefix"
    make -j"$jobs" libz.a
    make install
    [ -f "$prefix/lib/libz.a" ] || die "zlib did not install libz.a"
}

build_png() {
    cmake_cross "$work/libpng1.6" "$work/libpng1.6/_b" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON \
        -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
    cmake --build "$work/libpng1.6/_b" -j "$jobs"
    cmake --install "$work/libpng1.6/_b"
}

build_jpeg() {
    local s=$work/libjpeg-turbo b=$work/libjpeg-turbo/_b
    # The SIMD code needs nasm; the library alone is built (no tools, no TurboJPEG API).
    cmake_cross "$s" "$b" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=ON \
        -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
    cmake --build "$b" -j "$jobs" --target jpeg-static
    install -d "$prefix/lib" "$prefix/include"
    install -m 644 "$b/libjpeg.a" "$prefix/lib/libjpeg.a"
    install -m 644 "$b/jconfig.h" "$s/jpeglib.h" "$s/jmorecfg.h" "$s/jerror.h" "$prefix/include/"
}

build_tiff() {
    local off=()
    local o
    # Only uncompressed and deflate strips; no tools, tests, docs, C++ or other codecs.
    for o in tiff-tools tiff-tests tiff-contrib tiff-docs tiff-opengl cxx libdeflate pixarlog jpeg old-jpeg \
             jpeg12 jbig lerc lzma zstd webp ccitt packbits lzw thunder next logluv mdi; do
        off+=("-D$o=OFF")
    done
    cmake_cross "$work/tiff" "$work/tiff/_b" "${off[@]}" -Dzlib=ON \
        -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
    cmake --build "$work/tiff/_b" -j "$jobs"
    cmake --install "$work/tiff/_b"
}

build_gtest() {
    # GTEST_HAS_PTHREAD must be 0 as in the headers' default for Windows, or the
    # library and the tests disagree about gtest's internal mutex.
    cmake_cross /usr/src/googletest "$work/googletest/_b" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON \
        -Dgtest_disable_pthreads=ON
    cmake --build "$work/googletest/_b" -j "$jobs"
    cmake --install "$work/googletest/_b"
}

fetch_sources() {
    mkdir -p "$work/dl"
    cd "$work/dl"
    # apt's download user must be able to write here.
    chmod 777 "$work/dl"
    local name ver dsc
    for name in "${src_pkgs[@]}"; do
        # Newest first; a version whose files the mirror does not serve is skipped.
        dsc=""
        for ver in $(offered_versions "$name"); do
            if apt-get source --download-only -qq "$name=$ver" >/dev/null 2>"$work/dl/err"; then
                dsc=$(ls "$work"/dl/"${name}_${ver#*:}".dsc)
                echo "$name=$ver" >>"$prefix/VERSIONS"
                break
            fi
            echo "could not fetch $name=$ver:"; cat "$work/dl/err"
        done
        [ -n "$dsc" ] || { echo "no version of $name could be fetched"; return 1; }
        dpkg-source --no-check -x "$dsc" "$work/$name" >/dev/null
    done
}

step() { # name function
    local name=$1 fn=$2 t0=$SECONDS
    log "building $name"
    # Not inside an if: errexit must stay in force in the subshell.
    local rc=0
    set +e
    (set -e; "$fn") >"$logs/$name.log" 2>&1
    rc=$?
    set -e
    if [ $rc -ne 0 ]; then
        tail -n 40 "$logs/$name.log" >&2
        die "$name failed (full log: $logs/$name.log)"
    fi
    log "  $name done in $((SECONDS - t0)) s"
}

# --- main ----------------------------------------------------------------------------------
mode=build
case "${1:-}" in
    --print-prefix) mode=print ;;
    "") ;;
    *) die "unknown option $1" ;;
esac

for tool in cmake ninja nasm make "$triple-gcc-posix" "$triple-g++-posix" dpkg-source; do
    command -v "$tool" >/dev/null || die "$tool is missing (run scripts/setup.sh)"
done
[ -d /usr/src/googletest ] || die "/usr/src/googletest is missing (run scripts/setup.sh)"

mkdir -p "$cache"
if [ "$mode" = print ]; then
    have_deb_src || die "no deb-src entries yet (run scripts/build-deps.sh)"
    compute_key
    echo "$prefix"
    exit 0
fi

exec 8>"$cache/.lock"
flock 8
ensure_deb_src
compute_key

if [ ! -f "$prefix/.complete" ]; then
    t_all=$SECONDS
    log "cold build into $prefix"
    rm -rf "$prefix"
    work=$cache/.work-$(basename "$prefix")
    logs=$prefix/logs
    rm -rf "$work"
    mkdir -p "$work" "$logs"
    step sources fetch_sources
    step zlib build_zlib
    step libpng build_png
    step libjpeg-turbo build_jpeg
    step libtiff build_tiff
    step googletest build_gtest
    printf '%s' "$key_text" >"$prefix/KEY"
    cat "$prefix/VERSIONS" >&2
    rm -rf "$work"
    touch "$prefix/.complete"
    log "all done in $((SECONDS - t_all)) s"
    # Keep the three newest prefixes (older work trees may still point at one).
    ls -1dt "$cache"/z*-png*-jpeg*-tiff*-* 2>/dev/null | tail -n +4 | xargs -r rm -rf
fi
echo "$prefix" >"$cache/current.tmp"
mv "$cache/current.tmp" "$cache/current"
echo "$prefix"
