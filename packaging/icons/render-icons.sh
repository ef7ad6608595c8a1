#!/usr/bin/env bash
# Renders the hicolor PNG sizes from the scalable icon (needs rsvg-convert: librsvg2-bin).
# 16 and 32 are the program's own hand-drawn images, which stay crisp at those sizes.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for size in 24 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" kr.vandrel.Vandrel.svg -o "kr.vandrel.Vandrel-$size.png"
done
cp ../../resources/images/mainicon-16.png kr.vandrel.Vandrel-16.png
cp ../../resources/images/mainicon-32.png kr.vandrel.Vandrel-32.png
