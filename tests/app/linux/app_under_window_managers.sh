#!/usr/bin/env bash
# The real program under the window managers of GNOME (mutter) and KDE
# (kwin_x11), each started once on an X server of its own (Xvfb), inside
# network namespaces that this script makes and that vanish with it. Under
# each, while another program's window holds the focus (it was clicked):
#   1. the program's window comes up as the active window, on top of the
#      stacking order;
#   2. a second copy's "Application Error" box comes up the same way, and
#      closing it ends that copy with status 1;
#   3. closing the window ends the program with status 0.
# Usage: app_under_window_managers.sh QUORVEL SEND-CLOSE-REQUEST
# With QUORVEL_SCREENSHOTS=FOLDER each desktop is saved with the error box up.
set -euo pipefail
app=$1 closer=$2

. "$(dirname "$0")/../../support/x_lab.sh"
isolate_in_namespaces "Xvfb xdotool xprop xmessage import dbus-daemon mutter kwin_x11 ip unshare" "$@"
start_work
ip link set lo up

# A root window property's window ids, in decimal, one a line.
root_windows() {
    xprop -root "$1" 2>/dev/null | grep -o '0x[0-9a-f]*' | while read -r id; do echo $((id)); done
}
active_window() { root_windows _NET_ACTIVE_WINDOW | head -1; }
topmost_window() { root_windows _NET_CLIENT_LIST_STACKING | tail -1; }

# wait_in_front NAME ID: waits until window ID is the active window and on
# top of the stacking order.
wait_in_front() {
    for _ in $(seq 100); do
        [ "$(active_window)" = "$2" ] && [ "$(topmost_window)" = "$2" ] && return
        sleep 0.1
    done
    fail "$wm: $1 is not in front (active $(active_window), on top $(topmost_window), it is $2)"
}

# window_named TITLE: the id of the one visible window with that title.
window_named() {
    window_shown 30 "^$1\$"
}

# under WINDOW-MANAGER COMMAND...: the three steps under the window manager
# that COMMAND starts on a fresh X server.
under() {
    wm=$1
    shift
    echo "-- $wm"
    rm -f "$work/display"
    start_xvfb 1024x768
    local server=${pids[-1]}
    start_session_bus
    local session_bus=$bus
    "$@" >"$work/$wm.log" 2>&1 &
    local manager=$!
    pids+=("$manager")
    timeout 30 bash -c 'until xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; do sleep 0.2; done' ||
        fail "$wm did not start"

    # Another program's window, clicked, holds the focus.
    xmessage -geometry 500x300+200+150 "Inny program" >"$work/other.log" 2>&1 &
    pids+=($!)
    local other
    other=$(window_named xmessage) || fail "$wm: no other window"
    xdotool mousemove --window "$other" 250 100 click 1
    wait_in_front "the other window" "$other"

    "$app" >"$work/app1.log" 2>&1 &
    local first=$!
    pids+=("$first")
    local window
    window=$(window_named Quorvel) || fail "$wm: no window"
    wait_in_front "the window" "$window"
    echo "$wm: the window is active and on top"

    "$app" >"$work/app2.log" 2>&1 &
    local second=$!
    pids+=("$second")
    local box
    box=$(window_named "Application Error") || fail "$wm: no error box"
    wait_in_front "the error box" "$box"
    echo "$wm: the error box is active and on top"
    [ -n "${QUORVEL_SCREENSHOTS:-}" ] && import -window root "$QUORVEL_SCREENSHOTS/$wm.png"
    closed_with "$closer" "$box" "$second" 1 10 "$wm: second copy"

    closed_with "$closer" "$window" "$first" 0 10 "$wm"
    echo "$wm: error box and window closed, exit status 1 and 0"

    kill "$manager" "$session_bus" "$server" 2>/dev/null || true
    wait "$manager" "$session_bus" "$server" 2>/dev/null || true
}

under mutter mutter --x11 --replace
under kwin_x11 kwin_x11 --replace
