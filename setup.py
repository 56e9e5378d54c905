"""Builds the extension of the Python module with the project's CMake, and puts the word data beside it."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent
DATA_FILES = ["dbWords.mdb", "google.col", "mit.col", "suffix.lst", "unlisted.lst", "namecounts.txt", "capitals.lst"]


def project_version():
    return re.search(r"project\(Quorvane VERSION ([0-9.]+)", (SOURCE / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        f"-DPython3_EXECUTABLE={sys.executable}", "-DQUORVANE_BUILD_TESTS=OFF",
                        "-DQUORVANE_BUILD_BENCH=OFF"], check=True)
        subprocess.run(["cmake", "--build", str(build), "-j", str(os.cpu_count() or 1), "--target", "quorvane_python",
                        "quorvane_word_database"], check=True)
        package = pathlib.Path(self.get_ext_fullpath(ext.name)).parent
        data = package / "data"
        data.mkdir(parents=True, exist_ok=True)
        built = next((build / "python" / "quorvane").glob("_quorvane*.so"))
        shutil.copyfile(built, self.get_ext_fullpath(ext.name))
        for name in DATA_FILES:
            shutil.copyfile(build / "bin" / name, data / name)
        python = "%d.%d" % sys.version_info[:2]
        (package / "_layout.py").write_text(
            f'DATA_DIR = "data"\nBUILT_FOR = "{python}"\nVERSION = "{project_version()}"\n')


setup(version=project_version(), ext_modules=[Extension("quorvane._quorvane", sources=[])], cmdclass={"build_ext": CMakeBuild})
