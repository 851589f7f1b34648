#!/usr/bin/python3
"""Draws the pictures of the programs and writes them as .ico, .bmp, .cur and .png files.

    /usr/bin/python3 resources/make_artwork.py [--preview DIR]

Needs Debian's python3-pil and the fonts of fonts-dejavu-core (Latin labels) and fonts-noto-cjk
or fonts-wqy-zenhei (Chinese labels). The files are written to resources/artwork/ and committed,
so a build never runs this script; run it again after changing a picture here.
--preview also writes sheet.png into DIR: every picture enlarged, over the window's background
and over a checkerboard, to look at the pictures without building the program.

Shapes are drawn at SCALE times the final size and reduced with a box filter, so every edge is
antialiased; icons and the cursor carry the result in their alpha channel. Labels are rendered at
the final size, where FreeType's hinting keeps small text sharp.
"""

import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "artwork")
SCALE = 8

# The window's background; everything below is chosen to read well on it.
SKIN = (103, 129, 160)
SNOW = (250, 251, 253)
SHADOW = (16, 28, 48)
NAVY = (28, 46, 78)
ACCENT = (240, 146, 40)  # the warm orange of the mark and of the selected page's symbol
TILE_TOP = (70, 118, 186)
TILE_BOTTOM = (30, 58, 104)

LATIN_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
CJK_CANDIDATES = [
    ("/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", "Noto Sans CJK SC"),
    ("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "WenQuanYi Zen Hei"),
]


def cjk_font(size):
    """The bold simplified-Chinese face, picked out of its collection by name."""
    for path, family in CJK_CANDIDATES:
        if not os.path.exists(path):
            continue
        for index in range(16):
            try:
                font = ImageFont.truetype(path, size, index=index)
            except OSError:
                break
            if font.getname()[0] == family:
                return font
    sys.exit("make_artwork.py: no Chinese font; install fonts-noto-cjk or fonts-wqy-zenhei")


def latin_font(size):
    if not os.path.exists(LATIN_BOLD):
        sys.exit("make_artwork.py: no DejaVu Sans Bold; install fonts-dejavu-core")
    return ImageFont.truetype(LATIN_BOLD, size)


# ---------------------------------------------------------------------------------------------
# Drawing helpers. Coordinates are in final pixels (floats); a pixel's centre is at +0.5.


class Mask:
    """A coverage mask drawn at SCALE times the final size."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.big = Image.new("L", (width * SCALE, height * SCALE), 0)
        self.draw = ImageDraw.Draw(self.big)

    @staticmethod
    def _p(x, y):
        return (x * SCALE, y * SCALE)

    def _ink(self, erase):
        return 0 if erase else 255

    def ellipse(self, x0, y0, x1, y1, erase=False):
        self.draw.ellipse([self._p(x0, y0), self._p(x1, y1)], fill=self._ink(erase))

    def circle(self, cx, cy, r, erase=False):
        self.ellipse(cx - r, cy - r, cx + r, cy + r, erase)

    def rect(self, x0, y0, x1, y1, radius=0.0, erase=False):
        box = [self._p(x0, y0), self._p(x1, y1)]
        if radius > 0:
            self.draw.rounded_rectangle(box, radius=radius * SCALE, fill=self._ink(erase))
        else:
            self.draw.rectangle(box, fill=self._ink(erase))

    def polygon(self, points, erase=False):
        self.draw.polygon([self._p(x, y) for x, y in points], fill=self._ink(erase))

    def line(self, x0, y0, x1, y1, width, erase=False):
        """A stroke with round caps."""
        self.draw.line([self._p(x0, y0), self._p(x1, y1)], fill=self._ink(erase),
                       width=round(width * SCALE))
        self.circle(x0, y0, width / 2, erase)
        self.circle(x1, y1, width / 2, erase)

    def arc(self, cx, cy, r, start, end, width, erase=False):
        """An arc stroke of centre-line radius r, angles in degrees clockwise from 3 o'clock."""
        outer = r + width / 2
        self.draw.arc([self._p(cx - outer, cy - outer), self._p(cx + outer, cy + outer)],
                      start, end, fill=self._ink(erase), width=round(width * SCALE))
        for angle in (start, end):
            a = math.radians(angle)
            self.circle(cx + r * math.cos(a), cy + r * math.sin(a), width / 2, erase)

    def result(self):
        return self.big.resize((self.width, self.height), Image.Resampling.BOX)


def solid(size, color):
    return Image.new("RGBA", size, color + (255,) if len(color) == 3 else color)


def vertical_gradient(size, top, bottom, y0=0.0, y1=None):
    """An opaque image whose colour runs from top (at y0) to bottom (at y1)."""
    width, height = size
    y1 = height if y1 is None else y1
    image = Image.new("RGBA", size)
    for y in range(height):
        t = min(1.0, max(0.0, (y + 0.5 - y0) / max(1e-6, y1 - y0)))
        color = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        image.paste(color + (255,), (0, y, width, y + 1))
    return image


def paint(target, mask, fill, opacity=1.0):
    """Composites fill (a colour or an image) through mask onto target, in place."""
    layer = solid(target.size, fill) if isinstance(fill, tuple) else fill.copy()
    alpha = ImageChops.multiply(layer.getchannel("A"), mask)
    if opacity < 1.0:
        alpha = alpha.point(lambda v: round(v * opacity))
    layer.putalpha(alpha)
    target.alpha_composite(layer)


def text_mask(size, xy, text, font):
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).text(xy, text, font=font, fill=255)
    return mask


def shifted(mask, dx, dy):
    return ImageChops.offset(mask, dx, dy)


# ---------------------------------------------------------------------------------------------
# The program's mark: a presentation screen on a stand, with a play triangle, on a blue tile.


def draw_mark(size):
    """The mark at size x size pixels; its proportions adapt so that 16 pixels stay legible."""
    s = float(size)
    image = Image.new("RGBA", (size, size))
    inset = 0.0 if size <= 16 else s / 48
    radius = s * (0.19 if size <= 16 else 0.2)

    tile = Mask(size, size)
    tile.rect(inset, inset, s - inset, s - inset, radius)
    tile_mask = tile.result()
    paint(image, tile_mask, vertical_gradient((size, size), TILE_TOP, TILE_BOTTOM))
    # A lighter rim along the top edge gives the tile some depth.
    rim = Mask(size, size)
    rim.rect(inset, inset, s - inset, s - inset, radius)
    rim.rect(inset, inset + max(1.0, s / 32), s - inset, s - inset, radius, erase=True)
    paint(image, ImageChops.multiply(rim.result(), tile_mask), (255, 255, 255), 0.35)

    # Edges on pixel borders keep the screen crisp at every size.
    sx0, sy0, sy1 = round(s * 0.16), round(s * 0.2), round(s * 0.64)
    sx1 = size - sx0
    cx = s / 2
    stand_half = 1 if size < 48 else 2
    foot_y, foot_h, foot_half = round(s * 0.78), max(1, round(s / 16)), round(s * 0.19)
    screen = Mask(size, size)
    screen.rect(sx0, sy0, sx1, sy1, 0.0 if size <= 16 else s / 40)
    screen.rect(cx - stand_half, sy1 - 0.5, cx + stand_half, foot_y + 0.5)
    screen.rect(cx - foot_half, foot_y, cx + foot_half, foot_y + foot_h,
                0.0 if size <= 16 else foot_h / 2)
    paint(image, screen.result(), SNOW)

    # Play triangle, optically centred (its centroid a little right of the screen's centre).
    tri = Mask(size, size)
    h = (sy1 - sy0) * (0.62 if size <= 16 else 0.52)
    mx, my = (sx0 + sx1) / 2 + h * 0.08, (sy0 + sy1) / 2
    tri.polygon([(mx - h * 0.45, my - h / 2), (mx + h * 0.55, my), (mx - h * 0.45, my + h / 2)])
    paint(image, tri.result(), ACCENT)
    return image


def draw_logo():
    """The logo beside the main window's page buttons: mark and name over the background."""
    width, height = 70, 63
    image = solid((width, height), SKIN)
    mark = draw_mark(40)
    image.alpha_composite(mark, ((width - 40) // 2, 2))
    font = latin_font(12)
    left, top, right, bottom = font.getbbox("Corvane")
    x = (width - (right - left)) // 2 - left
    y = 47 - top
    label = text_mask((width, height), (x, y), "Corvane", font)
    paint(image, shifted(label, 0, 1), SHADOW, 0.35)
    paint(image, label, SNOW)
    return image.convert("RGB")


def draw_installer_side():
    """The Windows installer's welcome and finish pages show this on their left (164 x 314)."""
    width, height = 164, 314
    image = vertical_gradient((width, height), TILE_TOP, TILE_BOTTOM)
    mark = draw_mark(96)
    image.alpha_composite(mark, ((width - 96) // 2, 64))
    font = latin_font(16)
    left, top, right, bottom = font.getbbox("CorvaneServer")
    x = (width - (right - left)) // 2 - left
    y = 180 - top
    label = text_mask((width, height), (x, y), "CorvaneServer", font)
    paint(image, shifted(label, 0, 1), SHADOW, 0.45)
    paint(image, label, SNOW)
    return image.convert("RGB")


# ---------------------------------------------------------------------------------------------
# Small pictures: service state balls, close and minimise glyphs.


def draw_ball(base, dark):
    size = 16
    image = Image.new("RGBA", (size, size))
    body = Mask(size, size)
    body.circle(8, 8, 6.6)
    body_mask = body.result()
    # Radial shading: light upper left, dark lower right.
    shade = Image.new("RGBA", (size, size))
    for y in range(size):
        for x in range(size):
            d = math.hypot(x + 0.5 - 6.2, y + 0.5 - 6.0) / 9.5
            t = min(1.0, d)
            shade.putpixel((x, y), tuple(round(a + (b - a) * t) for a, b in zip(base, dark))
                           + (255,))
    paint(image, body_mask, shade)
    rim = Mask(size, size)
    rim.circle(8, 8, 6.6)
    rim.circle(8, 8, 5.8, erase=True)
    paint(image, rim.result(), dark, 0.7)
    gloss = Mask(size, size)
    gloss.ellipse(4.4, 3.2, 10.0, 7.4)
    paint(image, gloss.result(), (255, 255, 255), 0.55)
    return image


def draw_cross(size, inset, width):
    image = Image.new("RGBA", (size, size))
    cross = Mask(size, size)
    cross.line(inset, inset, size - inset, size - inset, width)
    cross.line(inset, size - inset, size - inset, inset, width)
    mask = cross.result()
    paint(image, shifted(mask, 0, 1), SHADOW, 0.3)
    paint(image, mask, SNOW)
    return image


def draw_minimise():
    size = 16
    image = Image.new("RGBA", (size, size))
    bar = Mask(size, size)
    bar.rect(3.5, 10.0, 12.5, 12.0, 0.6)
    mask = bar.result()
    paint(image, shifted(mask, 0, 1), SHADOW, 0.3)
    paint(image, mask, SNOW)
    return image


# ---------------------------------------------------------------------------------------------
# Page buttons: a symbol and the page's name; the selected variant puts both on an arrow tab.

PAGE_W, PAGE_H = 162, 63
SYMBOL_CX, SYMBOL_CY = 28.0, 31.5
LABEL_X = 50


def symbol_connect(m):
    """A phone sending waves."""
    cx, cy = SYMBOL_CX - 4, SYMBOL_CY + 1
    m.rect(cx - 7, cy - 12, cx + 7, cy + 12, 3.0)
    m.rect(cx - 4.8, cy - 9, cx + 4.8, cy + 6.5, 0.8, erase=True)
    m.circle(cx, cy + 9.3, 1.4, erase=True)
    for r in (5.5, 10.0):
        m.arc(cx + 7.5, cy - 12.5, r, -60, 10, 2.2)


def symbol_settings(m):
    """A gear."""
    cx, cy = SYMBOL_CX, SYMBOL_CY
    teeth, outer, inner = 8, 13.0, 9.6
    points = []
    for i in range(teeth):
        base = 2 * math.pi * i / teeth
        half_top, half_root = 0.17, 0.27
        for angle, r in ((base - half_root, inner), (base - half_top, outer),
                         (base + half_top, outer), (base + half_root, inner)):
            points.append((cx + r * math.cos(angle), cy + r * math.sin(angle)))
    m.polygon(points)
    m.circle(cx, cy, inner + 0.3)
    m.circle(cx, cy, 4.6, erase=True)


def symbol_about(m):
    """An i in a ring."""
    cx, cy = SYMBOL_CX, SYMBOL_CY
    m.circle(cx, cy, 13.0)
    m.circle(cx, cy, 10.6, erase=True)
    m.circle(cx, cy - 5.6, 1.9)
    m.rect(cx - 1.6, cy - 2.2, cx + 1.6, cy + 7.2, 0.8)


SYMBOLS = {"basic": symbol_connect, "advanced": symbol_settings, "about": symbol_about}
LABELS = {
    "en": {"basic": "Connect", "advanced": "Settings", "about": "About us"},
    "zh": {"basic": "连接", "advanced": "设置", "about": "关于我们"},
}


def label_mask(text, language):
    font = latin_font(17) if language == "en" else cjk_font(19)
    left, top, right, bottom = font.getbbox(text)
    # Centre the ink vertically on the symbol.
    y = round(SYMBOL_CY - (top + bottom) / 2)
    return text_mask((PAGE_W, PAGE_H), (LABEL_X - left, y), text, font), LABEL_X + right - left


def tab_mask():
    """The highlighted tab of the selected page, pointing right towards the page."""
    top, bottom, left, body_right, tip = 8.0, 55.0, 2.5, 145.0, 159.0
    m = Mask(PAGE_W, PAGE_H)
    m.rect(left, top, body_right + 4, bottom, 8.0)
    m.polygon([(body_right - 2, top), (body_right + 0.8, top), (tip, (top + bottom) / 2),
               (body_right + 0.8, bottom), (body_right - 2, bottom)])
    # Round the tip a little.
    return m.result().filter(ImageFilter.GaussianBlur(0.35)), (top, bottom)


def draw_page_button(page, language, checked):
    image = Image.new("RGBA", (PAGE_W, PAGE_H))
    symbol = Mask(PAGE_W, PAGE_H)
    SYMBOLS[page](symbol)
    symbol_mask = symbol.result()
    label, label_end = label_mask(LABELS[language][page], language)
    assert label_end <= 144, f"{page}/{language}: label too wide ({label_end})"
    if checked:
        tab, (top, bottom) = tab_mask()
        shadow = shifted(tab, 0, 2).filter(ImageFilter.GaussianBlur(1.6))
        paint(image, shadow, SHADOW, 0.45)
        paint(image, tab, vertical_gradient((PAGE_W, PAGE_H), (255, 255, 255), (206, 220, 238),
                                            top, bottom))
        edge = ImageChops.subtract(tab, tab.filter(ImageFilter.MinFilter(3)))
        paint(image, edge, (255, 255, 255), 0.8)
        paint(image, symbol_mask, ACCENT)
        paint(image, label, NAVY)
    else:
        for mask in (symbol_mask, label):
            paint(image, shifted(mask, 0, 1), SHADOW, 0.45)
            paint(image, mask, SNOW)
    return image


# ---------------------------------------------------------------------------------------------
# The link's hand cursor: a hand pointing up with the index finger, hot spot at the fingertip.

HAND_HOT_SPOT = (12, 1)


def draw_hand():
    size = 32
    hand = Mask(size, size)
    # Finger edges sit on pixel borders so that the outline stays crisp.
    hand.line(12.0, 3.0, 12.0, 16.0, 4.0)  # index finger, pointing up
    hand.line(16.0, 12.2, 16.0, 17.0, 4.0)  # the folded fingers show as bumps
    hand.line(20.0, 13.2, 20.0, 18.0, 4.0)
    hand.line(24.0, 15.0, 24.0, 19.0, 4.0)
    hand.line(6.6, 17.4, 10.6, 22.6, 3.8)  # thumb
    hand.polygon([(10.0, 15.0), (26.0, 16.0), (26.0, 23.0), (23.0, 27.0), (13.0, 27.0),
                  (10.0, 24.0)])
    hand.rect(13.0, 24.0, 23.0, 30.0)  # wrist
    # The outline is the silhouette grown by one pixel, grown at the drawing scale so that it
    # stays one pixel wide and smooth.
    grown = hand.big.filter(ImageFilter.MaxFilter(2 * SCALE + 1))
    outline = grown.resize((size, size), Image.Resampling.BOX)
    body = hand.result()

    image = Image.new("RGBA", (size, size))
    paint(image, outline, (0, 0, 0))
    paint(image, body, (255, 255, 255))
    creases = Mask(size, size)
    for x, y0, y1 in ((14.0, 12.4, 16.4), (18.0, 13.4, 17.2), (22.0, 15.0, 18.2)):
        creases.rect(x, y0, x + 1.0, y1)
    paint(image, creases.result(), (0, 0, 0))
    return image


# ---------------------------------------------------------------------------------------------
# File formats.


def dib(image):
    """A 32 bits per pixel icon or cursor image: header, BGRA rows bottom-up, AND mask."""
    width, height = image.size
    pixels = image.load()
    xor = bytearray()
    mask = bytearray()
    stride = ((width + 31) // 32) * 4
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            r, g, b, a = pixels[x, y]
            xor += bytes((b, g, r, a))
            if a == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def icon_file(images, hot_spot=None):
    """An .ico (or, with a hot spot, a .cur) holding the given images."""
    kind = 1 if hot_spot is None else 2
    blobs = [dib(image) for image in images]
    data = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for image, blob in zip(images, blobs):
        width, height = image.size
        planes, bits = (1, 32) if hot_spot is None else hot_spot
        data += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, planes, bits,
                            len(blob), offset)
        offset += len(blob)
    return data + b"".join(blobs)


# ---------------------------------------------------------------------------------------------


def artwork():
    """Every picture: file name -> (kind, images)."""
    pictures = {
        "app.ico": ("icon", [draw_mark(16), draw_mark(32), draw_mark(48)]),
        # The Linux desktop's icon theme (hicolor) takes the mark as PNG files, one per size.
        "app_48.png": ("png", [draw_mark(48)]),
        "app_128.png": ("png", [draw_mark(128)]),
        "app_256.png": ("png", [draw_mark(256)]),
        "service_off.ico": ("icon", [draw_ball((236, 72, 64), (150, 22, 20))]),
        "service_on.ico": ("icon", [draw_ball((92, 214, 96), (18, 118, 40))]),
        "close.ico": ("icon", [draw_cross(16, 4.5, 2.0)]),
        "minimise.ico": ("icon", [draw_minimise()]),
        "popup_close.ico": ("icon", [draw_cross(12, 3.2, 1.6)]),
        "logo.bmp": ("bitmap", [draw_logo()]),
        "installer_side.bmp": ("bitmap", [draw_installer_side()]),
        "hand.cur": ("cursor", [draw_hand()]),
    }
    for language in ("en", "zh"):
        for page in ("basic", "advanced", "about"):
            pictures[f"page_{page}_{language}.ico"] = (
                "icon", [draw_page_button(page, language, False)])
            pictures[f"page_{page}_checked_{language}.ico"] = (
                "icon", [draw_page_button(page, language, True)])
    return pictures


def checkerboard(size, cell=4):
    image = Image.new("RGBA", size, (255, 255, 255, 255))
    draw = ImageDraw.Draw(image)
    for y in range(0, size[1], cell):
        for x in range(0, size[0], cell):
            if (x // cell + y // cell) % 2:
                draw.rectangle([x, y, x + cell - 1, y + cell - 1], fill=(204, 204, 204, 255))
    return image


def preview_sheet(pictures, zoom=3):
    tiles = []
    for name, (kind, images) in sorted(pictures.items()):
        for image in images:
            image = image.convert("RGBA")
            big = image.resize((image.width * zoom, image.height * zoom),
                               Image.Resampling.NEAREST)
            on_skin = solid(big.size, SKIN)
            on_skin.alpha_composite(big)
            on_check = checkerboard(big.size)
            on_check.alpha_composite(big)
            tiles.append((name, on_skin, on_check))
    font = ImageFont.truetype(LATIN_BOLD, 12)
    row_h = [max(t[1].height, 14) + 24 for t in tiles]
    width = 20 + max(t[1].width for t in tiles) * 2 + 40
    sheet = Image.new("RGBA", (width, sum(row_h) + 10), (240, 240, 240, 255))
    draw = ImageDraw.Draw(sheet)
    y = 10
    for (name, on_skin, on_check), h in zip(tiles, row_h):
        draw.text((10, y), name, font=font, fill=(0, 0, 0, 255))
        sheet.paste(on_skin, (10, y + 16))
        sheet.paste(on_check, (30 + on_skin.width, y + 16))
        y += h
    return sheet


def main(argv):
    preview_dir = None
    if len(argv) == 3 and argv[1] == "--preview":
        preview_dir = argv[2]
    elif len(argv) != 1:
        sys.exit(__doc__)
    pictures = artwork()
    os.makedirs(OUT, exist_ok=True)
    for name, (kind, images) in pictures.items():
        path = os.path.join(OUT, name)
        if kind == "bitmap":
            images[0].save(path, "BMP")
        elif kind == "png":
            images[0].save(path, "PNG", optimize=True)
        else:
            hot_spot = HAND_HOT_SPOT if kind == "cursor" else None
            with open(path, "wb") as out:
                out.write(icon_file(images, hot_spot))
    if preview_dir:
        os.makedirs(preview_dir, exist_ok=True)
        preview_sheet(pictures).convert("RGB").save(os.path.join(preview_dir, "sheet.png"))


if __name__ == "__main__":
    main(sys.argv)
