#!/usr/bin/env bash
# Builds both builds and runs their tests: build/win under wine (one wine server and
# prefix for the whole run), build/native under the sanitizers. Exits non-zero when
# anything fails to build or any test fails, and closes with the combined count.
#
#   scripts/test.sh [win|native]...    default: both
# Extra ctest arguments: CTEST_ARGS="-R dll_imports" scripts/test.sh win
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(win native)

status=0 passed=0 failed=0
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for t in "${targets[@]}"; do
    echo "=== $t: build"
    if ! "$here/build.sh" "$t"; then
        echo "=== $t: BUILD FAILED"
        status=1
        continue
    fi
    echo "=== $t: tests"
    # The wine prefix is made before the first test (5-15 s once), not inside it.
    if [ "$t" = win ]; then "$here/wine-emulator.sh" --prefix "$root/build/win" >/dev/null || status=1; fi
    # Native tests are independent processes; wine tests share one prefix and run in turn.
    jobs=1
    [ "$t" = native ] && jobs=$(nproc)
    # shellcheck disable=SC2086
    (cd "$root/build/$t" && ctest --output-on-failure -j "$jobs" ${CTEST_ARGS:-}) | tee "$out"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    # "NN% tests passed, F tests failed out of T"
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$out" | tail -n1)
    if [ -n "$summary" ]; then
        f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
        n=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")
        failed=$((failed + f))
        passed=$((passed + n - f))
    fi
done
[ $status -eq 0 ] || echo "=== FAILED (see above)"
echo "tests: $passed passed, $failed failed"
exit $status
