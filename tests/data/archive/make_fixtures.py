#!/usr/bin/env python3
"""Writes the small archive fixtures of the archive tests, independently of the program's own code."""
import struct

MS_PER_DAY = 86400000


def time_of_day(h, m, s, ms):
    return (h * 3600000 + m * 60000 + s * 1000 + ms) / MS_PER_DAY


def readings():
    rows = [
        (time_of_day(12, 0, 0, 0), [float(n) for n in range(1, 73)]),
        (time_of_day(12, 1, 2, 345), [10.0 * n for n in range(1, 73)]),
        (time_of_day(23, 59, 59, 999), [600.0] + [0.0] * 70 + [1.5]),
    ]
    return b"".join(struct.pack("<d72d", t, *tok) for t, tok in rows)


def snapshot():
    names = {1: "Рыхлит.1", 2: "Смеситель, 2", 3: 'Фартук "А"'}
    out = b""
    for k in range(1, 73):
        name = names.get(k, "M%d" % k).encode("cp1251")
        # Unused name bytes and padding carry junk here: readers must ignore them.
        rec = struct.pack("<B", len(name)) + name + b"\x55" * (50 - len(name)) + b"\xAA" * 5
        rec += struct.pack("<ddi", 100.0 + k, 150.5 + k, 10 * k) + b"\xAA" * 4
        assert len(rec) == 80
        out += rec
    return out


with open("06.12.2026.txt", "wb") as f:
    f.write(readings())
with open("06.12.2026UST.txt", "wb") as f:
    f.write(snapshot())
