#!/bin/bash
# Sets up and runs the station: installs the Debian packages when missing,
# builds an optimised station, installs it under out/release, makes a demo
# photo store in its own home folder (out/demo-home) and starts the installed
# station there. Type a demo code (1001, 1002, 1003, A7K2, B3X9) and Return,
# as a barcode scanner would, to see that customer's photos in the venue's
# frame on the customer display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
cmake --install build/release >/dev/null
demo_home="$PWD/out/demo-home"
bash scripts/make-demo-store.sh "$demo_home"
export HOME="$demo_home"
export XDG_CONFIG_HOME="$demo_home/.config"
export XDG_DATA_HOME="$demo_home/.local/share"
export XDG_STATE_HOME="$demo_home/.local/state"
export XDG_CACHE_HOME="$demo_home/.cache"
exec out/release/bin/kivo-slideshow "$@"
