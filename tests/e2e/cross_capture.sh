#!/bin/bash
# A cross build's frames must be byte-identical to the x86-64 build's: the x87's
# rounding done in software, down to the last bit of every pixel. The x86-64 side is
# taken from both its fast and its reference path; the cross build's reference is
# its fastest path.
#   cross_capture.sh NAME X86_64_RINGS_CAPTURE RUNNER CROSS_RINGS_CAPTURE
# NAME names the cross build in messages; RUNNER runs its rings_capture (qemu-aarch64
# for aarch64, node for WebAssembly).
set -u
name=$1 native=$2 runner=$3 cross=$4

# The curve's period and its quarter-turn edges, the counter's far end, and a spread
# over the whole counter range.
ranges="0-360 1073741824 2147483640-2147483647"
for k in $(seq 1 31); do
    ranges="$ranges $((k * (2147483647 / 32) + 7 * k))"
done

status=0
compared=0
for frames in $ranges; do
    got=$(timeout 300 "$runner" "$cross" --frames "$frames" --raw - | sha256sum)
    for path in "" --reference; do
        want=$("$native" --frames "$frames" --raw - $path | sha256sum)
        if [ "$want" != "$got" ]; then
            echo "FAIL: frames $frames: the $name build's pixels differ from the x86-64 ${path:-fast} path's" >&2
            status=1
        fi
    done
    first=${frames%-*} last=${frames#*-}
    compared=$((compared + last - first + 1))
done
echo "$name: $compared frames compared: $([ $status = 0 ] && echo identical || echo DIFFERENT)"
exit $status
