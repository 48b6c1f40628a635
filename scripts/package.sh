#!/bin/bash
# Builds an optimised station and makes its Debian package with CPack, checks
# it with lintian (errors fail, warnings are printed) and prints the path of
# out/package/kivo-slideshow_<version>_<arch>.deb as the last line.
#
#   bash scripts/package.sh
#   sudo apt install ./out/package/kivo-slideshow_*.deb
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
out="$PWD/out/package"
rm -rf "$out"
(cd build/release && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/kivo-slideshow_*.deb)
lintian --fail-on error "$deb" >&2
echo "$deb"
