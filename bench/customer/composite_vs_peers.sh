#!/bin/bash
# Framing a 24-megapixel photo with an 1800x1200 overlay: the station against
# libvips and ImageMagick, then the two-core batch rate and the peak memory of
# a 40-photo preparation. Builds the bench preset when needed and makes a noisy
# 6000x4000 JPEG (camera-like 4:2:0, quality 90) once.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build/bench"
rounds=${1:-9}

if [ ! -x "$build/bench/bench_composite" ]; then
    cmake --preset bench -S "$root" >/dev/null
    cmake --build "$build" --target bench_composite
fi
photo="$build/data/photo24mp.jpg"
if [ ! -s "$photo" ]; then
    mkdir -p "$(dirname "$photo")"
    convert -size 6000x4000 -seed 7 plasma:fractal -attenuate 0.4 +noise Gaussian \
        -sampling-factor 4:2:0 -quality 90 "$photo.tmp.jpg"
    mv "$photo.tmp.jpg" "$photo"
fi
exec "$build/bench/bench_composite" "$photo" "$rounds"
