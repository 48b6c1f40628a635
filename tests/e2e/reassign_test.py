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
import shutil
import subprocess
import sys
import tempfile
import time

STATION = os.path.join(os.environ.get("KIVO_PREFIX", ""), "bin", "kivo-slideshow")
OLD, NEW = "20240601", "20240602"


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    out = os.environ.get("KIVO_E2E_STATION_OUT")
    if out and os.path.exists(out):
        with open(out, errors="replace") as f:
            lines = f.readlines()
        print("--- station output (reassignment lines):\n" + "".join(
            line for line in lines if "ReAssign" in line or "xml" in line), file=sys.stderr)
        print("--- station output (tail):\n" + "".join(lines[-20:]), file=sys.stderr)
    sys.exit(1)


def reexec_in_bus():
    """Runs the test inside dbus-run-session with a fresh 0700 runtime dir."""
    if os.environ.get("KIVO_E2E_IN_BUS"):
        return
    runtime = tempfile.mkdtemp(prefix="kivo-reassign-e2e-")
    os.chmod(runtime, 0o700)
    env = dict(os.environ, KIVO_E2E_IN_BUS="1", XDG_RUNTIME_DIR=runtime,
               XDG_CONFIG_HOME=os.path.join(runtime, "config"),
               XDG_CACHE_HOME=os.path.join(runtime, "cache"))
    env.pop("AT_SPI_BUS_ADDRESS", None)
    try:
        rc = subprocess.call(["timeout", "150", "dbus-run-session", "--", sys.executable,
                              os.path.abspath(__file__)], env=env)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
    sys.exit(rc)


def prepare_day(home):
    photos = os.path.join(home, "Photos")
    day_name = time.strftime("%Y-%m-%d", time.localtime(time.time() - 3 * 3600))
    day = os.path.join(photos, day_name)
    for code, count, party in ((OLD, 3, "Smith"), (NEW, 1, "Jones")):
        folder = os.path.join(day, code)
        os.makedirs(folder)
        with open(os.path.join(folder, code + ".xml"), "w") as f:
            f.write('<?xml version="1.0"?><data><code>%s</code><name>%s</name>'
                    "<email>p@example.com</email></data>" % (code, party))
        for i in range(count):
            name = "%s_%d.jpg" % ("OLD" if code == OLD else "NEW", i)
            subprocess.run(["convert", "-size", "320x240", "xc:rgb(%d,90,90)" % (60 * i + 40),
                            os.path.join(folder, name)], check=True)
    return photos, day_name, day


def write_prefs(config, photos):
    os.makedirs(os.path.join(config, "Kivo"), exist_ok=True)
    with open(os.path.join(config, "Kivo", "KivoSlideShow.plist"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>'
                "<key>prefSlideShowPath</key><string>%s</string></dict></plist>" % photos)


def poll(what, predicate, timeout=10.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            value = predicate()
        except Exception:  # the accessibility tree changes under us
            value = None
        if value:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what)


def file_name(item_name):
    """A thumbnail's accessible name (its path or its title) as the photo's file name."""
    name = os.path.basename(item_name)
    return name if name.endswith(".jpg") else name + ".jpg"


def xdo(*args):
    subprocess.run(["timeout", "10", "xdotool"] + [str(a) for a in args], check=True)


def main():
    reexec_in_bus()
    if not os.access(STATION, os.X_OK):
        fail("no installed station at " + STATION)
    home = os.environ["HOME"]
    photos, day_name, day = prepare_day(home)
    write_prefs(os.environ["XDG_CONFIG_HOME"], photos)
    procs = []
    try:
        run(home, day_name, day, procs)
    finally:
        for proc in reversed(procs):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()


def start_rig(procs, work):
    read_fd, write_fd = os.pipe()
    procs.append(subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "3200x1080x24", "-nolisten", "tcp",
         "-noreset"], pass_fds=(write_fd,), stderr=subprocess.DEVNULL))
    os.close(write_fd)
    os.environ["DISPLAY"] = ":" + os.read(read_fd, 64).decode().strip()
    subprocess.run(["xrandr", "--setmonitor", "LEFT", "1920/508x1080/286+0+0", "screen"], check=True)
    subprocess.run(["xrandr", "--setmonitor", "RIGHT", "1280/339x1024/271+1920+0", "none"],
                   check=True)
    procs.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                  stderr=subprocess.DEVNULL))
    time.sleep(0.5)
    out_path = os.path.join(work, "station.out")
    os.environ["KIVO_E2E_STATION_OUT"] = out_path
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    env.pop("AT_SPI_BUS_ADDRESS", None)
    with open(out_path, "w") as out:
        procs.append(subprocess.Popen([STATION], env=env, stdout=out, stderr=subprocess.STDOUT))


def run(home, day_name, day, procs):
    start_rig(procs, tempfile.mkdtemp(dir=os.environ["XDG_RUNTIME_DIR"]))
    import pyatspi  # after the bus exists

    def station_app():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "kivo-slideshow":
                return app
        return None

    def find(root, role, name):
        return pyatspi.findDescendant(
            root, lambda a: a.getRoleName() == role and a.name == name, breadth_first=True)

    def centre(accessible):
        ext = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return ext.x + ext.width // 2, ext.y + ext.height // 2

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
    x, y = centre(table.queryTable().getAccessibleAt(row_of(OLD), 0))
    pyatspi.Registry.generateMouseEvent(x, y, "b1c")
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
    popup = find(app, "combo box", "New Code") or pyatspi.findDescendant(
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
