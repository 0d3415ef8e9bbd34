#!/usr/bin/env python3
"""Draw the Dealbrix application icon: two dice and a little house on a green board square.

Outputs (relative to this file):
  icons/hicolor/scalable/apps/org.dealbrix.Dealbrix.svg
  icons/hicolor/NxN/apps/org.dealbrix.Dealbrix.png   (N = 16, 24, 32, 48, 64, 128, 256, 512)

The picture is one list of filled shapes on a 64 x 64 grid. The SVG is written from that list by
hand, and the PNGs are painted from the same list with Pillow, much larger, then scaled down, so
every size shows the same drawing. Run with Debian's Python (it has PIL):

  /usr/bin/python3 assets/make_icon.py
"""

import os

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
APP_ID = "org.dealbrix.Dealbrix"
GRID = 64                                   # the drawing's own units
SIZES = (16, 24, 32, 48, 64, 128, 256, 512)
SUPERSAMPLE = 8                             # PNGs are painted this much larger, then reduced

BOARD_EDGE = "#17542c"
BOARD = "#2f9152"
ROOF = "#8f1d16"
WALL = "#e0452f"
DOOR = "#fbe8c0"
DIE_EDGE = "#1c1c21"
DIE_FACE = "#fdfdf8"
PIP = "#1c1c21"
PIP_RADIUS = 3.3


def die(left, top, size, pips):
    """A die: dark rim, white face, pips given as (column, row) on a 3 x 3 grid."""
    rim = 1.6
    shapes = [
        ("rect", (left, top, left + size, top + size), 5.5, DIE_EDGE),
        ("rect", (left + rim, top + rim, left + size - rim, top + size - rim), 4.2, DIE_FACE),
    ]
    step = (size - 2 * rim) / 4
    for column, row in pips:
        cx = left + rim + step * (1 + column)
        cy = top + rim + step * (1 + row)
        shapes.append(("circle", (cx, cy), PIP_RADIUS, PIP))
    return shapes


# Back to front: the board square, the house at the top, then the two dice side by side (three, four).
SHAPES = [
    ("rect", (1, 1, 63, 63), 12, BOARD_EDGE),
    ("rect", (3.5, 3.5, 60.5, 60.5), 10, BOARD),
    ("polygon", ((15, 23), (32, 6), (49, 23)), None, ROOF),
    ("rect", (20, 21, 44, 33), 0, WALL),
    ("rect", (29, 24.5, 35, 33), 0, DOOR),
] + die(6, 34, 24, ((0, 0), (1, 1), (2, 2))) + die(34, 34, 24, ((0, 0), (2, 0), (0, 2), (2, 2)))


def number(value):
    return f"{value:g}"


def svg_text():
    """The SVG, written element by element from SHAPES."""
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{GRID}" height="{GRID}" '
        f'viewBox="0 0 {GRID} {GRID}">',
        "  <title>Dealbrix</title>",
    ]
    for kind, where, radius, colour in SHAPES:
        if kind == "rect":
            x0, y0, x1, y1 = where
            corner = f' rx="{number(radius)}"' if radius else ""
            lines.append(f'  <rect x="{number(x0)}" y="{number(y0)}" width="{number(x1 - x0)}" '
                         f'height="{number(y1 - y0)}"{corner} fill="{colour}"/>')
        elif kind == "circle":
            cx, cy = where
            lines.append(f'  <circle cx="{number(cx)}" cy="{number(cy)}" r="{number(radius)}" '
                         f'fill="{colour}"/>')
        else:
            points = " ".join(f"{number(x)},{number(y)}" for x, y in where)
            lines.append(f'  <polygon points="{points}" fill="{colour}"/>')
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def png_image(size):
    """The same shapes painted with Pillow at SUPERSAMPLE times the size, then reduced to size."""
    big = size * SUPERSAMPLE
    k = big / GRID
    image = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    paint = ImageDraw.Draw(image)
    for kind, where, radius, colour in SHAPES:
        if kind == "rect":
            x0, y0, x1, y1 = (v * k for v in where)
            # Pillow's boxes include their last pixel; SVG's end just before it.
            paint.rounded_rectangle((x0, y0, x1 - 1, y1 - 1), radius=(radius or 0) * k, fill=colour)
        elif kind == "circle":
            cx, cy = where
            r = radius * k
            paint.ellipse((cx * k - r, cy * k - r, cx * k + r - 1, cy * k + r - 1), fill=colour)
        else:
            paint.polygon([(x * k, y * k) for x, y in where], fill=colour)
    return image.resize((size, size), Image.Resampling.LANCZOS)


def main():
    svg_path = os.path.join(HERE, "icons", "hicolor", "scalable", "apps", APP_ID + ".svg")
    os.makedirs(os.path.dirname(svg_path), exist_ok=True)
    with open(svg_path, "w", encoding="utf-8") as out:
        out.write(svg_text())
    print(os.path.relpath(svg_path))
    for size in SIZES:
        path = os.path.join(HERE, "icons", "hicolor", f"{size}x{size}", "apps", APP_ID + ".png")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        png_image(size).save(path, "PNG", optimize=True)
        with Image.open(path) as check:
            assert check.size == (size, size) and check.mode == "RGBA", (path, check.size, check.mode)
        print(os.path.relpath(path))


if __name__ == "__main__":
    main()
