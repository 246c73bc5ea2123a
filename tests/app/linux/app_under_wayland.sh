#!/usr/bin/env bash
# The real program natively under Wayland compositors, with two simulated
# devices, everything inside network namespaces that this script makes and
# that vanish with it. The refresh picture is pressed as a screen reader
# does (its accessible Press action), which works alike on every window
# system:
#   1. under Xvfb (X11, no window manager), for the reference picture;
#   2. under weston (headless): the two devices are listed, and the window's
#      client area matches the X11 one;
#   3. under GNOME's compositor (mutter, headless, no XWayland): the two
#      devices are listed.
# Usage: app_under_wayland.sh QUORVEL QUORVEL-SIM ACCESSIBLE-TREE
# With QUORVEL_SCREENSHOTS=FOLDER the X11 window and weston's screen are saved.
set -euo pipefail
app=$1 sim=$2 tree=$3

. "$(dirname "$0")/../../support/x_lab.sh"
isolate_in_namespaces "Xvfb xdotool weston weston-screenshooter mutter dbus-daemon import compare ip unshare" "$@"
start_work
export XDG_RUNTIME_DIR=$work

# Two devices played by one simulator, so that their replies always arrive
# in the same order; the second one shows its widest mask and MAC.
ip link set lo up
add_device device host0 10.77.1.1/24 10.77.1.2/24
ip netns exec device "$sim" --ip 10.77.1.2 --name "Hala 1" \
    --device --ip 10.77.1.3 --name "Hala 2" --mask 255.255.255.255 --mac DD-DD-DD-DD-DD-DD \
    --timeout 120 >"$work/sim.log" 2>&1 &
pids+=($!)
timeout 10 bash -c "until grep -q 'listening on' '$work/sim.log'; do sleep 0.1; done" || fail "the simulator did not start"

# A session bus with the accessibility bus launcher, as a desktop session has.
start_session_bus
/usr/libexec/at-spi-bus-launcher >"$work/at-spi.log" 2>&1 &
pids+=($!)
# Qt offers its widgets to the accessibility bus only while a screen reader
# is on; this says one is.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
refresh="Odśwież listę urządzeń"

# scan_and_list LABEL: starts the program (QT_QPA_PLATFORM and the display
# are set by the caller), presses the refresh picture once it is offered, and
# waits until both devices are listed. Sets `app_pid`.
scan_and_list() {
    "$app" >"$work/app-$1.log" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
    timeout 60 bash -c "until '$tree' press '$refresh' 2>/dev/null; do sleep 0.2; done" || fail "$1: no refresh picture to press"
    timeout 20 bash -c "until '$tree' names | grep -q '^Hala 2,  Numer='; do sleep 0.2; done" || fail "$1: the devices are not listed"
    "$tree" names >"$work/names-$1.txt"
    grep -q '^Hala 1,  Numer=' "$work/names-$1.txt" || fail "$1: the first device is not listed"
    grep -qx 'Maska=255.255.255.255,  MAC=DD-DD-DD-DD-DD-DD' "$work/names-$1.txt" || fail "$1: the second device's last line"
    echo "$1: both devices listed"
}
stop_app() {
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
}

# The blue device pictures of both entries in a picture of the client area
# (centred at (38, 250) and (38, 378)): the entries are painted.
entries_painted() {
    local red blue
    for y in 250 378; do
        read -r red blue <<<"$("$convert" "$1" -format "%[fx:int(255*p{38,$y}.r)] %[fx:int(255*p{38,$y}.b)]" info:)"
        [ "$blue" -gt 120 ] && [ "$red" -lt 100 ] || return 1
    done
}

echo "-- X11 (Xvfb)"
start_xvfb 1024x768
QT_QPA_PLATFORM=xcb scan_and_list x11
window=$(window_shown 10 '^Quorvel$') || fail "x11: no window"
for _ in $(seq 50); do
    import -window "$window" "$work/x11.png" 2>/dev/null && entries_painted "$work/x11.png" && break
    sleep 0.2
done
entries_painted "$work/x11.png" || fail "x11: the entries are not painted"
stop_app
unset DISPLAY

echo "-- weston (headless)"
# A plain background and no panel, so the window is easy to find.
cat >"$work/weston.ini" <<'INI'
[core]
idle-time=0
[shell]
background-color=0xff204060
panel-position=none
locking=false
INI
# --debug lets the screenshot client take the screen.
weston --backend=headless-backend.so --use-pixman --socket=quorvel-weston --width=1024 --height=768 \
    --config="$work/weston.ini" --debug >"$work/weston.log" 2>&1 &
pids+=($!)
timeout 20 bash -c "until [ -S '$work/quorvel-weston' ]; do sleep 0.1; done" || fail "weston did not start"
WAYLAND_DISPLAY=quorvel-weston QT_QPA_PLATFORM=wayland scan_and_list weston
# The client area: Qt draws the window's frame itself here, equally wide at
# the left, the right and the bottom.
weston_window() {
    rm -f "$work"/wayland-screenshot-*.png
    (cd "$work" && WAYLAND_DISPLAY=quorvel-weston weston-screenshooter) >/dev/null 2>&1 || return 1
    mv "$work"/wayland-screenshot-*.png "$work/weston-screen.png" || return 1
    local box
    box=$("$convert" "$work/weston-screen.png" -fill black -fuzz 2% -opaque '#204060' -trim -format '%w %h %X %Y' info:)
    read -r width height left top <<<"$box"
    local frame=$(((width - 383) / 2))
    "$convert" "$work/weston-screen.png" -crop "383x480+$((left + frame))+$((top + height - frame - 480))" +repage \
        "$work/weston.png"
}
for _ in $(seq 50); do
    weston_window && entries_painted "$work/weston.png" && break
    sleep 0.2
done
entries_painted "$work/weston.png" || fail "weston: the entries are not painted"
# The same pixels, up to a few at the anti-aliased edges of text.
differing=$(compare -metric AE -fuzz 8% "$work/x11.png" "$work/weston.png" null: 2>&1 || true)
echo "weston: $differing of 383 x 480 pixels differ from the X11 window"
[ "${differing%%.*}" -le 400 ] 2>/dev/null || fail "weston: the window differs from the X11 one ($differing pixels)"
if [ -n "${QUORVEL_SCREENSHOTS:-}" ]; then
    cp "$work/x11.png" "$QUORVEL_SCREENSHOTS/x11-window.png"
    cp "$work/weston-screen.png" "$QUORVEL_SCREENSHOTS/weston-screen.png"
fi
stop_app

echo "-- mutter (headless, no XWayland)"
mutter --headless --wayland --no-x11 --virtual-monitor 1280x800 --wayland-display=quorvel-mutter \
    >"$work/mutter.log" 2>&1 &
mutter_pid=$!
pids+=("$mutter_pid")
timeout 20 bash -c "until [ -S '$work/quorvel-mutter' ] || ! kill -0 $mutter_pid; do sleep 0.1; done"
[ -S "$work/quorvel-mutter" ] || unavailable "mutter does not run headless here: $(tail -3 "$work/mutter.log")"
WAYLAND_DISPLAY=quorvel-mutter QT_QPA_PLATFORM=wayland scan_and_list mutter
stop_app
