#!/usr/bin/python3
"""Hostile Modbus TCP clients on raw sockets against the recorder's server: prints one JSON object of
what each got. Usage: hostile_clients.py PORT UNIT"""
import json, select, socket, struct, sys, threading, time

port, unit = int(sys.argv[1]), int(sys.argv[2])
ANSWER_72 = 9 + 144  # header, function, byte count and 72 registers


def connect():
    return socket.create_connection(("127.0.0.1", port), timeout=10)


def read_72(transaction):
    return struct.pack(">HHHBBHH", transaction, 0, 6, unit, 3, 0, 72)


def receive(sock, size):
    """Up to `size` bytes, and whether the server closed (or reset) the connection before they came."""
    data, part = b"", b"-"
    try:
        while len(data) < size and part:
            part = sock.recv(size - len(data))
            data += part
    except ConnectionResetError:
        part = b""
    except socket.timeout:
        pass
    return data, not part


result = {"wrong": {}, "high functions": {}, "drips closed after": []}
# Each wrong header is followed by a good read: an answer to either, or to the read alone, is a fault.
for name, frame in {
    "protocol 1": struct.pack(">HHHBBHH", 1, 1, 6, unit, 3, 0, 1),
    "length 0": struct.pack(">HHH", 1, 0, 0),
    "length 1": struct.pack(">HHHB", 1, 0, 1, unit),
    "length 255": struct.pack(">HHHBBHH", 1, 0, 255, unit, 3, 0, 1),
    "length 65535": struct.pack(">HHHBBHH", 1, 0, 65535, unit, 3, 0, 1),
    "length 8 for a read": struct.pack(">HHHBBHHH", 1, 0, 8, unit, 3, 0, 1, 0),
    "length 5 for a read": struct.pack(">HHHBBHB", 1, 0, 5, unit, 3, 0, 0),
    "byte count against length": struct.pack(">HHHBBHHBH", 1, 0, 9, unit, 16, 0, 1, 4, 7),
    "an HTTP request": b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
}.items():
    with connect() as s:
        s.sendall(frame + read_72(2))
        data, closed = receive(s, 512)
        result["wrong"][name] = "closed" if closed and not data else data.hex(" ") or "silent"

# Function codes with the high bit of an exception reply, in a request; the connection serves on.
with connect() as s:
    for function in (0x80, 0x83, 0xFF):
        s.sendall(struct.pack(">HHHBBHH", 7, 0, 6, unit, function, 0, 1))
        result["high functions"][str(function)] = receive(s, 9)[0].hex(" ")
    s.sendall(read_72(8))
    result["read after them"] = len(receive(s, ANSWER_72)[0])

# A client dripping a long frame a byte every 90 ms, again and again, beside one polling ten times at 5 Hz.
answered = []


def poll():
    with connect() as s:
        s.settimeout(1.0)
        for transaction in range(1, 11):
            start = time.monotonic()
            s.sendall(read_72(transaction))
            if receive(s, ANSWER_72)[0][:2] != struct.pack(">H", transaction) or time.monotonic() - start > 1:
                return  # late or wrong: nothing after it can be trusted
            answered.append(transaction)
            time.sleep(max(0.0, start + 0.2 - time.monotonic()))


poller = threading.Thread(target=poll)
poller.start()
frame = struct.pack(">HHHBBHHB", 9, 0, 7 + 200, unit, 16, 0, 100, 200) + bytes(200)
while poller.is_alive():
    with connect() as s:  # the bytes sent before the server closed; None if it answered or never did
        closed_after = None
        for sent in range(len(frame)):
            s.send(frame[sent:sent + 1])
            if select.select([s], [], [], 0.09)[0]:
                closed_after = sent + 1 if receive(s, 1) == (b"", True) else None
                break
        result["drips closed after"].append(closed_after)
result["polls answered in a second"] = len(answered)

# Sixteen connections that never send a byte, then a newcomer: served, and the first of them let go.
idle = [connect() for _ in range(16)]
with connect() as newcomer:
    newcomer.sendall(read_72(3))
    result["newcomer read"] = len(receive(newcomer, ANSWER_72)[0])
idle[0].settimeout(5)
result["longest idle closed"] = receive(idle[0], 1) == (b"", True)
print(json.dumps(result))
