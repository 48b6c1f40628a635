#!/usr/bin/python3
# Whole-station status over the session bus: `--status` says 3 with no station,
# 0 and the JSON once it runs; a scanned code shows in currentCode and in a
# STATUS= line within 3 s; the customer display paints within its delay plus
# 1 s; the main images folder renamed away gives 1 naming the store within
# 10 s, and 0 again once it is back; a stopped station gives 4 within 3 s. The
# status file (prefStatusFile) holds the status. Prints the 95th percentile of the
# --status time, and of a bare bus call, over 100 calls.
import json
import os
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (StallMeter, enter_rig, fail, make_day, p95_ms, poll,  # noqa: E402
                         running_station, scan, station_status, write_prefs)

CODE, DELAY = "0412", 2
FILE = os.path.join(os.environ.get("KIVO_E2E_WORK", ""), "status.json")
GDBUS = ["gdbus", "call", "--session", "--dest", "org.kivo.SlideShow", "--object-path",
         "/org/kivo/SlideShow", "--method", "org.kivo.SlideShow1.GetStatus"]


def timed(command):
    begun = time.monotonic()
    subprocess.run(command, capture_output=True, check=True)
    return 0, "", time.monotonic() - begun


def status_is(code, within, text=""):
    return poll("--status %d %s" % (code, text), lambda: (lambda r: r[0] == code and text in r[1]
                                                          and r)(station_status("--json")), within)


def main():
    enter_rig(__file__)
    if station_status()[0] != 3:
        fail("--status without a station: %r" % (station_status(),))
    meter = StallMeter()
    photos = os.path.dirname(make_day(
        [(CODE, "Party", [("IMG_%d.jpg" % i, (0, 160, 0), (640, 480)) for i in range(3)])]))
    desktop = os.path.join(os.environ["HOME"], "Desktop")
    os.makedirs(desktop)
    for name in ("Slideshow_LS.png", "Slideshow_PRT.png"):
        subprocess.run(["convert", "-size", "90x60", "xc:none", os.path.join(desktop, name)],
                       check=True)
    write_prefs({"prefSlideShowPath": photos, "prefSlideShowDelay2": DELAY,
                 "prefShowPhotoWithFilename": False, "prefRedirectNSLogToFile": False,
                 "prefSearchDemoCodeAtStartup": False, "prefStatusFile": FILE})
    with running_station():
        got = json.loads(status_is(0, 30)[1])
        if (got["store"]["path"], [d["screen"] for d in got["displays"]]) != (
                photos, ["LEFT", "RIGHT"]) or not got["store"]["reachable"]:
            fail("status after the start: %r" % got)
        poll("the status file", lambda: json.load(open(FILE))["pid"] == got["pid"])
        print(station_status()[1])
        scanned = time.monotonic()
        scan(CODE)
        status_is(0, 3, '"currentCode":"%s"' % CODE)
        poll("a STATUS= line naming the code", lambda: any(
            m.startswith("STATUS=") and CODE in m for m in meter.heard),
            max(0.1, scanned + 3 - time.monotonic()))
        for _ in range(2 * DELAY + 2):
            right = poll("the customer display playing", lambda: next(
                d for d in json.loads(station_status("--json")[1])["displays"]
                if d["playing"] and d["code"] == CODE), 20)
            if right["lastPaintedSecondsAgo"] > DELAY + 1:
                fail("the customer display last painted %r" % right)
            time.sleep(0.5)
        print("--status 95th percentile over 100 calls: %.0f ms" %
              p95_ms([station_status() for _ in range(100)]))
        print("gdbus call 95th percentile over 100 calls: %.0f ms" %
              p95_ms([timed(GDBUS) for _ in range(100)]))
        os.rename(photos, photos + ".away")
        status_is(1, 10, "store %s missing" % photos)
        os.rename(photos + ".away", photos)
        status_is(0, 10)
        os.kill(got["pid"], signal.SIGSTOP)
        begun = time.monotonic()
        code = station_status()[0]
        os.kill(got["pid"], signal.SIGCONT)
        if code != 4 or time.monotonic() - begun > 3:
            fail("--status of a stopped station: %d after %.1f s" % (code, time.monotonic() - begun))
    print("status whole-station test passed")


if __name__ == "__main__":
    main()
