#!/usr/bin/env bash
# Builds the Debian packages from the tested build, checks them with lintian, installs them into a scratch root
# and checks that the installed batch splitter gives the same rows as the build's, that the desktop entry and
# the AppStream metadata validate, and that the installed Python module splits with the installed data.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quorvane_*_amd64.deb)
echo "package: $deb"
lintian --fail-on error "$deb" || { echo "lintian found errors"; exit 1; }
python_deb=$(ls "$build"/python3-quorvane_*_amd64.deb)
echo "package: $python_deb"
lintian --fail-on error "$python_deb" || { echo "lintian found errors in the Python package"; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
dpkg -x "$python_deb" "$root"
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
