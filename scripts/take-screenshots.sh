#!/usr/bin/env bash
# Takes the README's pictures of the window: the real program under Xvfb
# with three simulated devices, the second entry selected, at a display
# scale of 1 (docs/screenshot.png) and of 2 (docs/screenshot@2x.png).
# Everything runs in network namespaces that this script makes and that
# vanish with it; nothing is sent in the machine's own namespace. Needs root.
# Usage, from the repository folder after a build:
#   bash scripts/take-screenshots.sh build/src/app/quorvel build/tools/quorvel-sim
set -euo pipefail
app=$(realpath "$1") sim=$(realpath "$2")
repo=$(cd "$(dirname "$0")/.." && pwd)
docs=$repo/docs

. "$repo/tests/support/x_lab.sh"
isolate_in_namespaces "Xvfb xdotool import ip unshare" "$@"
start_work

start_three_devices "$sim"
start_xvfb 1200x1400

# Positions are the window's logical pixels; X works in device pixels.
shoot() {
    local scale=$1 file=$2
    QT_SCALE_FACTOR=$scale "$app" >"$work/app.log" 2>&1 &
    local pid=$!
    pids+=("$pid")
    local window
    window=$(window_shown 20 '^Quorvel$') || fail "no window at scale $scale"
    xdotool windowsize "$window" $((383 * scale)) $((620 * scale))   # room for three entries
    sleep 0.5
    xdotool mousemove --window "$window" $((191 * scale)) $((112 * scale)) click 1   # the refresh picture
    sleep 1
    xdotool mousemove --window "$window" $((250 * scale)) $((380 * scale)) click 1   # the second entry's text
    xdotool mousemove --window "$window" $((6 * scale)) $((610 * scale))              # out of the way
    sleep 1
    import -window "$window" "$file"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
shoot 1 "$docs/screenshot.png"
shoot 2 "$docs/screenshot@2x.png"
echo "saved $docs/screenshot.png and $docs/screenshot@2x.png"
