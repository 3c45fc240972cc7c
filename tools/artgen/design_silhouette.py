#!/usr/bin/env python3
"""Lays out the window silhouette (assets/silhouette.txt) and the squirrel's tail/feet outline
(assets/squirrel_outline.txt) from a few curves. Run by hand when the shape changes; the build
reads only the text files."""
import math, sys

W, H = 345, 505
# Tail: right edge of the kept row, rows 448..488 (row 489 is the bottom corner).
CY, A = 466.0, 25.0


def tail_edge(y):
    yc = y + 0.5
    if yc < CY:
        b, p = 19.0, 2.2
    else:
        b, p = 23.0, 1.8
    t = abs(yc - CY) / b
    if t >= 1:
        return 321
    return 318.5 + A * (1 - t ** p) ** (1 / p)


def ellipse_span(cx, cy, rx, ry, y):
    t = (y + 0.5 - cy) / ry
    if abs(t) >= 1:
        return None
    d = rx * math.sqrt(1 - t * t)
    return cx - d, cx + d


# Feet lobe: the player's base, two hind feet and the tail's bottom curl.
FEET = [
    (232.0, 484.0, 17.5, 10.0),   # player base
    (302.0, 483.0, 14.0, 9.0),    # tail's bottom curl
    (268.0, 482.0, 46.0, 13.5),   # belly / haunches
    (252.0, 494.0, 17.0, 7.0),    # back foot
    (269.5, 497.0, 15.0, 7.0),    # front foot (lowest point)
]


def main():
    rows = {}
    for y in range(0, 490):
        x0 = {0: 3, 1: 2, 2: 1, 487: 1, 488: 2, 489: 3}.get(y, 0)
        x1 = {0: 318, 1: 319, 2: 320, 489: 318}.get(y, 321)
        if 448 <= y <= 488:
            e = tail_edge(y)
            x1 = max(321, min(343, int(math.floor(e - 0.5))))
            # The tail leaves the panel's edge on a slope, not a step.
            x1 = min(x1, 322 + 3 * (y - 448))
            if 463 <= y <= 468:
                x1 = 343
            elif x1 == 343:
                x1 = 342
        rows[y] = [(x0, x1)]
    for y in range(490, 504):
        spans = []
        for cx, cy, rx, ry in FEET:
            s = ellipse_span(cx, cy, rx, ry, y)
            if s:
                a = max(215, math.ceil(s[0] - 0.5))
                b = min(315, math.floor(s[1] - 0.5))
                if a <= b:
                    spans.append([a, b])
        spans.sort()
        merged = []
        for a, b in spans:
            if merged and a <= merged[-1][1] + 1:
                merged[-1][1] = max(merged[-1][1], b)
            else:
                merged.append([a, b])
        rows[y] = [tuple(s) for s in merged]
    rows[503] = [(267, 271)]
    rows[490] = [(215, 315)]
    # Fill the rest up to the window's fixed area, a pixel at a time on the feet's flanks.
    need = 159159 - sum(b - a + 1 for r in rows.values() for a, b in r)
    order = [494, 495, 496, 497, 498, 499, 500, 493, 492, 491]
    i = 0
    while need != 0 and i < 200:
        y = order[i % len(order)]
        a, b = rows[y][-1]
        if need > 0:
            rows[y][-1] = (a, b + 1) if (i // len(order)) % 2 == 0 else (a, b)
            if (i // len(order)) % 2 == 1:
                a0, b0 = rows[y][0]
                rows[y][0] = (a0 - 1, b0)
            need -= 1
        else:
            rows[y][-1] = (a, b - 1)
            need += 1
        i += 1
    total = sum(b - a + 1 for r in rows.values() for a, b in r)
    print("kept", total, "target 159159 diff", 159159 - total, file=sys.stderr)
    return rows


def write(rows, path):
    with open(path, "w") as f:
        f.write("# Window silhouette: kept pixels of the 345 x 505 face, per row from the top.\n")
        f.write("# 'FIRST-LAST: x0-x1 [x0-x1 ...]' keeps those inclusive columns in rows FIRST..LAST.\n")
        f.write("# Everything else is cut. Made by tools/artgen/design_silhouette.py.\n")
        f.write("size 345 505\n")
        y = 0
        while y < 504:
            z = y
            while z + 1 < 504 and rows[z + 1] == rows[y]:
                z += 1
            runs = " ".join("%d-%d" % r for r in rows[y])
            f.write("%d-%d: %s\n" % (y, z, runs))
            y = z + 1


if __name__ == "__main__":
    rows = main()
    for y in range(448, 504):
        print(y, rows[y], file=sys.stderr)
    if len(sys.argv) > 1:
        write(rows, sys.argv[1])
