#!/bin/bash
# A cross build's frames must be identical to the x86-64 build's: the x87's rounding
# done in software, down to the last bit of every pixel. Both sides write a hash of
# every frame (rings_capture --hash), so that many frames cost little more than
# drawing them. The x86-64 side is taken from both its fast and its reference path;
# the cross build's reference is its fastest path.
#   cross_capture.sh NAME X86_64_RINGS_CAPTURE RUNNER CROSS_RINGS_CAPTURE [A-B]
# NAME names the cross build in messages; RUNNER runs its rings_capture (qemu-aarch64
# for aarch64, node for WebAssembly). A-B are the frames compared besides the edge
# frames, 0-360 (a tenth of the curve's period) unless given.
set -u
name=$1 native=$2 runner=$3 cross=$4 run=${5:-0-360}

# The counter's far end, 2^30, and a spread over the whole counter range.
ranges="$run 1073741824 2147483640-2147483647"
for k in $(seq 1 31); do
    ranges="$ranges $((k * (2147483647 / 32) + 7 * k))"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# hashes FILE COMMAND...: the lines of every range, in one file.
hashes() {
    local file=$1
    shift
    for frames in $ranges; do
        "$@" --frames "$frames" --hash - || return 1
    done >"$file"
}

if ! hashes "$work/cross" timeout 900 "$runner" "$cross"; then
    echo "FAIL: the $name build's rings_capture failed" >&2
    exit 1
fi
# Its progress line is for a terminal: with standard error in a pipe it says nothing.
said=$(timeout 300 "$runner" "$cross" --frames 1-3 --hash "$work/quiet" 2>&1)
if [ -n "$said" ]; then
    echo "FAIL: the $name build's rings_capture wrote to a pipe: $(printf %q "$said" | head -c 200)" >&2
    exit 1
fi
status=0
for path in fast reference; do
    if ! hashes "$work/$path" "$native" $([ $path = reference ] && echo --reference); then
        echo "FAIL: the x86-64 rings_capture failed" >&2
        exit 1
    fi
    if ! cmp -s "$work/$path" "$work/cross"; then
        frames=$(diff "$work/$path" "$work/cross" | sed -n 's/^> \([0-9]*\) .*/\1/p' | head -n 8 | tr '\n' ' ')
        echo "FAIL: the $name build's frames differ from the x86-64 $path path's: ${frames:-(lines missing)}" >&2
        status=1
    fi
done
echo "$name: $(wc -l <"$work/cross") frames compared: $([ $status = 0 ] && echo identical || echo DIFFERENT)"
exit $status
