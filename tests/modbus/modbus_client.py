#!/usr/bin/python3
"""An independent Modbus TCP client (pymodbus) against the recorder's server: prints one JSON object
of what it read and which exceptions it got. Usage: modbus_client.py PORT UNIT"""
import json
import socket
import struct
import sys
import threading

from pymodbus.client import ModbusTcpClient

port, unit = int(sys.argv[1]), int(sys.argv[2])


def client():
    c = ModbusTcpClient("127.0.0.1", port=port, timeout=3)
    c.connect()
    return c


def exception(response):
    return getattr(response, "exception_code", None) if response.isError() else 0


def floats(registers, high_first):
    out = []
    for i in range(0, len(registers), 2):
        high, low = (registers[i], registers[i + 1]) if high_first else (registers[i + 1], registers[i])
        out.append(struct.unpack(">f", struct.pack(">HH", high, low))[0])
    return out


result = {}
# A client that connects and sends nothing is open the whole time: it must hold up no one.
silent = socket.create_connection(("127.0.0.1", port))
c = client()
result["holding"] = c.read_holding_registers(0, 72, slave=unit).registers
result["input"] = c.read_input_registers(0, 72, slave=unit).registers
result["raw"] = c.read_input_registers(100, 72, slave=unit).registers
result["states"] = c.read_holding_registers(200, 72, slave=unit).registers
f1 = c.read_holding_registers(300, 72, slave=unit).registers
f2 = c.read_holding_registers(372, 72, slave=unit).registers
result["floats_high_first"] = floats(f1 + f2, True)
result["floats_low_first"] = floats(f1 + f2, False)
result["status"] = c.read_input_registers(1000, 17, slave=unit).registers
result["above_critical"] = [int(b) for b in c.read_discrete_inputs(0, 72, slave=unit).bits[:72]]
result["running"] = [int(b) for b in c.read_discrete_inputs(200, 72, slave=unit).bits[:72]]
result["exceptions"] = {
    "126 registers": exception(c.read_holding_registers(0, 126, slave=unit)),
    "past the currents": exception(c.read_holding_registers(70, 3, slave=unit)),
    "past the status": exception(c.read_input_registers(1016, 2, slave=unit)),
    "coils": exception(c.read_coils(0, 8, slave=unit)),
    "write register": exception(c.write_register(0, 7, slave=unit)),
    "write registers": exception(c.write_registers(0, [7, 7], slave=unit)),
    "write coil": exception(c.write_coil(0, True, slave=unit)),
    "write coils": exception(c.write_coils(0, [True], slave=unit)),
    "another unit": exception(c.read_holding_registers(0, 1, slave=unit + 1)),
}
result["after_writes"] = c.read_holding_registers(0, 72, slave=unit).registers

# Two clients at once, each reading the currents 20 times.
together = []


def poll():
    other = client()
    together.append(all(other.read_holding_registers(0, 72, slave=unit).registers == result["holding"]
                        for _ in range(20)))
    other.close()


threads = [threading.Thread(target=poll) for _ in range(2)]
for t in threads:
    t.start()
for t in threads:
    t.join()
result["two_clients_agree"] = together == [True, True]

# A malformed frame (a length field longer than any frame) ends that connection only.
torn = socket.create_connection(("127.0.0.1", port))
torn.sendall(bytes([0, 1, 0, 0, 0xFF, 0xFF, unit, 3]))
torn.settimeout(3)
try:
    result["malformed_closed"] = torn.recv(16) == b""
except (ConnectionResetError, socket.timeout):
    result["malformed_closed"] = True
result["still_serving"] = c.read_holding_registers(0, 1, slave=unit).registers == result["holding"][:1]
silent.close()
c.close()
print(json.dumps(result))
