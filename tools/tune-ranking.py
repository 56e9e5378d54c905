#!/usr/bin/env python3
"""Measures, and tunes, the scores that rank splits (src/engine/WordScores.h) on a corpus of names with
known word boundaries.

usage: tools/tune-ranking.py CORPUS LIST [LIST...] [--unlisted FILE] [--own] [--set NAME=VALUE...] [--tune]
                             [--beyond [--counts FILE]] [--merge-letters] [--cased] [--case-hints]

CORPUS: one name a line, its words separated by blanks (ccdn-train.txt, ccdn-eval.txt).
LIST: a word list as shipped (google.col, dbwords.txt, mit.col): one word a line, in order of use.
--unlisted: the words no spelling list knows (data/unlisted.lst); without it no word is flagged.
--own: score the lists as lists of the user's own (place alone), as `quorvane-split --words` does.
--set: change a weight (names as below, in nats), e.g. --set unlisted=-2.5.
--tune: search the list's weights one at a time, keeping a change while the sum of top-1 over the lists rises.
        Tune on the train half only; then measure the eval half with the weights found.
--beyond: the best guess, as `quorvane-split --best 1` finds it (ExtraPieces.h): a lattice of list words, runs of
        spelled letters and unknown stretches, each scored by its features (GUESS_WEIGHTS; needs numpy). --tune then
        fits those weights (the case weights alone with --case-hints, on top of the others) by the conditional
        log-likelihood of the right splits over the lattice (L-BFGS, all names in one pass), then searches each
        on exact + 1/4 merged top-1 over the lists. Prints exact and merged top-1 per list.
--capitals: what is written in capitals alone (data/capitals.lst); without it no run or word is flagged.
--counts: the counts of words in real names (data/namecounts.txt) for every name; without it (on the train
        half) each name gets the counts of the other folds of the corpus, as make-name-counts.py --folds writes.
--merge-letters: runs of one-letter pieces are joined on both sides before comparing ("t v" = "tv").
--cased: the names keep their letter case; --case-hints then scores lower-to-upper changes, and two
        capitals in a row, as likely cuts.

The weights of ExtraPieces.h came from (a few minutes each on two cores):
  tools/tune-ranking.py ccdn-train.txt data/google.col data/dbwords.txt --unlisted data/unlisted.lst \
      --capitals data/capitals.lst --beyond --tune
  tools/tune-ranking.py ccdn-train.txt data/google.col data/dbwords.txt --unlisted data/unlisted.lst \
      --capitals data/capitals.lst --beyond --cased --case-hints --tune --set NAME=VALUE... (the weights found before)

Without --beyond, prints, per list, top-1, top-3 and top-5 (share of names whose right split is the first row, among the
first three, the first five) and the ceiling (share whose right split is among all rows). The scores are
those of WordScores, in the same fixed point: a split's score is the sum of its pieces'; equal scores keep
the search order (shorter first piece first). The best five splits of each name are found by a k-best
pass over the lattice of pieces, so no name's splits are all listed (with --tune, the best one alone). Numbers here are runs of digits only
(the corpus has none; their weight was chosen by judgement, not measured).
"""
import argparse
import array
import math

try:
    import numpy
except ImportError:  # only --beyond needs it
    numpy = None

UNITS_PER_NAT = 64
WEIGHTS = {
    "piece": 1.0,  # per piece
    "one_letter": -1.85,
    "two_letters": -1.6,
    "unlisted": -3.0,
    "compound": 0.25,
    "unlisted_compound": -3.0,  # beside "unlisted"
    "number": -4.5,  # beside "piece"; a number that is no word
    "case_cut": -6.263,  # --case-hints: per lower-to-upper change inside a piece (a run: none)
    "upper_cut": -0.971,  # --case-hints: per pair of upper-case letters inside a piece
}
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

    def nats(self):
        """Every word's score with the shipped weights, in nats (rounded as the search rounds it)."""
        return {w: v / UNITS_PER_NAT for w, v in self.scores(WEIGHTS, self.place).items()}

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


def piece_scores(edges, scores, weights, cuts):
    """Per place, (end, score) of each piece, as the ranked search scores them."""
    number = units(weights["piece"] + weights["number"])
    cut = {kind: units(weights[kind]) for kind in ("case_cut", "upper_cut")}
    out = []
    for i, here in enumerate(edges):
        row = []
        for j, word in here:
            best = number if word is None else scores[word]
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
            if not known:
                continue
            self.reachable += 1
            edges = lattice(text, lexicon)
            if count_splits(edges) == 1:
                self.only_split += 1
                continue
            cuts = case_cuts(given[text]) if self.case_hints else []
            self.names.append((text, edges, self.merge(words), cuts))
        self.needed = {w for _, edges, _, _ in self.names for here in edges for _, w in here if isinstance(w, str)}

    def run(self, weights, top=TOP):
        scores = self.lexicon.scores(weights, self.needed)
        hits = [self.only_split] * (TOP + 1)
        for text, edges, want, cuts in self.names:
            scored = piece_scores(edges, scores, weights, cuts)
            got = [self.merge([text[a:b] for a, b in zip((0,) + ends, ends)]) for ends in best_splits(scored, top)]
            if want in got:
                for k in range(got.index(want) + 1, TOP + 1):
                    hits[k] += 1
        n = self.count
        return {"top1": hits[1] / n, "top3": hits[3] / n, "top5": hits[5] / n, "ceiling": self.reachable / n}


# ---------------------------------------------------------------------------------------------------------
# The best guess beyond the list (--beyond): a lattice of list words, spelled runs and unknown stretches, each
# piece scored by a weighted sum of its features (ExtraPieces.h), fitted on all names at once with numpy.

RUN_LONGEST = 10
VOWELS = frozenset("aeiou")
ALPHABET = 28  # a-z, any other character, and the boundary of a word
# In nats; a list word's own score (Lexicon.scores) comes beside them unweighted.
GUESS_WEIGHTS = {
    "word_count": 0.545,  # per ln(1 + count) of a list word in the names' counts
    "run": -6.117,  # a run of spelled letters: this, plus run_per_letter per letter, plus its evidence
    "run_per_letter": -2.455,
    "run_no_vowel": 0.898,
    "run_list_word": 1.549,
    "run_trigram": 0.103,  # per nat of the run's letters as a word (the list's character trigrams)
    "run_count": 0.574,  # per ln(1 + count) of the run in the names' counts
    "run_capitals": 1.322,  # a run that SCOWL writes in capitals ("NASA")
    "word_capitals": -1.157,  # a list word that SCOWL also writes in capitals
    "unknown": -3.306,
    "unknown_per_unit": 0.35,
    "unknown_trigram": 0.951,
}
CASE_FEATURES = ("case_cut", "upper_cut")  # in WEIGHTS: inside a word or stretch (a run is cut at every letter)
FEATURES = list(GUESS_WEIGHTS) + list(CASE_FEATURES)
FOLDS = 5


def symbol(c):
    return ord(c) - 97 if "a" <= c <= "z" else 26


class Trigrams:
    """ln P(c | a b) over the list's own words, each padded by two boundaries in front and one behind,
    add-one smoothed: what a stretch of letters is worth as a word."""

    def __init__(self, words):
        keys = []
        for w in words:
            s = [27, 27] + [symbol(c) for c in w] + [27]
            keys.extend((s[k - 2] * ALPHABET + s[k - 1]) * ALPHABET + s[k] for k in range(2, len(s)))
        counts = numpy.bincount(numpy.array(keys, dtype=numpy.int64), minlength=ALPHABET ** 3).astype(float)
        counts = counts.reshape(ALPHABET, ALPHABET, ALPHABET)
        self.logp = numpy.log((counts + 1.0) / (counts.sum(axis=2, keepdims=True) + ALPHABET)).tolist()

    def scorer(self, text):
        """A function (i, j) -> the trigram score of text[i:j] as a word, from sums over the text."""
        s = [symbol(c) for c in text]
        lp = self.logp
        inner = [0.0, 0.0]  # inner[k + 1] - inner[i + 2]: the letters k >= i + 2 given the two before
        for k in range(2, len(s)):
            inner.append(inner[-1] + lp[s[k - 2]][s[k - 1]][s[k]])
        inner.append(inner[-1])

        def score(i, j):
            total = lp[27][27][s[i]] + (lp[27][s[i]][s[i + 1]] if j - i >= 2 else 0.0)
            total += inner[j - 1] - inner[i + 1] if j - i >= 3 else 0.0
            return total + (lp[s[j - 2]][s[j - 1]][27] if j - i >= 2 else lp[27][s[i]][27])

        return score


def load_counts_module():
    import importlib.util
    import os
    spec = importlib.util.spec_from_file_location(
        "name_counts", os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-name-counts.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def guess_counts(corpus, counts_file):
    """The counts each name is scored with: from counts_file for every name, or when none is given (tuning on
    the train half) those of the other folds of the corpus itself."""
    module = load_counts_module()
    if counts_file:
        found = {}
        for line in open(counts_file, encoding="ascii"):
            piece, count = line.split()
            found[piece] = int(count)
        return lambda key: found
    names = module.distinct_names(corpus)
    per_fold = [module.counts([w for i, w in enumerate(names) if i % FOLDS != f]) for f in range(FOLDS)]
    fold_of = {"".join(words): i % FOLDS for i, words in enumerate(names)}
    return lambda key: per_fold[fold_of[key]]


class GuessLattice:
    """Every name's pieces as rows of one feature matrix, with passes over all names at once."""

    def __init__(self, corpus, lexicon, trigrams, counts_for, capitals, options):
        fixed, froms, tos = array.array("d"), array.array("q"), array.array("q")
        kinds, gold = array.array("b"), array.array("b")
        cols = [array.array("f") for _ in FEATURES]
        col = {name: k for k, name in enumerate(FEATURES)}
        self.names = []
        seen, node = set(), 0
        word_nats = lexicon.nats()
        longest = max(lexicon.longest, UNKNOWN_LONGEST)
        width = len(FEATURES)

        def add(nats, kind, in_gold, a, b, values):
            fixed.append(nats); kinds.append(kind); gold.append(in_gold); froms.append(a); tos.append(b)
            for k in range(width):
                cols[k].append(values.get(k, 0.0))

        for line in open(corpus, encoding="utf-8"):
            words = line.split()
            text = "".join(words).lower()
            if not words or text in seen:
                continue
            seen.add(text)
            given = "".join(words) if options.cased else text
            counts = counts_for(text)
            tri = trigrams.scorer(text)
            n = len(text)
            # per kind of case cut, how many there are at the places 1 .. p
            through = {kind: [0] * (n + 1) for kind in CASE_FEATURES}
            if options.case_hints and any(given[p - 1].islower() and given[p].isupper() for p in range(1, n)):
                for p in range(1, n):
                    for kind in CASE_FEATURES:
                        through[kind][p] = through[kind][p - 1]
                    if given[p].isupper() and given[p - 1].islower():
                        through["case_cut"][p] += 1
                    elif given[p].isupper() and given[p - 1].isupper():
                        through["upper_cut"][p] += 1
            cuts, at = [0], 0
            for w in words:
                at += len(w)
                cuts.append(at)
            single = [False] * n  # whether the letter is a right word of one letter
            for a, b in zip(cuts, cuts[1:]):
                if b - a == 1:
                    single[a] = True
            next_cut = dict(zip(cuts, cuts[1:]))
            for i in range(n):
                for j in range(i + 1, min(n, i + longest) + 1):
                    piece = text[i:j]
                    inside = {}
                    if j - i >= 2:
                        for kind in CASE_FEATURES:
                            crossed = through[kind][j - 1] - through[kind][i]
                            if crossed:
                                inside[col[kind]] = float(crossed)
                    in_gold = next_cut.get(i) == j
                    listed = piece in lexicon.place
                    if listed:
                        add(word_nats[piece], 0, in_gold, node + i, node + j,
                            {**inside, col["word_count"]: math.log1p(counts.get(piece, 0)),
                             col["word_capitals"]: float(piece in capitals)})
                    if j - i <= RUN_LONGEST:
                        add(0.0, 1, i in next_cut and all(single[i:j]), node + i, node + j, {
                            col["run"]: 1.0, col["run_per_letter"]: float(j - i),
                            col["run_no_vowel"]: float(not VOWELS.intersection(piece)),
                            col["run_list_word"]: float(listed), col["run_trigram"]: tri(i, j),
                            col["run_count"]: math.log1p(counts.get(piece.upper(), 0)),
                            col["run_capitals"]: float(piece in capitals)})
                    if UNKNOWN_SHORTEST <= j - i <= UNKNOWN_LONGEST:
                        add(0.0, 2, in_gold, node + i, node + j, {
                            **inside, col["unknown"]: 1.0, col["unknown_per_unit"]: float(j - i),
                            col["unknown_trigram"]: tri(i, j)})
            self.names.append((node, n, text, [w.lower() for w in words]))
            node += n + 1
        self.node_count = node
        self.fixed = numpy.frombuffer(fixed, dtype=numpy.float64)
        self.features = numpy.stack([numpy.frombuffer(c, dtype=numpy.float32) for c in cols], axis=1)
        del cols
        self.kinds = numpy.frombuffer(kinds, dtype=numpy.int8)
        self.gold = numpy.frombuffer(gold, dtype=numpy.int8).astype(bool)
        froms, tos = numpy.frombuffer(froms, dtype=numpy.int64), numpy.frombuffer(tos, dtype=numpy.int64)
        self.froms, self.tos = froms, tos
        # The name's end, per node; the passes go by distance to the name's end (backwards) and from its start.
        name_end = numpy.zeros(node, dtype=numpy.int64)
        name_start = numpy.zeros(node, dtype=numpy.int64)
        for start, n, *_ in self.names:
            name_end[start:start + n + 1] = start + n
            name_start[start:start + n + 1] = start
        self.name_end, self.name_start = name_end, name_start
        self.ends_of_names = numpy.array([start + n for start, n, *_ in self.names])
        self.starts_of_names = numpy.array([start for start, *_ in self.names])
        self.edge_name = numpy.searchsorted(self.starts_of_names, froms, side="right") - 1
        back = name_end[froms] - froms
        order = numpy.lexsort((tos, froms, back))  # by distance, then place, then end (shorter first)
        self.back = self.groups(order, froms[order], back[order])
        fwd = tos - name_start[tos]
        order = numpy.lexsort((froms, tos, fwd))
        self.fwd = self.groups(order, tos[order], fwd[order])

    @staticmethod
    def groups(order, keys, levels):
        """Per level, the edges (in `order`) and where each group of one key begins."""
        out = []
        bounds = numpy.flatnonzero(numpy.diff(levels)) + 1
        for a, b in zip(numpy.concatenate(([0], bounds)), numpy.concatenate((bounds, [len(levels)]))):
            edges = order[a:b]
            k = keys[a:b]
            heads = numpy.concatenate(([0], numpy.flatnonzero(numpy.diff(k)) + 1))
            out.append((edges, heads, k[heads]))
        return out

    def scores(self, weights):
        return self.fixed + self.features.astype(numpy.float64) @ numpy.array([weights[name] for name in FEATURES])

    def best(self, s):
        """Per node the best score to the name's end and the piece that has it (the shorter first)."""
        best = numpy.full(self.node_count, -numpy.inf)
        best[self.ends_of_names] = 0.0
        choice = numpy.full(self.node_count, -1, dtype=numpy.int64)
        for edges, heads, nodes in self.back:
            values = s[edges] + best[self.tos[edges]]
            top = numpy.maximum.reduceat(values, heads)
            group = numpy.repeat(numpy.arange(len(heads)), numpy.diff(numpy.append(heads, len(edges))))
            first = numpy.where(values >= top[group] - 1e-9, numpy.arange(len(edges)), len(edges))
            choice[nodes] = edges[numpy.minimum.reduceat(first, heads)]
            best[nodes] = top
        return best, choice

    def split_of(self, choice, start, n, text):
        node, pieces = start, []
        while node < start + n:
            e = choice[node]
            a, b = int(node - start), int(self.tos[e] - start)
            if self.kinds[e] == 1:
                pieces.extend(text[a:b])
            else:
                pieces.append(text[a:b])
            node = self.tos[e]
        return pieces

    def measure(self, weights):
        _, choice = self.best(self.scores(weights))
        exact = merged = 0
        for start, n, text, words in self.names:
            got = self.split_of(choice, start, n, text)
            exact += got == words
            merged += merge_letters(got) == merge_letters(words)
        return exact / len(self.names), merged / len(self.names)

    def log_sums(self, s, mask):
        """Per node the log of the summed exp-scores of the paths to the name's end (over the edges in mask)."""
        s = numpy.where(mask, s, -numpy.inf)
        inside = self.log_sum_pass(s, self.ends_of_names, self.back, self.tos)
        outside = self.log_sum_pass(s, self.starts_of_names, self.fwd, self.froms)
        return inside, outside, s

    def log_sum_pass(self, s, seeds, steps, others):
        """One pass of log_sums: from the seed nodes, per node the log of the summed exp-scores of its edges
        (grouped by `steps`) plus the sums at their other ends (`others`)."""
        sums = numpy.full(self.node_count, -numpy.inf)
        sums[seeds] = 0.0
        for edges, heads, nodes in steps:
            values = s[edges] + sums[others[edges]]
            top = numpy.maximum.reduceat(values, heads)
            safe = numpy.where(numpy.isfinite(top), top, 0.0)
            group = numpy.repeat(numpy.arange(len(heads)), numpy.diff(numpy.append(heads, len(edges))))
            sums[nodes] = safe + numpy.log(numpy.add.reduceat(numpy.exp(values - safe[group]), heads))
        return sums

    def likelihood(self, vector, names, l2):
        """The mean log-likelihood of the right splits (of the names whose lattice holds it) and its gradient,
        for the weights `names` set to `vector`."""
        s = self.scores(dict(self.frozen, **dict(zip(names, vector))))
        value, grad = 0.0, numpy.zeros(len(FEATURES))
        keep = None
        for sign, mask in ((1.0, self.gold), (-1.0, numpy.ones_like(self.gold))):
            inside, outside, masked = self.log_sums(s, mask)
            z = inside[self.starts_of_names]
            if keep is None:
                keep = numpy.isfinite(z)
            value += sign * z[keep].sum()
            with numpy.errstate(invalid="ignore"):
                post = numpy.exp(outside[self.froms] + masked + inside[self.tos] - z[self.edge_name])
            post = numpy.where(keep[self.edge_name] & numpy.isfinite(post), post, 0.0)
            grad += sign * (post @ self.features.astype(numpy.float64))
        count = len(self.names)
        index = [FEATURES.index(name) for name in names]
        v = numpy.array(vector)
        return value / count - l2 * (v @ v), grad[index] / count - 2 * l2 * v


def lbfgs(f, x, iterations=60, memory=8):
    """Maximises f (value, gradient) from x by L-BFGS with a backtracking line search."""
    value, grad = f(x)
    history = []
    for it in range(iterations):
        q = -grad.copy()
        alphas = []
        for s, y, rho in reversed(history):
            a = rho * (s @ q)
            alphas.append(a)
            q -= a * y
        if history:
            s, y, _ = history[-1]
            q *= (s @ y) / (y @ y)
        for (s, y, rho), a in zip(history, reversed(alphas)):
            b = rho * (y @ q)
            q += s * (a - b)
        direction = -q
        if direction @ grad <= 0:
            direction = grad
        step = 1.0
        while step > 1e-6:
            trial = x + step * direction
            tv, tg = f(trial)
            if tv >= value + 1e-4 * step * (direction @ grad):
                break
            step *= 0.5
        else:
            break
        s, y = trial - x, -(tg - grad)
        if s @ y > 1e-12:
            history = (history + [(s, y, 1.0 / (s @ y))])[-memory:]
        improved = tv - value
        x, value, grad = trial, tv, tg
        print(f"  fit {it}: log-likelihood {value:.5f}", flush=True)
        if improved < 1e-6:
            break
    return x


def tune_guesses(lattices, weights, tuned, l2=1e-4):
    """The log-linear fit of `tuned` on the first lattice, then a line search of each weight on exact + 1/4
    merged top-1 over every lattice."""
    first = lattices[0]
    first.frozen = {k: v for k, v in weights.items() if k not in tuned}
    x = lbfgs(lambda v: first.likelihood(v, tuned, l2), numpy.array([weights[n] for n in tuned]))
    weights = dict(weights, **{n: round(float(v), 3) for n, v in zip(tuned, x)})
    print("fitted:", ", ".join(f"{k}={weights[k]}" for k in tuned), flush=True)

    def objective(w):
        total = 0.0
        for lattice in lattices:
            exact, merged = lattice.measure(w)
            total += exact + merged / 4
        return total

    print(f"exact + merged/4: {objective(weights):.4f}", flush=True)
    return line_search(objective, weights, tuned, (0.5, 0.2, 0.1, 0.05), "exact + merged/4")


def line_search(objective, weights, tuned, steps, label):
    """Moves each weight of `tuned` in turn by each step, in both directions, while `objective` grows."""
    best = objective(weights)
    for step in steps:
        for name in tuned:
            for direction in (1, -1):
                while True:
                    trial = dict(weights, **{name: round(weights[name] + direction * step, 3)})
                    value = objective(trial)
                    if value <= best:
                        break
                    best, weights = value, trial
                    print(f"{name}={weights[name]} {label} {best:.4f}", flush=True)
    return weights


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
    parser.add_argument("--counts")
    parser.add_argument("--capitals")
    args = parser.parse_args()

    weights = dict(WEIGHTS, **GUESS_WEIGHTS)
    for item in args.set:
        name, value = item.split("=")
        if name not in weights:
            parser.error(f"no weight {name}; there are {', '.join(weights)}")
        weights[name] = float(value)
    unlisted = set(read_list(args.unlisted)) if args.unlisted else set()
    if args.beyond:
        if numpy is None:
            parser.error("--beyond needs numpy (Debian: python3-numpy)")
        counts_for = guess_counts(args.corpus, args.counts)
        capitals = set(read_list(args.capitals)) if args.capitals else set()
        lattices = []
        for path in args.lists:
            words = read_list(path)
            lattices.append((path, GuessLattice(args.corpus, Lexicon(words, unlisted, args.own), Trigrams(words),
                                                counts_for, capitals, args)))
            print(f"{path}: {len(lattices[-1][1].fixed)} pieces", flush=True)
        if args.tune:
            tuned = list(CASE_FEATURES) if args.case_hints else [n for n in FEATURES if n not in CASE_FEATURES]
            weights = tune_guesses([lattice for _, lattice in lattices], weights, tuned)
            print("weights:", ", ".join(f"{k}={weights[k]}" for k in FEATURES))
        for path, lattice in lattices:
            exact, merged = lattice.measure(weights)
            print(f"{path}: top1={exact:.4f} merged top1={merged:.4f}", flush=True)
        return
    measures = [(path, Measure(args.corpus, Lexicon(read_list(path), unlisted, args.own), args))
                for path in args.lists]

    if args.tune:
        objective = lambda w: sum(m.run(w, top=1)["top1"] for _, m in measures)
        if args.case_hints:
            tuned = CASE_FEATURES
        else:  # the corpus has no digits: the number's weight was chosen by judgement
            tuned = [name for name in WEIGHTS if name not in ("number",) + CASE_FEATURES]
        steps = (1.0, 0.5, 0.25) if args.case_hints else (0.5, 0.25, 0.1)
        weights = line_search(objective, weights, tuned, steps, "sum of top-1")
        print("weights:", ", ".join(f"{k}={v}" for k, v in weights.items()))
    for path, measure in measures:
        show(path, measure.run(weights))


if __name__ == "__main__":
    main()
