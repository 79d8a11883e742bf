#!/usr/bin/env python3
"""Checks the JSON sources of the sample books (data/books/*.json).

    python3 data/check_books.py [BOOKS_DIR]
        the content rules below; also, when data/sources exists, that every JSON file
        is what make_books.py makes of its source (so nobody edits one and forgets the other)
    python3 data/check_books.py --built DIR --tool KELMOR_BOOK [BOOKS_DIR]
        additionally: every DIR/<name>.book dumps back to exactly its JSON source

The rules follow from how the program reads a book: the viewer treats "<", ">", "&",
the Latin "F", "§" and "^" as formatting markers, an en dash colours the start of its
line, a book title found inside another book's heading takes that book's colour, the
word list merges equal headwords, links are looked up as headwords, and every stored
character is one Windows-1251 byte. The rest keeps the bundled books worth a newcomer's
while: enough headwords in each book and in all of them together, the most common dream
symbols present, every link leading to an article of its own book (so that it works with
only that book enabled), articles of two to five sentences, and each book in its own
words: no run of words copied from another book, no sentence repeated between articles.
"""

import base64
import binascii
import json
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source tree clean when run from CTest

HERE = os.path.dirname(os.path.abspath(__file__))
CONFIG_KEYS = ("ToolName", "TolkName", "Color", "Icon")
RECORD_KEYS = ("List", "Text", "Links")
MIN_BOOKS = 3
MIN_HEADWORDS = 150  # every book
FULL_BOOK_HEADWORDS = 350  # the main books, at least MIN_FULL_BOOKS of them
MIN_FULL_BOOKS = 3
MIN_DISTINCT = 700  # headwords of all books together
MIN_SHARED = 30
# Words that the lookup and viewer tests may rely on: present in every book.
EVERYWHERE = ("Вода", "Змея", "Луна", "Дом", "Огонь")
# Symbols that people dream of most: each is a headword of at least one book.
COMMON = (
    "Мать", "Отец", "Муж", "Жена", "Бабушка", "Ребёнок", "Младенец", "Покойник", "Мертвец",
    "Зубы", "Волосы", "Кровь", "Беременность", "Болезнь", "Смерть", "Гроб", "Свадьба",
    "Дом", "Дверь", "Кровать", "Зеркало", "Платье", "Мясо", "Хлеб", "Деньги", "Золото",
    "Собака", "Кошка", "Змея", "Лев", "Птица", "Пчела", "Паук", "Рыба", "Дельфин", "Цветы",
    "Дерево", "Дождь", "Снег", "Вода", "Огонь", "Дорога", "Поезд", "Церковь", "Крест",
    "Школа", "Работа", "Летать", "Падать", "Бежать", "Прятаться", "Плавать", "Тонуть",
    "Целоваться", "Драться", "Терять", "Искать",
)
# A headword is one capitalised word, or a few joined by single spaces or hyphens.
HEADWORD = re.compile(r"[А-ЯЁ][а-яё]*(?:[ -][а-яё]+)*")
MARKERS = "&§^<>"
LATIN = re.compile(r"[A-Za-z]")
SENTENCE_END = re.compile(r"[.!?…]+(?=\s|$)")
INLINE_LINK = re.compile(r"<([^<>]*)>")
MIN_SENTENCES = 2
MAX_SENTENCES = 5
COPIED_RUN = 6  # this many words in a row found in two books are copied wording
REPEATED_SENTENCE = 4  # a sentence of this many words may stand in one article only
WORD = re.compile(r"[а-яё0-9]+")


def encodable(text):
    try:
        text.encode("cp1251")
        return True
    except UnicodeEncodeError:
        return False


def split_links(links):
    """Items of a "a; b; c." list, or None when the list is not in that form."""
    body = links.strip()
    if not body.endswith(".") or body.endswith(";."):
        return None
    items = [item.strip() for item in body[:-1].split(";")]
    if any(not item or "." in item for item in items):
        return None
    return items


def check_icon(where, icon, errors):
    try:
        data = base64.b64decode(icon, validate=True)
    except (binascii.Error, ValueError):
        errors.append(f"{where}: Icon is not valid base64")
        return
    if not data.startswith(b"\x89PNG\r\n\x1a\n") or data[12:16] != b"IHDR":
        errors.append(f"{where}: Icon is not a PNG file")


def check_plain_text(where, text, errors, allow_links=False):
    """Texts that the viewer shows: no markers, no Latin letters, one byte per character."""
    if not encodable(text):
        bad = "".join(sorted({c for c in text if not encodable(c)}))
        errors.append(f"{where}: characters outside Windows-1251: {bad!r}")
    if LATIN.search(text):
        errors.append(f"{where}: Latin letters (a Latin F is a formatting marker)")
    rest = INLINE_LINK.sub("", text) if allow_links else text
    found = sorted({c for c in rest if c in MARKERS})
    if found:
        errors.append(f"{where}: formatting markers {''.join(found)!r}")


def check_shape(name, book, errors):
    """The exact JSON shape kelmor-book expects; False when the book cannot be checked further."""
    if not isinstance(book, dict) or set(book) != {"Config", "Book"}:
        errors.append(f"{name}: top level must be an object with Config and Book")
        return False
    config, records = book["Config"], book["Book"]
    if not isinstance(config, dict) or set(config) != set(CONFIG_KEYS):
        errors.append(f"{name}: Config must have exactly {', '.join(CONFIG_KEYS)}")
        return False
    for key in CONFIG_KEYS:
        if not (config[key] is None or isinstance(config[key], str)):
            errors.append(f"{name}: Config.{key} must be text or null")
            return False
    if not isinstance(records, list):
        errors.append(f"{name}: Book must be a list")
        return False
    for i, record in enumerate(records):
        if not isinstance(record, dict) or set(record) != set(RECORD_KEYS):
            errors.append(f"{name}: Book[{i}] must have exactly {', '.join(RECORD_KEYS)}")
            return False
        if not isinstance(record["List"], str) or not isinstance(record["Text"], str):
            errors.append(f"{name}: Book[{i}]: List and Text must be text")
            return False
        if not (record["Links"] is None or isinstance(record["Links"], str)):
            errors.append(f"{name}: Book[{i}]: Links must be text or null")
            return False
    return True


def check_config(name, config, errors):
    for key in ("ToolName", "TolkName"):
        if not config[key] or not config[key].strip():
            errors.append(f"{name}: Config.{key} is empty")
        else:
            check_plain_text(f"{name}: Config.{key}", config[key], errors)
    color = config["Color"]
    if color is not None and not (color.isdigit() and int(color) <= 0xFFFFFF):
        errors.append(f"{name}: Config.Color {color!r} is not a decimal 0x00BBGGRR value")
    if config["Icon"] is not None:
        check_icon(f"{name}: Config.Icon", config["Icon"], errors)


def check_article(where, text, errors):
    check_plain_text(where, text, errors, allow_links=True)
    if not text.strip():
        errors.append(f"{where}: empty article")
        return
    lines = text.split("\r\n")
    if any("\r" in line or "\n" in line for line in lines):
        errors.append(f"{where}: lines must be separated by CR LF")
    sentences = 0
    for line in lines:
        if not line.strip():
            errors.append(f"{where}: empty line")
        # The viewer colours a line from its start up to the dash: one dash, in the first sentence.
        dashes = line.count("–")
        before = line.split("–")[0]
        if dashes > 1 or (dashes == 1 and (not re.search(r"\S – \S", line)
                                           or SENTENCE_END.search(before))):
            errors.append(f"{where}: an en dash only in the form 'Слово – толкование', once a line")
        ends = len(SENTENCE_END.findall(line))
        sentences += ends if re.search(r"[.!?…]$", line) else ends + 1
    if sentences > MAX_SENTENCES:
        errors.append(f"{where}: {sentences} sentences, at most {MAX_SENTENCES}")
    elif sentences < MIN_SENTENCES:
        errors.append(f"{where}: {sentences} sentence, at least {MIN_SENTENCES} wanted")


def sentence_words(text):
    """The sentences of an article as lists of lower-case words, "ё" read as "е"."""
    text = INLINE_LINK.sub(lambda m: m.group(1), text).replace("\r\n", " ")
    for sentence in re.split(r"(?<=[.!?…])\s+", text):
        words = WORD.findall(sentence.lower().replace("ё", "е"))
        if words:
            yield words


def check_wording(books, errors):
    """No run of COPIED_RUN words shared by two books; no sentence repeated in two articles."""
    runs = {}  # run of words -> (book, headword) where it was seen first
    sentences = {}  # (book, sentence) -> headword
    for name, book in books:
        own_runs = {}
        for record in book["Book"]:
            for words in sentence_words(record["Text"]):
                if len(words) >= REPEATED_SENTENCE:
                    key = (name, " ".join(words))
                    first = sentences.setdefault(key, record["List"])
                    if first != record["List"]:
                        errors.append(f"{name}: {record['List']}: sentence repeated from "
                                      f"{first!r}: {key[1]!r}")
                for i in range(len(words) - COPIED_RUN + 1):
                    own_runs.setdefault(" ".join(words[i:i + COPIED_RUN]), record["List"])
        reported = set()
        for run, word in own_runs.items():
            other = runs.get(run)
            if other is None:
                runs[run] = (name, word)
            elif (other, word) not in reported:
                reported.add((other, word))
                errors.append(f"{name}: {word}: wording copied from {other[0]}: "
                              f"{other[1]} ({run!r})")


def check_books(books):
    """books: list of (name, parsed JSON) in catalogue order. Returns a list of errors."""
    errors = []
    valid = [(name, book) for name, book in books if check_shape(name, book, errors)]
    if len(valid) != len(books):
        return errors
    if len(books) < MIN_BOOKS:
        errors.append(f"{len(books)} books, at least {MIN_BOOKS} wanted")

    headwords = {}  # name -> set of headwords
    for name, book in books:
        check_config(name, book["Config"], errors)
        seen = {}
        for i, record in enumerate(book["Book"]):
            word = record["List"]
            where = f"{name}: {word or f'Book[{i}]'}"
            if not word or word != word.strip():
                errors.append(f"{where}: headword empty or with surrounding spaces")
            check_plain_text(f"{where} (headword)", word, errors)
            if word and not HEADWORD.fullmatch(word):
                errors.append(f"{where}: a headword is a capitalised word (or words) in Cyrillic")
            if ";" in word or "." in word:
                errors.append(f"{where}: a headword cannot hold ';' or '.' (link separators)")
            folded = word.casefold()
            if folded in seen:
                errors.append(f"{where}: duplicate headword (also {seen[folded]!r})")
            seen[folded] = word
            check_article(where, record["Text"], errors)
        with_links = sum(1 for r in book["Book"] if r["Links"] is not None)
        if book["Book"] and not 0 < with_links < len(book["Book"]):
            errors.append(f"{name}: wants both records with Links and records with null Links")
        headwords[name] = {r["List"] for r in book["Book"]}
        if len(headwords[name]) < MIN_HEADWORDS:
            errors.append(f"{name}: {len(headwords[name])} headwords, at least {MIN_HEADWORDS} wanted")

    full = [name for name in headwords if len(headwords[name]) >= FULL_BOOK_HEADWORDS]
    if len(full) < MIN_FULL_BOOKS:
        errors.append(f"{len(full)} books of at least {FULL_BOOK_HEADWORDS} headwords, "
                      f"{MIN_FULL_BOOKS} wanted")
    every = set().union(*headwords.values()) if headwords else set()
    if len(every) < MIN_DISTINCT:
        errors.append(f"{len(every)} distinct headwords in all books, at least {MIN_DISTINCT} wanted")
    for word in COMMON:
        if word not in every:
            errors.append(f"common dream symbol {word!r} is no headword of any book")
    folded_every = {}
    for word in every:
        folded_every.setdefault(word.casefold(), set()).add(word)
    for variants in folded_every.values():
        if len(variants) > 1:
            errors.append(f"headword spelled differently across books: {sorted(variants)}")

    for name, book in books:
        own = headwords[name]
        folded_own = {word.casefold() for word in own}
        for record in book["Book"]:
            where = f"{name}: {record['List']}"
            # The lookup ignores letter case, so "<полночь>" inside a sentence finds "Полночь".
            for target in INLINE_LINK.findall(record["Text"]):
                if target.casefold() not in folded_own:
                    errors.append(f"{where}: inline link <{target}> is no headword of this book")
            links = record["Links"]
            if links is None:
                continue
            check_plain_text(f"{where} (Links)", links, errors)
            items = split_links(links)
            if items is None:
                errors.append(f"{where}: Links {links!r} is not in the form 'a; b; c.'")
                continue
            if len(set(items)) != len(items):
                errors.append(f"{where}: Links repeats an item")
            for item in items:
                if item == record["List"]:
                    errors.append(f"{where}: Links points to its own headword")
                elif item not in own:
                    errors.append(f"{where}: link {item!r} is no headword of this book")

    counts = {}
    for words in headwords.values():
        for word in words:
            counts[word] = counts.get(word, 0) + 1
    shared = sorted(w for w, n in counts.items() if n > 1)
    if len(shared) < MIN_SHARED:
        errors.append(f"{len(shared)} headwords shared between books, at least {MIN_SHARED} wanted")
    for word in EVERYWHERE:
        missing = [name for name in headwords if word not in headwords[name]]
        if missing:
            errors.append(f"{word!r} is missing from {', '.join(missing)}")
    if books:
        first_name, first = books[0]
        water = [r for r in first["Book"] if r["List"] == "Вода"]
        if water and water[0]["Links"] is None:
            errors.append(f"{first_name}: the first book's 'Вода' must have Links")

    check_wording(books, errors)

    configs = [book["Config"] for _, book in books]
    if not any(c["Icon"] is None for c in configs):
        errors.append("no book without an icon (Icon null)")
    if not any(c["Color"] is None for c in configs):
        errors.append("no book with a null Color")
    for key in ("ToolName", "TolkName", "Color", "Icon"):
        values = [c[key] for c in configs if c[key] is not None]
        if len(values) != len(set(values)):
            errors.append(f"two books share the same {key}")
    titles = [(name, book["Config"]["TolkName"]) for name, book in books]
    for name, title in titles:
        for other, other_title in titles:
            if other != name and title and other_title and title in other_title:
                errors.append(f"{name}: title {title!r} occurs in the heading of {other}")
    return errors


def load_books(directory):
    """(name, parsed JSON) for every *.json, in catalogue order (file names, ignoring case)."""
    files = sorted((f for f in os.listdir(directory) if f.endswith(".json")), key=str.casefold)
    books, errors = [], []
    for file_name in files:
        path = os.path.join(directory, file_name)
        try:
            with open(path, encoding="utf-8") as src:
                books.append((file_name[:-5], json.load(src)))
        except (OSError, UnicodeDecodeError, json.JSONDecodeError) as error:
            errors.append(f"{path}: {error}")
    return books, errors


def check_generated(directory):
    """Every JSON file equals what make_books.py produces from data/sources."""
    sys.path.insert(0, HERE)
    import make_books

    errors = []
    names = make_books.source_names()
    jsons = sorted(f[:-5] for f in os.listdir(directory) if f.endswith(".json"))
    if names != jsons:
        errors.append(f"sources {names} and JSON books {jsons} differ; run data/make_books.py")
    for name in set(names) & set(jsons):
        with open(os.path.join(directory, name + ".json"), encoding="utf-8") as src:
            if src.read() != make_books.build(name):
                errors.append(f"{name}.json is out of date with sources/{name}.txt; run data/make_books.py")
    return errors


def check_built(books, built_dir, tool):
    """Every built .book dumps back to its JSON source, value for value."""
    errors = []
    for name, book in books:
        path = os.path.join(built_dir, name + ".book")
        result = subprocess.run([tool, "dump", path], capture_output=True)
        if result.returncode != 0:
            errors.append(f"{path}: dump failed: {result.stderr.decode('utf-8', 'replace').strip()}")
            continue
        try:
            dumped = json.loads(result.stdout.decode("utf-8"))
        except (UnicodeDecodeError, json.JSONDecodeError) as error:
            errors.append(f"{path}: dump is not JSON: {error}")
            continue
        if dumped != book:
            errors.append(f"{path}: dump differs from {name}.json")
    return errors


def main(argv):
    args = argv[1:]
    built_dir = tool = None
    while args and args[0].startswith("--"):
        if args[0] == "--built" and len(args) > 1:
            built_dir, args = args[1], args[2:]
        elif args[0] == "--tool" and len(args) > 1:
            tool, args = args[1], args[2:]
        else:
            print(__doc__, file=sys.stderr)
            return 2
    directory = args[0] if args else os.path.join(HERE, "books")
    books, errors = load_books(directory)
    if not errors:
        errors += check_books(books)
        own = os.path.realpath(os.path.join(HERE, "books"))
        if os.path.isdir(os.path.join(HERE, "sources")) and os.path.realpath(directory) == own:
            errors += check_generated(directory)
        if built_dir and tool and not errors:
            errors += check_built(books, built_dir, tool)
    for error in errors:
        print(error, file=sys.stderr)
    if errors:
        print(f"{len(errors)} problem(s) in the sample books", file=sys.stderr)
        return 1
    print(f"{len(books)} books, {sum(len(b['Book']) for _, b in books)} articles: fine")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
