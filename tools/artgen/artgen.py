#!/usr/bin/python3
"""Pet sprite generator.

Draws every walking sheet, the splash picture, the icons and the contact
sheet from code, and writes the species table (C++ and Markdown) from the
same data so names and art never drift apart.

Run from the repository root:  /usr/bin/python3 tools/artgen/artgen.py
Output is deterministic: no randomness, PNGs written without timestamps.
"""
import colorsys
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pet_data import (  # noqa: E402
    SPECIES, FLUFF, FLUFF_PALETTES, FACE_GREY, BG_TEAL, BG_BLUE, SPECIAL_EVOLUTION)

CW, CH = 24, 32           # one animation cell
RAINBOW = [(236, 92, 92), (248, 164, 72), (248, 224, 96), (112, 200, 112), (96, 156, 232), (156, 112, 220)]
GROUND = 29               # lowest figure row; row 30 takes the outline
N4 = ((1, 0), (-1, 0), (0, 1), (0, -1))

# --------------------------------------------------------------------------
# colour helpers
# --------------------------------------------------------------------------

def clamp8(v):
    return max(0, min(255, int(round(v))))


def _toward(h, target, amt):
    d = (target - h + 0.5) % 1.0 - 0.5
    return (h + d * amt) % 1.0


def hls_adj(rgb, dl=0.0, lmul=1.0, smul=1.0, hue_to=None, hue_amt=0.0):
    r, g, b = (c / 255.0 for c in rgb)
    h, l, s = colorsys.rgb_to_hls(r, g, b)
    if hue_to is not None and s > 0.02:
        h = _toward(h, hue_to, hue_amt)
    l = max(0.0, min(1.0, l * lmul + dl))
    s = max(0.0, min(1.0, s * smul))
    r, g, b = colorsys.hls_to_rgb(h, l, s)
    return (clamp8(r * 255), clamp8(g * 255), clamp8(b * 255))


def mix(a, b, t):
    return tuple(clamp8(a[i] + (b[i] - a[i]) * t) for i in range(3))


def ramp(base, outline=None):
    """Five tones for one material. Shadows lean cool, lights lean warm,
    the usual trick that keeps small sprites from looking muddy."""
    base = tuple(base)
    _, l, _ = colorsys.rgb_to_hls(*(c / 255.0 for c in base))
    shade = hls_adj(base, lmul=0.80 if l > 0.3 else 0.72, smul=1.08, hue_to=0.72, hue_amt=0.10)
    light = hls_adj(base, dl=(1 - l) * 0.30, smul=0.95, hue_to=0.14, hue_amt=0.06)
    hl = hls_adj(base, dl=(1 - l) * 0.68, smul=0.8, hue_to=0.14, hue_amt=0.08)
    if outline is None:
        outline = hls_adj(base, lmul=0.36 if l > 0.3 else 0.42, smul=1.1, hue_to=0.75, hue_amt=0.15)
        if l < 0.25:
            outline = hls_adj(base, lmul=0.35, smul=0.9)
    return {"o": tuple(outline), "s": shade, "b": base, "l": light, "h": hl}


def is_dark(rgb):
    return colorsys.rgb_to_hls(*(c / 255.0 for c in rgb))[1] < 0.36


def lum(rgb):
    return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]


# A pet must read on any wallpaper: in every cell at least a quarter of the
# figure is light enough to show on black and a quarter dark enough to show
# on white (luminance 0.299 R + 0.587 G + 0.114 B).
LIGHT_MIN, DARK_MAX, MIN_SHARE = 70, 185, 0.25


def rim_colours(body):
    """Moonlit rim for night bodies: the body's hue, light and soft, brighter
    on the top and left edges where the light comes from."""
    h, _, s = colorsys.rgb_to_hls(*(c / 255.0 for c in body))
    hi = colorsys.hls_to_rgb(h, 0.68, min(s, 0.50))
    lo = colorsys.hls_to_rgb(h, 0.50, min(s, 0.45))
    return tuple(clamp8(c * 255) for c in hi), tuple(clamp8(c * 255) for c in lo)


# --------------------------------------------------------------------------
# masks: sets of (x, y) pixels; geometry in cell pixel space, pixel centres
# at +0.5 so a shape centred on x=12 is symmetric about the cell middle
# --------------------------------------------------------------------------

def ell(cx, cy, rx, ry):
    m = set()
    for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
        for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
            u = (x + 0.5 - cx) / rx
            v = (y + 0.5 - cy) / ry
            if u * u + v * v <= 1.0:
                m.add((x, y))
    return m


def fuzz(cx, cy, rx, ry, lobes=12, amp=0.09, phase=0.0):
    """Ellipse with tufted rim: the fluff look."""
    m = set()
    for y in range(int(cy - ry) - 2, int(cy + ry) + 3):
        for x in range(int(cx - rx) - 2, int(cx + rx) + 3):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            a = math.atan2(dy, dx)
            k = 1.0 + amp * max(0.0, math.cos(lobes * a + phase)) ** 2
            u, v = dx / (rx * k), dy / (ry * k)
            if u * u + v * v <= 1.0:
                m.add((x, y))
    return m


def poly(pts):
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    m = set()
    for y in range(int(min(ys)) - 1, int(max(ys)) + 2):
        for x in range(int(min(xs)) - 1, int(max(xs)) + 2):
            px, py = x + 0.5, y + 0.5
            inside = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > py) != (yj > py):
                    xc = xi + (py - yi) * (xj - xi) / (yj - yi)
                    if px < xc:
                        inside = not inside
                j = i
            if inside:
                m.add((x, y))
    return m


def cap(x0, y0, x1, y1, r):
    m = set()
    for y in range(int(min(y0, y1) - r) - 1, int(max(y0, y1) + r) + 2):
        for x in range(int(min(x0, x1) - r) - 1, int(max(x0, x1) + r) + 2):
            px, py = x + 0.5, y + 0.5
            dx, dy = x1 - x0, y1 - y0
            L = dx * dx + dy * dy
            t = 0.0 if L == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / L))
            qx, qy = x0 + t * dx - px, y0 + t * dy - py
            if qx * qx + qy * qy <= r * r + 1e-9:
                m.add((x, y))
    return m


def rect(x0, y0, x1, y1):
    return {(x, y) for x in range(x0, x1 + 1) for y in range(y0, y1 + 1)}


def shift(m, dx, dy):
    return {(x + dx, y + dy) for x, y in m}


def mirror_m(m):
    return {(CW - 1 - x, y) for x, y in m}


def stamp(rows, x0, y0):
    """ASCII pixel map -> {(x, y): char}; '.' is transparent."""
    out = {}
    for j, row in enumerate(rows):
        for i, ch in enumerate(row):
            if ch != '.':
                out[(x0 + i, y0 + j)] = ch
    return out


# --------------------------------------------------------------------------
# one animation cell
# --------------------------------------------------------------------------

class Cell:
    """Paints 'stickers': each part gets its own outline ring and shading,
    and later parts overlap earlier ones, so layering reads at 24x32."""

    def __init__(self, flip=False):
        self.px = {}
        self.flip = flip

    def _t(self, m):
        if self.flip:
            m = mirror_m(m)
        return set(m)

    def sticker(self, m, rp, outline=True, shading=True, hl=True, light=False, flat=None):
        m = self._t(m)
        if not m:
            return m
        if outline:
            for x, y in m:
                for dx, dy in N4:
                    q = (x + dx, y + dy)
                    if q not in m:
                        self.px[q] = rp["o"]
        if flat is not None:
            for p in m:
                self.px[p] = flat
            return m
        xs = [p[0] for p in m]
        ys = [p[1] for p in m]
        x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
        w, h = x1 - x0 + 1, y1 - y0 + 1
        cx, cy = (x0 + x1 + 1) / 2.0, (y0 + y1 + 1) / 2.0
        rx, ry = w / 2.0, h / 2.0
        for (x, y) in m:
            col = rp["b"]
            if shading:
                if w <= 3 or h <= 3:
                    if (w > 1 and (x + 1, y) not in m and w <= 3) or (h <= 3 and h > 1 and (x, y + 1) not in m):
                        col = rp["s"]
                else:
                    u = (x + 0.5 - cx) / rx
                    v = (y + 0.5 - cy) / ry
                    d = (u + 0.28) ** 2 + (v + 0.34) ** 2
                    edge = (x + 1, y) not in m or (x, y + 1) not in m
                    if d > 1.12 or (edge and d > 0.7):
                        col = rp["s"]
                    elif light and d < 0.30:
                        col = rp["l"]
                    if hl and w >= 5 and h >= 5:
                        if (u + 0.45) ** 2 / 0.05 + (v + 0.52) ** 2 / 0.03 <= 1.0 and not edge:
                            col = rp["h"]
            self.px[(x, y)] = col
        return m

    def paint(self, m, col):
        for p in self._t(m):
            self.px[p] = col

    def dot(self, x, y, col):
        self.paint({(x, y)}, col)

    def stamp(self, rows, x0, y0, key, only_on=None):
        for (x, y), ch in stamp(rows, x0, y0).items():
            if ch in key:
                p = self._t({(x, y)})
                if p and (only_on is None or next(iter(p)) in only_on):
                    self.paint({(x, y)}, key[ch])

    def has(self, x, y):
        return bool(self._t({(x, y)})) and next(iter(self._t({(x, y)}))) in self.px

    def bbox(self):
        xs = [p[0] for p in self.px]
        ys = [p[1] for p in self.px]
        return min(xs), min(ys), max(xs), max(ys)

    def finish(self, bg, fill_holes_with, dx=0, dy=0):
        """Flatten onto the background; tiny enclosed background pockets are
        filled so the colour key never punches holes inside a figure."""
        grid = [[self.px.get((x - dx, y - dy), None) for x in range(CW)] for y in range(CH)]
        seen = set()
        stack = [(x, y) for x in range(CW) for y in (0, CH - 1)] + \
                [(x, y) for y in range(CH) for x in (0, CW - 1)]
        while stack:
            x, y = stack.pop()
            if (x, y) in seen or not (0 <= x < CW and 0 <= y < CH):
                continue
            if grid[y][x] is not None:
                continue
            seen.add((x, y))
            for dx, dy in N4:
                stack.append((x + dx, y + dy))
        out = []
        for y in range(CH):
            row = []
            for x in range(CW):
                c = grid[y][x]
                if c is None:
                    c = bg if (x, y) in seen else fill_holes_with
                row.append(c)
            out.append(row)
        return out


# --------------------------------------------------------------------------
# faces
# --------------------------------------------------------------------------

EYE_STAMPS = {
    # left eye of a front view; the right eye is its mirror
    "dot": ["e", "e"],
    "big": ["we", "ee"],
    "sleep": ["..", "ee"],
    "half": ["ee", ".."],
    "glow": ["gg", "ge"],
    "owl": [".gg.", "gwe.", ".ee.", "...."],
    "bead": ["e"],
    "none": [],
}
EYE_SIDE = {
    "dot": ["e", "e"],
    "big": ["w", "e"],
    "sleep": [".", "e"],
    "half": ["e", "."],
    "glow": ["g", "e"],
    "owl": ["gg", "we"],
    "bead": ["e"],
    "none": [],
}


def face_cols(sp, rp):
    dark = is_dark(sp["body"])
    ec = sp.get("eyecol") or ((255, 236, 150) if dark else (40, 30, 52))
    return {
        "e": ec,
        "w": (255, 255, 255),
        "g": sp.get("glowcol", (255, 214, 64)),
        "m": sp.get("mouthcol") or (mix(rp["o"], (0, 0, 0), 0.2) if not dark else mix(rp["b"], (255, 255, 255), 0.45)),
        "c": sp.get("cheek", mix(rp["b"], (255, 96, 120), 0.45)),
    }


def draw_face(c, sp, rp, view, hx, ey, my, gap=3, cheeks=None):
    """hx = face centre line (12 for front views), ey = eye row, my = mouth row."""
    style = sp.get("eye", "dot")
    cols = face_cols(sp, rp)
    if cheeks is None:
        cheeks = sp.get("cheeks", False)
    if view == "front":
        st = EYE_STAMPS[style]
        w = len(st[0]) if st else 1
        lx = int(hx - gap - w + 1) if style != "owl" else int(hx - gap - 2)
        for j, row in enumerate(st):
            for i, ch in enumerate(row):
                if ch in cols:
                    c.dot(lx + i, ey + j, cols[ch])
                    c.dot(CW - 1 - (lx + i), ey + j, cols[ch])
        mouth = sp.get("mouth", "small")
        mc = cols["m"]
        if mouth == "small":
            c.dot(11, my, mc); c.dot(12, my, mc)
        elif mouth == "w":
            c.dot(10, my, mc); c.dot(11, my + 1, mc); c.dot(12, my + 1, mc); c.dot(13, my, mc)
        elif mouth == "wide":
            for x in range(9, 15):
                c.dot(x, my, mc)
            c.dot(8, my - 1, mc); c.dot(15, my - 1, mc)
        elif mouth == "beak":
            bc = ramp(sp.get("beak", (244, 160, 48)))
            c.sticker(rect(11, my - 1, 12, my), bc, outline=False)
            c.dot(11, my - 1, bc["l"]); c.dot(12, my, bc["s"])
        elif mouth == "fang":
            c.dot(11, my, mc); c.dot(12, my, mc); c.dot(12, my + 1, (255, 255, 255))
        elif mouth == "snout":
            pass
        if cheeks:
            c.dot(lx - 1, ey + 2, cols["c"]); c.dot(CW - 1 - (lx - 1), ey + 2, cols["c"])
    else:  # side view, facing right (the Cell mirrors for left)
        st = EYE_SIDE[style]
        ex = int(hx)
        for j, row in enumerate(st):
            for i, ch in enumerate(row):
                if ch in cols:
                    c.dot(ex + i, ey + j, cols[ch])
        mouth = sp.get("mouth", "small")
        mx = ex + 2 + (1 if style == "owl" else 0)
        if mouth in ("small", "w", "fang"):
            c.dot(mx, my, cols["m"])
        elif mouth == "wide":
            c.dot(mx, my, cols["m"]); c.dot(mx - 1, my, cols["m"]); c.dot(mx - 2, my - 1, cols["m"])
        if cheeks:
            c.dot(ex - 1, ey + 2, cols["c"])


# --------------------------------------------------------------------------
# shared parts
# --------------------------------------------------------------------------

def part_ramp(sp, key, default):
    v = sp.get(key, default)
    return ramp(v) if v is not None else None


def draw_ears(c, sp, rp, view, hx, hy, hr, layer):
    """layer 'back' draws ears behind the head (all views); inner colour only in front."""
    kind = sp.get("ears")
    if not kind:
        return
    er = part_ramp(sp, "earcol", sp["body"])
    inner = sp.get("earin", mix(sp["body"], (255, 150, 170), 0.5))
    top = hy - hr
    if view == "side":
        xs = [(hx - hr * 0.45, True), (hx + hr * 0.05, False)]
    else:
        xs = [(hx - hr * 0.62, False), (hx + hr * 0.62, False)]
    for i, (ex, far) in enumerate(xs):
        sgn = -1 if (view != "side" and i == 0) else 1
        if view == "side":
            sgn = -1
        rpx = {**er, "b": er["s"], "s": er["o"] if False else er["s"]} if far else er
        if kind == "point":
            m = poly([(ex - 2.6, top + 3.0), (ex + 2.4, top + 3.0), (ex + 0.5 * sgn * 0.0 + (sgn * 0.6), top - 3.8)])
        elif kind == "round":
            m = ell(ex, top + 0.8, 2.4, 2.4)
        elif kind == "long":
            m = ell(ex + sgn * 0.4, top - 3.5, 1.9, 5.8)
        elif kind == "bat":
            m = poly([(ex - 3.2, top + 3.5), (ex + 2.6, top + 3.0), (ex + sgn * 1.6, top - 5.2)])
        elif kind == "tuft":
            m = poly([(ex - 2.0, top + 2.5), (ex + 2.0, top + 2.5), (ex + sgn * 1.5, top - 2.5)])
        elif kind == "flop":
            if view == "side":
                if far:
                    continue
                m = ell(hx - hr * 0.55, hy - hr * 0.05, 1.8, 3.0)
            else:
                m = ell(hx + sgn * (hr - 0.3), hy - hr * 0.05, 2.0, 3.6)
        elif kind == "eyebump":
            m = ell(ex + (0 if view == "side" else sgn * 0.3), top + 0.8, 2.6, 2.3)
        else:
            m = set()
        if kind == "flop" and layer == "front":
            c.sticker(m, ramp(sp.get("earcol", hls_adj(sp["body"], lmul=0.8))), hl=False)
            continue
        if layer != "back":
            continue
        drawn = c.sticker(m, rpx, hl=False)
        if kind in ("point", "long", "bat") and view == "front" and inner:
            # inner ear: a narrower copy of the same shape
            if kind == "long":
                mi = ell(ex + sgn * 0.4, top - 3.0, 0.8, 4.2)
            elif kind == "bat":
                mi = poly([(ex - 1.6, top + 2.6), (ex + 1.2, top + 2.4), (ex + sgn * 1.2, top - 3.0)])
            else:
                mi = poly([(ex - 1.2, top + 3.0), (ex + 1.0, top + 3.0), (ex + sgn * 0.6, top - 1.4)])
            c.paint(mi, inner)
        if kind == "eyebump":
            cols = face_cols(sp, rp)
            if view == "front":
                ix = int(ex) - 1 if sgn < 0 else int(ex)
                c.dot(ix, int(top), cols["e"]); c.dot(ix, int(top) + 1, cols["e"])
                c.dot(ix + (1 if sgn < 0 else -1) * 0, int(top), cols["w"])
            elif view == "side" and not far:
                c.dot(int(ex) + 1, int(top), cols["w"]); c.dot(int(ex) + 1, int(top) + 1, cols["e"])


def draw_headgear(c, sp, rp, view, hx, hy, hr, layer, s=0):
    kind = sp.get("top")
    if not kind:
        return
    top = hy - hr
    d = 1 if view == "side" else 0
    if kind == "nightcap" and layer == "front":
        cr = ramp(sp.get("topcol", (72, 84, 180)))
        side = -1 if view == "side" else 1
        if view == "side":
            tip = (hx - 7.5, top + 2.5)
            m = poly([(hx - hr * 0.85, top + 3.2), (hx + hr * 0.85, top + 3.2), (hx - 3.5, top - 4.0), tip, (hx - 3.0, top - 1.0)])
        else:
            tip = (hx + 7.0, top + 0.5)
            m = poly([(hx - hr * 0.85, top + 3.2), (hx + hr * 0.85, top + 3.2), (hx + 5.5, top - 2.0), tip,
                      (hx + 3.0, top - 4.5), (hx + 0.5, top - 6.0), (hx - 3.5, top - 3.0)])
        c.sticker(m, cr)
        c.sticker(rect(int(hx - hr * 0.85) + 1, int(top + 2.5), int(hx + hr * 0.85) - 1, int(top + 3.5)), ramp((236, 236, 250)), hl=False)
        c.sticker(ell(tip[0], tip[1] + 0.5, 1.6, 1.6), ramp((255, 222, 96)), hl=False)
    elif kind == "sprout" and layer == "front":
        g = ramp((120, 196, 72))
        c.sticker(cap(hx, top + 1, hx, top - 2.5, 0.5), ramp((90, 150, 60)), hl=False)
        c.sticker(ell(hx - 2.2, top - 3.2, 2.2, 1.3), g, hl=False)
        c.sticker(ell(hx + 2.2, top - 4.0, 2.2, 1.3), g, hl=False)
    elif kind == "leaf" and layer == "back":
        g = ramp((96, 188, 72))
        m = poly([(hx - 1, top + 2), (hx + 1, top + 2), (hx + 5.5, top - 5.5), (hx + 1.5, top - 6.5), (hx - 2.5, top - 3)])
        c.sticker(m, g)
        c.paint(cap(hx, top + 1, hx + 3.5, top - 4.5, 0.3), g["s"])
    elif kind == "crown" and layer == "front":
        gk = ramp((252, 204, 56))
        rows = ["g.g.g", "ggggg", "grgbg"] if view != "side" else ["g.g.", "gggg", "grgg"]
        x0 = int(hx) - (2 if view != "side" else 1)
        y0 = int(top) - 2
        cells = stamp(rows, x0, y0)
        c.sticker(set(cells.keys()), gk, shading=False)
        for p, ch in cells.items():
            if ch == "r":
                c.paint({p}, (228, 48, 80))
            elif ch == "b":
                c.paint({p}, (72, 140, 240))
            elif p[1] == y0:
                c.paint({p}, gk["h"])
    elif kind == "halo" and layer == "front":
        hc = ramp((255, 226, 96))
        y = top - 3.5
        outer = ell(hx, y, 4.6, 1.6)
        inner = ell(hx, y, 2.6, 0.6)
        c.sticker(outer - inner, hc, shading=False)
        c.paint(inner, hc["o"])
    elif kind == "mane" and layer == "back":
        mr = ramp(sp.get("topcol", (236, 110, 40)))
        if view == "side":
            m = fuzz(hx - 1.5, hy + 0.5, hr + 2.2, hr + 2.4, lobes=7, amp=0.22)
        else:
            m = fuzz(hx, hy + 0.5, hr + 2.6, hr + 2.4, lobes=8, amp=0.22, phase=math.pi / 8)
        c.sticker(m, mr)
    elif kind == "petals" and layer == "back":
        pr = ramp(sp.get("topcol", (255, 214, 48)))
        n = 10
        for i in range(n):
            a = 2 * math.pi * i / n + (0.3 if view == "side" else 0)
            m = ell(hx + math.cos(a) * (hr + 1.6), hy + math.sin(a) * (hr + 1.4), 2.2, 2.2)
            c.sticker(m, pr, hl=False)
    elif kind == "rays" and layer == "back":
        pr = ramp(sp.get("topcol", (255, 150, 40)))
        for i in range(8):
            a = 2 * math.pi * i / 8 + math.pi / 8
            ax, ay = math.cos(a), math.sin(a)
            if ay > 0.5:
                continue
            bx, by = hx + ax * (hr - 1), hy + ay * (hr - 1)
            tx, ty = hx + ax * (hr + 3.2), hy + ay * (hr + 3.2)
            px_, py_ = -ay * 1.8, ax * 1.8
            c.sticker(poly([(bx + px_, by + py_), (bx - px_, by - py_), (tx, ty)]), pr, hl=False)
    elif kind == "antler" and layer == "back":
        ar = ramp(sp.get("topcol", (176, 120, 80)))
        for sgn in ((-1, 1) if view != "side" else (-1,)):
            bx = hx + sgn * 2 if view != "side" else hx - 1
            m = cap(bx, top + 1.5, bx + sgn * 1.5, top - 3.5, 0.6) | cap(bx + sgn * 0.8, top - 1.2, bx + sgn * 3.2, top - 2.6, 0.6)
            c.sticker(m, ar, hl=False)
    elif kind == "nubs" and layer == "back":
        ar = ramp(sp.get("topcol", (240, 220, 170)))
        for sgn in ((-1, 1) if view != "side" else (-1, 1)):
            bx = hx + sgn * (hr * 0.5) if view != "side" else hx + sgn * 1.5 - 1
            c.sticker(poly([(bx - 1.5, top + 2), (bx + 1.5, top + 2), (bx + sgn * 1.4, top - 2.8)]), ar, hl=False)
    elif kind == "unicorn" and layer == "front":
        ar = ramp(sp.get("topcol", (252, 206, 72)))
        if view == "side":
            m = poly([(hx - 0.5, top + 2.2), (hx + 2.2, top + 1.5), (hx + 3.5, top - 5.5)])
        else:
            m = poly([(hx - 1.6, top + 2.0), (hx + 1.6, top + 2.0), (hx, top - 6.0)])
        if view != "back":
            drawn = c.sticker(m, ar, hl=False)
            c.paint({(int(hx) - (1 if view != "side" else -1), int(top) - 1)}, ar["h"])
            c.paint({(int(hx) - (0 if view != "side" else -2), int(top) - 3)}, ar["h"])
        else:
            c.sticker(m, ar, hl=False)
    elif kind == "crest" and layer == "back":
        cr = ramp(sp.get("topcol", sp["body"]))
        if view == "side":
            m = poly([(hx - 2, top + 2), (hx + 1, top + 2), (hx - 4.5, top - 4)]) | poly([(hx - 0.5, top + 2), (hx + 2, top + 2), (hx - 1.5, top - 5)])
        else:
            m = poly([(hx - 2.2, top + 2), (hx + 2.2, top + 2), (hx, top - 5)]) | poly([(hx - 3, top + 2.5), (hx - 0.5, top + 2), (hx - 3.5, top - 2.5)]) | poly([(hx + 3, top + 2.5), (hx + 0.5, top + 2), (hx + 3.5, top - 2.5)])
        c.sticker(m, cr, hl=False)
    elif kind == "flame" and layer == "back":
        fr = ramp(sp.get("topcol", (255, 168, 40)))
        fl = s
        if view == "side":
            m = poly([(hx - 4, top + 3), (hx + 3, top + 2), (hx - 4.5 + fl * 0.5, top - 6), (hx - 1.5, top - 2), (hx - 1 + fl * 0.5, top - 4.5)])
        else:
            m = poly([(hx - 4, top + 3), (hx + 4, top + 3), (hx + 2.6, top - 4.0), (hx + 0.8, top - 1.5), (hx + fl * 0.7, top - 7),
                      (hx - 1.2, top - 1.5), (hx - 3, top - 4.5)])
        c.sticker(m, fr)
        core = ramp((255, 240, 150))
        c.paint(ell(hx - (1 if view == "side" else 0), top + 0.5, 1.3, 1.8), core["b"])
    elif kind == "flowers" and layer == "front":
        fr = ramp(sp.get("topcol", (255, 190, 214)))
        xs = (-3.5, 0, 3.5) if view != "side" else (-3, 0.5)
        for i, dx in enumerate(xs):
            y = top - (0.5 if dx == 0 else -0.3)
            c.sticker(ell(hx + dx, y, 1.7, 1.6), fr, hl=False)
            c.paint({(int(hx + dx), int(y))}, (255, 236, 120))
    elif kind == "icecrown" and layer == "front":
        ir = ramp(sp.get("topcol", (190, 236, 255)))
        xs = (-3, 0, 3) if view != "side" else (-2, 1)
        for dx in xs:
            hgt = 3.5 if dx == 0 else 2.0
            c.sticker(poly([(hx + dx - 1.1, top + 1.5), (hx + dx + 1.1, top + 1.5), (hx + dx, top - hgt)]), ir, hl=False, shading=False)


def draw_tail(c, sp, view, bx, by, s, side_back_x, layer):
    """bx,by: body centre; side_back_x: x of the rear edge in side view."""
    kind = sp.get("tail")
    if not kind:
        return
    tr = ramp(sp.get("tailcol", sp["body"]))
    tip = sp.get("tailtip")
    sw = s * 0.5
    if view == "side":
        if layer != "back":
            return
        x, y = side_back_x, by
        if kind == "fluff":
            c.sticker(ell(x - 0.5, y + 0.5, 2.5, 2.5), tr, hl=False)
        elif kind == "curl":
            ring = ell(x - 1, y - 1, 2.3, 2.3) - ell(x - 1, y - 1, 0.9, 0.9)
            c.sticker(ring, tr, hl=False)
        elif kind == "long":
            m = cap(x + 1, y, x - 3, y - 3, 0.8) | cap(x - 3, y - 3, x - 3.5 + sw, y - 8, 0.8)
            c.sticker(m, tr, hl=False)
        elif kind == "bushy":
            m = poly([(x + 2, y + 1), (x + 1, y - 2), (x - 3, y - 7 + sw), (x - 6, y - 6 + sw), (x - 5, y - 1), (x - 1, y + 3)])
            c.sticker(m, tr)
            if tip:
                c.sticker(ell(x - 5, y - 6.5 + sw, 1.8, 1.6), ramp(tip), hl=False, outline=False)
        elif kind == "lizard":
            m = poly([(x + 2, y - 2), (x + 2, y + 2.5), (x - 5, y + 5 + sw), (x - 6.5, y + 4 + sw)])
            c.sticker(m, tr)
        elif kind == "feather":
            m = poly([(x + 2, y - 1), (x + 2, y + 2), (x - 5, y + 1 + sw), (x - 5.5, y - 2 + sw)])
            c.sticker(m, tr, hl=False)
        elif kind == "fork":
            m = poly([(x + 2, y - 1), (x + 2, y + 2), (x - 6, y + 4), (x - 3, y + 1), (x - 6, y - 1)])
            c.sticker(m, tr, hl=False)
        elif kind == "longfeather":
            m = poly([(x + 2, y - 2), (x + 2, y + 2), (x - 3, y + 6 + sw), (x - 6, y + 3 + sw), (x - 6, y - 1)])
            c.sticker(m, tr)
            if tip:
                c.sticker(ell(x - 5, y + 3 + sw, 1.6, 2.0), ramp(tip), hl=False)
        elif kind == "zig":
            m = poly([(x + 2, y + 1), (x - 1, y - 3), (x + 1, y - 4), (x - 2, y - 9), (x - 5, y - 8), (x - 3, y - 5), (x - 5, y - 4), (x - 1, y + 3)])
            c.sticker(m, tr)
        elif kind == "flame":
            m = poly([(x + 2, y + 2), (x + 1, y - 2), (x - 2, y - 4), (x - 5, y - 9 + sw), (x - 4.5, y - 4), (x - 6, y - 3), (x - 3, y + 3)])
            c.sticker(m, tr)
            c.paint(ell(x - 1.5, y - 1, 1.2, 1.5), (255, 236, 140))
        elif kind == "twin":
            for k, dy in enumerate((0, 2)):
                m = cap(x + 1, y + dy, x - 3, y - 3 + dy, 0.8) | cap(x - 3, y - 3 + dy, x - 4 + sw - k, y - 8 + dy, 0.8)
                c.sticker(m, tr if k == 0 else {**tr, "b": tr["s"]}, hl=False)
                if tip:
                    c.sticker(ell(x - 4 + sw - k, y - 9 + dy, 1.5, 1.8), ramp(tip), hl=False)
        elif kind == "spiky":
            m = poly([(x + 2, y - 2), (x + 2, y + 2), (x - 6, y + 3 + sw)])
            c.sticker(m, tr)
            for k in range(2):
                px_ = x - 1 - k * 2.5
                c.sticker(poly([(px_ - 1, y - 0.5), (px_ + 1, y - 0.5 - 0.1), (px_, y - 3.5)]), ramp(sp.get("spikecol", (240, 220, 170))), hl=False)
        return
    # front / back: the tail shows above the body edge from behind, peeks from the front
    big = kind in ("bushy", "zig", "flame", "twin", "longfeather", "mane")
    if view == "front":
        if layer != "back" or not big:
            return
        if kind == "twin":
            for sgn in (-1, 1):
                m = cap(bx + sgn * 3, by, bx + sgn * 7, by - 5, 0.8)
                c.sticker(m, tr, hl=False)
                if tip:
                    c.sticker(ell(bx + sgn * 7, by - 6, 1.5, 1.8), ramp(tip), hl=False)
            return
        m = poly([(bx + 1, by + 1), (bx + 6, by - 8 + sw), (bx + 8.5, by - 5 + sw), (bx + 5, by + 3)])
        c.sticker(m, tr)
        if tip and kind == "bushy":
            c.sticker(ell(bx + 7.2, by - 6.2 + sw, 1.7, 1.7), ramp(tip), hl=False, outline=False)
        return
    if layer != "front":
        return
    if kind == "fluff":
        c.sticker(ell(bx, by + 1, 2.5, 2.3), tr, hl=False)
    elif kind == "curl":
        c.sticker(ell(bx, by, 2.0, 2.0) - ell(bx, by, 0.7, 0.7), tr, hl=False)
    elif kind == "long":
        c.sticker(cap(bx, by + 1, bx + 1 + sw, by - 4, 0.8) | cap(bx + 1 + sw, by - 4, bx + 3 + sw, by - 8, 0.8), tr, hl=False)
    elif kind == "bushy":
        m = ell(bx + sw, by - 3, 3.0, 5.0)
        c.sticker(m, tr)
        if tip:
            c.sticker(ell(bx + sw, by - 6.5, 2.0, 1.7), ramp(tip), hl=False, outline=False)
    elif kind in ("lizard", "spiky"):
        c.sticker(poly([(bx - 2.5, by - 1), (bx + 2.5, by - 1), (bx + sw, by + 7)]), tr)
    elif kind in ("feather", "fork", "longfeather"):
        if kind == "fork":
            m = poly([(bx - 2.5, by - 1), (bx + 2.5, by - 1), (bx + 3.5, by + 6), (bx, by + 3), (bx - 3.5, by + 6)])
        elif kind == "longfeather":
            m = poly([(bx - 3, by - 1), (bx + 3, by - 1), (bx + 2.5 + sw, by + 7), (bx - 2.5 + sw, by + 7)])
        else:
            m = poly([(bx - 3, by - 1), (bx + 3, by - 1), (bx + 2, by + 5), (bx - 2, by + 5)])
        c.sticker(m, tr, hl=False)
    elif kind == "zig":
        m = poly([(bx - 1, by + 2), (bx + 2, by - 2), (bx, by - 3), (bx + 3, by - 8), (bx + 6, by - 7), (bx + 4, by - 4), (bx + 6, by - 3), (bx + 1, by + 3)])
        c.sticker(m, tr)
    elif kind == "flame":
        m = poly([(bx - 3, by + 2), (bx - 2, by - 3), (bx + sw, by - 9), (bx + 2, by - 4), (bx + 3, by + 2)])
        c.sticker(m, tr)
        c.paint(ell(bx, by - 1, 1.2, 1.6), (255, 236, 140))
    elif kind == "twin":
        for sgn in (-1, 1):
            m = cap(bx + sgn * 1, by + 1, bx + sgn * 4, by - 4, 0.8) | cap(bx + sgn * 4, by - 4, bx + sgn * 4 + sw, by - 8, 0.8)
            c.sticker(m, tr, hl=False)
            if tip:
                c.sticker(ell(bx + sgn * 4 + sw, by - 9, 1.5, 1.8), ramp(tip), hl=False)


def draw_wings(c, sp, view, bx, by, brx, s, layer):
    kind = sp.get("wings")
    if not kind:
        return
    wr = ramp(sp.get("wingcol", hls_adj(sp["body"], lmul=0.85)))
    flap = -1 if s != 0 else 0
    if kind == "stub":
        if view == "side" and layer == "front":
            c.sticker(ell(bx - 1, by + 1, 3.2, 2.4), wr, hl=False)
        elif view != "side" and layer == "front":
            for sgn in (-1, 1):
                c.sticker(ell(bx + sgn * (brx - 0.5), by + 1 + flap * (sgn * s > 0), 1.6, 2.8), wr, hl=False)
        return
    if kind == "fold":
        if view == "side" and layer == "front":
            c.sticker(poly([(bx - 3, by - 2.5), (bx + 3, by - 2), (bx + 1, by + 3), (bx - 6, by + 3.5)]), wr)
        elif view == "back" and layer == "front":
            for sgn in (-1, 1):
                c.sticker(poly([(bx + sgn * 0.5, by - 3), (bx + sgn * (brx + 0.5), by - 1), (bx + sgn * (brx - 1), by + 4), (bx + sgn * 1, by + 5)]), wr)
        elif view == "front" and layer == "back":
            for sgn in (-1, 1):
                c.sticker(ell(bx + sgn * (brx + 0.3), by + 1 + flap, 1.8, 3.2), wr, hl=False)
        return
    # spread wings: bat / feather / fairy, drawn behind the body
    if layer != "back":
        if view == "back" and kind == "feather":
            pass
        return
    for sgn in ((-1, 1) if view != "side" else (-1,)):
        ox = bx + sgn * (brx - 1.5) if view != "side" else bx - 1
        oy = by - 2
        ty = oy - 6 + flap
        if kind == "bat":
            pts = [(ox, oy + 2), (ox, oy - 2), (ox + sgn * 5, ty), (ox + sgn * 6, oy + 1), (ox + sgn * 4.2, oy), (ox + sgn * 3.8, oy + 3), (ox + sgn * 2, oy + 2)]
            if view == "side":
                pts = [(ox + 2, oy + 2), (ox + 1, oy - 2), (ox - 3, ty - 1), (ox - 7, oy - 2), (ox - 5, oy), (ox - 4, oy + 3)]
        elif kind == "feather":
            pts = [(ox, oy + 3), (ox, oy - 2), (ox + sgn * 3, ty), (ox + sgn * 5.5, ty + 1), (ox + sgn * 5.2, oy + 1), (ox + sgn * 3, oy + 4)]
            if view == "side":
                pts = [(ox + 3, oy + 3), (ox + 2, oy - 2), (ox - 2, ty - 1), (ox - 6, ty + 1), (ox - 5, oy + 2), (ox - 1, oy + 4)]
        else:  # fairy
            pts = [(ox, oy + 1), (ox + sgn * 4, ty), (ox + sgn * 5.5, oy - 2), (ox + sgn * 4, oy + 4)]
            if view == "side":
                pts = [(ox + 2, oy + 1), (ox - 3, ty - 1), (ox - 6, oy - 1), (ox - 2, oy + 4)]
        m = poly(pts)
        c.sticker(m, wr, hl=False)
        if kind == "feather":
            # feather tips: a darker row of notches
            pass


def draw_spikes(c, sp, view, bx, by, brx, bry, s, n):
    sr = ramp(sp.get("spikecol", hls_adj(sp["body"], lmul=1.25)))
    if view == "side":
        for i in range(n):
            t = (i + 0.5) / n
            a = math.pi * (1.05 + 0.75 * t)
            ax, ay = math.cos(a), math.sin(a)
            x0, y0 = bx + ax * brx * 0.8, by + ay * bry * 0.8
            L = sp.get("spikelen", 3.8)
            x1, y1 = bx + ax * (brx + L) - 1.2, by + ay * (bry + L)
            px_, py_ = -ay * 1.7, ax * 1.7
            c.sticker(poly([(x0 + px_, y0 + py_), (x0 - px_, y0 - py_), (x1, y1)]), sr, hl=False)
    else:
        for i in range(n):
            t = (i + 0.5) / n
            a = math.pi * (1.12 + 0.76 * t)
            ax, ay = math.cos(a), math.sin(a)
            x0, y0 = bx + ax * brx * 0.8, by + ay * bry * 0.8
            L = sp.get("spikelen", 3.8) - 0.3
            x1, y1 = bx + ax * (brx + L), by + ay * (bry + L)
            px_, py_ = -ay * 1.7, ax * 1.7
            c.sticker(poly([(x0 + px_, y0 + py_), (x0 - px_, y0 - py_), (x1, y1)]), sr, hl=False)


def draw_marks(c, sp, view, bx, by, brx, bry, layer_mask):
    kind = sp.get("marks")
    if not kind:
        return
    mc = sp.get("markcol", (255, 236, 140))
    inside = layer_mask

    def put(x, y, col=mc):
        p = (CW - 1 - x, y) if c.flip else (x, y)
        if p in inside:
            c.paint({(x, y)}, col)

    if kind == "stars":
        pts = [(-4, -3), (3, -5), (5, 1), (-2, 3)] if view != "side" else [(-5, -2), (-1, -5), (-3, 3), (2, 2)]
        if view == "front":
            pts = [(-5, 1), (5, 2), (4, -5)]
        for dx, dy in pts:
            put(int(bx + dx), int(by + dy))
    elif kind == "spots":
        pts = [(-3, -2), (2, -3), (-1, 1), (3, 1)] if view != "front" else [(-5, 1), (5, 1)]
        for dx, dy in pts:
            put(int(bx + dx), int(by + dy)); put(int(bx + dx) + 1, int(by + dy))
    elif kind == "stripes":
        for dx in ((-3, 0, 3) if view != "side" else (-4, -1, 2)):
            for dy in range(-int(bry) + 1, -int(bry) + 3):
                put(int(bx + dx), int(by + dy))
    elif kind == "hex":
        for dx, dy in ((-3, -2), (1, -2), (-1, 0), (3, 0), (-4, 1)):
            put(int(bx + dx), int(by + dy)); put(int(bx + dx) + 1, int(by + dy))
    elif kind == "rainbow":
        band = [(236, 92, 92), (248, 164, 72), (248, 224, 96), (112, 200, 112), (96, 156, 232), (156, 112, 220)]
        ys = sorted({y for _, y in inside})
        y0, y1 = ys[0], ys[-1]
        for p in inside:
            if c.px.get(p) is None:
                continue
            x, y = p
            k = int((y - y0) * len(band) / (y1 - y0 + 1))
            col = band[min(k, len(band) - 1)]
            cur = c.px[p]
            if cur == sp["_rp"]["s"]:
                col = hls_adj(col, lmul=0.82)
            elif cur == sp["_rp"]["h"]:
                col = mix(col, (255, 255, 255), 0.7)
            c.px[p] = col


def draw_sparkles(c, sp, s):
    """Sparkles sit on the body silhouette edge so they never float as strays."""
    col = sp.get("sparkcol", (255, 255, 220))
    frames = {0: [(4, 9), (19, 14)], 1: [(19, 8), (4, 16)], -1: [(5, 5), (18, 18)]}
    for x, y in frames.get(s, []):
        # a plus-shaped twinkle with a dark core outline
        m = {(x, y), (x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)}
        for p in m:
            pass
        c.px.setdefault((x, y), None)
        for p in list(m):
            c.px[p] = col
        for p in list(m):
            for dx, dy in N4:
                q = (p[0] + dx, p[1] + dy)
                if q not in m and c.px.get(q) is None and 0 <= q[0] < CW:
                    c.px[q] = sp.get("sparkout", (176, 120, 40))


# --------------------------------------------------------------------------
# body plans: each draws one cell for view in back/side/front and stride s
# (-1, 0, +1); side views are drawn facing right and mirrored by the Cell
# --------------------------------------------------------------------------

def feet_pair(c, rp, view, cx, y_ground, s, spread=4.0, rx=2.3, ry=1.6, side_spread=2.5):
    far = {**rp, "b": rp["s"]}
    if view == "side":
        c.sticker(ell(cx - 0.5 - side_spread * s + 1.5 * (s == 0), y_ground - ry + 1 - (1 if s < 0 else 0), rx, ry), far, hl=False)
        c.sticker(ell(cx + 0.5 + side_spread * s - 1.0 * (s == 0), y_ground - ry + 1 - (1 if s > 0 else 0) * 0, rx, ry), rp, hl=False)
    else:
        for sgn in (-1, 1):
            lift = 1.3 if (s != 0 and sgn != s) else 0.0
            if view == "back":
                lift = 1.3 if (s != 0 and sgn == s) else 0.0
            c.sticker(ell(cx + sgn * spread, y_ground - ry + 1 - lift, rx, ry), rp, hl=False)


def body_mask(sp, cx, cy, rx, ry, phase=0.0):
    if sp.get("fuzzy"):
        return fuzz(cx, cy, rx, ry, lobes=sp.get("lobes", 11), amp=sp.get("fuzzamp", 0.10), phase=phase)
    return ell(cx, cy, rx, ry)


def plan_ball(c, sp, view, s):
    rp = sp["_rp"]
    rx, ry = sp.get("rx", 8.5), sp.get("ry", 8.0)
    bob = -1 if s != 0 else 0
    cx = 12.0
    cy = 28.6 - ry + bob + sp.get("lift", 0)
    fr = ramp(sp.get("feetcol", hls_adj(sp["body"], lmul=0.9))) if sp.get("feetcol") else rp
    hx = cx + (rx * 0.42 if view == "side" else 0)
    draw_wings(c, sp, view, cx, cy, rx, s, "back")
    if view != "side":
        draw_tail(c, sp, view, cx, cy + ry * 0.5, s, cx - rx, "back")
    else:
        draw_tail(c, sp, view, cx, cy + ry * 0.35, s, cx - rx + 1.5, "back")
    draw_ears(c, sp, rp, view, cx + (0.5 if view == "side" else 0), cy, ry, "back")
    draw_headgear(c, sp, rp, view, cx + (1 if view == "side" else 0), cy, ry, "back", s)
    if sp.get("spikes"):
        draw_spikes(c, sp, view, cx, cy, rx, ry, s, sp["spikes"])
    feet_pair(c, fr, view, cx, GROUND, s, spread=sp.get("feetspread", 4.0))
    phase = 0.35 if view == "side" else 0.0
    if view == "side":
        rxs = rx * sp.get("sidesquash", 0.94)
        m = body_mask(sp, cx, cy, rxs, ry, phase)
    else:
        m = body_mask(sp, cx, cy, rx, ry, phase)
    bm = c.sticker(m, rp, light=sp.get("light", False))
    if sp.get("belly") and view != "back":
        br = ramp(sp["belly"])
        if view == "front":
            bel = ell(cx, cy + ry * 0.42, rx * 0.58, ry * 0.5)
        else:
            bel = ell(cx + rx * 0.38, cy + ry * 0.42, rx * 0.45, ry * 0.48)
        bel = {p for p in bel if (mirror_m({p}).pop() if c.flip else p) in bm}
        c.sticker(bel, br, outline=False, hl=False)
    if sp.get("marks") and sp["marks"] != "moon":
        draw_marks(c, sp, view, cx, cy, rx, ry, bm)
    if sp.get("marks") == "moon" and view != "back":
        mx = int(cx) - 2 + (0 if view == "front" else 3)
        c.stamp([".mm.", "m...", "m...", ".mm."], mx, int(cy - ry * 0.62) - 1, {"m": sp.get("markcol", (255, 226, 110))})
    if view != "back":
        ey = int(cy - ry * 0.05) + sp.get("eyedy", 0)
        draw_face(c, sp, rp, view, hx, ey, ey + 3 + sp.get("mouthdy", 0), gap=sp.get("eyegap", 3))
        if sp.get("beak") and view == "side":
            bk = ramp(sp["beak"])
            c.sticker(poly([(cx + rx - 1.5, ey + 0.5), (cx + rx - 1.5, ey + 3), (cx + rx + 2, ey + 1.8)]), bk, hl=False)
    draw_ears(c, sp, rp, view, cx, cy, ry, "front")
    draw_headgear(c, sp, rp, view, cx + (1 if view == "side" else 0), cy, ry, "front", s)
    draw_wings(c, sp, view, cx, cy, rx, s, "front")
    if view == "back":
        draw_tail(c, sp, view, cx, cy + ry * 0.55, s, cx - rx, "front")


def limb(c, rp, x0, y0, x1, y1, r=1.05, foot=True, footcol=None, far=False, foot_dx=0.8):
    rr = {**rp, "b": rp["s"], "s": hls_adj(rp["s"], lmul=0.85)} if far else rp
    m = cap(x0, y0, x1, y1, r)
    if foot:
        m |= ell(x1 + foot_dx, y1 + 0.2, r + 0.9, 1.25)
    c.sticker(m, rr, hl=False)


def plan_upright(c, sp, view, s):
    rp = sp["_rp"]
    hr = sp.get("hr", 6.0)
    brx, bry = sp.get("brx", 5.0), sp.get("bry", 4.8)
    leglen = sp.get("leglen", 3.0)
    lr = sp.get("legr", 1.05)
    bob = -1 if s != 0 else 0
    cx = 12.0
    hip = GROUND - leglen + bob
    by = hip - bry + 2.2
    hy = by - bry - hr + sp.get("neck", 3.6)
    lc = ramp(sp["legcol"]) if sp.get("legcol") else rp
    ac = ramp(sp["armcol"]) if sp.get("armcol") else rp
    hx = cx + (1.0 if view == "side" else 0)
    draw_wings(c, sp, view, cx, by - 1, brx, s, "back")
    draw_tail(c, sp, view, cx, by + 1, s, cx - brx + 1, "back")
    if view == "side":
        # far limbs first, darker, then body, then near limbs
        limb(c, lc, cx, hip, cx - 2.2 * s + 0.6 * (s == 0), GROUND - 1 + (0.6 if s < 0 else 0), r=lr, far=True)
        if sp.get("arms", True):
            limb(c, ac, cx, by - 1, cx + 2.2 * s, by + 2.2, r=0.9, foot=False, far=True)
    else:
        for sgn in (-1, 1):
            lift = 1.4 if (s != 0 and sgn != s) else 0.0
            if view == "back":
                lift = 1.4 if (s != 0 and sgn == s) else 0.0
            fx = cx + sgn * sp.get("hipw", 2.4)
            limb(c, lc, fx, hip - 1, fx + sgn * 0.3, GROUND - 1 - lift, r=lr, foot_dx=0 if True else 0)
    if sp.get("spikes"):
        draw_spikes(c, sp, view, cx, by, brx, bry, s, sp["spikes"])
    draw_ears(c, sp, rp, view, hx, hy, hr, "back")
    draw_headgear(c, sp, rp, view, hx, hy, hr, "back", s)
    bm = c.sticker(body_mask(sp, cx, by, brx * (0.9 if view == "side" else 1.0), bry), ramp(sp["torso"]) if sp.get("torso") else rp)
    if sp.get("belly") and view != "back":
        br = ramp(sp["belly"])
        bel = ell(cx + (1.4 if view == "side" else 0), by + 0.8, brx * (0.55 if view == "front" else 0.42), bry * 0.62)
        bel = {p for p in bel if (mirror_m({p}).pop() if c.flip else p) in bm}
        c.sticker(bel, br, outline=False, hl=False)
    if view == "side":
        limb(c, lc, cx, hip, cx + 2.2 * s - 0.6 * (s == 0), GROUND - 1 + (0.6 if s > 0 else 0), r=lr)
    if view == "back":
        draw_tail(c, sp, view, cx, by + 1.5, s, cx - brx, "front")
    if sp.get("arms", True) and view != "side":
        for sgn in (-1, 1):
            sw = (s * sgn) * 1.0 * (1 if view == "front" else -1)
            if sp.get("scythe"):
                m = poly([(cx + sgn * (brx - 1), by - 2), (cx + sgn * (brx + 2.5), by - 6 + sw), (cx + sgn * (brx + 1), by - 1.5)])
                c.sticker(m, ac, hl=False)
            else:
                limb(c, ac, cx + sgn * (brx - 0.6), by - 1.2, cx + sgn * (brx + 0.4), by + 1.8 + sw, r=0.95, foot=False)
    hm = c.sticker(body_mask(sp, hx, hy, hr * (0.95 if view == "side" else 1.0), hr * sp.get("hsq", 0.92)) if sp.get("fuzzyhead", True) else ell(hx, hy, hr, hr * 0.92), rp, light=sp.get("light", False))
    if sp.get("facepatch") and view != "back":
        fp = ramp(sp["facepatch"])
        if view == "front":
            pm = ell(hx, hy + 1.5, hr * 0.72, hr * 0.55)
        else:
            pm = ell(hx + hr * 0.45, hy + 1.5, hr * 0.55, hr * 0.5)
        pm = {p for p in pm if (mirror_m({p}).pop() if c.flip else p) in hm}
        c.sticker(pm, fp, outline=False, hl=False)
    if sp.get("mask") and view != "back":
        mk = sp["mask"]
        if view == "front":
            c.paint(rect(7, int(hy), 10, int(hy) + 1) | rect(13, int(hy), 16, int(hy) + 1), mk)
        else:
            c.paint(rect(int(hx + 1), int(hy), int(hx + 4), int(hy) + 1), mk)
    if sp.get("marks"):
        draw_marks(c, sp, view, hx, hy, hr, hr, hm)
    if view != "back":
        ey = int(hy) + sp.get("eyedy", 0)
        draw_face(c, sp, rp, view, hx + (hr * 0.35 if view == "side" else 0), ey, ey + 3 + sp.get("mouthdy", 0), gap=sp.get("eyegap", 2.5))
        if sp.get("beak"):
            bk = ramp(sp["beak"])
            if view == "side":
                c.sticker(poly([(hx + hr - 1.5, ey + 0.5), (hx + hr - 1.5, ey + 3), (hx + hr + 2.5, ey + 2)]), bk, hl=False)
            else:
                c.sticker(poly([(10.5, ey + 2), (13.5, ey + 2), (12, ey + 4.5)]), bk, hl=False)
        if sp.get("antennae"):
            pass
    if view == "side" and sp.get("arms", True):
        if sp.get("scythe"):
            m = poly([(cx + 1, by - 2), (cx + 5, by - 6 - s), (cx + 3, by - 1)])
            c.sticker(m, ac, hl=False)
        else:
            limb(c, ac, cx + 0.5, by - 1, cx - 2.0 * s + 0.5, by + 2.2, r=0.95, foot=False)
    draw_ears(c, sp, rp, view, hx, hy, hr, "front")
    draw_headgear(c, sp, rp, view, hx, hy, hr, "front", s)
    draw_wings(c, sp, view, cx, by - 1, brx, s, "front")


def plan_quad(c, sp, view, s):
    rp = sp["_rp"]
    hr = sp.get("hr", 5.2)
    brx, bry = sp.get("brx", 6.2), sp.get("bry", 4.2)
    leglen = sp.get("leglen", 4.0)
    lr = sp.get("legr", 1.05)
    bob = -1 if s != 0 else 0
    lc = ramp(sp["legcol"]) if sp.get("legcol") else rp
    by = GROUND - leglen - bry + 2.5 + bob
    if view == "side":
        bx = 11.0 + sp.get("bodydx", 0)
        hx, hy = bx + brx - 1.0 + sp.get("headdx", 0), by - bry - hr + 4.2 + sp.get("headdy", 0)
        fx, bkx = bx + brx - 3.0, bx - brx + 3.0
        draw_tail(c, sp, view, bx, by - 1, s, bx - brx + 1.5, "back")
        draw_wings(c, sp, view, bx, by - 1, brx, s, "back")
        limb(c, lc, fx - 0.5, by, fx - 0.5 - 2.0 * s, GROUND - 1, r=lr, far=True)
        limb(c, lc, bkx - 0.5, by, bkx - 0.5 + 2.0 * s, GROUND - 1, r=lr, far=True)
        limb(c, lc, fx + 0.5, by, fx + 0.5 + 2.0 * s, GROUND - 1, r=lr)
        limb(c, lc, bkx + 0.5, by, bkx + 0.5 - 2.0 * s, GROUND - 1, r=lr)
        if sp.get("spikes"):
            draw_spikes(c, sp, view, bx, by, brx, bry, s, sp["spikes"])
        bm = c.sticker(body_mask(sp, bx, by, brx, bry), ramp(sp["torso"]) if sp.get("torso") else rp, light=sp.get("light", False))
        if sp.get("belly"):
            br = ramp(sp["belly"])
            bel = ell(bx + 1, by + bry * 0.7, brx * 0.7, bry * 0.45)
            bel = {p for p in bel if (mirror_m({p}).pop() if c.flip else p) in bm}
            c.sticker(bel, br, outline=False, hl=False)
        if sp.get("marks"):
            draw_marks(c, sp, view, bx, by, brx, bry, bm)
        draw_wings(c, sp, view, bx, by - 1, brx, s, "front")
    else:
        bx = 12.0
        hx, hy = 12.0, by - bry - hr + 5.0 + sp.get("headdy", 0)
        if view == "front":
            draw_tail(c, sp, view, bx, by, s, 0, "back")
        draw_wings(c, sp, view, bx, by - 1, brx * 0.8, s, "back")
        if view == "back":
            draw_ears(c, sp, rp, view, hx, hy, hr, "back")
            draw_headgear(c, sp, rp, view, hx, hy, hr, "back", s)
            draw_headgear(c, sp, rp, view, hx, hy, hr, "front", s)
            c.sticker(ell(hx, hy, hr, hr * 0.92), rp)
            if sp.get("mane"):
                for k, col in enumerate(RAINBOW):
                    c.sticker(ell(hx, hy - hr * 0.6 + k * 1.4, 1.5, 1.2), ramp(col), hl=False, shading=False)
        for sgn in (-1, 1):
            lift = 1.4 if (s != 0 and sgn != s) else 0.0
            if view == "back":
                lift = 1.4 if (s != 0 and sgn == s) else 0.0
            x = bx + sgn * sp.get("hipw", 2.6)
            limb(c, lc, x, by, x, GROUND - 1 - lift, r=lr, foot_dx=0)
        if sp.get("spikes"):
            draw_spikes(c, sp, view, bx, by, brx * 0.8, bry + 0.5, s, sp["spikes"])
        bm = c.sticker(body_mask(sp, bx, by, brx * sp.get("fbrx", 0.78), bry + 0.6), ramp(sp["torso"]) if sp.get("torso") else rp)
        if sp.get("belly") and view == "front":
            br = ramp(sp["belly"])
            bel = ell(bx, by + 1.5, brx * 0.45, bry * 0.6)
            bel = {p for p in bel if (mirror_m({p}).pop() if c.flip else p) in bm}
            c.sticker(bel, br, outline=False, hl=False)
        if view == "back":
            if sp.get("marks"):
                draw_marks(c, sp, view, bx, by, brx, bry, bm)
            draw_wings(c, sp, view, bx, by - 1, brx * 0.8, s, "front")
            draw_tail(c, sp, view, bx, by - 0.5, s, 0, "front")
            return
    draw_ears(c, sp, rp, view, hx, hy, hr, "back")
    draw_headgear(c, sp, rp, view, hx, hy, hr, "back", s)
    if sp.get("mane") and view == "side":
        for k, col in enumerate(RAINBOW):
            c.sticker(ell(hx - hr * 0.7 - k * 0.9, hy - hr * 0.7 + k * 1.5, 1.8, 1.6), ramp(col), hl=False, shading=False)
    hm = c.sticker(ell(hx, hy, hr * (0.95 if view == "side" else 1.0), hr * 0.92), rp, light=sp.get("light", False))
    if sp.get("mane") and view == "front":
        for k, col in enumerate(RAINBOW[:4]):
            c.sticker(ell(hx - 2.5 + k * 1.6, hy - hr * 0.65, 1.3, 1.3), ramp(col), hl=False, shading=False)
    if sp.get("snout"):
        sr = ramp(sp["snout"])
        if view == "side":
            sm = ell(hx + hr * 0.7, hy + 1.6, 2.6, 2.0)
            c.sticker(sm, sr, hl=False)
            c.dot(int(hx + hr * 0.7 + 2), int(hy + 1), sp.get("nose", (40, 30, 40)))
        else:
            sm = ell(hx, hy + 2.4, 2.6, 1.9)
            c.sticker(sm, sr, hl=False)
            c.dot(11, int(hy + 2), sp.get("nose", (40, 30, 40))); c.dot(12, int(hy + 2), sp.get("nose", (40, 30, 40)))
    if sp.get("facepatch"):
        fp = ramp(sp["facepatch"])
        pm = ell(hx + (hr * 0.5 if view == "side" else 0), hy + 1.8, hr * 0.6, hr * 0.45)
        pm = {p for p in pm if (mirror_m({p}).pop() if c.flip else p) in hm}
        c.sticker(pm, fp, outline=False, hl=False)
    ey = int(hy) + sp.get("eyedy", 0)
    face_sp = sp if not sp.get("snout") else {**sp, "mouth": "none"}
    draw_face(c, face_sp, rp, view, hx + (hr * 0.2 if view == "side" else 0), ey, ey + 3, gap=sp.get("eyegap", 2.5))
    draw_ears(c, sp, rp, view, hx, hy, hr, "front")
    draw_headgear(c, sp, rp, view, hx, hy, hr, "front", s)


def plan_bird(c, sp, view, s):
    rp = sp["_rp"]
    brx, bry = sp.get("brx", 6.0), sp.get("bry", 5.5)
    hr = sp.get("hr", 4.6)
    leglen = sp.get("leglen", 3.0)
    bob = -1 if s != 0 else 0
    lc = ramp(sp.get("legcol", (236, 150, 60)))
    cx = 12.0
    by = GROUND - leglen - bry + 1.5 + bob
    hx = cx + (2.5 if view == "side" else 0) + sp.get("headdx", 0) * (view == "side")
    hy = by - bry - hr + 3.8 + sp.get("headdy", 0)
    draw_wings(c, sp, view, cx, by, brx, s, "back")
    draw_tail(c, sp, view, cx, by + 1, s, cx - brx + 1.5, "back")
    # thin legs with three-toed feet
    if view == "side":
        for k, far in ((0, True), (1, False)):
            dx = (-2.0 * s if far else 2.0 * s) + (0.8 if not far else -0.6) * (s == 0)
            x1 = cx + dx
            rr = {**lc, "b": lc["s"]} if far else lc
            m = cap(cx + 0.5 - k, by + 2, x1, GROUND - 0.6, 0.55) | rect(int(x1) - 1, GROUND, int(x1) + 1, GROUND)
            c.sticker(m, rr, hl=False, shading=False)
    else:
        for sgn in (-1, 1):
            lift = 1 if (s != 0 and sgn != s) else 0
            if view == "back":
                lift = 1 if (s != 0 and sgn == s) else 0
            x = int(cx + sgn * 2.0 - (1 if sgn < 0 else 0))
            m = rect(x, int(by + 2), x, GROUND - lift) | rect(x - 1, GROUND - lift, x + 1, GROUND - lift)
            c.sticker(m, lc, hl=False, shading=False)
    bodym = ell(cx, by, brx * (0.95 if view == "side" else 1.0), bry) | ell(hx, hy, hr, hr)
    if view == "side" and sp.get("neck"):
        bodym |= cap(cx + 1.5, by - 1, hx, hy, 2.0)
    draw_headgear(c, sp, rp, view, hx, hy, hr, "back", s)
    bm = c.sticker(bodym, rp, light=sp.get("light", False))
    if sp.get("belly") and view != "back":
        br = ramp(sp["belly"])
        bel = ell(cx + (1.5 if view == "side" else 0), by + 1.5, brx * (0.62 if view == "front" else 0.55), bry * 0.6)
        bel = {p for p in bel if (mirror_m({p}).pop() if c.flip else p) in bm}
        c.sticker(bel, br, outline=False, hl=False)
    if sp.get("marks"):
        draw_marks(c, sp, view, cx, by, brx, bry, bm)
    if view != "back":
        ey = int(hy) + sp.get("eyedy", 0)
        draw_face(c, {**sp, "mouth": "none"}, rp, view, hx + (hr * 0.3 if view == "side" else 0), ey, ey + 3, gap=sp.get("eyegap", 2.0))
        bk = ramp(sp.get("beak", (244, 168, 48)))
        bl = sp.get("beaklen", 2.5)
        if view == "side":
            tipy = ey + 1.8 + (sp.get("beakdown", 0))
            c.sticker(poly([(hx + hr - 1.3, ey + 0.2), (hx + hr - 1.3, ey + 2.8), (hx + hr + bl, tipy)]), bk, hl=False)
        else:
            if bl > 3.5:
                c.sticker(poly([(10.6, ey + 1.5), (13.4, ey + 1.5), (12, ey + 1.5 + bl * 0.8)]), bk, hl=False)
            else:
                c.sticker(poly([(10.5, ey + 1.6), (13.5, ey + 1.6), (12, ey + 4.2)]), bk, hl=False)
    draw_wings(c, sp, view, cx, by, brx, s, "front")
    if view == "back":
        draw_tail(c, sp, view, cx, min(by + bry * 0.45, GROUND - 7.5), s, cx - brx, "front")
    draw_headgear(c, sp, rp, view, hx, hy, hr, "front", s)


def plan_float(c, sp, view, s):
    rp = sp["_rp"]
    rx, ry = sp.get("rx", 7.5), sp.get("ry", 6.5)
    bob = -1 if s != 0 else 0
    cx = 12.0
    cy = 15.0 + bob
    tc = ramp(sp.get("tentcol", sp["body"]))
    draw_headgear(c, sp, rp, view, cx + (1 if view == "side" else 0), cy, ry, "back", s)
    n = sp.get("tentacles", 4)
    xs = [cx - rx + 1.5 + i * (2 * rx - 3) / (n - 1) for i in range(n)] if n > 1 else []
    for i, x in enumerate(xs):
        sway = s * (1 if i % 2 == 0 else -1) * 1.2
        if view == "side":
            x = x - 0.5
            sway = s * 1.5 * (1 if i % 2 == 0 else -1) - 0.5
        m = cap(x, cy + 2, x + sway * 0.5, cy + ry + 3, 0.9) | cap(x + sway * 0.5, cy + ry + 3, x + sway, GROUND - 2 + (i % 2), 0.75)
        c.sticker(m, tc, hl=False)
    if sp.get("skirt"):
        sk = ramp(sp["skirt"])
        pts = [(cx - rx - 0.5, cy + 1)]
        k = 7
        for i in range(k + 1):
            x = cx - rx - 0.5 + (2 * rx + 1) * i / k
            pts.append((x, cy + ry + 2.5 + (1.5 if (i + (s > 0)) % 2 else 0)))
        pts.append((cx + rx + 0.5, cy + 1))
        c.sticker(poly(pts), sk)
    m = body_mask(sp, cx, cy, rx * (0.92 if view == "side" else 1.0), ry)
    bm = c.sticker(m, rp, light=sp.get("light", False))
    if sp.get("marks"):
        draw_marks(c, sp, view, cx, cy, rx, ry, bm)
    if view != "back":
        ey = int(cy + 1) + sp.get("eyedy", 0)
        draw_face(c, sp, rp, view, cx + (rx * 0.4 if view == "side" else 0), ey, ey + 3, gap=sp.get("eyegap", 3))
    draw_headgear(c, sp, rp, view, cx + (1 if view == "side" else 0), cy, ry, "front", s)


def star_pts(cx, cy, R, r, sx=1.0, rot=0.0):
    pts = []
    for i in range(10):
        a = -math.pi / 2 + i * math.pi / 5 + rot
        rr = R if i % 2 == 0 else r
        pts.append((cx + math.cos(a) * rr * sx, cy + math.sin(a) * rr))
    return pts


def plan_star(c, sp, view, s):
    rp = sp["_rp"]
    bob = -1 if s != 0 else 0
    cx, cy = 12.0, 17.0 + bob
    fr = ramp(sp.get("feetcol", hls_adj(sp["body"], lmul=0.85)))
    feet_pair(c, fr, view, cx, GROUND, s, spread=3.5, rx=2.0, ry=1.5)
    sx = 0.82 if view == "side" else 1.0
    rot = (0.06 * s)
    bm = c.sticker(poly(star_pts(cx, cy, 11.0, 5.2, sx, rot)), rp, light=True)
    if view != "back":
        draw_face(c, sp, rp, view, cx + (2 if view == "side" else 0), int(cy) - 1, int(cy) + 2, gap=2)
    else:
        c.paint(ell(cx, cy, 2.0, 2.0), rp["l"])
    draw_sparkles(c, sp, s)


# --------------------------------------------------------------------------
# front views drawn by hand: at 24x32 the shared body plans turned these
# into a disc, a frog, a keyhole and a penguin
# --------------------------------------------------------------------------

def front_tortoise(c, sp, s, view="front"):
    """Domed, plated shell with the head poking out in front and two stubby,
    wide-set legs; from behind, a stub of a tail instead of the head."""
    rp = sp["_rp"]
    shell = ramp(sp["torso"])
    bob = -1 if s != 0 else 0
    for sgn in (-1, 1):
        lift = 1 if (s != 0 and sgn != s) else 0
        x = 12 + sgn * 6.8
        m = cap(x, 22, x + sgn * 0.4, GROUND - 1.2 - lift, 1.7) | ell(x + sgn * 0.4, GROUND - 0.6 - lift, 2.3, 1.2)
        c.sticker(m, rp, hl=False)
        c.dot(int(x + sgn * 0.4) - 1, GROUND - lift, rp["h"]); c.dot(int(x + sgn * 0.4) + 1, GROUND - lift, rp["h"])
    top = 11.5 + bob
    dome = ell(12, top + 8.5, 10.2, 8.5)
    dome = {p for p in dome if p[1] <= top + 10.5}
    c.sticker(dome, shell)
    # marginal plates: a lighter band along the shell's lower edge
    rim = {p for p in dome if p[1] >= top + 9.5}
    c.paint(rim, rp["b"])
    for x in range(2, 23, 3):
        c.paint({(x, int(top) + 10)}, rp["s"])
    # plates on the dome: a central plate and one either side, ringed darker
    plates = [ell(12, top + 5.0, 2.6, 2.4), ell(6.8, top + 6.4, 2.1, 2.2), ell(17.2, top + 6.4, 2.1, 2.2),
              ell(12, top + 1.6, 2.2, 1.1)]
    for m in plates:
        ring = {(x + dx, y + dy) for x, y in m for dx, dy in N4} - m
        c.paint({p for p in ring if p in dome and p not in rim}, shell["s"])
        c.paint(m & dome, sp.get("markcol", shell["l"]))
    c.dot(11, int(top + 4), shell["h"]); c.dot(12, int(top + 4), shell["h"])
    if view == "back":
        c.sticker(poly([(10.5, top + 10), (13.5, top + 10), (12.5, top + 13.5)]), rp, hl=False)
        return
    # head in front of the shell edge, sleepy face
    hy = top + 12.2 + (0.5 if s != 0 else 0)
    hm = ell(12, hy, 3.9, 3.3)
    c.sticker(hm, rp)
    draw_face(c, sp, rp, "front", 12, int(hy) - 1, int(hy) + 1, gap=1.5)


def front_lizard(c, sp, s, view="front"):
    """Seen from the front and a little above, low on the ground: four
    splayed legs, a long spotted back behind the head and the tail
    swinging away in an S."""
    rp = sp["_rp"]
    tr = ramp(sp.get("tailcol", sp["body"]))
    bob = 1 if s != 0 else 0
    sw = s * 1.2
    tail = cap(12, 13, 12.5 + sw * 0.3, 9.5, 1.5) | cap(12.5 + sw * 0.3, 9.5, 15.0 + sw, 7.0, 1.1) | \
        cap(15.0 + sw, 7.0, 17.0 + sw * 0.6, 3.5, 0.7)
    if view == "back":
        # from behind: the head is up the screen, the tail swings toward us
        tail = cap(12, 20, 12.0 + sw * 0.3, 24.5, 1.4) | cap(12.0 + sw * 0.3, 24.5, 14.5 + sw, 27.5, 1.0) | \
            cap(14.5 + sw, 27.5, 18.0 + sw * 0.6, 28.5, 0.6)
        hy = 9.5 + bob
        c.sticker(ell(12, hy, 4.4, 3.2), rp)
    else:
        c.sticker(tail, tr, hl=False)
    for k, (ly, reach) in enumerate(((15.5, 6.5), (23.0, 7.8))):
        for sgn in (-1, 1):
            lift = 1.0 if (s != 0 and (sgn == s) == (k == 0)) else 0.0
            sx, sy = 12 + sgn * 3.0, ly + bob
            ex, ey = 12 + sgn * reach, ly - 1.2 + bob - lift
            fx, fy = 12 + sgn * (reach + 1.0), ly + 2.8 + bob - lift
            c.sticker(cap(sx, sy, ex, ey, 1.1) | cap(ex, ey, fx, fy, 1.0), rp, hl=False)
            toes = {(int(fx) + sgn * k2 - (1 if sgn < 0 else 0), int(fy) + 1) for k2 in (-1, 0, 1)}
            c.sticker(toes, rp, hl=False, shading=False)
    back = ell(12, 18.0 + bob - (3.0 if view == "back" else 0), 4.3, 6.2)
    bm = c.sticker(back, rp)
    mc = sp.get("markcol", (244, 232, 96))
    for x, y in ((10, 14), (13, 16), (10, 18), (13, 20)):
        y += bob - (3 if view == "back" else 0)
        if (x, y) in bm:
            c.dot(x, y, mc)
    if view == "back":
        c.sticker(tail, tr, hl=False)
        return
    hy = 25.0 + bob
    head = ell(12, hy, 4.9, 3.2)
    c.sticker(head, rp)
    br = ramp(sp["belly"])
    c.paint({p for p in ell(12, hy + 2.0, 3.0, 1.2) if p in head}, br["b"])
    # eyes on the sides of the head, looking out
    for sgn in (-1, 1):
        ex = int(12 + sgn * 3.0) - (1 if sgn < 0 else 0)
        c.dot(ex, int(hy) - 1, (255, 255, 255)); c.dot(ex, int(hy), (30, 36, 24))
        c.dot(ex - sgn, int(hy) - 1, (30, 36, 24))
    mc2 = mix(rp["o"], (0, 0, 0), 0.2)
    for x in range(9, 15):
        c.dot(x, int(hy + 1.5), mc2)
    c.dot(11, int(hy) - 2, rp["s"]); c.dot(12, int(hy) - 2, rp["s"])


def front_flamingo(c, sp, s, view="front"):
    """S-curved neck, bent dark-tipped beak, rosy wings with black flight
    feathers and thin legs; standing, it tucks one leg up."""
    rp = sp["_rp"]
    lc = ramp(sp.get("legcol", (236, 120, 140)))
    wr = ramp(sp.get("wingcol", rp["s"]))
    leg = lc["s"]
    bob = -1 if s != 0 else 0
    by = 16.0 + bob
    for sgn in (-1, 1):
        xi = 12 + sgn * 2 - (1 if sgn < 0 else 0)
        if s == 0 and sgn > 0:
            # tucked leg: down to the knee, the shin folded back under the body
            c.paint({(xi, 20), (xi, 21), (xi + 1, 22), (xi + 2, 23), (xi + 1, 24), (xi, 24), (xi - 1, 23)}, leg)
            continue
        lift = 1 if (s != 0 and sgn != s) else 0
        c.paint(rect(xi, int(by) + 3, xi, GROUND - lift), leg)
        c.paint({(xi + sgn, 23 - lift)}, leg)
        c.paint(rect(xi - 1, GROUND - lift, xi + 1, GROUND - lift), leg)
    for sgn in (-1, 1):
        wing = poly([(12 + sgn * 2.0, by - 3.0), (12 + sgn * 6.6, by - 1.0), (12 + sgn * 6.2, by + 3.5),
                     (12 + sgn * 3.0, by + 3.5)])
        c.sticker(wing, wr, hl=False)
        for x, y in ((12 + sgn * 5.6, by + 2.6), (12 + sgn * 4.6, by + 2.6), (12 + sgn * 5.6, by + 1.6)):
            c.paint({(int(x), int(y))}, (52, 36, 48))
    c.sticker(ell(12, by, 4.6, 4.0), rp)
    neck = cap(12, by - 2.5, 13.6, by - 5.5, 1.05) | cap(13.6, by - 5.5, 12.8, by - 8.5, 1.05) | \
        cap(12.8, by - 8.5, 11.0, by - 10.5, 1.05)
    c.sticker(neck, rp, hl=False)
    hy = by - 11.8
    c.sticker(ell(11.5, hy, 2.6, 2.2), rp, hl=False)
    if view == "back":
        return
    c.dot(10, int(hy) - 1, (40, 30, 52)); c.dot(13, int(hy) - 1, (40, 30, 52))
    beak = {(10, int(hy) + 1), (11, int(hy) + 1), (12, int(hy) + 1), (10, int(hy) + 2), (11, int(hy) + 2),
            (10, int(hy) + 3), (11, int(hy) + 3), (11, int(hy) + 4)}
    c.sticker(beak, ramp((250, 226, 228)), hl=False, shading=False)
    c.paint({(10, int(hy) + 3), (11, int(hy) + 3), (11, int(hy) + 4)}, sp.get("beak", (60, 40, 50)))


def front_swallow(c, sp, s, view="front"):
    """Small body, rust-red throat, long slender wings swept out and down past
    the body and the two long streamers of the forked tail."""
    rp = sp["_rp"]
    wr = ramp(sp.get("wingcol", rp["s"]))
    tr = ramp(sp.get("tailcol", rp["s"]))
    bob = -1 if s != 0 else 0
    by = 19.0 + bob
    flap = {-1: -1.0, 0: 0.0, 1: 1.0}[s]
    for sgn in (-1, 1):
        c.sticker(cap(12 + sgn * 0.8, by + 3, 12 + sgn * 4.6, GROUND - 0.5, 0.55), tr, hl=False, shading=False)
    body = ell(12, by, 4.0, 4.4)
    hy = by - 6.2
    head = ell(12, hy, 3.5, 3.2)
    if view == "back":
        c.sticker(body | head, rp)
    for sgn in (-1, 1):
        pts = [(12 + sgn * 2.0, by - 5.0), (12 + sgn * 4.5, by - 4.5), (12 + sgn * 9.0, by + 1.5 + flap),
               (12 + sgn * 11.2, by + 7.5 + flap), (12 + sgn * 6.5, by + 1.5 + flap * 0.5), (12 + sgn * 3.5, by + 1)]
        c.sticker(poly(pts), wr)
    if view == "back":
        return
    c.sticker(body, rp)
    br = ramp(sp["belly"])
    c.sticker({p for p in ell(12, by + 1.4, 3.0, 3.2) if p in body}, br, outline=False, hl=False)
    c.sticker(head, rp)
    c.paint({p for p in ell(12, hy + 2.7, 1.8, 1.0) if p in head}, (196, 74, 56))
    eye = sp.get("eyecol", (250, 240, 200))
    for x in (9, 14):
        c.dot(x, int(hy) - 1, eye); c.dot(x, int(hy), eye)
    c.sticker({(11, int(hy) + 1), (12, int(hy) + 1)}, ramp(sp.get("beak", (70, 60, 70))), outline=False, shading=False)


def side_flamingo(c, sp, s):
    """Facing right: thin legs bending at the backward knee, an S-shaped neck
    and the bent, dark-tipped beak."""
    rp = sp["_rp"]
    lc = ramp(sp.get("legcol", (236, 120, 140)))
    wr = ramp(sp.get("wingcol", rp["s"]))
    bob = -1 if s != 0 else 0
    by = 16.0 + bob
    for far in (True, False):
        dx = (-2.0 * s if far else 2.0 * s) + (0 if s else (-1.0 if far else 1.0))
        leg = lc["o"] if far else lc["s"]
        hx0, hy0 = 10, int(by) + 3
        kx, ky = int(round(10 + dx * 0.5 - 1)), 22
        fx = int(round(10 + dx))
        if s == 0 and far:
            # standing on one leg, the other folded up under the body
            c.paint(cap(hx0 + 0.5, hy0, 11.5, 21.5, 0.5) | cap(11.5, 21.5, 8.5, 20.5, 0.5), leg)
            continue
        c.paint(cap(hx0 + 0.5, hy0, kx + 0.5, ky + 0.5, 0.5) | cap(kx + 0.5, ky + 0.5, fx + 0.5, GROUND + 0.5, 0.5), leg)
        c.paint({(fx + 1, GROUND), (fx + 2, GROUND)}, leg)
    c.sticker(poly([(4.5, by - 2.0), (7.0, by - 0.5), (6.0, by + 2.0), (3.0, by + 0.5)]), wr, hl=False)
    c.sticker(ell(10.5, by, 5.4, 3.5), rp)
    wing = poly([(6.0, by - 2.5), (12.5, by - 2.5), (13.0, by + 0.5), (9.0, by + 2.5), (4.5, by + 1.0)])
    c.sticker(wing, wr, hl=False)
    c.paint({(5, int(by)), (6, int(by)), (5, int(by) + 1), (6, int(by) - 1)}, (52, 36, 48))
    neck = cap(14.0, by - 2.0, 16.0, by - 5.5, 1.0) | cap(16.0, by - 5.5, 14.0, by - 8.5, 1.0) | \
        cap(14.0, by - 8.5, 15.0, by - 10.5, 1.0)
    c.sticker(neck, rp, hl=False)
    hy = by - 11.5
    c.sticker(ell(15.5, hy, 2.4, 2.0), rp, hl=False)
    c.dot(16, int(hy) - 1, (40, 30, 52))
    beak = {(18, int(hy)), (19, int(hy)), (18, int(hy) + 1), (19, int(hy) + 1), (20, int(hy) + 1),
            (20, int(hy) + 2), (20, int(hy) + 3)}
    c.sticker(beak, ramp((250, 226, 228)), hl=False, shading=False)
    c.paint({(20, int(hy) + 2), (20, int(hy) + 3), (20, int(hy) + 1)}, sp.get("beak", (60, 40, 50)))


SIDES = {"flamingo": side_flamingo}

FRONTS = {"tortoise": front_tortoise, "lizard": front_lizard, "flamingo": front_flamingo, "swallow": front_swallow}


PLANS = {"ball": plan_ball, "upright": plan_upright, "quad": plan_quad,
         "bird": plan_bird, "float": plan_float, "star": plan_star}

ROW_VIEWS = [("back", False), ("side", False), ("front", False), ("side", True)]
COL_STRIDE = [1, 0, -1]


def render_sheet(sp):
    sp = dict(sp)
    sp["_rp"] = sp.get("ramp") or ramp(sp["body"], sp.get("outline"))
    bg = sp["bg"]
    img = Image.new("RGB", (CW * 3, CH * 4), bg)
    for r, (view, flip) in enumerate(ROW_VIEWS):
        cells = []
        for col, s in enumerate(COL_STRIDE):
            c = Cell(flip=flip)
            if view in ("front", "back") and sp.get("front"):
                FRONTS[sp["front"]](c, sp, s, view)
            elif view == "side" and sp.get("side"):
                SIDES[sp["side"]](c, sp, s)
            else:
                PLANS[sp["plan"]](c, sp, view, s)
            if sp.get("sparkle") and sp["plan"] != "star":
                draw_sparkles(c, sp, s)
            cells.append(c)
        # one shift per row (never per frame, that would jitter) keeps long
        # tails and beaks inside the cell
        boxes = [c.bbox() for c in cells]
        x0 = min(b[0] for b in boxes); x1 = max(b[2] for b in boxes)
        y0 = min(b[1] for b in boxes); y1 = max(b[3] for b in boxes)
        dx = 0
        if x0 < 0:
            dx = -x0
        elif x1 > CW - 1:
            dx = CW - 1 - x1
        dy = -y0 if y0 < 0 else 0
        if x1 - x0 > CW - 1 or y1 + dy > CH - 1:
            print("warning: %s row %d does not fit (%d..%d, %d..%d)" % (sp.get("sheet"), r, x0, x1, y0, y1))
        for col, c in enumerate(cells):
            grid = c.finish(bg, sp["_rp"]["o"], dx, dy)
            if sp.get("rim"):
                add_rim(grid, bg, rim_colours(sp["body"]) if sp["rim"] is True else sp["rim"])
            for y in range(CH):
                for x in range(CW):
                    img.putpixel((col * CW + x, r * CH + y), grid[y][x])
    return img


def add_rim(grid, bg, rim):
    """Dark pixels on the figure's silhouette take the rim colour, so the
    outline shows on a black desktop while the dark body shows on a light one."""
    hi, lo = rim
    edge = {}
    for y in range(CH):
        for x in range(CW):
            if grid[y][x] == bg or lum(grid[y][x]) >= LIGHT_MIN:
                continue
            open_ = [(dx, dy) for dx, dy in N4
                     if not (0 <= x + dx < CW and 0 <= y + dy < CH) or grid[y + dy][x + dx] == bg]
            if open_:
                edge[(x, y)] = hi if ((-1, 0) in open_ or (0, -1) in open_) else lo
    for (x, y), col in edge.items():
        grid[y][x] = col


ROW_NAMES = ("back", "right", "front", "left")


def contrast_shares(img):
    """(row, col, figure pixels, light share, dark share) for every cell; the
    figure is every pixel that is not the sheet's background at (0, 0)."""
    px = img.load()
    bg = px[0, 0]
    out = []
    for r in range(4):
        for col in range(3):
            fig = [px[col * CW + x, r * CH + y] for y in range(CH) for x in range(CW)]
            fig = [p for p in fig if p != bg]
            n = max(1, len(fig))
            out.append((r, col, len(fig), sum(lum(p) >= LIGHT_MIN for p in fig) / n,
                        sum(lum(p) <= DARK_MAX for p in fig) / n))
    return out


def contrast_problems(name, img):
    bad = []
    for r, col, n, light, dark in contrast_shares(img):
        for what, share, rule in (("light", light, ">= %d" % LIGHT_MIN), ("dark", dark, "<= %d" % DARK_MAX)):
            if share < MIN_SHARE:
                bad.append("%s row %d (%s) column %d: %.0f%% of %d figure pixels have luminance %s, needs %.0f%%"
                           % (name, r, ROW_NAMES[r], col, 100 * share, n, rule, 100 * MIN_SHARE))
    return bad


def fix_key(img, bg):
    """No figure pixel may equal its own background or the desktop colour key."""
    px = img.load()
    w, h = img.size
    # figure pixels are those not connected to the border background region
    for y in range(h):
        for x in range(w):
            p = px[x, y]
            if p == BG_TEAL and bg != BG_TEAL:
                px[x, y] = (p[0] + 1, p[1], p[2])
    return img


# --------------------------------------------------------------------------
# outputs
# --------------------------------------------------------------------------

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
MINCHO = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf"


def save_png(img, rel):
    path = os.path.join(ROOT, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, format="PNG", optimize=False, compress_level=9)


def fluff_recipe(sheet, body, outline):
    rp = {"o": outline, "b": body, "s": mix(body, outline, 0.30),
          "h": mix(body, (255, 255, 255), 0.6)}
    rp["l"] = mix(body, (255, 255, 255), 0.3)  # a lighter shade below the highlight
    sp = dict(FLUFF)
    sp.update(body=body, outline=outline, ramp=rp, eyecol=FACE_GREY, mouthcol=FACE_GREY, sheet=sheet,
              light=True)
    return sp


def all_recipes():
    out = []
    for sheet, body, outline, _ in FLUFF_PALETTES:
        out.append(fluff_recipe(sheet, body, outline))
    for sp in SPECIES:
        d = dict(sp)
        d["sheet"] = "CharGZ_%02d" % sp["num"]
        out.append(d)
    return out


def font(size):
    return ImageFont.truetype(MINCHO, size)


def make_icons(fluff_sheet):
    # The face crop of the standing front cell, fitted per size; the 16px
    # version is redrawn by hand-map so the eyes survive the reduction.
    body, outline = FLUFF_PALETTES[0][1], FLUFF_PALETTES[0][2]
    shade = mix(body, outline, 0.30)
    hl = (255, 255, 255)
    icon16 = [
        "......oooo......",
        "....oo####oo....",
        "...o########o...",
        "..o##hh######o..",
        ".o##hh########o.",
        ".o############o.",
        "o####e####e####o",
        "o####e####e####o",
        "o##############o",
        "o######mm######o",
        ".o############so",
        ".o###########sso",
        "..o#########sso.",
        "...osss##ssssoo.",
        "....oo#oo#ooo...",
        "......o..o......",
    ]
    key = {"o": outline + (255,), "#": body + (255,), "s": shade + (255,), "h": hl + (255,),
           "e": FACE_GREY + (255,), "m": FACE_GREY + (255,)}
    im = Image.new("RGBA", (16, 16), (0, 0, 0, 0))
    for y, row in enumerate(icon16):
        for x, ch in enumerate(row):
            if ch in key:
                im.putpixel((x, y), key[ch])
    save_png(im, "assets/icon16.png")
    # larger sizes: the front standing cell, background made transparent
    cell = fluff_sheet.crop((CW, 2 * CH, 2 * CW, 3 * CH)).convert("RGBA")
    bg = fluff_sheet.getpixel((0, 0))
    px = cell.load()
    for y in range(CH):
        for x in range(CW):
            if px[x, y][:3] == bg:
                px[x, y] = (0, 0, 0, 0)
    bbox = cell.getbbox()
    fig = cell.crop(bbox)
    for size in (32, 48):
        k = max(1, min(size // fig.width, size // fig.height))
        big = fig.resize((fig.width * k, fig.height * k), Image.NEAREST)
        im = Image.new("RGBA", (size, size), (0, 0, 0, 0))
        im.paste(big, ((size - big.width) // 2, (size - big.height) // 2))
        save_png(im, "assets/icon%d.png" % size)


def paste_cell(dst, sheet, col, row, x, y, scale, bg_to=None):
    cell = sheet.crop((col * CW, row * CH, (col + 1) * CW, (row + 1) * CH))
    cell = cell.resize((CW * scale, CH * scale), Image.NEAREST)
    if bg_to is not None:
        bg = sheet.getpixel((0, 0))
        mask = Image.new("L", cell.size, 0)
        mp, cp = mask.load(), cell.load()
        for yy in range(cell.height):
            for xx in range(cell.width):
                if cp[xx, yy] != bg:
                    mp[xx, yy] = 255
        dst.paste(cell, (x, y), mask)
    else:
        dst.paste(cell, (x, y))


def make_splash(sheets):
    W, H = 353, 193
    im = Image.new("RGB", (W, H), (252, 240, 226))
    d = ImageDraw.Draw(im)
    # soft ground band and a thin frame
    d.rectangle((0, 138, W - 1, H - 1), fill=(236, 222, 204))
    d.rectangle((0, 0, W - 1, H - 1), outline=(170, 130, 120))
    d.rectangle((3, 3, W - 4, H - 4), outline=(226, 196, 186))
    title = "もこぽんver.1.11"
    f = font(30)
    tw = d.textlength(title, font=f)
    d.text(((W - tw) / 2 + 2, 16 + 2), title, font=f, fill=(214, 180, 170))
    d.text(((W - tw) / 2, 16), title, font=f, fill=(92, 60, 84))
    sub = font(13)
    t2 = "ふわふわ育成デスクトップペット"
    d.text(((W - d.textlength(t2, font=sub)) / 2, 54), t2, font=sub, fill=(130, 96, 110))
    # pets standing on the ground band
    picks = [("CharGZ_07", 2, 1), ("CharGZ2_4", 1, 1), ("CharGZ_00", 2, 1), ("CharGZ2_1", 3, 1), ("CharGZ_43", 2, 1)]
    xs = [38, 98, 150, 214, 270]
    for (name, row, col), x in zip(picks, xs):
        sc = 3 if name == "CharGZ_00" else 2
        y = 150 - CH * sc + (6 if sc == 2 else 12)
        paste_cell(im, sheets[name], col, row, x - (CW * sc) // 2 + 12, y, sc, bg_to=True)
    cf = font(11)
    lines = ["© 2026 もこぽん制作室", "企画・絵・プログラム：もこぽん制作室のなかまたち"]
    for i, ln in enumerate(lines):
        d.text(((W - d.textlength(ln, font=cf)) / 2, 160 + i * 14), ln, font=cf, fill=(110, 84, 90))
    save_png(im, "assets/splash.png")


def make_contact(sheets, recipes):
    scale = 4
    cols = 10
    cw, ch = CW * scale + 8, CH * scale + 26
    rows = (len(recipes) + cols - 1) // cols
    walk_h = 3 * (CH * 2 + 6) + 40 + 2 * (18 + 3 * (CH * 2 + 4) + 2 * (CH + 4) + 20)
    W = cols * cw + 8
    H = rows * ch + 8 + walk_h + 40
    im = Image.new("RGB", (W, H), (246, 244, 238))
    d = ImageDraw.Draw(im)
    f = font(12)
    for i, sp in enumerate(recipes):
        x = 8 + (i % cols) * cw
        y = 8 + (i // cols) * ch
        paste_cell(im, sheets[sp["sheet"]], 1, 2, x, y, scale)
        tag = sp["sheet"][len("CharGZ_"):] if sp["sheet"].startswith("CharGZ_") else "00-" + sp["sheet"][-1]
        label = "%s %s" % (tag, sp["name"])
        d.text((x, y + CH * scale + 4), label, font=f, fill=(40, 36, 50))
    y0 = 8 + rows * ch + 6
    # every front on a black and on a white desktop, twice and once the size
    for ground, caption in (((0, 0, 0), "黒い壁紙の上 (2倍・等倍)"), ((255, 255, 255), "白い壁紙の上 (2倍・等倍)")):
        d.text((8, y0), caption, font=f, fill=(40, 36, 50))
        y0 += 18
        per2, per1 = 20, 29
        h2 = ((len(recipes) + per2 - 1) // per2) * (CH * 2 + 4)
        h1 = ((len(recipes) + per1 - 1) // per1) * (CH + 4)
        d.rectangle((4, y0, W - 5, y0 + h2 + h1 + 12), fill=ground)
        for i, sp in enumerate(recipes):
            paste_cell(im, sheets[sp["sheet"]], 1, 2, 12 + (i % per2) * (CW * 2 + 4), y0 + 4 + (i // per2) * (CH * 2 + 4),
                       2, bg_to=True)
            paste_cell(im, sheets[sp["sheet"]], 1, 2, 12 + (i % per1) * 35, y0 + 8 + h2 + (i // per1) * (CH + 4),
                       1, bg_to=True)
        y0 += h2 + h1 + 12 + 8
    d.text((8, y0), "歩き (列 1,0,1,2 / 後ろ・右・前・左)", font=f, fill=(40, 36, 50))
    y0 += 20
    k = 2
    for name in ("CharGZ_00", "CharGZ_24", "CharGZ_40"):
        x = 8
        for row in range(4):
            for col in (1, 0, 1, 2):
                paste_cell(im, sheets[name], col, row, x, y0, k)
                x += CW * k + 1
            x += 10
        y0 += CH * k + 6
    im = im.crop((0, 0, W, y0 + 4))
    save_png(im, "docs/pets.png")


def c_escape(s):
    return s.replace("\\", "\\\\").replace('"', '\\"')


def make_cpp(recipes):
    base = recipes[0]
    rows = [base] + [r for r in recipes if r["sheet"].startswith("CharGZ_") and r["num"] > 0]
    lines = [
        "// Species display names and sprite descriptions.",
        "// Generated by tools/artgen/artgen.py together with the sprite sheets,",
        "// so edit the table there and regenerate rather than editing this file.",
        '#include "sim/pet_kinds.h"',
        "",
        "namespace pet {",
        "",
        "const std::array<SpeciesInfo, kSpeciesCount> kSpecies = {{",
    ]
    for r in rows:
        lines.append('    {"%s", "%s"},  // %d' % (c_escape(r["name"]), c_escape(r["look"]), r["num"]))
    lines += ["}};", "", "}  // namespace pet", ""]
    path = os.path.join(ROOT, "src/sim/pet_kinds.cpp")
    with open(path, "w", encoding="utf-8") as fh:
        fh.write("\n".join(lines))


def bg_name(bg):
    return "teal (98,164,172)" if tuple(bg) == BG_TEAL else "periwinkle (128,132,220)"


def make_md(recipes):
    spec_of = {v: k for k, v in SPECIAL_EVOLUTION.items()}
    out = ["# Species", "",
           "Every pet starts as the fluff-ball (0) and evolves into one of 53 species.",
           "Species 1..42 sit on a grid: `species = 7 * mouseLevel + dayScore + 4`,",
           "with mouseLevel 0..5 (idle → restless mouse use) and dayScore −3..3 (night → day).",
           "Idle rows are round, sleepy creatures; restless rows are spiky, long-limbed and dashing.",
           "Night columns use dark, cool colours, day columns bright, warm ones.",
           "Species 43..53 are rare specials given at fixed evolution numbers (evolution count mod 100).",
           "",
           "![contact sheet](pets.png)",
           "",
           "| # | Name | Grid position | Look | Background |",
           "|---|------|---------------|------|------------|"]
    for r in recipes[len(FLUFF_PALETTES):]:
        n = r["num"]
        if n <= 42:
            ml, ds = (n - 1) // 7, (n - 1) % 7 - 3
            pos = "mouseLevel %d, dayScore %+d" % (ml, ds) if ds else "mouseLevel %d, dayScore 0" % ml
        else:
            pos = "special (evolution number %d)" % spec_of[n]
        out.append("| %d | %s | %s | %s | %s |" % (n, r["name"], pos, r["look"], bg_name(r["bg"])))
    out.insert(len(out) - 53, "| 0 | %s | start | %s | %s |" % (FLUFF["name"], FLUFF["look"], bg_name(FLUFF["bg"])))
    out += ["", "## Fluff-ball colourings", "",
            "One drawing in five palettes, all on teal (98,164,172). Each sheet also holds a",
            "shade (body mixed 30% toward the outline), a highlight (body mixed 60% toward white)",
            "and grey face pixels (72,72,72).", "",
            "| Sheet | Body | Outline | Colouring |", "|-------|------|---------|-----------|"]
    for sheet, body, outline, desc in FLUFF_PALETTES:
        out.append("| %s | %s | %s | %s |" % (sheet, "(%d,%d,%d)" % body, "(%d,%d,%d)" % outline, desc))
    out += ["", "## Special evolutions", "", "| Evolution number (mod 100) | Species |", "|---|---|"]
    for k in sorted(SPECIAL_EVOLUTION):
        n = SPECIAL_EVOLUTION[k]
        out.append("| %d | %d %s |" % (k, n, SPECIES[n - 1]["name"]))
    out += ["", "## On any desktop", "",
            "Every cell of every species sheet (01..53) must read on a black and on a white wallpaper:",
            "at least a quarter of its figure pixels (those that differ from the sheet's pixel (0, 0))",
            "have a luminance (0.299 R + 0.587 G + 0.114 B) of %d or more, and at least a quarter %d or less."
            % (LIGHT_MIN, DARK_MAX),
            "Night species keep their dark bodies and get a moonlit rim: the dark pixels on their",
            "silhouette take a light tint of the body colour, brighter on the top and left edges.",
            "The generator measures every cell and names each one that falls short.",
            "The contact sheet above shows every front on black and on white, twice and once the real size."]
    out += ["", "## Sheets", "",
            "`assets/sheets/CharGZ_NN.png` (00..53) and `CharGZ2_N.png` (1..4): 72×128 RGB, 3 columns × 4 rows",
            "of 24×32 cells. Rows: back, right, front, left. Columns: stride, standing, other stride",
            "(played 1,0,1,2). Pixel (0,0) is the background colour.", "",
            "## Regenerating", "",
            "All art, this page's table, `docs/pets.png`, the splash, the icons and",
            "`src/sim/pet_kinds.cpp` come from one script (needs Debian's python3-pil and",
            "fonts-ipafont-mincho):", "",
            "```", "/usr/bin/python3 tools/artgen/artgen.py", "```", "",
            "Output is byte-for-byte reproducible. The script ends with status 1, after writing",
            "everything, when a cell falls short of the contrast rule above.", ""]
    with open(os.path.join(ROOT, "docs/pets.md"), "w", encoding="utf-8") as fh:
        fh.write("\n".join(out))


def main():
    recipes = all_recipes()
    sheets = {}
    problems = []
    for sp in recipes:
        img = render_sheet(sp)
        sheets[sp["sheet"]] = img
        save_png(img, "assets/sheets/%s.png" % sp["sheet"])
        if sp["sheet"].startswith("CharGZ_") and sp.get("num", 0) > 0:  # the fluff-ball's colours are fixed
            problems += contrast_problems(sp["sheet"], img)
    make_icons(sheets["CharGZ_00"])
    make_splash(sheets)
    make_contact(sheets, recipes)
    make_cpp(recipes)
    make_md(recipes)
    for line in problems:
        print("too little contrast: " + line, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
