#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What changed between two screenshots (binary PPM, as grim -t ppm writes them), for tests
that find a panel's icon and the menu it pops up by looking at the screen.

  screen.py changed BEFORE AFTER X Y W H   the box "X Y W H" around the pixels that differ
                                           inside the given box; status 1 when none do
  screen.py menu BEFORE AFTER              the pop-up menu that AFTER shows and BEFORE does not:
                                           "X Y W H" of its light body, then on a second line
                                           the middle Y of each row of text in it, top first;
                                           status 1 when nothing light appeared
  screen.py same A B X Y W H               status 0 when the box is alike in both, else 1
Status 2 on bad arguments or an unreadable picture.
"""
import sys

LIGHT = 200  # a menu's ground under the light default theme is at least this bright
DARK = 110  # its text, check marks and mnemonic underlines at most this


def read_ppm(path):
    with open(path, 'rb') as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b'P6' or fields[3] != b'255':
        raise ValueError(f'{path}: not an 8-bit binary PPM')
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + width * height * 3]


class Image:
    def __init__(self, path):
        self.width, self.height, self.pixels = read_ppm(path)

    def row(self, y, x0, x1):
        start = (y * self.width + x0) * 3
        return self.pixels[start:start + (x1 - x0) * 3]

    def brightness(self, x, y):
        i = (y * self.width + x) * 3
        return (self.pixels[i] * 299 + self.pixels[i + 1] * 587 + self.pixels[i + 2] * 114) // 1000


def box_args(image, args):
    x, y, w, h = (int(a) for a in args)
    return max(x, 0), max(y, 0), min(x + w, image.width), min(y + h, image.height)


def changed_box(before, after, x0, y0, x1, y1, wanted=lambda image, x, y: True):
    """The box around the pixels in [x0, x1) x [y0, y1) that differ and that `wanted` takes."""
    xs, ys = [], []
    for y in range(y0, y1):
        a, b = before.row(y, x0, x1), after.row(y, x0, x1)
        if a == b:
            continue
        for i in range(0, len(a), 3):
            if a[i:i + 3] != b[i:i + 3] and wanted(after, x0 + i // 3, y):
                xs.append(x0 + i // 3)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


def text_rows(before, after, x, y, w, h):
    """The middle of each band of rows with dark pixels that were not there before, between
    light ones (the menu's shadow and the screen behind its rounded corners are no text);
    bands closer than 3 rows are one (a letter's dot, an underline)."""
    def has_text(r):
        a, b = before.row(r, x, x + w), after.row(r, x, x + w)
        light = [c for c in range(w) if after.brightness(x + c, r) >= LIGHT]
        if a == b or len(light) < 2:
            return False
        return any(a[3 * c:3 * c + 3] != b[3 * c:3 * c + 3] and after.brightness(x + c, r) <= DARK
                   for c in range(light[0] + 1, light[-1]))
    bands, start, end, gap = [], None, None, 0
    for r in list(range(y, y + h)) + [None] * 3:
        if r is not None and has_text(r):
            if start is None:
                start = r
            gap, end = 0, r
        elif start is not None:
            gap += 1
            if gap >= 3:
                bands.append((start + end) // 2)
                start = None
    return bands


def main(argv):
    command = argv[1] if len(argv) > 1 else ''
    if command == 'changed' and len(argv) == 8:
        before, after = Image(argv[2]), Image(argv[3])
        found = changed_box(before, after, *box_args(after, argv[4:8]))
    elif command == 'menu' and len(argv) == 4:
        before, after = Image(argv[2]), Image(argv[3])
        found = changed_box(before, after, 0, 0, after.width, after.height,
                            lambda image, x, y: image.brightness(x, y) >= LIGHT)
        if found:
            print(*found)
            print(*text_rows(before, after, *found))
            return 0
    elif command == 'same' and len(argv) == 8:
        a, b = Image(argv[2]), Image(argv[3])
        x0, y0, x1, y1 = box_args(a, argv[4:8])
        return 0 if all(a.row(y, x0, x1) == b.row(y, x0, x1) for y in range(y0, y1)) else 1
    else:
        print(__doc__, file=sys.stderr)
        return 2
    if not found:
        return 1
    print(*found)
    return 0


if __name__ == '__main__':
    try:
        sys.exit(main(sys.argv))
    except (OSError, ValueError, IndexError) as error:
        print(f'screen.py: {error}', file=sys.stderr)
        sys.exit(2)
