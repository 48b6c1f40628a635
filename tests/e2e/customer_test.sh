#!/bin/bash
# Whole-station customer slideshow on a real X server with two monitors and a
# real session bus, without a window manager or under the one KIVO_E2E_WM
# names (where nobody gives the station the keyboard first): a code typed as a
# barcode scanner types it fills the working folder with framed copies at the
# overlay's size and the right monitor shows a framed photo; with the right
# monitor unplugged the console stays above display 0, and plugged back the
# customer display plays again; a code typed too slowly, or one that names
# another folder, changes nothing; a code with no photos yet clears the
# customer display until its photo is filed, and one filed half a second
# before its scan shows within 3 s of being filed; two progressive
# 144-megapixel photos are left out within the memory bound; the previewer
# makes a code current, and while the video recorder records a new scan raises
# the warning and is not accepted, and codes from the previewer meanwhile open
# no second alert; --list-codes reads the factory main folder. Then the shout
# mode, forced through ForcedDefaultPrefs.plist in a copy of the installed station,
# fills the working folder with "_overlay" copies of the day's newest photos,
# and the preferences key on the customer display opens the preferences on its
# monitor. Last, with the XTEST keyboard named as the scanner device, a code
# typed while another program has the focus plays on the customer display.
source "$(dirname "$0")/rig.sh"
rig_begin 300 "$@"

start_x

# --- today's photos, overlays and preferences ----------------------------------
day="$HOME/Photos/$(date -d '3 hours ago' +%F)"
slides="$HOME/tmp/slideshowA"
mkdir -p "$day/111" "$day/222" "$day/333" "$HOME/Desktop" "$HOME/Other/111"
photo() { # path colour WxH [minutes old]
    convert -size "$3" "xc:$2" -quality 92 "$1" && touch -d "-${4:-5} minutes" "$1"
}
photo "$day/111/IMG_1.jpg" '#00a000' 1500x1000 9
photo "$day/111/IMG_2.JPG" '#00a000' 1500x1000 8
photo "$day/222/IMG_1.jpg" '#0000c0' 1500x1000 7
photo "$day/333/tall.jpg" '#00a000' 1000x1500 6
photo "$HOME/Other/111/IMG_9.jpg" '#c00000' 1500x1000 1
# --list-codes looks in the factory main folder, "~" expanded, as the displays do.
factory="$HOME/KivoSlideShow/MainImages/$(date -d '3 hours ago' +%F)/555"
mkdir -p "$factory" && echo '<data><code>555</code></data>' >"$factory/555.xml"
"$station" --list-codes | grep -q '"555"' || fail "--list-codes does not list the factory folder's codes"
# Overlays: a yellow frame around a transparent window (inner half).
convert -size 900x600 xc:yellow -alpha set -region 450x300+225+150 -alpha transparent \
    "$HOME/Desktop/Slideshow_LS.png" || fail "cannot make the landscape overlay"
convert -size 600x900 xc:yellow -alpha set -region 300x450+150+225 -alpha transparent \
    "$HOME/Desktop/Slideshow_PRT.png" || fail "cannot make the portrait overlay"
write_prefs <<PLIST
	<key>prefRedirectNSLogToFile</key><true/>
	<key>prefSlideShowPath</key><string>$HOME/Photos</string>
	<key>prefSearchDemoCodeAtStartup</key><false/>
	<key>prefShowPhotoWithFilename</key><false/>
PLIST

near_pixel() { near "$(pixel "$1" "$2")" "${@:3}"; }
slides_now() { (cd "$slides" 2>/dev/null && ls -A | LC_ALL=C sort | tr '\n' ' '); }
code_lines() { grep -c "kivo-slideshow\[$station_pid\] GOT NEW BARCODE ID = \[$1\]" "$logfile"; }
# Without a window manager nobody gives the station the keyboard: an operator
# would click the display window on the right monitor.
focus_display() { [ -n "${KIVO_E2E_WM:-}" ] || rig_focus_display; }

# --- console mode ----------------------------------------------------------------
start_station
wait_launched
grep -q "kivo-slideshow\[$station_pid\] .*starting 2 display controllers" "$logfile" \
    || fail "the station did not start two display controllers (the display subsystem must be part of the station)"
wait_keyboard
focus_display

start=$(ms_now)
rig_type 111
wait_for 10 "[ \"\$(ls '$slides' 2>/dev/null | wc -l)\" -eq 2 ]" || fail "the working folder did not fill: $(slides_now)"
[ "$(slides_now)" = "IMG_1.jpg IMG_2.JPG " ] || fail "working folder holds $(slides_now)"
for f in "$slides"/*; do
    [ "$(identify -format %wx%h "$f")" = 900x600 ] || fail "$f is not at the overlay's size"
done
[ "$(code_lines 111)" -eq 1 ] || fail "111 did not become the current code"
# The right monitor (1280x1024 at 1920,0) shows the 900x600 slide fitted to
# 1280x853: the frame at its left edge, the photo in the middle.
framed() { near "$(pixel 1940 512)" 255 255 0 && near "$(pixel 2560 512)" 0 160 0; }
poll 15 framed && first=$(($(ms_now) - start))
[ -n "${first:-}" ] || fail "the right monitor does not show a framed photo ($(pixel 1940 512) / $(pixel 2560 512))"
echo "scan to first framed slide on screen: ${first} ms (screenshot polling included)"

# The right monitor unplugged: the console stays above display 0's window on
# the one screen left. Plugged back, the customer display plays again.
console=$(timeout 10 xdotool search --sync --onlyvisible --name '^Kivo SlideShow$' | head -n1)
window_box "$console"
spot="$((X + 4)) $((Y + HEIGHT - 4))"
seen=$(pixel $spot)
xrandr --delmonitor RIGHT || fail "xrandr --delmonitor"
sleep 2
[ "$(pixel $spot)" = "$seen" ] || fail "display 0 covers the console with one monitor left ($(pixel $spot), was $seen)"
xrandr --setmonitor RIGHT 1280/339x1024/271+1920+0 none || fail "xrandr RIGHT again"
poll 15 framed || fail "the customer display did not come back ($(pixel 1940 512) / $(pixel 2560 512))"
focus_display

# A portrait photo gets the portrait overlay.
rig_type 333
wait_for 10 "[ -f '$slides/tall.jpg' ]" || fail "333 not prepared"
[ "$(identify -format %wx%h "$slides/tall.jpg")" = 600x900 ] || fail "portrait overlay not used"

# Typed too slowly (0.7 s between presses): each pause throws the keys typed
# so far away, so the Return completes nothing and nothing changes.
before=$(slides_now)
rig_type 222 1400 # xdotool waits half the delay after a press, half after its release
sleep 1.5
[ "$(slides_now)" = "$before" ] || fail "a slowly typed code changed the working folder"
[ "$(code_lines 222)" -eq 0 ] || fail "a slowly typed code was accepted"

# A code with no photos yet: nothing of the customer before stays on the
# customer display, and the code's photo plays once it is filed.
rig_type 2
wait_for 5 "[ -z \"\$(ls -A '$slides')\" ]" || fail "the working folder kept another customer's photos: $(slides_now)"
sleep 1.5
! near "$(pixel 2560 512)" 0 160 0 || fail "the customer before is still on the customer display"
mkdir -p "$day/2" && photo "$day/2/IMG_5.jpg" '#0000c0' 1500x1000 10 # older than the shout mode's three
wait_for 5 "[ -f '$slides/IMG_5.jpg' ]" || fail "a photo filed after its code was scanned did not play"
# A photo filed half a second before its scan plays as soon as it has settled
# (2 s): on the screen within 3 s of being filed.
mkdir -p "$day/7" && convert -size 1500x1000 xc:'#c00000' -quality 92 "$work/fresh.jpg"
mv "$work/fresh.jpg" "$day/7/IMG_7.jpg" && sleep 0.5 && rig_type 7
poll 10 near_pixel 2560 512 192 0 0 || fail "a photo filed 0.5 s before its scan did not show"
shown=$(grep -F -m1 "slideShown...[$slides/IMG_7.jpg]" "$logfile" | cut -c1-23)
took=$(($(date -d "$shown" +%s%3N) - $(date -r "$day/7/IMG_7.jpg" +%s%3N)))
[ "$took" -le 3000 ] || fail "a photo filed 0.5 s before its scan took $took ms to show"
echo "photo filed 0.5 s before its scan: on screen $took ms after filing"
touch -d "-11 minutes" "$day/7/IMG_7.jpg" # older than the shout mode's three
before=$(slides_now)

# Codes that name another folder are refused before any path is formed.
for code in ../Other/111 ..; do rig_type "$code"; done
sleep 1.5
[ "$(slides_now)" = "$before" ] || fail "a hostile code changed the working folder"
[ "$(grep -c 'refused code' "$logfile")" -ge 2 ] || fail "hostile codes not refused in the log"
[ -f "$HOME/Other/111/IMG_9.jpg" ] || fail "a file outside the working folder was touched"

# Two progressive 144-megapixel photos: a decoder would hold each whole as
# coefficients (864 MB); both are left out and the station stays small.
mkdir -p "$day/777"
python3 -c 'import sys; sys.stdout.buffer.write(b"P6\n12000 12000\n255\n" + b"\x28\x5a\xa0" * 144000000)' \
    | cjpeg -progressive -sample 1x1 >"$day/777/big1.jpg" || fail "cannot make a progressive photo"
cp "$day/777/big1.jpg" "$day/777/big2.jpg"
rig_type 777
wait_for 60 "[ \$(grep -c 'big2.jpg\] left out: needs' '$logfile') -ge 1 ]" || fail "the progressive photos were not left out"
peak=$(awk '/^VmHWM/ { print int($2 / 1024) }' "/proc/$station_pid/status")
echo "peak memory after two progressive 144 MP photos: $peak MB"
[ "$peak" -lt 600 ] || fail "peak memory $peak MB with two progressive photos"
rm -r "$day/777"

# The previewer announces a customer: it becomes the current code.
gdbus emit --session --object-path /org/kivo/Previewer \
    --signal org.kivo.DistributedNotification.Post KivoPreviewerNotification \
    "{'action': <'newCustomerSittingStarted'>, 'value': <' 444 '>}" >/dev/null || fail "gdbus emit"
wait_for 5 "grep -q 'kivo-slideshow\[$station_pid\] GOT NEW BARCODE ID = \[444\]' '$logfile'" || fail "the previewer's code did not become current"

# The recorder records: a new scan raises the warning and is not accepted.
windows_before=$(xdotool search --onlyvisible --pid "$station_pid" | wc -l)
dbus-send --session --type=signal /org/kivo/Video org.kivo.DistributedNotification.Post \
    string:kivoXNotification dict:string:string:"action","statusIsRecording","senderApp","Kivo-Video.app" \
    || fail "dbus-send"
sleep 0.3
rig_type 222
wait_for 5 "[ \$(xdotool search --onlyvisible --pid $station_pid | wc -l) -gt $windows_before ]" || fail "no warning alert while the video records"
# Codes from the previewer meanwhile open no second alert; they are dropped.
for i in $(seq 20); do gdbus emit --session --object-path /p --signal org.kivo.DistributedNotification.Post \
    KivoPreviewerNotification "{'action': <'newCustomerSittingStarted'>, 'value': <'c$i'>}" >/dev/null; done
wait_for 10 "grep -q 'codes are dropped until it is closed' '$logfile'" || fail "codes while the alert is up were not dropped"
[ "$(xdotool search --onlyvisible --pid "$station_pid" | wc -l)" -eq $((windows_before + 1)) ] || fail "more than one alert"
[ "$(code_lines 222)" -eq 0 ] || fail "a scan while recording was accepted"
alert=$(xdotool search --onlyvisible --pid "$station_pid" | tail -n1)
xdotool windowfocus --sync "$alert" 2>/dev/null; xdotool key Return
wait_for 5 "[ \$(xdotool search --onlyvisible --pid $station_pid | wc -l) -eq $windows_before ]" || fail "the alert did not close"
stop_station || fail "the station did not end"

# --- shout mode, forced for a copy of the installed station -----------------------
cp -a "$KIVO_PREFIX" "$work/prefix"
write_plist "$work/prefix/share/kivo-slideshow/ForcedDefaultPrefs.plist" <<PLIST
	<key>prefDoShoutMode</key><true/>
	<key>prefMaxPhotosInLocalFolder</key><integer>3</integer>
PLIST
rm -rf "$slides"
start_station "$work/prefix"
wait_launched
want="222_IMG_1_overlay.jpg 333_tall_overlay.jpg 111_IMG_2_overlay.JPG "
wait_for 10 "[ \"\$(cd '$slides' 2>/dev/null && ls | wc -l)\" -eq 3 ]" || fail "shout mode did not fill the working folder: $(slides_now)"
[ "$(slides_now)" = "$(echo $want | tr ' ' '\n' | LC_ALL=C sort | tr '\n' ' ')" ] \
    || fail "shout mode holds $(slides_now)"
cmp -s "$day/333/tall.jpg" "$slides/333_tall_overlay.jpg" || fail "shout-mode copy differs from its photo"
# With no console, the preferences key on the customer display opens the
# preferences there.
focus_display
xdotool key ctrl+comma
prefs=$(timeout 10 xdotool search --sync --onlyvisible --name '^Preferences$' | head -n1)
[ -n "$prefs" ] || fail "the preferences key opened nothing"
window_box "$prefs"
[ "$X" -ge 1920 ] || fail "the preferences opened at $X,$Y, not on the customer display's monitor"
stop_station || fail "the station did not end"

# --- the scanner as its own device -----------------------------------------------------
# Named by prefScannerDevice (any case), xdotool's XTEST keyboard alone feeds the
# barcode entry: once while a display window has the focus (a doubled "333333"
# has no photos), and while another program has it.
write_prefs <<PLIST
	<key>prefRedirectNSLogToFile</key><true/>
	<key>prefSlideShowPath</key><string>$HOME/Photos</string>
	<key>prefShowPhotoWithFilename</key><false/>
	<key>prefAutoBringAppToFrontAfterLaunch</key><false/>
	<key>prefScannerDevice</key><string>xtest KEYBOARD</string>
PLIST
start_station
wait_launched
grep -q "kivo-slideshow\[$station_pid\] ScannerKeySource: scans are read from device \[Virtual core XTEST keyboard\]" \
    "$logfile" || fail "the XTEST keyboard is not read as the scanner device"
focus_display
rig_type 333
wait_for 10 "[ -f '$slides/tall.jpg' ]" || fail "a scan into a display window was not taken once: $(slides_now)"
xmessage -geometry +100+100 other >/dev/null 2>&1 &
helper_pid=$!
other=$(timeout 10 xdotool search --sync --onlyvisible --class Xmessage | head -n1)
xdotool "$([ -n "${KIVO_E2E_WM:-}" ] && echo windowactivate || echo windowfocus)" --sync "$other"
rig_type 111
poll 15 framed || fail "a scan while another program has the focus did not play ($(slides_now))"
[ "$(xdotool getwindowfocus getwindowname)" = xmessage ] || fail "the other program lost the focus"
stop_station || fail "the station did not end"
echo "PASS"
