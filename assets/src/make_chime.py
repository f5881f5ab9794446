#!/usr/bin/env python3
"""Writes tada.wav: a short, bright chime (three rising bell strikes and a soft landing)."""
import math
import struct
import sys
import wave

RATE = 44100
LENGTH = 1.3
# Bell-like partials: ratio to the struck note, loudness, how fast each one fades.
PARTIALS = [(1.0, 1.0, 3.2), (2.0, 0.45, 4.5), (2.76, 0.28, 6.0), (5.4, 0.12, 9.0), (8.93, 0.05, 13.0)]
# (start in seconds, frequency in Hz, loudness)
STRIKES = [(0.00, 783.99, 0.55), (0.11, 987.77, 0.55), (0.22, 1174.66, 0.6), (0.36, 1567.98, 0.75)]


def sample(t):
    v = 0.0
    for start, freq, loud in STRIKES:
        dt = t - start
        if dt < 0:
            continue
        attack = min(1.0, dt / 0.004)
        for ratio, amp, decay in PARTIALS:
            v += loud * amp * attack * math.exp(-decay * dt) * math.sin(2 * math.pi * freq * ratio * dt)
    # Fade the last 150 ms to silence so the end never clicks.
    tail = LENGTH - t
    if tail < 0.15:
        v *= max(0.0, tail / 0.15)
    return v


def main(path):
    frames = [sample(i / RATE) for i in range(int(RATE * LENGTH))]
    peak = max(abs(x) for x in frames) or 1.0
    scale = 0.7 * 32767 / peak
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(round(x * scale))) for x in frames))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tada.wav")
