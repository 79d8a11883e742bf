#!/usr/bin/env python3
"""Turns the plain-text sources of the sample books into the JSON that kelmor-book builds.

Source format (data/sources/<name>.txt, UTF-8), one header then the articles:

    ToolName: Народный сонник
    TolkName: Народные приметы
    Color: 128            (decimal 0x00BBGGRR, or "null")
    Icon: moon            (an icon of make_icons.py, or "null")

    = Вода
    first line of the article
    Мутная вода – к хворям.
    @ Река; Дождь.

"= headword" starts an article; its following lines are the article, joined with CR LF;
an optional "@ ..." line holds the cross-references as stored. Lines starting with "#"
are comments. The result goes to data/books/<name>.json, one record per line so that
changes read well in a diff.

    python3 data/make_books.py            write every book
    python3 data/make_books.py --stdout NAME   print one book instead
"""

import base64
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_icons  # noqa: E402

SOURCES = os.path.join(HERE, "sources")
BOOKS = os.path.join(HERE, "books")


class SourceError(Exception):
    pass


def parse_source(path):
    """Reads one source file into the book's dictionary (Config and Book)."""
    config = {}
    records = []
    current = None
    with open(path, encoding="utf-8") as src:
        for number, line in enumerate(src, 1):
            line = line.rstrip("\n").rstrip("\r").rstrip()
            where = f"{path}:{number}"
            if not line or line.startswith("#"):
                continue
            if line.startswith("= "):
                current = {"List": line[2:].strip(), "lines": [], "Links": None, "where": where}
                records.append(current)
            elif line.startswith("@ "):
                if current is None or current["Links"] is not None:
                    raise SourceError(f"{where}: links without an article or given twice")
                current["Links"] = line[2:].strip()
            elif current is None:
                key, sep, value = line.partition(":")
                if not sep or key not in ("ToolName", "TolkName", "Color", "Icon"):
                    raise SourceError(f"{where}: expected a header line, got {line!r}")
                value = value.strip()
                config[key] = None if value == "null" else value
            else:
                if current["Links"] is not None:
                    raise SourceError(f"{where}: article text after its links line")
                current["lines"].append(line)
    for key in ("ToolName", "TolkName", "Color", "Icon"):
        if key not in config:
            raise SourceError(f"{path}: header line {key} is missing")
    icon = config["Icon"]
    if icon is not None:
        config["Icon"] = base64.b64encode(make_icons.icon_png(icon)).decode("ascii")
    book = []
    for record in records:
        if not record["lines"]:
            raise SourceError(f"{record['where']}: article {record['List']!r} has no text")
        book.append({"List": record["List"], "Text": "\r\n".join(record["lines"]),
                     "Links": record["Links"]})
    return {"Config": {k: config[k] for k in ("ToolName", "TolkName", "Color", "Icon")},
            "Book": book}


def to_json(book):
    """The JSON text of a book: the Config object, then one Book record per line."""
    out = ['{"Config": ' + json.dumps(book["Config"], ensure_ascii=False) + ',\n "Book": [\n']
    rows = [json.dumps(r, ensure_ascii=False) for r in book["Book"]]
    out.append(",\n".join("  " + r for r in rows))
    out.append("\n]}\n")
    return "".join(out)


def source_names():
    return sorted(f[:-4] for f in os.listdir(SOURCES) if f.endswith(".txt"))


def build(name):
    return to_json(parse_source(os.path.join(SOURCES, name + ".txt")))


def main(argv):
    try:
        if len(argv) == 3 and argv[1] == "--stdout":
            sys.stdout.write(build(argv[2]))
            return 0
        os.makedirs(BOOKS, exist_ok=True)
        for name in source_names():
            text = build(name)
            target = os.path.join(BOOKS, name + ".json")
            temp = target + ".tmp"
            with open(temp, "w", encoding="utf-8", newline="\n") as out:
                out.write(text)
            os.replace(temp, target)
            print(target)
    except SourceError as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
