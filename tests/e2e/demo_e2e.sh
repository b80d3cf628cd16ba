#!/bin/bash
# Runs one of the demo programs as a person would, on a private X server: waits for
# its window, reads the title, looks at the screen, presses a key or closes the
# window, and checks the exit status.
#
#   demo_e2e.sh --program PATH [--name TITLE] [--wine | --emulator CMD] [--screen WxHxD] [--display none|dead] [--wm]
#               [--wayland [--x11-too]] [--env NAME=VALUE]... [--title] [--fps LOW HIGH] [--picture [W H]]
#               [--blocks N] [--centred]
#               [--class NAME] [--icon WxH] [--minimize] [--focus-away]
#               [--end key|close|wm-close|display-gone|none] [--within S]
#               [--status N] [--silent | --says LINE]
#
# --name     the window to find: its title matches this extended regular expression
#            (default ^Vorlix Julia, the demo's)
# --emulator runs the program and the helper programs of its build through CMD, split
#            at spaces (a cross-built tree's qemu)
# --display  no X server: DISPLAY unset (none) or naming a display where none runs (dead)
# --wm       a window manager (openbox) runs on the X server
# --wayland  a Wayland session with no X server for the program: a compositor (weston,
#            its x11 backend) shows its output in a window of the X server, and the
#            program runs with WAYLAND_DISPLAY alone. Screenshots and keys go to that
#            output window; the compositor places the program's window
# --x11-too  ... and DISPLAY set too, as on a desktop with XWayland: the program must
#            take X11, its window shown on the X server
# --title    the title must read "Vorlix Julia Rings FPS:" and a positive number
# --fps      ... from LOW to HIGH, a second's count taken once the program has run for
#            three seconds
# --picture  the screen must show a point-symmetric, lit picture of W x H (320 x 240)
# --blocks   ... made of N x N blocks of one colour each (its pixels enlarged N times)
# --centred  ... in the middle of the screen (letterboxed full screen)
# --class    the window's class (X11) or app_id (Wayland) must be NAME, as its desktop
#            entry's StartupWMClass says
# --icon     the window must carry an icon of W x H pixels (X11)
# --minimize the window is minimised and restored; its picture must move again after
# --focus-away  another program takes the focus: the picture must stand still, then
#            move again once the focus is back (under --wayland: once that program ends)
# --end      how the run ends: a key press (default), the window's close request (under
#            --wayland a click on its close button), the window manager's close, the
#            display server going away (the X server, or under --wayland the compositor),
#            or by itself (for runs that must fail to open)
# --within   the program must end within S seconds of that (default 60); with --says,
#            say its line within S seconds and be gone S seconds later
# --status   the exit status expected (default 0; -1 is 255)
# --silent   the program must print nothing
# --says     the program must print this one line and nothing else
set -u
here=$(cd "$(dirname "$0")" && pwd)
picture_check=${PICTURE_CHECK:-$here/picture_check}
x_close=${X_CLOSE:-$here/x_close}

program="" window_name="^Vorlix Julia" wine=0 emulator="" screen="1024x768x24" title=0 fps_low="" fps_high="" picture=0
pic_w=320 pic_h=240 blocks=1 end=key status=0
display="" wm=0 wayland=0 x11_too=0 minimize=0 focus_away=0 within=60 silent=0 says="" centred=0 class="" icon=""
envs=()
while [ $# -gt 0 ]; do
    case "$1" in
        --program) program=$2; shift 2 ;;
        --name) window_name=$2; shift 2 ;;
        --wine) wine=1; shift ;;
        --emulator) emulator=$2; shift 2 ;;
        --screen) screen=$2; shift 2 ;;
        --display) display=$2; shift 2 ;;
        --wm) wm=1; shift ;;
        --wayland) wayland=1; shift ;;
        --x11-too) x11_too=1; shift ;;
        --minimize) minimize=1; shift ;;
        --focus-away) focus_away=1; shift ;;
        --within) within=$2; shift 2 ;;
        --silent) silent=1; shift ;;
        --says) says=$2; shift 2 ;;
        --env) envs+=("$2"); shift 2 ;;
        --title) title=1; shift ;;
        --fps) title=1 fps_low=$2 fps_high=$3; shift 3 ;;
        --picture)
            picture=1; shift
            if [ $# -ge 2 ] && [[ $1 =~ ^[0-9]+$ ]]; then pic_w=$1 pic_h=$2; shift 2; fi ;;
        --blocks) blocks=$2; shift 2 ;;
        --centred) centred=1; shift ;;
        --class) class=$2; shift 2 ;;
        --icon) icon=$2; shift 2 ;;
        --end) end=$2; shift 2 ;;
        --status) status=$2; shift 2 ;;
        *) echo "demo_e2e: unknown option $1" >&2; exit 2 ;;
    esac
done
[ -x "$program" ] || { echo "demo_e2e: no program at '$program'" >&2; exit 2; }
if [ "$wine" = 1 ]; then  # before anything starts: this machine may not run it
    source "$here/wine.sh"
    use_wine "$program"
fi
read -r screen_w screen_h _ <<<"${screen//x/ }"
# On Wayland the compositor shows the title, and has no window manager of ours.
wayland_only=$((wayland && !x11_too))
if [ "$wayland_only" = 1 ] && { [ "$title$wm$minimize" != 000 ] || [ -n "$icon" ]; }; then
    echo "demo_e2e: --title, --wm, --icon and --minimize need an X window" >&2; exit 2
fi
# The helpers come from the program's build, so they need the same emulator.
run_built() { $emulator "$@"; }

work=$(mktemp -d)
xvfb_pid="" program_pid="" wm_pid="" other_pid="" weston_pid=""
cleanup() {
    # program_pid is timeout's: the program is its child, and outlives it if left.
    [ -n "$program_pid" ] && kill -9 $(cat /proc/"$program_pid"/task/*/children 2>/dev/null) "$program_pid" 2>/dev/null
    [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    if [ "$wine" = 1 ]; then end_wine; fi
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
        # Under --wayland the compositor's output leaves a strip of the X screen free on
        # its right: the pointer can leave the output and come back to a chosen place.
        x_screen=$screen
        [ "$wayland" = 0 ] || x_screen="$((screen_w + 64))x${screen#*x}"
        Xvfb -displayfd 3 -screen 0 "$x_screen" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
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

# The compositor's output is a window of the X server, the size of its screen. It
# is ready once its socket is there and its shell has started.
output=""
if [ "$wayland" = 1 ]; then
    weston --backend=x11-backend.so --socket=wayland-e2e --width="$screen_w" --height="$screen_h" \
        --use-pixman --idle-time=0 >"$work/weston.log" 2>&1 &
    weston_pid=$!
    weston_ready() {
        [ -S "$XDG_RUNTIME_DIR/wayland-e2e" ] && grep -q "launching '.*weston-desktop-shell'" "$work/weston.log" &&
            output=$(xdotool search --class Weston 2>/dev/null | head -1) && [ -n "$output" ]
    }
    wait_for 30 eval 'weston_ready || ! kill -0 "$weston_pid" 2>/dev/null'
    weston_ready || fail "weston did not start: $(tail -5 "$work/weston.log")"
    envs=("WAYLAND_DISPLAY=wayland-e2e" ${envs[@]+"${envs[@]}"})
    # The app_id is in the client's protocol log, which names an object interface@id
    # (interface#id from libwayland 1.23 on).
    [ -z "$class" ] || envs+=("WAYLAND_DEBUG=client")
    [ "$x11_too" = 1 ] || envs=("-u" "DISPLAY" "${envs[@]}")
fi

if [ "$wine" = 1 ]; then
    export WINEPREFIX=$work/prefix
    make_prefix || fail "Wine could not make its prefix"
    launch=("$wine_loader" "$program")
else
    launch=($emulator "$program")
fi
env "${envs[@]+"${envs[@]}"}" timeout 120 "${launch[@]}" >"$work/out.log" 2>&1 &
program_pid=$!

ended() { ! kill -0 "$program_pid" 2>/dev/null; }
said_it() { [ "$(cat "$work/out.log")" = "$says" ]; }
finish() {  # waits for the program to end by itself, then checks its status
    # A program that says why it ends does so as it ends; the kernel may take
    # seconds more to take back a large process on a loaded machine (measured: a
    # sanitized fullscreen program on Wayland called exit 0.04 s after its
    # compositor went, and was gone 4.7 s later).
    if [ -n "$says" ]; then
        wait_for "$within" eval 'said_it || ended' || fail "the program did not end within $within s"
        wait_for "$within" ended || fail "the program said its line, but was still there $within s later"
    else
        wait_for "$within" ended || fail "the program did not end within $within s"
    fi
    wait "$program_pid"; local got=$?
    program_pid=""
    [ "$got" = "$((status & 255))" ] || fail "exit status $got, expected $((status & 255)); output: $(tail -5 "$work/out.log")"
    [ "$silent" = 0 ] || [ ! -s "$work/out.log" ] || fail "the program printed: $(head -5 "$work/out.log")"
    [ -z "$says" ] || [ "$(cat "$work/out.log")" = "$says" ] ||
        fail "the program said '$(head -5 "$work/out.log")', not '$says'"
    echo "exit status $got"
}

if [ "$end" = none ]; then
    finish
    exit 0
fi

# Screenshots of the screen, or of the compositor's output, looked at for the picture.
screenshot() { import -display "$DISPLAY" -window "$shown_on" -depth 8 "ppm:$work/screen.ppm" 2>/dev/null; }
picture_shown() { screenshot && run_built "$picture_check" "$work/screen.ppm" "$pic_w" "$pic_h" "$blocks" >"$work/found" 2>/dev/null; }
# Only a shown window: SDL may replace the hidden window it first creates (for an
# OpenGL renderer), and a search can catch that one's short life. A Wayland window
# is shown once the compositor's output holds its picture.
window="" shown_on=root
[ "$wayland_only" = 0 ] || shown_on=$output
give_up=$((SECONDS + 60))
while [ "$SECONDS" -lt "$give_up" ]; do
    if [ "$wayland_only" = 1 ]; then
        picture_shown && window=$output && break
    else
        window=$(xdotool search --onlyvisible --name "$window_name" 2>/dev/null | head -1)
        [ -n "$window" ] && break
    fi
    if ! kill -0 "$program_pid" 2>/dev/null; then
        wait "$program_pid"; got=$?; program_pid=""
        fail "the program ended (status $got) before showing a window: $(tail -5 "$work/out.log")"
    fi
    sleep 0.1
done
if [ -z "$window" ]; then  # what there was instead, for whoever looks into it
    [ "$wayland_only" = 1 ] || echo "windows of the name: $(xdotool search --name "$window_name" 2>&1 | tr '\n' ' ')"
    [ "$wm" = 0 ] || echo "the window manager's list: $(wmctrl -l 2>&1); its log: $(cat "$work/wm.log")"
    fail "no window appeared$([ "$wayland_only" = 0 ] || echo " (no picture in the compositor's output)")"
fi
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
    if [ -n "$fps_low" ]; then
        # The first count covers half a second to a second and a half; later ones a second.
        sleep 1
        name=$(xdotool getwindowname "$window" 2>/dev/null)
        [[ $name =~ FPS:([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge "$fps_low" ] &&
            [ "${BASH_REMATCH[1]}" -le "$fps_high" ] || fail "title reads '$name', not $fps_low to $fps_high frames a second"
        echo "title a second later: $name"
    fi
fi

if [ -n "$class" ]; then
    if [ "$wayland_only" = 1 ]; then
        grep -Eq "xdg_toplevel[@#][0-9]+\.set_app_id\(\"$class\"\)" "$work/out.log" ||
            fail "no app_id $class: $(grep -Eo 'set_app_id\([^)]*\)' "$work/out.log" | head -1)"
    else
        [[ $(xprop -id "$window" WM_CLASS 2>&1) == *", \"$class\"" ]] ||
            fail "the window's class is not $class: $(xprop -id "$window" WM_CLASS 2>&1)"
    fi
    echo "class: $class"
fi
if [ -n "$icon" ]; then
    xprop -id "$window" _NET_WM_ICON 2>&1 | grep -q "Icon (${icon/x/ x })" ||
        fail "no $icon icon on the window: $(xprop -id "$window" _NET_WM_ICON 2>&1 | head -2)"
    echo "icon: $icon"
fi

if [ "$picture" = 1 ]; then
    found=0
    for attempt in $(seq 10); do
        sleep 0.5
        if picture_shown; then found=1; cat "$work/found"; break; fi
    done
    if [ "$centred" = 1 ] && [ "$found" = 1 ]; then
        grep -q "^picture at $(((screen_w - pic_w) / 2)),$(((screen_h - pic_h) / 2)) " "$work/found" ||
            fail "the picture is not in the middle of the screen: $(cat "$work/found")"
    fi
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

if [ "$focus_away" = 1 ] && [ "$wayland_only" = 1 ]; then
    # The compositor gives the focus to a new window, and back when it goes.
    wait_for 20 moving || fail "the picture does not move"
    env -u DISPLAY WAYLAND_DISPLAY=wayland-e2e weston-flower >/dev/null 2>&1 &
    other_pid=$!
    wait_for 10 standing || fail "the picture still moves while another program has the focus"
    kill "$other_pid"; wait "$other_pid"; other_pid=""
    wait_for 10 moving || fail "the picture does not move once the focus is back"
    echo "focus away: the picture stood still; focus back: it moves"
    # weston now and then hands the program its focus back without the keyboard's;
    # a person clicks into the picture then, and so does the test before its key.
    xdotool mousemove $((screen_w + 32)) 0 sleep 0.2 \
        mousemove --window "$output" $((screen_w / 2)) $((screen_h / 2)) sleep 0.2 click 1 ||
        fail "could not click into the picture"
elif [ "$focus_away" = 1 ]; then
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
    close)
        if [ "$wayland_only" = 1 ]; then
            # The decorations SDL draws there (libdecor's): a 24-pixel title bar over
            # the picture, its close button the rightmost, 32 pixels wide. weston's
            # x11 backend places its pointer where the X pointer enters its output and
            # moves it by the X pointer's moves after that: so in from outside. A press
            # that follows the entry with no motion between, libdecor's GTK plugin (the
            # default from Debian 13) takes for the start of a drag: so a pixel's move
            # onto the button first, as a hand makes.
            [[ $(cat "$work/found") =~ ^picture\ at\ ([0-9]+),([0-9]+) ]] || fail "no picture to find the window by"
            close_x=$((BASH_REMATCH[1] + pic_w - 16)) close_y=$((BASH_REMATCH[2] - 12))
            xdotool mousemove $((screen_w + 32)) 0 sleep 0.2 \
                mousemove --window "$output" $((close_x - 1)) $close_y sleep 0.2 \
                mousemove --window "$output" $close_x $close_y sleep 0.2 click 1 || fail "could not click the close button"
        else
            run_built "$x_close" "$window" || fail "could not ask the window to close"
        fi ;;
    wm-close) wmctrl -i -c "$window" || fail "the window manager could not close the window" ;;
    display-gone)
        if [ "$wayland_only" = 1 ]; then
            # Gone once its process has ended: it closes its clients' connections
            # on the way out, which takes it a second or more.
            kill "$weston_pid"; wait "$weston_pid"; weston_pid=""
        else
            kill "$xvfb_pid"; xvfb_pid=""
        fi ;;
esac
finish
