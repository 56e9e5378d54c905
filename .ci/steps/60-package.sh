#!/usr/bin/env bash
# Builds the Debian packages from the tested build, checks them with lintian, installs them into a scratch root
# and checks that the installed batch splitter gives the same rows as the build's, that the desktop entry and
# the AppStream metadata validate, and that the installed Python module splits with the installed data and
# knows its version. quorvane-split and python3-quorvane must need no graphical library: checked on their
# dependencies (dpkg -I) and on what their binaries load (ldd).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quorvane_*_amd64.deb)
echo "package: $deb"
lintian --fail-on error "$deb" || { echo "lintian found errors"; exit 1; }
split_deb=$(ls "$build"/quorvane-split_*_amd64.deb)
python_deb=$(ls "$build"/python3-quorvane_*_amd64.deb)
for package in "$split_deb" "$python_deb"; do
    echo "package: $package"
    lintian --fail-on error "$package" || { echo "lintian found errors in $package"; exit 1; }
    depends=$(dpkg-deb -f "$package" Depends)
    echo "  depends: $depends"
    if grep -Eq 'libqt6(gui|widgets)|qt6-qpa|libgl1|libegl|libglx|libopengl|mesa|fonts-' <<<"$depends"; then
        echo "$package depends on a graphical library"; exit 1
    fi
done
dpkg-deb -f "$deb" Depends | grep -q "quorvane-split (= " || { echo "quorvane does not depend on quorvane-split"; exit 1; }
dpkg-deb -f "$python_deb" Depends | grep -q "quorvane-split (= " || { echo "python3-quorvane does not depend on quorvane-split"; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
dpkg -x "$split_deb" "$root"
dpkg -x "$python_deb" "$root"
for binary in "$root"/usr/lib/quorvane/quorvane-split "$root"/usr/lib/python3/dist-packages/quorvane/_quorvane*.so; do
    if ldd "$binary" | grep -Eq 'libQt6(Gui|Widgets)|libGL|libEGL|libOpenGL|libxcb|libX11'; then
        echo "$binary loads a graphical library:"; ldd "$binary"; exit 1
    fi
done
echo "quorvane-split and the module load Qt Core alone: $(ldd "$root"/usr/lib/quorvane/quorvane-split | grep -c libQt6) Qt library"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

names=$'www.BlueSkyGardens.com\nhttp://www.example.com/about-us\ncarpet\n4sale.net\n\nnosuchwordxq.com'
expected=$(printf '%s\n' "$names" | "$build"/bin/quorvane-split -o)
installed=$(printf '%s\n' "$names" | "$root"/usr/lib/quorvane/quorvane-split -o)
linked=$(printf '%s\n' "$names" | "$root"/usr/bin/quorvane-split -o)
[ -n "$expected" ] || { echo "the build's quorvane-split gave no rows"; exit 1; }
[ "$installed" = "$expected" ] || { echo "installed rows differ:"; diff <(echo "$expected") <(echo "$installed"); exit 1; }
[ "$linked" = "$expected" ] || { echo "rows through /usr/bin differ"; exit 1; }
echo "installed quorvane-split: $(echo "$installed" | wc -l) rows, same as the build's"

# The module finds the data of the package it came with, wherever the packages were unpacked.
modules="$root"/usr/lib/python3/dist-packages
split=$(env -u QUORVANE_DATA_DIR PYTHONPATH="$modules" /usr/bin/python3 -c \
    "import quorvane; print(quorvane.split('bestcheapflights.com'))")
[ "$split" = "['best', 'cheap', 'flights']" ] || { echo "installed module split: $split"; exit 1; }
module_rows=$(printf '%s\n' "$names" | env -u QUORVANE_DATA_DIR PYTHONPATH="$modules" /usr/bin/python3 -m quorvane -o)
[ "$module_rows" = "$expected" ] || { echo "python3 -m quorvane rows differ"; exit 1; }
echo "installed module: $split; python3 -m quorvane gives the same rows"
versions=$(env -u QUORVANE_DATA_DIR PYTHONPATH="$modules" /usr/bin/python3 -c \
    "import quorvane, importlib.metadata as m; print(quorvane.__version__, m.version('quorvane'))")
program_version=$("$root"/usr/bin/quorvane-split --version | cut -d' ' -f2)
[ "$versions" = "$program_version $program_version" ] || { echo "module versions: $versions"; exit 1; }
echo "installed module's version and metadata: $versions"
