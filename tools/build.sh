#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds Torvale, then starts
# the editor ("run"), runs every test ("test") or makes the Debian package
# ("package": build/torvale_<version>_<arch>.deb).
set -euo pipefail

usage() {
    echo "usage: tools/build.sh run [MOD-FILE] | test | build | package" >&2
    exit 64
}
[ $# -ge 1 ] || usage
what=$1
shift

top=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVALE_BUILD_DIR:-$top/build}

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libgtest-dev libbenchmark-dev
    # check --json parsed back in the tests.
    nlohmann-json3-dev
    # The unified diffs of the check, and patch to apply them in its tests.
    libgit2-dev patch
    fonts-dejavu-core fonts-liberation
    # The install and package tests: the desktop's own validators and databases,
    # the manual page reader, and the Debian package tools.
    desktop-file-utils appstream shared-mime-info xdg-utils libfile-mimeinfo-perl
    man-db dpkg-dev file
    # The differential test of the installer: YaBB's own code under Perl, with
    # the modules it loads that Debian's perl lacks, and the JSON reader.
    perl libcgi-pm-perl libarchive-zip-perl liburi-perl nlohmann-json3-dev
    # The installed program started under Xvfb as the desktop would.
    xvfb xdotool libglib2.0-bin
)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || {
            echo "Run this as root, or install: ${missing[*]}" >&2
            exit 1
        }
        as_root=(sudo)
    fi
    "${as_root[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# TORVALE_SANITIZE=1: everything built with AddressSanitizer and
# UndefinedBehaviorSanitizer (use a build folder of its own).
compile() {
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTORVALE_SANITIZE="$([ -n "${TORVALE_SANITIZE:-}" ] && echo ON || echo OFF)" \
        -DTORVALE_GUI="${TORVALE_GUI:-ON}" -DTORVALE_BENCH="${TORVALE_BENCH:-ON}"
    cmake --build "$build"
}

case $what in
run)
    install_missing
    compile
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "No display to show the window on (DISPLAY is not set)." >&2
        exit 1
    fi
    exec "$build/app/torvale" "$@"
    ;;
test)
    install_missing
    compile
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$(nproc)" \
        ${TORVALE_CTEST_EXCLUDE:+-E "$TORVALE_CTEST_EXCLUDE"}
    ;;
build)
    install_missing
    compile
    ;;
package)
    install_missing
    compile
    (cd "$build" && cpack -G DEB)
    ;;
*) usage ;;
esac
