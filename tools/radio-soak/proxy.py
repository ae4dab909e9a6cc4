#!/usr/bin/env python3
"""Stands between the receiver and the streaming server on loopback: a link of a given rate
and round trip, which drops its listeners.

The link passes the server's bytes on no faster than RATE bytes/s (a token bucket one piece
deep), each piece arriving half of RTT seconds after it left. A new connection starts slow,
as TCP does: its first round trip carries ten segments, each one after twice as many, until
the rate bounds it. Its request reaches the server a handshake and half a round trip late.

Each listener is dropped 5-12 s after its first byte of audio: the link goes down (what it
still carried is lost), and either the proxy stays silent for an outage and then closes
(FIN or RST), or it closes at once and holds the next connection for an outage before
passing it on. Outages are log-uniform from 0.5 s to LONGEST seconds. Every choice comes
from one generator seeded on the command line, drawn in the order connections arrive, so a
run with the same seed makes the same plan.

Events go to the log as "<monotonic seconds> <connection> <event> [value]". "upstream N"
and "sent N" count the audio bytes (past the headers, less the in-band titles) the server
had sent and the link had passed on: the player places each connection on the source by
when the server sent them, not by when a slow link brought them.

    proxy.py LISTEN_PORT UPSTREAM_PORT SEED LOG SECONDS RATE RTT LONGEST
"""
import asyncio
import collections
import math
import random
import socket
import struct
import sys
import time

SEGMENT = 1460
INITIAL_WINDOW = 10 * SEGMENT


class Link:
    """When the pieces sent down one connection arrive."""

    def __init__(self, rate, rtt):
        self.rate, self.rtt = rate, rtt
        self.free = 0.0  # when the link has sent all it was given
        self.origin = None  # when its first piece left: the first round trip's start
        self.sent = 0

    def arrival(self, now, size):
        start = max(now, self.free)
        if self.origin is None:
            self.origin = start
        # The round trip whose window, with those before it, takes these bytes; from the
        # round trip whose window the rate fills on, only the rate bounds.
        rounds, window, allowed = 0, INITIAL_WINDOW, INITIAL_WINDOW
        while allowed < self.sent + size and window < self.rate * self.rtt:
            rounds += 1
            window *= 2
            allowed += window
        start = max(start, self.origin + rounds * self.rtt)
        self.free = start + size / self.rate
        self.sent += size
        return self.free + self.rtt / 2


class Body:
    """Counts the audio bytes of a response: past its headers, less the in-band titles."""

    def __init__(self):
        self.head = b""
        self.start = None  # where the body begins in the response
        self.interval = 0  # audio bytes between titles
        self.received = 0
        self.titles = []  # (where in the response, length) of each title block
        self.next_title = None

    def take(self, data):
        offset = self.received
        self.received += len(data)
        if self.start is None:
            self.head += data
            end = self.head.find(b"\r\n\r\n")
            if end < 0:
                return
            self.start = end + 4
            for line in self.head[:end].split(b"\r\n")[1:]:
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"icy-metaint" and value.strip().isdigit():
                    self.interval = int(value.strip())
            self.head = b""
            if self.interval:
                self.next_title = self.start + self.interval
        while self.interval and self.next_title < self.received:
            length = 1 + 16 * data[self.next_title - offset]
            self.titles.append((self.next_title, length))
            self.next_title += length + self.interval

    def audio(self, prefix=None):
        """Audio bytes among the first `prefix` bytes of the response (all received: None)."""
        prefix = self.received if prefix is None else prefix
        if self.start is None or prefix <= self.start:
            return 0
        count = prefix - self.start
        for at, length in self.titles:
            if at >= prefix:
                break
            count -= min(length, prefix - at)
        return count


class Proxy:
    def __init__(self, upstream_port, seed, log, rate, rtt, longest):
        self.upstream_port, self.log = upstream_port, log
        self.rate, self.rtt, self.longest = rate, rtt, max(longest, 0.5)
        self.rng = random.Random(seed)
        self.pending_hold = 0.0
        self.serial = 0
        # Pieces small enough to pace the link evenly, a segment at least.
        self.piece = max(SEGMENT, min(16384, int(rate / 100)))

    def note(self, connection, event, value="", at=None):
        at = time.monotonic() if at is None else at
        self.log.write(f"{at:.6f} {connection} {event} {value}".rstrip() + "\n")

    def outage(self):
        return math.exp(self.rng.uniform(math.log(0.5), math.log(self.longest)))

    async def listener(self, client_reader, client_writer):
        self.serial += 1
        connection = self.serial
        # Drawn here, in arrival order, all at once: the plan does not depend on timing.
        drop_after = self.rng.uniform(5.0, 12.0)
        stalls = self.rng.random() < 0.5
        stall = self.outage()
        reset = self.rng.random() < 0.5
        hold_next = self.outage()
        hold, self.pending_hold = self.pending_hold, 0.0
        note = lambda event, value="", at=None: self.note(connection, event, value, at)
        note("accepted", f"{hold:.3f}")
        # The hold, then the handshake's round trip before the request can leave.
        await asyncio.sleep(hold + self.rtt)
        try:
            upstream_reader, upstream_writer = await asyncio.open_connection("127.0.0.1", self.upstream_port)
        except OSError:
            note("upstream-refused")
            close(client_writer, True)
            return
        loop = asyncio.get_running_loop()
        link, body = Link(self.rate, self.rtt), Body()
        pieces = collections.deque()  # (arrival, bytes)
        waiting = asyncio.Event()
        first_audio = loop.create_future()
        down = False

        async def request():
            # The listener's bytes, half a round trip late; ends when the listener leaves.
            try:
                while data := await client_reader.read(65536):
                    loop.call_later(self.rtt / 2, upstream_writer.write, data)
            except ConnectionError:
                pass

        async def receive():
            try:
                await pass_on()
            except ConnectionError:
                pass
            note("upstream-closed")

        async def pass_on():
            while data := await upstream_reader.read(16384):
                now = time.monotonic()
                body.take(data)
                note("upstream", body.audio(), now)
                if down:
                    continue  # the link is down: what the server sends now is never passed on
                for at in range(0, len(data), self.piece):
                    chunk = data[at : at + self.piece]
                    pieces.append((link.arrival(now, len(chunk)), chunk))
                waiting.set()

        async def deliver():
            try:
                await bring()
            except ConnectionError:
                pass  # the listener left

        async def bring():
            passed = 0
            while True:
                while not pieces:
                    waiting.clear()
                    await waiting.wait()
                delay = pieces[0][0] - time.monotonic()
                if delay > 0:
                    await asyncio.sleep(delay)
                now = time.monotonic()
                batch = []
                while pieces and pieces[0][0] <= now:
                    batch.append(pieces.popleft()[1])
                data = b"".join(batch)
                # Logged as sent when it was written: the listener may have it at once.
                now = time.monotonic()
                client_writer.write(data)
                passed += len(data)
                audio = body.audio(passed)
                if audio and not first_audio.done():
                    note("first-audio", "", now)
                    first_audio.set_result(now)
                note("sent", audio, now)
                await client_writer.drain()

        tasks = [asyncio.ensure_future(c()) for c in (request, receive, deliver)]
        requesting, receiving, delivering = tasks
        ended = lambda: any(t.done() for t in tasks)
        await asyncio.wait(tasks + [first_audio], return_when=asyncio.FIRST_COMPLETED)
        if first_audio.done() and not ended():
            left = first_audio.result() + drop_after - time.monotonic()
            await asyncio.wait(tasks, timeout=max(0.0, left), return_when=asyncio.FIRST_COMPLETED)
        if requesting.done() or delivering.done():
            note("listener-gone")
            for task in tasks:
                task.cancel()
            upstream_writer.close()
            close(client_writer, True)
            return
        if receiving.done():
            # The server ended: what the link still carries arrives, then the end.
            while pieces and not delivering.done():
                await asyncio.sleep(0.05)
            stalls = False
        down = True
        delivering.cancel()
        pieces.clear()
        if stalls:
            note("stall", f"{stall:.3f}")
            await asyncio.sleep(stall)
        else:
            self.pending_hold = hold_next
            note("hold-next", f"{hold_next:.3f}")
        note("reset" if reset else "fin")
        close(client_writer, reset)
        for task in tasks:
            task.cancel()
        upstream_writer.close()


def close(writer, reset):
    if reset:
        sock = writer.get_extra_info("socket")
        if sock is not None:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        writer.transport.abort()
    else:
        writer.close()


async def serve(listen_port, proxy, seconds):
    server = await asyncio.start_server(proxy.listener, "127.0.0.1", listen_port, reuse_address=True)
    proxy.note(0, "listening", listen_port)
    async with server:
        await asyncio.sleep(seconds)
    proxy.note(0, "done")


def main(argv):
    if len(argv) != 9:
        sys.exit(__doc__)
    listen_port, upstream_port, seed, log_path = int(argv[1]), int(argv[2]), int(argv[3]), argv[4]
    seconds, rate, rtt, longest = (float(a) for a in argv[5:9])
    log = open(log_path, "w", buffering=1)
    proxy = Proxy(upstream_port, seed, log, rate, rtt, longest)
    proxy.note(0, "link", f"{rate:.0f} {rtt:.3f} {longest:.2f}")
    asyncio.run(serve(listen_port, proxy, seconds))


if __name__ == "__main__":
    main(sys.argv)
