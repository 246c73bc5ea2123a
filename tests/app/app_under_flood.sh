#!/usr/bin/env bash
# The real program under Xvfb while a host on its network floods it with
# valid, unsolicited replies (a switching loop, a broken or hostile device),
# everything inside network namespaces that this script makes:
#   1. the window stays responsive: a click empties the list and scans,
#   2. the program's memory stays bounded while the flood goes on,
#   3. a close request during the flood ends it with exit status 0.
# Usage: app_under_flood.sh QUORVEL QUORVEL-SIM SEND-CLOSE-REQUEST [MOST-RESIDENT-MB]
# MOST-RESIDENT-MB: the resident memory the program must stay under (none
# is checked without it, as under the sanitizers, which keep memory back).
set -euo pipefail
app=$1 sim=$2 closer=$3 mostResidentMb=${4:-}

. "$(dirname "$0")/x_lab.sh"
isolate_in_namespaces "Xvfb xdotool ip unshare" "$@"
start_work

ip link set lo up
add_device flooder host1 10.78.0.1/24 10.78.0.2/24
start_xvfb 640x800

"$app" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
window=$(window_shown 60 '^Quorvel$') || fail "no window"

resident_mb() { awk '/^VmRSS:/ { print int($2 / 1024) }' "/proc/$app_pid/status"; }
peak_mb() { awk '/^VmHWM:/ { print int($2 / 1024) }' "/proc/$app_pid/status"; }

echo "-- a host floods port 7080 (bounded: 60 s at most)"
ip netns exec flooder "$sim" --ip 10.78.0.2 --name "Pętla" --send-to 10.78.0.1 --count 0 --timeout 60 \
    >"$work/flood.log" 2>&1 &
pids+=($!)
sleep 4
echo "after 4 s of flood: $(resident_mb) MB resident"

# The band is 351 x 104 at (16, 60) of the client area: the click empties
# the list and broadcasts a request, which a device beside the flooder hears.
ip netns exec flooder "$sim" --ip 10.78.0.2 --name "Hala 1" --timeout 60 >"$work/device.log" 2>&1 &
pids+=($!)
timeout 10 bash -c "until grep -q 'listening on' '$work/device.log'; do sleep 0.1; done" || fail "the device did not start"
xdotool mousemove --window "$window" 191 112 click 1
timeout 20 bash -c "until grep -q answered '$work/device.log'; do sleep 0.1; done" ||
    fail "the click during the flood sent no request"
echo "the click during the flood scanned"

sleep 4
peak=$(peak_mb)
echo "after 9 s of flood: $(resident_mb) MB resident, $peak MB at most"
if [ -n "$mostResidentMb" ] && [ "$peak" -ge "$mostResidentMb" ]; then
    fail "the program took $peak MB under the flood (bound $mostResidentMb MB)"
fi

closed_with "$closer" "$window" "$app_pid" 0 20 "close during the flood"
echo "closed during the flood, exit status 0"
