#!/usr/bin/env bash
# The package's MSVC-format import library, consumed by real linkers: a C program
# that takes the address of every function the shipped DLL exports is linked against
# VidlynSdk_USB3_QM7720E.lib alone, once by the MinGW linker and once by lld-link
# (the MSVC-compatible linker, without any C runtime). Both programs' import tables
# must name the DLL with every export, and both must run under wine and get the
# DLL's version through the import.
#
#   import_library_test.sh BUILD_DIR PACKAGE_TREE WORK_DIR
set -uo pipefail
build=$1 tree=$2 work=$3
emulator=$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-emulator.sh
# The wine prefix of this build, also for programs outside it.
export VIDLYN_BUILD_DIR=$build
triple=x86_64-w64-mingw32
dll=VidlynSdk_USB3_QM7720E.dll
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
cp "$tree/bin/$dll" "$work/"

# The names the shipped DLL exports, from its own export table.
"$triple-objdump" -p "$tree/bin/$dll" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' >"$work/exports"
count=$(wc -l <"$work/exports")
[ "$count" = 117 ] || fail "the shipped DLL exports $count names, not 117"

# Every export's address through the import library; 0 when the version matches.
{
    echo '#include "VidlynSdk.h"'
    echo 'typedef void (*any_fn)(void);'
    echo 'int entry(void) {'
    echo '    volatile any_fn fns[] = {'
    sed 's/.*/        (any_fn)&,/' "$work/exports"
    echo '    };'
    echo '    unsigned i, missing = 0;'
    echo '    for (i = 0; i < sizeof fns / sizeof fns[0]; ++i) missing += fns[i] == 0;'
    echo '    return missing == 0 && Vidlyn_GetDllVersion() == VIDLYN_DLL_VERSION ? 0 : 1;'
    echo '}'
    echo 'int main(void) { return entry(); }'
} >"$work/all_exports.c"

# The import table of a linked program: the DLLs it names, and the names it takes
# from ours.
imports_of() { # exe
    "$triple-objdump" -p "$1" | awk -v dll="$dll" '
        /DLL Name:/ { inside = ($3 == dll); if (inside) print "dll " $3; next }
        inside && /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+$/ { print $3 }
        inside && /^$/ { inside = 0 }'
}
check_program() { # label exe
    local label=$1 exe=$2
    [ -f "$exe" ] || { fail "$label: not linked"; return; }
    imports_of "$exe" >"$work/$label.imports"
    grep -qx "dll $dll" "$work/$label.imports" || fail "$label: the import table does not name $dll"
    grep -v '^dll ' "$work/$label.imports" | LC_ALL=C sort >"$work/$label.names"
    LC_ALL=C sort "$work/exports" | diff -u - "$work/$label.names" >"$work/$label.diff" ||
        { fail "$label: the imported names differ from the DLL's exports"; cat "$work/$label.diff"; }
    "$emulator" "$exe" </dev/null
    local status=$?
    [ "$status" = 0 ] || fail "$label: the program exited with $status under wine"
}

# MinGW: the .lib is the only library that names the DLL.
"$triple-gcc-posix" -std=c99 -Wall -Werror -I"$tree/include" -o "$work/mingw_ld.exe" "$work/all_exports.c" \
    "$tree/lib/${dll%.dll}.lib" || fail "the MinGW linker did not link against the .lib"
check_program mingw_ld "$work/mingw_ld.exe"

# lld-link, as an MSVC project links: an entry point of its own, no default libraries
# (main renamed: GCC's main calls into the MinGW runtime).
"$triple-gcc-posix" -std=c99 -Wall -Werror -O1 -ffreestanding -fno-stack-protector -Dmain=unused_main -I"$tree/include" \
    -c -o "$work/all_exports.obj" "$work/all_exports.c" &&
    lld-link-14 /nologo /machine:x64 /subsystem:console /entry:entry /nodefaultlib \
        /out:"$work/lld_link.exe" "$work/all_exports.obj" "$tree/lib/${dll%.dll}.lib" ||
    fail "lld-link did not link against the .lib"
check_program lld_link "$work/lld_link.exe"

[ $failures -eq 0 ] && echo "import library: $count exports linked by the MinGW linker and by lld-link"
exit $((failures > 0))
