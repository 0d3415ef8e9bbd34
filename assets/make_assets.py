#!/usr/bin/env python3
"""Draw every Dealbrix picture asset from scratch with Pillow.

Outputs (relative to this file):
  squares/squareNN.jpg, squareNN@2x.jpg, squareNN@3x.jpg   (NN = 00..39)
  dice/dieN.gif, dieN@2x.gif, dieN@3x.gif                   (N = 1..6)
  assets.qrc                                                (Qt resource list)

assets.qrc also lists the window icon, which make_icon.py draws.

Run with Debian's Python (it has PIL):  /usr/bin/python3 assets/make_assets.py
Everything is drawn natively at each scale from one set of functions, and
the output is deterministic.
"""

import math
import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SQUARES_DIR = os.path.join(HERE, "squares")
DICE_DIR = os.path.join(HERE, "dice")
QRC_PATH = os.path.join(HERE, "assets.qrc")
# Listed in assets.qrc under its alias; drawn by make_icon.py, not here.
WINDOW_ICON = ("icon/dealbrix.png", "icons/hicolor/256x256/apps/org.dealbrix.Dealbrix.png")

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
FONT_LABEL = FONT_DIR + "DejaVuSansCondensed-Bold.ttf"  # narrowest crisp bold
FONT_HEAVY = FONT_DIR + "DejaVuSans-Bold.ttf"            # big display words

SCALES = (1, 2, 3)
SUPERSAMPLE = 4      # icons are drawn this much larger, then box-filtered down
JPEG_QUALITY = 92

# Natural (1x) geometry of the ring.
CORNER = 67          # corner squares are CORNER x CORNER
EDGE_WIDTH = 50      # side squares: EDGE_WIDTH along the edge ...
EDGE_DEPTH = 67      # ... and EDGE_DEPTH from outer to inner edge
BOARD = 2 * CORNER + 9 * EDGE_WIDTH   # 584

DIE_SIZE = 50

# Design sizes in 1x pixels (multiplied by the scale factor when drawn).
BORDER = 1           # dark outline round every square
TEXT_PAD = 1         # minimum gap between the border and any text
BAND_DEPTH = 14      # colour band of a street, about 1/5 of EDGE_DEPTH
NAME_SIZE = 8        # street / card names (shrunk only if a line won't fit)
PRICE_SIZE = 9
EDGE_GAP = 3         # breathing room next to the inner and outer edges
BAND_GAP = 3         # space between a colour band and the street name

# Palette.
CREAM = (248, 243, 226)
INK = (34, 34, 38)
BORDER_INK = (52, 52, 56)
BAND_LINE = (40, 40, 44)
WHITE = (255, 255, 255)
CHANCE_COLOUR = (222, 74, 24)     # vermilion "?"
CHEST_WOOD = (160, 98, 44)
CHEST_WOOD_DARK = (112, 64, 26)
GOLD = (236, 184, 46)
GOLD_DARK = (170, 120, 20)
STEEL = (70, 74, 84)
ENGINE_RED = (196, 40, 36)
GLASS_YELLOW = (255, 221, 64)
WATER_BLUE = (36, 128, 214)
GEM_BLUE = (120, 200, 236)
GEM_DARK = (40, 110, 160)
GO_RED = (200, 36, 36)
ARROW_GREEN = (28, 140, 72)
JAIL_ORANGE = (246, 156, 56)
CAR_TEAL = (18, 132, 150)
DIE_FACE = (14, 14, 16)
DIE_RIM = (58, 58, 64)
PIP_RED = (222, 28, 32)
PIP_RED_DARK = (150, 12, 16)

PURPLE = (128, 0, 128)
CYAN = (0, 255, 255)
MAGENTA = (255, 0, 255)
ORANGE = (255, 128, 0)
RED = (255, 0, 0)
YELLOW = (255, 255, 0)
GREEN = (0, 255, 0)
BLUE = (0, 0, 255)

# One row per square: (kind, label lines, price or None, group colour or None).
# Label lines are the words printed on the picture, split so each fits.
SQUARES = [
    ("go", None, None, None),                                     # 0
    ("street", ("MEDIT.", "AVENUE"), 60, PURPLE),                 # 1
    ("chest", ("COMMUNITY", "CHEST"), None, None),                # 2
    ("street", ("BALTIC", "AVENUE"), 60, PURPLE),                 # 3
    ("income_tax", ("INCOME", "TAX"), 200, None),                 # 4
    ("railroad", ("READING", "RAILROAD"), 200, None),             # 5
    ("street", ("ORIENTAL", "AVENUE"), 100, CYAN),                # 6
    ("chance", ("CHANCE",), None, None),                          # 7
    ("street", ("VERMONT", "AVENUE"), 100, CYAN),                 # 8
    ("street", ("CONN.", "AVENUE"), 120, CYAN),                   # 9
    ("jail", None, None, None),                                   # 10
    ("street", ("ST.", "CHARLES", "PLACE"), 140, MAGENTA),        # 11
    ("electric", ("ELECTRIC", "COMPANY"), 150, None),             # 12
    ("street", ("STATES", "AVENUE"), 140, MAGENTA),               # 13
    ("street", ("VIRGINIA", "AVENUE"), 160, MAGENTA),             # 14
    ("railroad", ("PENN.", "RAILROAD"), 200, None),               # 15
    ("street", ("ST. JAMES", "PLACE"), 180, ORANGE),              # 16
    ("chest", ("COMMUNITY", "CHEST"), None, None),                # 17
    ("street", ("TENN.", "AVENUE"), 180, ORANGE),                 # 18
    ("street", ("NEW YORK", "AVENUE"), 200, ORANGE),              # 19
    ("parking", None, None, None),                                # 20
    ("street", ("KENTUCKY", "AVENUE"), 220, RED),                 # 21
    ("chance", ("CHANCE",), None, None),                          # 22
    ("street", ("INDIANA", "AVENUE"), 220, RED),                  # 23
    ("street", ("ILLINOIS", "AVENUE"), 240, RED),                 # 24
    ("railroad", ("B & O", "RAILROAD"), 200, None),               # 25
    ("street", ("ATLANTIC", "AVENUE"), 260, YELLOW),              # 26
    ("street", ("VENTNOR", "AVENUE"), 260, YELLOW),               # 27
    ("water", ("WATER", "WORKS"), 150, None),                     # 28
    ("street", ("MARVIN", "GARDENS"), 280, YELLOW),               # 29
    ("go_to_jail", None, None, None),                             # 30
    ("street", ("PACIFIC", "AVENUE"), 300, GREEN),                # 31
    ("street", ("NORTH", "CAROLINA", "AVENUE"), 300, GREEN),      # 32
    ("chest", ("COMMUNITY", "CHEST"), None, None),                # 33
    ("street", ("PENN.", "AVENUE"), 320, GREEN),                  # 34
    ("railroad", ("SHORT", "LINE"), 200, None),                   # 35
    ("chance", ("CHANCE",), None, None),                          # 36
    ("street", ("PARK", "PLACE"), 350, BLUE),                     # 37
    ("luxury_tax", ("LUXURY", "TAX"), 75, None),                  # 38
    ("street", ("BOARD-", "WALK"), 400, BLUE),                    # 39
]
assert len(SQUARES) == 40


# --------------------------------------------------------------------------
# Geometry of the ring
# --------------------------------------------------------------------------

def side_of(index):
    """'corner', 'bottom', 'left', 'top' or 'right' (square 0 = bottom-right)."""
    if index % 10 == 0:
        return "corner"
    return ("bottom", "left", "top", "right")[index // 10]


def natural_size(index):
    """(width, height) of a square's picture at 1x."""
    side = side_of(index)
    if side == "corner":
        return CORNER, CORNER
    if side in ("bottom", "top"):
        return EDGE_WIDTH, EDGE_DEPTH
    return EDGE_DEPTH, EDGE_WIDTH


def board_position(index):
    """Top-left corner of a square on the 1x board (584 x 584, square 0 at
    bottom-right); not used for output, handy for previews and layout code."""
    far = BOARD - CORNER
    if index == 0:
        return far, far
    if index < 10:
        return far - EDGE_WIDTH * index, far
    if index == 10:
        return 0, far
    if index < 20:
        return 0, far - EDGE_WIDTH * (index - 10)
    if index == 20:
        return 0, 0
    if index < 30:
        return CORNER + EDGE_WIDTH * (index - 21), 0
    if index == 30:
        return far, 0
    return far, CORNER + EDGE_WIDTH * (index - 31)


# --------------------------------------------------------------------------
# Drawing helpers
# --------------------------------------------------------------------------

_font_cache = {}


def font(path, size):
    key = (path, size)
    if key not in _font_cache:
        _font_cache[key] = ImageFont.truetype(path, size)
    return _font_cache[key]


def cap_height(fnt):
    return -fnt.getbbox("H", anchor="ls")[1]


def fitting_font(path, lines, size, max_width):
    """Largest font (<= size) in which every line fits max_width."""
    while size > 5:
        fnt = font(path, size)
        if all(fnt.getlength(line) <= max_width for line in lines):
            return fnt
        size -= 1
    return font(path, size)


def draw_centered_text(img, text, cx, baseline, fnt, fill):
    """Draw one line centred on cx; snapped to whole pixels to stay crisp."""
    draw = ImageDraw.Draw(img)
    x = round(cx - fnt.getlength(text) / 2)
    draw.text((x, round(baseline)), text, font=fnt, fill=fill, anchor="ls")


class Pen:
    """Draws on a supersampled layer using 1x design coordinates.

    Icons are designed in 1x pixels inside a design box; the pen scales that
    box to fit the target (keeping aspect) and centres it.
    """

    def __init__(self, draw, px_w, px_h, design_w, design_h):
        self.draw = draw
        self.k = min(px_w / design_w, px_h / design_h)
        self.ox = (px_w - design_w * self.k) / 2
        self.oy = (px_h - design_h * self.k) / 2

    def pt(self, x, y):
        return (self.ox + x * self.k, self.oy + y * self.k)

    def box(self, x0, y0, x1, y1):
        return [*self.pt(x0, y0), *self.pt(x1, y1)]

    def w(self, width):
        return max(1, round(width * self.k))

    def rect(self, x0, y0, x1, y1, fill=None, outline=None, width=1, radius=0):
        if radius:
            self.draw.rounded_rectangle(self.box(x0, y0, x1, y1), radius * self.k,
                                        fill=fill, outline=outline, width=self.w(width))
        else:
            self.draw.rectangle(self.box(x0, y0, x1, y1), fill=fill,
                                outline=outline, width=self.w(width))

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1):
        self.draw.ellipse(self.box(x0, y0, x1, y1), fill=fill, outline=outline,
                          width=self.w(width))

    def circle(self, cx, cy, r, **kw):
        self.ellipse(cx - r, cy - r, cx + r, cy + r, **kw)

    def polygon(self, points, fill=None, outline=None, width=1):
        pts = [self.pt(x, y) for x, y in points]
        self.draw.polygon(pts, fill=fill)
        if outline:
            self.draw.line(pts + [pts[0]], fill=outline, width=self.w(width), joint="curve")

    def line(self, points, fill, width=1):
        self.draw.line([self.pt(x, y) for x, y in points], fill=fill,
                       width=self.w(width), joint="curve")

    def text(self, x, y, text, path, size, fill):
        """Text centred on (x, y) in design coordinates (antialiased by the
        supersampling; used for glyph-like icons, not for labels)."""
        fnt = font(path, max(1, round(size * self.k)))
        self.draw.text(self.pt(x, y), text, font=fnt, fill=fill, anchor="mm")


def render_icon(painter, design_w, design_h, px_w, px_h):
    """Render painter(pen) into a transparent px_w x px_h RGBA image."""
    ss = SUPERSAMPLE
    layer = Image.new("RGBA", (px_w * ss, px_h * ss), (0, 0, 0, 0))
    pen = Pen(ImageDraw.Draw(layer), px_w * ss, px_h * ss, design_w, design_h)
    painter(pen)
    return layer.reduce(ss)


def paste_icon(img, painter, design_w, design_h, box, mirror=False):
    x0, y0, x1, y1 = box
    icon = render_icon(painter, design_w, design_h, x1 - x0, y1 - y0)
    if mirror:
        icon = icon.transpose(Image.Transpose.FLIP_LEFT_RIGHT)
    img.paste(icon, (x0, y0), icon)


def new_face(w, h):
    return Image.new("RGB", (w, h), CREAM)


def add_border(img, s):
    ImageDraw.Draw(img).rectangle([0, 0, img.width - 1, img.height - 1],
                                  outline=BORDER_INK, width=BORDER * s)


# --------------------------------------------------------------------------
# Icons (design coordinates are 1x pixels inside the stated design box)
# --------------------------------------------------------------------------

LOCO_BOX = (34, 20)


def paint_locomotive(p):
    # Boiler, cab, chimney and dome; facing left.
    p.rect(7, 7, 24, 14, fill=STEEL, radius=2)                 # boiler
    p.rect(23, 2, 32, 14, fill=STEEL)                          # cab
    p.rect(21, 1, 34, 3, fill=INK)                             # cab roof
    p.rect(25, 4, 30, 8, fill=GLASS_YELLOW)                    # cab window
    p.polygon([(9, 1), (13, 1), (12, 7), (10, 7)], fill=INK)   # chimney
    p.rect(15, 4.5, 19, 7.5, fill=INK, radius=1.5)             # dome
    p.rect(7, 9, 24, 10, fill=ENGINE_RED)                      # stripe
    p.polygon([(7, 12), (7, 17), (2, 17)], fill=ENGINE_RED)    # cow catcher
    p.rect(5, 14, 33, 15.5, fill=INK)                          # frame
    for cx, r in ((11, 3.2), (19, 3.2), (28.5, 4)):
        p.circle(cx, 19 - r, r, fill=ENGINE_RED, outline=INK, width=1)
        p.circle(cx, 19 - r, 0.9, fill=INK)


BULB_BOX = (20, 26)


def paint_bulb(p):
    for angle in (-180, -135, -90, -45, 0):                             # rays
        dx, dy = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        p.line([(10 + 7.6 * dx, 9.5 + 7.6 * dy), (10 + 9.6 * dx, 9.5 + 9.6 * dy)],
               fill=GOLD_DARK, width=1)
    p.polygon([(6.5, 14), (13.5, 14), (12.5, 19), (7.5, 19)], fill=GLASS_YELLOW)
    p.circle(10, 9.5, 6.2, fill=GLASS_YELLOW, outline=GOLD_DARK, width=1)
    p.line([(6.5, 14.5), (7.5, 19)], fill=GOLD_DARK, width=1)
    p.line([(13.5, 14.5), (12.5, 19)], fill=GOLD_DARK, width=1)
    p.line([(8.5, 13), (9.2, 8), (10.8, 8), (11.5, 13)], fill=ENGINE_RED, width=0.8)
    p.rect(7, 19, 13, 24, fill=(150, 152, 160), radius=1)              # screw base
    for y in (20.5, 22.5):
        p.line([(7, y), (13, y)], fill=STEEL, width=0.8)
    p.rect(8.5, 24, 11.5, 26, fill=INK, radius=1)


TAP_BOX = (24, 26)


def paint_tap(p):
    metal, shade = (156, 160, 170), STEEL
    p.rect(0, 5, 3, 14, fill=shade)                                    # wall flange
    p.rect(2, 7, 15, 12, fill=metal, outline=shade)                    # pipe
    p.rect(12, 7, 20, 17, fill=metal, outline=shade, radius=2)         # spout
    p.rect(8.5, 2.5, 11.5, 7, fill=shade)                              # stem
    p.rect(4, 0, 16, 3, fill=ENGINE_RED, radius=1.5)                   # handle
    # A falling drop below the spout.
    p.polygon([(16, 17.5), (12.4, 22.5), (19.6, 22.5)], fill=WATER_BLUE)
    p.circle(16, 22.5, 3.6, fill=WATER_BLUE)
    p.circle(14.8, 22.3, 1, fill=WHITE)


COIN_BOX = (22, 22)


def paint_coin(p):
    p.circle(11, 11, 10.5, fill=GOLD, outline=GOLD_DARK, width=1.2)
    p.circle(11, 11, 7.8, outline=GOLD_DARK, width=0.8)
    p.text(11, 11.3, "$", FONT_HEAVY, 12, GOLD_DARK)


GEM_BOX = (24, 20)


def paint_diamond(p):
    crown = [(5, 1), (19, 1), (23, 7), (1, 7)]
    p.polygon([(1, 7), (23, 7), (12, 19)], fill=GEM_BLUE)          # pavilion
    p.polygon(crown, fill=(182, 230, 250))
    for a, b in (((1, 7), (23, 7)), ((5, 1), (8, 7)), ((19, 1), (16, 7)),
                 ((12, 1), (8, 7)), ((12, 1), (16, 7)), ((8, 7), (12, 19)),
                 ((16, 7), (12, 19))):
        p.line([a, b], fill=GEM_DARK, width=0.7)
    p.polygon([(5, 1), (19, 1), (23, 7), (12, 19), (1, 7)], outline=GEM_DARK, width=1)


CHEST_BOX = (30, 22)


def paint_chest(p):
    p.rect(2, 10, 28, 21, fill=CHEST_WOOD, outline=CHEST_WOOD_DARK, width=1)   # body
    p.rect(2, 2, 28, 10, fill=CHEST_WOOD_DARK, radius=4)                       # lid
    p.rect(3.5, 3.5, 26.5, 7, fill=(136, 80, 34), radius=2.5)                  # lid shine
    p.rect(2, 9, 28, 11, fill=GOLD)                                             # rim
    for x in (6, 22):                                                           # straps
        p.rect(x, 2.3, x + 2, 21, fill=GOLD)
    p.rect(12, 8, 18, 15, fill=GOLD, outline=GOLD_DARK, width=0.8, radius=1)  # lock
    p.circle(15, 11, 1, fill=INK)
    p.rect(14.5, 11, 15.5, 13.5, fill=INK)


QUESTION_BOX = (30, 40)


def paint_question(p):
    # Drawn slightly offset in a darker shade first for a printed, embossed look.
    p.text(16, 21, "?", FONT_HEAVY, 50, (120, 36, 10))
    p.text(15, 20, "?", FONT_HEAVY, 50, CHANCE_COLOUR)


GO_ARROW_BOX = (50, 16)


def paint_go_arrow(p):
    # Points left: tokens leave GO heading along the bottom row right-to-left.
    p.polygon([(1, 8), (14, 0), (14, 5), (49, 5), (49, 11), (14, 11), (14, 16)],
              fill=GO_RED)


CAR_BOX = (40, 20)


def paint_car(p):
    p.polygon([(9, 8), (14, 1.5), (27, 1.5), (32, 8)], fill=CAR_TEAL)          # cabin
    p.polygon([(12, 8), (15.5, 3.5), (19.5, 3.5), (19.5, 8)], fill=(210, 236, 244))
    p.polygon([(21.5, 8), (21.5, 3.5), (25.5, 3.5), (29, 8)], fill=(210, 236, 244))
    p.rect(1, 7.5, 39, 15.5, fill=CAR_TEAL, radius=3)                          # body
    p.rect(35.5, 9, 39, 11, fill=GLASS_YELLOW, radius=0.8)                     # lamp
    p.rect(1, 9, 3, 11, fill=ENGINE_RED, radius=0.8)
    for cx in (10, 30):
        p.circle(cx, 15.5, 4.3, fill=INK)
        p.circle(cx, 15.5, 1.8, fill=(190, 192, 198))


JAIL_ARROW_BOX = (30, 30)


def paint_jail_arrow(p):
    # A fat arrow pointing down-left, at the jail corner across the board.
    p.polygon([(2, 28), (2, 11), (8, 17), (22, 3), (27, 8), (13, 22), (19, 28)],
              fill=JAIL_ORANGE, outline=INK, width=1.2)


# --------------------------------------------------------------------------
# Side squares: content is stacked along the depth, from the inner edge out
# --------------------------------------------------------------------------
# A face is drawn as a 50 x 67 (x scale) portrait with its blocks stacked from
# the inner edge outwards. Bottom row: inner edge on top. Top row: the stack is
# mirrored so the inner edge is at the bottom, but glyphs stay upright (more
# legible on a desktop screen than upside-down text). Left and right columns:
# the bottom-row layout is rotated so the band faces the centre; left column
# text reads top-to-bottom, right column bottom-to-top.

class Block:
    """One slice of a side square. height() is in final pixels, or None for a
    flexible slice that takes an equal share of the space left over."""

    def height(self):
        return None

    def draw(self, img, box, inner_at_top):
        pass


class Flex(Block):
    """Flexible space (height None)."""


class Gap(Block):
    def __init__(self, px):
        self.px = px

    def height(self):
        return self.px


class Band(Block):
    def __init__(self, colour, s):
        self.colour = colour
        self.s = s

    def height(self):
        return BAND_DEPTH * self.s

    def draw(self, img, box, inner_at_top):
        x0, y0, x1, y1 = box
        draw = ImageDraw.Draw(img)
        draw.rectangle([x0, y0, x1 - 1, y1 - 1], fill=self.colour)
        line_y = y1 - self.s if inner_at_top else y0     # line on the outer side
        draw.rectangle([x0, line_y, x1 - 1, line_y + self.s - 1], fill=BAND_LINE)


class Label(Block):
    def __init__(self, lines, size, max_width, path=FONT_LABEL, fill=INK):
        self.lines = lines
        self.fill = fill
        self.font = fitting_font(path, lines, size, max_width)
        self.cap = cap_height(self.font)
        self.pitch = round(self.font.size * 1.2)

    def height(self):
        return self.cap + (len(self.lines) - 1) * self.pitch

    def draw(self, img, box, inner_at_top):
        x0, y0, x1, _ = box
        for i, line in enumerate(self.lines):
            draw_centered_text(img, line, (x0 + x1) / 2, y0 + self.cap + i * self.pitch,
                               self.font, self.fill)


class Icon(Block):
    def __init__(self, painter, design_box, s, height=None, mirror=False):
        self.painter = painter
        self.mirror = mirror
        self.design_w, self.design_h = design_box
        self.s = s
        self.h = (height or self.design_h) * s

    def height(self):
        return self.h

    def draw(self, img, box, inner_at_top):
        x0, y0, x1, y1 = box
        w = round(self.design_w * (y1 - y0) / self.design_h)
        cx = (x0 + x1) // 2
        paste_icon(img, self.painter, self.design_w, self.design_h,
                   (cx - w // 2, y0, cx - w // 2 + w, y1), self.mirror)


def lay_out(img, blocks, inner_at_top):
    """Stack blocks along the height; Flex blocks share the leftover space."""
    fixed = sum(b.height() for b in blocks if b.height() is not None)
    flexible = [b for b in blocks if b.height() is None]
    spare = (img.height - fixed) / max(1, len(flexible))
    assert spare >= 0, "face content does not fit"
    y = 0.0
    for block in blocks:
        h = block.height()
        h = spare if h is None else h
        y0, y1 = round(y), round(y + h)
        if not inner_at_top:
            y0, y1 = img.height - y1, img.height - y0
        block.draw(img, (0, y0, img.width, y1), inner_at_top)
        y += h


def edge_blocks(kind, lines, price, colour, s, top_row):
    """The blocks of one side square, listed from the inner edge outwards."""
    text_width = (EDGE_WIDTH - 2 * (BORDER + TEXT_PAD)) * s
    name = Label(lines, NAME_SIZE * s, text_width)
    gap = Gap((EDGE_GAP + BORDER) * s)
    price_label = Label([f"${price}"], PRICE_SIZE * s, text_width) if price else None
    icons = {
        "railroad": (paint_locomotive, LOCO_BOX, 22),
        "electric": (paint_bulb, BULB_BOX, 26),
        "water": (paint_tap, TAP_BOX, 26),
        "income_tax": (paint_coin, COIN_BOX, 22),
        "luxury_tax": (paint_diamond, GEM_BOX, 20),
        "chest": (paint_chest, CHEST_BOX, 24),
        "chance": (paint_question, QUESTION_BOX, 40),
    }
    if kind == "street":
        return [Band(colour, s), Gap(BAND_GAP * s), name, Flex(), price_label, gap]
    painter, box, height = icons[kind]
    # The engine faces its direction of travel: left on the bottom row (and,
    # once rotated, up the left / down the right column), right on the top row.
    icon = Icon(painter, box, s, height, mirror=(top_row and kind == "railroad"))
    if kind in ("income_tax", "luxury_tax"):
        price_label = Label([f"PAY ${price}"], PRICE_SIZE * s, text_width)
    if price_label is None:                     # chance / chest: name + icon
        return [gap, name, Flex(), icon, Flex(), Gap(EDGE_GAP * s)]
    return [gap, name, Flex(), icon, Flex(), price_label, gap]


def draw_edge_square(index, s):
    kind, lines, price, colour = SQUARES[index]
    side = side_of(index)
    face = new_face(EDGE_WIDTH * s, EDGE_DEPTH * s)
    top_row = side == "top"
    lay_out(face, edge_blocks(kind, lines, price, colour, s, top_row), inner_at_top=not top_row)
    if side == "left":
        face = face.transpose(Image.Transpose.ROTATE_270)   # clockwise: top -> right
    elif side == "right":
        face = face.transpose(Image.Transpose.ROTATE_90)    # anticlockwise: top -> left
    return face


# --------------------------------------------------------------------------
# Corners (drawn upright; design coordinates are 1x pixels on a 67 x 67 face)
# --------------------------------------------------------------------------

def text_at(img, s, text, cx, baseline, size, path=FONT_LABEL, fill=INK):
    draw_centered_text(img, text, cx * s, baseline * s, font(path, size * s), fill)


def icon_at(img, s, painter, design_box, x, y, w, h):
    paste_icon(img, painter, *design_box, (x * s, y * s, (x + w) * s, (y + h) * s))


def draw_go(img, s):
    text_at(img, s, "COLLECT", CORNER / 2, 13, 8)
    text_at(img, s, "$200 SALARY", CORNER / 2, 22, 8)
    text_at(img, s, "GO", CORNER / 2 + 1, 48, 26, FONT_HEAVY, GO_RED)
    icon_at(img, s, paint_go_arrow, GO_ARROW_BOX, 9, 51, 50, 11)


JAIL_STRIP = 20     # width of the outer "just visiting" L round the cell


def draw_jail(img, s):
    x0, cell = JAIL_STRIP, CORNER - JAIL_STRIP    # cell: (x0, 0) .. (67, cell)

    def paint_cell(p):
        bar = (196, 198, 206)
        p.rect(0, 0, cell, cell, fill=JAIL_ORANGE, outline=INK, width=1)
        p.rect(4, 13, cell - 4, cell - 4, fill=(60, 40, 30))     # dark interior
        for i in range(6):
            bx = 5.5 + i * (cell - 11) / 5
            p.rect(bx - 1, 13, bx + 1, cell - 4, fill=bar)
        p.rect(4, 12, cell - 4, 14.5, fill=bar)
        p.rect(4, cell - 6.5, cell - 4, cell - 4, fill=bar)

    icon_at(img, s, paint_cell, (cell, cell), x0, 0, cell, cell)
    text_at(img, s, "IN JAIL", x0 + cell / 2, 10, 8)
    # "JUST" reads up the outer left strip, "VISITING" along the bottom strip.
    strip = Image.new("RGB", (cell * s, JAIL_STRIP * s), CREAM)
    draw_centered_text(strip, "JUST", strip.width / 2, 14 * s, font(FONT_LABEL, 9 * s), INK)
    img.paste(strip.transpose(Image.Transpose.ROTATE_90), (0, 0))
    text_at(img, s, "VISITING", CORNER / 2, 61, 9)


def draw_parking(img, s):
    text_at(img, s, "FREE", CORNER / 2, 17, 11, FONT_HEAVY)
    icon_at(img, s, paint_car, CAR_BOX, 11, 23, 45, 23)
    text_at(img, s, "PARKING", CORNER / 2, 59, 10, FONT_LABEL)


def draw_go_to_jail(img, s):
    text_at(img, s, "GO TO", CORNER / 2, 15, 10, FONT_HEAVY)
    icon_at(img, s, paint_jail_arrow, JAIL_ARROW_BOX, 18, 19, 30, 30)
    text_at(img, s, "JAIL", CORNER / 2, 61, 11, FONT_HEAVY)


CORNER_PAINTERS = {
    "go": draw_go,
    "jail": draw_jail,
    "parking": draw_parking,
    "go_to_jail": draw_go_to_jail,
}


def draw_corner_square(index, s):
    img = new_face(CORNER * s, CORNER * s)
    CORNER_PAINTERS[SQUARES[index][0]](img, s)
    return img


def draw_square(index, s):
    """The finished picture of square `index` at scale s (1, 2 or 3)."""
    if side_of(index) == "corner":
        img = draw_corner_square(index, s)
    else:
        img = draw_edge_square(index, s)
    add_border(img, s)
    return img


# --------------------------------------------------------------------------
# Dice
# --------------------------------------------------------------------------

PIP_LAYOUT = {     # pip centres on a 3 x 3 grid: 0 = near edge, 1 = middle, 2 = far
    1: [(1, 1)],
    2: [(0, 0), (2, 2)],
    3: [(0, 0), (1, 1), (2, 2)],
    4: [(0, 0), (2, 0), (0, 2), (2, 2)],
    5: [(0, 0), (2, 0), (1, 1), (0, 2), (2, 2)],
    6: [(0, 0), (2, 0), (0, 1), (2, 1), (0, 2), (2, 2)],
}


def draw_die(value, s):
    """A die face as a 'P' image with transparent rounded-off corners."""
    size = DIE_SIZE * s

    def paint(p):
        p.rect(0, 0, DIE_SIZE, DIE_SIZE, fill=DIE_FACE, radius=8)
        p.rect(2, 2, DIE_SIZE - 2, DIE_SIZE - 2, outline=DIE_RIM, width=1, radius=6.5)
        for gx, gy in PIP_LAYOUT[value]:
            cx, cy = 12.5 + 12.5 * gx, 12.5 + 12.5 * gy
            p.circle(cx, cy, 5.6, fill=PIP_RED_DARK)
            p.circle(cx - 0.35, cy - 0.35, 4.8, fill=PIP_RED)

    rgba = render_icon(paint, DIE_SIZE, DIE_SIZE, size, size)
    # GIF has 1-bit transparency: solid where the face covers at least half.
    opaque = rgba.getchannel("A").point(lambda a: 255 if a >= 128 else 0)
    rgb = Image.new("RGB", rgba.size, DIE_FACE)
    rgb.paste(rgba.convert("RGB"), (0, 0), opaque)
    pal = rgb.quantize(colors=255, method=Image.Quantize.MEDIANCUT,
                       dither=Image.Dither.NONE)
    palette = pal.getpalette()[:255 * 3]
    palette += [0] * (255 * 3 - len(palette)) + [255, 0, 255]    # index 255: clear
    pal.putpalette(palette)
    pal.paste(255, (0, 0, size, size), Image.eval(opaque, lambda a: 255 - a))
    pal.info["transparency"] = 255
    return pal


# --------------------------------------------------------------------------
# Output
# --------------------------------------------------------------------------

def suffix(s):
    return "" if s == 1 else f"@{s}x"


def square_file(index, s):
    return f"squares/square{index:02d}{suffix(s)}.jpg"


def die_file(value, s):
    return f"dice/die{value}{suffix(s)}.gif"


def write_qrc(files):
    aliased = [(f, f) for f in files] + [WINDOW_ICON]
    entries = "\n".join(f'    <file alias="{alias}">{f}</file>' for alias, f in aliased)
    text = ("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/\">\n"
            f"{entries}\n</qresource>\n</RCC>\n")
    with open(QRC_PATH, "w", encoding="utf-8") as fh:
        fh.write(text)


def main():
    os.makedirs(SQUARES_DIR, exist_ok=True)
    os.makedirs(DICE_DIR, exist_ok=True)
    expected = {}       # relative path -> (format, size)

    for index in range(40):
        w, h = natural_size(index)
        for s in SCALES:
            rel = square_file(index, s)
            draw_square(index, s).save(os.path.join(HERE, rel), "JPEG",
                                       quality=JPEG_QUALITY, subsampling=0)  # 4:4:4 keeps text edges sharp
            expected[rel] = ("JPEG", (w * s, h * s))

    for value in range(1, 7):
        for s in SCALES:
            rel = die_file(value, s)
            draw_die(value, s).save(os.path.join(HERE, rel), "GIF", transparency=255)
            expected[rel] = ("GIF", (DIE_SIZE * s, DIE_SIZE * s))

    write_qrc(list(expected))

    # Check every output: right format and exact size.
    for rel, (fmt, size) in expected.items():
        with Image.open(os.path.join(HERE, rel)) as im:
            assert im.format == fmt and im.size == size, (rel, im.format, im.size, size)
    for s in SCALES:
        sizes = sorted({size for rel, (_, size) in expected.items()
                        if (suffix(s) in rel if s > 1 else "@" not in rel)})
        print(f"{s}x sizes verified: " + ", ".join(f"{w}x{h}" for w, h in sizes))
    print(f"{len(expected)} files verified; wrote {os.path.relpath(QRC_PATH)}")


if __name__ == "__main__":
    main()
