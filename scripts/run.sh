#!/bin/bash
# Sets up and runs the station: installs the Debian packages when missing,
# builds an optimised station, installs it under out/release and starts it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
cmake --install build/release >/dev/null
exec out/release/bin/kivo-slideshow "$@"
