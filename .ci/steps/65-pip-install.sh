#!/usr/bin/env bash
# Installs the module from the source tree as a Python user would, offline: a virtual environment without the
# system's packages, pip install --no-build-isolation . (setuptools from the environment, wheel from Debian's
# python3-wheel-whl, CMake, Qt and pybind11 from the system), then imports it elsewhere and splits a URL.
set -euo pipefail
cd "$(dirname "$0")/../.."
source_tree=$PWD
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
/usr/bin/python3 -m venv "$scratch/venv"
"$scratch/venv/bin/pip" install -q --no-index /usr/share/python-wheels/wheel-*.whl
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi
"$scratch/venv/bin/pip" install -q --no-index --no-build-isolation "$source_tree"
cd "$scratch"
split=$(env -u QUORVANE_DATA_DIR -u PYTHONPATH "$scratch/venv/bin/python" -c \
    "import quorvane; print(quorvane.split('https://www.xn--mnchen-3ya.de/bestcheapflights'))")
echo "pip-installed module: $split"
[[ "$split" == *"'best', 'cheap', 'flights']" ]] || { echo "unexpected split"; exit 1; }
versions=$("$scratch/venv/bin/python" -c "import quorvane, importlib.metadata as m; print(quorvane.__version__, m.version('quorvane'))")
echo "version and metadata: $versions"
read -r module metadata <<<"$versions"
[ "$module" = "$metadata" ] || { echo "the module's version differs from its metadata's"; exit 1; }
"$scratch/venv/bin/pip" list 2>/dev/null | grep -E '^quorvane ' || { echo "pip list does not show quorvane"; exit 1; }
