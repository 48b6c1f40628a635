#!/bin/bash
# Sets up and runs the station: installs the Debian packages when missing,
# builds an optimised station, installs it under out/release, makes a demo
# photo store in its own home folder (out/demo-home) and starts the installed
# station there. Type a demo code (1001, 1002, 1003, A7K2, B3X9) and Return,
# as a barcode scanner would, to see that customer's photos in the venue's
# frame on the customer display.
#
#   bash scripts/run.sh           run the station (until it is closed)
#   bash scripts/run.sh --check   the same path on a private X server, then scan
#                                 B3X9 as a scanner does, confirm from a
#                                 screenshot that the customer display shows a
#                                 framed photo, stop the station; exit 0 when
#                                 it did, else say what was seen and exit 1
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
check=0
if [ "${1:-}" = --check ]; then
    check=1
    shift
fi
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
cmake --install build/release >/dev/null
demo_home="$PWD/out/demo-home"
bash scripts/make-demo-store.sh "$demo_home"
export HOME="$demo_home"
export XDG_CONFIG_HOME="$demo_home/.config"
export XDG_DATA_HOME="$demo_home/.local/share"
export XDG_STATE_HOME="$demo_home/.local/state"
export XDG_CACHE_HOME="$demo_home/.cache"
station=(out/release/bin/kivo-slideshow "$@")

cleanup=()
trap 'for c in "${cleanup[@]}"; do eval "$c"; done' EXIT

# Without a desktop (a server, a container), and always for --check, the
# station gets a private X server with two monitors: a console on the left
# and a customer display on the right.
if [ $check = 1 ] || { [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; }; then
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/kivo-display.XXXXXX")
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 3200x1080x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    xvfb=$!
    cleanup+=("kill $xvfb 2>/dev/null; rm -f '$fifo'")
    read -r -t 20 number <"$fifo"
    export DISPLAY=":$number"
    export QT_QPA_PLATFORM=xcb
    xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null
    xrandr --setmonitor RIGHT 1280/339x1024/271+1920+0 none >/dev/null
    if [ $check = 0 ]; then
        echo "No desktop found: the station runs on a private X server, DISPLAY=$DISPLAY."
        echo "  scan a code:  export DISPLAY=$DISPLAY"
        echo "                xdotool search --onlyvisible --name '^Kivo SlideShow\$' windowfocus --sync"
        echo "                xdotool type 1001 && xdotool key Return"
        echo "  look at it:   DISPLAY=$DISPLAY import -window root screen.png"
    fi
fi
if [ $check = 1 ]; then
    station=(bash scripts/check-station.sh "${station[@]}")
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ $check = 1 ]; then
    station=(dbus-run-session -- "${station[@]}")
fi
"${station[@]}"
