#!/usr/bin/env bash
# The soak: the DLL as a factory application runs it, for MINUTES (default 60), against
# two virtual cameras: one session streams all the time into the application's memory,
# the other cycles start/stop (a frame every fourth cycle), takes snapshots, saves
# stills in every format and records short AVI files. Every INTERVAL seconds (default 60)
# the process's handle and thread counts, private and commit bytes, and GDI and USER
# objects are sampled (tools/soak/soak.cpp says how under wine).
#
#   scripts/soak.sh [MINUTES] [--interval SECONDS]
#
# Writes build/soak/soak.csv and build/soak/soak.png and exits non-zero when the run
# failed or a curve is not flat. Flat: the median of the last third of the samples
# exceeds the median of the first third (the sample at 0 s, before any cycle, left out)
# by no more than: 16 handles, 2 threads, 16 MiB private or commit bytes, 8 GDI objects,
# 2 USER objects. A leak raises the whole curve; a sample taken while a frame buffer was
# briefly held does not move a median. At least six samples are needed to judge.
# Runs niced, in a wine prefix of its own (build/soak), so that tests can run beside it.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
minutes=60 interval=60
while [ $# -gt 0 ]; do
    case $1 in
        --interval) interval=${2:-}; shift 2 ;;
        *) minutes=$1; shift ;;
    esac
done
[[ $minutes =~ ^[0-9]+(\.[0-9]+)?$ && $interval =~ ^[0-9]+$ && $interval -gt 0 ]] ||
    { echo "usage: scripts/soak.sh [MINUTES] [--interval SECONDS]" >&2; exit 2; }

# The plot and the check need gnuplot and python3.
if ! command -v gnuplot >/dev/null || ! command -v python3 >/dev/null; then
    [ "$(id -u)" = 0 ] || { echo "soak: run as root to install gnuplot-nox python3" >&2; exit 1; }
    export DEBIAN_FRONTEND=noninteractive
    "$here/apt-get-wait.sh" update -qq </dev/null
    "$here/apt-get-wait.sh" install -y -qq --no-install-recommends gnuplot-nox python3 </dev/null || exit 1
fi
BUILD_TARGETS="VidlynSdk vidlyn_soak vidlyn_vcamd_host" "$here/build.sh" win || exit 1

out=$root/build/soak
mkdir -p "$out/files"
rm -f "$out/soak.csv" "$out/soak.png"
# The soak's own prefix and wine server, and its own copies of the DLL, the program and
# the daemon: a long run goes on while the build folder is rebuilt.
[ -L "$out/vcam-host" ] && rm "$out/vcam-host"
mkdir -p "$out/bin" "$out/vcam-host"
cp "$root/build/win/bin/VidlynSdk_USB3_QM7720E.dll" "$root/build/win/bin/vidlyn_soak.exe" "$out/bin/" || exit 1
cp "$root/build/win/vcam-host/vidlyn_vcamd" "$out/vcam-host/" || exit 1
export VIDLYN_BUILD_DIR=$out
trap '"$here/wine-emulator.sh" --shutdown "$out"' EXIT
"$here/wine-emulator.sh" --prefix "$out" >/dev/null || exit 1
"$here/wine-emulator.sh" reg delete 'HKCU\Software\Norvex\VidlynQM77203Sdk' /f >/dev/null 2>&1
"$here/wine-emulator.sh" reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum' /f >/dev/null 2>&1

echo "soak: $minutes minutes, a sample every $interval s, into $out"
nice -n 10 "$here/vcam.sh" run --drives 1,2 --fps 4 -- \
    "$here/wine-emulator.sh" "$out/bin/vidlyn_soak.exe" --minutes "$minutes" --interval "$interval" \
    --csv "Z:$out/soak.csv" --files "Z:$out/files" | sed 's/\r$//'
run=${PIPESTATUS[0]}
[ -s "$out/soak.csv" ] || { echo "soak: no samples written" >&2; exit 1; }

gnuplot <<PLOT
set terminal pngcairo size 1400,900 font ",10"
set output "$out/soak.png"
set datafile separator ","
set key autotitle columnhead top left
set xlabel "minutes"
set multiplot layout 2,2 title "soak: $minutes min, sampled every $interval s"
set ylabel "count"
plot "$out/soak.csv" using (\$1/60):2 with linespoints title "handles", "" using (\$1/60):3 with linespoints title "threads"
set ylabel "MiB"
plot "$out/soak.csv" using (\$1/60):(\$4/1048576) with linespoints title "private bytes", \
     "" using (\$1/60):(\$5/1048576) with linespoints title "commit bytes"
set ylabel "objects"
plot "$out/soak.csv" using (\$1/60):7 with linespoints title "GDI objects", "" using (\$1/60):8 with linespoints title "USER objects"
set ylabel "count"
set logscale y
plot "$out/soak.csv" using (\$1/60):(\$9+1) with linespoints title "start/stop cycles", \
     "" using (\$1/60):(\$13+1) with linespoints title "streamed frames"
unset multiplot
PLOT

python3 - "$out/soak.csv" <<'CHECK'
import csv, statistics, sys
rows = list(csv.DictReader(open(sys.argv[1])))
tolerance = {"handles": 16, "threads": 2, "private_bytes": 16 << 20, "commit_bytes": 16 << 20,
             "gdi_objects": 8, "user_objects": 2}
samples = rows[1:]  # the first one is taken before any cycle
if len(samples) < 6:
    print(f"soak: {len(samples)} samples after the first: too few to judge flatness (need 6)")
    sys.exit(1)
third = len(samples) // 3
flat = True
print(f"{'counter':>14} {'first':>12} {'early med':>12} {'late med':>12} {'growth':>10} {'allowed':>10} {'max':>12}")
for name, allowed in tolerance.items():
    values = [int(r[name]) for r in samples]
    early, late = statistics.median(values[:third]), statistics.median(values[-third:])
    growth = late - early
    ok = growth <= allowed
    flat = flat and ok
    print(f"{name:>14} {values[0]:>12} {early:>12.0f} {late:>12.0f} {growth:>10.0f} {allowed:>10} {max(values):>12}"
          f" {'' if ok else 'NOT FLAT'}")
last = rows[-1]
print(f"soak: {last['cycles']} cycles, {last['snapshots']} snapshots, {last['saves']} stills, "
      f"{last['records']} recordings, {last['frames']} streamed frames, {last['failures']} failures "
      f"in {int(float(last['elapsed_s'])) // 60} min")
sys.exit(0 if flat else 1)
CHECK
flat=$?
echo "soak: csv $out/soak.csv, plot $out/soak.png"
[ "$run" -eq 0 ] || echo "soak: the run failed (status $run)"
[ "$flat" -eq 0 ] || echo "soak: a curve is not flat"
[ "$run" -eq 0 ] && [ "$flat" -eq 0 ]
