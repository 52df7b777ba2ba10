#!/usr/bin/env python3
"""A durable MQTT subscriber, as a plant's historian would run one: QoS 1, a session the broker keeps,
every record into a PostgreSQL table keyed by (station, day, index) and every journal line into one keyed
by (station, day, line), so duplicates fall away, and every message received also logged, so the test can
count the duplicates.
Usage: sink.py BROKER_PORT PG_SOCKET_DIR PG_PORT LOG"""
import json
import sys

import paho.mqtt.client as mqtt
import psycopg2

port, pg_dir, pg_port, log_path = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
db = psycopg2.connect(host=pg_dir, port=pg_port, user="postgres", dbname="postgres")
db.autocommit = True
with db.cursor() as c:
    c.execute("""CREATE TABLE IF NOT EXISTS readings (
        station text, day text, index integer, time timestamptz, current double precision[],
        historical boolean, PRIMARY KEY (station, day, index))""")
    c.execute("""CREATE TABLE IF NOT EXISTS events (
        station text, day text, line integer, time timestamptz, kind text, channel integer, section text,
        motor text, peak double precision, seconds double precision, alarm boolean, text text,
        PRIMARY KEY (station, day, line))""")
    c.execute("CREATE TABLE IF NOT EXISTS gaps (station text, day text, from_index integer, reason text)")
log = open(log_path, "a", buffering=1)


def on_connect(client, userdata, flags, rc):
    client.subscribe([("registrator/+/records", 1), ("registrator/+/events", 1), ("registrator/+/gap", 1)])


def on_subscribe(client, userdata, mid, granted_qos):
    print("subscribed", flush=True)


def on_message(client, userdata, message):
    payload = json.loads(message.payload)
    with db.cursor() as c:
        if message.topic.endswith("/records"):
            c.execute("""INSERT INTO readings VALUES (%s, %s, %s, %s, %s, %s)
                         ON CONFLICT (station, day, index) DO NOTHING""",
                      (payload["station"], payload["day"], payload["index"], payload["time"],
                       payload["current"], payload["historical"]))
        elif message.topic.endswith("/events"):
            c.execute("""INSERT INTO events VALUES (%s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s)
                         ON CONFLICT (station, day, line) DO NOTHING""",
                      tuple(payload[k] for k in ("station", "day", "line", "time", "kind", "channel", "section",
                                                 "motor", "peak", "seconds", "alarm", "text")))
        else:
            c.execute("INSERT INTO gaps VALUES (%s, %s, %s, %s)",
                      (payload["station"], payload["day"], payload.get("fromIndex", payload.get("fromLine")),
                       payload["reason"]))
    log.write(message.topic + " " + json.dumps(payload) + "\n")


client = mqtt.Client(client_id="historian", clean_session=False)
client.on_connect = on_connect
client.on_message = on_message
client.on_subscribe = on_subscribe
client.reconnect_delay_set(min_delay=1, max_delay=1)
while True:
    try:
        client.connect("127.0.0.1", port, keepalive=10)
        break
    except OSError:
        import time
        time.sleep(0.2)
client.loop_forever(retry_first_connection=True)
