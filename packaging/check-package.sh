#!/usr/bin/env bash
# Makes the Debian package and shows what lintian says about it; not part of the tests.
#   bash packaging/check-package.sh [build-folder]     (default: build-deb)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build-deb}
if ! command -v lintian >/dev/null; then
    echo "lintian is missing: apt-get install lintian" >&2
    exit 1
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DVANDREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target vandrel >/dev/null
rm -f "$build"/vandrel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/vandrel_*.deb)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends
echo "== lintian --display-info --pedantic"
# Exit status: lintian's, non-zero when it finds an error.
lintian --display-info --pedantic "$deb"
echo "lintian: no errors"
