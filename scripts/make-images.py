#!/usr/bin/env python3
"""Draws the bundle's own images and sounds (run once; the results are committed):
resources/handytyp.png         the splash screen's picture: a warm sky over hills
resources/reedlight_blume.png  the splash screen's logo mask: a five-petal flower in the alpha channel
resources/web/media/sample.png a small picture for the demo's preview
resources/web/media/tone.wav   a 3-second 440 Hz tone for the demo's audio commands
desktop/icons/…                the application's icon, the splash screen's picture seen through its
                               flower: 128 and 256 px PNG, and the same drawing as SVG
Only the standard library: PNG chunks by hand with zlib, WAV with the wave module."""
import math
import os
import struct
import wave
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
ICONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "desktop", "icons")
ICON_ID = "org.webcontainer.app"
# The square of the 960 x 720 picture the icon shows: the sun stands in the upper right petal.
ICON_CROP = (316, 87, 600)


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


def hill_line(u):
    """The hills' top at horizontal position u (0..1), as a fraction of the height."""
    return 0.62 + 0.08 * math.sin(u * 5.0) + 0.05 * math.sin(u * 13.0 + 1.0)


def landscape(width, height):
    def pixel(x, y):
        t = y / height
        hill = hill_line(x / width)
        if t > hill:
            shade = 0.75 + 0.25 * math.sin(x / 37.0 + y / 23.0)
            return (int(40 * shade), int(130 * shade), int(70 * shade))
        sun = math.hypot(x - width * 0.7, y - height * 0.3) / (width * 0.12)
        if sun < 1.0:
            return (255, 214, 120)
        return (int(250 - 120 * t), int(150 + 60 * t), int(90 + 150 * t))
    return pixel


def flower_edge(angle):
    """The flower's outline: its radius (1 the half width) at an angle."""
    return 0.55 + 0.4 * abs(math.cos(2.5 * angle))


def inside_flower(dx, dy):
    """Whether a point (from the centre, 1 the half width) lies inside the flower."""
    r = math.hypot(dx, dy)
    return r < flower_edge(math.atan2(dy, dx)) or r < 0.3


def flower(size):
    centre = size / 2.0

    def pixel(x, y):
        a = 255 if inside_flower((x + 0.5 - centre) / centre, (y + 0.5 - centre) / centre) else 0
        return (255, 255, 255, a)
    return pixel


def icon(size, samples=4):
    """The landscape seen through the flower, its edge smoothed by samples x samples per pixel."""
    scene = landscape(960, 720)
    left, top, side = ICON_CROP

    def pixel(x, y):
        covered, total = 0, [0, 0, 0]
        for i in range(samples):
            for j in range(samples):
                u = (x + (i + 0.5) / samples) / size
                v = (y + (j + 0.5) / samples) / size
                if inside_flower(2 * u - 1, 2 * v - 1):
                    covered += 1
                    for c, value in enumerate(scene(left + u * side, top + v * side)):
                        total[c] += value
        if not covered:
            return (0, 0, 0, 0)
        return tuple(round(t / covered) for t in total) + (round(255 * covered / samples ** 2),)
    return pixel


def icon_svg(path):
    """The icon's drawing as SVG: the sky's gradient, the sun, the hills (in their mean shade)
    and the flower's outline as the clip."""
    left, top, side = ICON_CROP
    outline = " ".join(
        "%.2f,%.2f" % (128 + 128 * flower_edge(a) * math.cos(a), 128 + 128 * flower_edge(a) * math.sin(a))
        for a in (2 * math.pi * k / 720 for k in range(720)))
    hills = " ".join("%d,%.1f" % (x, 720 * hill_line(x / 960)) for x in range(0, 961, 8))
    with open(path, "w") as out:
        out.write(f"""<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <clipPath id="flower"><polygon points="{outline}"/></clipPath>
    <linearGradient id="sky" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="0" y2="720">
      <stop offset="0" stop-color="rgb(250,150,90)"/>
      <stop offset="1" stop-color="rgb(130,210,240)"/>
    </linearGradient>
  </defs>
  <g clip-path="url(#flower)">
    <g transform="scale({256 / side:.6f}) translate({-left},{-top})">
      <rect width="960" height="720" fill="url(#sky)"/>
      <circle cx="672" cy="216" r="115.2" fill="rgb(255,214,120)"/>
      <polygon points="0,720 {hills} 960,720" fill="rgb(30,98,53)"/>
    </g>
  </g>
</svg>
""")


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
    for size in (128, 256):
        folder = os.path.join(ICONS, "%dx%d" % (size, size))
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, ICON_ID + ".png"), size, size, icon(size), True)
    os.makedirs(os.path.join(ICONS, "scalable"), exist_ok=True)
    icon_svg(os.path.join(ICONS, "scalable", ICON_ID + ".svg"))
