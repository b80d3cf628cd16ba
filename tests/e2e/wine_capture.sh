#!/bin/bash
# A Windows build's frames must be byte-identical to the Linux build's: the same
# rounding on both, down to the last bit of every pixel.
#   wine_capture.sh LINUX_RINGS_CAPTURE WINDOWS_RINGS_CAPTURE_EXE
set -u
linux=$1 windows=$2
source "$(dirname "$0")/wine.sh"
use_wine "$windows"
work=$(mktemp -d)
trap 'end_wine; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix
make_prefix || { echo "FAIL: Wine could not make its prefix" >&2; exit 1; }

status=0
for frames in 1-360 0 89-91 1073741824 2147483640-2147483647; do
    for path in "" --reference; do
        want=$("$linux" --frames "$frames" --raw - $path | sha256sum)
        got=$(timeout 300 "$wine_loader" "$windows" --frames "$frames" --raw - $path | sha256sum;
              exit "${PIPESTATUS[0]}")
        ran=$?
        if [ $ran != 0 ]; then
            echo "FAIL: frames $frames ${path:-fast}: the Windows build ended with status $ran" >&2
            status=1
        elif [ "$want" = "$got" ]; then
            echo "frames $frames ${path:-fast}: identical"
        else
            echo "FAIL: frames $frames ${path:-fast}: the Windows build's pixels differ" >&2
            status=1
        fi
    done
done
exit $status
