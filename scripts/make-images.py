#!/usr/bin/env python3
"""Draws the bundle's own images and sounds (run once; the results are committed):
resources/handytyp.png         the splash screen's picture: a warm sky over hills
resources/reedlight_blume.png  the splash screen's logo mask: a five-petal flower in the alpha channel
resources/web/media/sample.png a small picture for the demo's preview
resources/web/media/tone.wav   a 3-second 440 Hz tone for the demo's audio commands
Only the standard library: PNG chunks by hand with zlib, WAV with the wave module."""
import math
import os
import struct
import wave
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")


def write_png(path, width, height, pixel, alpha):
    channels = 4 if alpha else 3
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
                  + chunk(b"IEND", b""))


def landscape(width, height):
    def pixel(x, y):
        t = y / height
        hill = 0.62 + 0.08 * math.sin(x / width * 5.0) + 0.05 * math.sin(x / width * 13.0 + 1.0)
        if t > hill:
            shade = 0.75 + 0.25 * math.sin(x / 37.0 + y / 23.0)
            return (int(40 * shade), int(130 * shade), int(70 * shade))
        sun = math.hypot(x - width * 0.7, y - height * 0.3) / (width * 0.12)
        if sun < 1.0:
            return (255, 214, 120)
        return (int(250 - 120 * t), int(150 + 60 * t), int(90 + 150 * t))
    return pixel


def flower(size):
    centre = size / 2.0

    def pixel(x, y):
        dx, dy = x + 0.5 - centre, y + 0.5 - centre
        r = math.hypot(dx, dy) / centre
        angle = math.atan2(dy, dx)
        edge = 0.55 + 0.4 * abs(math.cos(2.5 * angle))
        inside = r < edge or r < 0.3
        a = 255 if inside else 0
        return (255, 255, 255, a)
    return pixel


def tone(path, seconds, rate=8000):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(1)
        out.setframerate(rate)
        out.writeframes(bytes(int(128 + 60 * math.sin(2 * math.pi * 440 * i / rate)) for i in range(seconds * rate)))


if __name__ == "__main__":
    write_png(os.path.join(ROOT, "handytyp.png"), 960, 720, landscape(960, 720), False)
    write_png(os.path.join(ROOT, "reedlight_blume.png"), 256, 256, flower(256), True)
    write_png(os.path.join(ROOT, "web", "media", "sample.png"), 160, 120, landscape(160, 120), False)
    tone(os.path.join(ROOT, "web", "media", "tone.wav"), 3)
