#!/usr/bin/env python3
"""Turns the readable sources of the bundled literature articles into RTF files.

Source format (data/texts/sources/<title>.txt, UTF-8); the article file is
data/texts/<title>.lit, so its title in the literature tree is the source's name:

    # Heading              a heading (## for a second level)
    Text with **bold** and *italic* words.
    - a list item          consecutive items form one list
    | cell | cell |        consecutive rows form one table; the first row is its header

An empty line ends a paragraph. The articles are RTF 1.x in Windows-1251 (\\ansicpg1251,
\\'hh escapes for every non-ASCII character), as the word processors of their readers write.

    python3 data/make_texts.py            write every article
    python3 data/make_texts.py --check    exit 1 when a written article differs from its source
"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCES = os.path.join(HERE, "texts", "sources")
TEXTS = os.path.join(HERE, "texts")

HEADER = (
    "{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049"
    "{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman;}"
    "{\\f1\\fswiss\\fcharset204 Arial;}}\r\n"
    "{\\colortbl;\\red31\\green56\\blue100;\\red221\\green232\\blue243;\\red96\\green96\\blue96;}\r\n"
)
BODY = "\\pard\\plain\\qj\\fi567\\sa120\\f0\\fs24 "
HEADINGS = {
    1: "\\pard\\plain\\qc\\sb240\\sa240\\keepn\\outlinelevel0\\f1\\fs32\\b\\cf1 ",
    2: "\\pard\\plain\\sb240\\sa120\\keepn\\outlinelevel1\\f1\\fs26\\b\\cf1 ",
}
ITEM = "\\pard\\plain\\fi-284\\li851\\sa60\\tx851\\f0\\fs24 {\\listtext\\f0\\fs24 \\'95\\tab}"
TABLE_WIDTH = 9354  # twips: the text width of an A4 page with 2 cm margins
BORDERS = "".join("\\clbrdr%s\\brdrs\\brdrw10\\brdrcf3" % side for side in "tlbr")


class SourceError(Exception):
    pass


def escape(text):
    """RTF of plain text: specials escaped, every non-ASCII character as its code-page byte."""
    out = []
    for ch in text:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ord(ch) < 128:
            out.append(ch)
        else:
            try:
                byte = ch.encode("cp1251")
            except UnicodeEncodeError:
                raise SourceError("not a Windows-1251 character: %r" % ch)
            out.append("\\'%02x" % byte[0])
    return "".join(out)


def inline(text):
    """**bold** and *italic* runs as groups."""
    out = []
    pos = 0
    for m in re.finditer(r"\*\*(.+?)\*\*|\*(.+?)\*", text):
        out.append(escape(text[pos:m.start()]))
        if m.group(1) is not None:
            out.append("{\\b " + escape(m.group(1)) + "}")
        else:
            out.append("{\\i " + escape(m.group(2)) + "}")
        pos = m.end()
    out.append(escape(text[pos:]))
    return "".join(out)


def table(rows):
    cells = [[c.strip() for c in row.strip().strip("|").split("|")] for row in rows]
    columns = max(len(r) for r in cells)
    # Column widths in proportion to the longest text of each column.
    longest = [max(len(r[i]) if i < len(r) else 0 for r in cells) + 6 for i in range(columns)]
    total = sum(longest)
    edges, edge = [], 0
    for i, w in enumerate(longest):
        edge = TABLE_WIDTH if i == columns - 1 else edge + TABLE_WIDTH * w // total
        edges.append(edge)
    out = []
    for n, row in enumerate(cells):
        header = n == 0
        definition = "\\trowd\\trgaph108\\trleft0" + ("\\trhdr" if header else "")
        for e in edges:
            definition += BORDERS + ("\\clcbpat2" if header else "") + "\\cellx%d" % e
        out.append(definition + "\r\n")
        for i in range(columns):
            text = row[i] if i < len(row) else ""
            style = "\\pard\\plain\\intbl\\ql\\f0\\fs22" + ("\\b" if header else "") + " "
            out.append(style + inline(text) + "\\cell\r\n")
        out.append("\\row\r\n")
    return "".join(out)


def article(source):
    title = os.path.splitext(os.path.basename(source))[0]
    with open(source, encoding="utf-8") as f:
        lines = f.read().splitlines()
    out = [HEADER, "{\\info{\\title " + escape(title) + "}{\\author Kelmor}}\r\n"]
    paragraph, rows = [], []

    def flush_paragraph():
        if paragraph:
            out.append(BODY + inline(" ".join(paragraph)) + "\\par\r\n")
            paragraph.clear()

    def flush_table():
        if rows:
            out.append(table(rows))
            rows.clear()

    for line in lines:
        stripped = line.strip()
        if stripped.startswith("|"):
            flush_paragraph()
            rows.append(stripped)
            continue
        flush_table()
        if not stripped:
            flush_paragraph()
        elif stripped.startswith("#"):
            flush_paragraph()
            level = len(stripped) - len(stripped.lstrip("#"))
            if level not in HEADINGS:
                raise SourceError("%s: heading level %d" % (source, level))
            out.append(HEADINGS[level] + inline(stripped[level:].strip()) + "\\par\r\n")
        elif stripped.startswith("- "):
            flush_paragraph()
            out.append(ITEM + inline(stripped[2:].strip()) + "\\par\r\n")
        else:
            paragraph.append(stripped)
    flush_paragraph()
    flush_table()
    out.append("\\pard\\plain\\f0\\fs24\\par\r\n}\r\n")
    return title, "".join(out).encode("ascii")


def main(argv):
    check = "--check" in argv
    differs = False
    for name in sorted(os.listdir(SOURCES)):
        if not name.endswith(".txt"):
            continue
        title, data = article(os.path.join(SOURCES, name))
        target = os.path.join(TEXTS, title + ".lit")
        if check:
            try:
                with open(target, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                print("out of date: %s" % target, file=sys.stderr)
                differs = True
        else:
            with open(target + ".tmp", "wb") as f:
                f.write(data)
            os.replace(target + ".tmp", target)
            print(target)
    return 1 if differs else 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except SourceError as e:
        print("make_texts: %s" % e, file=sys.stderr)
        sys.exit(2)
