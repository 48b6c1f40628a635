#!/bin/bash
# Whole-station displays on a real X server: with two monitors the installed
# station fills the right one with its display window, whose background is
# the pattern picture found in ~/KivoSlideShow (prefPatternImageBaseNames),
# and leaves the left one to the console; with one monitor display 0 shows it.
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
poll 20 magenta 960 540 || fail "with one monitor display 0 does not show the pattern picture ($(pixel 960 540))"
echo "one monitor: display 0 shows the pattern"
stop_station
echo "PASS"
