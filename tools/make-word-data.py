#!/usr/bin/env python3
"""Regenerates the shipped word data in data/ from its named sources.

usage: tools/make-word-data.py [--npm-dir DIR] [--scowl-dir DIR] [--out DIR]

Sources (data/SOURCES.md says more):
  popular-english-words 1.0.2 (npm): about 225,000 words in order of use in English Wikipedia.
  scowl 2020.12.07-2 (Debian 12): the SCOWL word lists by size. Every list takes the two-letter words of
  its most common level (and a few abbreviations that are common in names); list #2 also takes the longer
  words of its common levels and its possessives, written without the apostrophe ("Bobby's" -> "bobbys",
  as names write them).

The npm tarball is fetched with `npm pack` unless --npm-dir already holds it; its integrity is checked
against the digest recorded below, so a changed package cannot slip in. The SCOWL lists are read from
--scowl-dir (Debian's /usr/share/dict/scowl after `apt-get install scowl`).

Writes data/dbwords.txt, data/google.col, data/mit.col, data/suffix.lst, data/unlisted.lst and
data/capitals.lst: ASCII,
lower case, one entry a line, CR LF after every line, no duplicates, no empty lines. The word lists are in
order of use, most used first (a possessive right after its word, SCOWL's other words at the end); the
ranking of splits scores a word by its line there. unlisted.lst holds, in alphabetical order, the words of
the three lists that no SCOWL list holds (names, brands, foreign words, run-together words), which the
ranking trusts less. capitals.lst holds, in alphabetical order and lower case, what SCOWL writes in capitals
alone ("NASA", "TV"): evidence that letters of a name are spelled one by one. The output depends on nothing
but the sources, so a second run changes nothing.
"""
import argparse
import base64
import glob
import hashlib
import io
import os
import re
import subprocess
import sys
import tarfile
import tempfile

NPM_PACKAGE = "popular-english-words"
NPM_VERSION = "1.0.2"
NPM_INTEGRITY = "sha512-vQiCBURYdNZP8yIvNQ76fOP5PKUs3tbv1LbQz5hbOVtK6deE8WBkJSYhn1asOqXIiT/iwrQvrwEfNsVrFuk7mw=="

WORD = re.compile(r"[a-z]+")

# The only one-letter words kept: any other single letter would let every name split into letters.
ONE_LETTER_WORDS = ["a", "i"]

# Two-letter words decide, more than any others, how many wrong splits a name gets, so each one is chosen.
# The two-letter words of SCOWL's most common level are kept, except these two, which are rare as words of
# a name and common as letter pairs inside other words.
TWO_LETTER_WORDS_DROPPED = {"re", "cs"}
# Abbreviations and short words that are common in domain names (dr, co, st for drive, company, street ...).
# Chosen on the train half of the corpus of split names: each one makes more names split correctly than the
# wrong candidates it adds would justify. Every one of them is in SCOWL or in popular-english-words.
TWO_LETTER_NAME_WORDS = [
    "ad", "bi", "ca", "co", "dr", "ed", "ex", "fe", "hi", "im", "jo", "la", "mc", "mi", "mr", "ny", "rx", "st",
    "tx", "ur", "vs", "wi",
]


# Two-letter words that only list #2 takes: it may offer more candidates per name than list #1, and these
# articles and abbreviations (Le Bistro, El Toro, Al's, Mt Hood) are frequent in names. Chosen on the train
# half like the ones above.
TWO_LETTER_LIST2_WORDS = ["al", "el", "le", "mt"]

# The most common SCOWL levels (10 to 50): beside the frequency list they add mostly inflected forms
# (plurals, past tenses) that the frequency list lacks.
SCOWL_COMMON_LEVEL = 50


class WordList:
    """How one shipped list is chosen: `size` words in all, of which up to `frequency_size` come from the
    frequency list (the rest, when it is smaller, from SCOWL); three-letter words only while their rank of
    use is below `three_letter_rank_limit` (the rest of them add many more wrong splits than right ones).
    With `scowl_extras`, the list also takes SCOWL's common longer words, more two-letter words, and then
    SCOWL's possessives without the apostrophe, those of the most used words first, until it is full."""

    def __init__(self, file_name, size, three_letter_rank_limit, frequency_size=None, scowl_extras=False):
        self.file_name = file_name
        self.size = size
        self.three_letter_rank_limit = three_letter_rank_limit
        self.frequency_size = frequency_size or size
        self.scowl_extras = scowl_extras


# Sizes and limits chosen on the train half of the corpus of split names (tools/measure-quality.sh).
# List #1 holds a little more than 100,000 words: with exactly that size, too few names find their right
# split. List #2 needs 250,000: the frequency list alone, even whole (225,000 words), finds the right split
# of too few names; its last 5,000 words are worth less than SCOWL's common words and possessives.
WORD_LISTS = [
    WordList("dbwords.txt", 115000, 100000),  # word list #1, the source of dbWords.mdb
    WordList("google.col", 250000, None, 220000, scowl_extras=True),  # word list #2
    WordList("mit.col", 10000, 10000),  # word list #3: the most common words
]

# Suffixes removed from names. Each entry also cuts "." + entry wherever it occurs, in any letter case, so
# "com" turns blog.comics into blogics. Multi-label endings cut only themselves and come first, before the
# single labels they contain. Single labels: the generic endings and the most registered country endings;
# co, me, in, be, no, at, ch and se are left out because too many common words begin with them.
SUFFIXES = [
    "co.uk", "org.uk", "ac.uk", "gov.uk", "me.uk",
    "com.au", "net.au", "org.au", "edu.au", "gov.au",
    "co.nz", "co.za", "co.jp", "co.in", "co.kr", "com.br", "com.cn", "com.mx", "com.sg", "com.hk", "com.tw",
    "com", "net", "org", "info", "biz", "edu", "gov",
    "uk", "de", "nl", "ru", "fr", "au", "ca", "it", "es", "eu", "jp", "cn", "us", "io", "tv",
]


def npm_tarball(npm_dir):
    name = f"{NPM_PACKAGE}-{NPM_VERSION}.tgz"
    path = os.path.join(npm_dir, name)
    if not os.path.exists(path):
        subprocess.run(["npm", "pack", "--silent", f"{NPM_PACKAGE}@{NPM_VERSION}"], cwd=npm_dir, check=True,
                       stdout=subprocess.DEVNULL)
    with open(path, "rb") as f:
        data = f.read()
    digest = "sha512-" + base64.b64encode(hashlib.sha512(data).digest()).decode()
    if digest != NPM_INTEGRITY:
        sys.exit(f"{name}: integrity {digest} differs from the recorded {NPM_INTEGRITY}")
    return data


def popular_words(npm_dir):
    """The npm package's words in its order of use, most used first."""
    with tarfile.open(fileobj=io.BytesIO(npm_tarball(npm_dir))) as tar:
        source = tar.extractfile("package/words.js").read().decode("utf-8")
    body = source[source.index("[") + 1:source.rindex("]")]
    return [item.strip().strip("'\"") for item in body.split(",") if item.strip()]


def scowl_words(scowl_dir, pattern, most_level=None):
    """Lower-cased words of the SCOWL lists whose names match the pattern (e.g. "english-words.10"), and
    with most_level only those of the lists whose level (the number after the dot) is at most that."""
    paths = sorted(glob.glob(os.path.join(scowl_dir, pattern)))
    if most_level is not None:
        paths = [p for p in paths if int(p.rsplit(".", 1)[1]) <= most_level]
    if not paths:
        sys.exit(f"no SCOWL list {pattern} in {scowl_dir} (apt-get install scowl)")
    words = set()
    for path in paths:
        with open(path, encoding="utf-8") as f:
            words.update(line.strip().lower() for line in f)
    return words


def acceptable(word):
    """ASCII letters only (no blanks, apostrophes, digits or accents), and no stray single letters."""
    return WORD.fullmatch(word) is not None and (len(word) > 1 or word in ONE_LETTER_WORDS)


def ranked(popular):
    """The popular words, lower-cased and filtered, in order of use; a repeated word keeps its first rank."""
    seen = set()
    out = []
    for word in (p.lower() for p in popular):
        if acceptable(word) and word not in seen:
            seen.add(word)
            out.append(word)
    return out


def two_letter_words(scowl_dir, popular):
    common = {w for w in scowl_words(scowl_dir, "english-words.10") if len(w) == 2 and acceptable(w)}
    known = scowl_words(scowl_dir, "english-*.[1-5]0") | set(popular)
    unknown = [w for w in TWO_LETTER_NAME_WORDS + TWO_LETTER_LIST2_WORDS if w not in known]
    if unknown:
        sys.exit(f"two-letter words in neither source: {unknown}")
    return (common - TWO_LETTER_WORDS_DROPPED) | set(TWO_LETTER_NAME_WORDS)


class ScowlExtras:
    """What list #2 takes from SCOWL beside the frequency list: the longer words of the common levels of
    every spelling list (not the special lists of hacker slang and roman numerals), and the possessives of
    every level written as names write them, "Bobby's" as "bobbys", in the order of use of "bobby"."""

    def __init__(self, scowl_dir, popular):
        common = scowl_words(scowl_dir, "*", SCOWL_COMMON_LEVEL) - scowl_words(scowl_dir, "special-*")
        self.common = sorted(w for w in common if len(w) > 3 and acceptable(w))
        rank = {w: r for r, w in enumerate(popular)}
        # A possessive counts only when its word is in the frequency list, which gives it its place; words
        # of one or two letters are left out (their possessives are three-letter letter groups, "ab's").
        possessives = {}
        for entry in scowl_words(scowl_dir, "*"):
            word = entry[:-2]
            if entry.endswith("'s") and len(word) > 2 and word in rank and acceptable(word + "s"):
                possessives[word + "s"] = rank[word]
        self.possessives = sorted(possessives, key=lambda w: (possessives[w], w))
        self.possessive_rank = possessives


def select(word_list, popular, two_letter, extras):
    """The list's words: a and i, the chosen two-letter words (no others), the three-letter words within
    the rank limit, the longer words in order of use up to the list's share of the frequency list, and for
    list #2 SCOWL's extras until the list is full; written in order of use (a possessive right after its
    word, SCOWL's other words last)."""
    rank = {w: r for r, w in enumerate(popular)}
    limit = word_list.three_letter_rank_limit
    chosen = set(ONE_LETTER_WORDS) | two_letter
    if word_list.scowl_extras:
        chosen |= set(TWO_LETTER_LIST2_WORDS)
    chosen |= {w for w in popular if len(w) == 3 and (limit is None or rank[w] < limit)}
    for word in popular:
        if len(chosen) >= word_list.frequency_size:
            break
        if len(word) > 3:
            chosen.add(word)
    place = {}
    if word_list.scowl_extras:
        chosen.update(extras.common)
        for word in extras.possessives:
            if len(chosen) >= word_list.size:
                break
            if word not in chosen:
                chosen.add(word)
                place[word] = (extras.possessive_rank[word], 1)
    if len(chosen) > word_list.size:
        sys.exit(f"{word_list.file_name}: {len(chosen)} words, more than its {word_list.size}")
    # Words the frequency list lacks (a few two-letter abbreviations, SCOWL's words) come last.
    return sorted(chosen, key=lambda w: (*place.get(w, (rank.get(w, len(rank)), 0)), w))


def unlisted_words(scowl_dir, lists):
    """The words of the shipped lists that are in no SCOWL list of any level, variant or kind, in
    alphabetical order. A possessive counts as SCOWL's when SCOWL holds it with its apostrophe ("bobbys")."""
    known = set()
    for entry in scowl_words(scowl_dir, "*"):
        known.add(entry)
        if entry.endswith("'s"):
            known.add(entry[:-2] + "s")
    return sorted({w for words in lists for w in words} - known)


def capital_forms(scowl_dir):
    """The entries of two letters or more that SCOWL writes in capitals alone ("NASA"), in any list but the
    special ones (hacker slang, roman numerals), lower-cased and in alphabetical order."""
    special = set(glob.glob(os.path.join(scowl_dir, "special-*")))
    paths = sorted(set(glob.glob(os.path.join(scowl_dir, "*"))) - special)
    if not paths:
        sys.exit(f"no SCOWL list in {scowl_dir} (apt-get install scowl)")
    forms = set()
    for path in paths:
        with open(path, encoding="utf-8") as f:
            forms.update(line.strip().lower() for line in f if re.fullmatch(r"[A-Z]{2,}", line.strip()))
    return sorted(forms)


def write_lines(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("ascii"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--npm-dir", help="folder holding (or to receive) the npm tarball; a temporary one if absent")
    parser.add_argument("--scowl-dir", default="/usr/share/dict/scowl", help="folder of the SCOWL word lists")
    parser.add_argument("--out", default=os.path.join(here, "..", "data"), help="folder to write the data files to")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        popular = ranked(popular_words(args.npm_dir or tmp))
    two_letter = two_letter_words(args.scowl_dir, popular)
    extras = ScowlExtras(args.scowl_dir, popular)

    lists = []
    for word_list in WORD_LISTS:
        words = select(word_list, popular, two_letter, extras)
        write_lines(os.path.join(args.out, word_list.file_name), words)
        print(f"{word_list.file_name}: {len(words)} words")
        lists.append(words)
    unlisted = unlisted_words(args.scowl_dir, lists)
    write_lines(os.path.join(args.out, "unlisted.lst"), unlisted)
    print(f"unlisted.lst: {len(unlisted)} words")
    capitals = capital_forms(args.scowl_dir)
    write_lines(os.path.join(args.out, "capitals.lst"), capitals)
    print(f"capitals.lst: {len(capitals)} forms")
    write_lines(os.path.join(args.out, "suffix.lst"), SUFFIXES)
    print(f"suffix.lst: {len(SUFFIXES)} entries")


if __name__ == "__main__":
    main()
