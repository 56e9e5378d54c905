"""The README's examples and the manual page's JSON Lines example, run against this build."""

import doctest
import os
import pathlib
import re
import subprocess
import sys

import pytest

import quorvane

SOURCE = pathlib.Path(__file__).resolve().parents[2]
README = (SOURCE / "README.md").read_text(encoding="utf-8")
PROGRAM_DIR = pathlib.Path(os.environ["QUORVANE_DATA_DIR"])
ENVIRONMENT = {**os.environ, "PATH": f"{PROGRAM_DIR}{os.pathsep}{os.environ['PATH']}"}


def blocks(language):
    return re.findall(rf"^```{language}\n(.*?)^```", README, re.S | re.M)


def console_examples():
    for block in blocks("console"):
        for example in re.split(r"^\$ ", block, flags=re.M)[1:]:
            command, _, output = example.partition("\n")
            yield command, output


@pytest.mark.parametrize("command, output", list(console_examples()))
def test_the_readme_shows_what_quorvane_split_prints(command, output):
    done = subprocess.run(["bash", "-c", command], capture_output=True, text=True, env=ENVIRONMENT, check=True)
    assert done.stdout == output


def test_the_readme_python_examples_run_as_shown(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "my-words.col").write_text("car\npet\ncarpet\n")
    (tmp_path / "names.txt").write_text("bestcheapflights.com\nhttps://www.xn--mnchen-3ya.de/carpet\n")
    examples = "\n".join(block for block in blocks("python") if ">>>" in block)
    test = doctest.DocTestParser().get_doctest(examples, {}, "README", "README.md", 0)
    runner = doctest.DocTestRunner()
    runner.run(test)
    assert runner.summarize(verbose=False) == (0, len(test.examples)) and test.examples


def test_the_readme_dask_recipe_gives_the_rows_of_split_many(tmp_path):
    recipe = next(block for block in blocks("python") if "dask" in block)
    names = [f"{word}{number}.com" for number in range(3000) for word in ("bestcheap", "BlueSky", "carpet\U0001F600")]
    (tmp_path / "names.txt").write_text("".join(name + "\n" for name in names), encoding="utf-8")
    subprocess.run([sys.executable, "-c", recipe], cwd=tmp_path, check=True, timeout=300)
    rows = []
    for part in sorted((tmp_path / "rows").iterdir(), key=lambda path: int(path.stem)):
        rows += part.read_text(encoding="utf-8").splitlines()
    assert len(list((tmp_path / "rows").iterdir())) >= 1
    assert rows == [" ".join(words) for words in quorvane.Splitter(list=2).split_many(names)]


def test_the_manual_pages_json_lines_example_is_what_the_program_prints():
    page = (SOURCE / "packaging" / "quorvane-split.1").read_text().replace("\\-", "-").replace("\\e", "\\")
    command, line = re.search(r"from\n(printf .*?),\n.*?\n.nf\n(\{.*?\})\n", page, re.S).groups()
    done = subprocess.run(["bash", "-c", command], capture_output=True, text=True, env=ENVIRONMENT, check=True)
    assert done.stdout == line + "\n"
