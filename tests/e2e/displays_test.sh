#!/bin/bash
# Whole-station displays on a real X server, without a window manager or under
# the one KIVO_E2E_WM names: with two monitors the installed
# station fills the right one with its display window, whose background is
# the pattern picture found in ~/KivoSlideShow (prefPatternImageBaseNames),
# and leaves the left one to the console; with one monitor display 0 shows it,
# under the console also once the bring-to-front has raised the windows.
source "$(dirname "$0")/rig.sh"
rig_begin 120 "$@"

magenta() { [ "$(pixel "$1" "$2")" = "255 0 255" ]; }

# --- a fresh home with a pattern picture and a main images folder ------------
mkdir -p "$HOME/Photos" "$HOME/KivoSlideShow"
convert -size 32x32 xc:magenta "$HOME/KivoSlideShow/pattern.png" || fail "cannot make the pattern"
write_prefs <<PLIST
	<key>prefSlideShowPath</key><string>$HOME/Photos</string>
	<key>prefPatternImageBaseNames</key><array><string>pattern</string></array>
	<key>prefShowPhotoWithFilename</key><false/>
	<key>prefAutoBringAppToFrontAfterLaunchDelay</key><real>1.0</real>
	<key>prefRedirectNSLogToFile</key><false/>
PLIST

# --- two monitors: the right one shows the pattern, the left one does not ----
start_x
start_station
poll 20 magenta 2560 500 || fail "the right monitor does not show the pattern picture ($(pixel 2560 500))"
left=$(pixel 960 540)
[ "$left" != "255 0 255" ] || fail "the left monitor shows a display window"
# Right monitor's lower edge (1024 of 1080 high): the window stops there.
[ "$(pixel 2560 1060)" != "255 0 255" ] || fail "the display window runs past its monitor"
echo "two monitors: right shows the pattern, left shows $left"
stop_station
stop_x

# --- one monitor: display 0 shows it -----------------------------------------
start_x one
start_station
poll 20 magenta 3000 540 || fail "with one monitor display 0 does not show the pattern picture ($(pixel 3000 540))"
wait_for 10 "grep -q autoBringToFrontTimerFired '$work/station.out'" || fail "no bring-to-front"
sleep 0.5
window_box "$(xdotool search --onlyvisible --name '^Kivo SlideShow$')"
! magenta $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) || fail "display 0 covers the console after the bring-to-front"
echo "one monitor: display 0 shows the pattern, the console stays above it"
stop_station
echo "PASS"
