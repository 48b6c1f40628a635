#!/bin/bash
# Whole-station start-up on a real X server and session bus: the installed
# station starts with a fresh home, creates its local folder tree and the
# factory main images folder and starts its displays, writes the
# day's log file with its header, makes a second copy exit at once while it
# keeps running, and ends within 2 seconds of SIGTERM
# (the relaunch tool is run in service_test.py).
source "$(dirname "$0")/rig.sh"
rig_begin 120 "$@"

start_x

# --- fresh home: the first launch, on the factory main images folder ---------
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
[ -d "$HOME/KivoSlideShow/MainImages" ] || fail "no factory main images folder"
grep -q "starting 2 display controllers" "$logfile" || fail "the first launch started no display"
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
start=$(ms_now) pid=$station_pid
stop_station 2 || fail "station took over 2 s to end after SIGTERM"
wait "$pid"; rc=$?
echo "station ended with $rc after $(( $(ms_now) - start )) ms"
[ "$rc" -eq 0 ] || fail "station exit status $rc after SIGTERM"
grep -q "applicationWillTerminate...Done..." "$logfile" || fail "no orderly shutdown in the log"

[ -n "${KIVO_E2E_VERBOSE:-}" ] && cat "$logfile"
echo "PASS"
