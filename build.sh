#!/usr/bin/env bash
# Sets up a Debian 12 machine for Vandrel, builds it, then starts it, runs every test or makes
# the Debian package.
#   bash build.sh run       build and start the program
#   bash build.sh test      build and run all tests (headless)
#   bash build.sh package   make build-deb/vandrel_<version>_<arch>.deb (program only, no tests)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")"
action=${1:-}
case "$action" in
run | test | package) ;;
*)
    echo "usage: bash build.sh run|test|package" >&2
    exit 2
    ;;
esac

# The fonts the program asks for by name: the Korean fixed-width face and Arial's metrics.
packages=(g++ make cmake qt6-base-dev fonts-nanum-coding fonts-liberation2)
# Sync passwords go to the desktop's keyring.
packages+=(qtkeychain-qt6-dev)
# The data directory's history is a git repository written with libgit2.
packages+=(libgit2-dev pkg-config)
# The import and export tests check their files with other address books.
if [ "$action" = test ]; then
    packages+=(python3-vobject khard)
    # The installed desktop entry and metainfo are checked with the desktop's validators.
    packages+=(desktop-file-utils appstream)
    # The CardDAV tests sync with a real server (and vdirsyncer as another device); openssl
    # makes the certificates for the certificate-error tests.
    packages+=(radicale vdirsyncer openssl)
fi
# The package's dependencies are read from the binary.
if [ "$action" = package ]; then
    packages+=(dpkg-dev file)
fi
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then
        as_root=()
    elif command -v sudo >/dev/null; then
        as_root=(sudo)
    else
        echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
        exit 1
    fi
    "${as_root[@]}" apt-get update
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ "$action" = package ]; then
    cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DVANDREL_BUILD_BENCH=OFF >/dev/null
    cmake --build build-deb --parallel "$(nproc)"
    cd build-deb
    exec cpack -G DEB
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"

if [ "$action" = test ]; then
    cd build
    exec ctest --output-on-failure --parallel "$(nproc)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): start Vandrel from a desktop session." >&2
fi
exec build/vandrel
