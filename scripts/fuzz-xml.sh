#!/bin/bash
# Builds the description-file parser fuzzer with clang (libFuzzer +
# AddressSanitizer + UndefinedBehaviorSanitizer) straight from the parser
# sources, then runs it for the given number of seconds. Exits non-zero when a
# crash, leak or sanitizer report is found (the input is kept in the work folder).
#
#   bash scripts/fuzz-xml.sh 60
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=${KIVO_FUZZ_DIR:-$here/build/fuzz-xml}
cxx=${CXX_FUZZ:-clang++}
mkdir -p "$work/corpus" "$work/artifacts"

# The xml folder's log category, written from the template as the build does.
gen="$work/gen"
mkdir -p "$gen"
for ext in h cpp; do
    sed -e 's/@KIVO_LOG_FOLDER@/xml/g' -e 's/@KIVO_LOG_NAME@/Xml/g' \
        "$here/cmake/LayerLog.$ext.in" >"$gen/XmlLog.$ext.new"
    if cmp -s "$gen/XmlLog.$ext.new" "$gen/XmlLog.$ext"; then
        rm "$gen/XmlLog.$ext.new"
    else
        mv "$gen/XmlLog.$ext.new" "$gen/XmlLog.$ext"
    fi
done

srcs=("$here/tests/fuzz/xml_parser_fuzzer.cpp" "$here/src/xml/KivoNSXmlParser.cpp" "$gen/XmlLog.cpp")
exe="$work/xml_parser_fuzzer"
if [ ! -x "$exe" ] || [ -n "$(find "${srcs[@]}" "$here/src/xml" -newer "$exe" -print -quit)" ]; then
    echo "building $exe"
    # shellcheck disable=SC2046
    "$cxx" -std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$here/src" -I"$gen" $(pkg-config --cflags Qt6Core) \
        "${srcs[@]}" $(pkg-config --libs Qt6Core) -o "$exe"
fi

# New inputs go to the work folder; the committed seeds are only read.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -dict="$here/tests/fuzz/xml.dict" \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$here/tests/data/xml-corpus"
