# Shared rig of the whole-station Python tests: not a test itself, the
# *_test.py scripts import it. rig.sh runs each test inside a private session
# bus with a real X server (LEFT 1920x1080 and RIGHT 1280x1024) and the AT-SPI
# bus; here the test prepares a day's code folders and the stored
# preferences, starts the installed station and finds its widgets over AT-SPI.
import contextlib
import ctypes
import os
import plistlib
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
STATION = os.path.join(os.environ.get("KIVO_PREFIX", ""), "bin", "kivo-slideshow")

def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    out = os.environ.get("KIVO_E2E_STATION_OUT")
    if out and os.path.exists(out):
        with open(out, errors="replace") as f:
            print("--- station output (tail):\n" + "".join(f.readlines()[-40:]), file=sys.stderr)
    sys.exit(1)


# Runs the test script through rig.sh unless it runs there already.
def enter_rig(script):
    if not os.environ.get("KIVO_E2E_IN_BUS"):
        os.execv("/bin/bash", ["bash", os.path.join(HERE, "rig.sh"), os.path.abspath(script)])
    if not os.access(STATION, os.X_OK):
        fail("no installed station at " + STATION)


# The predicate's first true value within timeout, else None.
def wait(predicate, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            value = predicate()
        except Exception:  # the accessibility tree changes under us
            value = None
        if value:
            return value
        time.sleep(0.1)
    return None


def poll(what, predicate, timeout=10.0):
    return wait(predicate, timeout) or fail("timed out waiting for " + what)


# The day's folder name: the business day starts three hours after midnight.
def business_day_name():
    return time.strftime("%Y-%m-%d", time.localtime(time.time() - 3 * 3600))


# Makes ~/Photos/<business day>/<code> with the code's customer record and its
# photos for each (code, party, [(file name, rgb, size)]); returns the day folder.
def make_day(codes):
    day = os.path.join(os.environ["HOME"], "Photos", business_day_name())
    for code, party, photos in codes:
        folder = os.path.join(day, code)
        os.makedirs(folder)
        with open(os.path.join(folder, code + ".xml"), "w") as f:
            f.write('<?xml version="1.0"?><data><code>%s</code><name>%s</name>'
                    "<email>p@example.com</email></data>" % (code, party))
        for name, color, size in photos:
            subprocess.run(["convert", "-size", "%dx%d" % size, "xc:rgb(%d,%d,%d)" % color,
                            "-quality", "92", os.path.join(folder, name)], check=True)
    return day


# Stores the preferences (str, bool or int values) as the station's plist.
def write_prefs(entries):
    config = os.path.join(os.environ["XDG_CONFIG_HOME"], "Kivo")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "KivoSlideShow.plist"), "wb") as f:
        plistlib.dump(entries, f)


# The station, for the length of the with-block; yields the path of its output.
@contextlib.contextmanager
def running_station():
    out_path = os.path.join(os.environ["KIVO_E2E_WORK"], "station.out")
    os.environ["KIVO_E2E_STATION_OUT"] = out_path
    with open(out_path, "w") as out:
        proc = subprocess.Popen([STATION], stdout=out, stderr=subprocess.STDOUT)
    try:
        yield out_path
    finally:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()


# The station's application on the accessibility bus, or None.
def station_app():
    import pyatspi  # only once the bus exists
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "kivo-slideshow":
            return app
    return None


# The shallowest descendant of root for which predicate holds, or None.
def find_where(root, predicate):
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


# {code: text of the given column} over the rows of the code table.
def column(table, index):
    t = table.queryTable()
    return {t.getAccessibleAt(r, 0).name: t.getAccessibleAt(r, index).name
            for r in range(t.nRows)}


# The photo counts by code once the table lists `rows` codes, all counted.
def counts(table, rows):
    got = column(table, 2)
    ok = table.queryTable().nRows == len(got) == rows and "-" not in got.values()
    return got if ok else None


# The cell of the code's row in the given column.
def cell(table, code, index=0):
    t = table.queryTable()
    return next(t.getAccessibleAt(r, index) for r in range(t.nRows)
                if t.getAccessibleAt(r, 0).name == code)


def centre(accessible):
    import pyatspi
    ext = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return ext.x + ext.width // 2, ext.y + ext.height // 2


def click(accessible):
    import pyatspi
    x, y = centre(accessible)
    pyatspi.Registry.generateMouseEvent(x, y, "b1c")


# (r, g, b) of the screen at x, y: one pixel read straight from the X server,
# fast enough to time what the screen shows.
def pixel(x, y):
    global _x11
    if "_x11" not in globals():
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = x11.XGetImage.restype = ctypes.c_void_p
        x11.XDefaultRootWindow.restype = x11.XGetPixel.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [
            ctypes.c_uint] * 2 + [ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        display = x11.XOpenDisplay(None)
        _x11 = (x11, display, x11.XDefaultRootWindow(display))
    x11, display, root = _x11
    image = x11.XGetImage(display, root, x, y, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
    value = x11.XGetPixel(image, 0, 0)
    x11.XDestroyImage(image)
    return value >> 16 & 255, value >> 8 & 255, value & 255


def near(color, target, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(color, target))


# Types the code as a barcode scanner does into the display window on the right monitor.
def scan(code):
    xdo = ["timeout", "10", "xdotool"]
    found = subprocess.run(xdo + ["search", "--sync", "--onlyvisible", "--class", "kivo-slideshow"],
                           capture_output=True, text=True).stdout.split()
    for w in found:
        geometry = subprocess.run(xdo + ["getwindowgeometry", "--shell", w],
                                  capture_output=True, text=True).stdout
        g = dict(line.split("=") for line in geometry.split())
        if int(g["X"]) >= 1920 and int(g["WIDTH"]) >= 1000:
            # One command each: type takes every argument after it as text.
            subprocess.run(xdo + ["windowfocus", "--sync", w])
            subprocess.run(xdo + ["type", "--delay", "20", code])
            return subprocess.run(xdo + ["key", "Return"])
    fail("no display window on the right monitor")


# The flaky share (flakyfs.py) serving root at mount for the length of the
# with-block; yields the function that sends it a command ("latency 20", "block").
@contextlib.contextmanager
def flaky_share(root, mount):
    fifo = os.path.join(os.environ["KIVO_E2E_WORK"], "share.fifo")
    os.mkfifo(fifo)
    proc = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "flakyfs.py"), root, mount,
                             fifo])

    def command(text):
        with open(fifo, "w") as f:
            f.write(text + "\n")
    try:
        poll("the share mounted", lambda: os.path.ismount(mount))
        yield command
    finally:  # a call still blocked on the share would keep its process from ending
        command("release")
        command("errors off")
        subprocess.run(["fusermount3", "-u", "-z", mount])
        proc.wait(5)


# (exit status, output, seconds) of `kivo-slideshow --status` with the arguments.
def station_status(*args):
    begun = time.monotonic()
    done = subprocess.run([STATION, "--status", *args], capture_output=True, text=True, timeout=20)
    return done.returncode, done.stdout, time.monotonic() - begun


def p95_ms(calls):
    times = sorted(c[2] for c in calls)
    return 1000 * times[max(0, int(len(times) * 0.95) - 1)] if times else 0


# Measures the station's longest main-thread stall from outside: the gaps
# between the WATCHDOG=1 pings it sends to our NOTIFY_SOCKET beyond their
# interval or, while it sends none, the round trips of a call its main thread
# answers. Made before the station starts.
class StallMeter:
    def __init__(self):
        import socket
        import threading
        path = os.path.join(os.environ["KIVO_E2E_WORK"], "notify.socket")
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(path)
        os.environ.update(NOTIFY_SOCKET=path, WATCHDOG_USEC="200000")
        self.pings, self.heard = [], []  # ping times; every message
        threading.Thread(target=self._listen, daemon=True).start()

    def _listen(self):
        while True:
            message = self.sock.recv(4096)
            self.heard.append(message.decode(errors="replace"))
            if b"WATCHDOG=1" in message:
                self.pings.append(time.monotonic())

    # The longest stall in ms over the given seconds, calling probe() every
    # 50 ms: from the pings when the station sends them, else from the calls.
    def longest(self, seconds, probe):
        start = time.monotonic()
        worst = 0.0
        while time.monotonic() - start < seconds:
            begun = time.monotonic()
            with contextlib.suppress(Exception):  # a timed-out call counts as its time
                probe()
            worst = max(worst, time.monotonic() - begun)
            time.sleep(0.05)
        pings = self.pings + [time.monotonic()]  # a stall still running counts too
        gaps = [(b - a, b) for a, b in zip(pings, pings[1:])]
        if len(gaps) > 10:
            interval = sorted(gaps)[len(gaps) // 2][0]
            worst = max(gap - interval for gap, end in gaps if end > start)
        return worst * 1000
