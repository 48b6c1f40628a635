"""Shared rig of the whole-station Python tests.

Runs a test inside a private session bus, prepares a day's code folders and
the stored preferences, starts a real X server with two monitors, the AT-SPI
bus and the installed station, and finds the station's widgets over AT-SPI.
Not a test itself: the *_test.py scripts import it.
"""
import contextlib
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

STATION = os.path.join(os.environ.get("KIVO_PREFIX", ""), "bin", "kivo-slideshow")

_failure_report = None


def set_failure_report(report):
    """report(lines of the station's output) -> text printed when the test fails."""
    global _failure_report
    _failure_report = report


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    out = os.environ.get("KIVO_E2E_STATION_OUT")
    if out and os.path.exists(out):
        with open(out, errors="replace") as f:
            lines = f.readlines()
        if _failure_report:
            print(_failure_report(lines), file=sys.stderr)
        else:
            print("--- station output (tail):\n" + "".join(lines[-40:]), file=sys.stderr)
    sys.exit(1)


def reexec_in_bus(script, name):
    """Runs the script inside dbus-run-session with a fresh 0700 runtime dir."""
    if os.environ.get("KIVO_E2E_IN_BUS"):
        return
    runtime = tempfile.mkdtemp(prefix="kivo-%s-e2e-" % name)
    os.chmod(runtime, 0o700)
    env = dict(os.environ, KIVO_E2E_IN_BUS="1", XDG_RUNTIME_DIR=runtime,
               XDG_CONFIG_HOME=os.path.join(runtime, "config"),
               XDG_CACHE_HOME=os.path.join(runtime, "cache"))
    env.pop("AT_SPI_BUS_ADDRESS", None)
    try:
        rc = subprocess.call(["timeout", "150", "dbus-run-session", "--", sys.executable,
                              os.path.abspath(script)], env=env)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
    sys.exit(rc)


def require_station():
    if not os.access(STATION, os.X_OK):
        fail("no installed station at " + STATION)


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


def write_jpeg(path, color, size=(640, 480)):
    subprocess.run(["convert", "-size", "%dx%d" % size, "xc:rgb(%d,%d,%d)" % color,
                    "-quality", "92", path], check=True)


def business_day_name():
    """The day's folder name: the business day starts three hours after midnight."""
    return time.strftime("%Y-%m-%d", time.localtime(time.time() - 3 * 3600))


def add_code_folder(day, code, party):
    """Creates day/code with the code's customer record; returns the folder."""
    folder = os.path.join(day, code)
    os.makedirs(folder)
    with open(os.path.join(folder, code + ".xml"), "w") as f:
        f.write('<?xml version="1.0"?><data><code>%s</code><name>%s</name>'
                "<email>p@example.com</email></data>" % (code, party))
    return folder


def write_prefs(config, entries):
    """Stores the preferences (str, bool or int values, in order) as the station's plist."""
    def value(v):
        if isinstance(v, bool):
            return "<true/>" if v else "<false/>"
        if isinstance(v, int):
            return "<integer>%d</integer>" % v
        return "<string>%s</string>" % v
    body = "".join("<key>%s</key>%s" % (k, value(v)) for k, v in entries.items())
    os.makedirs(os.path.join(config, "Kivo"), exist_ok=True)
    with open(os.path.join(config, "Kivo", "KivoSlideShow.plist"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>%s</dict>'
                "</plist>" % body)


def _answers(display, seconds=5.0):
    """True once the X server on display accepts a client."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        if subprocess.run(["xrandr", "--query"], env=dict(os.environ, DISPLAY=display),
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
            return True
        time.sleep(0.1)
    return False


def _start_x(procs):
    """Starts Xvfb on a display number of its own.

    Tests run side by side: letting several servers probe for the first free
    number at once can leave two of them on one number, so each test picks a
    random one and moves on when it is taken.
    """
    for _ in range(20):
        number = random.randrange(100, 900)
        read_fd, write_fd = os.pipe()
        proc = subprocess.Popen(
            ["Xvfb", ":%d" % number, "-displayfd", str(write_fd), "-screen", "0", "3200x1080x24",
             "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
        os.close(write_fd)
        ready = os.read(read_fd, 64).decode().strip()  # empty when the server gave up
        os.close(read_fd)
        if ready and _answers(":" + ready):
            procs.append(proc)
            os.environ["DISPLAY"] = ":" + ready
            return
        proc.kill()
        proc.wait()
    fail("Xvfb did not start")


def _start(procs, work):
    _start_x(procs)
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
    return out_path


@contextlib.contextmanager
def running_station():
    """X server (LEFT 1920x1080, RIGHT 1280x1024), AT-SPI bus and the station.

    Yields the path of the station's output; ends all three on the way out.
    """
    procs = []
    try:
        yield _start(procs, tempfile.mkdtemp(dir=os.environ["XDG_RUNTIME_DIR"]))
    finally:
        for proc in reversed(procs):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()


def station_app():
    """The station's application on the accessibility bus, or None."""
    import pyatspi  # only once the bus exists
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "kivo-slideshow":
            return app
    return None


def find_where(root, predicate):
    """The shallowest descendant of root for which predicate holds, or None."""
    queue = [root]
    while queue:
        node = queue.pop(0)
        try:
            children = [c for c in node if c is not None]
        except Exception:
            continue
        for child in children:
            try:
                if predicate(child):
                    return child
            except Exception:
                continue
            queue.append(child)
    return None


def find(root, role, name):
    return find_where(root, lambda a: a.getRoleName() == role and a.name == name)


def centre(accessible):
    import pyatspi
    ext = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return ext.x + ext.width // 2, ext.y + ext.height // 2


def click(accessible):
    import pyatspi
    x, y = centre(accessible)
    pyatspi.Registry.generateMouseEvent(x, y, "b1c")
