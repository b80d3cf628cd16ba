#!/bin/bash
# Runs one of the demo programs as a person would, on a private X server: waits for
# its window, reads the title, looks at the screen, presses a key or closes the
# window, and checks the exit status.
#
#   demo_e2e.sh --program PATH [--wine | --emulator CMD] [--screen WxHxD] [--display none|dead] [--wm]
#               [--env NAME=VALUE]... [--title] [--picture [W H]] [--blocks N] [--minimize] [--focus-away]
#               [--end key|close|wm-close|x-gone|none] [--within S] [--status N] [--silent]
#
# --emulator runs the program and the helper programs of its build through CMD, split
#            at spaces (a cross-built tree's qemu)
# --display  no X server: DISPLAY unset (none) or naming a display where none runs (dead)
# --wm       a window manager (openbox) runs on the X server
# --title    the title must read "Vorlix Julia Rings FPS:" and a positive number
# --picture  the screen must show a point-symmetric, lit picture of W x H (320 x 240)
# --blocks   ... made of N x N blocks of one colour each (its pixels enlarged N times)
# --minimize the window is minimised and restored; its picture must move again after
# --focus-away  another program takes the focus: the picture must stand still, then
#            move again once the focus is back
# --end      how the run ends: a key press (default), the window's close request, the
#            window manager's close, the X server going away, or by itself (for runs
#            that must fail to open)
# --within   the program must end within S seconds of that (default 60)
# --status   the exit status expected (default 0; -1 is 255)
# --silent   the program must print nothing
set -u
here=$(cd "$(dirname "$0")" && pwd)
picture_check=${PICTURE_CHECK:-$here/picture_check}
x_close=${X_CLOSE:-$here/x_close}

program="" wine=0 emulator="" screen="1024x768x24" title=0 picture=0 pic_w=320 pic_h=240 blocks=1 end=key status=0
display="" wm=0 minimize=0 focus_away=0 within=60 silent=0
envs=()
while [ $# -gt 0 ]; do
    case "$1" in
        --program) program=$2; shift 2 ;;
        --wine) wine=1; shift ;;
        --emulator) emulator=$2; shift 2 ;;
        --screen) screen=$2; shift 2 ;;
        --display) display=$2; shift 2 ;;
        --wm) wm=1; shift ;;
        --minimize) minimize=1; shift ;;
        --focus-away) focus_away=1; shift ;;
        --within) within=$2; shift 2 ;;
        --silent) silent=1; shift ;;
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
# The helpers come from the program's build, so they need the same emulator.
run_built() { $emulator "$@"; }

work=$(mktemp -d)
xvfb_pid="" program_pid="" wm_pid="" other_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill -9 "$program_pid" 2>/dev/null
    [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    if [ "$wine" = 1 ]; then WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; fi
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Tries the command after $1 every tenth of a second, for $1 seconds and the time
# the tries take, until it succeeds.
wait_for() {
    local limit=$(($1 * 10)); shift
    for _ in $(seq $limit); do "$@" && return 0; sleep 0.1; done
    return 1
}

case "$display" in
    none) unset DISPLAY ;;
    dead)  # a display number no server has taken
        for n in $(seq 4000 4099); do
            [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { export DISPLAY=":$n"; break; }
        done ;;
    "")  # a private X server; it tells its display number when ready. An X server
        # resets when its last client leaves, and refuses clients while it does: the
        # window searches below would come and go before a slow-starting program connects.
        Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
        xvfb_pid=$!
        wait_for 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
        export DISPLAY=":$(cat "$work/display")" ;;
    *) echo "demo_e2e: unknown display $display" >&2; exit 2 ;;
esac
# A session on a desktop has its runtime directory; without one the Wayland client
# library, probed by SDL, complains on standard error.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

wm_running() { wmctrl -m >/dev/null 2>&1; }
listed() { wmctrl -l | grep -q "$1"; }  # a window the window manager manages
if [ "$wm" = 1 ]; then
    # On a loaded machine a client started as the X server comes up is now and then
    # refused; start the window manager again when it gives up, and say so.
    for attempt in 1 2 3; do
        openbox --sm-disable >"$work/wm.log" 2>&1 &
        wm_pid=$!
        wait_for 20 eval 'wm_running || ! kill -0 "$wm_pid" 2>/dev/null'
        wm_running && break
        echo "the window manager did not start (attempt $attempt): $(cat "$work/wm.log")"
        kill "$wm_pid" 2>/dev/null; wm_pid=""
    done
    [ -n "$wm_pid" ] || fail "the window manager did not start"
fi

if [ "$wine" = 1 ]; then
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    launch=(wine "$program")
else
    launch=($emulator "$program")
fi
env "${envs[@]+"${envs[@]}"}" timeout 120 "${launch[@]}" >"$work/out.log" 2>&1 &
program_pid=$!

ended() { ! kill -0 "$program_pid" 2>/dev/null; }
finish() {  # waits for the program to end by itself, then checks its status
    wait_for "$within" ended ||
        fail "the program did not end within $within s"
    wait "$program_pid"; local got=$?
    program_pid=""
    [ "$got" = "$((status & 255))" ] || fail "exit status $got, expected $((status & 255)); output: $(tail -5 "$work/out.log")"
    [ "$silent" = 0 ] || [ ! -s "$work/out.log" ] || fail "the program printed: $(head -5 "$work/out.log")"
    echo "exit status $got"
}

if [ "$end" = none ]; then
    finish
    exit 0
fi

# Only a shown window: SDL may replace the hidden window it first creates (for an
# OpenGL renderer), and a search can catch that one's short life.
window=""
for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^Vorlix Julia' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    if ! kill -0 "$program_pid" 2>/dev/null; then
        wait "$program_pid"; got=$?; program_pid=""
        fail "the program ended (status $got) before showing a window: $(tail -5 "$work/out.log")"
    fi
    sleep 0.1
done
[ -n "$window" ] || fail "no window appeared"
if [ "$wm" = 1 ]; then  # what the window manager is asked to do waits until it manages the window
    wait_for 20 listed "^$(printf 0x%08x "$window") " ||
        fail "the window manager does not manage window $(printf 0x%08x "$window"); it lists: $(wmctrl -l 2>&1)"
fi

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
        if run_built "$picture_check" "$work/screen.ppm" "$pic_w" "$pic_h" "$blocks"; then found=1; break; fi
    done
    if [ "$found" = 0 ]; then
        mkdir -p "${E2E_KEEP:-/tmp}" && cp "$work/screen.ppm" "${E2E_KEEP:-/tmp}/e2e-last-screen.ppm" 2>/dev/null
        fail "no point-symmetric lit picture on the screen (last screenshot kept in ${E2E_KEEP:-/tmp})"
    fi
fi

# Whether the window's picture moves, or stands still, between two looks at it.
look() { import -display "$DISPLAY" -window "$window" rgb:- 2>/dev/null | md5sum; }
moving() { local before; before=$(look); sleep 0.3; [ "$before" != "$(look)" ]; }
standing() { local before; before=$(look); sleep 0.5; [ "$before" = "$(look)" ]; }
map_state() { xwininfo -id "$window" 2>/dev/null | grep -q "Map State: $1"; }
focus_is_elsewhere() { [ "$(xdotool getactivewindow 2>/dev/null)" != "$window" ]; }

if [ "$minimize" = 1 ]; then
    wait_for 20 moving || fail "the picture does not move"
    xdotool windowminimize "$window"
    wait_for 10 map_state IsUnMapped || fail "the window was not minimised"
    wmctrl -i -a "$window"
    wait_for 10 map_state IsViewable || fail "the window was not restored"
    wait_for 10 moving || fail "the picture does not move after the restore"
    echo "minimised and restored: the picture moves"
fi

if [ "$focus_away" = 1 ]; then
    wait_for 20 moving || fail "the picture does not move"
    xmessage -title "another program" "another program" >/dev/null 2>&1 &
    other_pid=$!
    wait_for 10 listed "another program" || fail "the other program's window did not appear"
    wmctrl -a "another program"
    wait_for 10 focus_is_elsewhere || fail "the other program did not take the focus"
    wait_for 10 standing || fail "the picture still moves while another program has the focus"
    wmctrl -i -a "$window"
    wait_for 10 moving || fail "the picture does not move once the focus is back"
    echo "focus away: the picture stood still; focus back: it moves"
fi

case "$end" in
    key)
        # On a loaded machine the X server can drop a synthetic key sent before the
        # window has the input focus; give it the focus and press again, and say so.
        xdotool key --window "$window" Escape 2>/dev/null || xdotool key Escape
        for attempt in 2 3; do
            wait_for 15 ended && break
            echo "no exit 15 s after the key; focusing the window and pressing again (press $attempt)"
            xdotool windowfocus --sync "$window" 2>/dev/null
            xdotool key Escape
        done ;;
    close) run_built "$x_close" "$window" || fail "could not ask the window to close" ;;
    wm-close) wmctrl -i -c "$window" || fail "the window manager could not close the window" ;;
    x-gone) kill "$xvfb_pid"; xvfb_pid="" ;;
esac
finish
