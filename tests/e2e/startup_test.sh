#!/bin/bash
# Whole-station start-up on a real X server and session bus: the installed
# station starts with a fresh home, creates its local folder tree, writes the
# day's log file with its header, makes a second copy exit at once while it
# keeps running, and ends within 2 seconds of SIGTERM with nothing left behind.
# The relaunch tool then starts it again once it has ended, and SIGINT ends the
# new copy the same orderly way.
set -uo pipefail

: "${KIVO_PREFIX:?KIVO_PREFIX must name the installed station}"
station="$KIVO_PREFIX/bin/kivo-slideshow"

# Everything runs inside a private session bus.
if [ -z "${KIVO_E2E_IN_BUS:-}" ]; then
    export KIVO_E2E_IN_BUS=1
    exec timeout 120 dbus-run-session -- bash "$0" "$@"
fi

fail() {
    echo "FAIL: $*" >&2
    [ -n "${logfile:-}" ] && [ -f "$logfile" ] && { echo "--- log file:" >&2; cat "$logfile" >&2; }
    [ -f "$work/station.out" ] && { echo "--- station output:" >&2; cat "$work/station.out" >&2; }
    exit 1
}

work=$(mktemp -d)
xvfb_pid=""
station_pid=""
cleanup() {
    for pid in $station_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null && timeout 5 tail --pid="$pid" -f /dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

ms_now() { echo $(( $(date +%s%N) / 1000000 )); }

# --- X server with two monitors -------------------------------------------
Xvfb -displayfd 3 -screen 0 3200x1080x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
timeout 10 bash -c "until [ -s '$work/display' ]; do sleep 0.05; done" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen || fail "xrandr LEFT"
xrandr --setmonitor RIGHT 1280/339x1024/271+1920+0 none || fail "xrandr RIGHT"
export QT_QPA_PLATFORM=xcb

# --- fresh home; the log redirect is a stored user preference --------------
config="${XDG_CONFIG_HOME:-$HOME/.config}/Kivo"
mkdir -p "$config" "$HOME/Photos"
cat >"$config/KivoSlideShow.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>prefRedirectNSLogToFile</key>
	<true/>
	<key>prefSlideShowPath</key>
	<string>$HOME/Photos</string>
</dict>
</plist>
PLIST
logdir="${XDG_STATE_HOME:-$HOME/.local/state}/Kivo/Logs"
[ -e "$logdir" ] && fail "log folder exists before the first start"

# --- first copy -------------------------------------------------------------
"$station" >"$work/station.out" 2>&1 &
station_pid=$!

timeout 15 bash -c "until grep -qs 'applicationDidFinishLaunching...Done' '$logdir'/kivo-slideshow_*.log; do
                        sleep 0.1; done" || fail "the station did not finish launching (log folder $logdir)"
logfile=$(ls "$logdir"/kivo-slideshow_*.log | head -n1)

# The file is named by the business date (three hours before now).
name=$(basename "$logfile")
case "$name" in
    "kivo-slideshow_$(date -d '-3 hours' +%F).log" | "kivo-slideshow_$(date -d '-3 hours -1 minute' +%F).log") ;;
    *) fail "unexpected log file name $name" ;;
esac

# Header: rule, machine, OS, name and version, rule.
version=$("$station" --version | awk '{print $2}')
rule=$(printf '=%.0s' $(seq 59))
grep -q "] $rule\$" "$logfile" || fail "header rule missing"
grep -q "] OS: \|failed to get the OS version" "$logfile" || fail "OS line missing"
grep -q "(\(x86_64\|aarch64\|$(uname -m)\))\$" "$logfile" || fail "machine line missing"
grep -q "] kivo-slideshow => $version\$" "$logfile" || fail "name and version line missing"

timeout 10 bash -c "until [ -d '$HOME/KivoSlideShow/LocalSlideShowFolder/Processed' ]; do sleep 0.1; done"
for sub in Current Failed Processed; do
    [ -d "$HOME/KivoSlideShow/LocalSlideShowFolder/$sub" ] || fail "missing local folder $sub"
done
kill -0 "$station_pid" 2>/dev/null || fail "the station ended by itself"

# --- second copy: exits within a second, the first runs on -----------------
start=$(ms_now)
timeout 10 "$station" >"$work/second.out" 2>&1
second_rc=$?
elapsed=$(( $(ms_now) - start ))
echo "second copy exited with $second_rc after ${elapsed} ms"
[ "$second_rc" -eq 0 ] || fail "second copy exit status $second_rc"
[ "$elapsed" -le 1000 ] || fail "second copy took ${elapsed} ms to exit"
grep -q "Another Instance of this app is already running" "$logfile" \
    || fail "no duplicate-instance line in the log"
sleep 0.3
kill -0 "$station_pid" 2>/dev/null || fail "the first copy ended when the second started"

# --- SIGTERM: orderly shutdown within 2 seconds -----------------------------
# The relaunch tool is waiting for this copy, as after the daily relaunch (the
# station's own relaunch hands it the log file as its standard error).
"$KIVO_PREFIX/libexec/kivo-slideshow/relaunch" "$station" "$station_pid" 768 \
    >"$work/relaunch.out" 2>>"$logfile" &
relaunch_pid=$!
timeout 10 bash -c "until grep -q 'waiting for process $station_pid to end' '$logfile'; do sleep 0.05; done" \
    || fail "relaunch tool did not start waiting"
start=$(ms_now)
kill -TERM "$station_pid"
# The station is this shell's child: wait for it, with a watchdog that ends it
# hard after 2 s so a hung shutdown fails the test instead of hanging it.
( sleep 2.5; kill -KILL "$station_pid" 2>/dev/null ) &
watchdog=$!
wait "$station_pid"
rc=$?
elapsed=$(( $(ms_now) - start ))
kill "$watchdog" 2>/dev/null
wait "$watchdog" 2>/dev/null
station_pid=""
echo "station ended with $rc after ${elapsed} ms"
[ "$elapsed" -le 2000 ] || fail "station took ${elapsed} ms to end after SIGTERM"
[ "$rc" -eq 0 ] || fail "station exit status $rc after SIGTERM"
grep -q "applicationWillTerminate...Done..." "$logfile" || fail "no orderly shutdown in the log"

# --- the relaunch tool started a new copy once the old one had ended ---------
timeout 10 bash -c "while kill -0 $relaunch_pid 2>/dev/null; do sleep 0.05; done" \
    || fail "relaunch tool still running"
wait "$relaunch_pid" || fail "relaunch tool failed"
grep -q "launch flags \[768\]" "$logfile" || fail "relaunch did not log the launch flags"
new_pid=$(sed -n 's/.*started \[.*\] as process \([0-9]*\).*/\1/p' "$logfile" | tail -n1)
[ -n "$new_pid" ] || fail "relaunch did not start the station"
station_pid=$new_pid # for the cleanup trap
timeout 15 bash -c "until grep -q 'kivo-slideshow\[$new_pid\] AppDelegate->applicationDidFinishLaunching...Done' '$logfile'; do
                        sleep 0.1; done" || fail "the relaunched station did not come up"
# SIGINT takes the same orderly way out as SIGTERM.
kill -INT "$new_pid"
gone() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
timeout 2 bash -c "$(declare -f gone); until gone $new_pid; do sleep 0.02; done" \
    || fail "relaunched station still running 2 s after SIGINT"
station_pid=""
grep -q "kivo-slideshow\[$new_pid\] AppDelegate->applicationWillTerminate...Done..." "$logfile" \
    || fail "no orderly shutdown of the relaunched station after SIGINT"

# Nothing of this station is left running.
real_station=$(readlink -f "$station")
leftover=""
for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/exe" 2>/dev/null)" = "$real_station" ] && leftover="$leftover ${proc#/proc/}"
done
[ -z "$leftover" ] || fail "processes left behind:$leftover"
[ -n "${KIVO_E2E_VERBOSE:-}" ] && cat "$logfile"
echo "PASS"
