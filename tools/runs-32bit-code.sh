#!/bin/sh
# Exits 0 when this machine runs 32-bit x86 programs, found out by running one: a
# kernel can be built or booted without them (ia32_emulation=off), and nothing but
# trying tells. The program is the smallest ELF file that exits 0 (exit through
# int 0x80), written out byte by byte so that no 32-bit tool chain is needed.
set -eu
program=$(mktemp)
trap 'rm -f "$program"' EXIT
# The ELF header, one program header loading the file at 0x08048000, then the code:
# mov eax, 1; xor ebx, ebx; int 0x80.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$program"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$program"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$program"
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$program"
printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' >>"$program"
printf '\270\001\000\000\000\061\333\315\200' >>"$program"
chmod +x "$program"
"$program" 2>/dev/null
