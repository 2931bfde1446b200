#!/usr/bin/env bash
# Runs every fuzz target of tests/fuzz under libFuzzer, with AddressSanitizer and
# UndefinedBehaviorSanitizer, for SECONDS each (default 60), starting from its kept
# inputs (tests/fuzz/corpus/<name>.seeds and the reproducers in tests/fuzz/corpus/<name>/).
# Prints executions and coverage per target and exits non-zero when a target finds a fault; the input that shows it is kept in
# build/fuzz/findings/<name>/ (once fixed, keep it as tests/fuzz/corpus/<name>/<what-it-shows>).
#
#   scripts/fuzz.sh [SECONDS] [NAME...]     e.g. scripts/fuzz.sh 120 vcam layout
#   scripts/fuzz.sh --merge [NAME...]       adds what the runs found to the kept inputs
#                                           (only inputs that reach new code)
# Builds build/fuzz with clang (installed here on first use, with its runtime).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$root/build/fuzz
merge=0
if [ "${1:-}" = --merge ]; then merge=1; shift; seconds=0; else seconds=${1:-60}; shift || true; fi
[[ $seconds =~ ^[0-9]+$ ]] || { echo "fuzz: SECONDS must be a number" >&2; exit 2; }

# clang and its libFuzzer runtime come from Debian (python3 packs the kept inputs);
# the rest from the project's setup.
"$here/setup.sh" >/dev/null || exit 1
need=(clang libclang-rt-14-dev python3)
if [ "$(dpkg-query -W -f='${Status}\n' "${need[@]}" 2>/dev/null | grep -c "ok installed")" != ${#need[@]} ]; then
    [ "$(id -u)" = 0 ] || { echo "fuzz: run as root to install ${need[*]}" >&2; exit 1; }
    export DEBIAN_FRONTEND=noninteractive
    "$here/apt-get-wait.sh" update -qq </dev/null
    "$here/apt-get-wait.sh" install -y -qq --no-install-recommends "${need[@]}" </dev/null || exit 1
fi

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for f in "$root"/tests/fuzz/*_fuzz.cpp; do n=$(basename "$f" _fuzz.cpp); names+=("$n"); done
fi
[ -f "$build/build.ninja" ] ||
    CC=clang CXX=clang++ cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIDLYN_FUZZ=ON >/dev/null ||
    exit 1
cmake --build "$build" --target "${names[@]/#/fuzz_}" || exit 1

status=0
summary=()
for n in "${names[@]}"; do
    packed=$root/tests/fuzz/corpus/$n.seeds
    reproducers=$root/tests/fuzz/corpus/$n  # named inputs of faults found, kept as files
    seeds=$build/seeds/$n
    work=$build/corpus/$n
    findings=$build/findings/$n
    rm -rf "$seeds"
    mkdir -p "$work" "$findings"
    "$here/fuzz-seeds.py" unpack "$packed" "$seeds" || exit 1
    [ -d "$reproducers" ] && cp "$reproducers"/* "$seeds"/ 2>/dev/null
    if [ $merge = 1 ]; then
        # Keeps the seeds and adds the found inputs that reach code the seeds do not.
        merged=$build/merged/$n
        rm -rf "$merged"
        mkdir -p "$merged"
        "$build/tests/fuzz_$n" -merge=1 -max_len=1024 "$merged" "$seeds" "$work" >"$build/$n.merge.log" 2>&1 ||
            { echo "fuzz: merge of $n failed (see $build/$n.merge.log)"; status=1; continue; }
        "$here/fuzz-seeds.py" pack "$merged" "$packed" || exit 1
        echo "$n: $(find "$merged" -type f | wc -l) kept inputs, $(stat -c %s "$packed") bytes"
        continue
    fi
    log=$build/$n.log
    echo "=== $n: ${seconds}s"
    "$build/tests/fuzz_$n" -max_total_time="$seconds" -max_len=1024 -timeout=60 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n1)
    if [ $rc -ne 0 ]; then
        status=1
        summary+=("$n: FINDING after ${execs:-?} executions ($cov); input in $findings, log $log")
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz finding|.*runtime error)' "$log" | head -n 5
    else
        summary+=("$n: ${execs:-?} executions, $cov, corpus $(find "$work" -type f | wc -l) inputs")
    fi
done
[ $merge = 1 ] && exit $status
echo "=== summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
exit $status
