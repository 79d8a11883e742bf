#!/usr/bin/env python3
"""The sample-book checker rejects each kind of fault it is there for.

Every case takes the real sample books, spoils one thing and expects the checker to
name it; the untouched books must pass. This keeps the checker honest: a rule that
silently stopped firing would otherwise let a broken book into the build.
"""

import base64
import copy
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean when run from CTest
import unittest

SOURCE = os.environ.get("KELMOR_SOURCE_DIR",
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "data"))
import check_books  # noqa: E402

BOOKS, LOAD_ERRORS = check_books.load_books(os.path.join(SOURCE, "data", "books"))


def record(books, index, word):
    return next(r for r in books[index][1]["Book"] if r["List"] == word)


def set_text(word, text):
    def spoil(books):
        record(books, 0, word)["Text"] = text
    return spoil


def set_links(word, links):
    def spoil(books):
        record(books, 0, word)["Links"] = links
    return spoil


def set_config(index, key, value):
    def spoil(books):
        books[index][1]["Config"][key] = value
    return spoil


def duplicate_in_other_case(books):
    first = books[0][1]["Book"]
    first.append(dict(first[0], List=first[0]["List"].upper()))


def drop_records_below_minimum(books):
    del books[1][1]["Book"][check_books.MIN_HEADWORDS - 1:]


def shrink_a_full_book(books):
    full = [b for _, b in books if len(b["Book"]) >= check_books.FULL_BOOK_HEADWORDS]
    del full[0]["Book"][check_books.FULL_BOOK_HEADWORDS - 1:]


def keep_too_few_distinct(books):
    every = sorted({r["List"] for _, book in books for r in book["Book"]})
    keep = set(every[:check_books.MIN_DISTINCT - 1])
    for _, book in books:
        book["Book"] = [r for r in book["Book"] if r["List"] in keep]


def drop_everywhere(word):
    def spoil(books):
        for _, book in books:
            book["Book"] = [r for r in book["Book"] if r["List"] != word]
    return spoil


def set_headword(word, new):
    def spoil(books):
        record(books, 0, word)["List"] = new
    return spoil


def only_elsewhere(books):
    """A headword of some other book that the first book lacks."""
    own = {r["List"] for r in books[0][1]["Book"]}
    return next(r["List"] for _, b in books[1:] for r in b["Book"] if r["List"] not in own)


def link_to_other_book(books):
    record(books, 0, "Вода")["Links"] = f"Река; {only_elsewhere(books)}."


def inline_link_to_other_book(books):
    record(books, 0, "Вода")["Text"] = f"Вода – к переменам. Смотри <{only_elsewhere(books)}>."


def copy_from_other_book(books):
    record(books, 0, "Вода")["Text"] = record(books, 1, "Вода")["Text"]


def copy_one_run_of_words(books):
    # six words of another book's sentence, inside a sentence of our own
    words = check_books.WORD.findall(record(books, 1, "Вода")["Text"].split(".")[0].lower())[:6]
    record(books, 0, "Вода")["Text"] = "Лунная примета: " + " ".join(words) + ". Так и будет."


def repeat_sentence_within_book(books):
    text = record(books, 0, "Волк")["Text"]
    record(books, 0, "Вода")["Text"] = text.replace("Волк", "Вода", 1) + " " + text.split("\r\n")[0]


def drop_water_from_last(books):
    books[-1][1]["Book"] = [r for r in books[-1][1]["Book"] if r["List"] != "Вода"]


def give_every_book_an_icon(books):
    png = base64.b64decode(next(b["Config"]["Icon"] for _, b in books if b["Config"]["Icon"]))
    for _, book in books:
        if book["Config"]["Icon"] is None:
            book["Config"]["Icon"] = base64.b64encode(png + b"\0").decode("ascii")


def give_every_book_a_colour(books):
    for i, (_, book) in enumerate(books):
        if book["Config"]["Color"] is None:
            book["Config"]["Color"] = str(1000 + i)


def title_inside_other_title(books):
    books[1][1]["Config"]["TolkName"] = books[0][1]["Config"]["TolkName"] + " и не только"


def links_everywhere(books):
    for r in books[1][1]["Book"]:
        r["Links"] = r["Links"] or "Вода."
    record(books, 1, "Вода")["Links"] = "Луна."


def extra_record_key(books):
    books[0][1]["Book"][0]["Note"] = "лишнее"


def spelling_differs_between_books(books):
    record(books, 1, "Вода")["List"] = "ВОДА"


# (what is spoiled, how, a fragment of the expected error)
CASES = [
    ("Latin F in an article", set_text("Вода", "Сон о воде. F"), "Latin letters"),
    ("Latin letter in a title", set_config(0, "ToolName", "Сонник Kelmor"), "Latin letters"),
    ("ampersand in a title", set_config(1, "TolkName", "Сны & явь"), "formatting markers"),
    ("section sign in an article", set_text("Вода", "Вода §5."), "formatting markers"),
    ("caret in an article", set_text("Вода", "Вода ^ вода."), "formatting markers"),
    ("lone angle bracket", set_text("Вода", "Меньше < больше."), "formatting markers"),
    ("inline link to no headword", set_text("Вода", "Вода – к дороге. Смотри <Нетакогослова>."),
     "inline link"),
    ("character outside Windows-1251", set_text("Вода", "Вода ✓ к добру."), "Windows-1251"),
    ("link to no headword", set_links("Вода", "Река; Нетакогослова."), "no headword of this book"),
    ("link to another book's headword", link_to_other_book, "no headword of this book"),
    ("inline link to another book's headword", inline_link_to_other_book,
     "no headword of this book"),
    ("links without the final period", set_links("Вода", "Река; Дождь"), "not in the form"),
    ("empty link item", set_links("Вода", "Река;; Дождь."), "not in the form"),
    ("link to itself", set_links("Вода", "Вода; Река."), "its own headword"),
    ("repeated link", set_links("Вода", "Река; Река."), "repeats an item"),
    ("first book's Вода without links", set_links("Вода", None), "must have Links"),
    ("two dashes on one line", set_text("Вода", "Вода – к слезам, река – к дороге."), "en dash"),
    ("dash after the first sentence", set_text("Вода", "Сон о воде. Вода – к слезам."), "en dash"),
    ("dash without spaces", set_text("Вода", "Вода–к слезам."), "en dash"),
    ("bare line feed", set_text("Вода", "Одна строка.\nДругая строка."), "CR LF"),
    ("six sentences", set_text("Вода", "Раз. Два. Три. Четыре. Пять. Шесть."), "sentences"),
    ("empty article", set_text("Вода", " "), "empty article"),
    ("one sentence", set_text("Вода", "Вода – к слезам."), "at least 2"),
    ("article copied from another book", copy_from_other_book, "wording copied"),
    ("six words copied from another book", copy_one_run_of_words, "wording copied"),
    ("sentence repeated in one book", repeat_sentence_within_book, "sentence repeated"),
    ("headword in lower case", set_headword("Алтарь", "алтарь"), "capitalised word"),
    ("headword with a digit", set_headword("Алтарь", "Алтарь2"), "capitalised word"),
    ("headword with a double space", set_headword("Алтарь", "Старый  алтарь"), "capitalised word"),
    ("headword with a trailing hyphen", set_headword("Алтарь", "Алтарь-"), "capitalised word"),
    ("duplicate headword in other case", duplicate_in_other_case, "duplicate headword"),
    ("headword spelled differently", spelling_differs_between_books, "spelled differently"),
    ("too few headwords", drop_records_below_minimum,
     f"at least {check_books.MIN_HEADWORDS} wanted"),
    ("a main book too small", shrink_a_full_book, f"at least {check_books.FULL_BOOK_HEADWORDS}"),
    ("too few distinct headwords", keep_too_few_distinct, "distinct headwords"),
    ("common symbol missing", drop_everywhere("Смерть"), "common dream symbol 'Смерть'"),
    ("common word missing", drop_water_from_last, "'Вода' is missing"),
    ("icon that is no PNG", set_config(2, "Icon", base64.b64encode(b"GIF89a").decode()), "not a PNG"),
    ("icon that is no base64", set_config(2, "Icon", "***"), "not valid base64"),
    ("colour that is no number", set_config(0, "Color", "красный"), "not a decimal"),
    ("colour above 0xFFFFFF", set_config(0, "Color", str(0x1000000)), "not a decimal"),
    ("null name", set_config(0, "ToolName", None), "ToolName is empty"),
    ("every book has an icon", give_every_book_an_icon, "no book without an icon"),
    ("every book has a colour", give_every_book_a_colour, "no book with a null Color"),
    ("title inside another heading", title_inside_other_title, "occurs in the heading"),
    ("record with an extra key", extra_record_key, "must have exactly"),
    ("no record without links", links_everywhere, "null Links"),
]


class CheckBooksTest(unittest.TestCase):
    def test_sample_books_pass(self):
        self.assertEqual(LOAD_ERRORS, [])
        self.assertGreaterEqual(len(BOOKS), 3)
        self.assertEqual(check_books.check_books(BOOKS), [])

    def test_each_fault_is_reported(self):
        for name, spoil, expected in CASES:
            with self.subTest(name):
                books = copy.deepcopy(BOOKS)
                spoil(books)
                errors = check_books.check_books(books)
                self.assertTrue(any(expected in e for e in errors),
                                f"expected {expected!r} among {errors}")

    def test_links_are_split_like_the_viewer_reads_them(self):
        cases = [
            ("ночь; луна; звёзды.", ["ночь", "луна", "звёзды"]),
            ("  Вода .  ", ["Вода"]),
            ("a; b", None),        # the viewer would drop the unterminated last item
            ("a;;b.", None),       # the viewer would drop the empty item
            ("a; b;.", None),
            ("a. b.", None),       # a period inside an item
        ]
        for links, items in cases:
            with self.subTest(links):
                self.assertEqual(check_books.split_links(links), items)


if __name__ == "__main__":
    unittest.main(verbosity=1)
