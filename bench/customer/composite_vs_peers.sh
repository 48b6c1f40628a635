#!/bin/bash
# Framing a 24-megapixel photo with an 1800x1200 overlay: the station against
# libvips and ImageMagick, then the two-core batch rate and the peak memory of
# a 40-photo preparation. Builds the bench preset when needed and makes a noisy
# 6000x4000 JPEG (camera-like 4:2:0, quality 90) once.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../photo24mp.sh"
rounds=${1:-9}
bench_target bench_composite
photo=$(bench_photo)
exec "$bench_build/bench/bench_composite" "$photo" "$rounds"
