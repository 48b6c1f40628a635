#!/bin/bash
# Runs one test in a private home: HOME and the XDG folders point into a fresh
# temporary folder that is removed afterwards, so no test touches a real home.
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/kivo-test.XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/config" "$root/state" "$root/data" "$root/cache" "$root/runtime"
chmod 700 "$root/runtime"
export HOME="$root/home"
export XDG_CONFIG_HOME="$root/config"
export XDG_STATE_HOME="$root/state"
export XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache"
export XDG_RUNTIME_DIR="$root/runtime"
export KIVO_TEST_ROOT="$root"
export QT_QPA_PLATFORM="${KIVO_TEST_QPA:-offscreen}"
export TMPDIR="$root"
unset DBUS_SESSION_BUS_ADDRESS DISPLAY
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export TSAN_OPTIONS="suppressions=$here/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
# Qt is not built with ThreadSanitizer: only accesses from our own code count.
export TSAN_OPTIONS="ignore_noninstrumented_modules=1:die_after_fork=0${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
"$@"
