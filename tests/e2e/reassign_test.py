#!/usr/bin/python3
# Whole-station test of the code reassignment, driven over AT-SPI and xdotool.
#
# On a real X server with a private session bus, the installed station lists a
# day's codes; the operator selects a code, opens the reassignment sheet, drags
# two thumbnails from the first grid into the second with the mouse, chooses the
# new code and confirms. The two photos are then in the new code's folder, the
# old folder keeps the rest, ~/.Corvel/CodeChanges holds exactly one record with
# the documented layout, and the console's counts follow. Then, with the record
# folder on a full tmpfs, a second reassignment moves nothing, an alert says
# why, and the station runs on.
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (cell, centre, click, counts, enter_rig, fail, find,  # noqa: E402
                         find_where, make_day, poll, running_station, station_app, write_prefs)

OLD, NEW = "20240601", "20240602"


# A thumbnail's accessible name (its path or its title) as the photo's file name.
def file_name(item_name):
    name = os.path.basename(item_name)
    return name if name.endswith(".jpg") else name + ".jpg"


def xdo(*args):
    subprocess.run(["timeout", "10", "xdotool"] + [str(a) for a in args], check=True)


# Selects the old code, opens the sheet and waits for its first grid to show
# count thumbnails; the two grids.
def open_sheet(app, table, count):
    import pyatspi
    click(cell(table, OLD))
    reassign = find(app, "push button", "Reassign")
    poll("Reassign enabled", lambda: reassign.getState().contains(pyatspi.STATE_ENABLED))
    reassign.queryAction().doAction(0)
    first = poll("the old code's grid", lambda: find(app, "list", "Photos of the old code"))
    poll("%d thumbnails" % count, lambda: first.childCount == count)
    time.sleep(0.5)  # let the sheet settle at its final geometry
    return first, find(app, "list", "Photos to move")


# Selects the first and last of the items (click, Ctrl+click) and drags them
# onto the target with the mouse.
def drag(items, target):
    (x0, y0), (x, y), (tx, ty) = centre(items[0]), centre(items[-1]), centre(target)
    select = ["mousemove", "--sync", x, y, "keydown", "ctrl", "click", 1, "keyup", "ctrl"
              ] if len(items) > 1 else ["sleep", 0.6]  # no double click
    xdo("mousemove", "--sync", x0, y0, "click", 1, *select, "mousedown", 1)
    for step in range(1, 21):
        xdo("mousemove", "--sync", x + (tx - x) * step // 20, y + (ty - y) * step // 20)
        time.sleep(0.03)
    time.sleep(0.2)
    xdo("mouseup", 1)


# Chooses the new code in the popup (the prompt entry is first) and confirms.
def confirm(app):
    import pyatspi
    popup = find(app, "combo box", "New Code") or find_where(
        app, lambda a: a.getRoleName() == "combo box" and a.description == "New Code")
    action = popup.queryAction()
    actions = [action.getName(i) for i in range(action.nActions)]
    action.doAction(actions.index("ShowMenu") if "ShowMenu" in actions else 0)
    time.sleep(0.5)
    xdo("key", "Down")
    xdo("key", "Return")
    poll("the new code chosen", lambda: popup.name == NEW)
    assign = find(app, "push button", "Re-Assign")
    poll("Re-Assign enabled", lambda: assign.getState().contains(pyatspi.STATE_ENABLED))
    assign.queryAction().doAction(0)
    poll("the confirmation", lambda: find(app, "push button", "YES - RE-ASSIGN")
         ).queryAction().doAction(0)


def main():
    enter_rig(__file__)
    day = make_day([(OLD, "Smith", [("OLD_%d.jpg" % i, (60 * i + 40, 90, 90), (320, 240))
                                    for i in range(3)]),
                    (NEW, "Jones", [("NEW_0.jpg", (40, 90, 90), (320, 240))])])
    # The bring-to-front raises the console over the sheet on a bare X server.
    write_prefs({"prefSlideShowPath": os.path.dirname(day),
                 "prefAutoBringAppToFrontAfterLaunch": False})
    with running_station():
        run(os.environ["HOME"], os.path.basename(day), day)


def run(home, day_name, day):
    import pyatspi  # after the bus exists

    app = poll("the station on the accessibility bus", station_app, 20)
    table = poll("the code table", lambda: find(app, "table", "Codes"), 10)
    listed = poll("two rows with counts", lambda: counts(table, 2))
    if listed != {OLD: "3", NEW: "1"}:
        fail("rows listed: %r" % (listed,))

    # Select the old code, open the sheet, drag two thumbnails across, confirm.
    first, second = open_sheet(app, table, 3)
    items = [first.getChildAtIndex(i) for i in range(first.childCount)]
    names = [file_name(item.name) for item in items]
    chosen = [names[0], names[2]]
    drag([items[0], items[2]], second)
    poll("two thumbnails in the second grid", lambda: second.childCount == 2)
    if first.childCount != 1:
        fail("the first grid keeps %d thumbnails" % first.childCount)
    order = [file_name(second.getChildAtIndex(i).name) for i in range(2)]
    if sorted(order) != sorted(chosen):
        fail("dragged %r, second grid shows %r" % (chosen, sorted(order)))
    confirm(app)

    # The files moved, the record is written, the console's counts follow.
    new_folder, old_folder = os.path.join(day, NEW), os.path.join(day, OLD)
    poll("the photos in the new code's folder", lambda: all(
        os.path.exists(os.path.join(new_folder, n)) for n in chosen))
    left = sorted(f for f in os.listdir(old_folder) if f.endswith(".jpg"))
    if left != [names[1]]:
        fail("the old folder keeps %r; thumbnails %r, dragged %r" % (left, names, chosen))
    records_dir = os.path.join(home, ".Corvel", "CodeChanges")
    # The record is put in place right after the last photo moved.
    poll("the change record", lambda: os.path.isdir(records_dir) and [
        n for n in os.listdir(records_dir) if n.endswith("_reassigned.xml")])
    time.sleep(0.3)
    records = os.listdir(records_dir)
    if len(records) != 1 or not re.fullmatch(r"\d{14}_reassigned\.xml", records[0]):
        fail("change records: %r" % records)
    if records[0][:4] != time.strftime("%Y"):
        fail("record not named by the calendar year: " + records[0])
    with open(os.path.join(records_dir, records[0]), "rb") as f:
        record = f.read().decode()
    expected = ('<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>\n'
                '<data type="changecode">\n'
                '\t<oldcode date="%s">\n\t\t%s\n\t</oldcode>\n'
                '\t<newcode date="%s">\n\t\t%s\n\t</newcode>\n'
                "\t<files>\n%s\t</files>\n</data>\n") % (
                    day_name, OLD, day_name, NEW,
                    "".join("\t\t<filename>%s</filename>\n" % n for n in order))
    if record != expected:
        fail("record differs:\n%s\nexpected:\n%s" % (record, expected))
    after = {OLD: "1", NEW: "3"}
    poll("the counts after the reassignment", lambda: counts(table, 2) == after, 15)

    # The record folder full: nothing moves, an alert says why, the station runs on.
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", records_dir], check=True)
    try:
        subprocess.run(["dd", "if=/dev/zero", "of=" + os.path.join(records_dir, "fill"), "bs=4k"],
                       stderr=subprocess.DEVNULL)
        first, second = open_sheet(app, table, 1)
        drag([first.getChildAtIndex(0)], second)
        poll("the photo in the second grid", lambda: second.childCount == 1)
        confirm(app)
        poll("the alert", lambda: find_where(app, lambda a: a.name == "NOTHING RE-ASSIGNED !!"))
        poll("its reason", lambda: find_where(app, lambda a: "No space left on device" in a.name))
        find(app, "push button", "OK").queryAction().doAction(0)
        if os.listdir(records_dir) != ["fill"] or names[1] not in os.listdir(old_folder):
            fail("records %r, old folder %r" % (os.listdir(records_dir), os.listdir(old_folder)))
        poll("the sheet open", lambda: find(app, "push button", "Cancel")).queryAction().doAction(0)
        poll("the counts unchanged", lambda: counts(table, 2) == after, 15)
    finally:
        subprocess.run(["umount", "-l", records_dir])
    print("reassignment whole-station test passed: %r, record %s" % (after, records[0]))


if __name__ == "__main__":
    main()
