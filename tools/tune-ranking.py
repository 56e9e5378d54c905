#!/usr/bin/env python3
"""Measures, and tunes, the scores that rank splits (src/engine/WordScores.h) on a corpus of names with
known word boundaries.

usage: tools/tune-ranking.py CORPUS LIST [LIST...] [--unlisted FILE] [--own] [--set NAME=VALUE...] [--tune]
                             [--beyond] [--merge-letters] [--cased] [--case-hints]

CORPUS: one name a line, its words separated by blanks (ccdn-train.txt, ccdn-eval.txt).
LIST: a word list as shipped (google.col, dbwords.txt, mit.col): one word a line, in order of use.
--unlisted: the words no spelling list knows (data/unlisted.lst); without it no word is flagged.
--own: score the lists as lists of the user's own (place alone), as `quorvane-split --words` does.
--set: change a weight (names as below, in nats), e.g. --set unlisted=-2.5.
--tune: search the weights one at a time, keeping a change while the sum of top-1 over the lists rises.
        Tune on the train half only; then measure the eval half with the weights found.
--beyond: the best splits may use pieces beyond the list, as `quorvane-split --best N` does: a letter
        spelled on its own, and an unknown stretch (ExtraPieces.h). --tune then tunes their costs alone
        (with --case-hints, the case cuts' alone), the word weights staying as they are.
--merge-letters: runs of one-letter pieces are joined on both sides before comparing ("t v" = "tv").
--cased: the names keep their letter case; --case-hints then scores lower-to-upper changes, and two
        capitals in a row, as likely cuts.

The costs of ExtraPieces.h came from:
  tools/tune-ranking.py ccdn-train.txt data/dbwords.txt data/google.col --unlisted data/unlisted.lst \
      --beyond --tune
  tools/tune-ranking.py ccdn-train.txt data/dbwords.txt data/google.col --unlisted data/unlisted.lst \
      --beyond --cased --case-hints --tune

Prints, per list, top-1, top-3 and top-5 (share of names whose right split is the first row, among the
first three, the first five) and the ceiling (share whose right split is among all rows). The scores are
those of WordScores, in the same fixed point: a split's score is the sum of its pieces'; equal scores keep
the search order (shorter first piece first). The best five splits of each name are found by a k-best
pass over the lattice of pieces, so no name's splits are all listed (with --tune, the best one alone). Numbers here are runs of digits only
(the corpus has none; their weight was chosen by judgement, not measured).
"""
import argparse
import math

UNITS_PER_NAT = 64
WEIGHTS = {
    "piece": 1.0,  # per piece
    "one_letter": -1.85,
    "two_letters": -1.6,
    "unlisted": -3.0,
    "compound": 0.25,
    "unlisted_compound": -3.0,  # beside "unlisted"
    "number": -4.5,  # beside "piece"; a number that is no word
    # Pieces beyond the list (--beyond), each score in full: no piece bonus beside it.
    "letter": -5.0,  # a letter spelled on its own
    "unknown": -12.0,  # an unknown stretch: this, plus unknown_per_unit per character
    "unknown_per_unit": -2.0,
    "case_cut": -7.25,  # --case-hints: per lower-to-upper change inside a piece
    "upper_cut": -3.25,  # --case-hints: per pair of upper-case letters inside a piece
}
BEYOND_WEIGHTS = ("letter", "unknown", "unknown_per_unit")
UNKNOWN_SHORTEST = 3
UNKNOWN_LONGEST = 24
COMPOUND_PART_LENGTH = 3
COMPOUND_PART_PLACES = 100000
TOP = 5


def read_list(path):
    raw = open(path, "rb").read()
    text = raw.decode("utf-8-sig", "replace").replace("\r\n", "\n")
    words, seen = [], set()
    for line in text.split("\n"):
        word = line.lower()
        if word and word not in seen:
            seen.add(word)
            words.append(word)
    return words


def units(nats):
    return int(nats * UNITS_PER_NAT + (-0.5 if nats < 0 else 0.5))


class Lexicon:
    """What is known of each word of a list: place, length, flags."""

    def __init__(self, words, unlisted, own):
        self.place = {w: i for i, w in enumerate(words)}
        self.count = len(words)
        self.own = own
        self.unlisted = {w for w in words if w in unlisted} if not own else set()
        common = lambda part: self.place.get(part, COMPOUND_PART_PLACES) < COMPOUND_PART_PLACES
        self.compound = set()
        if not own:
            for w in words:
                for k in range(COMPOUND_PART_LENGTH, len(w) - COMPOUND_PART_LENGTH + 1):
                    if common(w[:k]) and common(w[k:]):
                        self.compound.add(w)
                        break
        self.longest = max((len(w) for w in words), default=0)

    def scores(self, weights, needed):
        harmonic = math.log(max(self.count, 1)) + 0.5772
        out = {}
        for w in needed:
            nats = -math.log((self.place[w] + 1) * harmonic) + weights["piece"]
            if not self.own:
                nats += {1: weights["one_letter"], 2: weights["two_letters"]}.get(len(w), 0.0)
                if w in self.unlisted:
                    nats += weights["unlisted"]
                if w in self.compound:
                    nats += weights["compound"] + (weights["unlisted_compound"] if w in self.unlisted else 0.0)
            out[w] = units(nats)
        return out


def lattice(text, lexicon):
    """Per place, the pieces starting there: (end, word or None for a run of digits)."""
    edges = []
    for i in range(len(text)):
        here = []
        for j in range(i + 1, min(len(text), i + max(lexicon.longest, 1)) + 1):
            if text[i:j] in lexicon.place:
                here.append((j, text[i:j]))
        for j in range(i + 1, len(text) + 1):
            if not text[i:j].isdigit():
                break
            if text[i:j] not in lexicon.place:
                here.append((j, None))
        here.sort(key=lambda e: e[0])
        edges.append(here)
    return edges


def extra_edges(text, edges):
    """The edges with the pieces beyond the list added, as ExtraPieces adds them: (end, word) for a piece of
    the list (word None for a number), (end, length) for a piece beyond it: a letter spelled on its own or a
    character nothing else takes (length 1), an unknown stretch (UNKNOWN_SHORTEST characters or more)."""
    out = []
    for i, here in enumerate(edges):
        listed = dict(here)
        ends = set(listed)
        if text[i].isalpha() or i + 1 not in listed:
            ends.add(i + 1)
        ends.update(range(i + UNKNOWN_SHORTEST, min(len(text), i + UNKNOWN_LONGEST) + 1))
        out.append([(j, listed[j] if j in listed else j - i) for j in sorted(ends)])
    return out


def case_cuts(text):
    """The places where a lower-case letter is followed by an upper-case one, when the text has both cases, as
    (place, "case_cut"); and those between two upper-case letters, as (place, "upper_cut")."""
    if not any(text[p - 1].islower() and text[p].isupper() for p in range(1, len(text))):
        return []
    cuts = []
    for p in range(1, len(text)):
        if text[p - 1].islower() and text[p].isupper():
            cuts.append((p, "case_cut"))
        elif text[p - 1].isupper() and text[p].isupper():
            cuts.append((p, "upper_cut"))
    return cuts


def piece_scores(text, edges, scores, weights, beyond, cuts):
    """Per place, (end, score) of each piece, as the ranked search scores them: a piece that is both of the
    list and beyond it takes the better score."""
    number = units(weights["piece"] + weights["number"])
    letter = units(weights["letter"])
    cut = {kind: units(weights[kind]) for kind in ("case_cut", "upper_cut")}
    out = []
    for i, here in enumerate(edges):
        row = []
        for j, word in here:
            best = None
            if not isinstance(word, int):
                best = number if word is None else scores[word]
            if beyond:
                if j - i == 1 and text[i].isalpha():
                    best = letter if best is None else max(best, letter)
                elif j - i == 1 or j - i >= UNKNOWN_SHORTEST:
                    unknown = units(weights["unknown"] + weights["unknown_per_unit"] * (j - i))
                    best = unknown if best is None else max(best, unknown)
            if cuts:
                best += sum(cut[kind] for p, kind in cuts if i < p < j)
            row.append((j, best))
        out.append(row)
    return out


def best_splits(scored, top=TOP):
    """The `top` best splits as tuples of piece ends, best first; equal scores in search order."""
    n = len(scored)
    best = [None] * (n + 1)
    best[n] = [(0, ())]
    for i in range(n - 1, -1, -1):
        found = []
        for j, s in scored[i]:
            if best[j]:
                found.extend((s + t, (j,) + rest) for t, rest in best[j])
        found.sort(key=lambda c: (-c[0], c[1]))
        best[i] = found[:top]
    return [ends for _, ends in best[0]]


def count_splits(edges):
    n = len(edges)
    ways = [0] * (n + 1)
    ways[n] = 1
    for i in range(n - 1, -1, -1):
        ways[i] = sum(ways[j] for j, _ in edges[i])
    return ways[0]


def merge_letters(words):
    """Joins each run of one-letter words into one word: ["t", "v", "shows"] -> ["tv", "shows"]."""
    merged = []
    for i, w in enumerate(words):
        if len(w) == 1 and i > 0 and len(words[i - 1]) == 1:
            merged[-1] += w
        else:
            merged.append(w)
    return merged


class Measure:
    """The names of a corpus and their lattices. Only the names whose right split is among several need
    scoring: the others are counted once."""

    def __init__(self, corpus, lexicon, options):
        self.lexicon = lexicon
        self.beyond = options.beyond
        self.merge = merge_letters if options.merge_letters else (lambda words: words)
        self.case_hints = options.case_hints
        self.names = []
        self.count = 0
        self.only_split = 0  # names whose right split is their only one
        self.reachable = 0
        gold, given = {}, {}
        for line in open(corpus, encoding="utf-8"):
            words = line.split()
            if words:
                key = "".join(words).lower()
                gold.setdefault(key, [w.lower() for w in words])
                given.setdefault(key, "".join(words) if options.cased else key)
        for text, words in gold.items():
            self.count += 1
            known = all(w in lexicon.place or w.isdigit() for w in words)
            if not known and not self.beyond:
                continue
            self.reachable += 1
            edges = lattice(text, lexicon)
            if self.beyond:
                edges = extra_edges(text, edges)
            elif count_splits(edges) == 1:
                self.only_split += 1
                continue
            cuts = case_cuts(given[text]) if self.case_hints else []
            self.names.append((text, edges, self.merge(words), cuts))
        self.needed = {w for _, edges, _, _ in self.names for here in edges for _, w in here if isinstance(w, str)}

    def run(self, weights, top=TOP):
        scores = self.lexicon.scores(weights, self.needed)
        hits = [self.only_split] * (TOP + 1)
        for text, edges, want, cuts in self.names:
            scored = piece_scores(text, edges, scores, weights, self.beyond, cuts)
            got = [self.merge([text[a:b] for a, b in zip((0,) + ends, ends)]) for ends in best_splits(scored, top)]
            if want in got:
                for k in range(got.index(want) + 1, TOP + 1):
                    hits[k] += 1
        n = self.count
        return {"top1": hits[1] / n, "top3": hits[3] / n, "top5": hits[5] / n, "ceiling": self.reachable / n}


def show(path, result):
    print(f"{path}: top1={result['top1']:.4f} top3={result['top3']:.4f} top5={result['top5']:.4f} "
          f"ceiling={result['ceiling']:.4f}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("corpus")
    parser.add_argument("lists", nargs="+")
    parser.add_argument("--unlisted")
    parser.add_argument("--own", action="store_true")
    parser.add_argument("--set", action="append", default=[])
    parser.add_argument("--tune", action="store_true")
    parser.add_argument("--beyond", action="store_true")
    parser.add_argument("--merge-letters", action="store_true")
    parser.add_argument("--cased", action="store_true")
    parser.add_argument("--case-hints", action="store_true")
    args = parser.parse_args()

    weights = dict(WEIGHTS)
    for item in args.set:
        name, value = item.split("=")
        if name not in weights:
            parser.error(f"no weight {name}; there are {', '.join(weights)}")
        weights[name] = float(value)
    unlisted = set(read_list(args.unlisted)) if args.unlisted else set()
    measures = [(path, Measure(args.corpus, Lexicon(read_list(path), unlisted, args.own), args))
                for path in args.lists]

    if args.tune:
        objective = lambda w: sum(m.run(w, top=1)["top1"] for _, m in measures)
        best = objective(weights)
        if args.case_hints:
            tuned = ("case_cut", "upper_cut")
        elif args.beyond:
            tuned = BEYOND_WEIGHTS
        else:  # the corpus has no digits: the number's weight was chosen by judgement
            tuned = [name for name in weights if name != "number" and name not in BEYOND_WEIGHTS + ("case_cut",)]
        for step in (1.0, 0.5, 0.25) if args.beyond or args.case_hints else (0.5, 0.25, 0.1):
            for name in tuned:
                for direction in (1, -1):
                    while True:
                        trial = dict(weights, **{name: round(weights[name] + direction * step, 3)})
                        value = objective(trial)
                        if value <= best:
                            break
                        best, weights = value, trial
                        print(f"{name}={weights[name]} sum of top-1 {best:.4f}", flush=True)
        print("weights:", ", ".join(f"{k}={v}" for k, v in weights.items()))
    for path, measure in measures:
        show(path, measure.run(weights))


if __name__ == "__main__":
    main()
