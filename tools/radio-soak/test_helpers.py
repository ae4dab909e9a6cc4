"""Checks of the soak's helpers: python3 -m unittest discover -s tools/radio-soak"""
import asyncio
import io
import os
import subprocess
import sys
import tempfile
import time
import unittest

import draw
import proxy

HERE = os.path.dirname(os.path.abspath(__file__))


class DrawTest(unittest.TestCase):
    def test_fewer_runs_are_the_first_of_more(self):
        self.assertEqual([draw.draw(7, i) for i in range(4)], [draw.draw(7, i) for i in range(8)][:4])
        self.assertNotEqual(draw.draw(7, 0), draw.draw(8, 0))

    def test_draws_stay_within_what_the_encoders_take_and_reach_every_kind(self):
        seen = set()
        for i in range(3000):
            codec, rate, channels, bitrate, content, share, times, rtt = draw.draw(1, i)
            seen.update({codec, rate, channels, content, bitrate[0] == "q", share == 0})
            self.assertTrue(1.5 <= times <= 50 and 0 <= rtt <= 300 and 0 <= share <= 1)
            if bitrate[0] == "q":
                self.assertEqual(codec, "mp3")
                continue
            kbps = int(bitrate[:-1])
            if codec == "mp3":
                self.assertIn(kbps, draw.MPEG1_KBPS if rate >= 32000 else draw.MPEG2_KBPS)
                self.assertLessEqual(kbps, 64 if rate < 16000 else 320)
            else:
                self.assertTrue(16 <= kbps <= 6 * rate * channels / 1000)
        self.assertTrue(seen >= {"mp3", "aac", 1, 2, True, False, *draw.RATES, *draw.CONTENTS})

    def test_burst_is_at_most_512_kib_and_a_minute(self):
        self.assertEqual(draw.sizes(3000 * 100, 100, 1.0, 2)[1], 180000)  # a minute at 3 kB/s
        self.assertEqual(draw.sizes(40000 * 100, 100, 1.0, 2)[1], 512 * 1024)
        self.assertEqual(draw.sizes(40000 * 100, 100, 0.0, 2)[1], 0)
        byte_rate, burst, link, longest = draw.sizes(16000 * 100, 100, 0.5, 3)
        self.assertEqual((byte_rate, link), (16000, 48000))
        self.assertAlmostEqual(longest, 1.5 * burst / 16000 + 2)


class LinkTest(unittest.TestCase):
    def test_the_rate_bounds_a_fast_sender(self):
        link = proxy.Link(10000, 0)
        self.assertAlmostEqual([link.arrival(0.0, 1000) for _ in range(10)][-1], 1.0)

    def test_slow_start_doubles_each_round_trip(self):
        link = proxy.Link(1e9, 0.1)
        came = [link.arrival(0.0, proxy.SEGMENT) for _ in range(31)]
        self.assertLess(came[9], 0.051)  # ten segments in the first round trip, half of it late
        self.assertGreaterEqual(came[10], 0.15)
        self.assertLess(came[29], 0.151)  # twenty in the second
        self.assertGreaterEqual(came[30], 0.25)

    def test_slow_start_ends_where_the_rate_fills_the_window(self):
        link = proxy.Link(100000, 0.2)
        # 14 kB in the first round trip, the 36 kB after it at the rate, half a round trip late.
        self.assertAlmostEqual([link.arrival(0.0, 1000) for _ in range(50)][-1], 0.2 + 0.36 + 0.1)


class BodyTest(unittest.TestCase):
    def test_headers_and_titles_are_not_audio(self):
        body = proxy.Body()
        response = b"HTTP/1.0 200 OK\r\nicy-metaint: 4\r\n\r\n" + b"abcd" + b"\x01" + 16 * b"t" + b"efgh" + b"\x00" + b"ij"
        for at in range(0, len(response), 5):
            body.take(response[at : at + 5])
        start = response.index(b"abcd")
        self.assertEqual(body.audio(), 10)
        self.assertEqual(body.audio(start + 4 + 9), 4)  # inside the title
        self.assertEqual(body.audio(start + 4 + 17 + 2), 6)


class ProxyTest(unittest.TestCase):
    def test_paces_delays_and_logs_what_it_passed_on(self):
        log = io.StringIO()
        rate, rtt = 20000, 0.2

        async def scenario():
            async def station(reader, writer):
                await reader.readuntil(b"\r\n\r\n")
                writer.write(b"HTTP/1.0 200 OK\r\n\r\n" + bytes(60000))
                await writer.drain()
                await reader.read()

            upstream = await asyncio.start_server(station, "127.0.0.1", 0)
            link = proxy.Proxy(upstream.sockets[0].getsockname()[1], 1, log, rate, rtt, 2.0)
            server = await asyncio.start_server(link.listener, "127.0.0.1", 0)
            reader, writer = await asyncio.open_connection("127.0.0.1", server.sockets[0].getsockname()[1])
            asked = time.monotonic()
            writer.write(b"GET / HTTP/1.0\r\n\r\n")
            got = await reader.read(1)
            first = time.monotonic() - asked
            while time.monotonic() < asked + 1.5:
                got += await asyncio.wait_for(reader.read(65536), 1.0)
            writer.close()
            await asyncio.sleep(0.1)
            server.close()
            upstream.close()
            return first, len(got)

        first, count = asyncio.run(scenario())
        # A handshake, the request's way there and back, and the first segment over the link.
        least = 2 * rtt + proxy.SEGMENT / rate
        self.assertTrue(least <= first < least + 0.1, first)
        self.assertAlmostEqual(count, (1.5 - 2 * rtt) * rate, delta=0.05 * rate)
        sent = [int(line.split()[3]) for line in log.getvalue().splitlines() if " sent " in line]
        upstream = [int(line.split()[3]) for line in log.getvalue().splitlines() if " upstream " in line]
        self.assertEqual(sent[-1], count - len(b"HTTP/1.0 200 OK\r\n\r\n"))
        self.assertEqual(upstream[-1], 60000)
        self.assertIn("listener-gone", log.getvalue())


class OnAirTest(unittest.TestCase):
    def test_keeps_the_earliest_time_zero(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "onair")
            stamp = subprocess.Popen([sys.executable, os.path.join(HERE, "onair.py"), path], stdin=subprocess.PIPE)
            stamp.stdin.write(b"out_time_us=N/A\nout_time_us=0\n")
            stamp.stdin.flush()
            while not os.path.exists(path):  # it runs
                time.sleep(0.01)
            sent = time.monotonic()
            stamp.stdin.write(b"out_time_us=3000000\n")
            stamp.stdin.flush()
            time.sleep(0.3)
            stamp.stdin.write(b"out_time_us=3100000\n")  # came 0.2 s later than its time
            stamp.stdin.close()
            stamp.wait()
            with open(path) as f:
                self.assertAlmostEqual(float(f.read()), sent - 3.0, delta=0.02)


if __name__ == "__main__":
    unittest.main()
