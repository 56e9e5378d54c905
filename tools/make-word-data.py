#!/usr/bin/env python3
"""Regenerates the shipped word data in data/ from its named sources.

usage: tools/make-word-data.py [--npm-dir DIR] [--dict-dir DIR] [--out DIR]

Sources (data/SOURCES.md says more):
  popular-english-words 1.0.2 (npm): about 225,000 words in order of use in English Wikipedia.
  wamerican, wamerican-large, wamerican-huge (Debian 12, 2020.12.07-2): SCOWL word lists 50, 70 and 80.

The npm tarball is fetched with `npm pack` unless --npm-dir already holds it; its integrity is checked
against the digest recorded below, so a changed package cannot slip in. The Debian lists are read from
--dict-dir (Debian's /usr/share/dict after `apt-get install wamerican wamerican-large wamerican-huge`).

Writes data/dbwords.txt, data/google.col, data/mit.col and data/suffix.lst: ASCII, lower case,
one entry a line, CR LF after every line, no duplicates, no empty lines.
"""
import argparse
import base64
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

DEBIAN_LISTS = {
    "wamerican": "american-english",
    "wamerican-large": "american-english-large",
    "wamerican-huge": "american-english-huge",
}

WORD = re.compile(r"[a-z]+")

# Words kept although they are one letter long: the only one-letter words of English.
ONE_LETTER_WORDS = {"a", "i"}


def npm_tarball(npm_dir):
    name = f"{NPM_PACKAGE}-{NPM_VERSION}.tgz"
    path = os.path.join(npm_dir, name)
    if not os.path.exists(path):
        subprocess.run(["npm", "pack", "--silent", f"{NPM_PACKAGE}@{NPM_VERSION}"], cwd=npm_dir, check=True,
                       stdout=subprocess.DEVNULL)
    data = open(path, "rb").read()
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


def debian_words(dict_dir, package):
    path = os.path.join(dict_dir, DEBIAN_LISTS[package])
    with open(path, encoding="utf-8") as f:
        return [line.rstrip("\n") for line in f]


def acceptable(word):
    """ASCII letters only (no blanks, apostrophes, digits or accents), and no stray single letters."""
    return WORD.fullmatch(word) is not None and (len(word) > 1 or word in ONE_LETTER_WORDS)


def unique(words):
    seen = set()
    out = []
    for w in words:
        if w not in seen:
            seen.add(w)
            out.append(w)
    return out


def ranked(popular):
    """The popular words, lower-cased and filtered, with the rank of their first occurrence."""
    return unique(w for w in (p.lower() for p in popular) if acceptable(w))


def select(candidates, count, max_rank_by_length, allowed_short):
    """The first `count` words of the ranked list that pass the length-dependent rank limit.

    Two- and three-letter words make most of the wrong splits, so they are kept only while frequent
    (below the rank limit of their length) or when they are listed in `allowed_short`."""
    out = []
    for rank, w in enumerate(candidates):
        limit = max_rank_by_length.get(len(w))
        if limit is not None and rank >= limit and w not in allowed_short:
            continue
        out.append(w)
        if len(out) == count:
            break
    return out


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


def write_lines(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("ascii"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--npm-dir", help="folder holding (or to receive) the npm tarball; a temporary one if absent")
    parser.add_argument("--dict-dir", default="/usr/share/dict", help="folder of the Debian word lists")
    parser.add_argument("--out", default=os.path.join(here, "..", "data"), help="folder to write the data files to")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        popular = popular_words(args.npm_dir or tmp)
    candidates = ranked(popular)

    short_limits = {2: 400, 3: 20000}
    common_two = set()
    lists = {
        "dbwords.txt": select(candidates, 100000, short_limits, common_two),
        "google.col": select(candidates, 200000, short_limits, common_two),
        "mit.col": select(candidates, 10000, short_limits, common_two),
    }
    for name, words in lists.items():
        write_lines(os.path.join(args.out, name), words)
        print(f"{name}: {len(words)} words")
    write_lines(os.path.join(args.out, "suffix.lst"), SUFFIXES)
    print(f"suffix.lst: {len(SUFFIXES)} entries")


if __name__ == "__main__":
    main()
