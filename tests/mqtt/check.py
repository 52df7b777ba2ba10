#!/usr/bin/env python3
"""Compares what the sink received and stored with the day files: every whole record of each day once in
the table with the file's currents, and what arrived twice.
Only the records before CURSOR (the publisher's cursor file, when given) are expected: those after it may
still be on their way.
Usage: check.py DATA_FOLDER LOG PG_SOCKET_DIR PG_PORT STATION MAX_DUPLICATES [CURSOR]"""
import collections
import glob
import json
import os
import struct
import sys

import psycopg2

folder, log_path, pg_dir, pg_port, station = sys.argv[1:6]
max_duplicates = int(sys.argv[6])
sortable = lambda day: day[6:] + day[3:5] + day[:2]
limit = None
if len(sys.argv) > 7:
    day, index = open(sys.argv[7]).read().split()
    limit = (sortable(day), int(index))
# The table first: the files only grow, so whatever it holds is in them by the time they are read.
db = psycopg2.connect(host=pg_dir, port=pg_port, user="postgres", dbname="postgres")
with db.cursor() as c:
    c.execute("SELECT day, index, current FROM readings WHERE station = %s", (station,))
    table = {(day, index): current for day, index, current in c.fetchall()}
files = {}
for path in sorted(glob.glob(os.path.join(folder, "??.??.????.txt"))):
    data = open(path, "rb").read()
    records = [struct.unpack_from("<73d", data, i * 584)[1:] for i in range(len(data) // 584)]
    files[os.path.basename(path)[:10]] = records
expected = {(day, i) for day, records in files.items() for i in range(len(records))
            if limit is None or (sortable(day), i) < limit}
missing = sorted(expected - set(table))
extra = sorted(key for key in set(table) - expected
               if key[0] not in files or key[1] >= len(files[key[0]]))
assert not missing, f"{len(missing)} records never reached the table, first {missing[:5]}"
assert not extra, f"records not in the files: {extra[:5]}"
for (day, index), current in table.items():
    assert list(current) == list(files[day][index]), f"{day} #{index}: the currents differ from the file"
received = collections.Counter()
order = []
for line in open(log_path, encoding="utf-8"):
    topic, payload = line.split(" ", 1)
    if topic.endswith("/records"):
        p = json.loads(payload)
        received[(p["day"], p["index"])] += 1
        order.append((sortable(p["day"]), p["index"]))
duplicates = sum(n - 1 for n in received.values())
assert duplicates <= max_duplicates, f"{duplicates} duplicates, at most {max_duplicates} expected"
# Each first arrival in order: a replay never runs ahead of what it has not yet sent.
firsts = []
seen = set()
for key in order:
    if key not in seen:
        seen.add(key)
        firsts.append(key)
assert firsts == sorted(firsts), "records arrived out of order"
days = ", ".join(f"{day}: {len(records)}" for day, records in files.items())
print(f"{len(expected)} records expected, {len(table)} in the table, as in the day files ({days}); {duplicates} duplicates received")
