#!/bin/bash
# Builds a parser fuzzer with clang (libFuzzer + AddressSanitizer +
# UndefinedBehaviorSanitizer) straight from the parser sources, then runs it for
# the given number of seconds. Exits non-zero when a crash, leak, slow input or
# sanitizer report is found (the input is kept in the work folder's artifacts).
#
#   bash scripts/fuzz-xml.sh 60          # description files (xml)
#   bash scripts/fuzz-xml.sh 60 plist    # preference files (property lists)
#
# KIVO_FUZZ_TIMEOUT: seconds one input may take (default 2).
set -euo pipefail
seconds=${1:-60}
target=${2:-xml}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=${KIVO_FUZZ_DIR:-$here/build/fuzz-$target}
cxx=${CXX_FUZZ:-clang++}
mkdir -p "$work/corpus" "$work/artifacts" "$work/gen"

case $target in
xml)
    folder=xml name=Xml libs=(Qt6Core)
    srcs=("$here/tests/fuzz/xml_parser_fuzzer.cpp" "$here/src/xml/KivoNSXmlParser.cpp"
        "$here/src/xml/MarkupBounds.cpp")
    seeds=$here/tests/data/xml-corpus
    # Large enough for a document at the parser's size bound.
    max_len=1048577
    ;;
plist)
    folder=platform name=Platform libs=(Qt6Core libplist-2.0)
    srcs=("$here/tests/fuzz/plist_fuzzer.cpp" "$here/src/platform/PropertyList.cpp"
        "$here/src/platform/AtomicFile.cpp")
    seeds=$here/tests/data/plist-corpus
    max_len=262144
    ;;
*)
    echo "unknown target '$target' (xml or plist)" >&2
    exit 2
    ;;
esac

# The folder's log category, written from the template as the build does.
gen="$work/gen"
for ext in h cpp; do
    sed -e "s/@KIVO_LOG_FOLDER@/$folder/g" -e "s/@KIVO_LOG_NAME@/$name/g" \
        "$here/cmake/LayerLog.$ext.in" >"$gen/${name}Log.$ext.new"
    if cmp -s "$gen/${name}Log.$ext.new" "$gen/${name}Log.$ext"; then
        rm "$gen/${name}Log.$ext.new"
    else
        mv "$gen/${name}Log.$ext.new" "$gen/${name}Log.$ext"
    fi
done
srcs+=("$gen/${name}Log.cpp")

exe="$work/${target}_fuzzer"
if [ ! -x "$exe" ] || [ -n "$(find "${srcs[@]}" "$here/src/$folder" -newer "$exe" -print -quit)" ]; then
    echo "building $exe"
    # shellcheck disable=SC2046
    "$cxx" -std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$here/src" -I"$here/src/$folder" -I"$gen" $(pkg-config --cflags "${libs[@]}") \
        "${srcs[@]}" $(pkg-config --libs "${libs[@]}") -o "$exe"
fi

# New inputs go to the work folder; the committed seeds are only read.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$exe" -max_total_time="$seconds" -timeout="${KIVO_FUZZ_TIMEOUT:-2}" -rss_limit_mb=2048 \
    -max_len="$max_len" -print_final_stats=1 -dict="$here/tests/fuzz/$target.dict" \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds"
