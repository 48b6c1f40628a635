#!/bin/bash
# Whole-station displays on a real X server: with two monitors the installed
# station fills the right one with its display window, whose background is
# the pattern picture found in ~/KivoSlideShow (prefPatternImageBaseNames),
# and leaves the left one to the console; with one monitor display 0 shows it.
set -uo pipefail

: "${KIVO_PREFIX:?KIVO_PREFIX must name the installed station}"
station="$KIVO_PREFIX/bin/kivo-slideshow"

if [ -z "${KIVO_E2E_IN_BUS:-}" ]; then
    export KIVO_E2E_IN_BUS=1
    exec timeout 120 dbus-run-session -- bash "$0" "$@"
fi

work=$(mktemp -d)
xvfb_pid=""
station_pid=""
stop_station() {
    if [ -n "$station_pid" ]; then
        kill "$station_pid" 2>/dev/null && timeout 5 tail --pid="$station_pid" -f /dev/null
        kill -KILL "$station_pid" 2>/dev/null
        station_pid=""
    fi
}
stop_x() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null && timeout 5 tail --pid="$xvfb_pid" -f /dev/null
        xvfb_pid=""
    fi
}
cleanup() {
    stop_station
    stop_x
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/station.out" ] && { echo "--- station output (tail):" >&2; tail -n 40 "$work/station.out" >&2; }
    exit 1
}

start_x() { # $1: "two" for LEFT and RIGHT monitors, else one
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 3200x1080x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    timeout 10 bash -c "until [ -s '$work/display' ]; do sleep 0.05; done" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
    if [ "$1" = two ]; then
        xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen || fail "xrandr LEFT"
        xrandr --setmonitor RIGHT 1280/339x1024/271+1920+0 none || fail "xrandr RIGHT"
    fi
}

start_station() {
    QT_QPA_PLATFORM=xcb "$station" >"$work/station.out" 2>&1 &
    station_pid=$!
}

# "r,g,b" of the pixel at x,y of a screenshot of the whole X screen.
pixel() {
    import -window root "$work/shot.png" 2>/dev/null || return 1
    convert "$work/shot.png" -format \
        "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
}

# Waits until the pixel at x,y is magenta; true when it became so.
wait_magenta() {
    local deadline=$((SECONDS + 20)) value
    while [ $SECONDS -lt $deadline ]; do
        value=$(pixel "$1" "$2")
        [ "$value" = "255,0,255" ] && return 0
        sleep 0.3
    done
    echo "pixel $1,$2 is $value" >&2
    return 1
}

# --- a fresh home with a pattern picture and a main images folder ------------
config="${XDG_CONFIG_HOME:-$HOME/.config}/Kivo"
mkdir -p "$config" "$HOME/Photos" "$HOME/KivoSlideShow"
convert -size 32x32 xc:magenta "$HOME/KivoSlideShow/pattern.png" || fail "cannot make the pattern"
cat >"$config/KivoSlideShow.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>prefSlideShowPath</key>
	<string>$HOME/Photos</string>
	<key>prefPatternImageBaseNames</key>
	<array><string>pattern</string></array>
	<key>prefShowPhotoWithFilename</key>
	<false/>
</dict>
</plist>
PLIST

# --- two monitors: the right one shows the pattern, the left one does not ----
start_x two
start_station
wait_magenta 2560 500 || fail "the right monitor does not show the pattern picture"
left=$(pixel 960 540)
[ "$left" != "255,0,255" ] || fail "the left monitor shows a display window"
# Right monitor's lower edge (1024 of 1080 high): the window stops there.
[ "$(pixel 2560 1060)" != "255,0,255" ] || fail "the display window runs past its monitor"
echo "two monitors: right shows the pattern, left shows $left"
stop_station
stop_x

# --- one monitor: display 0 shows it -----------------------------------------
start_x one
start_station
wait_magenta 960 540 || fail "with one monitor display 0 does not show the pattern picture"
echo "one monitor: display 0 shows the pattern"
stop_station
echo "PASS"
