#!/bin/bash
# The check at the end of `run.sh --check`: starts the given station command on
# the X server in DISPLAY (two monitors, the customer display on the right at
# 1920,0), scans the demo code B3X9 as a barcode scanner types it, and passes
# when a screenshot shows that customer's photo (orange) in the demo frame
# (dark blue) on the customer display. Stops the station either way; on
# failure says what it saw.
set -uo pipefail
log_dir="${XDG_STATE_HOME:-$HOME/.local/state}/Kivo/Logs"
work=$(mktemp -d)
"$@" >"$work/station.out" 2>&1 &
pid=$!
stop() {
    kill -TERM "$pid" 2>/dev/null && timeout 10 tail --pid="$pid" -f /dev/null
    rm -rf "$work"
}
trap stop EXIT
fail() {
    echo "run.sh --check FAILED: $*" >&2
    echo "--- station output (tail):" >&2
    tail -n 15 "$work/station.out" >&2
    log=$(ls -t "$log_dir"/kivo-slideshow_*.log 2>/dev/null | head -n1)
    [ -n "$log" ] && { echo "--- $log (tail):" >&2; tail -n 25 "$log" >&2; }
    exit 1
}
rgb() { # x y: "r g b" of a screenshot of the whole X screen
    import -window root "$work/shot.png" 2>/dev/null || return 1
    convert "$work/shot.png" -format \
        "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:
}

# The customer display's window: the wide one on the right monitor.
win=""
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || fail "the station ended while starting"
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        if [ "$X" -ge 1920 ] && [ "$WIDTH" -ge 1000 ]; then win=$w; fi
    done
    [ -n "$win" ] && break
    sleep 0.2
done
[ -n "$win" ] || fail "no customer display window on the right monitor after 20 s"
sleep 1 # the start-up's own demo search settles first
xdotool windowfocus --sync "$win" || fail "cannot focus the customer display"
xdotool type --delay 20 B3X9 && xdotool key Return

# The slide (3:2, the frame's size) fitted to the 1280x1024 monitor: the frame
# runs down its left edge, the photo fills its middle.
frame="" photo=""
for _ in $(seq 60); do
    frame=$(rgb 1935 512) photo=$(rgb 2560 330)
    read -r fr fg fb <<<"$frame"
    read -r pr pg pb <<<"$photo"
    if [ -n "${pb:-}" ] && [ "$fr" -lt 60 ] && [ "$fg" -lt 70 ] && [ "$fb" -ge 35 ] && [ "$fb" -lt 100 ] &&
        [ "$pr" -gt $((pb + 60)) ] && [ "$pg" -gt "$pb" ]; then
        echo "run.sh --check: the customer display shows B3X9's photo in the venue's frame"
        stop
        trap - EXIT
        kill -0 "$pid" 2>/dev/null && fail "the station did not stop"
        exit 0
    fi
    sleep 0.5
done
fail "after 30 s the customer display shows frame pixel ($frame) and photo pixel ($photo), not B3X9's orange photo in the dark blue frame"
