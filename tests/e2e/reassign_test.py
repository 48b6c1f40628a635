#!/usr/bin/python3
"""Whole-station test of the code reassignment, driven over AT-SPI and xdotool.

On a real X server with a private session bus, the installed station lists a
day's codes; the operator selects a code, opens the reassignment sheet, drags
two thumbnails from the first grid into the second with the mouse, chooses the
new code and confirms. The two photos are then in the new code's folder, the
old folder keeps the rest, ~/.Corvel/CodeChanges holds exactly one record with
the documented layout, and the console's counts follow.
"""
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (add_code_folder, business_day_name, centre, click, fail,  # noqa: E402
                         find, find_where, poll, reexec_in_bus, require_station,
                         running_station, set_failure_report, station_app, write_jpeg,
                         write_prefs)

OLD, NEW = "20240601", "20240602"


def failure_report(lines):
    return ("--- station output (reassignment lines):\n" + "".join(
        line for line in lines if "ReAssign" in line or "xml" in line) +
        "\n--- station output (tail):\n" + "".join(lines[-20:]))


def prepare_day(home):
    photos = os.path.join(home, "Photos")
    day_name = business_day_name()
    day = os.path.join(photos, day_name)
    for code, count, party in ((OLD, 3, "Smith"), (NEW, 1, "Jones")):
        folder = add_code_folder(day, code, party)
        for i in range(count):
            name = "%s_%d.jpg" % ("OLD" if code == OLD else "NEW", i)
            write_jpeg(os.path.join(folder, name), (60 * i + 40, 90, 90), (320, 240))
    return photos, day_name, day


def file_name(item_name):
    """A thumbnail's accessible name (its path or its title) as the photo's file name."""
    name = os.path.basename(item_name)
    return name if name.endswith(".jpg") else name + ".jpg"


def xdo(*args):
    subprocess.run(["timeout", "10", "xdotool"] + [str(a) for a in args], check=True)


def main():
    reexec_in_bus(__file__, "reassign")
    set_failure_report(failure_report)
    require_station()
    home = os.environ["HOME"]
    photos, day_name, day = prepare_day(home)
    write_prefs(os.environ["XDG_CONFIG_HOME"], {"prefSlideShowPath": photos})
    with running_station():
        run(home, day_name, day)


def run(home, day_name, day):
    import pyatspi  # after the bus exists

    app = poll("the station on the accessibility bus", station_app, 20)
    table = poll("the code table", lambda: find(app, "table", "Codes"), 10)

    def counts():
        t = table.queryTable()
        got = {t.getAccessibleAt(r, 0).name: t.getAccessibleAt(r, 2).name for r in range(t.nRows)}
        return got if len(got) == 2 and "-" not in got.values() else None

    def row_of(code):
        t = table.queryTable()
        return next(r for r in range(t.nRows) if t.getAccessibleAt(r, 0).name == code)

    listed = poll("two rows with counts", counts)
    if listed != {OLD: "3", NEW: "1"}:
        fail("rows listed: %r" % (listed,))

    # Select the old code; its photos fill the console's browser; open the sheet.
    click(table.queryTable().getAccessibleAt(row_of(OLD), 0))
    reassign = find(app, "push button", "Reassign")
    poll("Reassign enabled", lambda: reassign.getState().contains(pyatspi.STATE_ENABLED))
    reassign.queryAction().doAction(0)

    first = poll("the old code's grid", lambda: find(app, "list", "Photos of the old code"))
    second = find(app, "list", "Photos to move")
    poll("three thumbnails", lambda: first.childCount == 3)
    time.sleep(0.5)  # let the sheet settle at its final geometry
    items = [first.getChildAtIndex(i) for i in range(first.childCount)]
    names = [file_name(item.name) for item in items]
    chosen = [names[0], names[2]]

    # Select two thumbnails (click, Ctrl+click) and drag them across.
    (x0, y0), (x2, y2) = centre(items[0]), centre(items[2])
    tx, ty = centre(second)
    xdo("mousemove", "--sync", x0, y0)
    xdo("click", 1)
    xdo("mousemove", "--sync", x2, y2)
    xdo("keydown", "ctrl")
    xdo("click", 1)
    xdo("keyup", "ctrl")
    xdo("mousedown", 1)
    for step in range(1, 21):
        xdo("mousemove", "--sync", x2 + (tx - x2) * step // 20, y2 + (ty - y2) * step // 20)
        time.sleep(0.03)
    time.sleep(0.2)
    xdo("mouseup", 1)
    poll("two thumbnails in the second grid", lambda: second.childCount == 2)
    if first.childCount != 1:
        fail("the first grid keeps %d thumbnails" % first.childCount)
    moved = sorted(file_name(second.getChildAtIndex(i).name) for i in range(2))
    if moved != sorted(chosen):
        fail("dragged %r, second grid shows %r" % (chosen, moved))
    order = [file_name(second.getChildAtIndex(i).name) for i in range(2)]

    # Choose the new code in the popup (the prompt entry is first), confirm.
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
    yes = poll("the confirmation", lambda: find(app, "push button", "YES - RE-ASSIGN"))
    yes.queryAction().doAction(0)

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
    after = poll("the counts after the reassignment",
                 lambda: (lambda c: c if c == {OLD: "1", NEW: "3"} else None)(counts()), 15)
    print("reassignment whole-station test passed: %r, record %s" % (after, records[0]))


if __name__ == "__main__":
    main()
