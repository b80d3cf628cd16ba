#!/bin/sh
# Rebuilds tests/fuzz/corpus: for each format, counts just past the rows' block sizes and
# one long run, plus an empty run, merged by the fuzzer so that only seeds adding
# coverage stay.
# Usage: tests/fuzz/make_corpus.sh build-fuzz/tests/fuzz/convert_fuzz
set -eu
fuzzer=$1
corpus=$(dirname "$0")/corpus
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT

octal() { printf '\\%03o' "$1"; }
printf '\000\000\000\000' > "$seeds/empty-run"
for format in 0 1 2 3 4 5 6 7; do
    for count in 5 11 19 35 4095; do
        offset=$(( (format + count) % 8 )) after=$(( count % 16 ))
        header=$(octal $((format | offset << 3)))$(octal $((count & 255)))$(octal $((count >> 8 | after << 4)))
        # Sentinel 0x5A, then pixels with and without top bytes: 0xAB123456, pure red,
        # 0xFFFFFFFF and the truncation edges 0x000804F7.
        printf "$header\\132\\126\\064\\022\\253\\000\\000\\377\\000\\377\\377\\377\\377\\367\\004\\010\\000" \
            > "$seeds/f$format-c$count"
    done
done
rm -rf "$corpus"
mkdir -p "$corpus"
"$fuzzer" -merge=1 "$corpus" "$seeds"
