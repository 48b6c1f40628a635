#!/bin/bash
# Measures line and branch coverage of src/ and tools/ over the whole test
# suite (unit and whole-station tests) with gcov and gcovr.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
cmake --preset coverage >/dev/null
cmake --build --preset coverage
find build/coverage -name '*.gcda' -delete
ctest --preset coverage -j "$(nproc)" "$@" || true
gcovr --root . --filter 'src/' --filter 'tools/' --exclude-unreachable-branches \
    --exclude-throw-branches --print-summary --txt build/coverage/coverage.txt build/coverage
