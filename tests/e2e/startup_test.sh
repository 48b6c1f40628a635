#!/bin/bash
# Whole-station start-up on a real X server and session bus: the installed
# station starts with a fresh home, creates its local folder tree, writes the
# day's log file with its header, makes a second copy exit at once while it
# keeps running, and ends within 2 seconds of SIGTERM with nothing left behind.
# The relaunch tool then starts it again once it has ended, and SIGINT ends the
# new copy the same orderly way.
source "$(dirname "$0")/rig.sh"
rig_begin 120 "$@"

start_x

# --- fresh home; the log redirect is a stored user preference --------------
mkdir -p "$HOME/Photos"
write_prefs <<PLIST
	<key>prefRedirectNSLogToFile</key><true/>
	<key>prefSlideShowPath</key><string>$HOME/Photos</string>
PLIST
[ -e "$logdir" ] && fail "log folder exists before the first start"

# --- first copy -------------------------------------------------------------
start_station
wait_launched 15

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

wait_for 10 "[ -d '$HOME/KivoSlideShow/LocalSlideShowFolder/Processed' ]"
for sub in Current Failed Processed; do
    [ -d "$HOME/KivoSlideShow/LocalSlideShowFolder/$sub" ] || fail "missing local folder $sub"
done
kill -0 "$station_pid" 2>/dev/null || fail "the station ended by itself"

# --- second copy: exits within a second, the first runs on -----------------
start=$(ms_now)
timeout 10 "$station" >"$work/second.out" 2>&1; second_rc=$?
elapsed=$(( $(ms_now) - start ))
echo "second copy exited with $second_rc after ${elapsed} ms"
[ "$second_rc" -eq 0 ] || fail "second copy exit status $second_rc"
[ "$elapsed" -le 1000 ] || fail "second copy took ${elapsed} ms to exit"
grep -q "Another Instance of this app is already running" "$logfile" || fail "no duplicate-instance line in the log"
sleep 0.3
kill -0 "$station_pid" 2>/dev/null || fail "the first copy ended when the second started"

# --- SIGTERM: orderly shutdown within 2 seconds -----------------------------
# The relaunch tool is waiting for this copy, as after the daily relaunch (the
# station's own relaunch hands it the log file as its standard error).
"$KIVO_PREFIX/libexec/kivo-slideshow/relaunch" "$station" "$station_pid" 768 \
    >"$work/relaunch.out" 2>>"$logfile" &
relaunch_pid=$!
wait_for 10 "grep -q 'waiting for process $station_pid to end' '$logfile'" || fail "relaunch tool did not start waiting"
start=$(ms_now)
kill -TERM "$station_pid"
# The station is this shell's child: wait for it, with a watchdog that ends it
# hard after 2 s so a hung shutdown fails the test instead of hanging it.
( sleep 2.5; kill -KILL "$station_pid" 2>/dev/null ) &
watchdog=$!
wait "$station_pid"; rc=$?
elapsed=$(( $(ms_now) - start ))
kill "$watchdog" 2>/dev/null; wait "$watchdog" 2>/dev/null
station_pid=""
echo "station ended with $rc after ${elapsed} ms"
[ "$elapsed" -le 2000 ] || fail "station took ${elapsed} ms to end after SIGTERM"
[ "$rc" -eq 0 ] || fail "station exit status $rc after SIGTERM"
grep -q "applicationWillTerminate...Done..." "$logfile" || fail "no orderly shutdown in the log"

# --- the relaunch tool started a new copy once the old one had ended ---------
wait_for 10 "! kill -0 $relaunch_pid 2>/dev/null" || fail "relaunch tool still running"
wait "$relaunch_pid" || fail "relaunch tool failed"
grep -q "launch flags \[768\]" "$logfile" || fail "relaunch did not log the launch flags"
new_pid=$(sed -n 's/.*started \[.*\] as process \([0-9]*\).*/\1/p' "$logfile" | tail -n1)
[ -n "$new_pid" ] || fail "relaunch did not start the station"
station_pid=$new_pid # for the cleanup trap
wait_for 15 "grep -q 'kivo-slideshow\[$new_pid\] AppDelegate->applicationDidFinishLaunching...Done' '$logfile'" \
    || fail "the relaunched station did not come up"
# SIGINT takes the same orderly way out as SIGTERM.
kill -INT "$new_pid"
gone() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
timeout 2 bash -c "$(declare -f gone); until gone $new_pid; do sleep 0.02; done" \
    || fail "relaunched station still running 2 s after SIGINT"
station_pid=""
grep -q "kivo-slideshow\[$new_pid\] AppDelegate->applicationWillTerminate...Done..." "$logfile" \
    || fail "no orderly shutdown of the relaunched station after SIGINT"

# Nothing of this station is left running (other tests' stations have other homes).
real_station=$(readlink -f "$station")
leftover=""
for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/exe" 2>/dev/null)" = "$real_station" ] || continue
    tr '\0' '\n' <"$proc/environ" 2>/dev/null | grep -qxF "HOME=$HOME" || continue
    leftover="$leftover ${proc#/proc/}"
done
[ -z "$leftover" ] || fail "processes left behind:$leftover"
[ -n "${KIVO_E2E_VERBOSE:-}" ] && cat "$logfile"
echo "PASS"
