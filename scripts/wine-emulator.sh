#!/usr/bin/env bash
# Runs a Windows program of the build under wine (CTest's CMAKE_CROSSCOMPILING_EMULATOR).
#
#   scripts/wine-emulator.sh path/to/program.exe [args...]
#   scripts/wine-emulator.sh --prefix [dir]     create the wine prefix if needed, print its path
#   scripts/wine-emulator.sh --shutdown [dir]   stop the wine server of that prefix
#
# The wine prefix lives in the build folder (<build>/wine-prefix): the build folder is
# VIDLYN_BUILD_DIR, or found from the program's (or the current) folder upwards by its
# CMakeCache.txt. The user's ~/.wine is never used. On first use the prefix is created
# headless (Graphics=null) and without the crash dialog (a crashing program prints a
# backtrace and fails at once).
#
# Start-up cost: one wine server is kept alive (wineserver -p, idle time-out
# VIDLYN_WINESERVER_LINGER seconds, default 120) and wine's services are started once,
# detached from the caller's pipes, so that a warm start costs tens of milliseconds
# and CTest does not wait for the services to exit. All of it happens under a lock;
# nothing started here keeps the lock's file descriptor. The program's own output
# reaches the caller through files (see the end), for the same reason.
set -u

wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -x "$server" ] || server=$(command -v wineserver)
linger=${VIDLYN_WINESERVER_LINGER:-120}

die() { echo "wine-emulator: $*" >&2; exit 125; }

# The build folder: explicit, else the first folder upwards from $1 with a CMakeCache.txt.
find_build_dir() {
    if [ -n "${VIDLYN_BUILD_DIR:-}" ]; then echo "$VIDLYN_BUILD_DIR"; return; fi
    local d
    d=$(cd "$1" 2>/dev/null && pwd) || return 1
    while [ "$d" != / ]; do
        [ -f "$d/CMakeCache.txt" ] && { echo "$d"; return; }
        d=$(dirname "$d")
    done
    return 1
}

mode=run
case "${1:-}" in
    --prefix) mode=prefix; shift ;;
    --shutdown) mode=shutdown; shift ;;
    "") die "usage: $0 program.exe [args...] | --prefix [dir] | --shutdown [dir]" ;;
esac
if [ $mode = run ]; then
    start=$(dirname "$1")
    [ -d "$start" ] && [ "$start" != . ] || start=$PWD
else
    start=${1:-$PWD}
fi
build=$(find_build_dir "$start") || build=$(find_build_dir "$PWD") || die "no build folder found from $start"

# Headless by default. VIDLYN_WINE_X11=1 (with DISPLAY set, e.g. under xvfb-run) uses a
# second prefix whose windows are real X11 windows, for screenshots.
graphics=null
export WINEPREFIX=$build/wine-prefix
if [ "${VIDLYN_WINE_X11:-0}" = 1 ]; then
    [ -n "${DISPLAY:-}" ] || die "VIDLYN_WINE_X11=1 needs DISPLAY (run under xvfb-run -a)"
    graphics=x11
    WINEPREFIX=$build/wine-prefix-x11
fi
export WINELOADER=$wine
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
unset WINEARCH

if [ $mode = shutdown ]; then
    [ -d "$WINEPREFIX" ] && "$server" -k 2>/dev/null
    exit 0
fi

# Creates the prefix (about 5-15 s, 700 MB): headless, no crash dialog.
create_prefix() {
    local log=$WINEPREFIX.log
    echo "wine-emulator: creating wine prefix $WINEPREFIX" >&2
    rm -rf "$WINEPREFIX"
    {
        env -u DISPLAY -u WAYLAND_DISPLAY "$wine" wineboot -i &&
        "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d "$graphics" /f
    } </dev/null >"$log" 2>&1 || { cat "$log" >&2; die "creating the wine prefix failed"; }
    # Restart the server: it saves the registry, and the next one starts headless.
    "$server" -k 2>/dev/null
    "$server" -w 2>/dev/null
    touch "$WINEPREFIX/.vidlyn-ready"
}

# Runs under the lock (held by flock, closed in this shell's children via -o).
prepare() {
    [ -f "$WINEPREFIX/.vidlyn-ready" ] || create_prefix
    # An X11 prefix's server and desktop belong to one X display: a new display
    # (a new xvfb-run) needs a new server.
    if [ "$graphics" = x11 ] && [ "$(cat "$WINEPREFIX.display" 2>/dev/null)" != "$DISPLAY" ]; then
        "$server" -k 2>/dev/null
        "$server" -w 2>/dev/null
        echo "$DISPLAY" >"$WINEPREFIX.display"
    fi
    # Exit status 0: a new server started (it detaches itself); 2: one is running.
    if "$server" -p"$linger" </dev/null >/dev/null 2>&1; then
        # First process of this server: it starts services.exe, winedevice, plugplay...
        # which stay for the server's life. Started here, they hold /dev/null, not CTest's pipe.
        setsid "$wine" cmd /c exit </dev/null >/dev/null 2>&1
    fi
}

export -f prepare create_prefix die
export wine server linger build graphics
flock -o "$WINEPREFIX.lock" bash -c prepare || exit 125
if [ $mode = prefix ]; then
    echo "$WINEPREFIX"
    exit 0
fi
# A window or a crash makes wine start helper processes (the desktop's explorer.exe,
# winedbg) that outlive the program by a second or more; holding the caller's output
# pipe they would keep CTest waiting. So the program writes into files that are
# streamed to our stdout and stderr, and we return as soon as the program has exited.
out=$(mktemp -d "${TMPDIR:-/tmp}/vidlyn-wine.XXXXXX") || die "mktemp failed"
trap 'rm -rf "$out"' EXIT
: >"$out/stdout"
: >"$out/stderr"
# The program keeps our standard input (a background job would get /dev/null).
{ true <&0; } 2>/dev/null || exec </dev/null
"$wine" "$@" <&0 >"$out/stdout" 2>"$out/stderr" &
pid=$!
trap 'kill -TERM "$pid" 2>/dev/null' TERM INT HUP
tail -n +1 -s 0.005 --pid="$pid" -f "$out/stdout" &
tail_out=$!
tail -n +1 -s 0.005 --pid="$pid" -f "$out/stderr" >&2 &
tail_err=$!
while :; do
    wait "$pid"
    status=$?
    kill -0 "$pid" 2>/dev/null || break
done
wait "$tail_out" "$tail_err"
exit "$status"
