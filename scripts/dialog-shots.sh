#!/usr/bin/env bash
# Pictures of the three property dialogs in English and Japanese, for the README:
# runs the dialog tests under Xvfb with real X11 windows and saves each dialog as
# docs/dialogs/<dialog>_<en|ja>.png. Needs a Windows build (scripts/build.sh win).
#
#   scripts/dialog-shots.sh [folder]     default: docs/dialogs
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out=$(mkdir -p "${1:-$root/docs/dialogs}" && cd "${1:-$root/docs/dialogs}" && pwd)
bin=$root/build/win/bin
[ -x "$bin/analog_dialog_test.exe" ] || { echo "dialog-shots: build first (scripts/build.sh win)" >&2; exit 1; }

export VIDLYN_WINE_X11=1 VIDLYN_DIALOG_SHOTS="Z:$out"
shoot() { # locale program [args...]
    local locale=$1; shift
    LC_ALL=$locale xvfb-run -a -s "-screen 0 1024x768x24" "$here/wine-emulator.sh" "$@" >/dev/null
}
# Without a window manager wine draws the title bars itself (the X11 prefix is
# made on first use).
reg=$root/build/win/wine-prefix-x11/drive_c/windows/system32/reg.exe
[ -f "$reg" ] || shoot C "$bin/analog_dialog_test.exe" --gtest_filter=-*
shoot C "$reg" add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
for locale in C ja_JP.UTF-8; do
    for dialog in camera analog image; do
        shoot "$locale" "$bin/${dialog}_dialog_test.exe"
    done
done
ls "$out"
