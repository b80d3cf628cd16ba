#!/bin/bash
# The program's icon: group 100 holding one 31 x 25 image of 256 colours (8 bits).
# (The x86_64 binutils read 32-bit programs too.)
#   icon_check.sh PROGRAM.exe
set -u
resources=$(x86_64-w64-mingw32-windres -i "$1" -O rc 2>&1) || { echo "FAIL: cannot read resources of $1" >&2; exit 1; }
group=$(grep -A4 '^100 14 /\* RT_GROUP_ICON \*/' <<<"$resources")
grep -q 'Has 1 elements' <<<"$group" || { echo "FAIL: no icon group 100 with one image in $1" >&2; exit 1; }
grep -qF '"\037\031\000\000", 1, 8,' <<<"$group" || { echo "FAIL: icon of $1 is not 31 x 25 at 8 bits: $group" >&2; exit 1; }
echo "icon group 100: one 31 x 25 image, 256 colours"
