#!/usr/bin/env python3
"""Builds tone-he-aac.aac: 3 s of HE-AAC (AAC-LC core + SBR) in ADTS, 440 Hz left, 1 kHz right.

No HE-AAC encoder ships here, so the SBR layer is written by hand: the tone is encoded as
AAC-LC at 22050 Hz by the ffmpeg CLI, and every raw data block gets a fill element with an
SBR extension payload right after its channel pair element (implicit signalling, as HE-AAC
in ADTS carries it). A decoder then runs at 44100 Hz and reports the HE profile.

The SBR payload is the smallest valid one: a header in every frame, one FIXFIX envelope,
one envelope band and one noise band per channel, so no Huffman code is needed:
  44100 Hz SBR rate: start_min 12, offset +6 (bs_start_freq 10) gives k0 = 18;
  bs_stop_freq 0 gives k2 = stop_min = 23; linear scale with bs_alter_scale 1 gives the
  master table 18, 20, 23; bs_xover_band 0 gives kx = 18 (about 6.2 kHz) and two high
  bands, one low band; bs_noise_bands 0 gives one noise band.
The high band gets the lowest envelope energy and a negligible noise floor, so the output
is the core's tones, band-replicated at the SBR rate.

Usage: make-he-aac-fixture.py OUTPUT.aac
"""
import math
import struct
import subprocess
import sys

CORE_RATE = 22050
SECONDS = 3.0


def tone_pcm():
    frames = int(CORE_RATE * SECONDS)
    out = bytearray()
    for n in range(frames):
        left = 0.5 * math.sin(2 * math.pi * 440.0 * n / CORE_RATE)
        right = 0.5 * math.sin(2 * math.pi * 1000.0 * n / CORE_RATE)
        out += struct.pack("<hh", int(round(left * 32767)), int(round(right * 32767)))
    return bytes(out)


def encode_lc(pcm):
    return subprocess.run(
        ["ffmpeg", "-hide_banner", "-loglevel", "error", "-f", "s16le", "-ar", str(CORE_RATE),
         "-ac", "2", "-i", "-", "-c:a", "aac", "-b:a", "48k", "-flags", "+bitexact",
         "-f", "adts", "-"],
        input=pcm, stdout=subprocess.PIPE, check=True).stdout


class Bits:
    def __init__(self):
        self.bits = []

    def put(self, value, count):
        for i in range(count - 1, -1, -1):
            self.bits.append((value >> i) & 1)

    def extend(self, bits):
        self.bits.extend(bits)


def sbr_payload_bits():
    b = Bits()
    b.put(1, 1)    # bs_header_flag
    b.put(0, 1)    # bs_amp_res
    b.put(10, 4)   # bs_start_freq: k0 = 18
    b.put(0, 4)    # bs_stop_freq: k2 = 23
    b.put(0, 3)    # bs_xover_band
    b.put(0, 2)    # bs_reserved
    b.put(1, 1)    # bs_header_extra_1
    b.put(0, 1)    # bs_header_extra_2
    b.put(0, 2)    # bs_freq_scale: linear
    b.put(1, 1)    # bs_alter_scale
    b.put(0, 2)    # bs_noise_bands: one noise band
    # sbr_channel_pair_element
    b.put(0, 1)    # bs_data_extra
    b.put(0, 1)    # bs_coupling
    for _ in range(2):  # sbr_grid per channel: FIXFIX, one envelope, low frequency resolution
        b.put(0, 2)
        b.put(0, 2)
        b.put(0, 1)
    for _ in range(2):  # sbr_dtdf: frequency-direction coding
        b.put(0, 1)
        b.put(0, 1)
    for _ in range(2):  # sbr_invf: one noise band
        b.put(0, 2)
    for _ in range(2):  # sbr_envelope: one band, 7-bit start value (1.5 dB steps)
        b.put(0, 7)
    for _ in range(2):  # sbr_noise: one band, 5-bit start value
        b.put(30, 5)
    b.put(0, 1)    # bs_add_harmonic_flag, left
    b.put(0, 1)    # bs_add_harmonic_flag, right
    b.put(0, 1)    # bs_extended_data
    return b.bits


def fill_element_bits():
    payload = [1, 1, 0, 1] + sbr_payload_bits()  # extension_type EXT_SBR_DATA (13)
    while len(payload) % 8:
        payload.append(0)
    count = len(payload) // 8
    b = Bits()
    b.put(6, 3)  # ID_FIL
    if count < 15:
        b.put(count, 4)
    else:
        b.put(15, 4)
        b.put(count - 14, 8)
    b.extend(payload)
    return b.bits


def to_bits(data):
    return [(byte >> (7 - i)) & 1 for byte in data for i in range(8)]


def to_bytes(bits):
    bits = bits + [0] * (-len(bits) % 8)
    return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def add_sbr(adts):
    out = bytearray()
    fill = fill_element_bits()
    pos = 0
    while pos + 7 <= len(adts):
        header = bytearray(adts[pos:pos + 7])
        if header[0] != 0xFF or (header[1] & 0xF6) != 0xF0:
            raise SystemExit("lost ADTS sync at byte %d" % pos)
        if not header[1] & 1:
            raise SystemExit("CRC-protected ADTS frames are not handled")
        length = ((header[3] & 3) << 11) | (header[4] << 3) | (header[5] >> 5)
        block = to_bits(adts[pos + 7:pos + length])
        # The block ends with ID_END (111) and zero padding: the last set bit closes it.
        end = max(i for i, bit in enumerate(block) if bit) - 2
        if block[end:end + 3] != [1, 1, 1]:
            raise SystemExit("no END element in the frame at byte %d" % pos)
        rebuilt = to_bytes(block[:end] + fill + [1, 1, 1])
        new_length = 7 + len(rebuilt)
        header[3] = (header[3] & 0xFC) | (new_length >> 11)
        header[4] = (new_length >> 3) & 0xFF
        header[5] = (header[5] & 0x1F) | ((new_length & 7) << 5)
        out += header + rebuilt
        pos += length
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    with open(sys.argv[1], "wb") as f:
        f.write(add_sbr(encode_lc(tone_pcm())))


if __name__ == "__main__":
    main()
