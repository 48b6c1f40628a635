#!/bin/bash
# Soak benchmark: a venue day compressed into twenty minutes. Runs the
# installed release station on a real X server with two monitors, a private
# session bus and the AT-SPI bus, in a private home (tests/run-isolated.sh,
# tests/e2e/rig.sh), and drives it with venue_day.py: 50 codes of 10 to 40
# photos (some 24 MP), both displays at delay 0, 100 scans a minute, 50
# reassignments over the console (scaled to the run's length), a new photo
# every 10 s and the console refreshed every minute. Every 30 s it records
# resident memory, open file handles, threads, log bytes and the longest
# main-thread stall, asks `kivo-slideshow --status` every 10 s (its time and
# any degraded answer), prints a table and a verdict (exit status 1 on FAIL).
#
# Usage: bench/soak/venue_day.sh [--minutes N] [--prefix DIR]
#   --minutes N   length of the run in whole minutes (default 20; shorter for trying it)
#   --prefix DIR  the installed station (default out/release, made by
#                 cmake --preset release && cmake --build --preset release &&
#                 cmake --install build/release)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
minutes=20
prefix="$root/out/release"
while [ $# -gt 0 ]; do
    case $1 in
    --minutes) minutes=$2 && shift 2 ;;
    --prefix) prefix=$(realpath "$2") && shift 2 ;;
    *) echo "usage: $0 [--minutes N] [--prefix DIR]" >&2 && exit 2 ;;
    esac
done
if [ ! -x "$prefix/bin/kivo-slideshow" ]; then
    echo "no installed station at $prefix; build it with:" >&2
    echo "  cmake --preset release && cmake --build --preset release && cmake --install build/release" >&2
    exit 2
fi
source "$root/bench/photo24mp.sh"
KIVO_SOAK_PHOTO24=$(bench_photo) || exit 2
export KIVO_SOAK_PHOTO24 KIVO_PREFIX="$prefix" KIVO_E2E_SECONDS=$((minutes * 60 + 900))
exec "$root/tests/run-isolated.sh" bash "$root/tests/e2e/rig.sh" "$here/venue_day.py" \
    --minutes "$minutes"
