#!/usr/bin/env bash
# The real program under a real X server (Xvfb) with three simulated devices,
# everything inside network namespaces that this script makes and that vanish
# with it; nothing runs in the machine's own network namespace.
#   1. A real pointer click on the refresh picture lists the three devices.
#   2. A second copy, while the first holds UDP port 7080, shows
#      "Application Error" instead of a window and exits with status 1.
#   3. Closing the window ends the first copy with status 0.
# Usage: app_under_xvfb.sh QUORVEL QUORVEL-SIM SEND-CLOSE-REQUEST
# With QUORVEL_SCREENSHOT=FILE.png the window with its three entries is saved.
set -euo pipefail
app=$1 sim=$2 closer=$3

. "$(dirname "$0")/../../support/x_lab.sh"
isolate_in_namespaces "Xvfb xdotool import ip unshare" "$@"
start_work

start_three_devices "$sim"
start_xvfb 640x800

echo "-- first copy: click the refresh picture"
"$app" >"$work/app1.log" 2>&1 &
app1=$!
pids+=("$app1")
window=$(window_shown 60 '^Quorvel$') || fail "no window"
xdotool windowsize "$window" 383 620   # room for three entries below the panel
sleep 0.5
# The band is 351 x 104 at (16, 60) of the client area; click its centre.
xdotool mousemove --window "$window" 191 112 click 1
xdotool mousemove --window "$window" 191 610   # off the picture: its warp ends
for i in 1 2 3; do
    timeout 10 bash -c "until grep -q answered '$work/sim$i.log'; do sleep 0.1; done" || fail "device $i got no request"
done

# An entry shows the blue device picture centred at (20, 64) of its 128-high
# band; the list's field starts at (16, 184) with a frame of 2.
device_pictures_shown() {
    import -window "$window" "$work/window.png" 2>/dev/null || return 1
    for entry in 0 1 2; do
        local y=$((184 + 2 + 64 + 128 * entry))
        local colour
        colour=$("$convert" "$work/window.png" -format "%[fx:int(255*p{38,$y}.r)] %[fx:int(255*p{38,$y}.b)]" info:)
        read -r red blue <<<"$colour"
        [ "$blue" -gt 120 ] && [ "$red" -lt 100 ] || return 1
    done
}
listed=no
for _ in $(seq 50); do
    if device_pictures_shown; then listed=yes; break; fi
    sleep 0.2
done
[ "$listed" = yes ] || fail "the three devices are not listed"
[ -n "${QUORVEL_SCREENSHOT:-}" ] && cp "$work/window.png" "$QUORVEL_SCREENSHOT"
echo "three devices listed"

echo "-- second copy while the first holds port 7080"
"$app" >"$work/app2.log" 2>&1 &
app2=$!
pids+=("$app2")
box=$(window_shown 60 '^Application Error$') || fail "no error box"
[ "$(xdotool search --onlyvisible --name '^Quorvel$' | wc -l)" -eq 1 ] || fail "the second copy showed a window"
closed_with "$closer" "$box" "$app2" 1 10 "second copy"
echo "second copy: Application Error, exit status 1"

echo "-- close the first copy"
closed_with "$closer" "$window" "$app1" 0 10 "first copy"
echo "first copy: closed, exit status 0"
