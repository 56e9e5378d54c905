#!/usr/bin/env python3
"""Writes data/namecounts.txt: how often each word, and each run of spelled letters, is a word of a real domain
name, counted in the gold splits of the train half of the Common Crawl Domain Names corpus (MIT licence).

usage: tools/make-name-counts.py [--corpus FILE] [--out FILE] [--folds K --leave-out F]

--corpus: the corpus's train half, one name a line, its words separated by blanks (default
    tools/corpus/ccdn-train.txt, the copy kept in the source tree with its licence). Its digest is checked against the one recorded
    below, so the counts always come from the same names.
--out: where to write (default data/namecounts.txt in the source tree).
--folds K --leave-out F: for tuning, the counts of the names outside fold F of K (a name's fold is its place
    among the corpus's distinct names modulo K), so that no name is scored with counts taken from itself.

Each distinct name (its words joined and lower-cased, the first line of it counting) adds one to each of its
words: a word of two letters or more in lower case ("shows 12"), and each run of one-letter words, joined,
in upper case ("TV 9", "A 3"). Only words of letters a-z count. Lines: "WORD COUNT", most counted first, then in
alphabetical order; ASCII, CR LF after every line. The output depends on the corpus alone.
"""
import argparse
import hashlib
import os
import re
import sys

CORPUS_SHA256 = "ea1dde77928dba2fa9f13ea89ce04605eb4d93c3f7b28f4aabfba9e4adbe190a"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORD = re.compile(r"[a-z]+")


def distinct_names(path):
    """The gold splits of the corpus, lower-cased, each distinct name once, in order of first appearance."""
    names, seen = [], set()
    for line in open(path, encoding="utf-8"):
        words = [w.lower() for w in line.split()]
        key = "".join(words)
        if words and key not in seen:
            seen.add(key)
            names.append(words)
    return names


def pieces(words):
    """The words of a split as counted: words of two letters or more, and runs of one-letter words joined and
    upper-cased."""
    out, run = [], ""
    for w in words + [""]:
        if len(w) == 1:
            run += w
            continue
        if run:
            out.append(run.upper())
            run = ""
        if w:
            out.append(w)
    return [p for p in out if WORD.fullmatch(p.lower())]


def counts(names):
    found = {}
    for words in names:
        for piece in pieces(words):
            found[piece] = found.get(piece, 0) + 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpus", default=os.path.join(ROOT, "tools", "corpus", "ccdn-train.txt"))
    parser.add_argument("--out", default=os.path.join(ROOT, "data", "namecounts.txt"))
    parser.add_argument("--folds", type=int, default=0)
    parser.add_argument("--leave-out", type=int, default=-1)
    args = parser.parse_args()
    try:
        raw = open(args.corpus, "rb").read()
    except OSError as error:
        sys.exit(f"cannot read the corpus ({error}); give its train half with --corpus")
    digest = hashlib.sha256(raw).hexdigest()
    if digest != CORPUS_SHA256:
        sys.exit(f"{args.corpus}: SHA-256 {digest}, expected {CORPUS_SHA256} (the train half of the corpus)")
    names = distinct_names(args.corpus)
    if args.folds:
        if not 0 <= args.leave_out < args.folds:
            parser.error("--leave-out must be a fold from 0 to K - 1")
        names = [words for i, words in enumerate(names) if i % args.folds != args.leave_out]
    found = counts(names)
    lines = [f"{piece} {count}\r\n" for piece, count in sorted(found.items(), key=lambda item: (-item[1], item[0]))]
    with open(args.out, "w", encoding="ascii", newline="") as out:
        out.writelines(lines)


if __name__ == "__main__":
    main()
