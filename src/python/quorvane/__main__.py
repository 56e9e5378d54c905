"""python3 -m quorvane: quorvane-split itself, from the data folder the module reads its words from."""

import os
import shutil
import sys

from . import _quorvane


def main():
    chosen = os.environ.get("QUORVANE_DATA_DIR")
    folder = chosen or _quorvane._installed_data_dir
    program = os.path.join(folder, "quorvane-split")
    arguments = sys.argv[1:]
    if not os.access(program, os.X_OK):
        program = shutil.which("quorvane-split")
        if program is None:
            sys.exit(f"quorvane: quorvane-split was found neither in {folder} nor on the PATH")
        if chosen:
            # The program reads its own folder unless told otherwise; a later --data-dir still wins.
            arguments = ["--data-dir", chosen] + arguments
    sys.stdout.flush()
    os.execv(program, ["quorvane-split"] + arguments)


if __name__ == "__main__":
    main()
