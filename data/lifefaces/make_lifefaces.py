#!/usr/bin/env python3
"""Draws the lifefaces that ship with tumbra and installs their catalogue.

usage: make_lifefaces.py IMAGEFILE_PY CATALOGUE_SOURCE OUT_DIR

Writes OUT_DIR/tumbra.ini (the catalogue source with CR LF line ends) and
OUT_DIR/tumbra/<file>.bmp for every lifeface below. Deterministic: the same
sources give the same bytes, so builds can be compared.

Every picture is a strip of square tiles of `pixels` pixels:
  column 0                 the background, drawn for every dead cell
  columns 1 .. x1-1        the birth run, played while a cell is being born
  columns x1 .. x2-1       the survivor cycle, looped while a cell lives
  columns x2 .. x3-1       the death run, played while a cell dies
and every tile row is a variant (a colour, a species) picked per cell.
The generator checks that the catalogue's numbers match the pictures, so the
two cannot drift apart.
"""

import colorsys
import math
import os
import sys

TAU = 2.0 * math.pi


# ---- colour helpers (colours are (r, g, b) floats in 0..1) -------------------

def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def scale(c, k):
    return (c[0] * k, c[1] * k, c[2] * k)


def add(a, b, k=1.0):
    return (a[0] + b[0] * k, a[1] + b[1] * k, a[2] + b[2] * k)


def over(base, colour, alpha):
    return mix(base, colour, clamp(alpha))


def hexc(text):
    v = int(text.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0)


def hsv(h, s, v):
    return colorsys.hsv_to_rgb(h % 1.0, s, v)


def cover(d):
    """Coverage of a pixel whose centre lies d pixels outside an edge."""
    return clamp(0.5 - d)


def frac(x):
    return x - math.floor(x)


def hash01(*values):
    """A repeatable pseudo-random number in 0..1 from integers."""
    h = 2166136261
    for v in values:
        h = ((h ^ (v & 0xFFFFFFFF)) * 16777619) & 0xFFFFFFFF
    h ^= h >> 13
    h = (h * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 4294967295.0


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = clamp(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy))
    return math.hypot(px - ax - vx * t, py - ay - vy * t)


def render(size, shade):
    """A tile of size x size pixels; shade(x, y) is asked at pixel centres."""
    return [[shade(x + 0.5, y + 0.5) for x in range(size)] for y in range(size)]


# ---- Ember Field: glowing coals, 16 pixels, 24-bit ------------------------------

EMBER_HUES = [
    # core, body, rim
    (hexc("fff2c0"), hexc("ff8c1a"), hexc("a32008")),   # amber
    (hexc("ffd0a0"), hexc("f03c14"), hexc("720808")),   # crimson
    (hexc("fffff0"), hexc("ffd85a"), hexc("d85a0c")),   # white-hot
]
EMBER_ASH = hexc("5a5452")


def ember_background(x, y):
    base = hexc("1b1513")
    grain = 0.012 * math.sin(TAU * (2 * x + y) / 16.0) + 0.010 * math.sin(TAU * (x - 3 * y) / 16.0 + 1.3)
    return add(base, (1.0, 0.8, 0.7), grain)


def ember_orb(x, y, row, radius, heat, phase, ash=0.0, crack=0.0):
    core, body, rim = EMBER_HUES[row]
    dx, dy = x - 8.0, y - 8.0
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx)
    edge = radius * (1.0 + 0.10 * math.sin(5 * a + phase) + 0.05 * math.sin(3 * a - 2 * phase))
    colour = ember_background(x, y)
    # The glow around the coal reaches a few pixels into the background.
    glow = heat * 0.55 * math.exp(-max(r - edge, 0.0) / 1.8) * (1.0 - ash)
    colour = add(colour, body, glow * 0.6)
    q = r / max(edge, 0.01)
    if q < 0.45:
        inner = mix(core, body, q / 0.45)
    else:
        inner = mix(body, rim, clamp((q - 0.45) / 0.55))
    dark = hexc("2a0c06")
    inner = mix(dark, inner, 0.35 + 0.65 * heat)
    inner = mix(inner, mix(EMBER_ASH, hexc("8a8480"), clamp(1.0 - q)), ash)
    alpha = cover(r - edge)
    if crack > 0.0:
        # Cracks open along spokes as the coal falls apart.
        spoke = abs(math.sin(3.5 * a + 0.7))
        alpha *= smoothstep(crack - 0.12, crack + 0.12, spoke * (0.6 + 0.4 * q))
    return over(colour, inner, alpha)


def ember_tile(kind, k, row):
    if kind == "background":
        return ember_background
    if kind == "birth":
        radius = (1.6, 3.0, 4.5, 5.8)[k]
        heat = (1.0, 0.95, 0.9, 0.88)[k]
        return lambda x, y: ember_orb(x, y, row, radius, heat, 0.0)
    if kind == "survivor":
        phase = TAU * k / 8.0
        heat = 0.82 + 0.18 * math.sin(phase)
        radius = 6.0 + 0.35 * math.sin(phase + 0.8)
        return lambda x, y: ember_orb(x, y, row, radius, heat, phase)
    u = (k + 1) / 6.0                                # death: cool, grey, crumble
    radius = 6.0 - 2.2 * u
    heat = max(0.0, 0.8 - 0.9 * u)
    ash = smoothstep(0.1, 0.7, u)
    crack = smoothstep(0.4, 1.0, u) * 0.9
    fade = 1.0 - smoothstep(0.75, 1.0, u) * 0.7

    def shade(x, y):
        c = ember_orb(x, y, row, radius, heat, u * 2.0, ash, crack)
        return mix(ember_background(x, y), c, fade)
    return shade


# ---- Soap Bubbles: 32 pixels, 8-bit palette --------------------------------------

BUBBLE_HUES = (0.52, 0.92, 0.28, 0.75)   # cyan, pink, lime, violet


def water(x, y):
    base = hexc("0a2444")
    caustic = (math.sin(TAU * (x + 2 * y) / 32.0) + math.sin(TAU * (3 * x - y) / 32.0 + 1.0)
               + 0.6 * math.sin(TAU * (2 * x + 3 * y) / 32.0 + 2.0))
    light = 0.018 * caustic + 0.02 * smoothstep(1.6, 2.4, caustic)
    return add(base, (0.45, 0.75, 1.0), light)


def bubble(x, y, row, cx, cy, rx, ry, phase, rim_boost=0.0, gaps=0.0):
    hue = BUBBLE_HUES[row]
    dx, dy = (x - cx) / rx, (y - cy) / ry
    q = math.hypot(dx, dy)
    a = math.atan2(dy, dx)
    colour = water(x, y)
    mean_r = 0.5 * (rx + ry)
    d = (q - 1.0) * mean_r
    if q < 1.0 + 1.0 / mean_r:
        tint = hsv(hue, 0.55, 0.9)
        colour = over(colour, tint, 0.10 * cover(d))
        # Thin-film colours run round the rim; the rim is brightest at the edge.
        film = hsv(hue + 0.12 * math.sin(2 * a + phase) + 0.06 * math.sin(5 * a - phase), 0.6, 1.0)
        rim = smoothstep(0.62, 0.98, q) * (0.75 + rim_boost)
        if gaps > 0.0:
            rim *= smoothstep(gaps - 0.1, gaps + 0.1, abs(math.sin(3 * a + 0.4)))
        colour = over(colour, film, rim * cover(d))
        # Window highlights: a big one up left, a small one down right.
        hx, hy = cx - 0.38 * rx + 0.6 * math.sin(phase), cy - 0.42 * ry
        h = math.hypot((x - hx) / (0.20 * rx), (y - hy) / (0.13 * ry))
        colour = over(colour, (1.0, 1.0, 1.0), 0.9 * cover((h - 1.0) * 0.2 * rx))
        h2 = math.hypot(x - (cx + 0.45 * rx), y - (cy + 0.40 * ry)) - 0.09 * mean_r
        colour = over(colour, (1.0, 1.0, 1.0), 0.55 * cover(h2))
    return colour


def bubbles_tile(kind, k, row):
    if kind == "background":
        return water
    if kind == "birth":
        u = (k + 1) / 6.0
        radius = 13.0 * (0.22 + 0.78 * u ** 0.8)
        cy = 16.0 + 6.0 * (1.0 - u)
        return lambda x, y: bubble(x, y, row, 16.0, cy, radius, radius * (0.94 + 0.06 * u), u * 3.0)
    if kind == "survivor":
        phase = TAU * k / 8.0
        rx = 13.0 * (1.0 + 0.05 * math.sin(phase))
        ry = 13.0 * (1.0 - 0.05 * math.sin(phase))
        return lambda x, y: bubble(x, y, row, 16.0, 16.0 + 0.7 * math.sin(phase + 1.0), rx, ry, phase)
    if k == 0:
        return lambda x, y: bubble(x, y, row, 16.0, 16.0, 13.8, 13.2, 0.5, rim_boost=0.25)
    if k == 1:
        return lambda x, y: bubble(x, y, row, 16.0, 16.0, 14.5, 14.5, 1.0, rim_boost=0.25, gaps=0.55)
    # Droplets fly out from the burst and fade.
    u = (k - 1) / 4.0
    drops = []
    for i in range(9):
        ang = TAU * i / 9.0 + 0.3 * hash01(i, 7)
        dist = 11.0 + 9.0 * u * (0.8 + 0.4 * hash01(i, 3))
        drops.append((16.0 + dist * math.cos(ang), 16.0 + dist * math.sin(ang)))
    size = 1.9 * (1.0 - 0.55 * u)
    strength = 1.0 - 0.8 * u
    film = hsv(BUBBLE_HUES[row], 0.5, 1.0)

    def shade(x, y):
        c = water(x, y)
        for px, py in drops:
            d = math.hypot(x - px, y - py) - size
            c = over(c, film, strength * cover(d))
        return c
    return shade


# ---- Clockwork: gears, 24 pixels, 4-bit palette -----------------------------------

GEAR_METALS = [
    (hexc("d8a743"), hexc("7a5518")),   # brass: lit, shadow
    (hexc("c8ced6"), hexc("56606c")),   # steel
]
GEAR_RUST = (hexc("9a4a1c"), hexc("4a2210"))


def plate(x, y):
    base = hexc("262a30")
    brushed = 0.018 * math.sin(TAU * 4 * y / 24.0) + 0.010 * math.sin(TAU * (x + 6 * y) / 24.0)
    c = add(base, (1.0, 1.0, 1.0), brushed)
    # Quarter rivets in the corners make whole rivets where four cells meet.
    for cx, cy in ((0.0, 0.0), (24.0, 0.0), (0.0, 24.0), (24.0, 24.0)):
        r = math.hypot(x - cx, y - cy)
        if r < 3.5:
            lit = 0.5 + 0.5 * clamp(-((x - cx) + (y - cy)) / 3.0, -1.0, 1.0)
            c = over(c, mix(hexc("3c424a"), hexc("8a929c"), lit), cover(r - 2.6))
    return c


def gear(x, y, metal, rotation, teeth=8, built=1.0, lost=0.0, rust=0.0, alpha=1.0):
    dx, dy = x - 12.0, y - 12.0
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx) - rotation
    s = a * teeth / TAU
    w = abs(frac(s) - 0.5)
    # A trapezoid tooth: flat top, sloped flanks, soft edges.
    tooth = clamp((0.30 - w) / 0.10)
    if int(math.floor(s)) % teeth < int(round(lost * teeth)):
        tooth = 0.0
    root, tip = 8.2, 10.8
    reach = 3.9 + (tip - 3.9) * clamp(built * 1.5 - 0.5)
    edge = min(root + (tip - root) * tooth * smoothstep(0.8, 1.0, built), reach)
    solid = cover(r - edge)
    # The hole in the hub, and the windows between four spokes.
    solid *= 1.0 - cover(r - 1.9)
    line = min(abs(dx * math.sin(rotation) - dy * math.cos(rotation)),
               abs(dx * math.cos(rotation) + dy * math.sin(rotation)))
    window = max(3.4 - r, r - 6.7, 0.9 - line)
    if built < 0.5:
        window = max(3.4 - r, 0.9 - line)   # spokes before the rim
    solid *= 1.0 - cover(window)
    lit_col, shadow_col = metal
    if rust > 0.0:
        lit_col = mix(lit_col, GEAR_RUST[0], rust)
        shadow_col = mix(shadow_col, GEAR_RUST[1], rust)
    light = 0.5 - 0.5 * (dx + dy) / (1.414 * max(r, 0.5))
    body = mix(shadow_col, lit_col, 0.2 + 0.8 * light)
    # Shade the outline and the rims of the holes a little.
    if r > edge - 1.1 or r < 2.8 or -1.0 < window < 0.0:
        body = mix(body, shadow_col, 0.55)
    if rust > 0.3 and hash01(int(x), int(y), 5) < rust * 0.35:
        body = mix(body, GEAR_RUST[1], 0.7)
    return over(plate(x, y), body, solid * alpha)


def clockwork_tile(kind, k, row):
    metal = GEAR_METALS[row]
    if kind == "background":
        return plate
    if kind == "birth":
        built = (0.2, 0.45, 0.75, 1.0)[k]
        return lambda x, y: gear(x, y, metal, 0.0, built=built)
    if kind == "survivor":
        rotation = (TAU / 4.0) * k / 8.0
        return lambda x, y: gear(x, y, metal, rotation)
    u = (k + 1) / 6.0
    return lambda x, y: gear(x, y, metal, 0.04 * k, lost=min(u * 1.2, 1.0), rust=smoothstep(0.0, 0.6, u),
                             alpha=1.0 - smoothstep(0.55, 1.0, u) * 0.85)


# ---- Pixel Critters: 8 pixels, 4-bit palette, hand-drawn sprites ------------------

CRITTER_PALETTE = {
    ".": None,
    "k": hexc("0c0c1e"),   # night sky
    "s": hexc("3a3a66"),   # faint star
    "S": hexc("b0b0e0"),   # bright star
    "w": hexc("ffffff"),
    "p": hexc("101018"),   # pupils
    "g": hexc("5ad45a"), "G": hexc("257a2a"),   # beetle
    "m": hexc("ff7ac0"), "M": hexc("a83c78"),   # blob
    "y": hexc("ffd83a"), "Y": hexc("c07a10"),   # bird
    "o": hexc("ff9a3a"), "O": hexc("8a4a14"),   # cat
}

def sprite(*lines):
    """A 7 x 7 drawing in the top-left of the tile: a gutter keeps neighbours apart."""
    return [line + "." for line in lines] + ["........"]


def blinked(lines, eye, lid):
    return [line.replace(eye, lid).replace("w", lid) for line in lines]


BEETLE_A = sprite(".G...G.", "..G.G..", ".ggggg.", "gpgggpg", "gggGggg", ".ggGgg.", "G.G.G.G")
BEETLE_B = sprite("..G.G..", "..G.G..", ".ggggg.", "gpgggpg", "gggGggg", ".ggGgg.", ".G.G.G.")
BLOB_A = sprite("..mmm..", ".mmmmm.", "mwpmwpm", "mmmmmmm", "mmMMMmm", "mmmmmmm", "m.m.m.m")
BLOB_B = sprite(".......", ".mmmmm.", "mwpmwpm", "mmmmmmm", "mmMMMmm", "mmmmmmm", ".m.m.m.")
BIRD_A = sprite("y.....y", "yy...yy", ".yyyyy.", "..wpyY.", "..yyy..", "..yyy..", "..Y.Y..")
BIRD_B = sprite(".......", ".......", ".yyyyy.", "yywpyYy", "y.yyy.y", "..yyy..", "..Y.Y..")
CAT_A = sprite("o.....o", "oo...oo", "ooooooo", "owpowpo", "ooOOOoo", ".ooooo.", ".O...O.")
CAT_B = sprite(".......", "o.....o", "ooooooo", "owpowpo", "ooOOOoo", ".ooooo.", ".O...O.")

CRITTER_SPECIES = [
    {"a": BEETLE_A, "b": BEETLE_B, "blink": blinked(BEETLE_A, "p", "G"), "light": "g"},   # scuttling beetle
    {"a": BLOB_A, "b": BLOB_B, "blink": blinked(BLOB_A, "p", "M"), "light": "m"},         # wobbling jelly
    {"a": BIRD_A, "b": BIRD_B, "blink": blinked(BIRD_A, "p", "Y"), "light": "y"},         # flapping bird
    {"a": CAT_A, "b": CAT_B, "blink": blinked(CAT_A, "p", "O"), "light": "o"},            # cat, ears twitching
]

# Each row has its own scatter of stars, so the night is not a grid.
CRITTER_STARS = [((2, 5, "s"),), ((6, 1, "s"), (1, 2, "s")), ((5, 6, "S"),), ((3, 3, "s"),)]


def critters_tile(kind, k, row):
    species = CRITTER_SPECIES[row]
    sky = [["k"] * 8 for _ in range(8)]
    for sx, sy, ch in CRITTER_STARS[row]:
        sky[sy][sx] = ch
    grid = [r[:] for r in sky]

    def stamp(sprite, keep=lambda x, y: True, recolour=None, shift=None):
        for y in range(8):
            for x in range(8):
                ch = sprite[y][x]
                if ch == "." or not keep(x, y):
                    continue
                tx, ty = (x, y) if shift is None else shift(x, y)
                if 0 <= tx < 8 and 0 <= ty < 8:
                    grid[ty][tx] = recolour if recolour else ch

    if kind == "survivor":
        stamp((species["a"], species["b"], species["a"], species["blink"])[k])
    elif kind == "birth":
        if k == 0:    # a twinkle where it will stand
            for x, y in ((3, 1), (1, 4), (6, 3), (4, 6), (3, 4), (4, 3)):
                grid[y][x] = "S" if (x + y) % 2 else species["light"]
        elif k == 1:  # beamed in every other line, in light
            stamp(species["a"], keep=lambda x, y: y % 2 == 0, recolour=species["light"])
            stamp(species["a"], keep=lambda x, y: y % 2 == 1, recolour="w")
        else:         # whole, eyes shut against the glare
            stamp(species["blink"])
    elif kind == "death":
        if k == 0:    # a white flash of its outline
            stamp(species["a"], recolour="w")
        elif k == 1:  # burst: the pixels fly apart
            def away(x, y):
                return (x + (1 if x >= 3 else -1) * (1 + (x + y) % 2), y + (1 if y >= 3 else -1))
            stamp(species["a"], keep=lambda x, y: (x * 3 + y) % 3 != 0, shift=away)
        else:         # embers of it drift away
            for x, y in ((0, 1), (7, 2), (1, 7), (6, 6)):
                grid[y][x] = species["light"] if (x + y) % 2 else "s"
    return lambda x, y: CRITTER_PALETTE[grid[int(y)][int(x)]]


# ---- Spring Meadow: flowers, 20 pixels, 32-bit ------------------------------------

PETALS = [hexc("ff8cb4"), hexc("ffd630"), hexc("f6f4ee"), hexc("a67cf0"), hexc("e82a2a")]
WILTED = hexc("7a5228")


def grass(x, y):
    base = hexc("2f6b26")
    blades = math.sin(TAU * (3 * x) / 20.0 + 1.5 * math.sin(TAU * y / 20.0))
    tufts = math.sin(TAU * (x + 2 * y) / 20.0)
    return add(add(base, hexc("1a3010"), -0.55 * smoothstep(0.6, 1.0, blades)),
               hexc("6ab04a"), 0.20 * smoothstep(0.5, 1.0, tufts))


def flower(x, y, petal, radius, rotation, petals=5.0, sway=0.0, keep=5, centre=1.0, wilt=0.0, stem=True):
    cx, cy = 10.0 + sway, 9.5
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx) - rotation
    c = grass(x, y)
    if stem:
        d = segment_distance(x, y, cx, cy, 10.0, 19.5) - 0.8
        c = over(c, hexc("3f8f2a"), cover(d))
        leaf = math.hypot((x - 12.5) / 2.4, (y - 15.5) / 1.0) - 1.0
        c = over(c, hexc("4fa83a"), cover(leaf * 1.3))
    if radius <= 0.0:
        return c
    # Five rounded petals; a petal is kept while its index is below `keep`.
    s = a * petals / TAU
    index = int(math.floor(s + 0.5)) % int(petals)
    lobe = abs(math.cos(math.pi * (s - math.floor(s + 0.5))))
    edge = radius * (0.35 + 0.65 * lobe ** 0.7)
    colour = mix(petal, WILTED, wilt)
    shaded = mix(mix(colour, (0.0, 0.0, 0.0), 0.35), mix(colour, (1.0, 1.0, 1.0), 0.25), clamp(r / radius))
    if index < keep:
        c = over(c, mix(shaded, (0.0, 0.0, 0.0), 0.45), cover(r - edge - 0.6))
        c = over(c, shaded, cover(r - edge + 0.3))
    if centre > 0.0:
        disc = mix(hexc("ffbf1f"), hexc("6a4010"), wilt)
        c = over(c, mix(disc, hexc("8a5a10"), clamp(r / (2.4 * centre))), cover(r - 2.4 * centre))
    return c


def meadow_tile(kind, k, row):
    petal = PETALS[row]
    if kind == "background":
        return grass
    if kind == "birth":
        if k == 0:    # a sprout
            return lambda x, y: over(grass(x, y), hexc("5cc040"),
                                     cover(min(segment_distance(x, y, 10.0, 19.5, 10.0, 14.0) - 0.8,
                                               math.hypot((x - 8.5) / 1.8, (y - 14.0) / 0.9) - 1.0,
                                               math.hypot((x - 11.5) / 1.8, (y - 13.5) / 0.9) - 1.0)))
        if k == 1:    # a green bud
            def bud(x, y):
                c = flower(x, y, petal, 0.0, 0.0)
                d = math.hypot((x - 10.0) / 2.2, (y - 9.5) / 3.0) - 1.0
                return over(c, mix(hexc("3f8f2a"), petal, 0.25), cover(d * 2.2))
            return bud
        if k == 2:    # the bud shows its colour
            def opening(x, y):
                c = flower(x, y, petal, 0.0, 0.0)
                d = math.hypot((x - 10.0) / 2.8, (y - 9.0) / 3.6) - 1.0
                c = over(c, petal, cover(d * 2.8))
                return over(c, hexc("3f8f2a"), cover(math.hypot((x - 10.0) / 2.8, (y - 11.5) / 1.4) - 1.0))
            return opening
        radius = (5.5, 8.3)[k - 3]
        return lambda x, y: flower(x, y, petal, radius, 0.0, centre=0.7 + 0.3 * (k - 3))
    if kind == "survivor":
        rotation = (TAU / 5.0) * k / 6.0
        sway = 0.5 * math.sin(TAU * k / 6.0)
        return lambda x, y: flower(x, y, petal, 8.3 + 0.3 * math.cos(TAU * k / 6.0), rotation, sway=sway)
    u = (k + 1) / 5.0
    keep = (5, 4, 2, 0, 0)[k]
    wilt = smoothstep(0.0, 0.6, u)
    radius = 8.3 - 2.0 * u
    centre = (1.0, 0.9, 0.8, 0.6, 0.0)[k]
    fade = 1.0 - smoothstep(0.6, 1.0, u) * 0.6

    def shade(x, y):
        c = flower(x, y, petal, radius, 0.1 * k, keep=keep, centre=centre, wilt=wilt, stem=k < 4)
        if k == 4:    # two fallen petals lie on the grass
            for px, py in ((5.0, 16.0), (15.0, 17.0)):
                d = math.hypot((x - px) / 2.0, (y - py) / 1.0) - 1.0
                c = over(c, mix(petal, WILTED, 0.8), cover(d * 1.5))
        return mix(grass(x, y), c, fade)
    return shade


# ---- Neon Rings: 12 pixels, 8-bit palette, 24 hues --------------------------------

NEON_HUES = 24


def neon_board(x, y):
    c = hexc("07060c")
    # A faint grid on the tile edges: the sign board behind the tubes.
    if x < 1.0 or y < 1.0:
        c = hexc("14121f")
    return c


def neon_ring(x, y, row, sweep=TAU, glow=1.0, radius=3.9):
    hue = hsv(row / float(NEON_HUES), 0.85, 1.0)
    dx, dy = x - 6.0, y - 6.0
    r = math.hypot(dx, dy)
    a = frac((math.atan2(dy, dx) + math.pi / 2.0) / TAU) * TAU  # 0 at the top, clockwise
    if sweep < TAU:
        if a > sweep:
            # Outside the drawn arc: distance to the nearer end of it.
            ends = ((6.0 + radius * math.sin(0.0), 6.0 - radius * math.cos(0.0)),
                    (6.0 + radius * math.sin(sweep), 6.0 - radius * math.cos(sweep)))
            d = min(math.hypot(x - ex, y - ey) for ex, ey in ends)
        else:
            d = abs(r - radius)
    else:
        d = abs(r - radius)
    c = neon_board(x, y)
    c = add(c, hue, glow * 0.55 * math.exp(-d / 1.3))
    tube = cover(d - 0.75) * glow
    c = over(c, mix(hue, (1.0, 1.0, 1.0), 0.3 * glow), tube)
    return (clamp(c[0]), clamp(c[1]), clamp(c[2]))


def neon_tile(kind, k, row):
    if kind == "background":
        return neon_board
    if kind == "birth":
        sweep = TAU * (k + 1) / 4.0 - (0.0 if k == 3 else 0.2)
        return lambda x, y: neon_ring(x, y, row, sweep=sweep, glow=0.9)
    if kind == "survivor":
        glow = (1.0, 0.8, 0.62, 0.8)[k]
        radius = (3.9, 3.75, 3.6, 3.75)[k]
        return lambda x, y: neon_ring(x, y, row, glow=glow, radius=radius)
    glow = (0.45, 0.95, 0.12, 0.05)[k]   # the tube flickers out
    return lambda x, y: neon_ring(x, y, row, glow=glow)


# ---- Green Phosphor: 10 pixels, 1-bit -------------------------------------------

PHOSPHOR_PALETTE = [hexc("03100a"), hexc("5aff8c")]

SPINNER = [
    ["....##....", "....##....", "....##....", "....##....", "....##....", "....##....", "....##....", "....##...."],
    ["........#.", ".......##.", "......##..", ".....##...", "....##....", "...##.....", "..##......", ".##......."],
    ["..........", "..........", "..........", "########..", "########..", "..........", "..........", ".........."],
    [".#........", ".##.......", "..##......", "...##.....", "....##....", ".....##...", "......##..", ".......#.."],
]


def phosphor_glyph(k):
    """Spinner glyph k inside the four corner marks of a live cell."""
    grid = [[0] * 10 for _ in range(10)]
    for y, line in enumerate(SPINNER[k]):
        for x, ch in enumerate(line):
            if ch == "#":
                gx = x + (1 if k == 2 else 0)
                grid[y + 1][gx] = 1
    for x, y in ((1, 1), (8, 1), (1, 8), (8, 8)):
        grid[y][x] = 1
    return grid


def phosphor_tile(kind, k, row):
    grid = [[0] * 10 for _ in range(10)]
    if kind == "birth":
        if k == 0:
            for x, y in ((4, 4), (5, 5)):
                grid[y][x] = 1
        elif k == 1:
            for x, y in ((4, 4), (5, 4), (4, 5), (5, 5), (4, 2), (5, 7), (2, 5), (7, 4)):
                grid[y][x] = 1
        else:
            full = phosphor_glyph(0)
            grid = [[full[y][x] if (x + y) % 2 == 0 else 0 for x in range(10)] for y in range(10)]
    elif kind == "survivor":
        grid = phosphor_glyph(k)
    elif kind == "death":
        # The glyph burns out through ever sparser dither.
        full = phosphor_glyph(0)
        keep = ((0, 1, 2, 3), (0, 3), (0,), ())[k]
        bayer = ((0, 2), (3, 1))
        for y in range(10):
            for x in range(10):
                if full[y][x] and bayer[y % 2][x % 2] in keep:
                    grid[y][x] = 1
        if k == 3:
            grid[2][6] = 1
            grid[7][3] = 1
    return lambda x, y: grid[int(y)][int(x)]


# ---- the shipped set --------------------------------------------------------------

# name of the file, tile size, depth, runs (birth, survivor, death), rows, drawing
LIFEFACES = [
    {"file": "ember.bmp", "pixels": 16, "bits": 24, "runs": (4, 8, 6), "rows": 3, "tile": ember_tile},
    {"file": "bubbles.bmp", "pixels": 32, "bits": 8, "runs": (6, 8, 6), "rows": 4, "tile": bubbles_tile},
    {"file": "clockwork.bmp", "pixels": 24, "bits": 4, "runs": (4, 8, 6), "rows": 2, "tile": clockwork_tile},
    {"file": "critters.bmp", "pixels": 8, "bits": 4, "runs": (3, 4, 3), "rows": 4, "tile": critters_tile,
     "palette": "exact"},
    {"file": "meadow.bmp", "pixels": 20, "bits": 32, "runs": (5, 6, 5), "rows": 5, "tile": meadow_tile},
    {"file": "neon.bmp", "pixels": 12, "bits": 8, "runs": (4, 4, 4), "rows": NEON_HUES, "tile": neon_tile},
    {"file": "phosphor.bmp", "pixels": 10, "bits": 1, "runs": (3, 4, 4), "rows": 1, "tile": phosphor_tile,
     "palette": PHOSPHOR_PALETTE},
]


def layout(face):
    """Tile columns x0..x3 and the picture's size in tiles."""
    birth, survivors, death = face["runs"]
    x0 = 1
    x1 = x0 + birth
    x2 = x1 + survivors
    x3 = x2 + death
    return x0, x1, x2, x3


def draw_face(face):
    """The whole picture as rows of colours (floats, or palette indexes)."""
    p = face["pixels"]
    x0, x1, x2, x3 = layout(face)
    columns = [("background", 0)]
    columns += [("birth", k) for k in range(x1 - x0)]
    columns += [("survivor", k) for k in range(x2 - x1)]
    columns += [("death", k) for k in range(x3 - x2)]
    picture = [[None] * (x3 * p) for _ in range(face["rows"] * p)]
    for row in range(face["rows"]):
        for column, (kind, k) in enumerate(columns):
            tile = render(p, face["tile"](kind, k, row))
            for y in range(p):
                picture[row * p + y][column * p:(column + 1) * p] = tile[y]
    return picture


def to_bytes(colour):
    return tuple(int(round(clamp(v) * 255.0)) for v in colour)


def median_cut(histogram, count):
    """Splits {(r, g, b): pixels} into at most count boxes of colours.

    Returns the palette and, for every colour, its palette index (the
    weighted mean of the colour's box stands for all of the box).
    """
    def measure(items):
        ranges = [max(c[ch] for c, _ in items) - min(c[ch] for c, _ in items) for ch in range(3)]
        weight = sum(n for _, n in items)
        return {"items": items, "ranges": ranges, "weight": weight}

    boxes = [measure(sorted(histogram.items()))]
    while len(boxes) < count:
        best, best_key = None, None
        for i, box in enumerate(boxes):
            if len(box["items"]) < 2:
                continue
            key = (max(box["ranges"]) * math.sqrt(box["weight"]), -i)
            if best_key is None or key > best_key:
                best, best_key = i, key
        if best is None:
            break
        box = boxes[best]
        channel = box["ranges"].index(max(box["ranges"]))
        items = sorted(box["items"], key=lambda item: (item[0][channel], item[0]))
        running, cut = 0, 1
        for j, (_, n) in enumerate(items):
            running += n
            if running * 2 >= box["weight"]:
                cut = min(j + 1, len(items) - 1)
                break
        boxes[best:best + 1] = [measure(items[:cut]), measure(items[cut:])]
    means = []
    for box in boxes:
        w = box["weight"]
        means.append(tuple(int(round(sum(c[ch] * n for c, n in box["items"]) / w)) for ch in range(3)))
    palette = sorted(set(means))
    position = {c: i for i, c in enumerate(palette)}
    lookup = {}
    for box, mean in zip(boxes, means):
        for c, _ in box["items"]:
            lookup[c] = position[mean]
    return palette, lookup


def palettize(picture, bits):
    """Palette indexes and the palette for a picture of colours."""
    rows = [[to_bytes(c) for c in line] for line in picture]
    histogram = {}
    for line in rows:
        for c in line:
            histogram[c] = histogram.get(c, 0) + 1
    if len(histogram) <= 1 << bits:
        palette = sorted(histogram)
        lookup = {c: i for i, c in enumerate(palette)}
    else:
        palette, lookup = median_cut(histogram, 1 << bits)
    return [[lookup[c] for c in line] for line in rows], palette


def write_face(imagefile, face, folder):
    picture = draw_face(face)
    path = os.path.join(folder, face["file"])
    bits = face["bits"]
    height, width = len(picture), len(picture[0])
    if bits > 8:
        imagefile.write_bmp(path, width, height, [[to_bytes(c) for c in line] for line in picture], bits=bits)
    elif isinstance(face.get("palette"), list):
        palette = [to_bytes(c) for c in face["palette"]]
        imagefile.write_bmp(path, width, height, picture, bits=bits, palette=palette)
    else:
        indexes, palette = palettize(picture, bits)
        imagefile.write_bmp(path, width, height, indexes, bits=bits, palette=palette)
    return width, height


# ---- the catalogue ----------------------------------------------------------------

def split_outside_quotes(text, separator):
    """Splits at separator characters that stand outside a quoted string."""
    parts, current, quote = [], "", None
    for ch in text:
        if quote:
            quote = None if ch == quote else quote
        elif ch in "\"'":
            quote = ch
        elif ch == separator:
            parts.append(current)
            current = ""
            continue
        current += ch
    return parts + [current]


def read_catalogue(path):
    """Sections of a catalogue as {name: {key: value}}; enough for our own file."""
    sections, current = {}, None
    with open(path, encoding="ascii") as f:
        for line in f:
            text = split_outside_quotes(line, ";")[0].strip()
            if not text:
                continue
            if text.startswith("["):
                current = " ".join(text.strip("[]").split())
                sections[current] = {}
                continue
            for item in split_outside_quotes(text, ","):
                key, _, value = item.partition("=")
                if current is not None:
                    sections[current][key.strip().lower()] = value.strip().strip("\"'")
    return sections


def check_catalogue(sections):
    """The catalogue must describe every picture exactly as it is drawn."""
    problems = []
    by_file = {}
    for name, keys in sections.items():
        by_file[keys.get("bmp", "").replace("\\", "/").split("/")[-1]] = (name, keys)
    for face in LIFEFACES:
        if face["file"] not in by_file:
            problems.append("%s has no catalogue section" % face["file"])
            continue
        name, keys = by_file[face["file"]]
        x0, x1, x2, x3 = layout(face)
        expected = {"pixels": face["pixels"], "x0": x0, "x1": x1, "x2": x2, "x3": x3}
        for key, value in expected.items():
            if keys.get(key) != str(value):
                problems.append("[%s] %s should be %d" % (name, key, value))
        y0, y1 = int(keys.get("y0", "0")), int(keys.get("y1", "0"))
        if not (0 <= y0 <= y1 <= face["rows"]) or (y0 == y1 and y0 >= face["rows"]):
            problems.append("[%s] rows %d..%d do not fit %d tile rows" % (name, y0, y1, face["rows"]))
        for key in ("author", "comment"):
            if not keys.get(key):
                problems.append("[%s] has no %s" % (name, key))
    return problems


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    imagefile_path, catalogue_source, out_dir = argv[1:]
    sys.path.insert(0, os.path.dirname(os.path.abspath(imagefile_path)))
    import imagefile  # noqa: E402  (found through the path given on the command line)

    folder = os.path.join(out_dir, "tumbra")
    os.makedirs(folder, exist_ok=True)
    for face in LIFEFACES:
        write_face(imagefile, face, folder)
    problems = check_catalogue(read_catalogue(catalogue_source))
    if problems:
        for p in problems:
            sys.stderr.write("tumbra.ini: %s\n" % p)
        return 1
    with open(catalogue_source, "rb") as f:
        text = f.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    with open(os.path.join(out_dir, "tumbra.ini"), "wb") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
