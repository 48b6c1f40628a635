# Shared rig of the whole-station tests. A shell test sources it:
#   source "$(dirname "$0")/rig.sh"
#   rig_begin 120 "$@"
# It runs the test inside a private session bus, starts a real X server (two
# monitors: LEFT 1920x1080 at 0,0 and RIGHT 1280x1024 at 1920,0), with the
# window manager KIVO_E2E_WM names (openbox) or none, and the installed
# station, and ends them and removes its work folder on exit.
# A failing test prints the station's log file and output.
#
# Run as a program, it runs a Python test the same way, with the AT-SPI bus:
#   bash rig.sh some_test.py
# and the test starts the station itself (station_rig.py).

set -uo pipefail
: "${KIVO_PREFIX:?KIVO_PREFIX must name the installed station}"
station="$KIVO_PREFIX/bin/kivo-slideshow"
config="${XDG_CONFIG_HOME:-$HOME/.config}/Kivo"
logdir="${XDG_STATE_HOME:-$HOME/.local/state}/Kivo/Logs"

# Runs the test again inside dbus-run-session, limited to the given seconds;
# once inside, makes the work folder and sets up the cleanup.
rig_begin() { # seconds "$@"
    if [ -z "${KIVO_E2E_IN_BUS:-}" ]; then
        export KIVO_E2E_IN_BUS=1
        local seconds=$1
        shift
        exec timeout "$seconds" dbus-run-session -- bash "$0" "$@"
    fi
    work=$(mktemp -d)
    trap rig_cleanup EXIT
}

fail() {
    echo "FAIL: $*" >&2
    [ -n "${logfile:-}" ] && [ -f "$logfile" ] && { echo "--- log (tail):"; tail -n 60 "$logfile"; } >&2
    [ -f "$work/station.out" ] && { echo "--- station output (tail):"; tail -n 40 "$work/station.out"; } >&2
    exit 1
}

ms_now() { echo $(($(date +%s%N) / 1000000)); }

# Polls the shell condition every 50 ms; false when it still fails after the given seconds.
wait_for() { # seconds condition
    timeout "$1" bash -c "until $2; do sleep 0.05; done"
}
# Runs the command (a shell function too) every 0.1 s until it succeeds; false
# when it still fails after the given seconds.
poll() { # seconds command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do [ $SECONDS -lt $deadline ] && sleep 0.1 || return 1; done
}

work=""
xvfb_pid=""
station_pid=""
helper_pid=""
wm_pid=""

# Ends the station with SIGTERM; false (and SIGKILL) when it is still running
# 5 s later.
stop_station() { # [seconds, default 5]
    [ -n "$station_pid" ] || return 0
    local pid=$station_pid rc=0
    station_pid=""
    if kill -TERM "$pid" 2>/dev/null; then
        timeout "${1:-5}" tail --pid="$pid" -f /dev/null || { rc=1; kill -KILL "$pid" 2>/dev/null; }
    fi
    return $rc
}
stop_x() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    wm_pid=""
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null && timeout 5 tail --pid="$xvfb_pid" -f /dev/null
        xvfb_pid=""
    fi
}
rig_cleanup() {
    stop_station
    [ -n "$helper_pid" ] && kill "$helper_pid" 2>/dev/null
    stop_x
    rm -rf "$work"
}

start_x() { # [one | 4k]: one monitor instead of LEFT and RIGHT, or RIGHT 3840x2160
    # Tests run side by side: several servers probing for the first free display
    # number at once can end up on one number, so each picks a random one and
    # moves on when it is taken.
    local attempt size=3200x1080 right=1280/339x1024/271
    [ "${1:-}" = 4k ] && size=5760x2160 right=3840/1016x2160/571
    for attempt in $(seq 20); do
        rm -f "$work/display"
        Xvfb ":$((100 + RANDOM % 800))" -displayfd 3 -screen 0 ${size}x24 -nolisten tcp \
            -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        wait_for 10 "[ -s '$work/display' ] || ! kill -0 $xvfb_pid 2>/dev/null"
        [ -s "$work/display" ] &&
            wait_for 5 "DISPLAY=:$(head -n1 "$work/display") xrandr --query >/dev/null 2>&1" && break
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    done
    [ -n "$xvfb_pid" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
    export QT_QPA_PLATFORM=xcb
    if [ "${1:-two}" != one ]; then
        xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen || fail "xrandr LEFT"
        xrandr --setmonitor RIGHT "$right+1920+0" none || fail "xrandr RIGHT"
    fi
    start_wm
}

# Starts the window manager KIVO_E2E_WM names, if any, and waits until it
# manages the screen.
start_wm() {
    case "${KIVO_E2E_WM:-}" in
        "") return 0 ;;
        openbox) openbox --sm-disable >"$work/wm.log" 2>&1 & wm_pid=$! ;;
        *) fail "unknown window manager $KIVO_E2E_WM" ;;
    esac
    wait_for 10 "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" || fail "$KIVO_E2E_WM did not start"
}

start_station() { # [prefix]: another installed copy
    "${1:-$KIVO_PREFIX}/bin/kivo-slideshow" >"$work/station.out" 2>&1 &
    station_pid=$!
}

# Waits until the station logged that it finished launching; sets logfile.
wait_launched() { # [seconds]
    wait_for "${1:-20}" "grep -qs 'kivo-slideshow\[$station_pid\] AppDelegate->applicationDidFinishLaunching...Done' '$logdir'/kivo-slideshow_*.log" \
        || fail "the station did not finish launching (log folder $logdir)"
    logfile=$(ls "$logdir"/kivo-slideshow_*.log | head -n1)
}

# Waits until a window of the station holds the X input focus: the station
# takes it at start, with or without a window manager.
wait_keyboard() { # [seconds]
    wait_for "${1:-10}" "[ \"\$(xdotool getwindowfocus getwindowpid 2>/dev/null)\" = $station_pid ]" \
        || fail "the station did not take the keyboard"
}

# Sets X, Y, WIDTH and HEIGHT to the window's place on the screen (also right
# inside a window manager's frame, unlike xdotool getwindowgeometry).
window_box() { # window id
    eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print "X=" $NF} /Absolute upper-left Y/ {print "Y=" $NF}
        /Width:/ {print "WIDTH=" $NF} /Height:/ {print "HEIGHT=" $NF}')"
}

# Writes a property list holding the <dict> entries read from stdin.
write_plist() { # file
    mkdir -p "$(dirname "$1")"
    {
        cat <<HEAD
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
HEAD
        cat
        printf '</dict>\n</plist>\n'
    } >"$1"
}
write_prefs() { write_plist "$config/KivoSlideShow.plist"; }

# "r g b" of the pixel at x,y of a screenshot of the whole X screen.
pixel() {
    import -window root "$work/shot.png" 2>/dev/null || return 1
    convert "$work/shot.png" -format \
        "%[fx:int(255*p{$1,$2}.r+0.5)] %[fx:int(255*p{$1,$2}.g+0.5)] %[fx:int(255*p{$1,$2}.b+0.5)]" info:
}

# Mounts a tmpfs of the given size over the folder until the test ends.
rig_tmpfs() { # folder size
    mkdir -p "$1" && mount -t tmpfs -o "size=$2" kivo-test "$1" || fail "cannot mount a tmpfs on $1"
    trap "rig_cleanup; umount -l '$1'" EXIT
}

# True when each channel of "r g b" is within 40 of r g b.
near() { # "r g b" r g b
    local a=($1) want=("${@:2}") i
    [ ${#a[@]} -eq 3 ] || return 1
    for i in 0 1 2; do [ $((a[i] - want[i])) -le 40 ] && [ $((want[i] - a[i])) -le 40 ] || return 1; done
}

# Focuses the display window on the right monitor, as an operator's click would.
rig_focus_display() {
    local w X WIDTH
    for w in $(timeout 10 xdotool search --sync --onlyvisible --pid "$station_pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$X" -ge 1920 ] && [ "$WIDTH" -ge 1000 ] && xdotool windowfocus --sync "$w" && return
    done
    fail "no display window on the right monitor"
}
# Types the code and Return as a barcode scanner does, delay ms between keys.
rig_type() { # code [delay ms]
    xdotool type --delay "${2:-20}" "$1" && xdotool key Return
}
rig_scan() { rig_focus_display && rig_type "$1"; }

if [ "${BASH_SOURCE[0]}" = "$0" ]; then # the rig of a Python test
    rig_begin "${KIVO_E2E_SECONDS:-150}" "$@"
    start_x
    unset AT_SPI_BUS_ADDRESS
    /usr/libexec/at-spi-bus-launcher --launch-immediately 2>/dev/null &
    helper_pid=$!
    sleep 0.5
    KIVO_E2E_WORK=$work QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 /usr/bin/python3 "$@"
fi
