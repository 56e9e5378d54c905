#!/usr/bin/env bash
# Installs the Debian 12 packages that building (and, with "test", testing) needs, when any is missing.
# usage: tools/install-deps.sh [build|test|desktop-calc]
#   desktop-calc: the desktop LibreOffice Calc, in place of the windowless one (they conflict), and what
#                 test_calc_visible looks at the screen with; .ci/run installs it before the test command.
set -euo pipefail

build_packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libmdb3 mdbtools-dev
    fonts-liberation2
    librsvg2-bin
    libreoffice-dev
    python3-dev pybind11-dev python3-pybind11
)
test_packages=(
    clang-format
    mdbtools
    xvfb xauth xclip x11-utils
    clang libclang-rt-14-dev
    dpkg-dev lintian appstream desktop-file-utils
    python3 python3-pytest scowl
    python3-venv python3-wheel-whl python3-dask python3-distributed
    parallel
)

if [ "${1:-build}" = desktop-calc ]; then
    installed_calc() { dpkg-query -W -f='${Status}' libreoffice-calc 2>/dev/null | grep -q "install ok installed"; }
    if ! installed_calc || ! command -v xwininfo >/dev/null; then
        echo "Installing: libreoffice-calc x11-utils"
        sudo=()
        [ "$(id -u)" -ne 0 ] && sudo=(sudo)
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
            libreoffice-calc x11-utils
    fi
    exit 0
fi

wanted=("${build_packages[@]}")
# Either Calc package serves, and one that is installed is never swapped for the other (they conflict). When
# neither is there, the program gets the desktop one, whose documents open in a window; the tests get the
# smaller one without windows.
if [ "${1:-build}" = test ]; then
    wanted+=("${test_packages[@]}" "libreoffice-calc-nogui|libreoffice-calc")
else
    wanted+=("libreoffice-calc|libreoffice-calc-nogui")
fi

missing=()
# Node.js may come from elsewhere with npm bundled (its nodejs package then conflicts with Debian's npm).
if [ "${1:-build}" = test ] && ! command -v npm >/dev/null; then
    wanted+=(nodejs npm)
fi
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
for wish in "${wanted[@]}"; do
    IFS='|' read -r -a alternatives <<<"$wish"
    found=false
    for package in "${alternatives[@]}"; do
        if installed "$package"; then
            found=true
            break
        fi
    done
    $found || missing+=("${alternatives[0]}")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
