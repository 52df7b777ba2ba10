#!/usr/bin/env python3
"""Compares what the sink received and stored with the files: every whole record of each day file once in
the table with the file's currents, every whole line of each event journal once in the events table with
the line's fields, each in order of first arrival, and what arrived twice.
Only the records before CURSOR (the publisher's cursor file, when given) are expected, and only the journal
lines before its events cursor beside it: those after may still be on their way, or, as the program's end,
are written after the publisher has stopped. What the sink has not stored yet is looked for again, for a
minute at most.
Usage: check.py DATA_FOLDER LOG PG_SOCKET_DIR PG_PORT STATION MAX_DUPLICATES [CURSOR]"""
import collections
import datetime
import glob
import json
import os
import struct
import sys
import time

import psycopg2

folder, log_path, pg_dir, pg_port, station = sys.argv[1:6]
max_duplicates = int(sys.argv[6])
sortable = lambda day: day[6:] + day[3:5] + day[:2]


def read_cursor(path):
    day, index = open(path).read().split()
    return (sortable(day), int(index))


def compare(name, items, stored, before):
    """Every item before `before` in the table, nothing there that is not an item; the keys left after it."""
    expected = {(day, i) for day, entries in items.items() for i in range(len(entries))
                if before is None or (sortable(day), i) < before}
    missing = sorted(expected - set(stored))
    extra = sorted(key for key in set(stored) if key[0] not in items or key[1] >= len(items[key[0]]))
    assert not missing, f"{len(missing)} {name} never reached the table, first {missing[:5]}"
    assert not extra, f"{name} not in the files: {extra[:5]}"
    return expected, sum(len(entries) for entries in items.values()) - len(expected)


def arrivals(leaf, place):
    """Duplicates received on a topic, after checking that first arrivals came in order: a replay never
    runs ahead of what it has not yet sent."""
    received = collections.Counter()
    firsts = []
    for entry in open(log_path, encoding="utf-8"):
        topic, payload = entry.split(" ", 1)
        if topic.endswith("/" + leaf):
            p = json.loads(payload)
            key = (sortable(p["day"]), p[place])
            if not received[key]:
                firsts.append(key)
            received[key] += 1
    assert firsts == sorted(firsts), f"{leaf} arrived out of order"
    duplicates = sum(n - 1 for n in received.values())
    assert duplicates <= max_duplicates, f"{duplicates} {leaf} duplicates, at most {max_duplicates} expected"
    return duplicates


def check():
    """The summary, once the tables and the log hold what the files say they must."""
    limit = read_cursor(sys.argv[7]) if len(sys.argv) > 7 else None
    events_cursors = glob.glob(os.path.join(folder, "mqtt-*.events.cursor"))
    assert len(events_cursors) == 1, f"not one events cursor: {events_cursors}"
    events_limit = read_cursor(events_cursors[0])
    # The tables first: the files only grow, so whatever they hold is in them by the time they are read.
    db = psycopg2.connect(host=pg_dir, port=pg_port, user="postgres", dbname="postgres")
    with db.cursor() as c:
        c.execute("SELECT day, index, current FROM readings WHERE station = %s", (station,))
        table = {(day, index): current for day, index, current in c.fetchall()}
        c.execute("""SELECT day, line, time, kind, channel, section, motor, peak, seconds, alarm, text
                     FROM events WHERE station = %s""", (station,))
        event_table = {(row[0], row[1]): row[2:] for row in c.fetchall()}
    files = {}
    for path in sorted(glob.glob(os.path.join(folder, "??.??.????.txt"))):
        data = open(path, "rb").read()
        records = [struct.unpack_from("<73d", data, i * 584)[1:] for i in range(len(data) // 584)]
        files[os.path.basename(path)[:10]] = records
    # A journal's whole lines: those ended with CRLF, the header left out.
    journals = {}
    for path in sorted(glob.glob(os.path.join(folder, "??.??.????.events.csv"))):
        text = open(path, "rb").read().decode("utf-8-sig")
        lines = text.split("\r\n")[1:-1]
        journals[os.path.basename(path)[:10]] = [line.split(";") for line in lines]
    db.close()

    expected, _ = compare("records", files, table, limit)
    for (day, index), current in table.items():
        assert list(current) == list(files[day][index]), f"{day} #{index}: the currents differ from the file"
    expected_lines, unsent = compare("journal lines", journals, event_table, events_limit)
    assert unsent <= 20, f"{unsent} journal lines after the events cursor"
    number = lambda field: float(field.replace(",", ".")) if field else None
    for (day, line), (time, kind, channel, section, motor, peak, seconds, alarm, text) in event_table.items():
        fields = journals[day][line]
        stored = [time.astimezone().strftime("%d.%m.%Y %H:%M:%S"), kind, "" if channel is None else str(channel),
                  section or "", motor or "", peak, seconds, "да" if alarm else "", text]
        written = fields[:5] + [number(fields[5]), number(fields[6])] + fields[7:]
        assert stored == written, f"{day} line {line}: {stored} in the table, {written} in the journal"
    duplicates = arrivals("records", "index")
    event_duplicates = arrivals("events", "line")
    days = ", ".join(f"{day}: {len(records)}" for day, records in files.items())
    lines = ", ".join(f"{day}: {len(entries)}" for day, entries in journals.items())
    return (f"{len(expected)} records expected, {len(table)} in the table, as in the day files ({days}); "
          f"{duplicates} duplicates received\n"
          f"{len(expected_lines)} journal lines expected, {len(event_table)} in the table, as in the journals "
          f"({lines}; {unsent} after the events cursor); {event_duplicates} duplicates received")


# The sink stores what the broker delivers a moment after the broker has acknowledged it to the
# recorder: looked at again until it holds, for a minute at most.
deadline = time.monotonic() + 60
while True:
    try:
        print(check())
        break
    except AssertionError:
        if time.monotonic() > deadline:
            raise
        time.sleep(0.5)
