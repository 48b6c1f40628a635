#!/usr/bin/python3
# Whole-station test of the operator console, driven over AT-SPI and the
# keyboard, without a window manager or under the one KIVO_E2E_WM names.
#
# On a real X server with two monitors and a private session bus, the installed
# station lists a prepared day's codes with their photo counts and comes up
# with the first row chosen and its photos shown; the reassignment sheet stays
# above the console when the bring-to-front fires; playing a code makes the
# right monitor show its photo and the code's row show its room; pausing and
# resuming the display changes its status line, and while it is paused Next
# Slide (Ctrl+N) changes it within a second; Identify Displays flashes both monitors for
# the set seconds; Ctrl+, opens the preferences, and what is typed into its
# password sheet never reaches the log; demo slides without a picture
# raise an alert whose headline is readable, and with one play on the right
# monitor.
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (cell, centre, click, counts, enter_rig, fail, find,  # noqa: E402
                         find_where, make_day, near, pixel, poll, running_station, station_app,
                         write_prefs)

CODE = "20240517"
RED, GREEN, BLUE = (220, 30, 30), (30, 200, 30), (30, 40, 220)
IDENTIFY_SECONDS = 2


def right_monitor():
    return pixel(1920 + 640, 512)


def output(path):
    with open(path, errors="replace") as f:
        return f.read()


def key(*keys):  # to the console, focused as an operator would
    window = subprocess.run(["timeout", "10", "xdotool", "search", "--sync", "--onlyvisible",
                             "--name", "^Kivo SlideShow$"], capture_output=True, text=True)
    subprocess.run(["xdotool", "windowfocus", "--sync", window.stdout.split()[0], "key"] +
                   list(keys), check=True, timeout=10)


def main():
    enter_rig(__file__)
    day = make_day([(code, "Party " + code, [("IMG_%d.JPG" % i, (RED, GREEN)[i], (640, 480))
                                             for i in range(count)])
                    for code, count in ((CODE, 2), ("20240518", 1), ("20240519", 0))])
    demo = os.path.join(os.environ["HOME"], "Demo")
    os.makedirs(demo)
    write_prefs({"prefSlideShowPath": os.path.dirname(day), "prefDemoSlidesPath": demo,
                 "prefNameOfDisplay2": "Hall", "prefShowPhotoWithFilename": False,
                 "prefSlideShowDelay2": 3, "prefIdentifyScreenInSeconds": IDENTIFY_SECONDS,
                 "prefAutoBringAppToFrontAfterLaunchDelay": 8.0, "prefRedirectNSLogToFile": False})
    with running_station() as out_path:
        run(out_path, demo)


def run(out_path, demo):
    import pyatspi  # after the bus exists

    def enabled(name):
        return find(app, "push button", name).getState().contains(pyatspi.STATE_ENABLED)

    def extents(accessible):
        return accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)

    app = poll("the station on the accessibility bus", station_app, 20)
    table = poll("the code table", lambda: find(app, "table", "Codes"), 10)
    poll("two display controllers (the display subsystem must be part of the station)",
         lambda: "starting 2 display controllers" in output(out_path))
    # The day's codes with their counts; the first row chosen, its photos shown.
    listed = poll("three rows with counts", lambda: counts(table, 3))
    if listed != {CODE: "2", "20240518": "1", "20240519": "0"}:
        fail("rows listed: %r" % (listed,))
    photos = find(app, "list", "Photos")
    poll("row 0 chosen at start-up, its photos shown, Play and Reassign enabled",
         lambda: table.queryTable().isRowSelected(0) and photos.childCount == 2 and
         enabled("Play") and enabled("Reassign"))
    console = find_where(app, lambda a: a.name == "Kivo SlideShow Console")
    if extents(console).x + extents(console).width > 1920:
        fail("the console is not on the first monitor")

    display = find(app, "combo box", "2. Hall") or find(app, "combo box", "Display")
    if display is None or display.name != "2. Hall":
        fail("the display chooser does not show 2. Hall")

    # The reassignment sheet, fully on the console's monitor, stays above the
    # console when the bring-to-front fires.
    find(app, "push button", "Reassign").queryAction().doAction(0)
    sheet = poll("the reassignment sheet", lambda: find(app, "dialog", "Re-Assign Photos"))
    grid = poll("its photos", lambda: (lambda g: g if g and g.childCount == 2 else None)(
        find(sheet, "list", "Photos of the old code")))
    poll("the bring-to-front", lambda: "autoBringToFrontTimerFired" in output(out_path))
    time.sleep(0.5)
    box = extents(sheet)
    if box.x < 0 or box.y < 0 or box.x + box.width > 1920 or box.y + box.height > 1080:
        fail("the sheet is not wholly on the first monitor: %r" % ((box.x, box.y, box.width,
                                                                   box.height),))
    thumb = grid.getChildAtIndex(0)
    if not any(near(pixel(*centre(thumb)), c) for c in (RED, GREEN)):
        fail("the sheet's first photo is covered (%r)" % (pixel(*centre(thumb)),))
    find(sheet, "push button", "Cancel").queryAction().doAction(0)
    poll("the sheet closed", lambda: find(app, "dialog", "Re-Assign Photos") is None)

    # Choose the code by clicking its cell, then Play.
    click(cell(table, CODE))
    poll("Play enabled", lambda: enabled("Play"))
    find(app, "push button", "Play").queryAction().doAction(0)

    # The right monitor shows one of the code's photos; the row shows the room.
    poll("the code's photo on the right monitor",
         lambda: near(right_monitor(), RED) or near(right_monitor(), GREEN), 15)
    poll("the room in the code's row", lambda: cell(table, CODE, 1).name == CODE + " (Hall)")

    # Pause and resume change the status line. While paused, Next Slide from
    # the keyboard shows the other photo within a second.
    status = find(app, "label", "Display Status")
    toggle = find(app, "push button", "Pause or Resume")
    before = poll("a status line", lambda: status.description)
    toggle.queryAction().doAction(0)
    paused = poll("the status after pausing",
                  lambda: (lambda s: s if s and s != before else None)(status.description))
    time.sleep(0.5)
    shown, start = right_monitor(), time.time()
    key("ctrl+n")
    poll("the next slide", lambda: not near(right_monitor(), shown), 3)
    if time.time() - start > 1.0:
        fail("Next Slide took %.2f s" % (time.time() - start))
    toggle.queryAction().doAction(0)
    poll("the status after resuming", lambda: status.description == before)
    if paused == before:
        fail("pausing left the status line as it was")

    # Identify Displays: both monitors (the left one over the console) show the
    # overlay for the set seconds.
    corner = extents(table)
    spots = [(corner.x + 4, corner.y + corner.height - 4), (1920 + 640, 100)]
    normal = [pixel(*spot) for spot in spots]
    find(app, "push button", "Identify Displays").queryAction().doAction(0)
    start, shown = time.time(), []
    while time.time() - start < IDENTIFY_SECONDS + 1.5:
        if all(not near(pixel(*spot), was) for spot, was in zip(spots, normal)):
            shown.append(time.time() - start)
        time.sleep(0.02)
    if not shown or shown[0] > 1.0 or not IDENTIFY_SECONDS - 0.7 < shown[-1] < IDENTIFY_SECONDS + 0.7:
        fail("identify overlay on both monitors seen at %r s" % (shown,))

    # Ctrl+, opens the preferences. What is typed into the password sheet is
    # neither a code nor logged.
    key("ctrl+comma")
    prefs = poll("the preferences", lambda: find(app, "dialog", "Preferences"))
    find(prefs, "push button", "Choose Main Images Folder").queryAction().doAction(0)
    sheet = poll("the password sheet", lambda: find(app, "dialog", "Password Required"))
    click(find(sheet, "password text", "Password"))
    subprocess.run(["xdotool", "type", "--delay", "20", "739400"], check=True)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    poll("the wrong password refused", lambda: "wrong password" in output(out_path))
    if "739400" in output(out_path):
        fail("keys typed into the password sheet are in the log")
    find(sheet, "push button", "Cancel").queryAction().doAction(0)
    find(prefs, "push button", "Close Preferences").queryAction().doAction(0)

    # Demo slides need the list to hold the focus. Without a picture an alert
    # shows its headline; with one the right monitor turns blue.
    click(cell(table, CODE))
    find(app, "push button", "Demo Slides").queryAction().doAction(0)
    alert = poll("the no-demo alert", lambda: find(app, "alert", "NO DEMO IMAGES..."))
    headline = find(alert, "label", "NO DEMO IMAGES...")
    if headline is None or extents(headline).width <= 0:
        fail("the alert's headline is not in its text")
    find(alert, "push button", "OK").queryAction().doAction(0)
    subprocess.run(["convert", "-size", "640x480", "xc:rgb(%d,%d,%d)" % BLUE, "-quality", "92",
                    os.path.join(demo, "demo.jpg")], check=True)
    click(cell(table, CODE))
    find(app, "push button", "Demo Slides").queryAction().doAction(0)
    poll("the demo slide on the right monitor", lambda: near(right_monitor(), BLUE), 15)
    print("console whole-station test passed")


if __name__ == "__main__":
    main()
