#!/usr/bin/python3
"""Whole-station test of the operator console, driven over AT-SPI.

On a real X server with two monitors and a private session bus, the installed
station lists a prepared day's codes with their photo counts; choosing a code
and playing it makes the right monitor show that code's photo and the code's
row show its room; pausing and resuming the display changes its status line;
demo slides play on the right monitor.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

STATION = os.path.join(os.environ.get("KIVO_PREFIX", ""), "bin", "kivo-slideshow")
CODE = "20240517"
RED, BLUE = (220, 30, 30), (30, 40, 220)


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    out = os.environ.get("KIVO_E2E_STATION_OUT")
    if out and os.path.exists(out):
        with open(out, errors="replace") as f:
            print("--- station output (tail):\n" + "".join(f.readlines()[-40:]), file=sys.stderr)
    sys.exit(1)


def reexec_in_bus():
    """Runs the test inside dbus-run-session with a fresh 0700 runtime dir."""
    if os.environ.get("KIVO_E2E_IN_BUS"):
        return
    runtime = tempfile.mkdtemp(prefix="kivo-console-e2e-")
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


def write_jpeg(path, color, size=(640, 480)):
    subprocess.run(["convert", "-size", "%dx%d" % size, "xc:rgb(%d,%d,%d)" % color,
                    "-quality", "92", path], check=True)


def prepare_day(home):
    photos = os.path.join(home, "Photos")
    day = os.path.join(photos, time.strftime("%Y-%m-%d", time.localtime(time.time() - 3 * 3600)))
    for code, count, color in ((CODE, 2, RED), ("20240518", 1, RED), ("20240519", 0, RED)):
        folder = os.path.join(day, code)
        os.makedirs(folder)
        with open(os.path.join(folder, code + ".xml"), "w") as f:
            f.write('<?xml version="1.0"?><data><code>%s</code><name>Party %s</name>'
                    "<email>p@example.com</email></data>" % (code, code))
        for i in range(count):
            write_jpeg(os.path.join(folder, "IMG_%d.JPG" % i), color)
    demo = os.path.join(home, "Demo")
    os.makedirs(demo)
    write_jpeg(os.path.join(demo, "demo.jpg"), BLUE)
    return photos, demo


def write_prefs(config, photos, demo):
    os.makedirs(os.path.join(config, "Kivo"), exist_ok=True)
    entries = {"prefSlideShowPath": photos, "prefDemoSlidesPath": demo}
    body = "".join("<key>%s</key><string>%s</string>" % kv for kv in entries.items())
    body += "<key>prefNameOfDisplay2</key><string>Hall</string>"
    body += "<key>prefShowPhotoWithFilename</key><false/>"
    body += "<key>prefSlideShowDelay2</key><integer>1</integer>"
    with open(os.path.join(config, "Kivo", "KivoSlideShow.plist"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>%s</dict>'
                "</plist>" % body)


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


def pixel(x, y):
    out = subprocess.run(["import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y),
                          "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
    # "0,0: (220,30,30)  #DC1E1E  srgb(220,30,30)"
    values = out.splitlines()[-1].split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in values[:3])


def near(color, target, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(color, target))


def main():
    reexec_in_bus()
    if not os.access(STATION, os.X_OK):
        fail("no installed station at " + STATION)
    home = os.environ["HOME"]
    photos, demo = prepare_day(home)
    write_prefs(os.environ["XDG_CONFIG_HOME"], photos, demo)
    procs = []
    try:
        run(home, procs)
    finally:
        for proc in reversed(procs):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()


def run(home, procs):
    work = tempfile.mkdtemp(dir=os.environ["XDG_RUNTIME_DIR"])
    read_fd, write_fd = os.pipe()
    procs.append(subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "3200x1080x24", "-nolisten", "tcp",
         "-noreset"], pass_fds=(write_fd,), stderr=subprocess.DEVNULL))
    os.close(write_fd)
    display = os.read(read_fd, 64).decode().strip()
    os.environ["DISPLAY"] = ":" + display
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

    import pyatspi  # after the bus exists

    def station_app():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "kivo-slideshow":
                return app
        return None

    def find(root, role, name):
        queue = [root]
        while queue:
            node = queue.pop(0)
            try:
                children = [c for c in node if c is not None]
            except Exception:
                continue
            for child in children:
                try:
                    if child.getRoleName() == role and child.name == name:
                        return child
                except Exception:
                    continue
                queue.append(child)
        return None

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
    cell = table.queryTable().getAccessibleAt(row, 0)
    ext = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(ext.x + ext.width // 2, ext.y + ext.height // 2, "b1c")
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
    cell = table.queryTable().getAccessibleAt(row_of(CODE), 0)
    ext = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(ext.x + ext.width // 2, ext.y + ext.height // 2, "b1c")
    find(app, "push button", "Demo Slides").queryAction().doAction(0)
    poll("the demo slide on the right monitor", lambda: near(pixel(1920 + 640, 512), BLUE), 15)
    print("console whole-station test passed")


if __name__ == "__main__":
    main()
