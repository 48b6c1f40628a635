#!/bin/bash
# Decode-for-display of a 24-megapixel photo: the station's loader against
# djpeg and vipsthumbnail. Builds the bench preset when needed, makes a noisy
# 6000x4000 JPEG (camera-like 4:2:0, quality 90) once, and prints the figures.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../photo24mp.sh"
rounds=${1:-15}
bench_target bench_decode
photo=$(bench_photo)
exec "$bench_build/bench/bench_decode" "$photo" "$rounds"
