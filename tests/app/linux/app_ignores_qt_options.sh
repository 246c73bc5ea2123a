#!/usr/bin/env bash
# The real program takes no command line, Qt's own options included: started
# with -reverse, -style, -qwindowgeometry and -qwindowtitle it shows the very
# same window, pixel for pixel, as started without them. The window holds
# three entries from a simulated device, so that a mirrored layout would
# move the list's scroll bar and the entries' texts. Everything runs inside
# network namespaces that this script makes and that vanish with it.
# Usage: app_ignores_qt_options.sh QUORVEL QUORVEL-SIM SEND-CLOSE-REQUEST
set -euo pipefail
app=$1 sim=$2 closer=$3

. "$(dirname "$0")/../../support/x_lab.sh"
isolate_in_namespaces "Xvfb xdotool import compare identify ip unshare" "$@"
start_work

ip link set lo up
add_device device host 10.78.0.1/24 10.78.0.2/24

start_xvfb 640x800
xdotool mousemove 639 799   # the pointer stays off the window: no hover, no warp

# Starts the program with the given arguments, lets a device answer three
# times, saves the settled window as $work/<name>.png and closes the program.
run_and_capture() {
    local name=$1
    shift
    "$app" "$@" >"$work/$name.log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    local window
    window=$(window_shown 60 '^Quorvel$') || fail "$name: no window"
    ip netns exec device "$sim" --send-to 10.78.0.1 --count 3 --ip 10.78.0.2 --name "Hala A" \
        >"$work/sim-$name.log" 2>&1 || fail "$name: the device could not send"
    # Settled: two grabs in a row alike, the first two entries' blue pictures
    # shown (centre at (38, 250) and (38, 378) in the client area).
    local settled=no
    import -window "$window" "$work/previous.png" 2>/dev/null || true
    for _ in $(seq 50); do
        sleep 0.2
        import -window "$window" "$work/$name.png" 2>/dev/null || continue
        local blue
        blue=$("$convert" "$work/$name.png" -format "%[fx:int(255*p{38,250}.b)] %[fx:int(255*p{38,378}.b)]" info:)
        read -r first second <<<"$blue"
        if [ "$first" -gt 120 ] && [ "$second" -gt 120 ] \
            && [ "$(compare -metric AE "$work/previous.png" "$work/$name.png" null: 2>&1)" = 0 ]; then
            settled=yes
            break
        fi
        cp "$work/$name.png" "$work/previous.png"
    done
    [ "$settled" = yes ] || fail "$name: the three entries did not settle"
    local size
    size=$(identify -format '%wx%h' "$work/$name.png")
    [ "$size" = 383x480 ] || fail "$name: window $size, expected 383x480"
    "$closer" "$window"
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    local status=0
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "$name: exit status $status"
}

run_and_capture plain
echo "without options: window 383x480 with three entries"
run_and_capture options -reverse -style Windows -qwindowgeometry 250x340+40+40 -qwindowtitle Other
echo "with Qt's options: window 383x480 with three entries"

differing=$(compare -metric AE "$work/plain.png" "$work/options.png" "$work/difference.png" 2>&1 || true)
[ "$differing" = 0 ] || fail "Qt's options changed $differing pixels of the window"
echo "Qt's options change nothing"
