#!/usr/bin/python3
# Whole-station test of the operator console, driven over AT-SPI.
#
# On a real X server with two monitors and a private session bus, the installed
# station lists a prepared day's codes with their photo counts; choosing a code
# and playing it makes the right monitor show that code's photo and the code's
# row show its room; pausing and resuming the display changes its status line;
# demo slides play on the right monitor.
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (cell, click, counts, enter_rig, fail, find, make_day,  # noqa: E402
                         poll, running_station, station_app, write_prefs)

CODE = "20240517"
RED, BLUE = (220, 30, 30), (30, 40, 220)


def pixel(x, y):
    out = subprocess.run(["import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y),
                          "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
    # "0,0: (220,30,30)  #DC1E1E  srgb(220,30,30)"
    values = out.splitlines()[-1].split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in values[:3])


def near(color, target, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(color, target))


def main():
    enter_rig(__file__)
    day = make_day([(code, "Party " + code, [("IMG_%d.JPG" % i, RED, (640, 480))
                                             for i in range(count)])
                    for code, count in ((CODE, 2), ("20240518", 1), ("20240519", 0))])
    demo = os.path.join(os.environ["HOME"], "Demo")
    os.makedirs(demo)
    subprocess.run(["convert", "-size", "640x480", "xc:rgb(%d,%d,%d)" % BLUE, "-quality", "92",
                    os.path.join(demo, "demo.jpg")], check=True)
    write_prefs({"prefSlideShowPath": os.path.dirname(day), "prefDemoSlidesPath": demo,
                 "prefNameOfDisplay2": "Hall", "prefShowPhotoWithFilename": False,
                 "prefSlideShowDelay2": 1})
    with running_station() as out_path:
        run(out_path)


def run(out_path):
    import pyatspi  # after the bus exists

    app = poll("the station on the accessibility bus", station_app, 20)
    table = poll("the code table", lambda: find(app, "table", "Codes"), 10)

    def displays_started():
        with open(out_path, errors="replace") as f:
            return "starting 2 display controllers" in f.read()
    poll("two display controllers (the display subsystem must be part of the station)",
         displays_started)
    # The day's codes with their counts.
    listed = poll("three rows with counts", lambda: counts(table, 3))
    if listed != {CODE: "2", "20240518": "1", "20240519": "0"}:
        fail("rows listed: %r" % (listed,))

    display = find(app, "combo box", "2. Hall") or find(app, "combo box", "Display")
    if display is None or display.name != "2. Hall":
        fail("the display chooser does not show 2. Hall")

    # Choose the code by clicking its cell, then Play.
    click(cell(table, CODE))
    play = find(app, "push button", "Play")
    poll("Play enabled", lambda: play.getState().contains(pyatspi.STATE_ENABLED))
    play.queryAction().doAction(0)

    # The right monitor shows the code's red photo; the row shows the room.
    poll("the code's photo on the right monitor", lambda: near(pixel(1920 + 640, 512), RED), 15)
    poll("the room in the code's row", lambda: cell(table, CODE, 1).name == CODE + " (Hall)")

    # Pause and resume change the status line.
    status = find(app, "label", "Display Status")
    toggle = find(app, "push button", "Pause or Resume")
    before = poll("a status line", lambda: status.description)
    toggle.queryAction().doAction(0)
    paused = poll("the status after pausing",
                  lambda: (lambda s: s if s and s != before else None)(status.description))
    toggle.queryAction().doAction(0)
    poll("the status after resuming", lambda: status.description == before)
    if paused == before:
        fail("pausing left the status line as it was")

    # Demo slides: the list must hold the focus, the right monitor turns blue.
    click(cell(table, CODE))
    find(app, "push button", "Demo Slides").queryAction().doAction(0)
    poll("the demo slide on the right monitor", lambda: near(pixel(1920 + 640, 512), BLUE), 15)
    print("console whole-station test passed")


if __name__ == "__main__":
    main()
