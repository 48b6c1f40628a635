# Shared by the peer-comparison scripts; sourced, not run.
#   bench_target NAME   builds bench/NAME with the bench preset when missing
#   bench_photo         prints the path of a noisy 6000x4000 JPEG (camera-like
#                       4:2:0, quality 90), made once into build/bench/data
bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench_build="$bench_root/build/bench"

bench_target() {
    if [ ! -x "$bench_build/bench/$1" ]; then
        cmake --preset bench -S "$bench_root" >/dev/null
        cmake --build "$bench_build" --target "$1"
    fi
}

bench_photo() {
    local photo="$bench_build/data/photo24mp.jpg"
    if [ ! -s "$photo" ]; then
        mkdir -p "$(dirname "$photo")"
        convert -size 6000x4000 -seed 7 plasma:fractal -attenuate 0.4 +noise Gaussian \
            -sampling-factor 4:2:0 -quality 90 "$photo.tmp.jpg"
        mv "$photo.tmp.jpg" "$photo"
    fi
    echo "$photo"
}
