#!/usr/bin/env python3
"""Tells when the source went on the air, on the steady clock, from ffmpeg's progress.

ffmpeg takes a good half second to start, so the time it was launched is too early. With
-re it sends each frame once its time has come, and it reports the time it has sent up to
no sooner than it sent it: the earliest (report's arrival - time reported) is when time
zero of the file was on the air. Reads the progress on stdin, keeps the estimate in FILE.

    ffmpeg -re ... -progress PIPE -stats_period 0.05 ... ; onair.py FILE < PIPE
"""
import os
import sys
import time


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    best = None
    for line in iter(sys.stdin.buffer.readline, b""):
        name, _, value = line.decode(errors="replace").strip().partition("=")
        if name != "out_time_us" or not value.isdigit():
            continue
        at = time.monotonic() - int(value) / 1e6
        if best is None or at < best:
            best = at
            with open(argv[1] + ".new", "w") as out:
                out.write(f"{best:.6f}\n")
            os.replace(argv[1] + ".new", argv[1])


if __name__ == "__main__":
    main(sys.argv)
