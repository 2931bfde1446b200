#!/usr/bin/env bash
# The daemon's footprint in a wine prefix: while it serves, its drive links, its
# mount and its disk list entries exist; a second daemon for one of its drives,
# or for a drive that something else already holds, refuses and changes
# nothing; after SIGINT or SIGTERM nothing of it is left.
#
#   vcam_daemon_test.sh DAEMON BUILD_DIR     (run by CTest in the Windows build)
set -uo pipefail
daemon=$1
build=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
emulator=$here/../../scripts/wine-emulator.sh
export VIDLYN_BUILD_DIR=$build
key='HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -e /dev/fuse ] || { echo "FAIL: /dev/fuse does not exist: the virtual camera cannot be tested here (it needs FUSE)"; exit 1; }
prefix=$("$emulator" --prefix "$build") || { echo "FAIL: no wine prefix"; exit 1; }
logs=$(mktemp -d)
trap 'rm -rf "$logs"; rm -f "$prefix/dosdevices/physicaldrive9"' EXIT

enum_entries() { "$emulator" reg query "$key" 2>/dev/null | tr -d '\r' | grep -c 'VCAM_PHYSICALDRIVE'; }

# start NAME ARGS...: the daemon in the background, waits for its ready line.
start() {
    local name=$1; shift
    : >"$logs/$name"  # emptied before the wait below looks into it
    "$daemon" --prefix "$prefix" "$@" >"$logs/$name" 2>&1 </dev/null &
    pid=$!
    for _ in $(seq 600); do
        grep -q '; ready$' "$logs/$name" && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$logs/$name"
    echo "FAIL: the daemon did not start"
    exit 1
}

# One round per stop signal: two cameras, a refused second daemon, a clean stop.
for sig in INT TERM; do
    start "first-$sig" --drives 5,6
    mount=$prefix/vcam/mnt.$pid
    for d in 5 6; do
        [ "$(readlink "$prefix/dosdevices/physicaldrive$d")" = "$mount/physicaldrive$d" ] ||
            fail "SIG$sig: dosdevices/physicaldrive$d does not lead to the daemon's camera file"
    done
    grep -qF " $mount fuse" /proc/mounts || fail "SIG$sig: $mount is not mounted"
    [ "$(enum_entries)" = 2 ] || fail "SIG$sig: the disk list does not hold the two cameras"

    if "$daemon" --prefix "$prefix" --drives 6,8 >"$logs/second" 2>&1 </dev/null; then
        fail "SIG$sig: a second daemon on drive 6 started"
    fi
    grep -q 'drive 6 .* is already served by another virtual camera' "$logs/second" ||
        { cat "$logs/second"; fail "SIG$sig: the second daemon did not say why it refused"; }
    [ -e "$prefix/dosdevices/physicaldrive8" ] && fail "SIG$sig: the refused daemon linked drive 8"
    [ "$(readlink "$prefix/dosdevices/physicaldrive6")" = "$mount/physicaldrive6" ] ||
        fail "SIG$sig: the refused daemon changed drive 6"

    kill -"$sig" "$pid"
    wait "$pid" || fail "SIG$sig: the daemon exited with status $?"
    grep -q '^vidlyn_vcamd: stopped;' "$logs/first-$sig" || fail "SIG$sig: the daemon did not report a clean stop"
    for d in 5 6; do
        [ -e "$prefix/dosdevices/physicaldrive$d" ] || [ -L "$prefix/dosdevices/physicaldrive$d" ] &&
            fail "SIG$sig: dosdevices/physicaldrive$d left behind"
    done
    grep -qF " $mount " /proc/mounts && fail "SIG$sig: $mount still mounted"
    [ -d "$mount" ] && fail "SIG$sig: $mount left behind"
    [ "$(enum_entries)" = 0 ] || fail "SIG$sig: disk list entries left behind"
done

# Output into a pipe that is closed after the ready line (| head -1, a tee ended
# by ^C): the stop still cleans up everything and exits 0.
mkfifo "$logs/pipe"
"$daemon" --prefix "$prefix" --drives 5 >"$logs/pipe" 2>"$logs/pipe.err" </dev/null &
pid=$!
head -1 <"$logs/pipe" >"$logs/pipe.out"
grep -q '; ready$' "$logs/pipe.out" || { cat "$logs/pipe.out" "$logs/pipe.err"; fail "closed pipe: no ready line"; }
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" = 0 ] || { cat "$logs/pipe.err"; fail "closed pipe: the daemon exited with status $status"; }
[ -e "$prefix/vcam/physicaldrive5.lock" ] && fail "closed pipe: vcam/physicaldrive5.lock left behind"
[ -L "$prefix/dosdevices/physicaldrive5" ] && fail "closed pipe: dosdevices/physicaldrive5 left behind"
[ "$(enum_entries)" = 0 ] || fail "closed pipe: disk list entries left behind"

# A wine reg command that fails without a word is tried again, and the start
# goes on: the first one ends with status 1 and no output, as a wine process
# does when its wine server is stopped under it (wineserver -k). One that is
# killed every time fails the start, saying how, and leaves nothing behind.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
for mode in once always; do
    cat >"$logs/wine-$mode" <<EOF
#!/bin/sh
if [ "\$1 \$2" = "reg import" ]; then
    [ $mode = always ] && kill -KILL \$\$
    [ -e "$logs/failed" ] || { touch "$logs/failed"; exit 1; }
fi
exec "$wine" "\$@"
EOF
    chmod +x "$logs/wine-$mode"
done
start retried --drives 5 --wine "$logs/wine-once"
grep -q 'reg import failed (exit status 1), no output; trying again' "$logs/retried" ||
    { cat "$logs/retried"; fail "a silent reg import failure was not retried with its reason"; }
[ "$(enum_entries)" = 1 ] || fail "the retried start did not list its camera"
kill -INT "$pid"
wait "$pid" || fail "the retried daemon exited with status $?"
if "$daemon" --prefix "$prefix" --drives 5 --wine "$logs/wine-always" >"$logs/dies" 2>&1 </dev/null; then
    fail "a start whose reg import always dies succeeded"
fi
grep -q 'reg import failed (killed by signal 9, .*), no output (3 attempts)' "$logs/dies" ||
    { cat "$logs/dies"; fail "the failed start did not say why"; }
[ -e "$prefix/vcam/physicaldrive5.lock" ] && fail "the failed start left its lock"
[ -L "$prefix/dosdevices/physicaldrive5" ] && fail "the failed start left its drive link"
[ "$(enum_entries)" = 0 ] || fail "the failed start left disk list entries"

# A drive link that is not a virtual camera's is never taken over.
ln -sfn /dev/null "$prefix/dosdevices/physicaldrive9"
if "$daemon" --prefix "$prefix" --drives 9 >"$logs/taken" 2>&1 </dev/null; then
    fail "a daemon took over a foreign drive link"
fi
grep -q 'physicaldrive9 already exists' "$logs/taken" || { cat "$logs/taken"; fail "no reason given for drive 9"; }
[ "$(readlink "$prefix/dosdevices/physicaldrive9")" = /dev/null ] || fail "the foreign link was changed"
[ "$(enum_entries)" = 0 ] || fail "the refused daemon left disk list entries"

[ $failures -eq 0 ] && echo "all daemon footprint checks passed"
exit $((failures > 0))
