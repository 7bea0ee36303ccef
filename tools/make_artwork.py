#!/usr/bin/env python3
"""Draws the program's pictures (start-screen photograph, button icons, logos,
application icon) from simple shapes with ImageMagick's `convert`.

Run from the repository root:  python3 tools/make_artwork.py
The PNG files land in resources/images/ and are committed; the program embeds
them through resources/tavelo.qrc. The drawing is deterministic (fixed seed),
so running the script again gives the same pictures.
"""

import os
import random
import subprocess
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")

# PNGs without time stamps, so that a rerun does not change the files.
PNG_OPTS = ["-strip", "-define", "png:exclude-chunks=date,time"]


def convert(args, name):
    path = os.path.join(OUT, name)
    subprocess.run(["convert"] + args + PNG_OPTS + [path], check=True)
    print("wrote", os.path.relpath(path))


def draw(*primitives):
    # One drawing context: the fill and stroke set by a primitive carry over to
    # the ones after it.
    return ["-draw", " ".join(primitives)]


def pine(rnd, x, ground, height, scale, dark, light, trunk):
    """A maritime pine: a tall, slightly leaning bare trunk and an irregular
    crown of dark clumps in its upper third."""
    cmds = []
    lean = rnd.uniform(-0.04, 0.04) * height
    top_x = x + lean
    base_w = max(2.0, 9.0 * scale)
    top_w = base_w * 0.35
    crown_base = ground - height * rnd.uniform(0.62, 0.72)
    # Trunk as a tapering quadrilateral.
    cmds += ["fill %s polygon %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f" % (
        trunk, x - base_w, ground, x + base_w, ground, top_x + top_w, ground - height * 0.95,
        top_x - top_w, ground - height * 0.95)]
    # Two or three branches into the crown.
    for _ in range(rnd.randint(2, 3)):
        by = rnd.uniform(crown_base, ground - height * 0.9)
        bx = x + lean * (ground - by) / height
        ex = bx + rnd.choice([-1, 1]) * rnd.uniform(0.12, 0.22) * height
        ey = by - rnd.uniform(0.05, 0.12) * height
        cmds += ["stroke %s stroke-width %.1f line %.1f,%.1f %.1f,%.1f stroke none" % (
            trunk, max(1.0, 2.5 * scale), bx, by, ex, ey)]
    # Crown: clumps of foliage, darker below, lighter on top.
    crown_w = height * rnd.uniform(0.28, 0.36)
    crown_h = height * 0.3
    cy0 = crown_base - crown_h * 0.25
    for i in range(14):
        cx = top_x + rnd.uniform(-crown_w, crown_w) * 0.55
        cy = cy0 - rnd.uniform(0, crown_h) * 0.9
        rx = rnd.uniform(0.28, 0.45) * crown_w
        ry = rx * rnd.uniform(0.45, 0.65)
        colour = dark if i < 9 else light
        cmds += ["fill %s ellipse %.1f,%.1f %.1f,%.1f 0,360" % (colour, cx, cy, rx, ry)]
    return cmds


def photograph():
    rnd = random.Random(2001)
    w, h = 1200, 900
    horizon = 470
    args = ["-size", "%dx%d" % (w, h), "gradient:#7fb4e0-#eef3ee"]
    prims = []
    # Clouds.
    for _ in range(7):
        cx, cy = rnd.uniform(0, w), rnd.uniform(40, 260)
        for _ in range(5):
            prims.append("fill #ffffffb0 ellipse %.1f,%.1f %.1f,%.1f 0,360" % (
                cx + rnd.uniform(-60, 60), cy + rnd.uniform(-12, 12), rnd.uniform(40, 90), rnd.uniform(14, 26)))
    # Distant hills, paler further away.
    for colour, base, amp in (("#a9bcb2", horizon - 60, 50), ("#86a08f", horizon - 20, 40)):
        pts = ["0,%d" % h]
        for x in range(0, w + 100, 100):
            pts.append("%d,%.1f" % (x, base - amp * (0.5 + 0.5 * rnd.random())))
        pts.append("%d,%d" % (w, h))
        prims.append("fill %s polygon %s" % (colour, " ".join(pts)))
    # Forest floor: needle litter with a lighter band near the horizon.
    prims.append("fill #8f8150 rectangle 0,%d %d,%d" % (horizon, w, h))
    prims.append("fill #a29563 rectangle 0,%d %d,%d" % (horizon, w, horizon + 40))
    for _ in range(260):
        x, y = rnd.uniform(0, w), rnd.uniform(horizon + 10, h)
        s = 0.5 + (y - horizon) / (h - horizon)
        prims.append("fill %s ellipse %.1f,%.1f %.1f,%.1f 0,360" % (
            rnd.choice(["#7c7042", "#9a8b57", "#6f7a3c", "#85903f"]), x, y, 14 * s, 4 * s))
    # Three rows of pines, from the back (small, hazy) to the front.
    rows = [
        (horizon + 8, 150, 0.35, 26, "#4d6b55", "#5f7f63", "#6b5a4a"),
        (horizon + 60, 260, 0.6, 19, "#35563a", "#4b7145", "#6a4a34"),
        (horizon + 190, 470, 1.0, 11, "#24442a", "#3d6536", "#5e3b25"),
    ]
    for ground, height, scale, count, dark, light, trunk in rows:
        xs = sorted(rnd.uniform(-40, w + 40) for _ in range(count))
        for x in xs:
            g = ground + rnd.uniform(-8, 8) * scale
            hgt = height * rnd.uniform(0.85, 1.1)
            # A soft shadow at the foot of the tree.
            prims.append("fill #00000030 ellipse %.1f,%.1f %.1f,%.1f 0,360" % (x + 20 * scale, g + 3, 40 * scale,
                                                                                6 * scale))
            prims += pine(rnd, x, g, hgt, scale, dark, light, trunk)
    # Low shrubs in front.
    for _ in range(40):
        x, y = rnd.uniform(0, w), rnd.uniform(h - 160, h + 10)
        for _ in range(4):
            prims.append("fill %s ellipse %.1f,%.1f %.1f,%.1f 0,360" % (
                rnd.choice(["#3f5f2c", "#4e7334", "#5b7d3a"]), x + rnd.uniform(-25, 25), y + rnd.uniform(-10, 10),
                rnd.uniform(18, 34), rnd.uniform(10, 18)))
    convert(args + draw(*prims), "entrada_photo.png")


def icon(name, size, prims, background="none"):
    convert(["-size", "%dx%d" % (size, size), "xc:" + background] + draw(*prims), name)


def icons():
    # "Opções do Modelo": a panel with three sliders.
    icon("icon_options.png", 64, [
        "fill #e9eef2 stroke #44596b stroke-width 3 roundrectangle 5,5 58,58 8,8",
        "stroke #44596b stroke-width 4 line 14,19 50,19", "line 14,32 50,32", "line 14,45 50,45",
        "fill #2f7d4a stroke #1f4f31 stroke-width 2 circle 22,19 22,25",
        "fill #d28a2a stroke #80541a circle 41,32 41,38",
        "fill #2f6fa8 stroke #1d4569 circle 29,45 29,51",
    ])
    # "Simulação": growing bars behind a young pine.
    icon("icon_simulation.png", 64, [
        "fill #e9eef2 stroke #44596b stroke-width 3 roundrectangle 5,5 58,58 8,8",
        "stroke none fill #9fc1dd rectangle 12,40 20,52", "rectangle 24,31 32,52", "rectangle 36,21 44,52",
        "fill #5e3b25 rectangle 47,38 50,52",
        "fill #2f6b35 polygon 48.5,12 57,30 40,30", "polygon 48.5,20 58,40 39,40",
        "stroke #b2452c stroke-width 3 fill none polyline 12,36 24,27 36,18 46,11",
    ])
    # "Ajuda": a blue disc with a question mark drawn as strokes.
    icon("icon_help.png", 64, [
        "fill #2f6fa8 stroke #1d4569 stroke-width 3 circle 32,32 32,59",
        "fill none stroke #ffffff stroke-width 6 stroke-linecap round ellipse 32,24 10,9 165,400",
        "line 39,30 32,36 line 32,36 32,40",
        "fill #ffffff stroke none circle 32,49 32,53",
    ])
    # "Sair": an open door with an arrow going out.
    icon("icon_exit.png", 64, [
        "fill #8a5a36 stroke #4d3220 stroke-width 3 rectangle 10,8 36,56",
        "fill #c98d55 stroke #4d3220 stroke-width 2 polygon 10,8 26,14 26,60 10,56",
        "fill #f0d27a stroke none circle 22,35 22,37",
        "stroke #b2452c stroke-width 5 stroke-linecap round line 32,32 54,32",
        "fill #b2452c stroke none polygon 58,32 47,23 47,41",
    ])
    # Application icon: a pine on a green disc.
    icon("app_icon.png", 128, [
        "fill #dfeee0 stroke #2f6b35 stroke-width 6 circle 64,64 64,121",
        "fill #5e3b25 stroke none polygon 60,112 68,112 66,44 62,44",
        "fill #2f6b35 ellipse 64,40 30,13 0,360", "fill #3d7f42 ellipse 50,32 18,10 0,360",
        "fill #24562a ellipse 80,34 20,11 0,360", "fill #4a8c47 ellipse 64,24 16,9 0,360",
        "fill #8f8150 ellipse 64,113 34,5 0,360",
    ])


def logos():
    # "Edição:": an open book.
    icon("logo_edicao.png", 64, [
        "fill #f7f3e6 stroke #44596b stroke-width 2 polygon 6,16 31,20 31,54 6,50",
        "polygon 58,16 33,20 33,54 58,50",
        "stroke #9aa6b0 stroke-width 1 line 11,27 26,29", "line 11,34 26,36", "line 11,41 26,43",
        "line 38,29 53,27", "line 38,36 53,34", "line 38,43 53,41",
        "stroke none fill #2f6b35 polygon 45,6 51,18 39,18",
    ])
    # "Produção:": three logs stacked.
    icon("logo_producao.png", 64, [
        "fill #a86f43 stroke #5e3b25 stroke-width 2 rectangle 6,34 40,50", "rectangle 24,16 58,32",
        "fill #e2c08d circle 40,42 40,50", "circle 58,24 58,32",
        "fill none stroke #a86f43 stroke-width 1 circle 40,42 40,46", "circle 58,24 58,28",
        "stroke none fill #2f6b35 polygon 12,30 18,14 24,30",
    ])
    # "Modelo:": a growth curve on axes.
    icon("logo_modelo.png", 64, [
        "fill #ffffff stroke #44596b stroke-width 2 rectangle 4,4 59,59",
        "stroke #44596b stroke-width 3 line 12,52 54,52", "line 12,52 12,10",
        "fill none stroke #2f6b35 stroke-width 3 path 'M 12,50 C 24,48 26,20 54,16'",
        "stroke none fill #b2452c circle 22,44 22,47", "circle 32,28 32,31", "circle 46,19 46,22",
    ])


def main():
    os.makedirs(OUT, exist_ok=True)
    photograph()
    icons()
    logos()
    return 0


if __name__ == "__main__":
    sys.exit(main())
