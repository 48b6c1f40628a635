#!/bin/bash
# Whole-station displays on a real X server, without a window manager or under
# the one KIVO_E2E_WM names: with two monitors the installed
# station fills the right one with its display window, whose background is
# the pattern picture found in ~/KivoSlideShow (prefPatternImageBaseNames),
# and leaves the left one to the console; with one monitor display 0 shows it,
# under the console also once the bring-to-front has raised the windows.
# Pinned (prefDisplayOutputN), the console goes to the right monitor and the
# customer display to the left one; with the left monitor gone the customer
# photo shows nowhere and the monitor is logged missing, and it comes back
# with the monitor; --list-displays names both monitors and their pins. On a
# 3840x2160 customer monitor the framed photo fills its height and the
# caption strip is twice as high as on a 1080-line one.
source "$(dirname "$0")/rig.sh"
rig_begin 180 "$@"

magenta() { [ "$(pixel "$1" "$2")" = "255 0 255" ]; }

# --- a fresh home with a pattern picture and a main images folder ------------
mkdir -p "$HOME/Photos" "$HOME/KivoSlideShow"
convert -size 32x32 xc:magenta "$HOME/KivoSlideShow/pattern.png" || fail "cannot make the pattern"
prefs() { # more <dict> entries
    write_prefs <<PLIST
	<key>prefSlideShowPath</key><string>$HOME/Photos</string>
	<key>prefPatternImageBaseNames</key><array><string>pattern</string></array>
	<key>prefShowPhotoWithFilename</key><${caption:-false}/>
	<key>prefAutoBringAppToFrontAfterLaunchDelay</key><real>1.0</real>
	<key>prefRedirectNSLogToFile</key><false/>
$1
PLIST
}
prefs ""

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
stop_x

# --- pinned: the console on RIGHT, the customer display on LEFT ---------------
day="$HOME/Photos/$(date -d '3 hours ago' +%F)/111"
mkdir -p "$day" "$HOME/Desktop"
convert -size 1500x1000 'xc:#00a000' "$day/IMG_1.jpg" && touch -d '-5 minutes' "$day/IMG_1.jpg"
convert -size 900x600 xc:yellow -alpha set -region 450x300+225+150 -alpha transparent \
    "$HOME/Desktop/Slideshow_LS.png" || fail "cannot make the photo and the overlay"
prefs "<key>prefDisplayOutput1</key><string>RIGHT</string>
	<key>prefDisplayOutput2</key><string>LEFT</string>
	<key>prefSearchDemoCodeAtStartup</key><false/>"
start_x
start_station
wait_keyboard
console=$(timeout 10 xdotool search --sync --onlyvisible --name '^Kivo SlideShow$' | head -n1)
on_right() { window_box "$console" && [ "$X" -ge 1920 ]; }
poll 10 on_right || fail "the console is not on the right monitor (at $X,$Y)"
rig_type 111
# The 900x600 slide fitted to 1920x1080: frame at x 200, photo in the middle.
left_framed() { near "$(pixel 200 540)" 255 255 0 && near "$(pixel 960 540)" 0 160 0; }
poll 15 left_framed || fail "no customer photo on the left monitor ($(pixel 200 540) / $(pixel 960 540))"
listed=$("$station" --list-displays) || fail "--list-displays failed"
grep -q '^{"display":2,"geometry":{"height":1080,"width":1920,"x":0,"y":0},"name":"LEFT"' <<<"$listed" &&
    grep -q '^{"display":1,"geometry":{"height":1024,"width":1280,"x":1920,"y":0},"name":"RIGHT"' <<<"$listed" ||
    fail "--list-displays printed: $listed"

xrandr --delmonitor LEFT || fail "xrandr --delmonitor LEFT"
wait_for 10 "grep -q 'monitor \[LEFT\]: monitor missing' '$work/station.out'" || fail "the missing monitor was not logged"
poll 5 eval '[ -z "$(xdotool search --onlyvisible --name "^Kivo SlideShow 2$")" ]' || fail "the customer display is still shown"
poll 12 eval 'grep -q "monitor \[LEFT\] missing" <<<"$("$station" --status)"' || fail "--status does not report the missing monitor"
sleep 1
for spot in "1940 512" "2560 512" "3150 1000"; do
    ! near "$(pixel $spot)" 0 160 0 && ! near "$(pixel $spot)" 255 255 0 || fail "a customer photo shows on the right monitor at $spot"
done
xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen || fail "xrandr LEFT again"
poll 15 left_framed || fail "the customer display did not come back ($(pixel 200 540) / $(pixel 960 540))"
on_right || fail "the console left the right monitor (at $X,$Y)"
wait_keyboard
[ "$(grep -c 'monitor \[LEFT\]: monitor missing' "$work/station.out")" -eq 1 ] || fail "the missing monitor was logged more than once"
echo "pinned: console on RIGHT, customer on LEFT, gone with its monitor and back"
stop_station
stop_x

# --- a 4K customer monitor ------------------------------------------------------
caption=true prefs "<key>prefSearchDemoCodeAtStartup</key><false/>"
start_x 4k
start_station
wait_keyboard
rig_scan 111
# The 900x600 slide fitted to 3840x2160: 3240x2160 from x 2220, its frame 810 wide.
big_framed() { near "$(pixel 2400 1000)" 255 255 0 && near "$(pixel 3840 1000)" 0 160 0; }
poll 15 big_framed || fail "no framed photo across the 4K monitor ($(pixel 2400 1000) / $(pixel 3840 1000))"
strip_height() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$station_pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" = 3840 ] && [ "$HEIGHT" -lt 400 ] && echo "$HEIGHT" && return
    done
}
poll 5 eval '[ "$(strip_height)" = 88 ]' || fail "the caption strip is $(strip_height) px high on 2160 lines, not 88"
echo "4K: the framed photo fills the monitor's height, the caption strip is 88 px high"
stop_station
echo "PASS"
