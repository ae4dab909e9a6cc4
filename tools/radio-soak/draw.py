#!/usr/bin/env python3
"""Draws the radio soak's runs from a seed (scripts/soak-radio).

    draw.py runs SEED COUNT
        a line per run: codec rate channels bitrate content burst-share link-times rtt-ms
        (bitrate "128k", or "q4" for MP3 of variable bitrate at that quality)
    draw.py sizes BYTES SECONDS BURST_SHARE LINK_TIMES
        for a file of BYTES holding SECONDS of audio: its byte rate, the burst in bytes,
        the link's rate in bytes/s and the longest outage the proxy draws, in seconds

Run i is drawn from the seed and i alone, so fewer runs are the first of more. What depends
on the stream's byte rate is sized on the encoded file, since a variable bitrate has no
rate of its own.
"""
import math
import random
import sys

RATES = (8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000)
CONTENTS = ("sweep", "phrases", "tone", "noise", "low-note", "silence-music")
# Layer III's bit rates: MPEG-1 at 32-48 kHz, MPEG-2 at 16-24 kHz, MPEG-2.5 at 8-12 kHz,
# where libmp3lame encodes no more than 64 kbps (asked for more, it quietly gives 64).
MPEG1_KBPS = (32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320)
MPEG2_KBPS = (8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160)
LEAST_KBPS, MOST_KBPS = 16, 320
BURST_MOST = 512 * 1024
BURST_MOST_SECONDS = 60.0
BURST_LEAST = 1024


def mp3_kbps(rate):
    table = MPEG1_KBPS if rate >= 32000 else MPEG2_KBPS
    most = 64 if rate < 16000 else MOST_KBPS
    return [k for k in table if LEAST_KBPS <= k <= most]


def aac_most_kbps(rate, channels):
    # ffmpeg's aac encoder clamps anything above 6144 bits per channel in a 1024-sample frame.
    return min(MOST_KBPS, 6 * rate * channels // 1000)


def log_uniform(r, low, high):
    return math.exp(r.uniform(math.log(low), math.log(high)))


def draw(seed, index):
    r = random.Random(f"{seed}/{index}")
    # Every value is drawn whatever the others are, so that each keeps its place in the
    # sequence.
    codec = r.choice(("mp3", "aac"))
    rate = r.choice(RATES)
    channels = r.choice((1, 2))
    wanted = log_uniform(r, LEAST_KBPS, MOST_KBPS)
    variable = r.random() < 0.5
    quality = r.randint(0, 9)
    content = r.choice(CONTENTS)
    burst_share = 0.0 if r.random() < 0.125 else r.random()
    link_times = log_uniform(r, 1.5, 50.0)
    rtt_ms = r.uniform(0.0, 300.0)
    if codec == "mp3":
        # libmp3lame's VBR (-q:a) is what stations use; ffmpeg's own AAC encoder has only an
        # experimental VBR mode, so AAC stays at a constant bitrate.
        bitrate = f"q{quality}" if variable else f"{min(mp3_kbps(rate), key=lambda k: abs(math.log(k / wanted)))}k"
    else:
        bitrate = f"{min(round(wanted), aac_most_kbps(rate, channels))}k"
    return codec, rate, channels, bitrate, content, burst_share, link_times, rtt_ms


def sizes(size, seconds, burst_share, link_times):
    byte_rate = size / seconds
    most = min(BURST_MOST, BURST_MOST_SECONDS * byte_rate)
    burst = 0 if burst_share == 0 else round(BURST_LEAST * (most / BURST_LEAST) ** burst_share)
    # Outages reach from half a second to well beyond what the burst can cover.
    longest_outage = 1.5 * burst / byte_rate + 2.0
    return byte_rate, burst, link_times * byte_rate, longest_outage


def main(argv):
    if len(argv) == 4 and argv[1] == "runs":
        for index in range(int(argv[3])):
            codec, rate, channels, bitrate, content, share, times, rtt = draw(int(argv[2]), index)
            print(f"{codec} {rate} {channels} {bitrate} {content} {share:.6f} {times:.4f} {rtt:.1f}")
    elif len(argv) == 6 and argv[1] == "sizes":
        byte_rate, burst, link, longest = sizes(int(argv[2]), float(argv[3]), float(argv[4]), float(argv[5]))
        print(f"{byte_rate:.1f} {burst} {link:.0f} {longest:.2f}")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
