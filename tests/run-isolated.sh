#!/bin/bash
# Runs one test in a private home: HOME and the XDG folders point into a fresh
# temporary folder that is removed afterwards, so no test touches a real home.
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/kivo-test.XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{home,config,state,data,cache,runtime}
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_STATE_HOME="$root/state" \
    XDG_DATA_HOME="$root/data" XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/runtime" \
    KIVO_TEST_ROOT="$root" QT_QPA_PLATFORM="${KIVO_TEST_QPA:-offscreen}" TMPDIR="$root"
unset DBUS_SESSION_BUS_ADDRESS DISPLAY
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Qt is not built with ThreadSanitizer: only accesses from our own code count.
export TSAN_OPTIONS="ignore_noninstrumented_modules=1:die_after_fork=0:suppressions=$here/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
"$@"
