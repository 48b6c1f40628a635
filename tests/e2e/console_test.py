#!/usr/bin/python3
"""Whole-station test of the operator console, driven over AT-SPI.

On a real X server with two monitors and a private session bus, the installed
station lists a prepared day's codes with their photo counts; choosing a code
and playing it makes the right monitor show that code's photo and the code's
row show its room; pausing and resuming the display changes its status line;
demo slides play on the right monitor.
"""
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (add_code_folder, business_day_name, click, fail, find,  # noqa: E402
                         poll, reexec_in_bus, require_station, running_station, station_app,
                         write_jpeg, write_prefs)

CODE = "20240517"
RED, BLUE = (220, 30, 30), (30, 40, 220)


def prepare_day(home):
    photos = os.path.join(home, "Photos")
    day = os.path.join(photos, business_day_name())
    for code, count, color in ((CODE, 2, RED), ("20240518", 1, RED), ("20240519", 0, RED)):
        folder = add_code_folder(day, code, "Party " + code)
        for i in range(count):
            write_jpeg(os.path.join(folder, "IMG_%d.JPG" % i), color)
    demo = os.path.join(home, "Demo")
    os.makedirs(demo)
    write_jpeg(os.path.join(demo, "demo.jpg"), BLUE)
    return photos, demo


def pixel(x, y):
    out = subprocess.run(["import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y),
                          "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
    # "0,0: (220,30,30)  #DC1E1E  srgb(220,30,30)"
    values = out.splitlines()[-1].split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in values[:3])


def near(color, target, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(color, target))


def main():
    reexec_in_bus(__file__, "console")
    require_station()
    photos, demo = prepare_day(os.environ["HOME"])
    write_prefs(os.environ["XDG_CONFIG_HOME"], {
        "prefSlideShowPath": photos, "prefDemoSlidesPath": demo, "prefNameOfDisplay2": "Hall",
        "prefShowPhotoWithFilename": False, "prefSlideShowDelay2": 1})
    with running_station() as out_path:
        run(out_path)


def run(out_path):
    import pyatspi  # after the bus exists

    app = poll("the station on the accessibility bus", station_app, 20)
    table = poll("the code table", lambda: find(app, "table", "Codes"), 10)

    def cell_texts(row):
        t = table.queryTable()
        return [t.getAccessibleAt(row, c).name for c in range(t.nColumns)]

    def row_of(code):
        t = table.queryTable()
        for r in range(t.nRows):
            if t.getAccessibleAt(r, 0).name == code:
                return r
        return None

    # The day's codes with their counts.
    def counts():
        t = table.queryTable()
        if t.nRows != 3:
            return None
        got = {cell_texts(r)[0]: cell_texts(r)[2] for r in range(t.nRows)}
        return got if "-" not in got.values() else None
    def displays_started():
        with open(out_path, errors="replace") as f:
            return "starting 2 display controllers" in f.read()
    poll("two display controllers (the display subsystem must be part of the station)",
         displays_started)
    listed = poll("three rows with counts", counts)
    if listed != {CODE: "2", "20240518": "1", "20240519": "0"}:
        fail("rows listed: %r" % (listed,))

    display = find(app, "combo box", "2. Hall") or find(app, "combo box", "Display")
    if display is None or display.name != "2. Hall":
        fail("the display chooser does not show 2. Hall")

    # Choose the code by clicking its cell, then Play.
    row = row_of(CODE)
    click(table.queryTable().getAccessibleAt(row, 0))
    play = find(app, "push button", "Play")
    poll("Play enabled", lambda: play.getState().contains(pyatspi.STATE_ENABLED))
    play.queryAction().doAction(0)

    # The right monitor shows the code's red photo; the row shows the room.
    poll("the code's photo on the right monitor", lambda: near(pixel(1920 + 640, 512), RED), 15)
    poll("the room in the code's row", lambda: cell_texts(row_of(CODE))[1] == CODE + " (Hall)")

    # Pause and resume change the status line.
    status = find(app, "label", "Display Status")
    toggle = find(app, "push button", "Pause or Resume")
    before = poll("a status line", lambda: status.description)
    toggle.queryAction().doAction(0)
    paused = poll("the status after pausing",
                  lambda: (lambda s: s if s and s != before else None)(
                      status.description))
    toggle.queryAction().doAction(0)
    poll("the status after resuming", lambda: status.description == before)
    if paused == before:
        fail("pausing left the status line as it was")

    # Demo slides: the list must hold the focus, the right monitor turns blue.
    click(table.queryTable().getAccessibleAt(row_of(CODE), 0))
    find(app, "push button", "Demo Slides").queryAction().doAction(0)
    poll("the demo slide on the right monitor", lambda: near(pixel(1920 + 640, 512), BLUE), 15)
    print("console whole-station test passed")


if __name__ == "__main__":
    main()
