#!/bin/bash
# Decode-for-display of a 24-megapixel photo: the station's loader against
# djpeg and vipsthumbnail. Builds the bench preset when needed, makes a noisy
# 6000x4000 JPEG (camera-like 4:2:0, quality 90) once, and prints the figures.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build/bench"
rounds=${1:-15}

if [ ! -x "$build/bench/bench_decode" ]; then
    cmake --preset bench -S "$root" >/dev/null
    cmake --build "$build" --target bench_decode
fi
photo="$build/data/photo24mp.jpg"
if [ ! -s "$photo" ]; then
    mkdir -p "$(dirname "$photo")"
    convert -size 6000x4000 -seed 7 plasma:fractal -attenuate 0.4 +noise Gaussian \
        -sampling-factor 4:2:0 -quality 90 "$photo.tmp.jpg"
    mv "$photo.tmp.jpg" "$photo"
fi
exec "$build/bench/bench_decode" "$photo" "$rounds"
