#!/usr/bin/python3
# Whole-station supervision, screens kept awake, quitting and relaunch, on a
# real X server and session bus.
#
# 1. First start with no stored preferences, under a NOTIFY_SOCKET listener:
#    the day's log file, READY=1, then WATCHDOG=1 at least twice per
#    WATCHDOG_USEC, none while stopped, again after SIGCONT, STOPPING=1 at
#    SIGTERM; `xset q` shows the screen saver off meanwhile (Xvfb has no DPMS:
#    logged) and the earlier value after it quits.
# 2. Under the unit with a stand-in org.freedesktop.ScreenSaver: one Inhibit,
#    X left alone; a console worker blocks for good on a hung share, and the
#    Relaunch button still ends the station within 3 s, with status 75 and the
#    UnInhibit.
# 3. The relaunch tool ends an old copy that does not quit: one station after.
import os
import re
import signal
import socket
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (HERE, STATION, business_day_name, cell, click, counts,  # noqa: E402
                         enter_rig, fail, find, make_day, poll, station_app, write_prefs)

HOME, WORK = os.environ["HOME"], os.environ.get("KIVO_E2E_WORK", "")
LOG = os.path.join(os.environ["XDG_STATE_HOME"], "Kivo", "Logs",
                   "kivo-slideshow_%s.log" % business_day_name())
STANDIN = """if 1:
    import sys
    from gi.repository import Gio, GLib
    out = open(sys.argv[1], "a", buffering=1)
    def call(bus, sender, path, iface, method, args, invocation):
        out.write("%s %s\\n" % (method, args.unpack()))
        invocation.return_value(GLib.Variant("(u)", (42,)) if method == "Inhibit" else None)
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    bus.register_object("/org/freedesktop/ScreenSaver", Gio.DBusNodeInfo.new_for_xml(
        "<node><interface name='org.freedesktop.ScreenSaver'><method name='Inhibit'><arg type='s'/>"
        "<arg type='s'/><arg type='u' direction='out'/></method><method name='UnInhibit'>"
        "<arg type='u'/></method></interface></node>").interfaces[0], call)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.ScreenSaver", 0,
                                   lambda *a: out.write("owned\\n"), None)
    GLib.MainLoop().run()
"""


def start(**env):
    out = open(os.path.join(WORK, "station.out"), "a")
    os.environ["KIVO_E2E_STATION_OUT"] = out.name
    return subprocess.Popen([STATION], stdout=out, stderr=subprocess.STDOUT,
                            env=dict(os.environ, **env))


def read(path):
    try:
        return open(path, "rb").read()
    except OSError:
        return b""


def launched(pid):
    return b"[%d] AppDelegate->applicationDidFinishLaunching...Done" % pid in read(LOG)


def saver_timeout():
    return int(re.search(r"timeout:\s+(\d+)", subprocess.run(
        ["xset", "q"], capture_output=True, text=True).stdout).group(1))


def stations():  # ids of this home's stations
    return [int(p) for p in os.listdir("/proc") if p.isdigit() and read("/proc/%s/comm" % p) ==
            b"kivo-slideshow\n" and ("HOME=%s\0" % HOME).encode() in read("/proc/%s/environ" % p)]


def main_thread_ended(pid):  # or the process is gone
    return read("/proc/%d/stat" % pid).rsplit(b") ", 1)[-1][:1] in b"ZX"


def ended(proc, status, within):
    poll("the end of the station's main thread", lambda: main_thread_ended(proc.pid), within)
    if proc.wait(10) != status:
        fail("the station ended with status %s, not %s" % (proc.returncode, status))


def command(control, word):  # to the share, if it still listens
    subprocess.run(["timeout", "2", "sh", "-c", 'echo %s > "$0"' % word, control])


def first_start_supervised():
    path = os.path.join(WORK, "notify")
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    listener.bind(path)
    heard = []  # (time, message)

    def listen():
        while True:
            heard.append((time.monotonic(), listener.recv(4096).decode()))
    threading.Thread(target=listen, daemon=True).start()

    def pings(since, until=1e12):
        return [t for t, m in heard if m == "WATCHDOG=1" and since <= t < until]

    proc = start(NOTIFY_SOCKET=path, WATCHDOG_USEC="1500000")
    ready = poll("READY=1", lambda: next((t for t, m in heard if m.startswith("READY=1")), 0), 30)
    if pings(0, ready) or not launched(proc.pid):
        fail("a watchdog ping before READY=1, or no day's log file from the first start")
    if saver_timeout() != 0 or b"the X server has no DPMS extension" not in read(LOG):
        fail("the X screen saver is on, or the missing DPMS extension is not logged")
    time.sleep(1.6)
    if len(pings(ready, ready + 1.5)) < 2:
        fail("fewer than two watchdog pings in 1.5 s: %r" % heard)
    proc.send_signal(signal.SIGSTOP)
    stopped = time.monotonic()
    time.sleep(2)
    proc.send_signal(signal.SIGCONT)
    resumed = time.monotonic()
    if pings(stopped + 0.1, resumed):
        fail("watchdog pings while the station was stopped")
    poll("a watchdog ping after SIGCONT", lambda: pings(resumed), 2)
    proc.terminate()
    ended(proc, 0, 3)
    if heard[-1][1] != "STOPPING=1" or saver_timeout() != 300:
        fail("last notification %r; screen saver timeout %d" % (heard[-1][1], saver_timeout()))


def relaunch_under_unit_with_a_stuck_worker():
    day = make_day([("7002", "Party", [("IMG_1.JPG", (200, 0, 0), (64, 48))])])
    share, store, control, calls = (os.path.join(day, "7002", "sub"),
                                    *(os.path.join(WORK, n) for n in ("store", "ctl", "calls")))
    list(map(os.makedirs, (share, store)))
    os.mkfifo(control)
    write_prefs({"prefSlideShowPath": os.path.dirname(day)})
    fs = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "flakyfs.py"), store, share,
                           control])
    standin = subprocess.Popen(["/usr/bin/python3", "-c", STANDIN, calls])
    try:
        poll("the share and the stand-in screen saver",
             lambda: os.path.ismount(share) and "owned" in open(calls).read())
        proc = start(NOTIFY_SOCKET=os.path.join(WORK, "nobody"))
        app = poll("the console", station_app, 30)
        row = poll("the code's row", lambda: counts(find(app, "table", "Codes"), 1) and
                   cell(find(app, "table", "Codes"), "7002"), 20)
        if saver_timeout() != 300:
            fail("the X screen saver was changed although the desktop's was inhibited")
        command(control, "block")
        click(row)  # lists the code's folder on a worker, which blocks in sub/
        time.sleep(1)
        find(app, "push button", "Relaunch").queryAction().doAction(0)
        poll("the end of the station's main thread", lambda: main_thread_ended(proc.pid), 3)
    finally:
        command(control, "release")
        subprocess.run(["fusermount3", "-u", "-z", share])
        fs.kill()
        standin.kill()
    ended(proc, 75, 3)
    got = open(calls).read().split("\n")[1:-1]
    if got != ["Inhibit ('kivo-slideshow', 'The slideshow station keeps its displays on')",
               "UnInhibit (42,)"]:
        fail("the screen saver saw %r" % got)


def relaunch_of_a_stuck_copy():
    old = start()
    poll("the station", lambda: launched(old.pid), 30)
    old.send_signal(signal.SIGSTOP)  # a copy that does not end by itself
    tool = os.path.join(os.path.dirname(STATION), "..", "libexec", "kivo-slideshow", "relaunch")
    subprocess.run([tool, STATION, str(old.pid), "768", "1"], check=True, timeout=30)
    old.wait(5)
    new = stations()
    if len(new) != 1 or new[0] == old.pid:
        fail("stations running after the relaunch: %r (old %d)" % (new, old.pid))
    poll("the new station", lambda: launched(new[0]), 30)
    os.kill(new[0], signal.SIGTERM)
    poll("the relaunched station's end", lambda: not stations())


def main():
    enter_rig(__file__)
    try:
        subprocess.run(["xset", "s", "300", "120"], check=True)
        first_start_supervised()
        relaunch_under_unit_with_a_stuck_worker()
        relaunch_of_a_stuck_copy()
    finally:
        for pid in stations():
            os.kill(pid, signal.SIGKILL)
    print("service whole-station test passed")


if __name__ == "__main__":
    main()
