#!/usr/bin/env python3
"""Draws the program's icon, a 32 x 32 image of 256 colours: a note pad with an arrow that
turns away from it (Notepad's place taken by another editor). Writes src/resources/zanvek.ico.
Run it again after changing the drawing; the build uses the checked-in file."""
import pathlib
import struct

SIZE = 32
PALETTE = [  # (red, green, blue); the rest of the 256 entries stay black
    (0, 0, 0),        # 0 unused (transparent pixels use the AND mask)
    (255, 255, 255),  # 1 paper
    (96, 96, 96),     # 2 outline
    (120, 160, 220),  # 3 ruled lines
    (30, 60, 140),    # 4 binding
    (240, 140, 20),   # 5 arrow
    (170, 80, 0),     # 6 arrow outline
    (210, 210, 210),  # 7 paper shade
]

pixels = [[None] * SIZE for _ in range(SIZE)]  # None: transparent


def put(x, y, colour):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        pixels[y][x] = colour


# The pad: paper with an outline, a shade on the right, a binding and ruled lines.
for y in range(3, 29):
    for x in range(4, 24):
        put(x, y, 1)
for x in range(4, 24):
    put(x, 3, 2)
    put(x, 28, 2)
for y in range(3, 29):
    put(4, y, 2)
    put(23, y, 2)
    put(22, y, 7)
for y in range(4, 7):
    for x in range(5, 23):
        put(x, y, 4)
for y in range(10, 27, 4):
    for x in range(7, 21):
        put(x, y, 3)

# The arrow: a thick diagonal from the pad's middle out to the upper right, with a head.
for i in range(0, 13):
    x, y = 12 + i, 25 - i
    for d in (-1, 0, 1):
        put(x + d, y, 5)
    put(x - 2, y, 6)
    put(x + 2, y, 6)
for (x, y) in [(21, 11), (22, 11), (23, 11), (24, 11), (25, 11), (26, 11), (27, 11),
               (27, 12), (27, 13), (27, 14), (27, 15), (27, 16), (27, 17)]:
    put(x, y, 6)
for y in range(12, 17):
    for x in range(28 - (17 - y) - 1, 27):
        put(x, y, 5)

header = struct.pack('<HHH', 0, 1, 1)
xor = b''.join(bytes(pixels[y][x] or 0 for x in range(SIZE)) for y in reversed(range(SIZE)))
mask = b''
for y in reversed(range(SIZE)):
    bits = 0
    for x in range(SIZE):
        if pixels[y][x] is None:
            bits |= 1 << (31 - x)
    mask += struct.pack('>I', bits)
palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE + [(0, 0, 0)] * (256 - len(PALETTE)))
info = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
image = info + palette + xor + mask
entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
out = pathlib.Path(__file__).resolve().parent.parent / 'src' / 'resources' / 'zanvek.ico'
out.write_bytes(header + entry + image)
print(f'{out}: {len(header + entry + image)} bytes')
