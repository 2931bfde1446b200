#!/usr/bin/env bash
# The virtual camera beside wine: runs vidlyn_vcamd (build/win/vcam-host) on the
# Windows build's wine prefix, so that the unmodified DLL finds its cameras as
# \\.\PhysicalDriveN.
#
#   scripts/vcam.sh start [daemon options]    start it, wait until it serves, print its pid
#   scripts/vcam.sh stop                      stop it (SIGTERM), wait until it has cleaned up
#   scripts/vcam.sh run [daemon options] -- command [args...]
#                                             start, run the command, stop; exits with the
#                                             command's status (non-zero also when the camera
#                                             could not be started or stopped cleanly)
#
# Daemon options: see build/win/vcam-host/vidlyn_vcamd --help (default: one camera on drive 1).
# The command sees VIDLYN_VCAM_MOUNT, the folder holding the camera files and their
# .state texts. VIDLYN_BUILD_DIR names the Windows build (default build/win).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${VIDLYN_BUILD_DIR:-$(dirname "$here")/build/win}
daemon=$build/vcam-host/vidlyn_vcamd
pidfile=$build/vcam.pid

die() { echo "vcam: $*" >&2; exit 1; }

# start_daemon LOG ARGS...: sets $pid and $mount, or fails with the daemon's words.
start_daemon() {
    local log=$1; shift
    [ -x "$daemon" ] || die "$daemon is missing: build it with BUILD_TARGETS=vidlyn_vcamd_host scripts/build.sh win"
    [ -e /dev/fuse ] || die "/dev/fuse does not exist: the virtual camera needs FUSE (modprobe fuse; in a container: --device /dev/fuse --cap-add SYS_ADMIN)"
    local prefix
    prefix=$("$here/wine-emulator.sh" --prefix "$build") || die "no wine prefix"
    : >"$log"  # emptied before the wait below looks into it
    "$daemon" --prefix "$prefix" "$@" >"$log" 2>&1 </dev/null &
    pid=$!
    # Ready once it has mounted, linked and registered (the first wine start may take a while).
    for _ in $(seq 1200); do
        if grep -q '; ready$' "$log"; then
            mount=$(sed -n 's/.*(\(.*\)); ready$/\1/p' "$log")
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$log" >&2
    kill -TERM "$pid" 2>/dev/null
    die "the virtual camera did not start"
}

# stop_daemon PID LOG: SIGTERM, then wait for it; fails unless it says it cleaned up.
stop_daemon() {
    local pid=$1 log=$2
    kill -TERM "$pid" 2>/dev/null || { echo "vcam: pid $pid is not running" >&2; return 1; }
    for _ in $(seq 600); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "vcam: pid $pid did not stop within 60 s" >&2
        return 1
    fi
    grep -q '^vidlyn_vcamd: stopped;' "$log" || { cat "$log" >&2; return 1; }
}

case "${1:-}" in
    start)
        shift
        if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
            die "already running (pid $(cat "$pidfile")); scripts/vcam.sh stop first"
        fi
        start_daemon "$build/vcam.log" "$@"
        echo "$pid" >"$pidfile"
        sed -n 's/^vidlyn_vcamd: //p' "$build/vcam.log"
        echo "$pid"
        ;;
    stop)
        [ -f "$pidfile" ] || die "not running (no $pidfile)"
        stop_daemon "$(cat "$pidfile")" "$build/vcam.log"
        status=$?
        rm -f "$pidfile"
        sed -n 's/^vidlyn_vcamd: //p' "$build/vcam.log" | tail -n +2
        exit $status
        ;;
    run)
        shift
        args=()
        while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
        [ $# -gt 1 ] || die "usage: $0 run [daemon options] -- command [args...]"
        shift
        log=$(mktemp "${TMPDIR:-/tmp}/vidlyn-vcam.XXXXXX")
        trap 'rm -f "$log"' EXIT
        start_daemon "$log" "${args[@]}"
        # A stopped test run stops the camera too, so that it leaves nothing behind.
        trap 'stop_daemon "$pid" "$log"; rm -f "$log"; exit 130' INT TERM HUP
        VIDLYN_VCAM_MOUNT=$mount "$@"
        status=$?
        trap - INT TERM HUP
        stop_daemon "$pid" "$log" || { echo "vcam: the virtual camera did not stop cleanly" >&2; [ $status -ne 0 ] || status=1; }
        exit $status
        ;;
    *)
        sed -n '2,/^set /p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
        exit 2
        ;;
esac
