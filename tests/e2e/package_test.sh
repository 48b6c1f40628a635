#!/bin/bash
# The whole install: the Debian package made from this build tree installs
# under /usr, its desktop entry, metainfo, man page and unit pass their
# checkers and lintian finds no error, the installed station answers its
# support commands and starts under Xvfb, and a purge leaves nothing of the
# package, nor touches the user's preferences or photos. Needs root and a
# machine without the package installed (else skipped, status 77).
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root"; exit 77; }
dpkg-query -W kivo-slideshow >/dev/null 2>&1 && { echo "SKIP: kivo-slideshow is installed"; exit 77; }
source "$(dirname "$0")/rig.sh"
rig_begin 600 "$@"
: "${KIVO_BUILD_DIR:?KIVO_BUILD_DIR must name the build tree}"

cpack --config "$KIVO_BUILD_DIR/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.out" 2>&1 ||
    fail "cpack: $(tail -n 5 "$work/cpack.out")"
deb=$(ls "$work"/deb/kivo-slideshow_*.deb) || fail "cpack made no package"
trap 'dpkg --purge kivo-slideshow >/dev/null 2>&1; rig_cleanup' EXIT

code="$HOME/Photos/$(date -d '-3 hours' +%F)/7001"
mkdir -p "$code" && convert xc:red "$code/IMG_1.JPG" && echo '<data><code>7001</code></data>' >"$code/7001.xml"
write_prefs <<PLIST
	<key>prefSlideShowPath</key><string>$HOME/Photos</string>
PLIST
user_files() { find "$HOME" "$config" -type f -exec md5sum {} + | sort; }
before=$(user_files)

dpkg -i "$deb" >"$work/dpkg.out" 2>&1 || fail "dpkg -i: $(tail -n 5 "$work/dpkg.out")"
[ "$(user_files)" = "$before" ] || fail "installing changed the user's files"
version=$(dpkg-deb -f "$deb" Version)
[ "$(/usr/bin/kivo-slideshow --version)" = "kivo-slideshow $version" ] || fail "--version"
/usr/bin/kivo-slideshow --list-codes | grep -q '"7001"' || fail "--list-codes does not list 7001"

check() { # what command...: runs it, shows its output, fails on a non-zero status
    echo "\$ ${*:2}"
    "${@:2}" 2>&1 | tee "$work/check.out"
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "$1"
}
check "desktop entry" desktop-file-validate /usr/share/applications/org.kivo.SlideShow.desktop
check "metainfo" appstreamcli validate --no-net /usr/share/metainfo/org.kivo.SlideShow.metainfo.xml
check "man page" bash -c '! MANWIDTH=80 man --warnings -l /usr/share/man/man1/kivo-slideshow.1.gz 2>&1 >/dev/null | grep .'
check "unit" systemd-analyze --user verify /usr/lib/systemd/user/kivo-slideshow.service
check "lintian" lintian --fail-on error "$deb"

start_x
start_station /usr
wait_launched 30
stop_station || fail "the installed station did not end on SIGTERM"
before=$(user_files)

dpkg --purge kivo-slideshow >"$work/dpkg.out" 2>&1 || fail "dpkg --purge: $(tail -n 5 "$work/dpkg.out")"
left=$(dpkg-deb -c "$deb" | awk '{print substr($6, 2)}' | while read -r path; do
    [ -d "$path" ] && [[ "$path" != */kivo-slideshow* ]] && continue # shared folders stay
    [ -e "$path" ] && echo "$path"
done)
[ -z "$left" ] || fail "left after the purge: $left"
[ "$(user_files)" = "$before" ] || fail "the purge changed the user's files"
echo "PASS"
