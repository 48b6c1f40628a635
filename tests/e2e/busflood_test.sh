#!/bin/bash
# Whole-station run under hostile traffic on the session bus: codes longer
# than 64 characters are refused, and a hundred of the longest codes and a
# hundred search requests grow the log by little; after a flood of 40 000
# notifications SIGTERM still ends the station within 3 s.
source "$(dirname "$0")/rig.sh"
rig_begin 240 "$@"
start_x

mkdir -p "$HOME/Photos/$(date -d '3 hours ago' +%F)"
write_prefs <<PLIST
	<key>prefRedirectNSLogToFile</key><true/>
	<key>prefSlideShowPath</key><string>$HOME/Photos</string>
PLIST
# Sends COUNT notifications NAME, as fast as one bus connection can, each with
# the user info the Python expression of i gives.
emit() { # name count expression
    /usr/bin/python3 - "$@" <<'PY' || fail "cannot send $1"
import sys
from gi.repository import Gio, GLib
name, count, info = sys.argv[1], int(sys.argv[2]), eval("lambda i: " + sys.argv[3])
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
for i in range(count):
    args = GLib.Variant("(sa{sv})", (name, {k: GLib.Variant("s", v) for k, v in info(i).items()}))
    bus.emit_signal(None, "/hostile", "org.kivo.DistributedNotification", "Post", args)
bus.flush_sync()
PY
}
previewer() { emit KivoPreviewerNotification "$1" "{'action': 'newCustomerSittingStarted', 'value': $2}"; }
logged() { grep -c "kivo-slideshow\[$station_pid\] .*$1" "$logfile"; }

start_station && wait_launched

# The longest codes a hundred times, a hundred searches, and codes too long.
size=$(stat -c %s "$logfile")
previewer 100 "'%064d' % i"
emit KivoSlideShowNotification 100 "{}"
previewer 2 "['y' * 500000, '\u202e%065d' % i][i]"
refused() { [ "$(logged 'refused code .*longer than 64')" -eq 2 ]; }
poll 20 refused || fail "codes longer than 64 characters were not refused"
[ "$(logged 'GOT NEW BARCODE ID = \[0\{62\}99\]')" -eq 1 ] || fail "the longest code was not accepted"
grown=$(($(stat -c %s "$logfile") - size))
echo "log growth for 100 longest codes and 100 searches: $grown bytes ($(logged "GOT NEW BARCODE ID = .0\{62\}") codes accepted, $(logged "KivoSlideShowNotification") searches)"
[ "$grown" -lt 1000000 ] || fail "the log grew by $grown bytes"

# A flood, then SIGTERM.
previewer 40000 "'f%d' % i"
kill -0 "$station_pid" || fail "the station died in the flood"
start=$(ms_now)
stop_station 10 || fail "the station did not end after the flood"
quit=$(($(ms_now) - start))
echo "quit after 40 000 notifications: $quit ms"
[ "$quit" -lt 3000 ] || fail "quitting after the flood took $quit ms"
echo "PASS"
