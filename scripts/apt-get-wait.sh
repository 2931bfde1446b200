#!/usr/bin/env bash
# apt-get with its arguments, waiting for the package manager's locks instead of
# failing while another install or list update runs (up to 15 minutes each):
# dpkg's locks through DPkg::Lock::Timeout, the package lists' lock (which
# apt-get update takes and which has no time-out of its own) by trying again.
#
#   scripts/apt-get-wait.sh update -qq
#   scripts/apt-get-wait.sh install -y pkg...
set -uo pipefail
wait_s=900
err=$(mktemp)
trap 'rm -f "$err"' EXIT
deadline=$((SECONDS + wait_s))
while :; do
    apt-get -o DPkg::Lock::Timeout="$wait_s" "$@" 2>"$err"
    status=$?
    if [ $status -ne 0 ] && grep -q 'Could not get lock' "$err" && [ $SECONDS -lt $deadline ]; then
        echo "apt-get: waiting for another package manager run to finish" >&2
        sleep 5
        continue
    fi
    cat "$err" >&2
    exit $status
done
