#!/usr/bin/env bash
# Builds both builds and runs their tests: build/win under wine (one wine server and
# prefix for the whole run), build/native under the sanitizers. Exits non-zero when
# anything fails to build or any test fails.
#
#   scripts/test.sh [win|native]...    default: both
# Extra ctest arguments: CTEST_ARGS="-R dll_imports" scripts/test.sh win
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(win native)

status=0
for t in "${targets[@]}"; do
    echo "=== $t: build"
    if ! "$here/build.sh" "$t"; then
        echo "=== $t: BUILD FAILED"
        status=1
        continue
    fi
    echo "=== $t: tests"
    jobs=1
    # Native tests are independent processes; wine tests share one prefix and run in turn.
    [ "$t" = native ] && jobs=$(nproc)
    # shellcheck disable=SC2086
    (cd "$root/build/$t" && ctest --output-on-failure -j "$jobs" ${CTEST_ARGS:-}) || status=1
done
if [ $status -ne 0 ]; then echo "=== FAILED"; else echo "=== all passed"; fi
exit $status
