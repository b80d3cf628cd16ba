#!/bin/bash
# Runs one of the demo programs as a person would, on a private X server: waits for
# its window, reads the title, looks at the screen, presses a key or closes the
# window, and checks the exit status.
#
#   demo_e2e.sh --program PATH [--wine] [--screen WxHxD] [--env NAME=VALUE]...
#               [--title] [--picture [W H]] [--blocks N] [--end key|close|none] [--status N]
#
# --title    the title must read "Vorlix Julia Rings FPS:" and a positive number
# --picture  the screen must show a point-symmetric, lit picture of W x H (320 x 240)
# --blocks   ... made of N x N blocks of one colour each (its pixels enlarged N times)
# --end      how the run ends: a key press (default), the window's close request, or
#            by itself (for runs that must fail to open)
# --status   the exit status expected (default 0; -1 is 255)
set -u
here=$(cd "$(dirname "$0")" && pwd)
picture_check=${PICTURE_CHECK:-$here/picture_check}
x_close=${X_CLOSE:-$here/x_close}

program="" wine=0 screen="1024x768x24" title=0 picture=0 pic_w=320 pic_h=240 blocks=1 end=key status=0
envs=()
while [ $# -gt 0 ]; do
    case "$1" in
        --program) program=$2; shift 2 ;;
        --wine) wine=1; shift ;;
        --screen) screen=$2; shift 2 ;;
        --env) envs+=("$2"); shift 2 ;;
        --title) title=1; shift ;;
        --picture)
            picture=1; shift
            if [ $# -ge 2 ] && [[ $1 =~ ^[0-9]+$ ]]; then pic_w=$1 pic_h=$2; shift 2; fi ;;
        --blocks) blocks=$2; shift 2 ;;
        --end) end=$2; shift 2 ;;
        --status) status=$2; shift 2 ;;
        *) echo "demo_e2e: unknown option $1" >&2; exit 2 ;;
    esac
done
[ -x "$program" ] || { echo "demo_e2e: no program at '$program'" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid="" program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill -9 "$program_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    if [ "$wine" = 1 ]; then WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; fi
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A private X server; it tells its display number when ready.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"

if [ "$wine" = 1 ]; then
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    launch=(wine "$program")
else
    launch=("$program")
fi
env "${envs[@]+"${envs[@]}"}" timeout 120 "${launch[@]}" >"$work/out.log" 2>&1 &
program_pid=$!

finish() {  # waits for the program to end by itself, then checks its status
    local waited=0
    while kill -0 "$program_pid" 2>/dev/null; do
        sleep 0.2; waited=$((waited + 1))
        [ $waited -lt 300 ] || fail "the program did not end within 60 s"
    done
    wait "$program_pid"; local got=$?
    program_pid=""
    [ "$got" = "$((status & 255))" ] || fail "exit status $got, expected $((status & 255)); output: $(tail -5 "$work/out.log")"
    echo "exit status $got"
}

if [ "$end" = none ]; then
    finish
    exit 0
fi

window=""
for _ in $(seq 600); do
    window=$(xdotool search --name '^Vorlix Julia' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended before showing a window: $(tail -5 "$work/out.log")"
    sleep 0.1
done
[ -n "$window" ] || fail "no window appeared"

if [ "$title" = 1 ]; then
    sleep 2
    name=""
    for _ in $(seq 50); do
        name=$(xdotool getwindowname "$window" 2>/dev/null)
        [[ $name =~ ^Vorlix\ Julia\ Rings\ FPS:([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 0 ] && break
        sleep 0.2
    done
    [[ $name =~ ^Vorlix\ Julia\ Rings\ FPS:([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 0 ] ||
        fail "title reads '$name'"
    echo "title: $name"
fi

if [ "$picture" = 1 ]; then
    found=0
    for attempt in $(seq 10); do
        sleep 0.5
        import -display "$DISPLAY" -window root -depth 8 "ppm:$work/screen.ppm" 2>/dev/null || continue
        if "$picture_check" "$work/screen.ppm" "$pic_w" "$pic_h" "$blocks"; then found=1; break; fi
    done
    if [ "$found" = 0 ]; then
        mkdir -p "${E2E_KEEP:-/tmp}" && cp "$work/screen.ppm" "${E2E_KEEP:-/tmp}/e2e-last-screen.ppm" 2>/dev/null
        fail "no point-symmetric lit picture on the screen (last screenshot kept in ${E2E_KEEP:-/tmp})"
    fi
fi

ended_within() {  # seconds: whether the program ends within them
    for _ in $(seq $(($1 * 5))); do
        kill -0 "$program_pid" 2>/dev/null || return 0
        sleep 0.2
    done
    return 1
}

case "$end" in
    key)
        # On a loaded machine the X server can drop a synthetic key sent before the
        # window has the input focus; give it the focus and press again, and say so.
        xdotool key --window "$window" Escape 2>/dev/null || xdotool key Escape
        for attempt in 2 3; do
            ended_within 15 && break
            echo "no exit 15 s after the key; focusing the window and pressing again (press $attempt)"
            xdotool windowfocus --sync "$window" 2>/dev/null
            xdotool key Escape
        done ;;
    close) "$x_close" "$window" || fail "could not ask the window to close" ;;
esac
finish
