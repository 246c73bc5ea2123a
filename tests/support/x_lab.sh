# Shared by the scripts that run the real program under Xvfb: source it.
# Those that need namespaces call isolate_in_namespaces first; every caller
# then calls start_work, and start_xvfb when it wants an X server.

. "$(dirname "${BASH_SOURCE[0]}")/not_run.sh"

# isolate_in_namespaces "TOOL..." "$@": runs the calling script again, with
# its arguments, in fresh network and mount namespaces, after checking that
# the tools (one word, space-separated) are installed. Inside,
# namespaces added with `ip netns add` live in a private /run/netns and go
# with the script's process, even when it is killed. The X servers' socket
# files are private too: /tmp/.X11-unix is shared by every test, and an X
# server of another test that ends there must not take ours with it.
isolate_in_namespaces() {
    if [ "${QUORVEL_ISOLATED:-}" = 1 ]; then
        mkdir -p /run/netns /tmp/.X11-unix
        mount -t tmpfs quorvel-netns /run/netns
        mount -t tmpfs -o mode=1777 quorvel-x11 /tmp/.X11-unix
        return
    fi
    local tools=$1
    shift
    for tool in $tools; do
        command -v "$tool" >/dev/null || unavailable "$tool is not installed"
    done
    unshare --net --mount --propagation private true 2>/dev/null || unavailable "cannot make network namespaces"
    # Every process the script starts carries QUORVEL_ISOLATED_RUN in its
    # environment: stop_work finds those still running at the end.
    exec unshare --net --mount --propagation private \
        env QUORVEL_ISOLATED=1 QUORVEL_ISOLATED_RUN="$$-$(date +%s%N)" bash "$0" "$@"
}

# A private work folder ($work) for logs and pictures, and $pids, the
# background processes ended (and the folder removed) when the script ends.
start_work() {
    work=$(mktemp -d)
    chmod 700 "$work"
    pids=()
    trap stop_work EXIT
}
stop_work() {
    local status=$?
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -z "${QUORVEL_ISOLATED_RUN:-}" ] || no_process_left || status=1
    rm -rf "$work"
    exit "$status"
}

# An isolated script leaves nothing running: a process that outlives it (a
# daemon its session started, say) is named, ended, and fails the test.
# Processes ending on their own after the script's get a few seconds.
no_process_left() {
    local mark="QUORVEL_ISOLATED_RUN=$QUORVEL_ISOLATED_RUN" found=$work/marked left file pid
    # The search runs as one program of its own: a forked copy of this shell
    # (a pipeline's, a command substitution's) carries the mark too.
    unset QUORVEL_ISOLATED_RUN
    for _ in $(seq 50); do
        grep -lzxF "$mark" /proc/[0-9]*/environ >"$found" 2>/dev/null || true
        mapfile -t left <"$found"
        left=("${left[@]/#\/proc\/$$\/environ/}")
        [ -n "${left[*]}" ] || return 0
        sleep 0.1
    done
    for file in "${left[@]}"; do
        [ -n "$file" ] || continue
        pid=${file#/proc/}
        pid=${pid%/environ}
        echo "FAIL: left running: $(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline")"
        kill "$pid" 2>/dev/null || true
    done
    return 1
}

fail() {
    echo "FAIL: $1"
    for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $(basename "$log")"; cat "$log"; }; done
    [ -z "${DISPLAY:-}" ] || describe_display
    exit 1
}

# What was on the X server when a test failed: each visible window's id,
# name and place. A window missing from a test's view may be there under
# another name (an error box), or hidden.
describe_display() {
    local id
    echo "--- visible windows on $DISPLAY"
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        echo "$id \"$(xdotool getwindowname "$id" 2>/dev/null)\" $(xdotool getwindowgeometry "$id" 2>/dev/null | tr -s '\n ' ' ')"
    done
}

# Waits up to $2 seconds for our child $1 to end; sets `status` to its exit
# status, or to "still running".
wait_for_exit() {
    for _ in $(seq $(($2 * 10))); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    status="still running"
    kill -0 "$1" 2>/dev/null && return
    status=0
    wait "$1" || status=$?
}

# closed_with CLOSER WINDOW PID STATUS SECONDS WHAT: asks WINDOW to close as
# a window manager would (CLOSER is send_close_request) and fails unless our
# child PID then ends with exit status STATUS within SECONDS. Sets
# `closed_ms` to the time from the request to the end, to a tenth of a second.
closed_with() {
    local asked
    asked=$(date +%s%N)
    "$1" "$2"
    wait_for_exit "$3" "$5"
    closed_ms=$((($(date +%s%N) - asked) / 1000000))
    [ "$status" = "$4" ] || fail "$6: exit status $status, expected $4"
}

# pixels_changed PICTURE PICTURE: how many pixels differ between two
# screenshots of the same window.
pixels_changed() {
    local compared
    compared=$(compare -metric AE "$1" "$2" null: 2>&1 || true)
    echo "${compared%% *}"
}

# Starts Xvfb with a screen of $1 (WIDTHxHEIGHT) and points DISPLAY at it;
# Qt then uses it, whatever QT_QPA_PLATFORM said. Without -noreset the
# server starts over whenever its last client leaves (a closed program, a
# finished xdotool), and the next program may come in during the reset.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")" XDG_RUNTIME_DIR="$work"
    unset QT_QPA_PLATFORM
}

# A session bus of the test's own, as a desktop session has, for the
# programs started after it: its socket is in $work, not in /tmp where it
# would stay, and it ends with the test (dbus-run-session's bus outlives a
# killed session). Sets `bus` to its process id.
start_session_bus() {
    local printed
    printed=$(mktemp "$work/bus.XXXXXX")
    dbus-daemon --session --nofork --nopidfile --address="unix:dir=$work" --print-address=3 \
        3>"$printed" >>"$work/dbus.log" 2>&1 &
    bus=$!
    pids+=($bus)
    for _ in $(seq 100); do
        [ -s "$printed" ] && break
        sleep 0.1
    done
    [ -s "$printed" ] || fail "no session bus"
    DBUS_SESSION_BUS_ADDRESS=$(head -1 "$printed")
    export DBUS_SESSION_BUS_ADDRESS
}

# window_shown SECONDS PATTERN: the id of a visible window whose name
# matches PATTERN, once there is one, within SECONDS; fails after that.
# xdotool's own --sync gives up at the X error that a window going away
# during its search raises (Wine's programs open and close several).
window_shown() {
    local deadline=$((SECONDS + $1)) found
    while [ "$SECONDS" -lt "$deadline" ]; do
        found=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1 || true)
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.1
    done
    return 1
}

# add_device NAMESPACE LINK HOST-ADDRESS DEVICE-ADDRESS: a device namespace
# on a virtual cable from this one; the cable's ends are LINK here and eth0
# there, with the addresses given (with their prefix length), both up.
add_device() {
    ip netns add "$1"
    ip link add "$2" type veth peer name eth0 netns "$1"
    ip addr add "$3" dev "$2"
    ip link set "$2" up
    ip netns exec "$1" ip addr add "$4" dev eth0
    ip netns exec "$1" ip link set eth0 up
    ip netns exec "$1" ip link set lo up
}

# Three simulated devices ($1 is quorvel-sim), each in a namespace of its
# own on a virtual cable from this one: device i is 10.77.i.2, named "Hala i",
# and answers at once, straight to the address that asked (10.77.i.1).
start_three_devices() {
    ip link set lo up
    for i in 1 2 3; do
        add_device "device$i" "host$i" "10.77.$i.1/24" "10.77.$i.2/24"
        ip netns exec "device$i" "$1" --ip "10.77.$i.2" --name "Hala $i" --serial "0000000$i" \
            --mac "00-1A-2B-3C-4D-0$i" --timeout 120 >"$work/sim$i.log" 2>&1 &
        pids+=($!)
    done
    for i in 1 2 3; do
        timeout 10 bash -c "until grep -q 'listening on' '$work/sim$i.log'; do sleep 0.1; done" ||
            fail "simulator $i did not start"
    done
}

# ImageMagick's convert: on some machines /usr/bin/convert is the real one
# while another `convert` comes first in PATH.
convert=convert
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
