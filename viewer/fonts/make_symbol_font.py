#!/usr/bin/python3
"""Builds kelmor-symbols.ttf: the two heading glyphs of the interpretation view.

"&" is an open book (book headings), "F" a hand pointing right (the line of links). The
outlines are drawn here; run this script after changing them and commit the font it writes:

    /usr/bin/python3 viewer/fonts/make_symbol_font.py viewer/fonts/kelmor-symbols.ttf
"""

import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

UPM = 1000
ASCENT = 800
DESCENT = 200
FAMILY = "Kelmor Symbols"


def polygon(pen, points):
    """A closed contour through the points; outer contours go clockwise (y up)."""
    pen.moveTo(points[0])
    for p in points[1:]:
        pen.lineTo(p)
    pen.closePath()


def rect(pen, x0, y0, x1, y1):
    polygon(pen, [(x0, y0), (x0, y1), (x1, y1), (x1, y0)])


def hole(pen, points):
    """A counter: the same contour counter-clockwise."""
    polygon(pen, list(reversed(points)))


def draw_book(pen):
    # Two pages meeting at the spine, their top edges rising towards the outer corners, with
    # lines of text on each page.
    left_outer = [(40, 90), (40, 650), (170, 700), (330, 690), (480, 620), (480, 40), (330, 110),
                  (170, 125)]
    left_inner = [(95, 150), (95, 610), (180, 645), (320, 635), (425, 580), (425, 125),
                  (320, 170), (180, 185)]
    polygon(pen, left_outer)
    hole(pen, left_inner)
    right_outer = [(1000 - x, y) for x, y in reversed(left_outer)]
    right_inner = [(1000 - x, y) for x, y in reversed(left_inner)]
    polygon(pen, right_outer)
    hole(pen, right_inner)
    # The spine and the cover's lower edge.
    polygon(pen, [(470, 10), (470, 640), (530, 640), (530, 10)])
    polygon(pen, [(20, 40), (20, 90), (480, 20), (520, 20), (980, 90), (980, 40), (520, -20),
                  (480, -20)])
    # Text lines.
    for i in range(4):
        y = 520 - i * 95
        polygon(pen, [(140, y - 20 + i * 4), (140, y + 20 + i * 4), (390, y - 5),
                      (390, y - 45)])
        polygon(pen, [(610, y - 45), (610, y - 5), (860, y + 20 + i * 4),
                      (860, y - 20 + i * 4)])


def draw_hand(pen):
    # A fist seen from the side with the index finger stretched to the right and a cuff.
    rect(pen, 30, 150, 150, 590)  # cuff
    polygon(pen, [(150, 190), (150, 560), (260, 620), (470, 620), (520, 590), (520, 170),
                  (470, 140), (220, 140)])  # back of the hand
    # Index finger with a rounded tip.
    pen.moveTo((470, 470))
    pen.lineTo((470, 590))
    pen.lineTo((900, 590))
    pen.qCurveTo((970, 590), (970, 530))
    pen.qCurveTo((970, 470), (900, 470))
    pen.closePath()
    # Folded fingers.
    for top, right in ((460, 660), (365, 640), (270, 610)):
        pen.moveTo((470, top - 85))
        pen.lineTo((470, top))
        pen.lineTo((right - 40, top))
        pen.qCurveTo((right, top), (right, top - 42))
        pen.qCurveTo((right, top - 85), (right - 40, top - 85))
        pen.closePath()
    # Thumb resting over the fingers.
    pen.moveTo((300, 600))
    pen.lineTo((300, 690))
    pen.lineTo((560, 690))
    pen.qCurveTo((610, 690), (610, 645))
    pen.qCurveTo((610, 600), (560, 600))
    pen.closePath()


def draw_notdef(pen):
    rect(pen, 100, 0, 500, 700)
    hole(pen, [(150, 50), (150, 650), (450, 650), (450, 50)])


def build(path):
    glyphs = {}
    advances = {".notdef": 600, "space": 500, "book": 1000, "hand": 1000}
    for name, draw in ((".notdef", draw_notdef), ("space", None), ("book", draw_book),
                       ("hand", draw_hand)):
        pen = TTGlyphPen(None)
        if draw:
            draw(pen)
        glyphs[name] = pen.glyph()

    fb = FontBuilder(UPM, isTTF=True)
    order = [".notdef", "space", "book", "hand"]
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({0x20: "space", 0x26: "book", 0x46: "hand"})
    fb.setupGlyf(glyphs)
    glyf = fb.font["glyf"]
    metrics = {}
    for name in order:
        g = glyf[name]
        g.recalcBounds(glyf)
        metrics[name] = (advances[name], getattr(g, "xMin", 0))
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT)
    fb.setupNameTable({"familyName": FAMILY, "styleName": "Regular",
                       "uniqueFontIdentifier": FAMILY + " Regular 1.0",
                       "fullName": FAMILY, "psName": "KelmorSymbols-Regular",
                       "version": "Version 1.0"})
    fb.setupOS2(sTypoAscender=ASCENT, sTypoDescender=-DESCENT, sTypoLineGap=0,
                usWinAscent=ASCENT, usWinDescent=DESCENT, achVendID="KLMR")
    fb.setupPost()
    fb.setupHead(unitsPerEm=UPM, created=0, modified=0)
    fb.save(path)


if __name__ == "__main__":
    build(sys.argv[1] if len(sys.argv) > 1 else "kelmor-symbols.ttf")
