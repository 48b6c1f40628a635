#!/bin/sh
# Prints the newest photos of a day folder, newest first, one per line.
#
# Usage: getnewestfiles.sh FOLDER MAXCOUNT [CODE]
#   FOLDER    the day folder (or the demo slides folder)
#   MAXCOUNT  print at most this many; anything but a positive whole number means 40
#   CODE      only the photos directly inside the folder of FOLDER named CODE in
#             any letter case; without it, the photos directly inside every code
#             folder of FOLDER (FOLDER/*/, one level)
#
# A photo is a regular file, not hidden, whose name ends in ".jpg" in any letter
# case. Order: newest modification time first; equal times by path. Each line is
# the photo's path relative to FOLDER, "CODE/NAME.jpg" with the code folder's own
# name (no leading "./"). Names holding a newline are skipped. A code folder that
# is a symbolic link is not followed, so a code never leads outside FOLDER.
#
# Exit status: 0 (also when there is no photo or no folder for CODE);
# 1 when FOLDER is not a folder; 2 when CODE is empty, ".", "..", or holds "/"
# or a control character (nothing is printed); 64 for a usage error.

LC_ALL=C
export LC_ALL
nl='
'
tab=$(printf '\t')

if [ "$#" -lt 2 ] || [ "$#" -gt 3 ]; then
    echo "usage: getnewestfiles.sh FOLDER MAXCOUNT [CODE]" >&2
    exit 64
fi
folder=$1
max=$2
hascode=no
if [ "$#" -eq 3 ]; then
    hascode=yes
    code=$3
    case $code in
    '' | . | .. | */* | *[[:cntrl:]]*) exit 2 ;;
    esac
fi

case $max in
'' | *[!0-9]*) max=40 ;;
esac
while :; do
    case $max in
    0?*) max=${max#0} ;;
    *) break ;;
    esac
done
[ "$max" = 0 ] && max=40
[ "${#max}" -le 9 ] || max=999999999

if [ ! -d "$folder" ]; then
    echo "getnewestfiles.sh: not a folder: $folder" >&2
    exit 1
fi
cd -- "$folder" || exit 1

if [ "$hascode" = yes ]; then
    # The code as a pattern that matches only itself: glob characters escaped.
    pattern=$(printf '%s' "$code" | sed 's/[][*?\\]/\\&/g')
    # A matching name holds no newline: the code has no control character.
    find . -mindepth 1 -maxdepth 1 -type d -iname "$pattern" |
        while IFS= read -r dir; do
            find "$dir" -mindepth 1 -maxdepth 1 -type f -iname '*.jpg' ! -name '.*' \
                ! -name "*$nl*" -printf '%T@\t%p\0'
        done
else
    find . -mindepth 2 -maxdepth 2 -path './.*' -prune -o -type f -iname '*.jpg' \
        ! -name '.*' ! -name "*$nl*" -printf '%T@\t%p\0'
fi |
    sort -z -t "$tab" -k1,1nr -k2 |
    head -z -n "$max" |
    sed -z "s/^[^$tab]*$tab\\.\\///" |
    tr '\0' '\n'
