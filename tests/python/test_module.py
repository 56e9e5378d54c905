"""The Python module quorvane against quorvane-split on the same words and names: its API, its errors, two
threads on one Splitter, and split_many name for name against --best 1 --format jsonl."""

import concurrent.futures
import errno
import json
import os
import pathlib
import pickle
import random
import shutil
import subprocess
import sys
import warnings

import pytest

import quorvane

DATA_DIR = pathlib.Path(os.environ["QUORVANE_DATA_DIR"])
PROGRAM = DATA_DIR / "quorvane-split"

# A small list of words in order of use, so that expected splits are known.
WORDS = ["carpet", "best", "cheap", "flights", "sale", "for", "blue", "sky", "gardens", "café", "car", "pet", "a"]

EDGE_NAMES = [
    "",
    "   ",
    "www.",
    "http://www.example.com/about-us",
    "www.BlueSkyGardens.com",
    "4sale.net",
    "nosuchwordxq.com",
    "café.com",
    "CARPET",
    "1234567890" * 3,
    "\ud800car",  # a lone surrogate
    "\U0001f600carpet",
    "car\tpet",
]
# quorvane-split reads names as UTF-8: every name but a lone surrogate can be given to both.
COMMON_EDGE_NAMES = [name for name in EDGE_NAMES if "\ud800" not in name]


@pytest.fixture(scope="module")
def words_file(tmp_path_factory):
    path = tmp_path_factory.mktemp("words") / "words.col"
    path.write_text("\r\n".join(WORDS) + "\r\n", encoding="cp1252")
    return path


@pytest.fixture(scope="module")
def splitter(words_file):
    return quorvane.Splitter(words=words_file)


@pytest.fixture(scope="module")
def shipped():
    return quorvane.Splitter(list=2)


def run_program(arguments, names):
    text = "".join(name + "\n" for name in names)
    done = subprocess.run([str(PROGRAM), *arguments], input=text.encode("utf-8"), capture_output=True, check=False)
    return done


def jsonl_splits(arguments, names):
    done = run_program(["--format", "jsonl", *arguments], names)
    assert done.returncode == 0, done.stderr
    return [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]


def corpus_names(count, seed=29):
    """Names made of the shipped list's words, some with a scheme, prefix, suffix or digits, and the edge cases."""
    words = [line.strip() for line in (DATA_DIR / "google.col").read_text(encoding="latin-1").splitlines()[:3000]]
    words = [word for word in words if word.isalpha()]
    chooser = random.Random(seed)
    names = list(COMMON_EDGE_NAMES)
    while len(names) < count:
        name = "".join(chooser.choice(words) for _ in range(chooser.randint(1, 4)))
        form = chooser.randrange(6)
        if form == 1:
            name = "www." + name + ".com"
        elif form == 2:
            name = "http://" + name.capitalize() + ".net/about"
        elif form == 3:
            name += str(chooser.randint(0, 999))
        names.append(name)
    return names


# --- the API ---------------------------------------------------------------------------------------------------


def test_the_module_splits_with_the_shipped_list():
    assert quorvane.split("bestcheapflights.com") == ["best", "cheap", "flights"]
    assert quorvane.split("bestcheapflights.com", list=2) == quorvane.Splitter(list=2).split("bestcheapflights.com")


@pytest.mark.parametrize("name, expected, guessed", [
    ("carpet", ["carpet"], ["carpet"]),
    ("www.BestCheapFlights.com", ["Best", "Cheap", "Flights"], ["Best", "Cheap", "Flights"]),
    ("4sale", ["4", "sale"], ["4", "sale"]),
    ("café.com", ["café"], ["café"]),
    ("xq", [], ["x", "q"]),
    ("", [], []),
    ("www.", [], []),
])
def test_split_gives_the_best_split_beyond_the_list_unless_words_only(words_file, name, expected, guessed):
    assert quorvane.Splitter(words=words_file, words_only=True).split(name) == expected
    assert quorvane.Splitter(words=words_file).split(name) == guessed


@pytest.mark.parametrize("name", ["carpet", "bestcheapflights", "carpetsale4", "xq", "", "café"])
@pytest.mark.parametrize("n", [1, 2, 5])
def test_segmentations_are_the_ranked_rows_of_the_program(splitter, words_file, name, n):
    found = splitter.segmentations(name, n)
    expected = jsonl_splits(["--words", str(words_file), "--best", str(n)], [name])[0]["splits"]
    assert [words for words, _ in found] == [split["words"] for split in expected]
    for (_, score), split in zip(found, expected):
        assert isinstance(score, float)
        assert score == pytest.approx(split["score"], abs=0.0005 + 1e-9)  # the program writes three decimals
    assert [score for _, score in found] == sorted((score for _, score in found), reverse=True)
    if found:
        assert found[0][0] == splitter.split(name)


def test_all_splits_are_the_rows_of_the_program_in_search_order(splitter, words_file):
    names = ["carpet", "carpetcarpet", "bestcheapflights4sale", "xq", ""]
    rows = iter(run_program(["--words", str(words_file)], names).stdout.decode("utf-8").splitlines())
    for name in names:
        expected = [next(rows).split(" ") for _ in splitter.all_splits(name)]
        assert splitter.all_splits(name) == [[piece for piece in row if piece] for row in expected]
    assert next(rows, None) is None
    assert splitter.all_splits("carpet") == [["car", "pet"], ["carpet"]]


def test_max_splits_bounds_the_listing_and_keeps_the_best(words_file):
    bounded = quorvane.Splitter(words=words_file, max_splits=3)
    unbounded = quorvane.Splitter(words=str(words_file), max_splits=0)
    name = "carpet" * 4  # 2^4 splits
    assert len(unbounded.all_splits(name)) == 16
    with pytest.warns(UserWarning, match="cut after 3 splits; it has more"):
        assert bounded.all_splits(name) == unbounded.all_splits(name)[:3]
    assert bounded.segmentations(name, 10) == unbounded.segmentations(name, 3)
    assert bounded.max_splits == 3 and unbounded.max_splits == 0


@pytest.mark.parametrize("chosen", [1, 2, 3])
def test_each_list_loads(chosen):
    assert quorvane.Splitter(list=chosen).split("carpet") == quorvane.split("carpet", list=chosen) != []


# --- errors ----------------------------------------------------------------------------------------------------


@pytest.mark.parametrize("call, message", [
    (lambda: quorvane.Splitter(list=4), 'the word list must be 1, 2 or 3, not "4"'),
    (lambda: quorvane.split("car", list=0), 'the word list must be 1, 2 or 3, not "0"'),
    (lambda: quorvane.Splitter(list=2, words="w.col"), "a word list and a word file were both given; give only one"),
    (lambda: quorvane.Splitter(max_splits=-1), 'max_splits needs a count of 0 or more, not "-1"'),
    (lambda: quorvane.segmentations("car", n=0), 'n needs a count of 1 or more, not "0"'),
    (lambda: quorvane.Splitter().split_many([], jobs=-2), 'jobs needs a count of 0 or more, not "-2"'),
    (lambda: quorvane.split("a" * 40000), "Overflow: a text of 40000 characters is too long to split"),
])
def test_bad_arguments_raise_value_error(call, message):
    with pytest.raises(ValueError) as raised:
        call()
    assert str(raised.value).startswith(message)


@pytest.mark.parametrize("options, arguments", [
    ({}, []),
    ({"words_only": True}, ["--words-only"]),
    ({"case_hints": True}, ["--case-hints"]),
    ({"case_hints": True, "words_only": True}, ["--case-hints", "--words-only"]),
])
def test_the_ranking_options_are_those_of_the_program(words_file, options, arguments):
    names = ["BlueSkyGardens.com", "carpetXQsale", "bestCHEAPflights", "CarPet", "skyblue4sale", "nosuchwordxq"]
    splitter = quorvane.Splitter(words=words_file, **options)
    expected = jsonl_splits(["--words", str(words_file), "--best", "3", *arguments], names)
    for name, split in zip(names, expected):
        assert [words for words, _ in splitter.segmentations(name, 3)] == [s["words"] for s in split["splits"]]
    assert list(splitter.split_many(names)) == [split["splits"][0]["words"] if split["splits"] else []
                                                for split in expected]


def test_added_and_dropped_words_are_those_of_the_program(words_file, tmp_path):
    added = tmp_path / "added.txt"
    added.write_text("Patreon\r\nxq\r\n", encoding="cp1252")
    dropped = tmp_path / "dropped.txt"
    dropped.write_text("carpet\r\n", encoding="cp1252")
    names = ["patreon.com", "nosuchwordxq", "carpet", "carpetsale"]
    splitter = quorvane.Splitter(words=words_file, add_words=["Patreon", "xq", ""], drop_words=("carpet",))
    expected = jsonl_splits(["--words", str(words_file), "--best", "2", "--add-words", str(added), "--drop-words",
                             str(dropped)], names)
    for name, split in zip(names, expected):
        assert [words for words, _ in splitter.segmentations(name, 2)] == [s["words"] for s in split["splits"]]
    assert splitter.split("patreon.com") == ["patreon"]
    assert quorvane.Splitter(list=3).split("patreon.com") != ["patreon"]
    assert quorvane.Splitter(list=3, add_words=["patreon"]).split("patreon.com") == ["patreon"]
    assert "carpet" not in [word for words in splitter.all_splits("carpet") for word in words]


@pytest.mark.parametrize("options", [{"add_words": "patreon"}, {"drop_words": ["car", 4]}])
def test_word_options_take_an_iterable_of_str(words_file, options):
    with pytest.raises(TypeError):
        quorvane.Splitter(words=words_file, **options)


def test_files_that_cannot_be_read_raise_os_error(tmp_path):
    missing = tmp_path / "missing.col"
    for call, error, code, filename in [
            (lambda: quorvane.Splitter(words=missing), FileNotFoundError, errno.ENOENT, missing),
            (lambda: quorvane.Splitter(words=tmp_path), IsADirectoryError, errno.EISDIR, tmp_path),
            (lambda: quorvane.Splitter(list=2, data_dir=tmp_path), FileNotFoundError, errno.ENOENT,
             tmp_path / "google.col"),
            (lambda: quorvane.Splitter(list=1, data_dir=tmp_path), FileNotFoundError, errno.ENOENT,
             tmp_path / "dbWords.mdb")]:
        with pytest.raises(error) as raised:
            call()
        assert (raised.value.errno, raised.value.filename) == (code, str(filename))


def test_a_suffix_list_that_fails_raises_os_error_for_each_name(tmp_path):
    shutil.copy(DATA_DIR / "google.col", tmp_path)
    # More lines than the cleaner can count: cleaning fails, as it does in the programs.
    (tmp_path / "suffix.lst").write_text("com\r\n" * 40000)
    splitter = quorvane.Splitter(list=2, data_dir=tmp_path)
    message = run_program(["--data-dir", str(tmp_path), "-l", "2"], ["carpet.com"]).stderr.decode()
    with pytest.raises(OSError) as raised:
        splitter.split("carpet.com")
    assert str(raised.value) in message
    with pytest.raises(OSError):
        next(splitter.split_many(["carpet.com"]))


def test_word_reports_warn_and_the_words_still_load(tmp_path):
    words = tmp_path / "twice.col"
    words.write_text("cat\r\ncat\r\ndog\r\n")
    with pytest.warns(UserWarning, match='The word "cat" is already in the word list.'):
        splitter = quorvane.Splitter(words=words)
    assert splitter.split("catdog") == ["cat", "dog"]


def test_names_must_be_text(splitter):
    with pytest.raises(TypeError):
        splitter.split(b"carpet")
    names = splitter.split_many(["carpet", "car", 5, "pet"])
    assert next(names) == ["carpet"] and next(names) == ["car"]
    with pytest.raises(TypeError, match="split_many takes names as str, not int"):
        next(names)
    with pytest.raises(StopIteration):
        next(names)
    with pytest.raises(TypeError, match="not one name"):
        splitter.split_many("abc.com")


def test_an_error_of_the_iterable_comes_after_the_names_before_it(splitter):
    def names():
        yield "carpet"
        yield "bestsale"
        raise RuntimeError("the source broke")

    splits = splitter.split_many(names())
    assert [next(splits), next(splits)] == [["carpet"], ["best", "sale"]]
    with pytest.raises(RuntimeError, match="the source broke"):
        next(splits)


# --- threads ---------------------------------------------------------------------------------------------------


@pytest.mark.filterwarnings("ignore:cut after")
def test_two_threads_calling_one_splitter_get_what_one_thread_gets():
    shared = quorvane.Splitter(list=2, max_splits=1000)
    names = corpus_names(2000)

    def work(part):
        return [(shared.split(name), shared.segmentations(name, 3), shared.all_splits(name)) for name in names[part]]

    alone = work(slice(None))

    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        even, odd = pool.map(work, [slice(0, None, 2), slice(1, None, 2)])
    together = [None] * len(names)
    together[0::2], together[1::2] = even, odd
    assert together == alone


def test_split_many_while_another_thread_splits(shipped):
    names = corpus_names(20000)
    expected = [shipped.split(name) for name in names]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        many = pool.submit(lambda: list(shipped.split_many(names, jobs=2)))
        single = pool.submit(lambda: [shipped.split(name) for name in names])
        assert many.result() == expected
        assert single.result() == expected


# --- split_many against quorvane-split --------------------------------------------------------------------------


@pytest.mark.parametrize("jobs", [1, 2, 0])
def test_split_many_gives_the_words_of_the_program_name_for_name(shipped, jobs):
    names = corpus_names(20000)  # more than one chunk of names
    expected = jsonl_splits(["-l", "2", "--best", "1"], names)
    assert len(expected) == len(names)
    got = list(shipped.split_many(iter(names), jobs=jobs))
    assert got == [line["splits"][0]["words"] if line["splits"] else [] for line in expected]
    assert got[: len(COMMON_EDGE_NAMES)] == [shipped.split(name) for name in COMMON_EDGE_NAMES]
    assert list(shipped.split_many(EDGE_NAMES)) == [shipped.split(name) for name in EDGE_NAMES]


def test_split_many_is_lazy_and_can_be_left(shipped):
    def endless():
        while True:
            yield "bestcheapflights.com"

    splits = shipped.split_many(endless())
    assert [next(splits) for _ in range(3)] == [["best", "cheap", "flights"]] * 3
    del splits
    assert list(shipped.split_many([])) == []


# --- python3 -m quorvane ----------------------------------------------------------------------------------------


@pytest.mark.parametrize("arguments", [["-l", "2", "--best", "1", "--format", "jsonl"], ["-o"], ["--version"],
                                       ["--list", "7"]])
def test_running_the_module_is_running_quorvane_split(arguments):
    names = "".join(name + "\n" for name in corpus_names(200)).encode("utf-8")
    module = subprocess.run([sys.executable, "-m", "quorvane", *arguments], input=names, capture_output=True,
                            check=False)
    program = subprocess.run([str(PROGRAM), *arguments], input=names, capture_output=True, check=False)
    assert (module.returncode, module.stdout, module.stderr) == (program.returncode, program.stdout, program.stderr)


# --- names as they come in real lists ------------------------------------------------------------------------


@pytest.mark.parametrize("data, arguments, names, message", [
    (b"\xef\xbb\xbfm\xc3\xbcnchen.de\n", [], ["münchen.de"], None),
    ("\ufeffcafé.com\n\U0001F600.com".encode("utf-16-be"), [], ["café.com", "\U0001F600.com"], None),
    (b"caf\xe9.com\ncarpet.com", [], ["carpet.com"], 'line 1 of "standard input" is not valid UTF-8'),
    (b"\xef\xbb\xbfcaf\xe9.com\n", ["--encoding", "windows-1252"], ["\u00ef\u00bb\u00bfcafé.com"], None),
])
def test_quorvane_split_reads_utf8_unless_told_otherwise(data, arguments, names, message):
    done = subprocess.run([str(PROGRAM), "--format", "jsonl", *arguments], input=data, capture_output=True, check=False)
    assert [json.loads(line)["name"] for line in done.stdout.decode().splitlines()] == names
    assert done.returncode == (message is not None) and (message or "") in done.stderr.decode()


@pytest.mark.parametrize("name", ["https://www.bestcheapflights.com/", "ftp://me:pw@BlueSky.com:8080/car%2Dpet?x=1#y",
                                  "www.xn--mnchen-3ya.de/caf%C3%A9"])
@pytest.mark.parametrize("window", [False, True])
def test_urls_are_cleaned_as_the_program_cleans_them(words_file, name, window):
    splitter = quorvane.Splitter(words=words_file, window_cleaning=window)
    program = jsonl_splits(["--words", str(words_file), "--best", "1"] + ["--window-cleaning"] * window, [name])
    assert splitter.split(name) == program[0]["splits"][0]["words"]
    assert window or "https" not in splitter.split(name)


@pytest.mark.parametrize("name, expected", [
    ("MünchenStraße.de", ["München", "Straße"]),
    ("https://www.xn--mnchen-3ya.de/stra%C3%9Fe", ["münchen", "straße"]),
    ("crèmebrûlée.fr", ["crème", "brûlée"]),
    ("\U0001F600", ["\U0001F600"]),
    ("car\U0001F600pet", ["car", "\U0001F600", "pet"]),
])
def test_names_beyond_ascii_split_into_whole_characters(words_file, name, expected):
    splitter = quorvane.Splitter(words=words_file, add_words=["münchen", "straße", "crème", "brûlée"])
    assert splitter.split(name) == expected
    for words, _ in splitter.segmentations(name, 20):
        "".join(words).encode("utf-8")  # a piece cut inside a character would not encode


def test_a_splitter_pickles_by_its_options(words_file):
    splitter = quorvane.Splitter(words=words_file, add_words=["xyzzy"], drop_words=["pet"], case_hints=True,
                                 max_splits=7, data_dir=DATA_DIR)
    copy = pickle.loads(pickle.dumps(splitter))
    assert type(copy) is quorvane.Splitter and copy.max_splits == 7
    for name in ["xyzzycarpet", "BlueSkyCarPet.com", "carpetcarpetcarpet"]:
        assert copy.segmentations(name, 10) == splitter.segmentations(name, 10)
        assert copy.all_splits(name) == splitter.all_splits(name)


def test_another_python_is_told_which_python_the_module_is_for(tmp_path):
    package = tmp_path / "quorvane"
    shutil.copytree(pathlib.Path(quorvane.__file__).parent, package, ignore=shutil.ignore_patterns("_quorvane*"))
    (package / "_layout.py").write_text('DATA_DIR = "."\nBUILT_FOR = "3.99"\nVERSION = "0"\n')
    done = subprocess.run([sys.executable, "-c", "import quorvane"], capture_output=True, text=True,
                          env={**os.environ, "PYTHONPATH": str(tmp_path)}, check=False)
    assert "quorvane was built for Python 3.99" in done.stderr


def test_a_daemon_thread_splitting_at_exit_leaves_python_cleanly():
    script = """import threading, quorvane
def work():
    while True:
        quorvane.split('bestcheapflights.com'), quorvane.segmentations('carpet', 3)
threading.Thread(target=work, daemon=True).start()
quorvane.split('x')
"""
    for _ in range(8):
        done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=False)
        assert (done.returncode, done.stderr) == (0, "")


def test_a_name_given_as_a_file_gets_a_hint():
    done = subprocess.run([str(PROGRAM), "bestcheapflights.com"], capture_output=True, text=True, check=False)
    assert done.returncode == 1 and "echo 'bestcheapflights.com' | quorvane-split" in done.stderr
