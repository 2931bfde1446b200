#!/usr/bin/env bash
# The SDK as a user receives it (run through scripts/vcam.sh, one camera): the MSI
# installs under wine into Program Files\Vidlyn\SDK\<version> with exactly the zip's
# files; the installed DLL and sample carry the version resource; the notices hold
# every linked library's license; the installed samples/ folder, configured with
# nothing but CMAKE_PREFIX_PATH, builds with MinGW through find_package(VidlynSdk),
# runs and saves a snapshot from the virtual camera; a newer package replaces it; and
# the uninstall leaves nothing behind.
#
#   install_test.sh BUILD_DIR DIST_DIR VERSION_TEST.exe WORK_DIR
set -uo pipefail
build=$1 dist=$2 version_test=$3 work=$4
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
emulator=$scripts/wine-emulator.sh
# The wine prefix of this build, also for programs built in other folders.
export VIDLYN_BUILD_DIR=$build
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
wine() { "$emulator" "$@" </dev/null; }

version=$(cat "$build/VERSION")
name=vidlyn-sdk-$version-win64
msi=$dist/$name.msi
zip=$dist/$name.zip
[ -f "$msi" ] && [ -f "$zip" ] || { echo "FAIL: $msi or $zip is missing"; exit 1; }
prefix=$("$emulator" --prefix "$build") || exit 1
vendor="$prefix/drive_c/Program Files/Vidlyn"
installed="$vendor/SDK/$version"
product_code=$(msiinfo export "$msi" Property | sed -n 's/^ProductCode\t//p' | tr -d '\r')
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"

rm -rf "$work"
mkdir -p "$work"
# Every installed Vidlyn SDK, whichever build made it, is uninstalled at the start and
# at the end: the prefix is left without one.
remove_all() {
    local key
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        awk '/^HKEY_/ { key = $0 } /DisplayName.*Vidlyn QM7720E SDK/ { print key }' | sed 's/.*\\//' |
        while read -r key; do wine msiexec /x "$key" /qn; done
}
trap remove_all EXIT

# --- install: exactly the zip's files ----------------------------------------------------
remove_all
[ -e "$vendor" ] && fail "an earlier install left $vendor"
wine msiexec /i "Z:$msi" /qn || fail "msiexec /i exited with $?"
mkdir -p "$work/zip"
unzip -q "$zip" -d "$work/zip" || fail "the zip does not unpack"
(cd "$work/zip" && find . -type f | LC_ALL=C sort) >"$work/zip.files"
(cd "$installed" 2>/dev/null && find . -type f | LC_ALL=C sort) >"$work/installed.files"
[ "$(wc -l <"$work/zip.files")" -ge 20 ] || fail "the zip holds only $(wc -l <"$work/zip.files") files"
diff -u "$work/zip.files" "$work/installed.files" || fail "the installed files are not the zip's files"
diff -r -q "$work/zip" "$installed" || fail "an installed file differs from the zip's"
for f in bin/VidlynSdk_USB3_QM7720E.dll bin/vidlyn_sample.exe lib/libVidlynSdk_USB3_QM7720E.dll.a \
    lib/VidlynSdk_USB3_QM7720E.lib include/VidlynSdk.h lib/cmake/VidlynSdk/VidlynSdkConfig.cmake \
    lib/cmake/VidlynSdk/VidlynSdkConfigVersion.cmake samples/CMakeLists.txt docs/USER_GUIDE.md \
    THIRD_PARTY_NOTICES.txt VERSION; do
    [ -s "$installed/$f" ] || fail "$f is not installed"
done
wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "no uninstall entry $uninstall_key"

# --- what was installed ------------------------------------------------------------------
# The shipped DLL is stripped and names its debug information.
sections=$(x86_64-w64-mingw32-objdump -h "$installed/bin/VidlynSdk_USB3_QM7720E.dll" | awk '$1 ~ /^[0-9]+$/ { print $2 }')
grep -q '^\.debug_' <<<"$sections" && fail "the installed DLL has debug sections"
grep -qx '\.gnu_debuglink' <<<"$sections" || fail "the installed DLL has no debug link"
# A crash address in the shipped DLL resolves to its function and source line once the
# debug information lies beside it (the debug link's checksum matches), and not without.
mkdir -p "$work/debuglink"
cp "$installed/bin/VidlynSdk_USB3_QM7720E.dll" "$work/debuglink/"
exports=$(x86_64-w64-mingw32-objdump -p "$work/debuglink/VidlynSdk_USB3_QM7720E.dll")
index=$(sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] Vidlyn_GetDllVersion$/\1/p' <<<"$exports")
rva=$(sed -n "s/^[[:space:]]*\[ *$index\] +base\[ *[0-9]*\] \([0-9a-f]*\) Export RVA$/\1/p" <<<"$exports")
base=$(awk '/^ImageBase/ { print $2 }' <<<"$exports")
address=$(printf '0x%x' $((0x$base + 0x$rva)))
resolve() { x86_64-w64-mingw32-addr2line -f -e "$work/debuglink/VidlynSdk_USB3_QM7720E.dll" "$address" | tr '\n' ' '; }
[[ "$(resolve)" == "?? "* ]] || fail "the shipped DLL resolves $address without its debug information: $(resolve)"
cp "$dist/$name-debug/VidlynSdk_USB3_QM7720E.dll.debug" "$work/debuglink/"
[[ "$(resolve)" =~ ^Vidlyn_GetDllVersion\ .*\.cpp:[0-9]+ ]] ||
    fail "Vidlyn_GetDllVersion ($address) does not resolve through the debug link: $(resolve)"
VIDLYN_PACKAGE_DIR="Z:$installed" wine "$version_test" || fail "the installed files' version resources"

# The notices: each library's name and words of its license text.
notices=$installed/THIRD_PARTY_NOTICES.txt
check_notice() { # library phrase
    grep -qF "$1" "$notices" && grep -qF "$2" "$notices" || fail "the notices lack $1 ($2)"
}
check_notice zlib "This software is provided 'as-is', without any express or implied"
check_notice libpng "PNG Reference Library License version 2"
check_notice libjpeg-turbo "The Modified (3-clause) BSD License"
check_notice libjpeg-turbo "this software is based in part on the work of"
check_notice LibTIFF "Copyright © 1988-1997 Sam Leffler"
check_notice libstdc++ "GCC RUNTIME LIBRARY EXCEPTION"
check_notice libstdc++ "GNU GENERAL PUBLIC LICENSE"
check_notice winpthreads "mingw-w64-libraries/winpthreads/*"
check_notice mingw-w64 "Permission is hereby granted, free of charge"

# --- an application built against the installed SDK ---------------------------------------
# A consumer's own MinGW configuration; the SDK is found through CMAKE_PREFIX_PATH alone.
cmake -G Ninja -S "$installed/samples" -B "$work/app" -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$installed" >"$work/app.log" 2>&1 &&
    cmake --build "$work/app" >>"$work/app.log" 2>&1 || { cat "$work/app.log"; fail "the sample does not build"; }
grep -q "^VidlynSdk_DIR:PATH=$installed/lib/cmake/VidlynSdk$" "$work/app/CMakeCache.txt" ||
    fail "find_package did not find the installed package"
app=$work/app/vidlyn_sample.exe
cmp -s "$work/app/VidlynSdk_USB3_QM7720E.dll" "$installed/bin/VidlynSdk_USB3_QM7720E.dll" ||
    fail "the build did not copy the installed DLL next to the program"
grep -q 'DLL Name: VidlynSdk_USB3_QM7720E.dll' <<<"$(x86_64-w64-mingw32-objdump -p "$app")" ||
    fail "the program does not import the DLL"
out=$(wine "$app" snap "Z:$work/snap.bmp" bmp 2>&1 | tr -d '\r')
echo "$out"
grep -q "^saved Z:$work/snap.bmp " <<<"$out" || fail "the program saved no snapshot"
f=$work/snap.bmp
u32le() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
u16le() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
[ "$(od -An -c -N2 "$f" | tr -d ' ')" = BM ] && [ "$(u32le "$f" 18)" = 4896 ] && [ "$(u32le "$f" 22)" = 3264 ] &&
    [ "$(u16le "$f" 28)" = 24 ] && [ "$(u32le "$f" 2)" = "$(stat -c %s "$f")" ] ||
    fail "the snapshot is not a 4896 x 3264 24-bit bitmap"
# The camera's picture (colour bars), not an empty frame.
levels=$(od -An -tu1 -v -j"$(u32le "$f" 10)" -N65536 "$f" | tr -s ' ' '\n' | sed '/^$/d' | sort -u | wc -l)
[ "$levels" -ge 8 ] || fail "the snapshot's first row holds only $levels byte values"

# --- a newer package replaces this one ----------------------------------------------------
# The same files as the next revision (the fourth field, which Windows Installer does
# not compare by itself): the fixed upgrade code removes the older product.
IFS=. read -r major minor patch revision <<<"$version"
newer=$major.$minor.$patch.$((revision + 1))
"$scripts/msi.sh" "$work/zip" "$newer" "$work/newer.msi" || fail "the newer package does not build"
wine msiexec /i "Z:$work/newer.msi" /qn || fail "msiexec /i of the newer package exited with $?"
[ -e "$installed" ] && fail "the newer package left the older one in $installed"
[ -f "$vendor/SDK/$newer/bin/VidlynSdk_USB3_QM7720E.dll" ] || fail "the newer package is not installed"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the older product is still registered"
wine msiexec /x "Z:$work/newer.msi" /qn || fail "msiexec /x of the newer package exited with $?"
[ -e "$vendor" ] && fail "uninstalling the newer package left $(cd "$vendor" && find . | head -5)"

# --- uninstall: nothing left -------------------------------------------------------------
wine msiexec /i "Z:$msi" /qn || fail "msiexec /i (again) exited with $?"
[ -f "$installed/VERSION" ] || fail "the package did not install again"
wine msiexec /x "Z:$msi" /qn || fail "msiexec /x exited with $?"
[ -e "$vendor" ] && fail "the uninstall left $(cd "$vendor" && find . | head -5)"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall left $uninstall_key"

[ $failures -eq 0 ] && echo "package $name: installed, built against, replaced and removed"
exit $((failures > 0))
