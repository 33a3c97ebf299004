# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by ./run and ./test: installs the Debian packages the build needs when they are missing.
# shellcheck shell=bash

# What building and running needs (the private Qt headers for the tests, which are built too).
MODGATE_BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev qt6-base-private-dev qt6-svg-dev
    libqt6svg6 qt6-qpa-plugins libgl-dev fonts-dejavu-core libssl-dev libarchive-dev
    libxxhash-dev)
# What the end-to-end and package tests need on top (dpkg-dev and file for making the package,
# lintian for checking it).
MODGATE_TEST_PACKAGES=(xvfb xauth xdotool x11-utils imagemagick dbus dbus-x11 at-spi2-core
    python3 python3-pyatspi dpkg-dev file desktop-file-utils appstream lintian)

modgate_missing_packages() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            printf '%s\n' "$package"
    done
}

# modgate_ensure_packages PACKAGE...: installs the missing ones with apt-get, as root or through
# sudo; elsewhere stops with a message naming them.
modgate_ensure_packages() {
    if ! command -v dpkg-query >/dev/null 2>&1; then
        local tool missing_tools=()
        for tool in cmake c++; do command -v "$tool" >/dev/null 2>&1 || missing_tools+=("$tool"); done
        if ((${#missing_tools[@]})); then
            echo "modgate: missing ${missing_tools[*]}; install CMake 3.24+, a C++20 compiler and the" \
                "Qt 6 development packages (Core, Gui, Widgets, Svg, Test)." >&2
            exit 1
        fi
        return 0
    fi
    local missing
    mapfile -t missing < <(modgate_missing_packages "$@")
    ((${#missing[@]})) || return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "modgate: these Debian packages are missing and I cannot install them without root:" \
                "${missing[*]}" >&2
            echo "         apt-get install ${missing[*]}" >&2
            exit 1
        fi
    fi
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "modgate: missing packages: ${missing[*]} (and no apt-get to install them)" >&2
        exit 1
    fi
    echo "modgate: installing ${missing[*]}" >&2
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# modgate_build BUILD_DIR [CMAKE_ARGS...]: configures once, then rebuilds what changed.
modgate_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@"
    fi
    cmake --build "$dir" --parallel "$(nproc)"
}
