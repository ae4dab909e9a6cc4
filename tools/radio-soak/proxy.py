#!/usr/bin/env python3
"""Stands between the receiver and the streaming server on loopback and drops listeners.

Each listener is dropped after 5-12 s of audio: either the proxy goes silent for 0-2 s
and then closes (FIN or RST), or it closes at once and holds the next connection 0-2 s
before passing it on. Every choice comes from one generator seeded on the command line,
drawn in the order connections arrive, so a run with the same seed makes the same plan.
Events go to the log as "<monotonic seconds> <connection> <event> [value]".

    proxy.py LISTEN_PORT UPSTREAM_PORT SEED LOG SECONDS
"""
import asyncio
import random
import socket
import struct
import sys
import time

listen_port, upstream_port, seed, log_path, seconds = (
    int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], float(sys.argv[5]))
rng = random.Random(seed)
log = open(log_path, "w", buffering=1)
pending_hold = 0.0
serial = 0


def note(connection, event, value=""):
    log.write(f"{time.monotonic():.6f} {connection} {event} {value}\n".rstrip() + "\n")


def close(writer, reset):
    if reset:
        sock = writer.get_extra_info("socket")
        if sock is not None:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        writer.transport.abort()
    else:
        writer.close()


async def pump(reader, writer):
    try:
        while data := await reader.read(65536):
            writer.write(data)
            await writer.drain()
    except (ConnectionError, asyncio.CancelledError):
        pass


async def listener(client_reader, client_writer):
    global pending_hold, serial
    serial += 1
    connection = serial
    # Drawn here, in arrival order, all at once: the plan does not depend on timing.
    drop_after = rng.uniform(5.0, 12.0)
    stalls = rng.random() < 0.5
    stall = rng.uniform(0.0, 2.0)
    reset = rng.random() < 0.5
    hold_next = rng.uniform(0.0, 2.0)
    hold, pending_hold = pending_hold, 0.0
    note(connection, "accepted", f"{hold:.3f}")
    if hold > 0:
        await asyncio.sleep(hold)
    try:
        upstream_reader, upstream_writer = await asyncio.open_connection("127.0.0.1", upstream_port)
    except OSError:
        note(connection, "upstream-refused")
        close(client_writer, True)
        return
    request = asyncio.ensure_future(pump(client_reader, upstream_writer))
    first = None
    deadline = None
    try:
        while True:
            timeout = None if deadline is None else max(0.0, deadline - time.monotonic())
            try:
                data = await asyncio.wait_for(upstream_reader.read(16384), timeout)
            except asyncio.TimeoutError:
                break
            if not data:
                note(connection, "upstream-closed")
                break
            if first is None:
                first = time.monotonic()
                deadline = first + drop_after
                note(connection, "first-byte")
            client_writer.write(data)
            await client_writer.drain()
    except ConnectionError:
        note(connection, "listener-gone")
        request.cancel()
        upstream_writer.close()
        return
    if stalls:
        note(connection, "stall", f"{stall:.3f}")
        end = time.monotonic() + stall
        # Still reading from the server, so what it sends meanwhile is never sent on.
        while (left := end - time.monotonic()) > 0:
            try:
                if not await asyncio.wait_for(upstream_reader.read(16384), left):
                    break
            except asyncio.TimeoutError:
                break
    else:
        pending_hold = hold_next
        note(connection, "hold-next", f"{hold_next:.3f}")
    note(connection, "reset" if reset else "fin")
    close(client_writer, reset)
    request.cancel()
    upstream_writer.close()


async def main():
    server = await asyncio.start_server(listener, "127.0.0.1", listen_port, reuse_address=True)
    note(0, "listening", listen_port)
    async with server:
        await asyncio.sleep(seconds)
    note(0, "done")


asyncio.run(main())
