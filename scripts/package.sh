#!/usr/bin/env bash
# Builds the DLL and the sample (scripts/build.sh win) and packs the SDK into build/dist/:
#
#   vidlyn-sdk-<version>-win64.zip     bin/      the DLL (stripped) and vidlyn_sample.exe
#                                      lib/      libVidlynSdk_USB3_QM7720E.dll.a (MinGW) and
#                                                VidlynSdk_USB3_QM7720E.lib (MSVC), made from the .def
#                                      lib/cmake/VidlynSdk/   find_package(VidlynSdk), target Vidlyn::Sdk
#                                      include/  VidlynSdk.h
#                                      samples/  the sample's sources with a standalone CMakeLists.txt
#                                      docs/     the user's guide and the dialog pictures
#                                      THIRD_PARTY_NOTICES.txt, VERSION
#   vidlyn-sdk-<version>-win64.msi     the same files under Program Files\Vidlyn\SDK\<version>
#                                      (scripts/msi.sh)
#   vidlyn-sdk-<version>-win64-debug/  the debug information of the DLL and the sample (not
#                                      shipped; each shipped file names its own by a debug link)
#
# Incremental: the package tree is assembled anew (a second or two) and the zip and the
# MSI are written only when a file of it changed. The version is the one that
# cmake/VidlynVersion.cmake reads from the public header.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
win=$root/build/win
work=$root/build/package
dist=$root/build/dist
triple=x86_64-w64-mingw32
dll=VidlynSdk_USB3_QM7720E.dll
die() { echo "package: $*" >&2; exit 1; }

BUILD_TARGETS="VidlynSdk vidlyn_sample" "$here/build.sh" win
for tool in llvm-dlltool-14 wixl msiinfo msibuild zip "$triple-objcopy"; do
    command -v "$tool" >/dev/null || die "$tool is missing (run scripts/setup.sh)"
done
version=$(cat "$win/VERSION")
name=vidlyn-sdk-$version-win64
deps=$(sed -n 's/^VIDLYN_DEPS_PREFIX:[A-Z]*=//p' "$win/CMakeCache.txt")

# --- the package tree, assembled in stage.new --------------------------------------
stage=$work/stage.new
debug=$work/debug.new
rm -rf "$stage" "$debug"
mkdir -p "$stage"/{bin,lib/cmake/VidlynSdk,include,samples,docs/dialogs} "$debug"

# Shipped without debug sections and symbols; the debug information is kept beside
# the package, and the debug link (file name and checksum) lets a debugger find it.
# objcopy stamps PE files with the time unless SOURCE_DATE_EPOCH says otherwise: the
# copies keep the linker's time stamp, so that an unchanged build packs the same bytes.
pe_time() { # the PE header's TimeDateStamp
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tu4 -j$((pe + 8)) -N4 "$1" | tr -d ' '
}
for f in "$dll" vidlyn_sample.exe; do
    export SOURCE_DATE_EPOCH
    SOURCE_DATE_EPOCH=$(pe_time "$win/bin/$f")
    "$triple-objcopy" --only-keep-debug "$win/bin/$f" "$debug/$f.debug"
    (cd "$debug" && "$triple-objcopy" --strip-all --add-gnu-debuglink="$f.debug" "$win/bin/$f" "$stage/bin/$f")
done
unset SOURCE_DATE_EPOCH

cp "$win/lib${dll}.a" "$stage/lib/"
# The MSVC-format import library: short import entries for every name of the .def
# file, bound to the DLL that its LIBRARY line names.
llvm-dlltool-14 -m i386:x86-64 -d "$root/src/sdk/VidlynSdk.def" -l "$stage/lib/${dll%.dll}.lib"

cp "$root/cmake/package/VidlynSdkConfig.cmake" "$win/package/VidlynSdkConfigVersion.cmake" \
    "$stage/lib/cmake/VidlynSdk/"
cp "$root/include/VidlynSdk.h" "$stage/include/"
cp "$root"/tools/sample/*.cpp "$root"/tools/sample/*.h "$stage/samples/"
cp "$root/cmake/package/samples-CMakeLists.txt" "$stage/samples/CMakeLists.txt"
cp "$root/docs/USER_GUIDE.md" "$stage/docs/"
cp "$root"/docs/dialogs/*.png "$stage/docs/dialogs/"
"$here/notices.sh" "$deps" "$work/licenses" "$stage/THIRD_PARTY_NOTICES.txt"
cp "$win/VERSION" "$stage/VERSION"

# --- unchanged: nothing to write -------------------------------------------------------
# The recipe (this script, the installer's template) is an input as well.
recipe=$(cat "${BASH_SOURCE[0]}" "$here/msi.sh" "$root/cmake/package/VidlynSdk.wxs" | sha256sum | cut -c1-16)
mkdir -p "$dist"
if [ -d "$work/stage" ] && diff -r -q "$work/stage" "$stage" >/dev/null &&
    [ "$(cat "$work/recipe" 2>/dev/null)" = "$recipe" ] &&
    [ -f "$dist/$name.zip" ] && [ -f "$dist/$name.msi" ] && [ -d "$dist/$name-debug" ]; then
    rm -rf "$stage" "$debug"
    echo "package: $dist/$name.{zip,msi} up to date"
    exit 0
fi
rm -rf "$work/stage" "$work/debug"
mv "$stage" "$work/stage"
mv "$debug" "$work/debug"
stage=$work/stage
# Packages of other versions are not this tree's.
rm -rf "$dist"/vidlyn-sdk-*-win64*

# --- the zip -----------------------------------------------------------------------------
rm -f "$work/$name.zip"
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | zip -q -X "$work/$name.zip" -@)
mv "$work/$name.zip" "$dist/"

# --- the MSI -------------------------------------------------------------------------------
"$here/msi.sh" "$stage" "$version" "$work/$name.msi"
mv "$work/$name.msi" "$dist/"

cp -r "$work/debug" "$dist/$name-debug"
echo "$recipe" >"$work/recipe"
echo "package: wrote $dist/$name.zip, $name.msi and $name-debug/"
