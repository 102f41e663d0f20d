#!/usr/bin/python3
"""Regenerates the tool's artwork from the drawings below, with nothing but
Python's standard library:

  qvtpx0xtweaker/res/Quorvella_logo_h.png  horizontal logotype, 2190 x 416, RGBA
  qvtpx0xtweaker/res/qvtpx0xtweaker.ico    window icon, one 37 x 48 image, 8 bpp
  qvtpx0xtweaker/res/qvtpx0xtweaker.png    the same icon on a 48 x 48 canvas, for desktops

Run it from anywhere; it writes next to the sources.
"""
import pathlib
import struct
import zlib

RES = pathlib.Path(__file__).resolve().parent.parent / "qvtpx0xtweaker" / "res"

# Letters of the logotype on a 5 x 7 grid ('#' is ink).
GLYPHS = {
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
}

# The icon: a screen on a wall plate, drawn on its 37 x 48 grid.
# '.' transparent, 'p' plate, 's' screen, 'l' light on the screen, 'k' frame.
ICON = [
    ".....................................",
    ".....................................",
    ".....................................",
    ".....................................",
    ".....................................",
    "...ppppppppppppppppppppppppppppppp...",
    "..ppppppppppppppppppppppppppppppppp..",
    "..ppppppppppppppppppppppppppppppppp..",
    "..ppkkkkkkkkkkkkkkkkkkkkkkkkkkkkkpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppksssllllllllllllllllllllsssskpp..",
    "..ppksssllllllllllllllllllllsssskpp..",
    "..ppksssllllllllllllllllllllsssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssslllllllllllllssssssssssskpp..",
    "..ppkssslllllllllllllssssssssssskpp..",
    "..ppkssslllllllllllllssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssslllllllllllllllllssssssskpp..",
    "..ppkssslllllllllllllllllssssssskpp..",
    "..ppkssslllllllllllllllllssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkssssssssssssssssssssssssssskpp..",
    "..ppkkkkkkkkkkkkkkkkkkkkkkkkkkkkkpp..",
    "..ppppppppppppppppppppppppppppppppp..",
    "..ppppppppppppppppppppppppppppppppp..",
    "..ppppppppppppppppppppppppppppppppp..",
    "..ppppppppppppppppppppppppppppppppp..",
    "..ppppppppppppppppppppppppppppppppp..",
    "..pppppppppppppkkkkkkkkkppppppppppp..",
    "..ppppppppppppppppppppppppppppppppp..",
    "...ppppppppppppppppppppppppppppppp...",
    ".....................................",
    ".....................................",
    ".....................................",
    ".....................................",
    ".....................................",
    ".....................................",
]

INK = (0x1F, 0x4E, 0x79, 0xFF)     # deep blue
ACCENT = (0xE8, 0x6A, 0x33, 0xFF)  # orange
PALETTE = {".": (0, 0, 0), "p": (0xE6, 0xE8, 0xEB), "k": (0x1F, 0x4E, 0x79),
           "s": (0x2E, 0x86, 0xC1), "l": (0xF4, 0xF6, 0xF8)}


def png(width, height, pixels, level=9):
    """pixels(x, y) -> (r, g, b, a); returns the bytes of an 8-bit RGBA PNG
    whose image data is compressed at zlib's `level`."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixels(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(rows), level)) + chunk(b"IEND", b""))


def logo_pixels():
    width, height, unit, gap = 2190, 416, 24, 2
    word = "QUORVELLA"
    word_width = (len(word) * (5 + gap) - gap) * unit
    left = 416 + (width - 416 - word_width) // 2
    top = (height - 7 * unit) // 2

    def pixel(x, y):
        # Emblem: an orange disc with a white screen in it.
        dx, dy = x - 208, y - 208
        if dx * dx + dy * dy <= 180 * 180:
            if -90 <= dx <= 90 and -60 <= dy <= 60:
                return (0xFF, 0xFF, 0xFF, 0xFF)
            return ACCENT
        col, row = (x - left) // unit, (y - top) // unit
        if x >= left and 0 <= row < 7 and 0 <= col < len(word) * (5 + gap):
            letter, cell = divmod(col, 5 + gap)
            if letter < len(word) and cell < 5 and GLYPHS[word[letter]][row][cell] == "#":
                return INK
        if top + 8 * unit <= y < top + 8 * unit + 12 and left <= x < left + word_width:
            return ACCENT
        return (0, 0, 0, 0)
    return width, height, pixel


def ico(rows):
    width, height = len(rows[0]), len(rows)
    keys = sorted(PALETTE)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0)
                       for r, g, b in (PALETTE[k] for k in keys)).ljust(256 * 4, b"\0")
    stride = (width + 3) // 4 * 4
    mask_stride = ((width + 7) // 8 + 3) // 4 * 4
    colours, mask = bytearray(), bytearray()
    for row in reversed(rows):  # bottom-up, as in every BMP
        colours.extend(bytes(keys.index(c) for c in row).ljust(stride, b"\0"))
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c == ".":
                bits[x // 8] |= 0x80 >> (x % 8)
        mask.extend(bits)
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 8, 0,
                         len(colours) + len(mask), 0, 0, 256, 0)
    image = header + palette + bytes(colours) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", width, height, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + image


def icon_png(rows):
    width, height = len(rows[0]), len(rows)
    left = (48 - width) // 2

    def pixel(x, y):
        c = rows[y][x - left] if 0 <= x - left < width and y < height else "."
        return (0, 0, 0, 0) if c == "." else PALETTE[c] + (0xFF,)
    return png(48, 48, pixel)


def main():
    # The logo is decoded at every start: level 1 inflates about twice as
    # fast as level 9, for a file a few KiB larger.
    (RES / "Quorvella_logo_h.png").write_bytes(png(*logo_pixels(), level=1))
    assert all(len(r) == 37 for r in ICON) and len(ICON) == 48, "icon grid must be 37 x 48"
    (RES / "qvtpx0xtweaker.ico").write_bytes(ico(ICON))
    (RES / "qvtpx0xtweaker.png").write_bytes(icon_png(ICON))


if __name__ == "__main__":
    main()
