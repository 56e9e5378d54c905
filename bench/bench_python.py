"""The Python module beside quorvane-split on the same names, in one run: split_many against
quorvane-split --best 1 (names/s), and a loop of quorvane.split() (names/s, and against wordninja's loop where
wordninja is installed). Checks on the way that split_many gives the words of quorvane-split --best 1.

usage: PYTHONPATH=<build>/python QUORVANE_DATA_DIR=<build>/bin python3 bench_python.py [--names N] [--corpus FILE]
(`cmake --build <build> --target bench_python` runs it so)."""

import argparse
import json
import os
import pathlib
import resource
import subprocess
import tempfile
import time

import quorvane

GOAL_MANY = 0.5  # split_many's names/s against quorvane-split --best 1's
GOAL_LOOP = 20.0  # a loop of split() against a loop of wordninja.split()


def corpus_names(path, wanted):
    """Each line of the corpus with its blanks removed, ".com" after every other one, repeated to `wanted`."""
    base = []
    for line in pathlib.Path(path).read_bytes().decode("cp1252", "replace").splitlines():
        joined = line.replace(" ", "")
        if not joined:
            continue
        if len(base) % 2 == 1:
            joined += ".com"
        base.append(joined)
    return [base[k % len(base)] for k in range(wanted)]


def best_of(runs, work):
    """The shortest wall time of `runs` runs, the processor time (user and system, this process's threads and its
    children's) of that run, and the work's result. On a shared machine the wall clock also counts the time other
    programs held the processors; the processor time does not."""
    best = None
    result = None
    for _ in range(runs):
        children = resource.getrusage(resource.RUSAGE_CHILDREN)
        start, processor = time.perf_counter(), time.process_time()
        result = work()
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        processor = time.process_time() - processor + (after.ru_utime - children.ru_utime) + (
            after.ru_stime - children.ru_stime)
        if best is None or wall < best[0]:
            best = (wall, processor)
    return best[0], best[1], result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--names", type=int, default=200000)
    # As the C++ benchmarks: $QUORVANE_CORPUS, else the quality corpus beside the sources.
    shared_corpus = pathlib.Path(__file__).resolve().parents[2] / "shared" / "quality" / "ccdn-train.txt"
    parser.add_argument("--corpus", default=os.environ.get("QUORVANE_CORPUS") or str(shared_corpus))
    parser.add_argument("--list", type=int, default=2)
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
    if not pathlib.Path(options.corpus).is_file():
        parser.error(f"no corpus at {options.corpus}: give --corpus or set QUORVANE_CORPUS")

    names = corpus_names(options.corpus, options.names)
    program = pathlib.Path(os.environ.get("QUORVANE_DATA_DIR", quorvane._quorvane._installed_data_dir))
    program = program / "quorvane-split"
    count = len(names)
    print(f"{count} names from {options.corpus}, word list {options.list}, best of {options.runs} runs")

    with tempfile.TemporaryDirectory() as folder:
        names_file = pathlib.Path(folder) / "names.txt"
        names_file.write_bytes("".join(name + "\n" for name in names).encode("cp1252", "replace"))
        empty_file = pathlib.Path(folder) / "empty.txt"
        empty_file.write_bytes(b"")

        def run_program(path, *extra):
            with open(path, "rb") as source:
                return subprocess.run([str(program), "-l", str(options.list), "--best", "1", *extra],
                                      stdin=source, stdout=subprocess.PIPE, check=True).stdout

        program_seconds, program_processor, _ = best_of(options.runs, lambda: run_program(names_file))
        startup_seconds, startup_processor, _ = best_of(options.runs, lambda: run_program(empty_file))
        jsonl = run_program(names_file, "--format", "jsonl")

    program_rate = count / program_seconds
    splitting_rate = count / max(program_seconds - startup_seconds, 1e-9)
    print(f"quorvane-split --best 1: {program_seconds:.3f} s, {program_rate:,.0f} names/s "
          f"(start-up {startup_seconds:.3f} s; without it {splitting_rate:,.0f} names/s); processor time "
          f"{program_processor:.3f} s (start-up {startup_processor:.3f} s)")

    start = time.perf_counter()
    splitter = quorvane.Splitter(list=options.list)
    print(f"Splitter(list={options.list}): {time.perf_counter() - start:.3f} s to load the words")
    many_seconds, many_processor, many = best_of(options.runs, lambda: list(splitter.split_many(names)))
    many_rate = count / many_seconds
    print(f"split_many: {many_seconds:.3f} s, {many_rate:,.0f} names/s = {many_rate / program_rate:.2f}x "
          f"quorvane-split's ({many_rate / splitting_rate:.2f}x without its start-up); goal {GOAL_MANY}x")
    print(f"  by processor time: split_many {many_processor:.3f} s = "
          f"{program_processor / many_processor:.2f}x quorvane-split's names per processor second "
          f"({(program_processor - startup_processor) / many_processor:.2f}x without its start-up)")

    expected = [line["splits"][0]["words"] if line["splits"] else []
                for line in map(json.loads, jsonl.decode("utf-8").splitlines())]
    same = sum(1 for got, want in zip(many, expected) if got == want)
    print(f"split_many gives the words of quorvane-split --best 1 for {same} of {count} names")

    split = quorvane.split
    split("warm.up")  # loads the default list outside the timing
    loop_seconds, _, looped = best_of(options.runs, lambda: [split(name) for name in names])
    loop_rate = count / loop_seconds
    print(f"loop of quorvane.split(): {loop_seconds:.3f} s, {loop_rate:,.0f} names/s"
          f"{'' if looped == many else ' (differs from split_many!)'}")
    try:
        import wordninja
    except ImportError:
        print("wordninja: not installed here, so its loop was not timed and no ratio is given "
              f"(goal {GOAL_LOOP}x)")
    else:
        ninja_seconds, _, _ = best_of(options.runs, lambda: [wordninja.split(name) for name in names])
        ninja_rate = count / ninja_seconds
        print(f"loop of wordninja.split(): {ninja_seconds:.3f} s, {ninja_rate:,.0f} names/s; quorvane.split() "
              f"{loop_rate / ninja_rate:.1f}x; goal {GOAL_LOOP}x")


if __name__ == "__main__":
    main()
