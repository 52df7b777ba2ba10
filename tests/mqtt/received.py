#!/usr/bin/env python3
"""The recorder's end as a subscriber of the test's own sees it (mosquitto_sub -v: "topic payload" lines).
Usage:
  received.py stop DATA PID
      ends the recorder (SIGTERM) as soon as a record is appended to a day file
  received.py all DATA LOG ENDS [SINCE REASON...]
      waits, 60 s at most, until ENDS offline statuses have arrived, every record of the day files and
      every journal line but the newest (the program's end, written after the publisher stops); with
      SINCE (lines of LOG), also, after it, a gap message holding each REASON and the first record and
      journal line of the newest day sent again"""
import glob
import json
import os
import signal
import sys
import time

folder = sys.argv[2]


def day_of(path):
    return os.path.basename(path)[:10]


def newest(pattern):
    by_date = lambda path: day_of(path)[6:] + day_of(path)[3:5] + day_of(path)[:2]
    return max(glob.glob(os.path.join(folder, pattern)), key=by_date)


def recorded():
    return sum(os.path.getsize(path) for path in glob.glob(os.path.join(folder, "??.??.????.txt")))


if sys.argv[1] == "stop":
    size = recorded()
    while recorded() == size:
        time.sleep(0.001)
    os.kill(int(sys.argv[3]), signal.SIGTERM)
    sys.exit(0)

log_path, ends = sys.argv[3], int(sys.argv[4])
since = int(sys.argv[5]) if len(sys.argv) > 5 else 0
reasons = sys.argv[6:]


def expected():
    """The (topic leaf, day, place) every message must cover: the files' whole records and ended lines."""
    keys = set()
    for path in glob.glob(os.path.join(folder, "??.??.????.txt")):
        keys |= {("records", day_of(path), i) for i in range(os.path.getsize(path) // 584)}
    last = newest("??.??.????.events.csv")
    for path in glob.glob(os.path.join(folder, "??.??.????.events.csv")):
        count = len(open(path, "rb").read().split(b"\r\n")[1:-1]) - (path == last)
        keys |= {("events", day_of(path), i) for i in range(count)}
    return keys


def missing():
    entries = [line.split(" ", 1) for line in open(log_path, encoding="utf-8").read().splitlines()]
    got, later = set(), set()
    offline, gaps = 0, []
    for n, (topic, payload) in enumerate(entries):
        leaf = topic.rsplit("/", 1)[-1]
        p = json.loads(payload)
        if leaf in ("records", "events"):
            key = (leaf, p["day"], p.get("index", p.get("line")))
            got.add(key)
            if n >= since:
                later.add(key)
        offline += leaf == "status" and p["state"] == "offline"
        if leaf == "gap" and n >= since:
            gaps.append(p["reason"])
    lost = sorted(expected() - got)
    if lost:
        return f"{len(lost)} never arrived, first {lost[:3]}"
    if offline < ends:
        return f"{offline} offline statuses, {ends} ends"
    for reason in reasons:
        if not any(reason in gap for gap in gaps):
            return f"no gap saying \"{reason}\": {gaps}"
    if reasons:
        for leaf, pattern in (("records", "??.??.????.txt"), ("events", "??.??.????.events.csv")):
            first = (leaf, day_of(newest(pattern)), 0)
            if first not in later:
                return f"{first} not sent again after the gap"
    return None


deadline = time.monotonic() + 60
while (problem := missing()) and time.monotonic() < deadline:
    time.sleep(0.2)
if problem:
    sys.exit(f"FAIL: {problem}")
print(f"{len(expected())} records and journal lines received, {ends} orderly ends")
