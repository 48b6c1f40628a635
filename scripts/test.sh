#!/bin/bash
# Sets up and runs the whole test suite: installs the Debian packages when
# missing, builds with AddressSanitizer + UndefinedBehaviorSanitizer and runs
# CTest (unit tests and whole-station tests on a private X server and bus).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
preset="${KIVO_TEST_PRESET:-asan}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)" "$@"
