#!/usr/bin/python3
# Whole-station test with the photo store on a flaky network share (flakyfs.py).
#
# With 20 ms per operation the console lists the day's 100 codes with their
# counts and a scanned code reaches the customer display. While the share
# blocks every call for 30 s the station's main thread never stalls over
# 100 ms, a scan of another code is logged and takes the previous customer's
# photo off the customer display at once; once the share is back that code plays. Meanwhile
# `--status` reports the store as not answering (and its 95th percentile time is printed).
# While the share fails every call, the I/O errors are logged, each at most once.
import contextlib
import os
import re
import shutil
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_rig import (StallMeter, counts, enter_rig, fail, find, flaky_share,  # noqa: E402
                         make_day, near, p95_ms, pixel, poll, running_station, scan, station_app,
                         station_status, write_prefs)

CODE, LATE, OTHERS = "40000", "40001", ["%d" % (40100 + i) for i in range(98)]
GREEN, BLUE = (0, 160, 0), (30, 40, 220)


def main():
    enter_rig(__file__)
    meter = StallMeter()
    day = make_day([(CODE, "Green", [("G_%d.jpg" % i, GREEN, (640, 480)) for i in range(3)]),
                    (LATE, "Blue", [("B_%d.jpg" % i, BLUE, (640, 480)) for i in range(2)])] +
                   [(code, "Grey", []) for code in OTHERS])
    for code in OTHERS:
        shutil.copy(os.path.join(day, CODE, "G_0.jpg"), os.path.join(day, code, "P.jpg"))
    photos, store = os.path.dirname(day), os.path.join(os.environ["KIVO_E2E_WORK"], "store")
    os.rename(photos, store)
    os.mkdir(photos)
    write_prefs({"prefSlideShowPath": photos, "prefShowPhotoWithFilename": False,
                 "prefRedirectNSLogToFile": False})
    with flaky_share(store, photos) as share:
        share("latency 20")
        with running_station() as out_path:
            run(share, meter, out_path)


def run(share, meter, out_path):
    app = poll("the station on the accessibility bus", station_app, 20)
    table = poll("the code table", lambda: find(app, "table", "Codes"), 10)
    listed = poll("100 codes counted on a slow share", lambda: counts(table, 100), 60)
    if (listed[CODE], listed[LATE]) != ("3", "2"):
        fail("rows listed: %r" % (listed,))
    refresh = find(app, "push button", "Refresh").queryAction()

    def right():
        return pixel(1920 + 640, 512)
    scan(CODE)
    poll("the scanned code on the customer display", lambda: near(right(), GREEN), 20)

    share("block")
    scan(LATE)

    def probe():
        return table.queryComponent().getExtents(0)
    stall = meter.longest(3, probe)
    with contextlib.suppress(Exception):  # a call the station does not answer is a stall
        refresh.doAction(0)
    stall = max(stall, meter.longest(27, probe))
    calls = [station_status() for _ in range(20)]
    print("--status 95th percentile while the share was blocked: %.0f ms" % p95_ms(calls))
    if calls[-1][0] != 1 or "not answering" not in calls[-1][1]:
        fail("--status did not report the blocked store: %r" % (calls[-1],))
    print("longest main-thread stall while the share was blocked: %d ms" % stall)
    if stall > 100:
        fail("the main thread stalled %d ms while the share was blocked" % stall)
    if near(right(), GREEN):
        fail("the previous customer's photo stayed on the customer display")
    with open(out_path, errors="replace") as f:
        if LATE not in f.read():
            fail("the scan made while the share was blocked was not logged")
    share("release")
    poll("the code scanned meanwhile on the customer display", lambda: near(right(), BLUE), 20)
    poll("100 codes listed again", lambda: counts(table, 100), 30)
    slides = sorted(os.listdir(os.path.join(os.environ["HOME"], "tmp", "slideshowA")))
    if slides != ["B_0.jpg", "B_1.jpg"]:
        fail("the working folder holds %r" % slides)

    logged = os.path.getsize(out_path)
    share("errors on")
    for code in OTHERS[:2]:
        refresh.doAction(0)
        scan(code)
        time.sleep(4)
    share("errors off")
    with open(out_path, errors="replace") as f:
        f.seek(logged)
        errors = [re.sub(r"^\S+ \S+ \S+ ", "", line) for line in f if re.search("(?i)error", line)]
    if not errors or len(errors) > 10 or len(set(errors)) < len(errors):
        fail("I/O errors logged as:\n" + "".join(errors[:20]))
    print("share whole-station test passed")


if __name__ == "__main__":
    main()
