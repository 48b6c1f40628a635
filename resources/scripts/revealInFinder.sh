#!/bin/sh
# Shows a folder in the desktop's file browser.
# Usage: revealInFinder.sh FOLDER
# Returns at once: the browser is started detached, its output discarded.
# Exits 1 when FOLDER is not a folder, 127 when no opener is installed.

if [ "$#" -ne 1 ] || [ -z "$1" ]; then
    echo "usage: revealInFinder.sh FOLDER" >&2
    exit 64
fi
folder=$1
if [ ! -d "$folder" ]; then
    echo "revealInFinder.sh: not a folder: $folder" >&2
    exit 1
fi
case $folder in
-*) folder=./$folder ;;
esac
if ! command -v xdg-open >/dev/null 2>&1; then
    echo "revealInFinder.sh: xdg-open is not installed" >&2
    exit 127
fi
if command -v setsid >/dev/null 2>&1; then
    setsid xdg-open "$folder" </dev/null >/dev/null 2>&1 &
else
    nohup xdg-open "$folder" </dev/null >/dev/null 2>&1 &
fi
exit 0
