#!/usr/bin/python3
"""The driver of venue_day.sh; runs inside the whole-station rig (tests/e2e/rig.sh).

    venue_day.py --minutes N      the soak run
    venue_day.py --probe FILE     (internal) the AT-SPI stall probe

Makes today's 50 codes, the overlays and a demo folder, starts the installed
station with its own NOTIFY_SOCKET (WATCHDOG_USEC=200000), and for the run's
length drives it from three threads and the main one:

  scans      100 a minute over the 50 codes, typed as a barcode scanner types
             into the customer display's window (xdotool)
  arrivals   a new photo in a random code every 10 s
  sampler    every 30 s: resident memory (median and highest of one-second
             readings), open file handles and threads of the station (/proc), the log folder's bytes, the longest main-thread
             stall of the last 30 s, and whether the station still runs
  main       the console over AT-SPI: Refresh every minute, and reassignments
             (one photo of the fullest code dragged to the sheet's second grid,
             the first offered code chosen, confirmed), 50 per 20 minutes

The stall is measured twice from outside: the gaps between the station's
WATCHDOG=1 pings beyond their interval (when it sends them), and the longest
round trip of an AT-SPI call that its main thread answers (a probe process
calling every 50 ms). Keyboard and mouse sections hold one lock, so scans
never type into the sheet's popup.
"""
import argparse
import json
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from station_rig import (STATION, StallMeter, business_day_name, cell, centre, click,  # noqa: E402
                         find, find_where, station_app, wait, write_prefs)

CODES = ["%d" % (5001 + i) for i in range(50)]
SAMPLE_S = 30
STATUS_EVERY_S = 10  # a --status call every 10 s: 120 in the twenty minutes
HOME = os.environ.get("HOME", "")
WORK = os.environ.get("KIVO_E2E_WORK", "")


def xdo(*args):
    return subprocess.run(["timeout", "10", "xdotool"] + [str(a) for a in args],
                          capture_output=True, text=True)


# --- the day's photos ---------------------------------------------------------------

def convert(args, path):
    subprocess.run(["convert"] + args + [path], check=True)


def make_store():
    base = os.path.join(HOME, "base")
    os.makedirs(base)
    shots = []
    for i, color in enumerate(["#806040", "#406080", "#608040", "#a05050", "#5050a0", "#909090"]):
        shots.append(os.path.join(base, "shot%d.jpg" % i))
        convert(["-size", "3000x2000", "xc:" + color, "-attenuate", "0.3", "+noise", "Gaussian",
                 "-quality", "90"], shots[-1])
    big = os.path.join(base, "photo24mp.jpg")
    shutil.copy(os.environ["KIVO_SOAK_PHOTO24"], big)
    settled = time.time() - 600
    for path in shots + [big]:
        os.utime(path, (settled, settled))
    day = os.path.join(HOME, "Photos", business_day_name())
    for i, code in enumerate(CODES):
        folder = os.path.join(day, code)
        os.makedirs(folder)
        with open(os.path.join(folder, code + ".xml"), "w") as f:
            f.write('<?xml version="1.0"?><data><code>%s</code><name>Party %s</name>'
                    "<email>p@example.com</email></data>" % (code, code))
        for j in range(10 + (i * 13) % 31):  # 10 to 40 photos
            source = big if j < 2 and i % 5 == 0 else shots[(i + j) % len(shots)]
            os.link(source, os.path.join(folder, "IMG_%s_%04d.jpg" % (code, j)))
    demo = os.path.join(HOME, "Demo")
    os.makedirs(demo)
    for j, source in enumerate(shots[:4] + [big]):
        os.link(source, os.path.join(demo, "demo%d.jpg" % j))
    desktop = os.path.join(HOME, "Desktop")
    os.makedirs(desktop)
    for name, size, hole in (("LS", "1800x1200", "900x600+450+300"),
                             ("PRT", "1200x1800", "600x900+300+450")):
        convert(["-size", size, "xc:yellow", "-alpha", "set", "-region", hole, "-alpha",
                 "transparent"], os.path.join(desktop, "Slideshow_%s.png" % name))
    write_prefs({"prefRedirectNSLogToFile": True,
                 "prefSlideShowPath": os.path.dirname(day), "prefSlideShowPath1": demo,
                 "prefSlideShowDelay1": 0, "prefSlideShowDelay2": 0})
    return day, shots


# --- the station's figures ----------------------------------------------------------

def proc_figures(pid):
    status = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            status[key] = value.split()
    return (int(status["VmRSS"][0]) / 1024.0, len(os.listdir("/proc/%d/fd" % pid)),
            int(status["Threads"][0]), status["State"][0])


def log_bytes():
    folder = os.path.join(os.environ["XDG_STATE_HOME"], "Kivo", "Logs")
    return sum(e.stat().st_size for e in os.scandir(folder) if e.is_file())


def probe_max(path, since):
    worst = None
    try:
        with open(path) as f:
            for line in f:
                stamp, ms = line.split()
                if float(stamp) >= since:
                    worst = max(worst or 0.0, float(ms))
    except OSError:
        pass
    return worst


def watchdog_stall(pings, since, now):
    pings = [p for p in pings]  # a copy: the listener appends meanwhile
    if len(pings) < 10:
        return None
    gaps = [b - a for a, b in zip(pings, pings[1:])]
    interval = statistics.median(gaps)
    window = [b - a for a, b in zip(pings, pings[1:] + [now]) if b >= since]
    return max([0.0] + [(g - interval) * 1000 for g in window])


class Run:
    def __init__(self, minutes, day, shots):
        self.seconds = minutes * 60
        self.day, self.shots = day, shots
        self.scans_wanted = int(round(100 * minutes))
        self.reassigns_wanted = max(1, int(round(50 * minutes / 20)))
        self.lock = threading.Lock()
        self.stop = threading.Event()
        self.count = {"scans": 0, "reassigned": 0, "reassign failed": 0, "arrivals": 0,
                      "refreshes": 0}
        self.rows = []
        self.died = None
        self.status_ms = []
        self.degraded = []

    # Scans at an even pace into the display window on the right monitor.
    def scans(self, window):
        interval = self.seconds / self.scans_wanted
        for k in range(self.scans_wanted):
            if self.stop.wait(max(0.0, self.start + k * interval - time.monotonic())):
                return
            with self.lock:
                xdo("windowfocus", "--sync", window)  # one command each: type takes
                xdo("type", "--delay", "20", random.choice(CODES))  # every argument as text
                xdo("key", "Return")
            self.count["scans"] += 1

    def arrivals(self):
        n = 0
        while not self.stop.wait(10):
            code = random.choice(CODES)
            tmp = os.path.join(self.day, code, ".NEW_%05d.tmp" % n)
            shutil.copyfile(random.choice(self.shots), tmp)
            os.rename(tmp, os.path.join(self.day, code, "NEW_%05d.jpg" % n))
            n += 1
            self.count["arrivals"] = n

    # Asks the station how it is, as a monitoring system would: the time of
    # each answer and every reason it gave for being degraded.
    def status_calls(self):
        while not self.stop.wait(STATUS_EVERY_S):
            began = time.monotonic()
            answer = subprocess.run([STATION, "--status", "--json"], capture_output=True,
                                    text=True)
            self.status_ms.append((time.monotonic() - began) * 1000)
            if answer.returncode != 0:
                try:
                    reasons = json.loads(answer.stdout)["reasons"]
                except (ValueError, KeyError):
                    reasons = ["exit status %d" % answer.returncode]
                self.degraded.append("%.0f s: %s" % (began - self.start, "; ".join(reasons)))

    def sampler(self, proc, meter, probe_file):
        while True:
            since = time.monotonic()
            # Resident memory once a second: the displays' frames in flight
            # make single readings swing by a few frames; the row takes the
            # median and the highest of its window.
            readings = []
            while not self.stop.wait(max(0.0, min(1.0, since + SAMPLE_S - time.monotonic()))):
                if time.monotonic() >= since + SAMPLE_S or proc.poll() is not None:
                    break
                readings.append(proc_figures(proc.pid)[0])
            stopped = self.stop.is_set()
            now = time.monotonic()
            if proc.poll() is not None:
                self.died = self.died or "the station ended with status %s at %d s" % (
                    proc.returncode, now - self.start)
                return
            rss, fds, threads, state = proc_figures(proc.pid)
            readings.append(rss)
            row = {"t": now - self.start, "rss": statistics.median(readings),
                   "rss_max": max(readings), "fds": fds, "threads": threads,
                   "log": log_bytes(), "wd": watchdog_stall(meter.pings, since, now),
                   "probe": probe_max(probe_file, time.time() - (now - since)), "state": state}
            row.update(self.count)
            self.rows.append(row)
            print_row(row)
            if stopped:
                return

    def reassign(self, app, table):
        import pyatspi
        old = max(CODES, key=lambda c: len(os.listdir(os.path.join(self.day, c))))
        # Selected over AT-SPI: the row may be scrolled out of view for a click.
        t = table.queryTable()
        t.addRowSelection(next(r for r in range(t.nRows) if t.getAccessibleAt(r, 0).name == old))
        button = find(app, "push button", "Reassign")
        if not wait(lambda: button.getState().contains(pyatspi.STATE_ENABLED)):
            return self.cancel(app, "Reassign stayed disabled for " + old)
        # A window that opens takes the keyboard: one opening while a scan is
        # typed would get the scan's Return. Scans wait until it is up.
        with self.lock:
            button.queryAction().doAction(0)
            first = wait(lambda: find(app, "list", "Photos of the old code"))
        second = first and find(app, "list", "Photos to move")
        if not second or not wait(lambda: first.childCount > 0):
            return self.cancel(app, "the sheet showed no thumbnails of " + old)
        time.sleep(0.5)  # the sheet settles at its final geometry
        (x, y), (tx, ty) = centre(first.getChildAtIndex(0)), centre(second)
        with self.lock:
            xdo("mousemove", "--sync", x, y, "click", 1, "mousedown", 1)
            for step in range(1, 21):
                xdo("mousemove", "--sync", x + (tx - x) * step // 20, y + (ty - y) * step // 20)
                time.sleep(0.03)
            time.sleep(0.2)
            xdo("mouseup", 1)
        if not wait(lambda: second.childCount == 1):
            return self.cancel(app, "the dragged thumbnail did not arrive")
        popup = find(app, "combo box", "New Code") or find_where(
            app, lambda a: a.getRoleName() == "combo box" and a.description == "New Code")
        if popup is None:
            return self.cancel(app, "no New Code popup")
        action = popup.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        with self.lock:
            action.doAction(names.index("ShowMenu") if "ShowMenu" in names else 0)
            time.sleep(0.5)
            xdo("key", "Down")
            xdo("key", "Return")
        if not wait(lambda: popup.name in CODES):
            return self.cancel(app, "no new code chosen (%r)" % popup.name)
        assign = find(app, "push button", "Re-Assign")
        if not wait(lambda: assign.getState().contains(pyatspi.STATE_ENABLED)):
            return self.cancel(app, "Re-Assign stayed disabled")
        with self.lock:
            assign.queryAction().doAction(0)
            yes = wait(lambda: find(app, "push button", "YES - RE-ASSIGN"), 30)
            if yes:
                yes.queryAction().doAction(0)
        if not yes:
            return self.cancel(app, "no confirmation")
        if not wait(lambda: find(app, "list", "Photos of the old code") is None, 20):
            return self.cancel(app, "the sheet stayed open after the confirmation")
        return True

    def cancel(self, app, why):
        up = find_where(app, lambda a: a.getRoleName() == "alert")
        print("reassignment failed at %.0f s: %s%s" % (
            time.monotonic() - self.start, why, " (alert up: %r)" % up.name if up else ""),
            flush=True)
        # An alert of the sheet first: the sheet's buttons wait while it is up.
        for name in ("CANCEL", "OK", "Cancel"):
            button = find(app, "push button", name)
            if button is not None:
                button.queryAction().doAction(0)
                time.sleep(0.5)
        return False

    def console(self, app, table):
        refresh = find(app, "push button", "Refresh").queryAction()
        every = self.seconds / self.reassigns_wanted
        done_refresh, done_reassign = 0, 0
        while not self.stop.is_set():
            elapsed = time.monotonic() - self.start
            if elapsed >= self.seconds:
                return
            if elapsed >= 60 * (done_refresh + 1):
                try:
                    refresh.doAction(0)
                except Exception as e:  # a station that died is the sampler's to report
                    print("refresh failed at %.0f s: %r" % (elapsed, e), flush=True)
                done_refresh += 1
                self.count["refreshes"] = done_refresh
            elif elapsed >= every * (done_reassign + 0.5) and done_reassign < self.reassigns_wanted:
                done_reassign += 1
                try:
                    ok = self.reassign(app, table)
                except Exception as e:  # the accessibility tree changed under us
                    ok = self.cancel(app, repr(e))
                self.count["reassigned" if ok else "reassign failed"] += 1
            time.sleep(0.2)


COLUMNS = [("t", "t(s)", "%5.0f"), ("rss", "rss(MB)", "%7.1f"), ("rss_max", "rss-max", "%7.1f"),
           ("fds", "fds", "%4d"),
           ("threads", "threads", "%7d"), ("log", "log(KB)", "%8.0f"), ("wd", "wd-stall(ms)", "%12s"),
           ("probe", "probe(ms)", "%9s"), ("scans", "scans", "%5d"),
           ("reassigned", "reassigned", "%10d"), ("arrivals", "arrivals", "%8d"),
           ("refreshes", "refreshes", "%9d")]


def print_row(row):
    cells = []
    for key, title, fmt in COLUMNS:
        value = row[key]
        if key == "log":
            value /= 1024.0
        if key in ("wd", "probe"):
            value = "-" if value is None else "%.0f" % value
        cells.append((fmt % value).rjust(len(title)))
    print(" ".join(cells), flush=True)


def verdict(run):
    rows = run.rows
    checks = []
    if not rows:
        return [("samples", False, "no sample taken")]
    tenth = run.seconds / 10
    base = [r for r in rows if tenth <= r["t"] <= 2 * tenth + SAMPLE_S] or rows[:1]
    tail = rows[-3:]

    def median(rs, key):
        return statistics.median(r[key] for r in rs)
    growth = (median(tail, "rss") - median(base, "rss")) / median(base, "rss") * 100
    checks.append(("memory", growth < 5, "resident %.1f -> %.1f MB (%+.1f %% after the first "
                                         "tenth)" % (median(base, "rss"), median(tail, "rss"),
                                                     growth)))
    for key, name in (("fds", "file handles"), ("threads", "threads")):
        b, e = median(base, key), median(tail, key)
        checks.append((name, e - b <= 4, "%s %g -> %g (max %d)" % (name, b, e,
                                                                   max(r[key] for r in rows))))
    top = max(r["log"] for r in rows)
    checks.append(("log", top < 100 * 1024 * 1024, "log folder %.1f MB" % (top / 1048576.0)))
    wd = [r["wd"] for r in rows if r["wd"] is not None]
    probe = [r["probe"] for r in rows if r["probe"] is not None]
    stalls = wd or probe
    source = "WATCHDOG=1 gaps" if wd else "AT-SPI round trips (no WATCHDOG=1 received)"
    checks.append(("stall", bool(stalls) and max(stalls) <= 100,
                   "longest stall %s ms from %s" % ("%.0f" % max(stalls) if stalls else "-",
                                                    source)))
    calls = sorted(run.status_ms)
    p95 = calls[min(len(calls) - 1, int(len(calls) * 0.95))] if calls else float("nan")
    checks.append(("status", bool(calls) and not run.degraded,
                   "%d --status calls, 95th percentile %.0f ms, degraded %d times%s" % (
                       len(calls), p95, len(run.degraded),
                       (": " + " | ".join(run.degraded[:3])) if run.degraded else "")))
    checks.append(("alive", run.died is None, run.died or "the station ran to the end"))
    checks.append(("scans", run.count["scans"] >= run.scans_wanted,
                   "%d scans typed" % run.count["scans"]))
    return checks


def soak(minutes):
    day, shots = make_store()
    meter = StallMeter()
    out_path = os.path.join(WORK, "station.out")
    with open(out_path, "w") as out:
        proc = subprocess.Popen([STATION], stdout=out, stderr=subprocess.STDOUT)
    probe_file = os.path.join(WORK, "probe.txt")
    probe = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--probe", probe_file])
    run = Run(minutes, day, shots)
    try:
        app = wait(station_app, 30)
        table = app and wait(lambda: find(app, "table", "Codes"), 20)
        if not table or not wait(lambda: table.queryTable().nRows == len(CODES), 60):
            print("FAIL: the console did not list the day's %d codes" % len(CODES))
            return 1
        window = None
        for w in xdo("search", "--sync", "--onlyvisible", "--pid", proc.pid).stdout.split():
            g = dict(line.split("=") for line in xdo("getwindowgeometry", "--shell", w).stdout.split())
            if int(g["X"]) >= 1920 and int(g["WIDTH"]) >= 1000:
                window = w
        if window is None:
            print("FAIL: no display window on the right monitor")
            return 1
        print("venue day: %d min, %d scans, %d reassignments, station pid %d" % (
            minutes, run.scans_wanted, run.reassigns_wanted, proc.pid))
        print(" ".join(title for _, title, _ in COLUMNS), flush=True)
        run.start = time.monotonic()
        threads = [threading.Thread(target=run.scans, args=(window,)),
                   threading.Thread(target=run.arrivals),
                   threading.Thread(target=run.status_calls),
                   threading.Thread(target=run.sampler, args=(proc, meter, probe_file))]
        for t in threads:
            t.start()
        run.console(app, table)
        run.stop.set()
        for t in threads:
            t.join()
    finally:
        run.stop.set()
        probe.kill()
        if proc.poll() is None:
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                run.died = run.died or "the station did not quit within 5 s of SIGTERM"
                proc.kill()
    print("reassignments: %d done, %d failed; arrivals %d; refreshes %d" % (
        run.count["reassigned"], run.count["reassign failed"], run.count["arrivals"],
        run.count["refreshes"]))
    accepted = 0
    folder = os.path.join(os.environ["XDG_STATE_HOME"], "Kivo", "Logs")
    for entry in os.scandir(folder):
        with open(entry.path, errors="replace") as f:
            accepted += sum("GOT NEW BARCODE ID" in line for line in f)
    print("codes the station took as new customers: %d" % accepted)
    keep = os.environ.get("KIVO_SOAK_KEEP")
    if keep:  # the run's logs, for a look afterwards
        shutil.copytree(folder, os.path.join(keep, "Logs"), dirs_exist_ok=True)
        shutil.copy(out_path, keep)
    checks = verdict(run)
    if run.died:
        with open(out_path, errors="replace") as f:
            print("--- station output (tail):\n" + "".join(f.readlines()[-30:]))
    for name, ok, text in checks:
        print("%-4s %-12s %s" % ("ok" if ok else "FAIL", name, text))
    passed = all(ok for _, ok, _ in checks)
    print("PASS" if passed else "FAIL")
    return 0 if passed else 1


# The probe: the longest round trip each second of an AT-SPI call the
# station's main thread answers, one "epoch ms" line per second.
def probe(path):
    app = wait(station_app, 60)
    table = app and wait(lambda: find(app, "table", "Codes"), 60)
    if not table:
        return
    with open(path, "a") as f:
        while True:
            second_end, worst = time.monotonic() + 1, 0.0
            while time.monotonic() < second_end:
                begun = time.monotonic()
                try:
                    table.queryComponent().getExtents(0)
                except Exception:  # a timed-out call counts as its time
                    pass
                worst = max(worst, time.monotonic() - begun)
                time.sleep(0.05)
            f.write("%.3f %.1f\n" % (time.time(), worst * 1000))
            f.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--minutes", type=int, default=20)
    parser.add_argument("--probe")
    args = parser.parse_args()
    if args.probe:
        probe(args.probe)
        return 0
    return soak(args.minutes)


if __name__ == "__main__":
    sys.exit(main())
