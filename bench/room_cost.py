#!/usr/bin/env python3
"""What a room costs on dealbrix-server, for sizing a machine: one real server on 127.0.0.1, its
resident memory (VmRSS) and processor time (utime + stime from /proc) measured

  1. idle;
  2. with ROOMS rooms of four seats waiting for people;
  3. with ROOMS more rooms of four computer seats playing at the default pace (600 ms a move);
  4. with one watching connection in each of WATCHED playing rooms, every state read and dropped.

Not a test: figures for bench/README.md and docs/deploy.md. Every connection and loop is bounded and
the server is stopped at the end.

    python3 bench/room_cost.py BUILD/dealbrix-server [--rooms 400] [--watched 400] [--seconds 20]
"""
import argparse
import os
import pathlib
import selectors
import socket
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "net_proxy"))
from wsclient import WebSocket  # noqa: E402

HOST = "127.0.0.1"
CREATORS = 8  # connections that create the rooms, side by side
TICKS = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


def rss_kib(pid):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def greeted(port):
    ws = WebSocket(HOST, port, "/")
    ws.send({"type": "hello", "protocol": 1, "client": "room cost"})
    ws.receive_until(lambda m: m["type"] == "welcome")
    return ws


def create_rooms(port, count, computer):
    creators = [greeted(port) for _ in range(CREATORS)]
    codes = []
    for i in range(count):
        ws = creators[i % CREATORS]
        ws.send({"type": "createRoom", "players": 4, "computer": [1, 2, 3, 4] if computer else []})
        codes.append(ws.receive_until(lambda m: m["type"] in ("roomCreated", "error"))["room"])
    for ws in creators:
        ws.close()
    return codes


def drain(sockets, seconds):
    """Reads and drops whatever the server sends on `sockets` for `seconds`; the bytes read."""
    selector = selectors.DefaultSelector()
    for s in sockets:
        s.setblocking(False)
        selector.register(s, selectors.EVENT_READ)
    total, deadline = 0, time.monotonic() + seconds
    while time.monotonic() < deadline:
        for key, _ in selector.select(timeout=0.2):
            try:
                total += len(key.fileobj.recv(65536))
            except BlockingIOError:
                pass
    selector.close()
    return total


def measure(pid, seconds, sockets=()):
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    if sockets:
        received = drain(sockets, seconds)
    else:
        time.sleep(seconds)
        received = 0
    return (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start), rss_kib(pid), received


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("server")
    parser.add_argument("--rooms", type=int, default=400)
    parser.add_argument("--watched", type=int, default=400)
    parser.add_argument("--seconds", type=float, default=20)
    args = parser.parse_args()
    port = free_port()
    big = str(1_000_000)
    server = subprocess.Popen([args.server, "--listen", f"{HOST}:{port}", "--max-rooms", str(2 * args.rooms + 10),
                               "--connections-per-address", big, "--burst", big, "--rate", big],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            try:
                socket.create_connection((HOST, port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        time.sleep(1)
        idle_cpu, idle_rss, _ = measure(server.pid, 3)
        print(f"idle: {idle_rss / 1024:.1f} MiB resident, {100 * idle_cpu:.2f}% of a core")

        create_rooms(port, args.rooms, computer=False)
        _, waiting_rss, _ = measure(server.pid, 2)
        per_waiting = (waiting_rss - idle_rss) / args.rooms
        print(f"{args.rooms} rooms waiting: {waiting_rss / 1024:.1f} MiB, {per_waiting:.1f} KiB a room")

        codes = create_rooms(port, args.rooms, computer=True)
        play_cpu, play_rss, _ = measure(server.pid, args.seconds)
        per_playing = (play_rss - waiting_rss) / args.rooms
        print(f"+{args.rooms} rooms playing: {play_rss / 1024:.1f} MiB, {per_playing:.1f} KiB a room, "
              f"{100 * play_cpu:.1f}% of a core ({100 * play_cpu / args.rooms:.3f}% a room)")

        watchers = []
        for code in codes[:args.watched]:
            ws = greeted(port)
            ws.send({"type": "join", "room": code, "seats": []})
            ws.receive_until(lambda m: m["type"] == "joined")
            watchers.append(ws)
        watch_cpu, watch_rss, received = measure(server.pid, args.seconds, [w.sock for w in watchers])
        count = len(watchers)
        print(f"+{count} watchers: {watch_rss / 1024:.1f} MiB, "
              f"{(watch_rss - play_rss) / max(1, count):.1f} KiB a connection, {100 * watch_cpu:.1f}% of a core "
              f"({100 * (watch_cpu - play_cpu) / max(1, count):.3f}% a watched room more), "
              f"{received / args.seconds / max(1, count) / 1024:.1f} KiB/s sent to each")
        for ws in watchers:
            ws.sock.close()
    finally:
        server.terminate()
        try:
            server.wait(timeout=30)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait(timeout=10)


if __name__ == "__main__":
    main()
